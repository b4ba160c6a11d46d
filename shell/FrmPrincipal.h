#pragma once
// The main window: menus and toolbar to the entry screen, printing, import, removal and the
// reference browsers; a status bar with the date, the time and the hint under the pointer; the
// exit question.

#include <QMainWindow>

class QAction;
class QLabel;
class QTimer;

namespace kova {

class TqrpKOVA;

class FrmPrincipal : public QMainWindow {
public:
    FrmPrincipal(TqrpKOVA& relatorio, QWidget* pai = nullptr);

    void AtualizaMenus();
    void TimerTimer();
    void StatusBarDblClick();
    void mniImprimirClick();
    void mniSobreClick();

    bool SairSemConfirmar = false;
    QAction* mniImprimir;
    QAction* btnImprimir;
    QTimer* Timer;
    QLabel* painelData;
    QLabel* painelHora;
    QLabel* painelDica;
    QLabel* lblVersao;

protected:
    void closeEvent(QCloseEvent* evento) override;
    bool event(QEvent* evento) override;
    bool eventFilter(QObject* objeto, QEvent* evento) override;

private:
    TqrpKOVA& relatorio_;
};

}  // namespace kova
