#pragma once
// The barcode component: turns a text into the widths of bars and spaces and paints them on a
// 1-bit picture. Only the Interleaved 2 of 5 type is built (the slips use no other). Its
// properties start as the component always started; the report sets Modul 1, Ratio 3 and a
// height of 70 pixels, so that a narrow element is one pixel and a wide one three.

#include <functional>
#include <string>

#include "TBitmap1.h"

namespace kova {

enum class TBarcodeType {
    bcCode_2_5_interleaved,
    bcCode_2_5_industrial,
    bcCode_2_5_matrix,
    bcCode39,
    bcCode39Extended,
    bcCode128A,
    bcCode128B,
    bcCode128C,
    bcCode93,
    bcCode93Extended,
    bcCodeMSI,
    bcCodePostNet,
    bcCodeCodabar,
    bcCodeEAN8,
    bcCodeEAN13,
    bcCodeUPC_A,
    bcCodeUPC_E0,
    bcCodeUPC_E1,
    bcCodeUPC_Supp2,
    bcCodeUPC_Supp5,
    bcCodeEAN128A,
    bcCodeEAN128B,
    bcCodeEAN128C,
};
enum class TCheckSumMethod { csmNone, csmModulo10 };
enum class TBarcodeOption { bcoNone, bcoCode, bcoTyp, bcoBoth };
enum class TShowTextPosition {
    stpTopLeft,
    stpTopRight,
    stpTopCenter,
    stpBottomLeft,
    stpBottomRight,
    stpBottomCenter
};

class TAsBarcode {
public:
    int Height = 0;
    std::string Text;
    int Top = 0;
    int Left = 0;
    int Modul() const { return modul_; }
    // Accepted only from 1 to 49; other values are ignored.
    void SetModul(int modul);
    double Ratio = 2.0;
    TBarcodeType Typ = TBarcodeType::bcCodeEAN13;
    bool Checksum = false;
    TCheckSumMethod CheckSumMethod = TCheckSumMethod::csmModulo10;
    double Angle = 0;
    TBarcodeOption ShowText = TBarcodeOption::bcoNone;
    TShowTextPosition ShowTextPosition = TShowTextPosition::stpTopLeft;
    bool Color = false;    // spaces: white
    bool ColorBar = true;  // bars: black
    std::function<void()> OnChange;

    // "0" narrow space, "1" wide space, "5" narrow bar, "6" wide bar. Throws kova::Exception
    // "Barcode must be numeric" for a text that is not digits after trimming, and
    // "TAsBarcode: wrong BarcodeType" for a type that is not built.
    std::string BarPattern() const;
    // The sum of the element widths in pixels.
    int Width() const;
    // Scales Modul so that the symbol is about w pixels wide (ignored outside 1..49).
    void SetWidth(int w);
    // Paints the symbol at (Left, Top); what falls outside the picture is cut off.
    void PaintBars(TBitmap1& bitmap) const;

private:
    int Largura(char elemento) const;
    int modul_ = 1;
};

// The symbol as the slip prints it: Interleaved 2 of 5, module 1, ratio 3, 481 by 70 dots.
TAsBarcode SimboloDaKOVA(const std::string& conteudo);

}  // namespace kova
