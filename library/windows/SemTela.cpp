// The requests that need the screen and the printer, in the build without them (Windows, where no
// Qt is at hand): kova answers the refusal of the hosted request, teste and imprime fail, and
// kova_ultimo_erro says why.

#include <string>

#include "Interface.h"
#include "Nucleo.h"
#include "Requisicao.h"
#include "TfrmDigitar.h"

namespace kovadll {

using namespace kova;

namespace {

constexpr const char* kSemTela =
    "Esta versão da KOVADll não tem tela nem impressão: kova, teste e imprime não estão disponíveis; use kova2";

}  // namespace

bool Teste() {
    if (Protegido([] { Objetos(); })) DefineErro(kSemTela);
    return false;
}

// The reply of a request no person saved: the request, then its refusal, signed.
bool Kova(const char* requisicao, const char** texto, size_t* tamanho) {
    const bool ok = Protegido([&] {
        TfrmDigitar& frm = Objetos();
        Resposta() = AssinaResposta(frm, std::string(requisicao) + ";Retorno=001;Mensagem_Retorno=KOVA não incluída");
    });
    if (ok) DefineErro(kSemTela);
    *texto = Resposta().c_str();
    *tamanho = Resposta().size();
    return ok;
}

bool Imprime(const char*, const char*, const char*) {
    DefineErro(kSemTela);
    return false;
}

void DefineRoteiro(const char*) {}

const char* Relato() { return ""; }

}  // namespace kovadll
