// The requests that need the screen and the printer, in the module the library loads on their first
// call (Tela.h): kova and teste show the entry screen to a person (or play a test's script on it),
// imprime prints the current slip; kovacli writes an import's slips to a PDF file through it.

#include <QGuiApplication>
#include <memory>
#include <string>

#include "Dialogs.h"
#include "Errors.h"
#include "EstadoDoHospedeiro.h"
#include "Interface.h"
#include "Nucleo.h"
#include "Requisicao.h"
#include "SaidasImpressao.h"
#include "TDM.h"
#include "Tela.h"
#include "TelaBiblioteca.h"
#include "TfrmDigitar.h"

namespace kova {
namespace {

// The script that stands in for the person in tests, and what it saw.
std::unique_ptr<std::string> roteiro;
std::string relato;

// The hosted request: the person sees the screen and its dialogs (or the script acts for them).
bool Hospedada(TfrmDigitar& frm) {
    relato.clear();
    // The screen lists the stored slips beside the ones made here.
    DM->CarregarKOVAsGuardadas();
    std::unique_ptr<TRoteiro> pessoa = roteiro ? std::make_unique<TRoteiro>(*roteiro) : nullptr;
    GarantirAplicacao(true, pessoa != nullptr);
    ScopedDialogService servico(pessoa ? pessoa->Dialogos() : DialogosDaTela());
    frm.OnExibirModal = [&frm, &pessoa] { ExibirTela(frm, pessoa.get()); };
    auto conclui = [&] {
        frm.OnExibirModal = nullptr;
        if (pessoa) {
            pessoa->Conclui();
            relato = pessoa->Relato;
        }
    };
    bool salvo = false;
    try {
        salvo = ProcessaRequisicao(frm);
    } catch (...) {
        conclui();
        throw;
    }
    conclui();
    return salvo;
}

}  // namespace
}  // namespace kova

namespace {

using namespace kova;

// The calls that make the Qt application or reach the print system give the host's locale and
// signals back as they found them.

bool Teste() {
    const TEstadoDoHospedeiro hospedeiro;
    bool salvo = false;
    Protegido([&] {
        salvo = Hospedada(Objetos());
        if (salvo) Guarda(DM->cdsKOVA);
    });
    return salvo;
}

bool Kova(const char* requisicao, const char** texto, size_t* tamanho) {
    const TEstadoDoHospedeiro hospedeiro;
    const bool ok = Protegido([&] {
        TfrmDigitar* frm = ObjetosOuEmUso(std::string(requisicao) + ";");
        if (!frm) return;
        frm->Requisicao = requisicao;
        if (Hospedada(*frm)) Guarda(DM->cdsKOVA);
        Resposta() = frm->Requisicao;
    });
    *texto = Resposta().c_str();
    *tamanho = Resposta().size();
    return ok;
}

bool Imprime(const char* texto1, const char* texto2, const char* texto3) {
    const TEstadoDoHospedeiro hospedeiro;
    return Protegido([&] {
        // The host's Qt application (or the library's) exists before the report runs, as in the
        // desktop program: made after it, on a display, the process fails the leak checker at exit.
        Objetos();
        GarantirAplicacao(false, false);
        const std::vector<TPagina> paginas = PaginasDaImpressao(texto1, texto2, texto3);
        const TDM& dm = *DM;
        ImprimirOuGravar(
            paginas, dm.PastaImpressao.empty() ? dm.DirDados + "Impressoes/" : dm.PastaImpressao);
    });
}

void DefineRoteiro(const char* texto) {
    if (texto && *texto) {
        roteiro = std::make_unique<std::string>(texto);
    } else {
        roteiro.reset();
    }
}

const char* Relato() { return relato.c_str(); }

TSaidaImpressao* SaidaPDF(const char* caminho, std::string* erro) {
    try {
        if (!QCoreApplication::instance()) {
            // Fonts and the PDF writer need a GUI application, never a display; Qt's own notes
            // about the environment mean nothing to the person running the program.
            qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
            static int argc = 3;
            static char nome[] = "kovacli", opcao[] = "-platform", foraDaTela[] = "offscreen";
            static char* argv[] = {nome, opcao, foraDaTela, nullptr};
            static QGuiApplication* aplicacao = new QGuiApplication(argc, argv);
            (void)aplicacao;
        }
        return new TSaidaArquivoPDF(caminho);
    } catch (const std::exception& e) {
        if (erro) *erro = e.what();
        return nullptr;
    }
}

constexpr kovadll::TTela kTela{Teste, Kova, Imprime, DefineRoteiro, Relato, SaidaPDF};

}  // namespace

extern "C" __attribute__((visibility("default"))) const kovadll::TTela* kova_tela() {
    return &kTela;
}
