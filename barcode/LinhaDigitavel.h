#pragma once
// The typeable line printed under the symbol, and the decision, copy by copy, of which of the
// three top bands of a printed slip appear: the symbol, the typeable line, or the notice that the
// slip was issued without a barcode.

#include <string>

namespace kova {

// Four blocks of 11 digits, each followed by "-" and its modulo-11 digit, one blank between blocks.
// Throws EConvertError when the content holds a character other than a digit.
std::string LinhaDigitavel(const std::string& conteudo);

inline constexpr const char* kAvisoSemCodigoBarra =
    "Emitido sem código de barras - Pagável apenas nos bancos autorizados";

// The band decisions of one report; SemCodigoBarra is kept between the copies of a run (copy 2
// reads what copy 1 decided) and the notice returns to its large label after every copy.
class TFaixasCodigoBarra {
public:
    // Barcode band: never on copy 2; otherwise printed unless the state is not "S"-conveniada,
    // the slip is overdue in a state refusing overdue barcodes, or a "CB" row withholds it.
    // Reads the current slip and reference tables of DM.
    bool qrbBarraBeforePrint(int viaAtual);
    bool qrbLinhaDigitavelBeforePrint() const { return !SemCodigoBarra; }
    // The no-barcode band; with the state's "SC" row the notice moves to the small label.
    bool qrbNaoBarraBeforePrint();
    void qrbNaoBarraAfterPrint();

    bool SemCodigoBarra = false;
    std::string qrlBancoAutorizado = kAvisoSemCodigoBarra;  // large, centred
    std::string qrlBancoAutorizadoPeq;                      // small, left-aligned
};

}  // namespace kova
