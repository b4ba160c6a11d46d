#pragma once
// The state rule table (cdsUFReceita): the flags a row may carry, the layout of each flag's Texto,
// and the look-up that answers a rule as a value. A row is (UF, Receita, Flag, Texto); Receita
// "000000" stands for every revenue of the state. A rule exists when its row does.
//
// This header is the one place a flag is spelt: code names a flag with TFlagRegra, so a flag it
// does not list does not compile, and the table tool refuses a row whose flag it does not list
// (such a row would never be read). Every look-up moves the table's current record to the row it
// looked for, as the sub-code filter expects; nothing here reads a row a look-up left current
// except RegraCorrente, for that filter.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace kova {

class TDM;
class TDataSet;

enum class TFlagRegra : unsigned char {
    T,   // the state's own description of the revenue: the whole text
    RE,  // the reference-period kind, overriding the revenue's: position 1 (LeiauteRE)
    LY,  // the barcode layout, overriding the revenue's: the whole text, an integer
    BL,  // the revenue is not offered in the state; the text is not read
    SR,  // the sub-codes the revenue admits in the state (LeiauteSR)
    LK,  // state-wide: the web address of the state's own program
    M,   // a notice on choosing the state (state-wide) or the revenue
    E,   // a refusal of the state (state-wide) or of the revenue
    DO,  // the document of origin: length, format and three switches (LeiauteDO)
    VL,  // switches of the amounts (LeiauteVL)
    FE,  // state-wide: due and payment dates on weekends and holidays refused; text not read
    MA,  // a notice for an overdue slip; state-wide also for a future reference period
    EV,  // the refusal of a slip paid after its due date
    MC,  // the refusal of a CPF with revenue 100080
    MD,  // the refusal of a document of origin not beginning as required
    CB,  // the barcode is not printed; the text is not read
    SC,  // state-wide: the no-barcode notice goes to the small label; text not read
    V,   // the validity line printed on the slip, instead of the usual one
    VI,  // state-wide: no validity line is printed; text not read
};

// The flag as the Flag column holds it.
std::string_view Sigla(TFlagRegra flag);
// The flag a Flag column holds, or none when no rule has that flag (compared exactly).
std::optional<TFlagRegra> FlagDaSigla(std::string_view sigla);
// Every flag spelt, in order, separated by ", " (for a person told of an unknown one).
std::string SiglasConhecidas();

// The Receita of a state-wide row.
inline constexpr char kTodasAsReceitas[] = "000000";

// Positions of a Texto, counted from 1, both included.
struct TTrecho {
    size_t inicio, fim;
};

// "DO": "010 001 S S S", the maximum length (0: no padding), the format type, and the switches
// "S" for an empty number refused ("N": accepted even where the revenue requires one), a number
// of zeros refused, a number that is not numeric refused. The blanks between are not read.
namespace LeiauteDO {
inline constexpr TTrecho kTamanhoMaximo{1, 3};
inline constexpr TTrecho kTipoFormato{5, 7};
inline constexpr size_t kObrigatorio = 9;
inline constexpr size_t kSemSoZeros = 11;
inline constexpr size_t kNumerico = 13;
}  // namespace LeiauteDO

// "VL": twelve switches, "S" on. The entry screen reads position 1 ("N": the principal closed);
// validation reads 6 to 12; the presence of the row alone frees a late slip from its charges.
namespace LeiauteVL {
inline constexpr size_t kPrincipalAberto = 1;
inline constexpr size_t kPrincipalOuMulta = 6;
inline constexpr size_t kMultaExigida = 7;
inline constexpr size_t kJurosExigidos = 8;
inline constexpr size_t kAtualizacaoSoEmAtraso = 10;
inline constexpr size_t kJurosSoEmAtraso = 11;
inline constexpr size_t kMultaSoEmAtraso = 12;
}  // namespace LeiauteVL

// "SR": "SR 01 02", a first word that names no sub-code, then two-digit sub-codes separated by
// blanks. A text beginning "01" followed by one character and two digits names the only sub-code.
namespace LeiauteSR {
inline constexpr std::string_view kUnica = "01";
inline constexpr size_t kInicioDaUnica = 4;  // its two digits
inline constexpr size_t kInicioDaLista = 4;  // the sub-code filter searches from here on
}  // namespace LeiauteSR

// "RE": the reference-period kind letter in position 1.
namespace LeiauteRE {
inline constexpr TTrecho kTipo{1, 1};
}  // namespace LeiauteRE

// A row of the rule table, by value.
struct TRegraUF {
    std::string uf, receita, texto;

    // The characters of the text in `t`, as many as there are.
    std::string Trecho(TTrecho t) const;
    // Whether position `p` holds `valor`; false when the text is shorter.
    bool Posicao(size_t p, char valor) const {
        return p >= 1 && texto.size() >= p && texto[p - 1] == valor;
    }
};

// The rule (uf, receita, flag), or none.
std::optional<TRegraUF> RegraUF(TDM& dm, const std::string& uf, const std::string& receita,
                                TFlagRegra flag);
// The state-wide rule (uf, "000000", flag), or none.
std::optional<TRegraUF> RegraDoEstado(TDM& dm, const std::string& uf, TFlagRegra flag);
// The revenue's rule, or else the state-wide one.
std::optional<TRegraUF> RegraDaReceitaOuDoEstado(TDM& dm, const std::string& uf,
                                                 const std::string& receita, TFlagRegra flag);
// Forgets what the look-ups keep of a data module's rule table (its keys, to answer at once a
// look-up for a row that does not exist); called as a data module is made and destroyed.
void EsqueceChavesDasRegras();
// The row the table's current record is on: the sub-code filter reads the "SR" row its caller
// positioned before switching the filter on.
TRegraUF RegraCorrente(const TDataSet& regras);
// The Flag column of the table's current record, as it stands (for the table tool, which refuses
// a flag FlagDaSigla does not know).
std::string SiglaCorrente(const TDataSet& regras);

}  // namespace kova
