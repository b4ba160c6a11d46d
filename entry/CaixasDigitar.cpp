#include "CaixasDigitar.h"

#include <algorithm>
#include <cctype>

#include "TDM.h"
#include "TfrmDigitar.h"

namespace kova {
namespace {

// Boxes typed in capitals.
const char* const kMaiusculas[] = {"dbeConvenio", "dbeRazaoSocial", "dbeInscricaoEstadual",
                                   "dbeEndereco", "dbeMunicipio",   "dbeInformacoes"};

// An amount is typed in at most twelve characters, whatever its field holds.
constexpr int kComprimentoValor = 12;

}  // namespace

const char* const kCaixasDeValor[5] = {"dbeValorPrincipal", "dbeAtualizacaoMonetaria", "dbeJuros",
                                       "dbeMulta", "dbeTotalReceber"};

TFiltroTecla FiltroDeTeclas(std::string_view caixa) {
    return caixa == "dbeCICContribuinte" ? &TfrmDigitar::dbeCICContribuinteKeyPress
           : caixa == "dbeMunicipio"     ? &TfrmDigitar::dbeMunicipioKeyPress
           : caixa == "dbeCEP"           ? &TfrmDigitar::dbeCEPKeyPress
                                         : nullptr;
}

bool MascaraCompleta(std::string_view mascara, std::string_view texto) {
    const std::string_view m = mascara.substr(0, mascara.find(';'));
    size_t exigidos = 0;
    for (size_t i = 0; i < m.size(); ++i) {
        if (m[i] == '\\') {
            ++i;  // a literal character
        } else if (m[i] == '0' || m[i] == 'L' || m[i] == 'A') {
            ++exigidos;
        }
    }
    const size_t digitados = size_t(std::count_if(
        texto.begin(), texto.end(), [](unsigned char c) { return std::isalnum(c) != 0; }));
    return digitados == 0 || digitados >= exigidos;
}

TRegraCaixa RegraDaCaixa(const TControlState& caixa, const TDataSet& kova) {
    TRegraCaixa r;
    r.filtro = FiltroDeTeclas(caixa.name);
    if (caixa.field.empty()) return r;
    const TField& f = kova.FieldByName(caixa.field);
    r.mascara = f.EditMask();
    if (f.DataType() == TFieldType::ftString && f.Size() > 0) r.comprimento = f.Size();
    for (const char* n : kCaixasDeValor) {
        if (caixa.name == n) r.comprimento = kComprimentoValor;
    }
    for (const char* n : kMaiusculas) {
        if (caixa.name == n) r.maiusculas = true;
    }
    return r;
}

const std::vector<TListaDigitar>& ListasDigitar() {
    static const std::vector<TListaDigitar> listas = {
        {"dblcUFFavorecida", &TDM::cdsUF, "UF", {"UFDescricao", "UF"}, 26},
        {"dblcReceita", &TDM::cdsReceita, "Codigo", {"CodigoDigito", "Descricao"}, 11},
        {"dblcUFFavorecida2", &TDM::cdsUF, "UF", {"Descricao"}, 10},
        {"dblcUF", &TDM::cdsUF, "UF", {"UF", "Descricao"}, 10},
        {"dblcProduto", &TDM::cdsUFProduto, "Produto", {"Descricao"}, 10},
    };
    return listas;
}

const TListaDigitar* ListaDigitar(std::string_view nome) {
    for (const TListaDigitar& l : ListasDigitar()) {
        if (nome == l.nome) return &l;
    }
    return nullptr;
}

bool TEscolhasMostradas::Mostra(const std::string& lista, const std::string& valor) {
    if (auto limpa = limpas_.find(lista); limpa != limpas_.end()) {
        if (limpa->second == valor) return false;
        limpas_.erase(limpa);
    }
    return !valor.empty();
}

}  // namespace kova
