// The five amounts (errors 86 to 114): number form, the upper limit, charges when paid late, the
// state's "VL" switches, and the total as the sum of the others.

#include "Predicados.h"
#include "Regras.h"

namespace kova {
namespace {

constexpr double kLimite = 999999999.99;

double Numero(const std::string& v) {
    double d = 0;
    TryStrToFloat(v, d);
    return d;
}

double Valor(TCritica& c, const char* campo) { return c.kova.FieldByName(campo).AsFloat(); }

// The state's "VL" switches for the slip; none when the state has no such row.
std::optional<TRegraUF> RegraVL(TCritica& c) { return c.RegraDaKOVA(TFlagRegra::VL); }

// Whether the slip's "VL" row exists and has the switch at `posicao` on.
bool Chave(TCritica& c, size_t posicao) {
    const auto vl = RegraVL(c);
    return vl && vl->Posicao(posicao, 'S');
}

// Paid after the due date moved past a weekend.
bool PagoEmAtraso(TCritica& c, bool& temVencimento) {
    const TField& venc = c.kova.FieldByName("DataVencimento");
    const TField& pag = c.kova.FieldByName("DataPagamento");
    temVencimento = !venc.IsNull();
    return temVencimento && !pag.IsNull() && pag.AsDate() > ProximoDiaUtil(venc.AsDate());
}

bool SemEncargosEmAtraso(TCritica& c) {
    bool temVencimento;
    return PagoEmAtraso(c, temVencimento) && Valor(c, "Juros") == 0 &&
           Valor(c, "AtualizacaoMonetaria") == 0 && Valor(c, "Multa") == 0 && !RegraVL(c);
}

bool EncargoAntecipado(TCritica& c, double valor, size_t posicao) {
    bool temVencimento;
    const bool atraso = PagoEmAtraso(c, temVencimento);
    return temVencimento && !atraso && valor != 0 && Chave(c, posicao);
}

}  // namespace

void RegraValorPrincipal(TCritica& c) {
    if (EstaVazio(c.v)) return c.Erro("86");
    if (NaoEhNumero(c.v)) return c.Erro("87");
    const double v = Numero(c.v);
    if (v < 0) return c.Erro("88");
    if (v > kLimite) return c.Erro("89");
}

void RegraAtualizacaoMonetaria(TCritica& c) {
    if (NaoEhNumero(c.v)) return c.Erro("90");
    const double v = Numero(c.v);
    if (v > kLimite) return c.Erro("91");
    if (SemEncargosEmAtraso(c)) return c.ErroPar("92", "93");
    if (EncargoAntecipado(c, v, LeiauteVL::kAtualizacaoSoEmAtraso)) return c.Erro("94");
}

void RegraJuros(TCritica& c) {
    if (NaoEhNumero(c.v)) return c.Erro("95");
    const double v = Numero(c.v);
    if (v > kLimite) return c.Erro("96");
    if (SemEncargosEmAtraso(c)) return c.ErroPar("97", "98");
    if (Chave(c, LeiauteVL::kJurosExigidos) && v == 0) return c.Erro("99");
    if (EncargoAntecipado(c, v, LeiauteVL::kJurosSoEmAtraso)) return c.Erro("100");
}

void RegraMulta(TCritica& c) {
    if (NaoEhNumero(c.v)) return c.Erro("101");
    const double v = Numero(c.v);
    if (v > kLimite) return c.Erro("102");
    if (SemEncargosEmAtraso(c)) return c.ErroPar("103", "104");
    if (Chave(c, LeiauteVL::kMultaExigida) && v == 0) return c.Erro("105");
    if (EncargoAntecipado(c, v, LeiauteVL::kMultaSoEmAtraso)) return c.Erro("106");
}

void RegraPrincipalOuMulta(TCritica& c) {
    if (Chave(c, LeiauteVL::kPrincipalOuMulta) && Valor(c, "ValorPrincipal") != 0 &&
        Valor(c, "Multa") != 0) {
        return c.Erro("107");
    }
}

void RegraTotalRecolher(TCritica& c) {
    if (EstaVazio(c.v)) return c.Erro("108");
    if (NaoEhNumero(c.v)) return c.Erro("109");
    const double v = Numero(c.v);
    if (v == 0) return c.Erro("110");
    if (v < 0) return c.Erro("111");
    if (v > kLimite) return c.Erro("112");
    const double soma =
        ((Valor(c, "ValorPrincipal") + Valor(c, "AtualizacaoMonetaria")) + Valor(c, "Juros")) +
        Valor(c, "Multa");
    if (Arredonda(2, v) != Arredonda(2, soma))
        c.mensagem = Mensagem113ou114(c.Silencioso(), v, soma);
}

}  // namespace kova
