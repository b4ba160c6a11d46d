#include "FormatacaoImpressao.h"

#include "Conversoes.h"
#include "Errors.h"
#include "RegrasDaUF.h"
#include "TDM.h"
#include "Texto.h"

namespace kova {

std::string TextoCodigoUF(const std::string& uf) {
    if (!DM->cdsUF.FindKey({uf})) return uf;
    std::string codigo = FormatFloat("000", DM->cdsUF.FieldByName("Codigo").AsInteger());
    codigo.insert(codigo.size() - 1, "-");
    return codigo + " - " + DM->cdsUF.FieldByName("Descricao").AsString();
}

std::string TextoNomeUF(const std::string& uf) {
    if (!DM->cdsUF.FindKey({uf})) return uf;
    return uf + " - " + DM->cdsUF.FieldByName("Descricao").AsString();
}

std::string TextoReceita(const std::string& receita) {
    if (receita.empty()) return receita;
    return receita.substr(0, receita.size() - 1) + "-" + receita.back();
}

std::string FormataCIC(const std::string& c) {
    if (c.size() == 11)
        return c.substr(0, 3) + "." + c.substr(3, 3) + "." + c.substr(6, 3) + "-" + c.substr(9, 2);
    if (c.size() == 14) {
        return c.substr(0, 2) + "." + c.substr(2, 3) + "." + c.substr(5, 3) + "/" + c.substr(8, 4) +
               "-" + c.substr(12, 2);
    }
    return c;
}

std::string TextoDocumento(const std::string& doc) {
    int32_t n;
    return TryStrToInt(doc, n) && n == 0 ? " " : doc;
}

std::string TextoReferencia(const std::string& r, const std::string& uf) {
    if (r.size() != 7) return r;
    const std::string mm = r.substr(1, 2), aaaa = r.substr(3, 4);
    if (!DM->cdsUF.FindKey({uf})) return mm + "/" + aaaa;
    // Validation keeps such a reference out of stored slips; one that got in anyway stops the
    // print rather than printing a period that does not exist.
    int32_t mes = 0, ano = 0, p = 0;
    if (!TryStrToInt(mm, mes) || !TryStrToInt(aaaa, ano) || !TryStrToInt(r.substr(0, 1), p)) {
        throw Exception("Período de referência inválido para impressão: " + r);
    }
    int ultimo = 0;
    if (mes == 1 || mes == 3 || mes == 5 || mes == 7 || mes == 8 || mes == 10 || mes == 12) {
        ultimo = 31;
    } else if (mes == 4 || mes == 6 || mes == 9 || mes == 11) {
        ultimo = 30;
    } else if (mes == 2) {
        ultimo = ano % 4 == 0 ? 29 : 28;
    }
    const std::string LD = FormatFloat("00", ultimo);
    const std::string per = DM->cdsUF.FieldByName("Periodicidade").AsString();
    std::string texto;
    if (per == "D" || per == "DM") {
        if (p == 1) texto = "01 a 10";
        if (p == 2) texto = "11 a 20";
        if (p == 3) texto = "21 a " + LD;
    } else if (per == "Q") {
        if (p == 1) texto = "01 a 15";
        if (p == 2) texto = "16 a " + LD;
    } else if (per == "T") {
        if (p == 1) texto = "01 a 10";
        if (p == 2) texto = "01 a 15";
        if (p == 4) texto = "11 a 20";
        if (p == 5) texto = "16 a " + LD;
        if (p == 6) texto = "21 a " + LD;
    }
    if (texto.empty()) return mm + "/" + aaaa;
    return texto + " / " + mm + " / " + aaaa;
}

std::string TextoProduto(const std::string& produto, const std::string& uf,
                         const std::string& receita) {
    if (produto == "0") return std::string();
    TDataSet& t = DM->cdsUFProduto;
    t.SetFiltered(false);
    t.SetFilter("UF='" + uf + "' and Receita ='" + receita + "'");
    t.SetFiltered(true);
    int32_t n;
    if (TryStrToInt(produto, n) && t.FindKey({TValue(n)})) {
        return produto + "-" + Trim(t.FieldByName("Descricao").AsString());
    }
    return produto;
}

std::string TextoValidade() {
    TDM& dm = *DM;
    const std::string uf = dm.cdsKOVA.FieldByName("UFFavorecida").AsString();
    const std::string receita = dm.cdsKOVA.FieldByName("Receita").AsString();
    if (const auto v = RegraUF(dm, uf, receita, TFlagRegra::V)) return Trim(v->texto);
    if (dm.cdsUF.FindKey({uf}) && dm.cdsUF.FieldByName("DataPagamentoIgual").AsString() == "S")
        return std::string();
    if (RegraDoEstado(dm, uf, TFlagRegra::VI)) return std::string();
    return "Documento válido para pagamento até " +
           dm.cdsKOVA.FieldByName("DataPagamento").AsString();
}

std::string TextoVersao() {
    return "Auto-atendimento - Versão " + std::to_string(DM->Versao) + "." + DM->VersaoRelease +
           "." + std::to_string(DM->VersaoTestes);
}

std::string TextoTipoVersao() {
    return DM->VersaoTestes > 0 ? "Versão para Teste e Demonstração" : std::string();
}

}  // namespace kova
