#pragma once
// What the library needs of Qt: an application object on the calling thread when the host has
// none, the entry screen shown modally for a hosted request (or a script acting as the person, for
// tests), and the pages of a print sent to the printer or to a PDF file.

#include <memory>
#include <string>
#include <vector>

#include "TRelatorio.h"

namespace kova {

class IDialogService;
class TfrmDigitar;

// A person's part written down, for tests: answers queued for the dialogs, then actions on the
// shown screen. Steps separated by "|":
//   sim, nao, cancela       answer the next question
//   confirma, recusa        answer the next dialog of the screen (payment date, pickers)
//   salvar, desfazer, fechar, escape   the screen's buttons and keys, in order, once it is shown
//   clica <box>             puts the focus in a box, as a click would
//   digita <text>, tab      keys typed where the focus is (into no box when none has it)
//   abertas                 writes down the boxes the person could type in at that moment
//   foco                    writes down the box the keys go to (none: empty)
// What was seen (dialogs, messages, open boxes) is kept in Relato.
class TRoteiro {
public:
    explicit TRoteiro(const std::string& texto);
    IDialogService& Dialogos();
    // Acts on the shown screen; closes it when the script ends with it still open.
    void Atua(class FrmDigitar& tela);
    // The dialogs and messages seen, appended to Relato.
    void Conclui();
    std::string Relato;

private:
    std::vector<std::string> acoes_;
    std::shared_ptr<IDialogService> dialogos_;
};

// Creates the Qt application on this thread when there is none. With no display, a print works
// off screen; showing the screen (comTela) then fails with a message, unless a script stands in
// for the person.
void GarantirAplicacao(bool comTela, bool roteiro);

// The dialog service that shows Qt dialogs to the person.
IDialogService& DialogosDaTela();

// Shows the entry screen modally over the form, or plays the script on it.
void ExibirTela(TfrmDigitar& frm, TRoteiro* roteiro);

// Prints on the default printer (one job, taken by the queue when this returns); with none,
// writes the PDF file KOVA_<number>.pdf of the current slip into pastaPDF (made when missing).
// Returns where the pages went. Throws when nothing was printed or written.
std::string ImprimirOuGravar(const std::vector<TPagina>& paginas, const std::string& pastaPDF);

}  // namespace kova
