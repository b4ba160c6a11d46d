#include "TelaBiblioteca.h"

#include <QApplication>
#include <QDir>
#include <QKeyEvent>
#include <QTimer>
#include <QToolButton>
#include <cstdlib>

#include "DM.h"
#include "DialogosQt.h"
#include "Dialogs.h"
#include "Diretorios.h"
#include "Errors.h"
#include "FilaImpressao.h"
#include "FrmDigitar.h"
#include "PintorQt.h"
#include "Predicados.h"
#include "QtTexto.h"
#include "SaidasImpressao.h"
#include "Texto.h"
#include "TfrmDigitar.h"

namespace kova {

TRoteiro::TRoteiro(const std::string& texto) {
    auto dialogos = std::make_shared<ScriptedDialogs>();
    for (const std::string& passo : DivideTexto('|', texto)) {
        const std::string p = LowerCase(Trim(passo));
        if (p == "sim") {
            dialogos->Answer(TModalResult::mrYes);
        } else if (p == "nao" || p == "não") {
            dialogos->Answer(TModalResult::mrNo);
        } else if (p == "cancela") {
            dialogos->Answer(TModalResult::mrCancel);
        } else if (p == "confirma" || p == "recusa") {
            dialogos->ResponderDialogo(p == "confirma");
        } else if (!p.empty()) {
            // An action's word in any case; what follows it (a box, a text) as written.
            acoes_.push_back(Trim(passo));
        }
    }
    dialogos_ = dialogos;
}

IDialogService& TRoteiro::Dialogos() { return *dialogos_; }

namespace {

// Where the keys a person types go: the focused widget of the screen, or with none the window
// itself, which takes none of them into the slip.
QWidget* AlvoDasTeclas(FrmDigitar& tela) {
    QWidget* w = QApplication::focusWidget();
    if (w && w->window() == &tela) return w;
    w = tela.focusWidget();
    return w ? w : &tela;
}

void Tecla(FrmDigitar& tela, int tecla, const QString& texto = {}) {
    QKeyEvent pressionada(QEvent::KeyPress, tecla, Qt::NoModifier, texto);
    QApplication::sendEvent(AlvoDasTeclas(tela), &pressionada);
    QKeyEvent solta(QEvent::KeyRelease, tecla, Qt::NoModifier, texto);
    QApplication::sendEvent(AlvoDasTeclas(tela), &solta);
}

}  // namespace

void TRoteiro::Atua(FrmDigitar& tela) {
    auto botao = [&](const char* nome) {
        if (auto* b = tela.Controle<QToolButton>(nome); b && b->isEnabled()) b->click();
    };
    for (const std::string& passo : acoes_) {
        if (!tela.isVisible()) break;
        const size_t espaco = passo.find(' ');
        const std::string acao = LowerCase(passo.substr(0, espaco));
        const std::string argumento =
            espaco == std::string::npos ? std::string() : Trim(passo.substr(espaco + 1));
        if (acao == "foco") {
            QWidget* alvo = AlvoDasTeclas(tela);
            Relato += "foco=" + (alvo == &tela ? std::string() : C(alvo->objectName())) + "\n";
        } else if (acao == "clica") {
            QWidget* w = tela.Controle(argumento);
            if (w && w->isEnabled() && w->isVisible()) w->setFocus(Qt::MouseFocusReason);
        } else if (acao == "digita") {
            for (const QChar c : Q(argumento)) Tecla(tela, 0, QString(c));
        } else if (acao == "tab") {
            Tecla(tela, Qt::Key_Tab);
        } else if (acao == "salvar") {
            botao("btnSalvar");
        } else if (acao == "desfazer") {
            botao("btnDesfazer");
        } else if (acao == "fechar") {
            tela.close();
        } else if (acao == "escape") {
            tela.reject();
        } else if (acao == "abertas") {
            std::string abertas;
            for (const auto& c : frmDigitar->Controles.Controls()) {
                if (c->field.empty() ||
                    (c->kind != TControlKind::Edit && c->kind != TControlKind::LookupCombo))
                    continue;
                QWidget* w = tela.Controle(c->name);
                if (w && w->isEnabled() && w->isVisibleTo(&tela))
                    abertas += (abertas.empty() ? "" : ",") + c->name;
            }
            Relato += "abertas=" + abertas + "\n";
        } else {
            Relato += "passo desconhecido=" + passo + "\n";
        }
    }
    if (tela.isVisible()) {
        Relato += "fim do roteiro com a tela aberta\n";
        tela.reject();
        if (tela.isVisible()) tela.reject();
        // Typed data kept when its discarding was not confirmed: the display ends all the same.
        if (tela.isVisible()) tela.done(QDialog::Rejected);
    }
}

void TRoteiro::Conclui() {
    const auto& d = static_cast<ScriptedDialogs&>(*dialogos_);
    for (const TPedidoDialogo& p : d.Pedidos()) Relato += "dialogo=" + p.nome + "\n";
    for (const auto& m : d.History()) Relato += "mensagem=" + m.text + "\n";
}

void GarantirAplicacao(bool comTela, bool roteiro) {
    if (!QCoreApplication::instance()) {
        // Kept for the life of the process: the host may call again at any time.
        static int argc = 1;
        static char nome[] = "kovadll", opcao[] = "-platform", foraDaTela[] = "offscreen";
        static char* argv[] = {nome, opcao, foraDaTela, nullptr};
        const bool semTela = !std::getenv("QT_QPA_PLATFORM") && !std::getenv("DISPLAY") &&
                             !std::getenv("WAYLAND_DISPLAY");
        if (semTela && comTela && !roteiro) throw Exception("Não há tela onde mostrar a KOVA");
        if (semTela) argc = 3;
        static QApplication* aplicacao = new QApplication(argc, argv);
        (void)aplicacao;
    }
    if (!qobject_cast<QApplication*>(QCoreApplication::instance())) {
        throw Exception(
            "O programa que chamou a KOVA usa Qt sem janelas: a KOVA não pode ser mostrada");
    }
    const QString plataforma = QGuiApplication::platformName();
    if (comTela && !roteiro && (plataforma == "offscreen" || plataforma == "minimal")) {
        throw Exception("Não há tela onde mostrar a KOVA");
    }
}

IDialogService& DialogosDaTela() {
    static DialogosQt dialogos;
    return dialogos;
}

void ExibirTela(TfrmDigitar& frm, TRoteiro* roteiro) {
    // Qt's own texts in Portuguese while the screen is shown, and only then: the host keeps its
    // own.
    const TraducaoQt traducao;
    FrmDigitar tela(frm, *DM);
    if (roteiro) QTimer::singleShot(0, &tela, [&tela, roteiro] { roteiro->Atua(tela); });
    tela.ExibirModal();
}

std::string ImprimirOuGravar(const std::vector<TPagina>& paginas, const std::string& pastaPDF) {
    const std::string padrao = ImpressoraPadrao();
    if (!padrao.empty()) {
        TSaidaFila(padrao).Envia(paginas);
        return padrao;
    }
    TSaidaPastaPDF pasta(pastaPDF);
    pasta.Envia(paginas);
    return pasta.Ultimo();
}

}  // namespace kova
