#include "RegrasDaUF.h"

#include <utility>

#include "TDM.h"

namespace kova {
namespace {

// The flags as the Flag column spells them; the table tool refuses any other spelling.
constexpr std::pair<TFlagRegra, std::string_view> kSiglas[] = {
    {TFlagRegra::T, "T"},   {TFlagRegra::RE, "RE"}, {TFlagRegra::LY, "LY"}, {TFlagRegra::BL, "BL"},
    {TFlagRegra::SR, "SR"}, {TFlagRegra::LK, "LK"}, {TFlagRegra::M, "M"},   {TFlagRegra::E, "E"},
    {TFlagRegra::DO, "DO"}, {TFlagRegra::VL, "VL"}, {TFlagRegra::FE, "FE"}, {TFlagRegra::MA, "MA"},
    {TFlagRegra::EV, "EV"}, {TFlagRegra::MC, "MC"}, {TFlagRegra::MD, "MD"}, {TFlagRegra::CB, "CB"},
    {TFlagRegra::SC, "SC"}, {TFlagRegra::V, "V"},   {TFlagRegra::VI, "VI"},
};

}  // namespace

std::string_view Sigla(TFlagRegra flag) {
    for (const auto& [f, sigla] : kSiglas) {
        if (f == flag) return sigla;
    }
    return {};
}

std::optional<TFlagRegra> FlagDaSigla(std::string_view sigla) {
    for (const auto& [f, s] : kSiglas) {
        if (s == sigla) return f;
    }
    return std::nullopt;
}

std::string SiglasConhecidas() {
    std::string r;
    for (const auto& [f, sigla] : kSiglas) {
        if (!r.empty()) r += ", ";
        r += sigla;
    }
    return r;
}

std::string TRegraUF::Trecho(TTrecho t) const {
    if (t.inicio == 0 || t.inicio > texto.size() || t.fim < t.inicio) return std::string();
    return texto.substr(t.inicio - 1, t.fim - t.inicio + 1);
}

TRegraUF RegraCorrente(const TDataSet& regras) {
    return {regras.FieldByName("UF").AsString(), regras.FieldByName("Receita").AsString(),
            regras.FieldByName("Texto").AsString()};
}

std::string SiglaCorrente(const TDataSet& regras) { return regras.FieldByName("Flag").AsString(); }

std::optional<TRegraUF> RegraUF(TDM& dm, const std::string& uf, const std::string& receita,
                                TFlagRegra flag) {
    if (!dm.cdsUFReceita.FindKey({std::string_view(uf), std::string_view(receita), Sigla(flag)}))
        return std::nullopt;
    return RegraCorrente(dm.cdsUFReceita);
}

std::optional<TRegraUF> RegraDoEstado(TDM& dm, const std::string& uf, TFlagRegra flag) {
    return RegraUF(dm, uf, kTodasAsReceitas, flag);
}

std::optional<TRegraUF> RegraDaReceitaOuDoEstado(TDM& dm, const std::string& uf,
                                                 const std::string& receita, TFlagRegra flag) {
    if (auto r = RegraUF(dm, uf, receita, flag)) return r;
    return RegraDoEstado(dm, uf, flag);
}

}  // namespace kova
