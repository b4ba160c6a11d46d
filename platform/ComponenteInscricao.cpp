#include "ComponenteInscricao.h"

#include <algorithm>
#include <memory>
#include <vector>

#include "Diretorios.h"
#include "Errors.h"
#include "TBibliotecaDinamica.h"
#include "Texto.h"

namespace kova {
namespace {

struct TCarregado {
    std::vector<std::string> lugares;  // where it was looked for
    // The program folder it was looked for from. Once loaded, the component stays the one of its
    // program folder: the system's folder does not change under a running process (on Windows it
    // is the machine's; on Linux it comes from the environment the process started with), so a
    // check for the same program folder takes it at once, without working the folders out (and
    // making the system's) at every check; another program folder giving the same places keeps it
    // too.
    std::string programa;
    std::unique_ptr<TBibliotecaDinamica> biblioteca;
    TConsisteInscricao funcao = nullptr;
};

TBibliotecaDinamica::TGancho& Gancho() {
    static TBibliotecaDinamica::TGancho g;
    return g;
}

TCarregado& Carregado() {
    static TCarregado c;
    return c;
}

std::vector<std::string> Lugares(const std::string& sistema, const std::string& dirPrograma,
                                 const std::string& componentes) {
    std::vector<std::string> lugares;
    for (const std::string& d : {Trim(sistema), Trim(dirPrograma), componentes}) {
        // An unreadable system directory gives an empty one, which was told already.
        if (d.empty()) continue;
        const std::string dir = IncluiBarra(d);
        if (std::find(lugares.begin(), lugares.end(), dir) == lugares.end()) lugares.push_back(dir);
    }
    return lugares;
}

std::string Lista(const std::vector<std::string>& lugares) {
    std::string texto;
    for (size_t i = 0; i < lugares.size(); ++i) {
        texto += (i == 0 ? "" : i + 1 == lugares.size() ? " e " : ", ") + lugares[i];
    }
    return texto;
}

}  // namespace

void DefineGanchoDeCarga(TBibliotecaDinamica::TGancho gancho) { Gancho() = std::move(gancho); }

TConsisteInscricao ComponenteInscricao(const std::string& dirPrograma) {
    TCarregado& c = Carregado();
    if (c.funcao && dirPrograma == c.programa) return c.funcao;
    const std::vector<std::string> lugares =
        Lugares(DiretorioSistema(), dirPrograma, DiretorioComponentes());
    if (c.funcao && lugares == c.lugares) {
        c.programa = dirPrograma;
        return c.funcao;
    }

    const std::string nome = kComponenteInscricao;
    if (Gancho()) Gancho()(TBibliotecaDinamica::TPasso::Procura);
    std::string caminho;
    for (const std::string& dir : lugares) {
        if (ExisteArquivoDisco(dir + nome)) {
            caminho = dir + nome;
            break;
        }
    }
    if (caminho.empty())
        throw Exception(nome + " não carregada (procurada em " + Lista(lugares) + ")");
    // Code another user could have put there would run as this user: it is refused, not passed over
    // for the next place, so that someone sees it.
    auto biblioteca = std::make_unique<TBibliotecaDinamica>(caminho, Gancho());
    if (!biblioteca->Recusa().empty()) {
        throw Exception(nome + " não carregada: " + biblioteca->Recusa() +
                        "; por segurança o KOVA não a usa");
    }
    if (!biblioteca->Carregada())
        throw Exception(nome + " não carregada (" + caminho + " não pôde ser carregada)");
    auto funcao =
        reinterpret_cast<TConsisteInscricao>(biblioteca->Funcao("ConsisteInscricaoEstadual"));
    if (!funcao) throw Exception("Entrypoint ConsisteInscricaoEstadual não encontrado em " + nome);
    c.lugares = lugares;
    c.programa = dirPrograma;
    c.biblioteca = std::move(biblioteca);
    c.funcao = funcao;
    return funcao;
}

}  // namespace kova
