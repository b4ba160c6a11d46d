#pragma once
// The dialog service of the desktop program: message boxes and questions in Qt, and the
// application's error handler that shows a failure's message.

#include <functional>

#include "Dialogs.h"

class QWidget;

namespace kova {

class DialogosQt : public IDialogService {
public:
    TModalResult MessageDlg(const std::string& text, TMsgDlgType kind, TMsgDlgButtons buttons) override;
    bool Executar(const TPedidoDialogo& pedido) override;
    void SetBusy(bool busy) override;
};

// Runs an action of a window; a failure is shown in an error box and a silent abort shows nothing.
void Protege(const std::function<void()>& acao);

}  // namespace kova
