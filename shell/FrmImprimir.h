#pragma once
// The print list: the slips not yet printed (or all of them), to preview, print one, or print
// every listed slip, each print followed by the printed mark. The preview window shows one copy
// at 120 % and prints the slip that is current when asked.

#include <QDialog>
#include <memory>
#include <vector>

#include "FluxosImpressao.h"
#include "ModeloGrade.h"
#include "TRelatorio.h"

class QAction;
class QCheckBox;
class QPrinter;
class QTableView;

namespace kova {

class FrmVisualizar : public QDialog {
public:
    FrmVisualizar(const std::vector<TPagina>& paginas, TFluxosImpressao& fluxos, QWidget* pai);
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
    QTableView* dbgSolicitacaoKOVA;
    ModeloGrade* modelo;
    // Where prints go; asked once per command through the system's print dialog.
    std::function<bool()> EscolherImpressora;

private:
    void Atualizar();
    TFluxosImpressao fluxos_;
public:
    std::unique_ptr<QPrinter> impressora_;
};

// Pages to a printer the person already chose, or to a PDF file.
void EnviaParaImpressora(const std::vector<TPagina>& paginas, QPrinter& impressora);

}  // namespace kova
