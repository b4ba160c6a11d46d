#include "Dialogs.h"

namespace kova {
namespace {

class HeadlessDialogs : public IDialogService {
public:
    TModalResult MessageDlg(const std::string&, TMsgDlgType kind, TMsgDlgButtons buttons) override {
        return FormaDaMensagem(kind, buttons).botoes.front();
    }
    bool Executar(const TPedidoDialogo&) override { return true; }
    bool AbrirEndereco(const std::string&) override { return false; }
};

HeadlessDialogs headless;
IDialogService* current = &headless;

}  // namespace

TFormaMensagem FormaDaMensagem(TMsgDlgType kind, TMsgDlgButtons buttons) {
    using R = TModalResult;
    TFormaMensagem f;
    f.titulo = kind == TMsgDlgType::mtError          ? "Erro"
               : kind == TMsgDlgType::mtWarning      ? "Aviso"
               : kind == TMsgDlgType::mtConfirmation ? "Confirmação"
                                                     : "Informação";
    switch (buttons) {
        case TMsgDlgButtons::mbOK:
            f.botoes = {R::mrOk};
            break;
        case TMsgDlgButtons::mbYesNo:
        case TMsgDlgButtons::mbNoYes:
            f.botoes = {R::mrYes, R::mrNo};
            break;
        case TMsgDlgButtons::mbYesCancel:
            f.botoes = {R::mrYes, R::mrCancel};
            break;
        case TMsgDlgButtons::mbYesNoCancel:
            f.botoes = {R::mrYes, R::mrNo, R::mrCancel};
            break;
    }
    // A question whose Yes loses what the person typed is not answered Yes by a stray Enter.
    f.padrao = buttons == TMsgDlgButtons::mbNoYes ? R::mrNo : f.botoes.front();
    // Closing a question answers No where there is no Cancel; a notice is simply read.
    f.semEscolha = f.botoes.back() == R::mrCancel ? R::mrCancel
                   : f.botoes.back() == R::mrNo   ? R::mrNo
                                                  : R::mrOk;
    return f;
}

IDialogService& Dialogs() { return *current; }

IDialogService* SetDialogService(IDialogService* service) {
    IDialogService* previous = current == &headless ? nullptr : current;
    current = service ? service : &headless;
    return previous;
}

TModalResult MessageDlg(const std::string& text, TMsgDlgType kind, TMsgDlgButtons buttons) {
    return Dialogs().MessageDlg(text, kind, buttons);
}

bool ExecutarDialogo(const TPedidoDialogo& pedido) { return Dialogs().Executar(pedido); }

bool ScriptedDialogs::Executar(const TPedidoDialogo& pedido) {
    pedidos_.push_back(pedido);
    if (dialogos_.empty()) {
        unexpected_.push_back(pedido.nome + ": " + pedido.titulo);
        return false;
    }
    RespostaDialogo r = std::move(dialogos_.front());
    dialogos_.pop_front();
    if (r.acao) r.acao(pedido);
    return r.confirmado;
}

bool ScriptedDialogs::AbrirEndereco(const std::string& endereco) {
    enderecos_.push_back(endereco);
    return true;
}

TModalResult ScriptedDialogs::MessageDlg(const std::string& text, TMsgDlgType kind,
                                         TMsgDlgButtons buttons) {
    TModalResult r = TModalResult::mrOk;
    if (buttons != TMsgDlgButtons::mbOK) {
        if (answers_.empty()) {
            unexpected_.push_back(text);
            r = FormaDaMensagem(kind, buttons).semEscolha;
        } else {
            r = answers_.front();
            answers_.pop_front();
        }
    }
    history_.push_back({kind, text, buttons, r});
    return r;
}

void ScriptedDialogs::SetBusy(bool busy) {
    busyDepth_ += busy ? 1 : -1;
    ++busyCalls_;
}

std::vector<std::string> ScriptedDialogs::Texts() const {
    std::vector<std::string> r;
    for (const auto& s : history_) r.push_back(s.text);
    return r;
}

void ScriptedDialogs::Clear() {
    answers_.clear();
    dialogos_.clear();
    pedidos_.clear();
    history_.clear();
    unexpected_.clear();
}

}  // namespace kova
