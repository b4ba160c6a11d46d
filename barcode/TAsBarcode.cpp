#include "TAsBarcode.h"

#include <algorithm>
#include <cmath>

#include "Errors.h"
#include "Texto.h"

namespace kova {
namespace {

// Narrow (0) and wide (1) elements of each digit in Interleaved 2 of 5.
constexpr const char* kDigitos[10] = {"00110", "10001", "01001", "11000", "00101",
                                      "10100", "01100", "00011", "10010", "01010"};

}  // namespace

void TAsBarcode::SetModul(int modul) {
    if (modul >= 1 && modul < 50) {
        modul_ = modul;
        if (OnChange) OnChange();
    }
}

std::string TAsBarcode::BarPattern() const {
    if (Typ != TBarcodeType::bcCode_2_5_interleaved)
        throw Exception("TAsBarcode: wrong BarcodeType");
    const std::string texto = Trim(Text);
    for (char c : texto) {
        if (c < '0' || c > '9') throw Exception("Barcode must be numeric");
    }
    std::string padrao = "5050";
    for (size_t i = 0; i + 1 < texto.size(); i += 2) {
        const char* barras = kDigitos[texto[i] - '0'];
        const char* espacos = kDigitos[texto[i + 1] - '0'];
        for (int k = 0; k < 5; ++k) {
            padrao += barras[k] == '1' ? '6' : '5';
            padrao += espacos[k] == '1' ? '1' : '0';
        }
    }
    return padrao + "605";
}

int TAsBarcode::Largura(char elemento) const {
    // The interleaved type keeps its wide element between two and three narrow ones.
    const double razao = std::clamp(Ratio, 2.0, 3.0);
    switch (elemento) {
        case '0':
        case '5':
            return modul_;
        case '1':
        case '6':
            return int(std::lround(modul_ * razao));
        default:
            throw Exception("TAsBarcode: internal Error");
    }
}

int TAsBarcode::Width() const {
    int w = 0;
    for (char e : BarPattern()) w += Largura(e);
    return w;
}

void TAsBarcode::SetWidth(int w) {
    const int atual = Width();
    if (atual > 0) SetModul(modul_ * w / atual);
}

void TAsBarcode::PaintBars(TBitmap1& bitmap) const {
    int x = 0;
    for (char e : BarPattern()) {
        const int w = Largura(e);
        const bool barra = e == '5' || e == '6';
        bitmap.FillRect(Left + x, Top, Left + x + w - 1, Top + Height, barra ? ColorBar : Color);
        x += w;
    }
}

TAsBarcode SimboloDaKOVA(const std::string& conteudo) {
    TAsBarcode b;
    b.Top = 0;
    b.Left = 0;
    b.SetModul(1);
    b.Ratio = 3.0;
    b.Typ = TBarcodeType::bcCode_2_5_interleaved;
    b.Height = 70;
    b.SetWidth(481);
    b.Text = conteudo;
    return b;
}

}  // namespace kova
