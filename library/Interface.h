#pragma once
// The library's requests as the C exports call them. Kept apart from the engine's headers: the
// export named kova and the engine's namespace cannot share one translation unit.

#include <cstddef>

namespace kovadll {

bool Teste();
// The reply, or false (the failure's text kept for UltimoErro) when the request failed.
bool Kova(const char* requisicao, const char** resposta, size_t* tamanho);
bool Kova2(const char* requisicao, const char** resposta, size_t* tamanho);
bool Imprime(const char* texto1, const char* texto2, const char* texto3);
const char* UltimoErro();
// Tests only: a script that acts for the person in hosted requests (null: a person again), and
// what the last scripted request saw.
void DefineRoteiro(const char* texto);
const char* Relato();

}  // namespace kovadll
