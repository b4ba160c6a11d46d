#include "ModuloDaTela.h"

#include <dlfcn.h>

#include <memory>

#include "EstadoDoHospedeiro.h"
#include "TBibliotecaDinamica.h"
#include "Tela.h"

namespace kovadll {
namespace {

constexpr const char* kModulo = "libkovadll_tela.so";

const TTela* tela = nullptr;
// The loaded module, kept for the life of the process.
kova::TBibliotecaDinamica* modulo = nullptr;

}  // namespace

std::string PastaDoArquivoCom(const void* endereco) {
    Dl_info info{};
    if (!dladdr(endereco, &info) || !info.dli_fname) return {};
    const std::string caminho = info.dli_fname;
    const size_t barra = caminho.rfind('/');
    return barra == std::string::npos ? std::string() : caminho.substr(0, barra + 1);
}

std::string PastaDoMotor() {
    return PastaDoArquivoCom(reinterpret_cast<const void*>(&PastaDoMotor));
}

const TTela* CarregaModuloDaTela(const std::string& pasta, std::string& motivo) {
    if (tela) return tela;
    // Loading Qt runs its initialisers: the host's locale and signals are given back as they were.
    const kova::TEstadoDoHospedeiro hospedeiro;
    motivo.clear();
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
    motivo = "Não foi possível carregar a tela e a impressão da biblioteca (" +
             std::string(kModulo) + "): " + motivo;
    return nullptr;
}

}  // namespace kovadll
