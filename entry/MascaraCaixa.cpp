#include "MascaraCaixa.h"

#include <cctype>
#include <string_view>

namespace kova {

TMascaraCaixa::TMascaraCaixa(const std::string& mascara) {
    const std::string m = mascara.substr(0, mascara.find(';'));
    for (size_t i = 0; i < m.size(); ++i) {
        const char c = m[i];
        if (c == '!' && i == 0) continue;
        if (c == '\\' && i + 1 < m.size()) {
            posicoes_.push_back({m[++i], 0});
        } else if (std::string_view("09LlAaCc#").find(c) != std::string_view::npos) {
            posicoes_.push_back({'\0', c});
        } else {
            posicoes_.push_back({c, 0});
        }
    }
}

size_t TMascaraCaixa::Vagas() const {
    size_t n = 0;
    for (const Posicao& p : posicoes_) n += p.literal == '\0';
    return n;
}

bool TMascaraCaixa::Cabe(size_t vaga, char c) const {
    size_t n = 0;
    for (const Posicao& p : posicoes_) {
        if (p.literal != '\0') continue;
        if (n++ != vaga) continue;
        const unsigned char u = static_cast<unsigned char>(c);
        switch (p.tipo) {
            case '0':
            case '9':
            case '#':
                return std::isdigit(u) != 0;
            case 'L':
            case 'l':
                return std::isalpha(u) != 0 || u >= 0xC0;
            case 'A':
            case 'a':
                return std::isalnum(u) != 0 || u >= 0xC0;
            default:
                return u >= ' ';
        }
    }
    return false;
}

std::string TMascaraCaixa::Digitados(const std::string& texto) const {
    std::string r;
    for (const char c : texto) {
        if (r.size() >= Vagas()) break;
        bool separador = false;
        for (const Posicao& p : posicoes_) separador = separador || p.literal == c;
        if (separador && !Cabe(r.size(), c)) continue;
        if (Cabe(r.size(), c)) r += c;
    }
    return r;
}

std::string TMascaraCaixa::Formata(const std::string& digitados) const {
    std::string r;
    size_t usados = 0;
    for (const Posicao& p : posicoes_) {
        if (usados >= digitados.size()) break;
        if (p.literal != '\0') {
            r += p.literal;
        } else {
            r += digitados[usados++];
        }
    }
    return r;
}

std::string TMascaraCaixa::Digita(const std::string& texto, char c) const {
    const std::string d = Digitados(texto);
    if (d.size() >= Vagas() || !Cabe(d.size(), c)) return texto;
    return Formata(d + c);
}

std::string TMascaraCaixa::Apaga(const std::string& texto) const {
    std::string d = Digitados(texto);
    if (!d.empty()) d.pop_back();
    return Formata(d);
}

}  // namespace kova
