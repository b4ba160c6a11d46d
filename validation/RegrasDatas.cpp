// The due and payment dates, the payer's name and address, and the product (errors 115 to 134
// and the state's own late-payment text).

#include "RegrasDatas.h"

#include "Clock.h"
#include "Predicados.h"
#include "Regras.h"
#include "TDM.h"
#include "Texto.h"

namespace kova {
namespace {

// A literal of the filter language: quotes inside are doubled.
std::string Literal(const std::string& s) {
    std::string r = "'";
    for (char ch : s) {
        r += ch;
        if (ch == '\'') r += '\'';
    }
    return r + "'";
}

}  // namespace

std::string RecusaPagamentoAposVencimento(TDM& dm, const std::string& uf,
                                          const std::string& receita, const TField& vencimento,
                                          const TField& pagamento) {
    if (vencimento.IsNull() || pagamento.IsNull() || !(vencimento.AsDate() < pagamento.AsDate()))
        return {};
    const auto ev = RegraDaReceitaOuDoEstado(dm, uf, receita, TFlagRegra::EV);
    return ev ? ConverterQuebras(ev->texto) : std::string();
}

void RegraDataVencimento(TCritica& c) {
    if (EstaVazio(c.v)) return c.Erro("115");
    if (NaoEhData(c.v)) return c.Erro("116");
    if (!c.dm.cdsReceita.FindKey({c.Campo("Receita")})) return c.Erro("117");
}

void RegraDataPagamento(TCritica& c) {
    const TField& pag = c.kova.FieldByName("DataPagamento");
    const TField& venc = c.kova.FieldByName("DataVencimento");
    if (pag.IsNull()) return;
    if (Clock::Today() > pag.AsDate()) return c.Erro("120");
    c.mensagem =
        RecusaPagamentoAposVencimento(c.dm, c.Campo("UFFavorecida"), c.Campo("Receita"), venc, pag);
}

void RegraRazaoSocial(TCritica& c) {
    if (EstaVazio(c.v)) return c.Erro("121");
}

void RegraEndereco(TCritica& c) {
    if (EstaVazio(c.v)) return c.Erro(c.campo == "ENDERECO" ? "125" : "126");
}

void RegraUF(TCritica& c) {
    if (EstaVazio(c.v)) return c.Erro("127");
    // The lookup leaves the state table on the payer's state, whose flag is read below.
    if (!c.dm.cdsUF.FindKey({c.v})) return c.Erro("128");
    if (!c.dm.cdsReceita.FindKey({c.Campo("Receita")})) return c.Erro("129");
    if (c.dm.cdsUF.FieldByName("UFEndIgual").AsString() == "N" &&
        UpperCase(c.dm.cdsReceita.FieldByName("UFEndIgualFavorec").AsString()) == "N" &&
        c.v == c.Campo("UFFavorecida")) {
        return c.Erro("130");
    }
}

void RegraCEP(TCritica& c) {
    if (EstaVazio(c.v)) return c.Erro("131");
    std::string cep = c.v;
    if (cep.size() == 9 && cep[5] == '-') cep = cep.substr(0, 5) + cep.substr(6);
    if (cep.size() != 8) return c.Erro("132");
}

void RegraProduto(TCritica& c) {
    const std::string uf = c.Campo("UFFavorecida");
    const std::string receita = c.Campo("Receita");
    TDataSet& produtos = c.dm.cdsUFProduto;
    // The filter stays on afterwards: the entry screen shows the same list.
    produtos.AplicaFiltro("UF=" + Literal(uf) + " and Receita =" + Literal(receita));
    if (produtos.IsEmpty()) return;
    int32_t produto = 0;
    if (EstaVazio(c.v) || !TryStrToInt(c.v, produto) || produto == 0) return c.Erro("133");
    if (!produtos.Locate("Produto;UF;Receita", {produto, uf, receita})) return c.Erro("134");
}

}  // namespace kova
