#pragma once
// The slip report: the current slip of the slips table on one A4 page, in up to three copies,
// each a barcode area (the symbol and the typeable line, or the no-barcode notice), the
// identification line, the framed slip body with its numbered boxes and, between copies, a dotted
// cut line with scissors. One copy for a preview, three for printing. Every run starts by building
// the barcode content, which stores it in the slip.

#include <memory>
#include <string>
#include <vector>

#include "LinhaDigitavel.h"
#include "TAsBarcode.h"
#include "TBitmap1.h"
#include "TRelatorio.h"

namespace kova {

class TqrpKOVA {
public:
    TqrpKOVA();

    // Lays out the current slip; throws when the barcode content cannot be built.
    std::vector<TPagina> Executa(int vias);

    TRelatorio Relatorio;
    int QtdeVias = 1;
    int ViaAtual = 0;
    TFaixasCodigoBarra Faixas;
    // Texts handed over by the library's print request, kept with the report.
    std::string Textos[3];
    std::shared_ptr<TBitmap1> Simbolo;  // the image's bitmap: 417 x 41 pixels

    // Writes a copy's destination down the 28 one-character labels of the left strip.
    void EscreveViaVertical(const std::string& texto);

private:
    void Montar();
    void MontarCorpo(TBanda& guia);
};

// Millimetres of one pixel at the report's scale (1/96 inch).
inline constexpr double kMmPorPixel = 25.4 / 96.0;

}  // namespace kova
