#include "Digitos.h"

#include <cstdio>
#include <cstdlib>

#include "Errors.h"

namespace kova {

std::string CompletaEsquerda(const std::string& texto, const std::string& pad, int n) {
    const std::string p = pad.empty() ? " " : pad;
    std::string r = texto;
    while (int(r.size()) < n) r = p + r;
    return int(r.size()) > n ? r.substr(r.size() - size_t(n > 0 ? n : 0)) : r;
}

std::string CompletaDireita(const std::string& texto, const std::string& pad, int n) {
    const std::string p = pad.empty() ? " " : pad;
    std::string r = texto;
    while (int(r.size()) < n) r += p;
    return r.substr(0, size_t(n > 0 ? n : 0));
}

std::string SomenteDigitos(const std::string& texto) {
    std::string r;
    for (char c : texto) {
        if (c >= '0' && c <= '9') r += c;
    }
    return r;
}

std::string DataJuliana(TDate data) {
    TDate inicio = MakeDate(YearOf(data), 1, 1);
    int dia = int((data - inicio).count()) + 1;
    char b[16];
    std::snprintf(b, sizeof b, "%03d%02d", dia, YearOf(data) % 100);
    return b;
}

std::string Modulo11(const std::string& digitos, int m) {
    const int limite = std::abs(m);
    int peso = 2;
    long soma = 0;
    const int n = int(digitos.size());
    for (int k = 0; k < n; ++k) {
        char c = m >= 0 ? digitos[size_t(n - 1 - k)] : digitos[size_t(k)];
        if (c < '0' || c > '9')
            throw EConvertError("'" + digitos + "' não é um número inteiro válido");
        soma += (c - '0') * peso;
        if (limite != 0 && peso >= limite) {
            peso = 2;
        } else {
            ++peso;
        }
    }
    int r = int(soma % 11);
    return std::string(1, char('0' + (r < 2 ? 0 : 11 - r)));
}

}  // namespace kova
