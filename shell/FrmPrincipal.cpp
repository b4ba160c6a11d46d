#include "FrmPrincipal.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileIconProvider>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QPushButton>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QVBoxLayout>

#include "Ajuda.h"
#include "Clock.h"
#include "DadosDoUsuario.h"
#include "DialogosQt.h"
#include "Diretorios.h"
#include "Errors.h"
#include "FluxosImpressao.h"
#include "FrmDigitar.h"
#include "FrmImprimir.h"
#include "FrmUtilitarios.h"
#include "Incorporacao.h"
#include "Janela.h"
#include "Navegacao.h"
#include "QtTexto.h"
#include "SaidasImpressao.h"
#include "TDM.h"
#include "TfrmDigitar.h"
#include "TqrpKOVA.h"
#include "VersaoKOVA.h"

namespace kova {

// Keys typed while the entry screen opens reach the window that had the keyboard (the main window
// or its menu) until the window manager hands the keyboard to the screen: they belong to the slip,
// and are passed on to the screen's box in the order typed. The main window's own shortcuts stay
// quiet meanwhile. Once the screen has been active the person's keys go where they point.
class EncaminhaTeclas : public QObject {
public:
    EncaminhaTeclas(QMainWindow& principal) : QObject(&principal), principal_(principal) {
        qApp->installEventFilter(this);
    }
    void Encaminhar(QWidget& tela) {
        tela_ = &tela;
        if (!tela.isActiveWindow()) ativo_ = true;
    }

protected:
    bool eventFilter(QObject* objeto, QEvent* evento) override {
        const QEvent::Type tipo = evento->type();
        if (!ativo_) return false;
        if (objeto == tela_ && tipo == QEvent::WindowActivate) {
            ativo_ = false;
            return false;
        }
        if (tipo != QEvent::KeyPress && tipo != QEvent::KeyRelease &&
            tipo != QEvent::ShortcutOverride)
            return false;
        auto* w = qobject_cast<QWidget*>(objeto);
        if (!w || !tela_ || !tela_->isVisible()) {
            if (tela_ && !tela_->isVisible()) ativo_ = false;
            return false;
        }
        QWidget* janela = w->window();
        if (janela != &principal_ && !qobject_cast<QMenu*>(janela)) return false;
        if (tipo == QEvent::ShortcutOverride) {
            // Taken here, so that no shortcut of the main window runs; the key itself follows.
            evento->accept();
            return true;
        }
        auto* tecla = static_cast<QKeyEvent*>(evento);
        QWidget* destino = tela_->focusWidget() ? tela_->focusWidget() : tela_.data();
        QKeyEvent copia(tecla->type(), tecla->key(), tecla->modifiers(), tecla->text(),
                        tecla->isAutoRepeat(), ushort(tecla->count()));
        QApplication::sendEvent(destino, &copia);
        return true;
    }

private:
    QMainWindow& principal_;
    QPointer<QWidget> tela_;
    bool ativo_ = false;
};

FrmPrincipal::FrmPrincipal(TqrpKOVA& relatorio, QWidget* pai)
    : QMainWindow(pai), relatorio_(relatorio) {
    setWindowTitle(Q("KOVA - Fennolar"));
    teclas_ = new EncaminhaTeclas(*this);
    DefineTopicoAjuda(*this, kAjudaPrincipal);
    auto acao = [this](QMenu* menu, const char* legenda, const char* dica,
                       std::function<void()> f) {
        QAction* a = menu->addAction(Q(legenda));
        a->setStatusTip(Q(dica));
        connect(a, &QAction::triggered, this, [f] { Protege(f); });
        return a;
    };
    QMenu* opcao = menuBar()->addMenu(Q("&Opção"));
    QAction* mniDigitar = acao(opcao, "&Digitar KOVA", "Digitar KOVA", [this] {
        FrmDigitar& tela = Tela();
        teclas_->Encaminhar(tela);
        tela.IniciarNovaKOVA();
    });
    mniImprimir = acao(opcao, "&Imprimir KOVA", "Imprimir KOVA", [this] { mniImprimirClick(); });
    acao(opcao, "&Pesquisar ou alterar KOVA", "Relação de KOVA para pesquisar ou alterar", [this] {
        FrmDigitar& tela = Tela();
        teclas_->Encaminhar(tela);
        tela.AbrirPesquisa();
    });
    opcao->addSeparator();
    acao(opcao, "In&corporar Arquivo", "", [this] { mniIncorporarClick(); });
    opcao->addSeparator();
    QAction* mniSair = acao(opcao, "&Sair", "Sair do programa", [this] { close(); });
    mniSair->setShortcut(QKeySequence(Qt::ALT | Qt::Key_F4));
    QMenu* utilitarios = menuBar()->addMenu(Q("&Utilitários"));
    acao(utilitarios, "&Remover KOVA impressas", "Remover as KOVA's já impressas", [this] {
        FrmRemoverKOVA(this).exec();
        AtualizaMenus();
    });
    acao(utilitarios, "Restaurar cópia de &segurança",
         "Pôr uma cópia de segurança do arquivo de KOVA no lugar dele", [this] {
             FrmRestaurarCopia(*DM, this).exec();
             AtualizaMenus();
         });
    utilitarios->addSeparator();
    // The same choice as the print list's "Configurar": the printer of the next prints.
    acao(utilitarios, "&Configurar impressora",
         "Configurar impressora padrão para impressão do Windows",
         [this] { ConfigurarImpressora(this); });
    QMenu* ajuda = menuBar()->addMenu(Q("A&juda"));
    acao(ajuda, "&Ajuda do sistema", "Ajuda do sistema",
         [this] { AbrirAjuda(kAjudaPrincipal, this); });
    acao(ajuda, "Relação de Unidades da Federação", "",
         [this] { FrmConsulta(FrmConsulta::Tipo::UF, this).exec(); });
    acao(ajuda, "Relação de Receitas por Unidade da Federação", "",
         [this] { FrmConsulta(FrmConsulta::Tipo::UFReceita, this).exec(); });
    acao(ajuda, "Relação de Produtos por Unidade da Federação", "",
         [this] { FrmConsulta(FrmConsulta::Tipo::UFProduto, this).exec(); });
    ajuda->addSeparator();
    acao(ajuda, "&Sobre", "Sobre o sistema", [this] { mniSobreClick(); });

    QToolBar* barra = addToolBar(Q("Ferramentas"));
    barra->setToolButtonStyle(Qt::ToolButtonTextOnly);
    QAction* btnDigitar = barra->addAction(Q("&Digitar"));
    btnDigitar->setStatusTip(Q("Digitação de KOVA"));
    connect(btnDigitar, &QAction::triggered, mniDigitar, &QAction::trigger);
    btnImprimir = barra->addAction(Q("&Imprimir"));
    btnImprimir->setStatusTip(Q("Imprimir KOVA"));
    connect(btnImprimir, &QAction::triggered, mniImprimir, &QAction::trigger);
    barra->addSeparator();
    QAction* btnSair = barra->addAction(Q("&Sair"));
    btnSair->setStatusTip(Q("Sair da aplicação"));
    connect(btnSair, &QAction::triggered, mniSair, &QAction::trigger);

    auto* centro = new QWidget;
    auto* layout = new QVBoxLayout(centro);
    layout->addStretch();
    auto* titulo = new QLabel(Q("KOVA"));
    QFont grande = titulo->font();
    grande.setPointSize(48);
    grande.setBold(true);
    titulo->setFont(grande);
    titulo->setAlignment(Qt::AlignRight);
    layout->addWidget(titulo);
    // The program's version, and apart from it the version of the reference tables it runs on.
    lblVersao = new QLabel(Q(std::string("Versão: ") + VersaoKOVA()));
    lblVersao->setAlignment(Qt::AlignRight);
    layout->addWidget(lblVersao);
    lblVersaoTabelas = new QLabel(
        Q("Tabelas: versão " + VersaoDasTabelas(DM->Versao, DM->VersaoRelease, DM->VersaoTestes)));
    lblVersaoTabelas->setAlignment(Qt::AlignRight);
    layout->addWidget(lblVersaoTabelas);
    setCentralWidget(centro);

    painelData = new QLabel;
    painelHora = new QLabel;
    painelDica = new QLabel;
    for (QLabel* l : {painelData, painelHora}) {
        l->setAlignment(Qt::AlignCenter);
        l->setMinimumWidth(75);
        statusBar()->addWidget(l);
    }
    statusBar()->addWidget(painelDica, 1);
    statusBar()->installEventFilter(this);
    Timer = new QTimer(this);
    Timer->setInterval(1000);
    connect(Timer, &QTimer::timeout, this, [this] { TimerTimer(); });
    Timer->start();
    TimerTimer();
    AtualizaMenus();
    CabeNaTela(*this, QSize(760, 480));
}

void FrmPrincipal::TimerTimer() {
    const TDateTime agora = Clock::Now();
    painelData->setText(Q(DateToStr(DateOf(agora))));
    painelHora->setText(Q(TimeToStr(agora)));
}

void FrmPrincipal::StatusBarDblClick() {
    if (Timer->isActive()) {
        Timer->stop();
    } else {
        Timer->start();
    }
}

bool FrmPrincipal::eventFilter(QObject* objeto, QEvent* evento) {
    if (evento->type() == QEvent::MouseButtonDblClick) StatusBarDblClick();
    return QMainWindow::eventFilter(objeto, evento);
}

bool FrmPrincipal::event(QEvent* evento) {
    // The hint of the item under the pointer goes to its own panel.
    if (evento->type() == QEvent::StatusTip) {
        painelDica->setText(static_cast<QStatusTipEvent*>(evento)->tip());
        return true;
    }
    return QMainWindow::event(evento);
}

void FrmPrincipal::AtualizaMenus() {
    const bool temKOVA = DM->cdsKOVA.Active() && DM->cdsKOVA.RecordCount() > 0;
    mniImprimir->setEnabled(temKOVA);
    btnImprimir->setEnabled(temKOVA);
}

void FrmPrincipal::mniImprimirClick() {
    FrmImprimir imprimir(relatorio_, this);
    imprimir.exec();
    AtualizaMenus();
}

FrmPrincipal::~FrmPrincipal() {
    // The screen goes before the form it draws.
    tela_.reset();
}

TfrmDigitar& FrmPrincipal::Formulario() {
    if (!frmDigitar_) frmDigitar_ = std::make_unique<TfrmDigitar>(*DM);
    return *frmDigitar_;
}

FrmDigitar& FrmPrincipal::Tela() {
    if (!tela_) {
        TfrmDigitar& form = Formulario();
        tela_ = std::make_unique<FrmDigitar>(form, *DM, this);
        // Print on the entry screen opens the preview of the current slip; its Print button prints
        // the three copies on the printer chosen then.
        fluxosTela_ = std::make_unique<TFluxosImpressao>(relatorio_);
        fluxosTela_->AbrirVisualizacao = [this](const std::vector<TPagina>& paginas) {
            auto* previa = new FrmVisualizar(paginas, *fluxosTela_, tela_.get());
            previa->AposImprimir = [this] { Protege([this] { saidaTela_->Avisa(); }); };
            previa->show();
        };
        saidaTela_ = std::make_unique<TImpressaoDaMesa>();
        fluxosTela_->AbrirSaida = [this] { return saidaTela_->Abre(); };
        form.OnImprimir = [this] { fluxosTela_->Visualizar(); };
        connect(tela_.get(), &QDialog::finished, this, [this] { AtualizaMenus(); });
    }
    return *tela_;
}

namespace {

// The file dialog's type column in Portuguese whatever Qt's own translations hold.
class TiposEmPortugues : public QFileIconProvider {
public:
    QString type(const QFileInfo& info) const override {
        if (info.isRoot()) return Q("Unidade");
        if (info.isDir()) return Q("Pasta");
        if (info.suffix().isEmpty()) return Q("Arquivo");
        return Q("Arquivo ") + info.suffix().toUpper();
    }
};

}  // namespace

void FrmPrincipal::mniIncorporarClick() {
    QFileDialog dialogo(this);
    TiposEmPortugues tipos;
    dialogo.setOption(QFileDialog::DontUseNativeDialog);
    dialogo.setIconProvider(&tipos);
    dialogo.setFileMode(QFileDialog::ExistingFile);
    dialogo.setAcceptMode(QFileDialog::AcceptOpen);
    dialogo.setDefaultSuffix(QStringLiteral("txt"));
    dialogo.setNameFilters({Q("KOVA (*.txt)"), Q("Todos (*)")});
    dialogo.selectFile(QStringLiteral("KOVA.txt"));
    DefineTopicoAjuda(dialogo, kAjudaIncorporacao);
    if (dialogo.exec() != QDialog::Accepted || dialogo.selectedFiles().isEmpty()) return;
    const std::string nome = C(dialogo.selectedFiles().front());
    if (!ExisteArquivoDisco(nome))
        throw Exception("Arquivo de incorporação não encontrado\r\r" + nome);
    IncorporarArquivo(nome, false);
}

void FrmPrincipal::IncorporarArquivo(const std::string& nomeArquivo, bool desassistido) {
    TIncorporacao importacao(*DM, Formulario(), relatorio_);
    // No printer on this machine: the slips go to one PDF file beside the imported file.
    const std::string pdf = TrocaExtensao(nomeArquivo, ".pdf");
    importacao.AbrirSaida = [pdf] { return AbreSaidaDaMesa(pdf, std::string()); };
    importacao.AtualizaMenus = [this] { AtualizaMenus(); };
    importacao.FecharPrincipal = [this] {
        SairSemConfirmar = true;
        close();
    };
    importacao.IntervaloProgresso = 500;
    importacao.Progresso = [this](int linhas) {
        painelDica->setText(Q("Incorporando: " + std::to_string(linhas) + " linhas lidas"));
        QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    };
    BusyCursor ocupado;
    importacao.IncorporarArquivo(nomeArquivo, desassistido);
    painelDica->clear();
}

void FrmPrincipal::mniSobreClick() {
    // TfrmSobre: made for one showing and released when it closes.
    QDialog sobre(this);
    sobre.setObjectName(QStringLiteral("TfrmSobre"));
    sobre.setWindowTitle(Q("Sobre"));
    auto* layout = new QVBoxLayout(&sobre);
    auto* kova = new QLabel(Q("KOVA"));
    QFont grande = kova->font();
    grande.setPointSize(28);
    grande.setBold(true);
    kova->setFont(grande);
    auto* nome = new QLabel(Q("Fennolar"));
    auto* versao = new QLabel(lblVersao->text());
    auto* tabelas = new QLabel(lblVersaoTabelas->text());
    for (QLabel* l : {kova, nome, versao, tabelas}) {
        l->setAlignment(Qt::AlignCenter);
        layout->addWidget(l);
    }
    auto* botoes = new QDialogButtonBox;
    QPushButton* fechar = botoes->addButton(Q("Fechar"), QDialogButtonBox::RejectRole);
    fechar->setDefault(true);
    connect(botoes, &QDialogButtonBox::rejected, &sobre, &QDialog::reject);
    layout->addWidget(botoes);
    sobre.setMinimumWidth(280);
    sobre.exec();
}

void FrmPrincipal::closeEvent(QCloseEvent* evento) {
    // A slip being typed on the entry screen is saved or discarded by its own close prompt first;
    // it never goes with the program unasked.
    if (tela_ && tela_->isVisible() && Formulario().Visivel) {
        tela_->raise();
        tela_->activateWindow();
        if (!tela_->close()) {
            evento->ignore();
            return;
        }
    }
    if (!SairSemConfirmar &&
        MessageDlg("\rDeseja sair do programa KOVA?", TMsgDlgType::mtConfirmation,
                   TMsgDlgButtons::mbYesNo) != TModalResult::mrYes) {
        evento->ignore();
        return;
    }
    evento->accept();
}

}  // namespace kova
