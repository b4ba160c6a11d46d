#pragma once
// The entry screen drawn in Qt ("Digitação de KOVA"). The entry form object decides everything:
// this window mirrors its control model into widgets and sends the person's input back through
// it. A box writes its field when the person leaves it (or before a save), a list writes on a
// choice, a button runs the form's operation; the form's own notifications then open and close
// the boxes, and the window follows.

#include <QDialog>
#include <functional>
#include <map>
#include <string>

#include "ControladorDigitar.h"
#include "TDataSet.h"
#include "TDataSource.h"

class QBoxLayout;
class QComboBox;
class QLabel;
class QLineEdit;
class QRadioButton;
class QScrollArea;
class QTabWidget;
class QTableView;

namespace kova {

class ModeloGrade;
class NavegadorRegistros;
class TDM;
class TField;
class TfrmDigitar;
struct TControlState;

class FrmDigitar : public QDialog, private IVistaDigitar {
public:
    FrmDigitar(TfrmDigitar& form, TDM& dm, QWidget* pai = nullptr);
    ~FrmDigitar() override;

    // The desktop's two ways in: a new slip, or the search page.
    void IniciarNovaKOVA();
    void AbrirPesquisa();
    // The hosted request: shows the screen modally until the form closes it (save, cancel, close).
    void ExibirModal();

    // The widget drawn for a control of the form by its name, or null.
    QWidget* Controle(const std::string& nome) const;
    template <typename W>
    W* Controle(const std::string& nome) const {
        return qobject_cast<W*>(Controle(nome));
    }

    // Escape: the form's cancel, which closes the screen when nothing is being edited.
    void reject() override;

protected:
    void closeEvent(QCloseEvent* evento) override;
    bool eventFilter(QObject* objeto, QEvent* evento) override;

private:
    void MontaBarra(QBoxLayout& layout);
    QWidget* MontaPaginaKOVA();
    QWidget* MontaPesquisa();
    void Registra(const std::string& nome, QWidget* w);
    // A page in a scroll area, which takes the page's name.
    QWidget* Rolavel(const std::string& nome, QWidget* pagina);
    // Before the screen is shown again: its size and place, and no box left from the last showing.
    void Reabre();

    // Runs an action of the person: failures are shown, the page and focus follow the form.
    void Executa(const std::function<void()>& acao);
    void Aplica(const TControlState& c);
    void FocoMudou(QWidget* antigo, QWidget* novo);

    // What the controller asks of this view.
    std::string Texto(const std::string& caixa) const override;
    void MostraTexto(const std::string& caixa, const std::string& texto) override;
    void SelecionaTudo(const std::string& caixa) override;
    int Indice(const std::string& lista) const override;
    std::string Chave(const std::string& lista) const override;
    bool Aberta(const std::string& caixa) const override;
    void Foca(const std::string& caixa) override;
    std::string CaixaComFoco() const override;
    bool Visivel() const override;
    void SincronizaPagina() override;

    void DadosMudaram(TField* campo);
    void EstadoMudou();
    void RefrescaCaixa(const TControlState& c);
    void RefrescaLista(const std::string& nome);
    void RefrescaLogos();
    void RefrescaGrade();
    void Fechou();
    std::string NomeDe(QWidget* w) const;

    TfrmDigitar& form_;
    TDM& dm_;
    TDataSource vinculo_{"dtsTela"};
    std::map<std::string, QWidget*> widgets_;
    std::map<const QWidget*, std::string> nomes_;
    // The lists' row sets, by what told the table's visible records apart when they were read.
    std::map<std::string, TDataSet::TVisiveis> visiveisListas_;
    // The screen's sequence: what the person's input runs.
    TControladorDigitar controlador_{form_, dm_, *this};
    QTabWidget* abas_ = nullptr;
    QTableView* grade_ = nullptr;
    // The search box over the grid.
    QLineEdit* pesquisa_ = nullptr;
    ModeloGrade* modeloGrade_ = nullptr;
    NavegadorRegistros* navegador_ = nullptr;
    QScrollArea* faixaBancos_ = nullptr;
    QWidget* titulo_ = nullptr;
    QWidget* painelBancos_ = nullptr;
    std::string logosMostrados_;
};

}  // namespace kova
