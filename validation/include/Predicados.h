#pragma once
// Predicates and helpers shared by every field rule. A value is the field's text, trimmed, as
// the rules read it: dates "dd/mm/yyyy", amounts with "," as decimal separator.

#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "Conversoes.h"

namespace kova {

bool EstaVazio(const std::string& v);
// True for the empty text too.
bool SoZeros(const std::string& v);
bool NaoEhInteiro(const std::string& v);
bool NaoEhData(const std::string& v);
bool NaoEhNumero(const std::string& v);
bool TemNaoDigito(const std::string& v);

// The next day that is not a Saturday or a Sunday (holidays are not considered).
TDate ProximoDiaUtil(TDate d);
// Cuts a text at every separator; pieces lose their trailing blanks; a separator at the very end
// adds no empty piece; two in a row give an empty one.
std::vector<std::string> DivideTexto(char separador, const std::string& texto);
// The same items as views into the text, which must outlive them.
std::vector<std::string_view> DivideEmVistas(char separador, std::string_view texto);
// Hands each of those items to item(std::string_view), in order, keeping none.
template <typename F>
void ParaCadaItem(char separador, std::string_view texto, F&& item) {
    auto semBrancosAoFim = [](const char* de, const char* ate) {
        while (ate > de && static_cast<unsigned char>(ate[-1]) <= ' ') --ate;
        return std::string_view(de, size_t(ate - de));
    };
    const char* ini = texto.data();
    const char* const fim = ini + texto.size();
    while (ini < fim) {
        const void* p = std::memchr(ini, separador, size_t(fim - ini));
        if (!p) break;
        const char* const sep = static_cast<const char*>(p);
        item(semBrancosAoFim(ini, sep));
        ini = sep + 1;
    }
    if (ini < fim) item(semBrancosAoFim(ini, fim));
}
// Turns each "#13" of a rule text into a carriage return, keeping at most 1024 characters after
// each marker.
std::string ConverterQuebras(const std::string& texto);

}  // namespace kova
