#include "ValidaCampo.h"

#include <algorithm>
#include <initializer_list>
#include <unordered_map>
#include <vector>

#include "Predicados.h"
#include "Regras.h"
#include "TDM.h"
#include "TDataSource.h"
#include "Texto.h"

namespace kova {

bool TCritica::Silencioso() const { return dm.ModoSilencioso; }

void TCritica::ErroPar(const char* numero, const char* numeroSilencioso) {
    mensagem = MensagemPar(numero, numeroSilencioso, dm.ModoSilencioso);
}

std::string TCritica::Campo(const char* nome) const {
    const TField& f = kova.FieldByName(nome);
    if (const std::string* texto = f.TextoGuardado()) return Trim(std::string_view(*texto));
    return Trim(f.AsString());
}

std::optional<TRegraUF> TCritica::RegraDaKOVA(TFlagRegra flag) {
    return RegraUF(dm, Campo("UFFavorecida"), Campo("Receita"), flag);
}

namespace {

struct TRamo {
    std::initializer_list<const char*> campos;
    TRegra regra;
    // The other fields of the slip the branch reads: it can only judge once they are in.
    std::initializer_list<const char*> lidos;
};

using TRamosPorCampo = std::unordered_map<std::string, std::vector<TRegra>>;

// The branches in their fixed order; a branch runs when the field is one of its names.
const TRamo kRamos[] = {
    {{"UFFAVORECIDA"}, RegraUFFavorecida, {}},
    {{"RECEITA"}, RegraReceita, {}},
    {{"SUBRECEITA"}, RegraSubReceita, {"UFFavorecida", "Receita"}},
    {{"CICCONTRIBUINTE"}, RegraCICContribuinte, {}},
    // The declaration's format, the product that spares the document, and the base year of the
    // slip's barcode (its reference period, for Minas Gerais its due date).
    {{"DOCUMENTOORIGEM"},
     RegraDocumentoOrigem,
     {"UFFavorecida", "Receita", "Produto", "Referencia", "DataVencimento"}},
    {{"REFERENCIA"}, RegraReferencia, {"UFFavorecida", "Receita", "DataVencimento"}},
    {{"VALORPRINCIPAL"}, RegraValorPrincipal, {}},
    // Charges are judged against the dates (paid late or not) and each other.
    {{"ATUALIZACAOMONETARIA"},
     RegraAtualizacaoMonetaria,
     {"UFFavorecida", "Receita", "Juros", "Multa", "DataVencimento", "DataPagamento"}},
    {{"JUROS"},
     RegraJuros,
     {"UFFavorecida", "Receita", "AtualizacaoMonetaria", "Multa", "DataVencimento",
      "DataPagamento"}},
    {{"MULTA"},
     RegraMulta,
     {"UFFavorecida", "Receita", "AtualizacaoMonetaria", "Juros", "DataVencimento",
      "DataPagamento"}},
    {{"VALORPRINCIPAL", "MULTA"},
     RegraPrincipalOuMulta,
     {"UFFavorecida", "Receita", "ValorPrincipal", "Multa"}},
    {{"TOTALRECOLHER"},
     RegraTotalRecolher,
     {"ValorPrincipal", "AtualizacaoMonetaria", "Juros", "Multa"}},
    {{"DATAVENCIMENTO"}, RegraDataVencimento, {"Receita"}},
    {{"DATAPAGAMENTO"}, RegraDataPagamento, {"UFFavorecida", "Receita", "DataVencimento"}},
    {{"RAZAOSOCIAL"}, RegraRazaoSocial, {}},
    {{"INSCRICAOESTADUAL"}, RegraInscricaoEstadual, {"UFFavorecida", "Receita", "DocumentoOrigem"}},
    {{"ENDERECO", "MUNICIPIO"}, RegraEndereco, {}},
    {{"UF"}, RegraUF, {"UFFavorecida", "Receita"}},
    {{"CEP"}, RegraCEP, {}},
    {{"PRODUTO"}, RegraProduto, {"UFFavorecida", "Receita"}},
};

// The branches of each field name, in the fixed order.
const TRamosPorCampo& RamosPorCampo() {
    static const TRamosPorCampo ramos = [] {
        TRamosPorCampo r;
        for (const TRamo& ramo : kRamos) {
            for (const char* nome : ramo.campos) r[nome].push_back(ramo.regra);
        }
        return r;
    }();
    return ramos;
}

// The fields each field's branches read, without the field itself, by upper-case field name.
const std::unordered_map<std::string, std::vector<std::string>>& LidosPorCampo() {
    static const auto lidos = [] {
        std::unordered_map<std::string, std::vector<std::string>> r;
        for (const TRamo& ramo : kRamos) {
            for (const char* nome : ramo.campos) {
                std::vector<std::string>& deste = r[nome];
                for (const char* lido : ramo.lidos) {
                    if (UpperCase(lido) != nome &&
                        std::find(deste.begin(), deste.end(), lido) == deste.end()) {
                        deste.push_back(lido);
                    }
                }
            }
        }
        return r;
    }();
    return lidos;
}

// The branches of a field of the slips table, found through the field itself: the table's
// layout is fixed, so each field's branches are looked up by name once.
struct TCampoNormalizado {
    const TField* campo = nullptr;
    std::string nome;  // upper case
    const std::vector<TRegra>* ramos = nullptr;
};

const TCampoNormalizado& Normalizado(const TField& campo) {
    static std::vector<TCampoNormalizado> porIndice;
    static const std::vector<TRegra> nenhum;
    const size_t i = size_t(campo.Index());
    if (porIndice.size() <= i) porIndice.resize(i + 1);
    TCampoNormalizado& n = porIndice[i];
    if (n.campo != &campo) {
        n.campo = &campo;
        n.nome = UpperCase(campo.FieldName());
        const auto& ramos = RamosPorCampo();
        auto it = ramos.find(n.nome);
        n.ramos = it == ramos.end() ? &nenhum : &it->second;
    }
    return n;
}

}  // namespace

bool ValidaCampo(const std::string& campo, std::string& mensagem, TTipoMensagem& tipo) {
    mensagem.clear();
    tipo = TTipoMensagem::Nenhuma;
    if (!DM || !DM->dtsEntrada || !DM->dtsEntrada->DataSet()) return false;
    TDataSet& kova = *DM->dtsEntrada->DataSet();
    if (kova.State() != TDataSetState::dsInsert && kova.State() != TDataSetState::dsEdit)
        return false;
    const bool comBrancos = !campo.empty() && (campo.front() == ' ' || campo.back() == ' ');
    // The name as given when it has no blanks: the field's own name is found again by its address.
    TField* f = comBrancos ? kova.FindField(Trim(campo)) : kova.FindField(campo);
    const TCampoNormalizado* normal = f ? &Normalizado(*f) : nullptr;
    // Most fields have no rule of their own: nothing to read or judge.
    if ((!normal || normal->ramos->empty()) && DM->CodigoCourier.empty()) return false;
    std::string nomeAvulso;
    if (!normal) nomeAvulso = UpperCase(Trim(campo));
    TCritica c{*DM, kova, normal ? normal->nome : nomeAvulso, {}, {}, false};
    if (const std::string* texto = f ? f->TextoGuardado() : nullptr) {
        c.v = Trim(std::string_view(*texto));
    } else if (f) {
        c.v = Trim(f->AsString());
    }

    if (normal) {
        for (TRegra regra : *normal->ramos) {
            regra(c);
            if (!c.mensagem.empty() || c.encerrada) break;
        }
    }
    if (c.mensagem.empty() && !c.encerrada && !DM->CodigoCourier.empty()) RegraCourier(c);

    mensagem = std::move(c.mensagem);
    if (!mensagem.empty()) tipo = TTipoMensagem::Erro;
    return !mensagem.empty();
}

std::string RecusaUFFavorecida(const std::string& valor) {
    if (!DM) return {};
    static const std::string kNome = "UFFAVORECIDA";
    TCritica c{*DM, DM->cdsKOVA, kNome, valor, {}, false};
    RegraUFFavorecida(c);
    return c.mensagem;
}

const std::vector<std::string>& CamposLidos(std::string_view campo) {
    static const std::vector<std::string> nenhum;
    const auto& lidos = LidosPorCampo();
    const auto it = lidos.find(UpperCase(Trim(campo)));
    return it == lidos.end() ? nenhum : it->second;
}

// ------------------------------------------------------------ identification rules

void RegraUFFavorecida(TCritica& c) {
    if (EstaVazio(c.v)) return c.Erro("1");
    // The successful lookup leaves the state table on the favoured state, as later rules expect.
    if (!c.dm.cdsUF.FindKey({c.v})) return c.Erro("2");
}

void RegraReceita(TCritica& c) {
    if (EstaVazio(c.v)) return c.Erro("3");
}

void RegraSubReceita(TCritica& c) {
    if (EstaVazio(c.v)) return c.Erro("4");
    if (c.dm.SelecionarSubReceita != 1 || !c.dm.ModoSilencioso) return;
    c.dm.SelecionarSubReceita = 0;
    int32_t sub = 0;
    TryStrToInt(c.v, sub);
    if (!c.dm.cdsSubReceita.Locate("Codigo;SubReceita", {c.Campo("Receita"), sub},
                                   {.caseInsensitive = true})) {
        return c.Erro("5");
    }
    if (const auto sr = c.RegraDaKOVA(TFlagRegra::SR)) {
        std::vector<std::string> itens = DivideTexto(' ', sr->texto);
        // The first item names the rule, not a sub-code.
        for (size_t i = 1; i < itens.size(); ++i) {
            int32_t permitido;
            if (TryStrToInt(itens[i], permitido) && permitido == sub) return;
        }
        return c.Erro("6");
    }
}

void RegraCourier(TCritica& c) {
    if (c.Campo("Receita") != "100056") return c.Erro("135");
    int32_t codigo;
    if (!TryStrToInt(c.dm.CodigoCourier, codigo) || !c.dm.cdsEmpresaCourier.FindKey({codigo})) {
        return c.Erro("136");
    }
}

}  // namespace kova
