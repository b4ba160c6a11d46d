#include "Utilitarios.h"

#include <algorithm>

#include "Clock.h"
#include "TDM.h"

namespace kova {

TResultadoRemocao RemoverKOVAImpressas(TDM& dm, TDate ate) {
    TResultadoRemocao r;
    TDataSet& k = dm.cdsKOVA;
    const TDateTime limite(Clock::Today() - std::chrono::days(360));
    TDM::TAdiaGravacao umaGravacao(dm);
    k.SetFiltered(false);
    k.SetIndexName("pk_IdKOVA");
    // One pass over the file's columns of situation and date, then one deletion of them all and
    // one save: the cost grows with the number of slips, not with its square.
    const int antes = k.RecordCount();
    const std::vector<TBookmark> removidas =
        dm.KOVAsQue({"Situacao", "DataHora"}, [&](const std::vector<TValue>& v) {
            const auto* momento = std::get_if<TDateTime>(&v[1]);
            const bool impressa = ValueToString(v[0]) == "I" && momento && DateOf(*momento) <= ate;
            const bool antiga = momento && *momento < limite;
            return impressa || antiga;
        });
    r.mantidas = antes - int(removidas.size());
    k.DeleteRecords(removidas);
    r.removidas = int(removidas.size());
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
