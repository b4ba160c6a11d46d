#include "Utilitarios.h"

#include <algorithm>

#include "Clock.h"

namespace kova {

TResultadoRemocao RemoverKOVAImpressas(TDM& dm, TDate ate) {
    TResultadoRemocao r;
    TDataSet& k = dm.cdsKOVA;
    const TDateTime limite(Clock::Today() - std::chrono::days(360));
    TDM::TAdiaGravacao umaGravacao(dm);
    k.SetFiltered(false);
    k.SetIndexName("pk_IdKOVA");
    for (TBookmark slip : k.VisibleRecords()) {
        k.GotoBookmark(slip);
        const TField& dataHora = k.FieldByName("DataHora");
        const bool impressa = k.FieldByName("Situacao").AsString() == "I" && !dataHora.IsNull() &&
                              DateOf(dataHora.AsDateTime()) <= ate;
        const bool antiga = !dataHora.IsNull() && dataHora.AsDateTime() < limite;
        if (impressa || antiga) {
            k.Delete();
            ++r.removidas;
        } else {
            ++r.mantidas;
        }
    }
    k.First();
    return r;
}

std::string MensagemRemocao(const TResultadoRemocao& r) {
    return "Remoção concluida com sucesso\r\rRemovidos: " + std::to_string(r.removidas) +
           "\rDisponíveis para impressão: " + std::to_string(r.mantidas);
}

void ConsultaReceitasDaUF(TDM& dm, const std::string& uf) {
    dm.ModoConsultaUFReceita = true;
    dm.cdsUF.FindNearest({uf});
    dm.cdsReceita.SetFiltered(false);
    dm.cdsReceita.SetFiltered(true);
}

void FechaConsultaReceitas(TDM& dm) {
    dm.cdsReceita.SetFiltered(false);
    dm.ModoConsultaUFReceita = false;
}

std::vector<std::string> UFsDosProdutos(TDM& dm) {
    std::vector<std::string> ufs;
    TDataSet& p = dm.cdsUFProduto;
    p.SetFiltered(false);
    const int campo = p.FieldByName("UF").Index();
    for (TBookmark b : p.VisibleRecords()) {
        const std::string uf = ValueToString(p.ValueAt(b, campo));
        if (std::find(ufs.begin(), ufs.end(), uf) == ufs.end()) ufs.push_back(uf);
    }
    return ufs;
}

void ConsultaProdutosDaUF(TDM& dm, const std::string& uf) {
    TDataSet& p = dm.cdsUFProduto;
    p.SetFiltered(false);
    p.SetFilter("UF='" + uf + "'");
    p.SetFiltered(true);
}

}  // namespace kova
