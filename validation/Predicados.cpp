#include "Predicados.h"

#include "Texto.h"

namespace kova {

// Blank: nothing but blanks and control characters, as trimming removes them.
bool EstaVazio(const std::string& v) {
    for (char c : v) {
        if (static_cast<unsigned char>(c) > ' ') return false;
    }
    return true;
}

bool SoZeros(const std::string& v) { return v.find_first_not_of('0') == std::string::npos; }

bool NaoEhInteiro(const std::string& v) {
    int32_t i;
    return !TryStrToInt(v, i);
}

bool NaoEhData(const std::string& v) {
    TDate d;
    return !TryStrToDate(v, d);
}

bool NaoEhNumero(const std::string& v) {
    double d;
    return !TryStrToFloat(v, d);
}

bool TemNaoDigito(const std::string& v) {
    size_t ini = 0, fim = v.size();
    while (fim > 0 && static_cast<unsigned char>(v[fim - 1]) <= ' ') --fim;
    while (ini < fim && static_cast<unsigned char>(v[ini]) <= ' ') ++ini;
    for (size_t i = ini; i < fim; ++i) {
        if (v[i] < '0' || v[i] > '9') return true;
    }
    return false;
}

TDate ProximoDiaUtil(TDate d) {
    while (DayOfWeek(d) == 1 || DayOfWeek(d) == 7) d += std::chrono::days(1);
    return d;
}

std::vector<std::string> DivideTexto(char separador, const std::string& texto) {
    std::vector<std::string> itens;
    size_t ini = 0;
    for (size_t p = texto.find(separador); p != std::string::npos; p = texto.find(separador, ini)) {
        itens.push_back(TrimRight(std::string_view(texto).substr(ini, p - ini)));
        ini = p + 1;
    }
    if (ini < texto.size()) itens.push_back(TrimRight(std::string_view(texto).substr(ini)));
    return itens;
}

std::vector<std::string_view> DivideEmVistas(char separador, std::string_view texto) {
    std::vector<std::string_view> itens;
    itens.reserve(32);
    ParaCadaItem(separador, texto, [&itens](std::string_view v) { itens.push_back(v); });
    return itens;
}

std::string ConverterQuebras(const std::string& texto) {
    std::string s = texto;
    for (size_t p = s.find("#13"); p != std::string::npos; p = s.find("#13")) {
        s = s.substr(0, p) + "\r" + s.substr(p + 3, 1024);
    }
    return s;
}

}  // namespace kova
