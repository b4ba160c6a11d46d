#include "InscricaoEstadual.h"

#include <dlfcn.h>

#include <cstdint>

#include "Dialogs.h"
#include "Diretorios.h"
#include "Errors.h"
#include "TDM.h"
#include "Texto.h"

namespace kova {
namespace {

class Biblioteca {
public:
    explicit Biblioteca(const std::string& path) : handle_(dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL)) {}
    ~Biblioteca() {
        if (handle_) dlclose(handle_);
    }
    Biblioteca(const Biblioteca&) = delete;
    Biblioteca& operator=(const Biblioteca&) = delete;
    void* handle() const { return handle_; }

private:
    void* handle_;
};

}  // namespace

bool ValidaInscricaoEstadual(const std::string& uf, const std::string& inscricao) {
    const std::string sistema = IncluiBarra(Trim(DiretorioSistema())) + kComponenteInscricao;
    const std::string local = Trim(DM ? DM->DirPrograma : DiretorioPrograma()) + kComponenteInscricao;
    BusyCursor ampulheta;
    // Installed from the package, the component every user shares stands in the library folder.
    const std::string instalado = std::string(KOVA_DIR_COMPONENTE_INSTALADO) + kComponenteInscricao;
    const std::string origem = ExisteArquivoDisco(local) ? local : instalado;
    if (!ExisteArquivoDisco(sistema) && ExisteArquivoDisco(origem)) {
        CopiaArquivo(origem, sistema);
        if (!ExisteArquivoDisco(sistema)) {
            MessageDlg(std::string("Erro no Copy da DLL: ") + kComponenteInscricao, TMsgDlgType::mtError);
        }
    }
    Biblioteca biblioteca(sistema);
    if (!biblioteca.handle()) throw Exception(std::string(kComponenteInscricao) + " não carregada");
    using Consiste = int32_t (*)(const char*, const char*);
    auto consiste = reinterpret_cast<Consiste>(dlsym(biblioteca.handle(), "ConsisteInscricaoEstadual"));
    if (!consiste) {
        throw Exception(std::string("Entrypoint ConsisteInscricaoEstadual não encontrado em ") + kComponenteInscricao);
    }
    return consiste(inscricao.c_str(), uf.c_str()) == 0;
}

}  // namespace kova
