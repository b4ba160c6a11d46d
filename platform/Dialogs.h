#pragma once
// The dialog service: every message box and question of the engine goes through it. The desktop
// installs a Qt implementation; tests install ScriptedDialogs, which records what was shown and
// answers questions from a queue; with nothing installed, a headless service answers at once
// (OK, or the first button of a question) so that nothing ever waits for a person who is not
// there.

#include <deque>
#include <functional>
#include <string>
#include <vector>

namespace kova {

enum class TMsgDlgType { mtError, mtInformation, mtWarning, mtConfirmation };
// mbNoYes: Yes and No with No the default, for a question whose Yes loses what the person typed.
enum class TMsgDlgButtons { mbOK, mbYesNo, mbYesCancel, mbYesNoCancel, mbNoYes };
enum class TModalResult { mrNone, mrOk, mrYes, mrNo, mrCancel };

// How a message box looks and answers, whatever draws it: its title, its buttons in the order
// shown, the one Enter presses and the answer when it is closed without a button (Escape, the
// window's close box).
struct TFormaMensagem {
    const char* titulo;  // "Erro", "Aviso", "Confirmação" or "Informação"
    std::vector<TModalResult> botoes;
    TModalResult padrao;
    TModalResult semEscolha;
};
TFormaMensagem FormaDaMensagem(TMsgDlgType kind, TMsgDlgButtons buttons);

class TDataSource;

// A screen's own dialog (a picker, the payment-date box, the link notice), asked for by name with
// its title and texts; the answer is confirmed or declined. A picker works on the current record
// of its data source's table; the payment-date box edits its data source's current record.
struct TPedidoDialogo {
    std::string nome;  // "TfrmDataPagamento", "TfrmSelecionaProduto", "TfrmSelecionaSubReceita",
                       // "TfrmMsgLink"
    std::string titulo;
    std::string texto;  // fixed text or label
    std::string link;   // the address of the link notice
    TDataSource* fonte = nullptr;
};

class IDialogService {
public:
    virtual ~IDialogService() = default;
    virtual TModalResult MessageDlg(const std::string& text, TMsgDlgType kind,
                                    TMsgDlgButtons buttons) = 0;
    // True when the dialog was confirmed.
    virtual bool Executar(const TPedidoDialogo& pedido) = 0;
    // Asks the system to open a web address; false when the request itself failed.
    virtual bool AbrirEndereco(const std::string& endereco);
    // The busy pointer, shown while a slow step runs.
    virtual void SetBusy(bool busy) { (void)busy; }
};

// The service in force (never null).
IDialogService& Dialogs();
// Installs a service (not owned); nullptr restores the headless one. Returns the previous one.
IDialogService* SetDialogService(IDialogService* service);

TModalResult MessageDlg(const std::string& text, TMsgDlgType kind,
                        TMsgDlgButtons buttons = TMsgDlgButtons::mbOK);
bool ExecutarDialogo(const TPedidoDialogo& pedido);

// Installs a service for the life of the guard.
class ScopedDialogService {
public:
    explicit ScopedDialogService(IDialogService& s) : previous_(SetDialogService(&s)) {}
    ~ScopedDialogService() { SetDialogService(previous_); }
    ScopedDialogService(const ScopedDialogService&) = delete;
    ScopedDialogService& operator=(const ScopedDialogService&) = delete;

private:
    IDialogService* previous_;
};

// Shows the busy pointer for the life of the guard.
class BusyCursor {
public:
    BusyCursor() { Dialogs().SetBusy(true); }
    ~BusyCursor() { Dialogs().SetBusy(false); }
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;
};

// Records every dialog; answers questions from a queue. A question with no queued answer is
// recorded as unexpected (and answered with its last button) so that a test can fail on it.
class ScriptedDialogs : public IDialogService {
public:
    struct Shown {
        TMsgDlgType kind;
        std::string text;
        TMsgDlgButtons buttons;
        TModalResult answer;
    };

    TModalResult MessageDlg(const std::string& text, TMsgDlgType kind,
                            TMsgDlgButtons buttons) override;
    bool Executar(const TPedidoDialogo& pedido) override;
    bool AbrirEndereco(const std::string& endereco) override;
    void SetBusy(bool busy) override;

    void Answer(TModalResult r) { answers_.push_back(r); }
    // Queues the answer to the next screen dialog; the action runs first, as a person would act
    // in the dialog (type a date, move to a row).
    void ResponderDialogo(bool confirmado, std::function<void(const TPedidoDialogo&)> acao = {}) {
        dialogos_.push_back({confirmado, std::move(acao)});
    }
    const std::vector<TPedidoDialogo>& Pedidos() const { return pedidos_; }
    const std::vector<std::string>& EnderecosAbertos() const { return enderecos_; }
    const std::vector<Shown>& History() const { return history_; }
    std::vector<std::string> Texts() const;
    const std::vector<std::string>& Unexpected() const { return unexpected_; }
    size_t PendingAnswers() const { return answers_.size(); }
    int BusyCalls() const { return busyCalls_; }
    bool Busy() const { return busyDepth_ > 0; }
    void Clear();

private:
    struct RespostaDialogo {
        bool confirmado;
        std::function<void(const TPedidoDialogo&)> acao;
    };
    std::deque<RespostaDialogo> dialogos_;
    std::vector<TPedidoDialogo> pedidos_;
    std::vector<std::string> enderecos_;
    std::deque<TModalResult> answers_;
    std::vector<Shown> history_;
    std::vector<std::string> unexpected_;
    int busyDepth_ = 0;
    int busyCalls_ = 0;
};

}  // namespace kova
