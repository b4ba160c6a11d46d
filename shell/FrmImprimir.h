#pragma once
// The print list: the slips not yet printed (or all of them), to preview, print one, or print
// every listed slip, each print followed by the printed mark. The preview window shows one copy
// at 120 % and prints the slip that is current when asked. Prints go to the printer chosen with
// "Configurar" (shared with the main window's printer set-up), else to the system's default.

#include <QDialog>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "FluxosImpressao.h"
#include "ModeloGrade.h"
#include "TRelatorio.h"

class QAction;
class QCheckBox;
class QTableView;
class QToolBar;

namespace kova {

// The printer set-up dialog on the printer the desktop prints use; the choice is kept for the
// next prints. False when the person cancelled.
bool ConfigurarImpressora(QWidget* pai);

// Where the desktop's print commands send the copies. On a machine without printers they are
// written as PDF files to the print folder of the configuration, and the person is told so.
class TImpressaoDaMesa {
public:
    std::unique_ptr<TSaidaImpressao> Abre();
    // After a command: says where the PDF files went, when they went to the folder.
    void Avisa();

private:
    std::string pastaUsada_;
};

class FrmVisualizar : public QDialog {
public:
    FrmVisualizar(const std::vector<TPagina>& paginas, TFluxosImpressao& fluxos, QWidget* pai);
    QAction* btnImprimir;
    QAction* btnFechar;
    // Runs after every print from this window (the list refreshes, the person is told).
    std::function<void()> AposImprimir;
};

class FrmImprimir : public QDialog {
public:
    FrmImprimir(TqrpKOVA& relatorio, QWidget* pai = nullptr);
    ~FrmImprimir() override;

    void ckbNaoImpressosClick();
    void btnVisualizarClick();
    void btnImprimirClick();
    void btnImprimirTodosClick();

    QCheckBox* ckbNaoImpressos;
    QAction* btnVisualizar;
    QAction* btnImprimir;
    QAction* btnTodos;
    QAction* btnConfigurar;
    QAction* btnAjuda;
    QAction* btnFechar;
    QTableView* dbgSolicitacaoKOVA;
    ModeloGrade* modelo;

private:
    void Atualizar();
    TFluxosImpressao fluxos_;
    TImpressaoDaMesa saida_;
};

// A toolbar action whose caption's "&" letter works with Alt, as in a menu.
QAction* AcaoComAtalho(QToolBar* barra, const char* legenda, const char* dica = nullptr);

}  // namespace kova
