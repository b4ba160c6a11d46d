#pragma once
// The dialog service of the desktop program: message boxes and questions in Qt, and the
// application's error handler that shows a failure's message.

#include <functional>
#include <memory>
#include <string>

#include "ControladorDigitar.h"
#include "Conversoes.h"
#include "Dialogs.h"

class QTranslator;
class QWidget;

namespace kova {

class DialogosQt : public IDialogService {
public:
    TModalResult MessageDlg(const std::string& text, TMsgDlgType kind,
                            TMsgDlgButtons buttons) override;
    bool Executar(const TPedidoDialogo& pedido) override;
    void SetBusy(bool busy) override;
};

// Qt's own texts (file and print dialogs, standard buttons, edit menus) in Portuguese while the
// object lives.
class TraducaoQt {
public:
    TraducaoQt();
    ~TraducaoQt();
    TraducaoQt(const TraducaoQt&) = delete;
    TraducaoQt& operator=(const TraducaoQt&) = delete;
    bool Carregada() const { return carregada_; }

private:
    std::unique_ptr<QTranslator> tradutor_;
    bool carregada_ = false;
};

}  // namespace kova
