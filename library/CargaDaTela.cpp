// The hosted requests of the Linux library: kova, teste and imprime are answered by the screen and
// printing module (Tela.h), loaded on the first of them (ModuloDaTela.h). Until then the process
// holds neither Qt nor the print system; a module that does not load fails the call with its
// reason, as any other failure, and the next call tries again.

#include <string>

#include "Interface.h"
#include "ModuloDaTela.h"
#include "Tela.h"

namespace kovadll {
namespace {

const TTela* tela = nullptr;

// The module's table, loading it on the first need; null with the reason kept as the last error.
// The module is beside this library, or in the folder "kova" beside it, as installed.
const TTela* Tela() {
    if (tela) return tela;
    std::string motivo;
    tela = CarregaModuloDaTela(PastaDoArquivoCom(reinterpret_cast<const void*>(&Tela)), motivo);
    if (!tela) DefineErro(motivo.c_str());
    return tela;
}

}  // namespace

bool Teste() {
    const TTela* t = Tela();
    return t && t->Teste();
}

bool Kova(const char* requisicao, const char** resposta, size_t* tamanho) {
    const TTela* t = Tela();
    return t && t->Kova(requisicao, resposta, tamanho);
}

bool Imprime(const char* texto1, const char* texto2, const char* texto3) {
    const TTela* t = Tela();
    return t && t->Imprime(texto1, texto2, texto3);
}

void DefineRoteiro(const char* texto) {
    // No script to drop while the module is not loaded.
    if (!tela && (!texto || !*texto)) return;
    if (const TTela* t = Tela()) t->DefineRoteiro(texto);
}

const char* Relato() { return tela ? tela->Relato() : ""; }

}  // namespace kovadll
