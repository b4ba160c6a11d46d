#include "InscricaoEstadual.h"

#include <cstddef>
#include <initializer_list>

namespace {

constexpr int32_t kValida = 0;
constexpr int32_t kInvalida = 1;
// No state's registration is longer; a longer text is refused without reading further.
constexpr size_t kMaximo = 14;

struct Numero {
    char d[kMaximo + 1];  // digits only, zero-ended
    size_t n = 0;
    bool produtor = false;  // São Paulo's "P" form

    int Digito(size_t posicao) const { return d[posicao - 1] - '0'; }  // positions from 1
    bool Comeca(const char* prefixo) const {
        for (size_t i = 0; prefixo[i]; ++i) {
            if (d[i] != prefixo[i]) return false;
        }
        return true;
    }
    // The digits from..to (positions from 1) read as a number.
    long Valor(size_t de, size_t ate) const {
        long v = 0;
        for (size_t i = de; i <= ate; ++i) v = v * 10 + Digito(i);
        return v;
    }
};

bool Normaliza(const char* texto, Numero& num) {
    num.n = 0;
    bool primeiro = true;
    for (const char* p = texto; *p; ++p) {
        char c = *p;
        // Digits first: a registration is mostly digits.
        if (c >= '0' && c <= '9') {
            if (num.n == kMaximo) return false;
            num.d[num.n++] = c;
        } else if (c == ' ' || c == '.' || c == '-' || c == '/') {
            continue;
        } else if (primeiro && (c == 'P' || c == 'p')) {
            num.produtor = true;
        } else {
            return false;
        }
        primeiro = false;
    }
    num.d[num.n] = '\0';
    return num.n > 0;
}

// Sum of the digits at positions de.. (from 1) times the weights, in order.
int Soma(const Numero& num, size_t de, std::initializer_list<int> pesos) {
    int s = 0;
    size_t i = de;
    for (int p : pesos) s += num.Digito(i++) * p;
    return s;
}

// Weights counting down to 2 over the digits de..ate: 9..2 for eight digits.
int SomaDecrescente(const Numero& num, size_t de, size_t ate) {
    int s = 0;
    int peso = int(ate - de) + 2;
    for (size_t i = de; i <= ate; ++i) s += num.Digito(i) * peso--;
    return s;
}

int M11(int s) {
    int r = s % 11;
    return r < 2 ? 0 : 11 - r;
}

int M11Menos10(int s) {
    int v = 11 - s % 11;
    return v >= 10 ? v - 10 : v;
}

int M10(int s) {
    int r = s % 10;
    return r == 0 ? 0 : 10 - r;
}

// Nine digits, the last a modulo-11 digit of the first eight with weights 9..2.
bool NoveDigitos(const Numero& num, const char* prefixo = "") {
    return num.n == 9 && num.Comeca(prefixo) && M11(SomaDecrescente(num, 1, 8)) == num.Digito(9);
}

// Thirteen digits with two modulo-11 digits, weights 2..9 from the right (Acre, Distrito Federal).
bool TrezeDigitosDoisDV(const Numero& num) {
    return num.n == 13 && M11(Soma(num, 1, {4, 3, 2, 9, 8, 7, 6, 5, 4, 3, 2})) == num.Digito(12) &&
           M11(Soma(num, 1, {5, 4, 3, 2, 9, 8, 7, 6, 5, 4, 3, 2})) == num.Digito(13);
}

bool AC(const Numero& n) { return n.Comeca("01") && TrezeDigitosDoisDV(n); }

bool AL(const Numero& n) {
    if (n.n != 9 || !n.Comeca("24")) return false;
    int tipo = n.Digito(3);
    if (tipo != 0 && tipo != 3 && tipo != 5 && tipo != 7 && tipo != 8) return false;
    return M11(SomaDecrescente(n, 1, 8)) == n.Digito(9);
}

bool AP(const Numero& n) {
    if (n.n != 9 || !n.Comeca("03")) return false;
    long base = n.Valor(1, 8);
    int p = 0, d = 0;
    if (base >= 3000001 && base <= 3017000) {
        p = 5;
    } else if (base >= 3017001 && base <= 3019022) {
        p = 9;
        d = 1;
    }
    int v = 11 - (p + SomaDecrescente(n, 1, 8)) % 11;
    int dv = v == 10 ? 0 : (v == 11 ? d : v);
    return dv == n.Digito(9);
}

bool BA(const Numero& n) {
    if (n.n != 8 && n.n != 9) return false;
    int decide = n.n == 8 ? n.Digito(1) : n.Digito(2);
    bool modulo11 = decide == 6 || decide == 7 || decide == 9;
    auto mapa = [&](int s) { return modulo11 ? M11(s) : M10(s); };
    size_t corpo = n.n - 2;
    // The last digit comes from the body alone; the one before it from the body and the last.
    int ultimo = mapa(SomaDecrescente(n, 1, corpo));
    int s = 0;
    int peso = int(corpo) + 2;
    for (size_t i = 1; i <= corpo; ++i) s += n.Digito(i) * peso--;
    s += ultimo * 2;
    int penultimo = mapa(s);
    return ultimo == n.Digito(n.n) && penultimo == n.Digito(n.n - 1);
}

bool GO(const Numero& n) {
    if (n.n != 9) return false;
    long prefixo = n.Valor(1, 2);
    if (prefixo != 10 && prefixo != 11 && prefixo != 15 && (prefixo < 20 || prefixo > 29))
        return false;
    long base = n.Valor(1, 8);
    if (base == 11094402) return n.Digito(9) == 0 || n.Digito(9) == 1;
    int r = SomaDecrescente(n, 1, 8) % 11;
    int dv = r == 0 ? 0 : (r == 1 ? (base >= 10103105 && base <= 10119997 ? 1 : 0) : 11 - r);
    return dv == n.Digito(9);
}

bool MT(const Numero& n) {
    return n.n == 11 && M11(Soma(n, 1, {3, 2, 9, 8, 7, 6, 5, 4, 3, 2})) == n.Digito(11);
}

bool MG(const Numero& n) {
    if (n.n != 13) return false;
    // The first digit takes a zero inserted after the municipality code.
    int doze[12];
    for (int i = 0; i < 3; ++i) doze[i] = n.Digito(size_t(i + 1));
    doze[3] = 0;
    for (int i = 4; i < 12; ++i) doze[i] = n.Digito(size_t(i));
    int s = 0;
    for (int i = 0; i < 12; ++i) {
        int produto = doze[i] * (i % 2 == 0 ? 1 : 2);
        s += produto / 10 + produto % 10;
    }
    int dv1 = (10 - s % 10) % 10;
    if (dv1 != n.Digito(12)) return false;
    return M11(Soma(n, 1, {3, 2, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2})) == n.Digito(13);
}

bool PR(const Numero& n) {
    return n.n == 10 && M11(Soma(n, 1, {3, 2, 7, 6, 5, 4, 3, 2})) == n.Digito(9) &&
           M11(Soma(n, 1, {4, 3, 2, 7, 6, 5, 4, 3, 2})) == n.Digito(10);
}

bool PE(const Numero& n) {
    if (n.n == 9) {
        return M11(SomaDecrescente(n, 1, 7)) == n.Digito(8) &&
               M11(SomaDecrescente(n, 1, 8)) == n.Digito(9);
    }
    return n.n == 14 &&
           M11Menos10(Soma(n, 1, {5, 4, 3, 2, 1, 9, 8, 7, 6, 5, 4, 3, 2})) == n.Digito(14);
}

bool RJ(const Numero& n) {
    return n.n == 8 && M11(Soma(n, 1, {2, 7, 6, 5, 4, 3, 2})) == n.Digito(8);
}

bool RN(const Numero& n) {
    if (!n.Comeca("20") || (n.n != 9 && n.n != 10)) return false;
    return M11(SomaDecrescente(n, 1, n.n - 1)) == n.Digito(n.n);
}

bool RS(const Numero& n) {
    return n.n == 10 && M11(Soma(n, 1, {2, 9, 8, 7, 6, 5, 4, 3, 2})) == n.Digito(10);
}

bool RO(const Numero& n) {
    if (n.n == 14)
        return M11Menos10(Soma(n, 1, {6, 5, 4, 3, 2, 9, 8, 7, 6, 5, 4, 3, 2})) == n.Digito(14);
    // The old form checks only the company digits; the municipality is not weighed.
    return n.n == 9 && M11Menos10(Soma(n, 4, {6, 5, 4, 3, 2})) == n.Digito(9);
}

bool RR(const Numero& n) {
    return n.n == 9 && n.Comeca("24") && Soma(n, 1, {1, 2, 3, 4, 5, 6, 7, 8}) % 9 == n.Digito(9);
}

bool SP(const Numero& n) {
    auto dv1 = [&] { return (Soma(n, 1, {1, 3, 4, 5, 6, 7, 8, 10}) % 11) % 10; };
    if (n.produtor) return n.n == 12 && dv1() == n.Digito(9);
    return n.n == 12 && dv1() == n.Digito(9) &&
           (Soma(n, 1, {3, 2, 10, 9, 8, 7, 6, 5, 4, 3, 2}) % 11) % 10 == n.Digito(12);
}

bool TO(const Numero& n) {
    if (n.n == 9) return NoveDigitos(n);
    if (n.n != 11) return false;
    long categoria = n.Valor(3, 4);
    if (categoria != 1 && categoria != 2 && categoria != 3 && categoria != 99) return false;
    int s = n.Digito(1) * 9 + n.Digito(2) * 8;
    int peso = 7;
    for (size_t i = 5; i <= 10; ++i) s += n.Digito(i) * peso--;
    return M11(s) == n.Digito(11);
}

bool Nove(const Numero& n) { return NoveDigitos(n); }
bool MA(const Numero& n) { return NoveDigitos(n, "12"); }
bool MS(const Numero& n) { return NoveDigitos(n, "28"); }
bool PA(const Numero& n) { return NoveDigitos(n, "15"); }
bool DF(const Numero& n) { return TrezeDigitosDoisDV(n); }

struct Estado {
    const char* uf;
    bool (*regra)(const Numero&);
};

constexpr Estado kEstados[] = {
    {"AC", AC},   {"AL", AL}, {"AP", AP},   {"AM", Nove}, {"BA", BA},   {"CE", Nove}, {"DF", DF},
    {"ES", Nove}, {"GO", GO}, {"MA", MA},   {"MT", MT},   {"MS", MS},   {"MG", MG},   {"PA", PA},
    {"PB", Nove}, {"PR", PR}, {"PE", PE},   {"PI", Nove}, {"RJ", RJ},   {"RN", RN},   {"RS", RS},
    {"RO", RO},   {"RR", RR}, {"SC", Nove}, {"SP", SP},   {"SE", Nove}, {"TO", TO},
};

char Maiuscula(char c) { return c >= 'a' && c <= 'z' ? char(c - 32) : c; }

// The states by their two capitals, found without comparing texts.
struct TPorSigla {
    signed char indice[26][26];
    constexpr TPorSigla() : indice{} {
        for (auto& linha : indice) {
            for (auto& i : linha) i = -1;
        }
        for (size_t i = 0; i < sizeof kEstados / sizeof kEstados[0]; ++i) {
            indice[kEstados[i].uf[0] - 'A'][kEstados[i].uf[1] - 'A'] = static_cast<signed char>(i);
        }
    }
};
constexpr TPorSigla kPorSigla;

}  // namespace

extern "C" int32_t INSCRICAO_CALL ConsisteInscricaoEstadual(const char* inscricao, const char* uf) {
    if (!inscricao || !uf || !uf[0] || !uf[1] || uf[2]) return kInvalida;
    const unsigned a = unsigned(Maiuscula(uf[0]) - 'A'), b = unsigned(Maiuscula(uf[1]) - 'A');
    if (a >= 26 || b >= 26 || kPorSigla.indice[a][b] < 0) return kInvalida;
    const Estado& e = kEstados[size_t(kPorSigla.indice[a][b])];
    Numero num;
    if (!Normaliza(inscricao, num)) return kInvalida;
    if (num.produtor && e.regra != SP) return kInvalida;
    return e.regra(num) ? kValida : kInvalida;
}
