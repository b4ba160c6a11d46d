// The pages of the library's print request, laid out the same way in every build; each build
// sends them where its system prints (a CUPS queue on Linux, a GDI job on Windows).

#include <memory>

#include "Errors.h"
#include "FluxosImpressao.h"
#include "Nucleo.h"
#include "TDM.h"
#include "TqrpKOVA.h"

namespace kova {
namespace {

std::unique_ptr<TqrpKOVA> relatorio;

}  // namespace

std::vector<TPagina> PaginasDaImpressao(const char* texto1, const char* texto2,
                                        const char* texto3) {
    Objetos();
    if (!relatorio) relatorio = std::make_unique<TqrpKOVA>();
    relatorio->Textos[0] = texto1 ? texto1 : "";
    relatorio->Textos[1] = texto2 ? texto2 : "";
    relatorio->Textos[2] = texto3 ? texto3 : "";
    TDM& dm = *DM;
    dm.ModoBiblioteca = true;
    if (dm.cdsKOVA.IsEmpty()) throw Exception("Não há KOVA para imprimir");
    // The three copies of a desktop print; the slip is not marked printed.
    std::vector<TPagina> paginas = relatorio->Executa(3);
    ConfereViasNaPagina(relatorio->Relatorio, paginas);
    if (paginas.empty()) throw Exception("Nada a imprimir");
    return paginas;
}

}  // namespace kova
