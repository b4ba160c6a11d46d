#pragma once
// The entry screen's sequence apart from any toolkit: what runs when the person leaves a box, moves
// to the next one, chooses in a list or a period picker, saves or closes; which focus moves are the
// person's; what is written from a box into its field before a save. A view (Qt on Linux, the
// Windows API on Windows) draws the form's control model into widgets, answers the few questions
// below about what its widgets show, and passes every input of the person to this controller.

#include <functional>
#include <string>

#include "CaixasDigitar.h"

namespace kova {

class TDM;
class TfrmDigitar;

// Runs an action of a window; a failure is shown in an error box and a silent abort shows nothing.
void Protege(const std::function<void()>& acao);

// What the controller asks of a view. Controls are named as in the form's control model.
class IVistaDigitar {
public:
    virtual ~IVistaDigitar() = default;
    // The text an edit box shows.
    virtual std::string Texto(const std::string& caixa) const = 0;
    virtual void MostraTexto(const std::string& caixa, const std::string& texto) = 0;
    // Selects a box's whole text, so that what is typed next replaces it.
    virtual void SelecionaTudo(const std::string& caixa) = 0;
    // The entry a lookup list or a period picker shows, -1 for none.
    virtual int Indice(const std::string& lista) const = 0;
    // The slip's key of the entry a lookup list shows, "" for none.
    virtual std::string Chave(const std::string& lista) const = 0;
    // Whether the person can reach the control now (enabled and shown).
    virtual bool Aberta(const std::string& caixa) const = 0;
    // Gives the focus to a control; the view tells the controller where it landed (Focou).
    virtual void Foca(const std::string& caixa) = 0;
    // The control of this window that has the focus, "" for none of its boxes.
    virtual std::string CaixaComFoco() const = 0;
    // Whether the window is on screen.
    virtual bool Visivel() const = 0;
    // Shows the page the form has in front.
    virtual void SincronizaPagina() = 0;
};

// A key the person pressed in a control, as far as the screen's sequence cares.
enum class TTeclaDigitar { Enter, Tab, AltBaixo, Outra };

class TControladorDigitar {
public:
    // Sets the form's focus and close requests for the view (OnFocus, OnFechar stays the view's).
    TControladorDigitar(TfrmDigitar& form, TDM& dm, IVistaDigitar& vista);
    ~TControladorDigitar();
    TControladorDigitar(const TControladorDigitar&) = delete;
    TControladorDigitar& operator=(const TControladorDigitar&) = delete;

    // Runs an action of the person: a failure is shown, the page and the focus follow the form.
    void Executa(const std::function<void()>& acao);

    // While the view itself moves the focus or runs an action the focus changes it hears are not
    // the person's (the guard counts, so it nests).
    class Ocupado {
    public:
        explicit Ocupado(TControladorDigitar& c) : c_(c) { ++c_.ocupado_; }
        ~Ocupado() { --c_.ocupado_; }
        Ocupado(const Ocupado&) = delete;
        Ocupado& operator=(const Ocupado&) = delete;

    private:
        TControladorDigitar& c_;
    };
    bool EstaOcupado() const { return ocupado_ > 0; }

    // --- What the view hears from its widgets ---

    // The focus moved from one control of this window to another (entrou), or came from outside
    // it (deFora: a dialog, another window): the exit of the box left and the entry of the one
    // reached run, unless the focus only came back to where it was.
    void FocoMudou(const std::string& saiu, const std::string& entrou, bool deFora);
    // The focus the view gave landed on a control (with a dialog in front the window may not
    // hear of it): the person stands there.
    void Focou(const std::string& caixa) { caixaAtual_ = caixa; }
    // A key in a control; true when the screen took it (the view drops it then). Enter and Tab
    // leave the box and move to the next open one; Alt+Down on the product button opens its
    // picker; a key a box refuses is dropped.
    bool Tecla(const std::string& caixa, TTeclaDigitar tecla, char caractere = '\0');
    // Enter in the search grid.
    void EnterNaGrade();
    // A lookup list's entry chosen (its slip key).
    void Escolheu(const std::string& lista, const std::string& chave);
    // A period picker's entry chosen.
    void EscolheuPeriodo(const std::string& picker, int indice);
    // The search page's two orders.
    void OrdenaPorKOVA();
    void OrdenaPorContribuinte();

    // --- The toolbar and the window ---
    void Salvar();
    // Escape and the Cancel button.
    void Cancelar();
    // The window's close box; true when the screen closed.
    bool Fechar();
    // Before the screen is shown again: the box left when it last closed belongs to that showing.
    void Reabre() { caixaAtual_.clear(); }

    // --- What the view shows ---
    // Which lookup lists show a choice (the view reads it when it refreshes a list, and tells it
    // when the form has cleared one).
    TEscolhasMostradas& Escolhas() { return escolhas_; }
    // Gives the focus to the control the form last chose, when it can take it.
    void SegueFocoDoForm();

    // --- The sequence, for the view's own use and for tests ---
    void ProximaCaixa(const std::string& nome);
    // The exit of a box; false when its text was refused (the person stays in it).
    bool Saida(const std::string& nome);
    void Entrada(const std::string& nome);
    // Writes a box's text into its field (a picker's shown entry into the period); false when the
    // text was refused (the box keeps it).
    bool GravaCaixa(const std::string& nome);
    // Asks the form about what a box is about to write (a due date before today); false when the
    // person keeps typing in it.
    bool ConfereCaixa(const std::string& nome);
    // Before a save or a close: the shown value of the box with the focus and of every period
    // picker goes into the slip; false when one was refused or is being corrected.
    bool GravaCaixas();

private:
    bool Editando() const;

    TfrmDigitar& form_;
    TDM& dm_;
    IVistaDigitar& vista_;
    TEscolhasMostradas escolhas_;
    int ocupado_ = 0;
    // Counts the focus moves the form asked for.
    int focosDoForm_ = 0;
    // The box of this window that last had the focus.
    std::string caixaAtual_;
    bool entrando_ = false;
};

}  // namespace kova
