#include "Ajuda.h"

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QTextBrowser>
#include <QTextCursor>
#include <QTextDocument>
#include <QToolBar>
#include <QUrl>
#include <QVBoxLayout>

#include "DM.h"
#include "Dialogs.h"
#include "Diretorios.h"
#include "Janela.h"
#include "QtTexto.h"

namespace kova {

namespace {

constexpr const char* kPropriedade = "kovaTopicoAjuda";

struct TTopico {
    int numero;
    const char* pagina;
};

const TTopico kTopicos[] = {
    {kAjudaPrincipal, "principal.html"},
    {kAjudaImpressao, "impressao.html"},
    {kAjudaDigitacao, "digitacao.html"},
    {kAjudaCaixas, "caixas.html"},
    {kAjudaEncargos, "encargos.html"},
    {kAjudaIncorporacao, "incorporacao.html"},
    {kAjudaRemocao, "remocao.html"},
    {kAjudaConsultas, "consultas.html"},
    {kAjudaAdministracao, "administracao.html"},
};

// The help window: the pages with their links, back and forward, the contents.
class FrmAjuda : public QDialog {
public:
    explicit FrmAjuda(QWidget* pai) : QDialog(pai) {
        setObjectName(QStringLiteral("FrmAjuda"));
        setAttribute(Qt::WA_DeleteOnClose);
        setWindowFlag(Qt::WindowMaximizeButtonHint);
        setWindowFlag(Qt::WindowContextHelpButtonHint, false);
        auto* layout = new QVBoxLayout(this);
        auto* barra = new QToolBar;
        texto_ = new QTextBrowser;
        texto_->setOpenExternalLinks(true);
        QAction* conteudo = barra->addAction(Q("&Conteúdo"));
        QAction* voltar = barra->addAction(Q("&Voltar"));
        QAction* avancar = barra->addAction(Q("&Avançar"));
        barra->addSeparator();
        // A word of the manual, looked for from where the reader stands, page after page.
        auto* rotulo = new QLabel(Q("&Localizar:"));
        procura_ = new QLineEdit;
        procura_->setObjectName(QStringLiteral("edtLocalizar"));
        procura_->setClearButtonEnabled(true);
        procura_->setMaximumWidth(220);
        rotulo->setBuddy(procura_);
        barra->addWidget(rotulo);
        barra->addWidget(procura_);
        aviso_ = new QLabel;
        aviso_->setObjectName(QStringLiteral("lblLocalizar"));
        barra->addWidget(aviso_);
        connect(procura_, &QLineEdit::returnPressed, this, [this] { Localiza(procura_->text()); });
        barra->addSeparator();
        QAction* fechar = barra->addAction(Q("&Fechar"));
        connect(conteudo, &QAction::triggered, this, [this] { Mostra("index.html"); });
        connect(voltar, &QAction::triggered, texto_, &QTextBrowser::backward);
        connect(avancar, &QAction::triggered, texto_, &QTextBrowser::forward);
        connect(texto_, &QTextBrowser::backwardAvailable, voltar, &QAction::setEnabled);
        connect(texto_, &QTextBrowser::forwardAvailable, avancar, &QAction::setEnabled);
        connect(fechar, &QAction::triggered, this, &QDialog::close);
        voltar->setEnabled(false);
        avancar->setEnabled(false);
        // The title names the topic shown.
        connect(texto_, &QTextBrowser::sourceChanged, this, [this] {
            const QString titulo = texto_->documentTitle();
            setWindowTitle(titulo.isEmpty() ? Q("Ajuda do KOVA") : Q("Ajuda do KOVA - ") + titulo);
        });
        layout->addWidget(barra);
        layout->addWidget(texto_, 1);
        CabeNaTela(*this, QSize(760, 560));
    }

    void Mostra(const std::string& pagina) {
        texto_->setSource(QUrl::fromLocalFile(QString::fromStdString(PastaDaAjuda() + pagina)));
    }

    // Finds a word after the reader's place in the page shown, then in the pages after it, round
    // to the page shown; capitals and accents do not matter. False when the manual lacks it.
    bool Localiza(const QString& palavra) {
        const QString procurada = SemAcentos(palavra.trimmed());
        aviso_->clear();
        if (procurada.isEmpty()) return false;
        if (SelecionaNaPagina(procurada, texto_->textCursor().selectionEnd())) return true;
        const QDir pasta(QString::fromStdString(PastaDaAjuda()));
        const QStringList paginas =
            pasta.entryList({QStringLiteral("*.html")}, QDir::Files, QDir::Name);
        const QString atual = QFileInfo(texto_->source().toLocalFile()).fileName();
        const qsizetype i = paginas.indexOf(atual);
        for (qsizetype k = 1; k <= paginas.size(); ++k) {
            const QString pagina = paginas[(i + k) % paginas.size()];
            QFile arquivo(pasta.filePath(pagina));
            if (!arquivo.open(QIODevice::ReadOnly)) continue;
            QTextDocument documento;
            documento.setHtml(QString::fromUtf8(arquivo.readAll()));
            if (!SemAcentos(documento.toPlainText()).contains(procurada)) continue;
            if (pagina != atual) Mostra(C(pagina));
            if (SelecionaNaPagina(procurada, 0)) return true;
        }
        aviso_->setText(Q("Não encontrado no manual"));
        return false;
    }

private:
    // Lower case without accents, one character for each: positions stay those of the text.
    static QString SemAcentos(const QString& texto) {
        QString r = texto.toLower();
        for (QChar& c : r) {
            const QString d = c.decomposition();
            if (!d.isEmpty() && c.decompositionTag() == QChar::Canonical) c = d.front();
        }
        return r;
    }
    bool SelecionaNaPagina(const QString& procurada, int desde) {
        QTextDocument* documento = texto_->document();
        const qsizetype p = SemAcentos(documento->toPlainText()).indexOf(procurada, desde);
        if (p < 0) return false;
        QTextCursor cursor(documento);
        cursor.setPosition(int(p));
        cursor.setPosition(int(p + procurada.size()), QTextCursor::KeepAnchor);
        texto_->setTextCursor(cursor);
        texto_->ensureCursorVisible();
        return true;
    }

    QTextBrowser* texto_;
    QLineEdit* procura_;
    QLabel* aviso_;
};

QPointer<FrmAjuda> janelaAjuda;

// F1 anywhere: the topic of the window in front, or of the nearest window under it that has one.
class TeclaDeAjuda : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* objeto, QEvent* evento) override {
        if (evento->type() != QEvent::KeyPress ||
            static_cast<QKeyEvent*>(evento)->key() != Qt::Key_F1 || !objeto->isWidgetType()) {
            return false;
        }
        QWidget* janela = static_cast<QWidget*>(objeto)->window();
        for (QWidget* w = janela; w;
             w = w->parentWidget() ? w->parentWidget()->window() : nullptr) {
            if (w->objectName() == QLatin1String("FrmAjuda")) return false;
            const QVariant topico = w->property(kPropriedade);
            if (topico.isValid()) {
                AbrirAjuda(topico.toInt(), janela);
                return true;
            }
        }
        return false;
    }
};

}  // namespace

const char* PaginaDoTopico(int topico) {
    for (const TTopico& t : kTopicos) {
        if (t.numero == topico) return t.pagina;
    }
    return "index.html";
}

std::string PastaDaAjuda() {
    const std::string aoLado = DirProgramaDoModulo() + "ajuda/";
    if (ExisteArquivoDisco(aoLado + "index.html")) return aoLado;
    const std::string instalada = KOVA_DIR_AJUDA_INSTALADA;
    if (!instalada.empty() && ExisteArquivoDisco(instalada + "index.html")) return instalada;
    return {};
}

void AbrirAjuda(int topico, QWidget* janela) {
    if (PastaDaAjuda().empty()) {
        MessageDlg("O manual do KOVA não foi encontrado neste computador.\r\rEle é procurado em: " +
                       DirProgramaDoModulo() + "ajuda/ e em " + KOVA_DIR_AJUDA_INSTALADA,
                   TMsgDlgType::mtInformation);
        return;
    }
    if (!janela) janela = QApplication::activeWindow();
    // The help window goes with the window it serves, so that a modal window does not hold it. A
    // closed one is on its way out: a new one is made.
    if (janelaAjuda && (janelaAjuda->parentWidget() != janela || !janelaAjuda->isVisible())) {
        janelaAjuda->close();
        janelaAjuda = nullptr;
    }
    if (!janelaAjuda) janelaAjuda = new FrmAjuda(janela);
    janelaAjuda->Mostra(PaginaDoTopico(topico));
    janelaAjuda->show();
    janelaAjuda->raise();
    janelaAjuda->activateWindow();
}

void DefineTopicoAjuda(QWidget& janela, int topico) { janela.setProperty(kPropriedade, topico); }

void InstalaTeclaDeAjuda() {
    static TeclaDeAjuda* tecla = nullptr;
    if (!tecla) {
        tecla = new TeclaDeAjuda(qApp);
        qApp->installEventFilter(tecla);
    }
}

}  // namespace kova
