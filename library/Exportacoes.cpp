// The C exports host programs call: each one calls its request and copies the reply; nothing
// thrown gets here. The tests' own entry points are in ExportacoesTeste.cpp, only in the tests'
// variant of the library.

#include <algorithm>
#include <cstring>
#include <string>

#include "Interface.h"
#include "kovadll.h"

namespace {

using kovadll::TChamada;

constexpr const char* kOutraChamada = "KOVA já está atendendo uma chamada nesta linha de execução";

// What the header promises a host's buffer of the forms without a length must hold: kova's reply is
// at most 1,500 bytes and kova2's under 400, the zero byte included. A host sizes its buffer by it.
constexpr size_t kTamanhoKova = 1500;
constexpr size_t kTamanhoKova2 = 400;

// Whether a reply of n bytes and its zero byte fit the buffer the export promises; otherwise the
// reason is kept and nothing is written (the buffer keeps the request).
bool Cabe(size_t n, size_t tamanho, const char* exportacao) {
    if (n + 1 <= tamanho) return true;
    const std::string motivo =
        std::string("A resposta de ") + exportacao + " (" + std::to_string(n + 1) +
        " bytes com o byte zero) passa do tamanho de " + std::to_string(tamanho) +
        " bytes que o buffer da requisição deve ter; nada foi escrito nele. Use " + exportacao +
        "_n, que recebe o tamanho do buffer.";
    kovadll::DefineErro(motivo.c_str());
    return false;
}

// A buffer the length-checked forms refuse, with the reason kova_ultimo_erro gives.
bool BufferRecusado(const char* requisicao, size_t tamanho) {
    if (!requisicao) {
        kovadll::DefineErro("Requisição nula");
    } else if (tamanho == 0) {
        kovadll::DefineErro("Tamanho do buffer da requisição igual a zero");
    } else if (!std::memchr(requisicao, '\0', tamanho)) {
        kovadll::DefineErro(
            "A requisição não termina com um byte zero dentro do tamanho informado");
    } else {
        return false;
    }
    return true;
}

}  // namespace

namespace kovadll {

size_t Copia(const char* texto, size_t n, char* destino, size_t tamanho) {
    if (destino && tamanho > 0) {
        const size_t k = std::min(n, tamanho - 1);
        std::memcpy(destino, texto, k);
        destino[k] = '\0';
    }
    return n + 1;
}

// The export's part of a refused call: the reason, and the request left as it was.
bool Recusada(const TChamada& chamada) {
    if (chamada.Aceita()) return false;
    DefineErro(kOutraChamada);
    return true;
}

}  // namespace kovadll

using kovadll::Copia;
using kovadll::Recusada;

extern "C" {

KOVADLL_API bool KOVADLL_CALL teste(void) {
    TChamada chamada;
    if (Recusada(chamada)) return false;
    return kovadll::Teste();
}

KOVADLL_API void KOVADLL_CALL kova(char* requisicao) {
    TChamada chamada;
    if (Recusada(chamada)) return;
    const char* resposta;
    size_t n;
    if (requisicao && kovadll::Kova(requisicao, &resposta, &n) && Cabe(n, kTamanhoKova, "kova")) {
        std::memcpy(requisicao, resposta, n + 1);
    }
}

KOVADLL_API void KOVADLL_CALL kova2(char* requisicao) {
    TChamada chamada;
    if (Recusada(chamada)) return;
    const char* resposta;
    size_t n;
    if (requisicao && kovadll::Kova2(requisicao, &resposta, &n) &&
        Cabe(n, kTamanhoKova2, "kova2")) {
        std::memcpy(requisicao, resposta, n + 1);
    }
}

KOVADLL_API size_t KOVADLL_CALL kova_n(char* requisicao, size_t tamanho) {
    TChamada chamada;
    if (Recusada(chamada) || BufferRecusado(requisicao, tamanho)) return 0;
    const char* resposta;
    size_t n;
    if (!kovadll::Kova(requisicao, &resposta, &n)) return 0;
    return Copia(resposta, n, requisicao, tamanho);
}

KOVADLL_API size_t KOVADLL_CALL kova2_n(char* requisicao, size_t tamanho) {
    TChamada chamada;
    if (Recusada(chamada) || BufferRecusado(requisicao, tamanho)) return 0;
    const char* resposta;
    size_t n;
    if (!kovadll::Kova2(requisicao, &resposta, &n)) return 0;
    return Copia(resposta, n, requisicao, tamanho);
}

KOVADLL_API void KOVADLL_CALL imprime(const char* texto1, const char* texto2, const char* texto3,
                                      char* resultado) {
    static const char kNaoImpressa[] = "001KOVA não incluida";
    TChamada chamada;
    const bool ok = !Recusada(chamada) && kovadll::Imprime(texto1, texto2, texto3);
    if (resultado) {
        if (ok) {
            std::memcpy(resultado, "000", 4);
        } else {
            std::memcpy(resultado, kNaoImpressa, sizeof kNaoImpressa);
        }
    }
}

KOVADLL_API size_t KOVADLL_CALL kova_ultimo_erro(char* texto, size_t tamanho) {
    TChamada chamada;  // read on this thread while it holds the call, or under the lock
    const char* erro = kovadll::UltimoErro();
    return Copia(erro, std::strlen(erro), texto, tamanho);
}

}  // extern "C"
