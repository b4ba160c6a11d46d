// The entry points of the project's own tests (kovadll_teste.h), linked only into the tests'
// variant of the library: the shipped library has no way to set the clock the rules of dates read,
// nor to play the person at the screen.

#include <cstring>

#include "Interface.h"
#include "kovadll_teste.h"

using kovadll::Copia;
using kovadll::Recusada;
using kovadll::TChamada;

extern "C" {

KOVADLL_API bool KOVADLL_CALL kova_relogio_teste(const char* momento) {
    TChamada chamada;
    return !Recusada(chamada) && kovadll::DefineRelogio(momento);
}

KOVADLL_API void KOVADLL_CALL kova_roteiro_teste(const char* roteiro) {
    TChamada chamada;
    if (!Recusada(chamada)) kovadll::DefineRoteiro(roteiro);
}

KOVADLL_API size_t KOVADLL_CALL kova_relato_teste(char* texto, size_t tamanho) {
    TChamada chamada;  // read on this thread while it holds the call, or under the lock
    const char* relato = kovadll::Relato();
    return Copia(relato, std::strlen(relato), texto, tamanho);
}

}  // extern "C"
