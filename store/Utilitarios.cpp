#include "Utilitarios.h"

#include <algorithm>

#include "Clock.h"
#include "TDM.h"

namespace kova {

namespace {

// The slips a removal up to the day given takes, each with whether it was printed.
std::vector<TBookmark> ARemover(TDM& dm, TDate ate, std::vector<bool>* impressas = nullptr) {
    TDataSet& k = dm.cdsKOVA;
    const TDateTime limite(Clock::Today() - std::chrono::days(360));
    k.SetFiltered(false);
    k.SetIndexName("pk_IdKOVA");
    // One pass over the file's columns of situation and date: the cost grows with the number of
    // slips, not with its square.
    return dm.KOVAsQue({"Situacao", "DataHora"}, [&](const std::vector<TValue>& v) {
        const auto* momento = std::get_if<TDateTime>(&v[1]);
        const bool situacaoImpressa = ValueToString(v[0]) == "I";
        const bool impressa = situacaoImpressa && momento && DateOf(*momento) <= ate;
        const bool antiga = momento && *momento < limite;
        if ((impressa || antiga) && impressas) impressas->push_back(situacaoImpressa);
        return impressa || antiga;
    });
}

}  // namespace

TPrevisaoRemocao PrevisaoRemocao(TDM& dm, TDate ate) {
    std::vector<bool> impressas;
    ARemover(dm, ate, &impressas);
    TPrevisaoRemocao p;
    for (const bool i : impressas) ++(i ? p.impressas : p.naoImpressas);
    return p;
}

std::string TextoPrevisaoRemocao(const TPrevisaoRemocao& p) {
    auto kovas = [](int n, const char* uma, const char* varias) {
        return std::to_string(n) + (n == 1 ? uma : varias);
    };
    if (p.impressas + p.naoImpressas == 0) return "Nenhuma KOVA será removida.";
    return "Serão removidas " + kovas(p.impressas, " KOVA impressa", " KOVA impressas") + " e " +
           kovas(p.naoImpressas, " KOVA não impressa", " KOVA não impressas") +
           " (sem alteração há mais de 360 dias).";
}

TResultadoRemocao RemoverKOVAImpressas(TDM& dm, TDate ate) {
    TResultadoRemocao r;
    TDataSet& k = dm.cdsKOVA;
    TDM::TAdiaGravacao umaGravacao(dm);
    const int antes = k.RecordCount();
    // One deletion of them all and one save.
    const std::vector<TBookmark> removidas = ARemover(dm, ate);
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
