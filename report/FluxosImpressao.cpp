#include "FluxosImpressao.h"

#include "TDM.h"

namespace kova {

void TFluxosImpressao::Visualizar() {
    auto paginas = relatorio_.Executa(1);
    if (AbrirVisualizacao) AbrirVisualizacao(paginas);
}

void TFluxosImpressao::Imprimir() {
    auto paginas = relatorio_.Executa(3);
    if (EnviarImpressora) EnviarImpressora(paginas);
    DM->MarcaImpressa();
}

void TFluxosImpressao::ImprimirTodos() {
    TDataSet& kova = DM->cdsKOVA;
    const std::vector<TBookmark> lista = kova.VisibleRecords();
    TDM::TAdiaGravacao umaGravacao(*DM);
    for (TBookmark slip : lista) {
        // A slip marked a moment ago left the list of unprinted slips; the others are still there.
        const bool filtrado = kova.Filtered();
        if (filtrado) kova.SetFiltered(false);
        kova.GotoBookmark(slip);
        auto paginas = relatorio_.Executa(3);
        if (EnviarImpressora) EnviarImpressora(paginas);
        DM->MarcaImpressa();
        if (filtrado) kova.SetFiltered(true);
    }
}

}  // namespace kova
