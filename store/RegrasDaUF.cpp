#include "RegrasDaUF.h"

#include <algorithm>
#include <string_view>
#include <utility>
#include <vector>

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

// The keys (UF, Receita, Flag) of every row of the rule table, each packed in a number, for the
// version of the table they were read from. Most look-ups ask for a rule the state and revenue do
// not have (a notice, a refusal, a calendar rule): those are answered here without a search. Made
// once and never destroyed: a data module may be destroyed after the program's own statics.
struct TChavesDasRegras {
    const TDataSet* tabela = nullptr;
    uint64_t versao = 0;
    // Whether the table is searched as these keys answer: on its key index and unfiltered (a
    // change of either moves the table's version).
    bool valem = false;
    std::vector<uint64_t> chaves;  // sorted
};
TChavesDasRegras& ChavesDasRegras() {
    static TChavesDasRegras* c = new TChavesDasRegras;
    return *c;
}

// The six-bit code of each character of a key: 1 to 10 for the digits, 11 to 36 for the letters
// without regard to case (as the index compares them: among letters and digits only "a" to "z" have
// capitals, an accented letter's capital is never one of those); 0xFF for any other character.
struct TCodigos {
    unsigned char codigo[256];
    constexpr TCodigos() : codigo{} {
        for (unsigned c = 0; c < 256; ++c) {
            codigo[c] = c >= '0' && c <= '9'   ? static_cast<unsigned char>(1 + (c - '0'))
                        : c >= 'A' && c <= 'Z' ? static_cast<unsigned char>(11 + (c - 'A'))
                        : c >= 'a' && c <= 'z' ? static_cast<unsigned char>(11 + (c - 'a'))
                                               : 0xFF;
        }
    }
};
constexpr TCodigos kCodigos;

// Appends the characters of a key column to a packed key, six bits each, in `tamanho` places
// (the unused ones zero); false when the text does not fit or holds anything but letters and
// digits.
bool Empacota(uint64_t& chave, std::string_view s, size_t tamanho) {
    if (s.size() > tamanho) return false;
    for (char ch : s) {
        const unsigned codigo = kCodigos.codigo[static_cast<unsigned char>(ch)];
        if (codigo == 0xFF) return false;
        chave = (chave << 6) | codigo;
    }
    chave <<= 6 * (tamanho - s.size());
    return true;
}

// The packed key (2 + 6 + 2 places: 60 bits), or zero when a text is empty or cannot be packed.
uint64_t Chave(std::string_view uf, std::string_view receita, std::string_view flag) {
    uint64_t k = 0;
    if (uf.empty() || receita.empty() || flag.empty() || !Empacota(k, uf, 2) ||
        !Empacota(k, receita, 6) || !Empacota(k, flag, 2)) {
        return 0;
    }
    return k;
}

// Whether the rule table certainly has no row of these keys. Only a plain look-up is answered:
// on the key index, table unfiltered and browsed, keys of letters and digits that fit their
// columns; any other goes to the search.
bool SemRegra(TDataSet& t, std::string_view uf, std::string_view receita, std::string_view flag) {
    if (!t.Active() || t.State() != TDataSetState::dsBrowse) return false;
    const uint64_t procurada = Chave(uf, receita, flag);
    if (procurada == 0) return false;
    TChavesDasRegras& c = ChavesDasRegras();
    if (c.tabela != &t || c.versao != t.Versao()) {
        c.tabela = nullptr;
        c.chaves.clear();
        c.valem = !t.Filtered() && t.IndexName() == "pk_UFReceita";
        if (c.valem) {
            const int campoUF = t.FieldByName("UF").Index();
            const int campoReceita = t.FieldByName("Receita").Index();
            const int campoFlag = t.FieldByName("Flag").Index();
            for (TBookmark b : t.VisibleRecords()) {
                const uint64_t k = Chave(ValueToString(t.ValueAt(b, campoUF)),
                                         ValueToString(t.ValueAt(b, campoReceita)),
                                         ValueToString(t.ValueAt(b, campoFlag)));
                // A row whose keys cannot be packed matches none that can.
                if (k != 0) c.chaves.push_back(k);
            }
            std::sort(c.chaves.begin(), c.chaves.end());
        }
        c.tabela = &t;
        c.versao = t.Versao();
    }
    return c.valem && !std::binary_search(c.chaves.begin(), c.chaves.end(), procurada);
}

}  // namespace

void EsqueceChavesDasRegras() {
    TChavesDasRegras& c = ChavesDasRegras();
    c.tabela = nullptr;
    c.chaves.clear();
}

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
    if (SemRegra(dm.cdsUFReceita, uf, receita, Sigla(flag)) ||
        !dm.cdsUFReceita.FindKey({std::string_view(uf), std::string_view(receita), Sigla(flag)}))
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
