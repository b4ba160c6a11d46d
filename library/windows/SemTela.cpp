// The requests of the build without the screen (Windows, where no Qt is at hand): kova answers a
// refusal of its own, which a host tells from a person's cancel by its message, teste fails, and
// imprime prints through the Windows print system.

#include <string>

#include "Errors.h"
#include "Interface.h"
#include "Nucleo.h"
#include "PintorGDI.h"
#include "Requisicao.h"
#include "TfrmDigitar.h"

namespace kovadll {

using namespace kova;

namespace {

constexpr const char* kSemTela =
    "Esta versão da KOVADll não tem tela: kova e teste não estão disponíveis; use kova2";
// kova's message: it begins as a cancel's does, for hosts that only look for a refusal.
constexpr const char* kKovaSemTela = "KOVA não incluída: esta versão da KOVADll não tem tela";

}  // namespace

bool Teste() {
    if (Protegido([] { Objetos(); })) DefineErro(kSemTela);
    return false;
}

// The request, then a refusal that says why, signed: not the refusal of a slip a person cancelled.
bool Kova(const char* requisicao, const char** texto, size_t* tamanho) {
    bool emUso = false;
    const bool ok = Protegido([&] {
        TfrmDigitar* frm = ObjetosOuEmUso(std::string(requisicao) + ";");
        emUso = frm == nullptr;
        if (emUso) return;
        Resposta() = AssinaResposta(
            *frm, std::string(requisicao) + ";Retorno=001;Mensagem_Retorno=" + kKovaSemTela);
    });
    if (ok && !emUso) DefineErro(kSemTela);
    *texto = Resposta().c_str();
    *tamanho = Resposta().size();
    return ok;
}

// The default printer's job, accepted by the spooler; without a printer nothing is printed.
bool Imprime(const char* texto1, const char* texto2, const char* texto3) {
    return Protegido([&] {
        const std::vector<TPagina> paginas = PaginasDaImpressao(texto1, texto2, texto3);
        const std::string impressora = ImpressoraPadrao();
        if (impressora.empty())
            throw Exception("Não há impressora instalada: a KOVA não foi impressa");
        ImprimeNaImpressora(impressora, paginas, "KOVA");
    });
}

void DefineRoteiro(const char*) {}

const char* Relato() { return ""; }

}  // namespace kovadll
