#pragma once
// The dialog service of the Windows screens, drawn with the Windows API: the message boxes and
// questions (with the kind's icon and the buttons "Sim", "Não", "Cancelar" and "OK" whatever the
// language of Windows), the screen's dialogs (the pickers, the payment-date box, the link notice,
// a plain text) and the busy pointer. Each box is modal over the thread's active window, which is
// disabled while it shows. Install it with ScopedDialogService on the thread that owns the
// screens.

#include "Dialogs.h"

namespace kova {

class DialogosWin : public IDialogService {
public:
    TModalResult MessageDlg(const std::string& text, TMsgDlgType kind,
                            TMsgDlgButtons buttons) override;
    bool Executar(const TPedidoDialogo& pedido) override;
    // The address in its wide form, whatever the code page of the machine.
    bool AbrirEndereco(const std::string& endereco) override;
    void SetBusy(bool busy) override;

private:
    int ocupado_ = 0;
    void* cursorAnterior_ = nullptr;  // HCURSOR
};

}  // namespace kova
