// The hosted requests of the Linux library: kova, teste and imprime are answered by the screen and
// printing module (Tela.h), loaded on the first of them. Until then the process holds neither Qt
// nor the print system; a module that does not load fails the call with its reason, as any other
// failure, and the next call tries again. The module is trusted as the state-registration
// component is: never through a link, never a file or folder another user could have written.

#include <dlfcn.h>

#include <memory>
#include <string>

#include "EstadoDoHospedeiro.h"
#include "Interface.h"
#include "TBibliotecaDinamica.h"
#include "Tela.h"

namespace kovadll {
namespace {

constexpr const char* kModulo = "libkovadll_tela.so";

const TTela* tela = nullptr;
// The loaded module, kept for the life of the process: Qt cannot be unloaded.
kova::TBibliotecaDinamica* modulo = nullptr;

// The folder this library was loaded from, with its final "/"; the module is beside it, or in
// the folder "kova" beside it, as installed.
std::string PastaDaBiblioteca() {
    Dl_info info{};
    if (!dladdr(reinterpret_cast<void*>(&PastaDaBiblioteca), &info) || !info.dli_fname) return {};
    const std::string caminho = info.dli_fname;
    const size_t barra = caminho.rfind('/');
    return barra == std::string::npos ? std::string() : caminho.substr(0, barra + 1);
}

// The module's table, loading it on the first need; null with the reason kept as the last error.
// The module is never unloaded: Qt cannot be.
const TTela* Tela() {
    if (tela) return tela;
    // Loading Qt runs its initialisers: the host's locale and signals are given back as they were.
    const kova::TEstadoDoHospedeiro hospedeiro;
    const std::string pasta = PastaDaBiblioteca();
    std::string motivo;
    for (const char* sub : {"", "kova/"}) {
        const std::string caminho = pasta + sub + kModulo;
        auto carregado = std::make_unique<kova::TBibliotecaDinamica>(caminho);
        if (!carregado->Carregada()) {
            if (!carregado->Recusa().empty()) {
                // A refused module is the reason, wherever else one might be found.
                motivo = carregado->Recusa();
                break;
            }
            if (motivo.empty()) {
                const char* erro = dlerror();
                motivo = erro ? erro : caminho + " não foi encontrado";
            }
            continue;
        }
        auto entrada = reinterpret_cast<const TTela* (*)()>(carregado->Funcao(KOVA_TELA_ENTRADA));
        if (entrada) {
            tela = entrada();
            modulo = carregado.release();
            return tela;
        }
        motivo = std::string(kModulo) + " sem a entrada " + KOVA_TELA_ENTRADA;
    }
    DefineErro(("Não foi possível carregar a tela e a impressão da biblioteca (" +
                std::string(kModulo) + "): " + motivo)
                   .c_str());
    return nullptr;
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
