#include "KOVAEmPDF.h"

#include "PintorQt.h"

namespace kova {

void KOVAEmPDF(TqrpKOVA& relatorio, int vias, const std::string& caminho) {
    GravaPDF(relatorio.Executa(vias), caminho);
}

}  // namespace kova
