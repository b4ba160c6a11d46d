#include "Requisicao.h"

#include <cstring>

#include "CalculaCodigoBarra.h"
#include "Errors.h"
#include "Predicados.h"
#include "Texto.h"

namespace kova {
namespace {

struct TChave {
    const char* chave;
    const char* campo;  // nullptr: not a slip field
};

// Tested in this order, so that "UFFAVORECIDA=" is never taken for "UF=".
const TChave kChaves[] = {
    {"VERSAO=", nullptr},
    {"UFFAVORECIDA=", "UFFavorecida"},
    {"RECEITA=", "Receita"},
    {"EMPRESACOURIER=", nullptr},
    {"SUBRECEITA=", "SubReceita"},
    {"CICCONTRIBUINTE=", "CICContribuinte"},
    {"DOCUMENTOORIGEM=", "DocumentoOrigem"},
    {"REFERENCIA=", "Referencia"},
    {"CONVENIO=", "Convenio"},
    {"RAZAOSOCIAL=", "RazaoSocial"},
    {"INSCRICAOESTADUAL=", "InscricaoEstadual"},
    {"ENDERECO=", "Endereco"},
    {"MUNICIPIO=", "Municipio"},
    {"UF=", "UF"},
    {"CEP=", "CEP"},
    {"TELEFONE=", "Telefone"},
    {"VALORPRINCIPAL=", "ValorPrincipal"},
    {"DATAVENCIMENTO=", "DataVencimento"},
    {"DATAPAGAMENTO=", "DataPagamento"},
    {"INFORMACOES=", "Informacoes"},
    {"ATUALIZACAOMONETARIA=", "AtualizacaoMonetaria"},
    {"JUROS=", "Juros"},
    {"MULTA=", "Multa"},
    {"TOTALRECOLHER=", "TotalRecolher"},
    {"PRODUTO=", "Produto"},
};

constexpr const char* kRejeitada = "Retorno=001;Mensagem_Retorno=";

double Decimal(const std::string& v) {
    double d;
    if (!TryStrToFloat(v, d)) throw EConvertError("'" + v + "' is not a valid floating point value");
    return d;
}

TDate Data(const std::string& v) {
    TDate d;
    if (!TryStrToDate(v, d)) throw EConvertError("'" + v + "' is not a valid date");
    return d;
}

void CancelaAberta(TDataSet& k) {
    const TDataSetState s = k.State();
    if (s == TDataSetState::dsEdit || s == TDataSetState::dsInsert || s == TDataSetState::dsSetKey) k.Cancel();
}

}  // namespace

std::string AssinaResposta(TfrmDigitar& frm, const std::string& texto) {
    return texto + ";CRC=" + frm.Checksum.StringCRC(texto);
}

void PreencheCampo(TfrmDigitar&, const std::string& campo, const std::string& item, size_t posicao) {
    const std::string valor = Trim(item.size() > posicao ? item.substr(posicao, 255) : std::string());
    if (valor.empty()) return;
    TDataSet& k = DM->cdsKOVA;
    TField& f = k.FieldByName(campo);
    if (SameText(campo, "DataVencimento")) {
        f.SetAsDate(Data(valor));
    } else if (SameText(campo, "DataPagamento")) {
        f.SetAsDate(Data(valor));
        // A payment before the due date is paid on the due date.
        const TField& venc = k.FieldByName("DataVencimento");
        if (!venc.IsNull() && f.AsDate() < venc.AsDate()) f.SetAsDate(venc.AsDate());
    } else if (SameText(campo, "AtualizacaoMonetaria") || SameText(campo, "Juros") || SameText(campo, "Multa")) {
        f.SetAsFloat(Decimal(valor));
    } else {
        f.SetAsString(valor);
    }
}

bool ValidaRequisicao(TfrmDigitar& frm) {
    TDM& dm = *DM;
    dm.ModoBiblioteca = true;
    dm.ModoSilencioso = true;
    frm.QtdeIncluidas = 0;
    dm.CodigoCourier.clear();
    dm.SelecionarSubReceita = 0;

    const std::vector<std::string> itens = DivideTexto(';', frm.Requisicao);
    if (itens.size() < 5 || itens.size() > 25) {
        frm.Requisicao = AssinaResposta(frm, std::string(kRejeitada) + "Número de Campos Inválido - KOVA Rejeitada");
        return false;
    }
    TDataSet& k = dm.cdsKOVA;
    if (!k.Active()) throw Exception("cdsKOVA não ativo");
    CancelaAberta(k);
    dm.UltimoErro.clear();
    try {
        k.Append();
    } catch (const std::exception& e) {
        throw Exception(std::string("Erro no append: ") + e.what());
    }

    try {
        for (const std::string& item : itens) {
            for (const TChave& c : kChaves) {
                const size_t n = std::strlen(c.chave);
                if (item.size() < n || !SameText(item.substr(0, n), c.chave)) continue;
                if (std::strcmp(c.chave, "EMPRESACOURIER=") == 0) {
                    int32_t courier;
                    if (TryStrToInt(item.substr(n, 2), courier)) {
                        dm.CodigoCourier = std::to_string(courier);
                    } else {
                        dm.UltimoErro = "O campo COURIER não está preenchido ou o valor informado é inválido";
                    }
                } else if (c.campo) {
                    PreencheCampo(frm, c.campo, item, n);
                }
                break;
            }
            if (!dm.UltimoErro.empty()) {
                frm.Requisicao = AssinaResposta(frm, kRejeitada + dm.UltimoErro) + ";";
                CancelaAberta(k);
                return false;
            }
        }
    } catch (...) {
        CancelaAberta(k);
        throw;
    }

    try {
        k.Post();
        ++frm.QtdeIncluidas;
        const std::string conteudo = CalculaCodigoBarra();
        frm.Requisicao = conteudo + ";Retorno=000;Mensagem_Retorno=KOVA Validada com sucesso";
    } catch (const std::exception&) {
        frm.Requisicao = kRejeitada + dm.UltimoErro;
        CancelaAberta(k);
    }
    CancelaAberta(k);
    frm.Requisicao = AssinaResposta(frm, frm.Requisicao);
    return frm.QtdeIncluidas > 0;
}

}  // namespace kova
