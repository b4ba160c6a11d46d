#include "ColunasKOVA.h"

#include "FormatacaoImpressao.h"

namespace kova {
namespace {

// A reference "PMMAAAA" as its month and year; an instalment number as it is.
std::string MesDaReferencia(const std::string& r) {
    return r.size() == 7 ? r.substr(1, 2) + "/" + r.substr(3, 4) : r;
}

std::string TextoSituacao(const std::string& s) {
    return s == "I" ? "Impressa" : s == "A" ? "Alterada" : s == "N" ? "Não impressa" : s;
}

}  // namespace

const std::vector<TColunaKOVA>& ColunasGradeKOVA() {
    using A = TColunaKOVA::Alinhamento;
    static const std::vector<TColunaKOVA> colunas{
        {"IdKOVA", "KOVA", A::Centro},
        {"UFFavorecida", "UF", A::Centro},
        {"RazaoSocial", "Contribuinte", A::Esquerda},
        {"CICContribuinte", "CNPJ ou CPF", A::Esquerda, &FormataCIC},
        {"Receita", "Receita", A::Centro, &TextoReceita},
        {"Referencia", "Referência", A::Centro, &MesDaReferencia},
        {"TotalRecolher", "Total a Recolher", A::Direita},
        {"DataVencimento", "Vencimento", A::Centro},
        {"Situacao", "Situação", A::Esquerda, &TextoSituacao},
        {"DocumentoOrigem", "Documento Origem", A::Esquerda},
        {"ValorPrincipal", "Valor Principal", A::Direita},
        {"AtualizacaoMonetaria", "Atualização Monetária", A::Direita},
        {"Juros", "Juros", A::Direita},
        {"Multa", "Multa", A::Direita},
        {"DataHora", "Data Hora", A::Centro}};
    return colunas;
}

}  // namespace kova
