#pragma once
// The main window: menus and toolbar to the entry screen, printing, import, removal and the
// reference browsers; a status bar with the date, the time and the hint under the pointer; the
// exit question.

#include <QMainWindow>
#include <memory>
#include <string>

class QAction;
class QLabel;
class QTimer;

namespace kova {

class EncaminhaTeclas;
class FrmDigitar;
class TFluxosImpressao;
class TImpressaoDaMesa;
class TqrpKOVA;
class TfrmDigitar;

class FrmPrincipal : public QMainWindow {
public:
    FrmPrincipal(TqrpKOVA& relatorio, QWidget* pai = nullptr);

    void AtualizaMenus();
    void TimerTimer();
    void StatusBarDblClick();
    void mniImprimirClick();
    void mniSobreClick();
    void mniIncorporarClick();
    // Imports a slips file; unattended, the new slips are printed and the program ends.
    void IncorporarArquivo(const std::string& nomeArquivo, bool desassistido);
    // The entry form that checks every slip, created on first need.
    TfrmDigitar& Formulario();
    // The entry screen drawn over that form, created on first use.
    FrmDigitar& Tela();
    ~FrmPrincipal() override;

    bool SairSemConfirmar = false;
    QAction* mniImprimir;
    QAction* btnImprimir;
    QTimer* Timer;
    QLabel* painelData;
    QLabel* painelHora;
    QLabel* painelDica;
    QLabel* lblVersao;
    QLabel* lblVersaoTabelas;

protected:
    void closeEvent(QCloseEvent* evento) override;
    bool event(QEvent* evento) override;
    bool eventFilter(QObject* objeto, QEvent* evento) override;

private:
    TqrpKOVA& relatorio_;
    std::unique_ptr<TfrmDigitar> frmDigitar_;
    std::unique_ptr<TFluxosImpressao> fluxosTela_;
    std::unique_ptr<TImpressaoDaMesa> saidaTela_;
    std::unique_ptr<FrmDigitar> tela_;
    EncaminhaTeclas* teclas_;
};

}  // namespace kova
