// The requests that need the screen and the printer, in the Windows build: kova and teste show the
// entry screen to a person, modally on the caller's thread, and imprime prints the current slip
// through the Windows print system.

#include <string>

#include "DialogosWin.h"
#include "Dialogs.h"
#include "Errors.h"
#include "FrmDigitarWin.h"
#include "Interface.h"
#include "Nucleo.h"
#include "PintorGDI.h"
#include "Requisicao.h"
#include "TDM.h"
#include "TfrmDigitar.h"

namespace kova {
namespace {

// The pages on the default printer, as one job the spooler has accepted.
void ImprimePaginas(const std::vector<TPagina>& paginas) {
    const std::string impressora = ImpressoraPadrao();
    if (impressora.empty()) throw Exception("Não há impressora instalada: a KOVA não foi impressa");
    ImprimeNaImpressora(impressora, paginas, "KOVA");
}

// The hosted request: the person sees the screen and its dialogs.
bool Hospedada(TfrmDigitar& frm) {
    // The screen lists the stored slips beside the ones made here.
    DM->CarregarKOVAsGuardadas();
    // Its questions and pickers, and those of the save, are the person's to answer.
    DialogosWin dialogos;
    ScopedDialogService servico(dialogos);
    frm.OnExibirModal = [&frm] {
        FrmDigitarWin tela(frm, *DM);
        tela.ExibirModal();
    };
    // The screen's print button prints the current slip, as imprime does.
    frm.OnImprimir = [] { ImprimePaginas(PaginasDaImpressao("", "", "")); };
    struct Fim {
        TfrmDigitar& frm;
        ~Fim() {
            frm.OnExibirModal = nullptr;
            frm.OnImprimir = nullptr;
        }
    } fim{frm};
    return ProcessaRequisicao(frm);
}

}  // namespace
}  // namespace kova

namespace kovadll {

using namespace kova;

bool Teste() {
    bool salvo = false;
    Protegido([&] {
        salvo = Hospedada(Objetos());
        if (salvo) Guarda(DM->cdsKOVA);
    });
    return salvo;
}

bool Kova(const char* requisicao, const char** texto, size_t* tamanho) {
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

// The default printer's job, accepted by the spooler; without a printer nothing is printed.
bool Imprime(const char* texto1, const char* texto2, const char* texto3) {
    return Protegido([&] { ImprimePaginas(PaginasDaImpressao(texto1, texto2, texto3)); });
}

void DefineRoteiro(const char*) {}

const char* Relato() { return ""; }

}  // namespace kovadll
