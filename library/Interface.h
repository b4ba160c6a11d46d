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
// Sets the text kova_ultimo_erro gives, for a call refused before its request ran.
void DefineErro(const char* texto);

// One call at a time in the whole process: every export holds this for its whole call, so a second
// thread waits its turn. A call made from inside another on the same thread (a host's handler
// running while the screen is shown) is not accepted rather than waiting for itself.
class TChamada {
public:
    TChamada();
    ~TChamada();
    TChamada(const TChamada&) = delete;
    TChamada& operator=(const TChamada&) = delete;
    bool Aceita() const { return aceita_; }

private:
    bool aceita_;
};
// An export's part of a call refused because another runs on this thread: the reason kept; true
// when refused.
bool Recusada(const TChamada& chamada);
// Copies the n bytes of texto and a zero byte into destino, cut to its tamanho; returns n + 1, the
// size the whole text needs.
size_t Copia(const char* texto, size_t n, char* destino, size_t tamanho);

// What the tests' entry points call (ExportacoesTeste.cpp, only in the tests' variant):
// the library's clock set to "dd/mm/yyyy[ hh:nn:ss]" (null or empty: the system's
// clock again); false when the text is not such a moment.
bool DefineRelogio(const char* momento);
// a script that acts for the person in hosted requests (null: a person again), and
// what the last scripted request saw.
void DefineRoteiro(const char* texto);
const char* Relato();

}  // namespace kovadll
