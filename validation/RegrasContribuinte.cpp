// The taxpayer's CPF or CNPJ (errors 7 to 12) and state registration (errors 122 to 124).

#include "DigitosVerificadores.h"
#include "InscricaoEstadual.h"
#include "Predicados.h"
#include "Regras.h"
#include "Texto.h"

namespace kova {
namespace {

bool Repetido(const std::string& v, size_t n) {
    return v.size() >= n && v.find_first_not_of(v[0], 0) >= n && v[0] >= '0' && v[0] <= '9';
}

}  // namespace

void RegraCICContribuinte(TCritica& c) {
    const std::string& v = c.v;
    if (EstaVazio(v)) return c.Erro("7");
    if (v.size() == 11) {
        // Only the part before the check digits is compared with the repeated digits.
        if (Repetido(v, 9)) return c.Erro("8");
        if (!ConfereCPF(v)) return c.Erro("9");
    } else if (v.size() == 14) {
        if (Repetido(v, 12)) return c.Erro("10");
        if (!ConfereCNPJ(v)) return c.Erro("11");
    } else {
        return c.Erro("12");
    }
}

void RegraInscricaoEstadual(TCritica& c) {
    const std::string uf = c.Campo("UFFavorecida");
    // The revenue code matters in two states only.
    const std::string receita = uf == "SC" || uf == "GO" ? c.Campo("Receita") : std::string();
    if (uf == "SC" && receita == "100072") {
        const std::string doc = c.Campo("DocumentoOrigem");
        // A document that passes only the single-digit test needs the registration.
        if (!doc.empty() && ClasseDocumento(doc, int(doc.size())) == 3 && EstaVazio(c.v))
            return c.Erro("122");
    }
    if (uf == "GO" && receita == "100048" && c.Campo("InscricaoEstadual").empty())
        return c.Erro("123");
    if (!uf.empty() && !c.v.empty() && !SameText(c.v, "ISENTO")) {
        if (!ValidaInscricaoEstadual(uf, c.v) && !ConfereInscricaoNoveDigitos(c.v))
            return c.Erro("124");
    }
}

}  // namespace kova
