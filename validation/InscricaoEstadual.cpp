#include "InscricaoEstadual.h"

#include <cstdint>

#include "Dialogs.h"
#include "Diretorios.h"
#include "Errors.h"
#include "TBibliotecaDinamica.h"
#include "TDM.h"
#include "Texto.h"

namespace kova {

// The component's one function; on 32-bit Windows with the system's calling convention.
#if defined(_WIN32) && !defined(_WIN64)
using Consiste = int32_t(__stdcall*)(const char*, const char*);
#else
using Consiste = int32_t (*)(const char*, const char*);
#endif

bool ValidaInscricaoEstadual(const std::string& uf, const std::string& inscricao) {
    const std::string sistema = IncluiBarra(Trim(DiretorioSistema())) + kComponenteInscricao;
    const std::string local = Trim(DM ? DM->DirPrograma : DiretorioPrograma()) + kComponenteInscricao;
    BusyCursor ampulheta;
    const std::string instalado = DiretorioComponentes() + kComponenteInscricao;
    const std::string origem = ExisteArquivoDisco(local) ? local : instalado;
    if (!ExisteArquivoDisco(sistema) && ExisteArquivoDisco(origem)) {
        CopiaArquivo(origem, sistema);
        if (!ExisteArquivoDisco(sistema)) {
            MessageDlg(std::string("Erro no Copy da DLL: ") + kComponenteInscricao, TMsgDlgType::mtError);
        }
    }
    TBibliotecaDinamica biblioteca(sistema);
    if (!biblioteca.Carregada()) throw Exception(std::string(kComponenteInscricao) + " não carregada");
    auto consiste = reinterpret_cast<Consiste>(biblioteca.Funcao("ConsisteInscricaoEstadual"));
    if (!consiste) {
        throw Exception(std::string("Entrypoint ConsisteInscricaoEstadual não encontrado em ") + kComponenteInscricao);
    }
    return consiste(inscricao.c_str(), uf.c_str()) == 0;
}

}  // namespace kova
