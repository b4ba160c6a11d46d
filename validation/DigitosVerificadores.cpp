#include "DigitosVerificadores.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "Errors.h"

namespace kova {
namespace {

int Digito(char c, const std::string& texto) {
    if (c < '0' || c > '9') throw EConvertError("'" + texto + "' não é um número inteiro válido");
    return c - '0';
}

long SomaModulo10(const std::string& d, bool reduz) {
    long s = 0;
    int peso = 2;
    for (size_t k = d.size(); k > 0; --k) {
        int produto = Digito(d[k - 1], d) * peso;
        s += reduz && produto >= 10 ? produto / 10 + produto % 10 : produto;
        peso = peso == 2 ? 1 : 2;
    }
    return s;
}

std::string UmDigito(int v) { return std::string(1, char('0' + v)); }

std::string Ultimos(const std::string& s, size_t n) {
    return s.size() >= n ? s.substr(s.size() - n) : s;
}
std::string SemUltimos(const std::string& s, size_t n) {
    return s.size() >= n ? s.substr(0, s.size() - n) : std::string();
}

}  // namespace

int32_t InteiroOuFalha(const std::string& texto) {
    int32_t v;
    if (!TryStrToInt(texto, v))
        throw EConvertError("'" + texto + "' não é um número inteiro válido");
    return v;
}

std::string DoisDigitosModulo11(const std::string& base, int m) {
    std::string d1 = Modulo11(base, m);
    return d1 + Modulo11(base + d1, m);
}

bool ConfereCPF(const std::string& cpf) {
    if (cpf.size() < 2) return false;
    return Ultimos(cpf, 2) == DoisDigitosModulo11(SemUltimos(cpf, 2), 0);
}

bool ConfereCNPJ(const std::string& cnpj) {
    if (cnpj.size() < 2) return false;
    const std::string base = SemUltimos(cnpj, 2);
    if (base.find_first_not_of("0123456789") == std::string::npos) {
        return Ultimos(cnpj, 2) == DoisDigitosModulo11(base, 9);
    }
    // A CNPJ with capital letters in its first twelve positions: each character weighs its code
    // minus 48 (A is 17), with the weights of the numeric CNPJ; the two check digits stay digits.
    auto digito = [](const std::string& corpo) {
        long soma = 0;
        int peso = 2;
        for (size_t k = corpo.size(); k > 0; --k) {
            soma += (static_cast<unsigned char>(corpo[k - 1]) - 48) * peso;
            peso = peso == 9 ? 2 : peso + 1;
        }
        const long r = soma % 11;
        return char('0' + (r < 2 ? 0 : 11 - r));
    };
    for (char c : base) {
        if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z'))) return false;
    }
    const char d1 = digito(base);
    const char d2 = digito(base + d1);
    return Ultimos(cnpj, 2) == std::string{d1, d2};
}

std::string Resto97(const std::string& base) {
    // Real documents of 12 and 14 digits have bases beyond 32 bits: a base of digits alone is read
    // whole, and one too long even for 64 bits is reduced digit by digit (it is then far above
    // 100).
    long long r;
    if (!base.empty() && base.size() <= 18 &&
        base.find_first_not_of("0123456789") == std::string::npos) {
        r = (std::stoll(base) - 100) % 97;
    } else if (base.size() > 18 && base.find_first_not_of("0123456789") == std::string::npos) {
        long long m = 0;
        for (char c : base) m = (m * 10 + (c - '0')) % 97;
        r = (m - 100 % 97 + 97) % 97;
    } else {
        r = (static_cast<long long>(InteiroOuFalha(base)) - 100) % 97;
    }
    char b[8];
    if (r < 0) {
        std::snprintf(b, sizeof b, "-%02lld", -r);
    } else {
        std::snprintf(b, sizeof b, "%02lld", r);
    }
    return b;
}

int ClasseDocumento(const std::string& numero, int comprimento) {
    const std::string n = numero.substr(0, size_t(comprimento > 0 ? comprimento : 0));
    const std::string base2 = SemUltimos(n, 2);
    if (Ultimos(n, 2) == DoisDigitosModulo11(base2, 9)) return 1;
    if (Ultimos(n, 2) == Resto97(base2)) return 2;
    if (Ultimos(n, 1) == Modulo11(SemUltimos(n, 1), 9)) return 3;
    return 0;
}

bool ConfereInscricaoNoveDigitos(const std::string& v) {
    if (v.size() < 9) return false;
    // Weights 8..2 for the first digit, 9..3 for the second: the second sum is the first plus the
    // digits, plus twice the first check digit.
    int s1 = 0, digitos = 0;
    for (size_t i = 0; i < 7; ++i) {
        const unsigned d = unsigned(static_cast<unsigned char>(v[i])) - '0';
        if (d > 9) return false;
        s1 += int(d) * int(8 - i);
        digitos += int(d);
    }
    int r = s1 % 11;
    const int d1 = r < 2 ? 0 : 11 - r;
    r = (s1 + digitos + d1 * 2) % 11;
    const int d2 = r < 2 ? 0 : 11 - r;
    // Each check digit is one digit (0, or 11 less a remainder of 2 to 10).
    return v[7] == char('0' + d1) && v[8] == char('0' + d2);
}

std::string Modulo10(const std::string& digitos, bool reduz) {
    return UmDigito(int((10 - SomaModulo10(digitos, reduz) % 10) % 10));
}

std::string Modulo10Variante(const std::string& digitos, bool reduz) {
    int r = int(SomaModulo10(digitos, reduz) % 10);
    return UmDigito(r == 0 ? 1 : (r == 1 ? 0 : 10 - r));
}

std::string Modulo11Pesos2a11(const std::string& digitos) {
    long s = 0;
    int peso = 2;
    for (size_t k = digitos.size(); k > 0; --k) {
        s += Digito(digitos[k - 1], digitos) * peso;
        peso = peso == 11 ? 2 : peso + 1;
    }
    int r = int(s % 11);
    return UmDigito(r < 2 ? 1 : (r == 10 ? 0 : 11 - r));
}

std::string Modulo11Resto1(const std::string& digitos, int m) {
    const int limite = std::abs(m);
    long s = 0;
    int peso = 2;
    for (size_t k = digitos.size(); k > 0; --k) {
        s += Digito(digitos[k - 1], digitos) * peso;
        peso = limite != 0 && peso >= limite ? 2 : peso + 1;
    }
    int r = int(s % 11);
    return UmDigito(r == 0 ? 0 : (r == 1 ? 1 : 11 - r));
}

std::string DigitoTipo23(const std::string& v) {
    char* fim = nullptr;
    errno = 0;
    long long x = std::strtoll(v.c_str(), &fim, 10);
    if (v.empty() || *fim != '\0' || errno == ERANGE)
        throw EConvertError("'" + v + "' não é um número inteiro válido");
    if (v.size() < 9) throw EConvertError("'" + v + "' has no ninth character");
    int c[10];
    for (int i = 1; i <= 9; ++i) c[i] = Digito(v[size_t(i - 1)], v);
    if (x < 2005000000LL) {
        int s = 2 * c[1] + 7 * c[2] + 6 * c[3] + 5 * c[4] + 4 * c[5] + 3 * c[6] + 2 * c[7];
        int d = 11 - s % 11;
        return UmDigito(d >= 10 ? 0 : d);
    }
    int s = 2 * c[1] + 9 * c[2] + 8 * c[3] + 7 * c[4] + 6 * c[5] + 5 * c[6] + 4 * c[7] + 3 * c[8] +
            2 * c[9];
    return UmDigito(s % 10);
}

bool ConfereTipo22(const std::string& v) {
    if (v.size() != 18 || v.substr(0, 4) < "2002") return false;
    const std::string base2 = v.substr(0, 16);
    std::string d1 = Modulo11Resto1(base2, 9);
    std::string d2 = Modulo11Resto1(base2 + d1, 9);
    return v.substr(16) == d1 + d2;
}

}  // namespace kova
