// The entry screen as a person uses it: keys typed into the widgets, buttons clicked, dialogs
// answered through the scripted dialog service. With KOVA_CAPTURAS set, pictures of the screen
// are saved there.

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QStandardItemModel>
#include <QTabWidget>
#include <QTableView>
#include <QTextBrowser>
#include <QTimer>
#include <QToolButton>
#include <QUrl>
#include <QtTest/QTest>
#include <cmath>
#include <cstdlib>
#include <memory>

#include "Ajuda.h"
#include "Clock.h"
#include "DialogosQt.h"
#include "FrmDigitar.h"
#include "ModeloGrade.h"
#include "TabelasDeTeste.h"
#include "TfrmDigitar.h"

using namespace kova;
using namespace kova::teste;

namespace {

// The wait for a window ends when it is active; its bound only turns a fault into a failure, far
// beyond what a busy machine needs (Qt's own default is 5 s).
constexpr int kEsperaJanela = 120000;

class FrmDigitarTest : public ::testing::Test {
protected:
    void SetUp() override {
        dm = ModuloDeTeste();
        form = std::make_unique<TfrmDigitar>(*dm);
        tela = std::make_unique<FrmDigitar>(*form, *dm);
    }
    void TearDown() override {
        tela.reset();
        form.reset();
        dm.reset();
        Clock::Reset();
        EXPECT_TRUE(dialogs.Unexpected().empty())
            << (dialogs.Unexpected().empty() ? "" : dialogs.Unexpected()[0]);
    }
    QWidget* W(const char* nome) { return tela->Controle(nome); }
    QLineEdit* E(const char* nome) { return tela->Controle<QLineEdit>(nome); }
    TField& F(const char* nome) { return dm->cdsKOVA.FieldByName(nome); }
    std::string Foco() {
        QWidget* w = QApplication::focusWidget();
        return w ? w->objectName().toStdString() : std::string();
    }
    // Types into the box that has the focus, then presses Enter.
    void Digita(const char* texto) {
        QWidget* w = QApplication::focusWidget();
        ASSERT_NE(w, nullptr);
        QTest::keyClicks(w, QString::fromUtf8(texto));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    }
    void Abre() {
        tela->IniciarNovaKOVA();
        ASSERT_TRUE(QTest::qWaitForWindowActive(tela.get(), kEsperaJanela));
    }
    void Captura(const char* nome) {
        if (const char* pasta = std::getenv("KOVA_CAPTURAS")) {
            tela->grab().save(QString::fromUtf8(pasta) + "/" + nome + ".png");
        }
    }
    void Clica(const char* botao) { QTest::mouseClick(W(botao), Qt::LeftButton); }
    // A new Minas Gerais slip of revenue 10005-6 (a period of ten days), up to its period.
    void MinasAteOPeriodo() {
        Abre();
        Digita("31");
        Digita("10005");
        dialogs.ResponderDialogo(true);
        Digita("25032024");
        Digita("11222333000181");
    }
    // A new São Paulo slip of revenue 10004-8, up to its due date.
    void SaoPauloAteOVencimento() {
        Abre();
        Digita("26");
        Digita("10004");
    }
    void KOVAGravada() {
        dm->cdsKOVA.Append();
        PreencheKOVAValida(*dm);
        dm->cdsKOVA.Post();
    }

    ScriptedDialogs dialogs;
    ScopedDialogService servico{dialogs};
    std::unique_ptr<TDM> dm;
    std::unique_ptr<TfrmDigitar> form;
    std::unique_ptr<FrmDigitar> tela;
};

TEST_F(FrmDigitarTest, UmaKOVADigitadaTeclaATeclaEGravada) {
    Abre();
    Captura("digitar_vazia");
    EXPECT_EQ(tela->windowTitle(), QStringLiteral("Digitação de KOVA"));
    EXPECT_EQ(Foco(), "dblcUFFavorecida");
    EXPECT_FALSE(W("dblcReceita")->isEnabled());
    EXPECT_EQ(qobject_cast<QLabel*>(W("lblState"))->text(), QStringLiteral("Incluindo"));
    auto* abas = tela->findChild<QTabWidget*>();
    EXPECT_FALSE(abas->isTabVisible(1));  // no search page while editing

    Digita("26");  // the list is searched by what it shows: "26-1 São Paulo"
    EXPECT_EQ(F("UFFavorecida").AsString(), "SP");
    EXPECT_EQ(Foco(), "dblcReceita");
    EXPECT_FALSE(W("dblcUFFavorecida")->isEnabled());
    Digita("10004");
    EXPECT_EQ(F("Receita").AsString(), "100048");
    EXPECT_EQ(Foco(), "dbeDataVencimento");
    EXPECT_FALSE(W("dbeCICContribuinte")->isEnabled());

    dialogs.ResponderDialogo(
        true, [](const TPedidoDialogo& p) { EXPECT_EQ(p.titulo, "Data de Pagamento"); });
    Digita("25032024");
    EXPECT_EQ(F("DataVencimento").AsString(), "25/03/2024");
    EXPECT_EQ(F("DataPagamento").AsString(), "25/03/2024");
    EXPECT_EQ(Foco(), "dbeCICContribuinte");
    EXPECT_FALSE(W("dbeDataVencimento")->isEnabled());
    EXPECT_FALSE(W("dbeDocumentoOrigem")->isEnabled());

    Digita("11.222.333/0001-81");  // the dots, slash and dash never reach the box
    EXPECT_EQ(F("CICContribuinte").AsString(), "11222333000181");
    EXPECT_EQ(Foco(), "dbeReferencia");
    Digita("001");
    Digita("150,00");
    Digita("");
    Digita("2,50");
    EXPECT_EQ(F("TotalRecolher").AsFloat(), 152.5);
    EXPECT_EQ(E("dbeTotalReceber")->text(), QString::fromStdString(F("TotalRecolher").Text()));
    Captura("digitar_meio");
    Digita("");
    EXPECT_EQ(Foco(), "dbeConvenio");
    Digita("");
    Digita("empresa de teste ltda");
    Digita("");
    Digita("rua das flores, 100");
    Digita("campinas2");
    EXPECT_EQ(F("Municipio").AsString(), "CAMPINAS");
    EXPECT_EQ(Foco(), "dblcUF");
    Digita("SP");
    Digita("13010-000");

    EXPECT_EQ(F("CEP").AsString(), "13010-000");
    Digita("1133334444");
    Digita("pago em dia");

    Clica("btnSalvar");
    EXPECT_EQ(dm->cdsKOVA.State(), TDataSetState::dsBrowse);
    EXPECT_EQ(dm->cdsKOVA.RecordCount(), 1);
    EXPECT_EQ(F("RazaoSocial").AsString(), "EMPRESA DE TESTE LTDA");
    EXPECT_EQ(F("Endereco").AsString(), "RUA DAS FLORES, 100");
    EXPECT_EQ(F("UF").AsString(), "SP");
    EXPECT_EQ(F("Referencia").AsString(), "001");
    EXPECT_EQ(F("ValorPrincipal").AsFloat(), 150.0);
    EXPECT_EQ(F("Juros").AsFloat(), 2.5);
    EXPECT_EQ(F("Telefone").AsString(), "1133334444");
    EXPECT_EQ(F("Informacoes").AsString(), "PAGO EM DIA");
    EXPECT_EQ(F("Situacao").AsString(), "N");
    EXPECT_EQ(form->QtdeIncluidas, 1);
    EXPECT_TRUE(W("btnIncluir")->isEnabled());
    EXPECT_FALSE(W("btnSalvar")->isEnabled());
    EXPECT_TRUE(abas->isTabVisible(1));
    EXPECT_EQ(qobject_cast<QLabel*>(W("dbtRegistro"))->text(), QStringLiteral("1"));

    // The saved slip is read in closed boxes: their text at least 4.5 times as bright as the
    // background, or the other way round.
    auto luminancia = [](const QColor& c) {
        auto canal = [](double v) {
            return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
        };
        return 0.2126 * canal(c.redF()) + 0.7152 * canal(c.greenF()) + 0.0722 * canal(c.blueF());
    };
    for (const char* caixa : {"dbeRazaoSocial", "dbeValorPrincipal", "dblcUFFavorecida"}) {
        SCOPED_TRACE(caixa);
        QWidget* w = W(caixa);
        ASSERT_FALSE(w->isEnabled());
        const QPalette& p = w->palette();
        const QColor texto =
            p.color(QPalette::Disabled,
                    qobject_cast<QComboBox*>(w) ? QPalette::ButtonText : QPalette::Text);
        const double a = luminancia(texto) + 0.05,
                     b = luminancia(p.color(QPalette::Disabled, QPalette::Base)) + 0.05;
        EXPECT_GE(std::max(a, b) / std::min(a, b), 4.5);
    }
    Captura("digitar_salva");
}

// The screen fits a small screen with everything reachable: 1024x768, or 1366x768 at 125 % (a
// screen of 1093x614 to the program), less a panel and the window's frame.
TEST_F(FrmDigitarTest, CabeEmTelaPequena) {
    Abre();
    // Where the screen has room, the slip page shows whole, with no scroll bar.
    auto* area = qobject_cast<QScrollArea*>(W("tbsKOVA"));
    ASSERT_NE(area, nullptr);
    if (tela->screen()->availableGeometry().height() >= 800) {
        EXPECT_FALSE(area->verticalScrollBar()->isVisible());
    }
    const QSize minimo = tela->minimumSizeHint();
    EXPECT_LE(minimo.width(), 1000);
    EXPECT_LE(minimo.height(), 540);
    tela->resize(1000, 540);
    QApplication::processEvents();
    EXPECT_EQ(tela->size(), QSize(1000, 540));
}

TEST_F(FrmDigitarTest, CampoRecusadoGuardaOFocoNaCaixa) {
    Abre();
    Digita("26");
    Digita("10004");
    dialogs.ResponderDialogo(true);
    Digita("25032024");
    Digita("11222333000100");  // a wrong check digit
    ASSERT_EQ(dialogs.History().size(), 1u);
    EXPECT_EQ(dialogs.History()[0].kind, TMsgDlgType::mtError);
    EXPECT_EQ(Foco(), "dbeCICContribuinte");
    EXPECT_EQ(E("dbeCICContribuinte")->text(), QStringLiteral("11222333000100"));
    Captura("digitar_recusa");
}

TEST_F(FrmDigitarTest, EscapeCancelaOuFechaEPerguntaAoFechar) {
    KOVAGravada();
    Abre();
    QTest::keyClick(QApplication::focusWidget(),
                    Qt::Key_Escape);  // editing: the new slip is cancelled
    EXPECT_EQ(dm->cdsKOVA.State(), TDataSetState::dsBrowse);
    EXPECT_TRUE(tela->isVisible());
    EXPECT_EQ(dm->cdsKOVA.RecordCount(), 1);

    dialogs.ResponderDialogo(true);  // a change asks for the payment date at once
    Clica("btnAlterar");
    EXPECT_EQ(dm->cdsKOVA.State(), TDataSetState::dsEdit);
    dialogs.Answer(
        TModalResult::mrCancel);  // the close prompt: Cancel keeps the screen and the edit
    tela->close();
    EXPECT_TRUE(tela->isVisible());
    EXPECT_EQ(dm->cdsKOVA.State(), TDataSetState::dsEdit);
    EXPECT_EQ(dialogs.History().back().text,
              "Existe uma KOVA em edição\r\rDeseja salvar as informações?");
    dialogs.Answer(TModalResult::mrNo);  // No: the edit is cancelled and the screen closes
    tela->close();
    EXPECT_FALSE(tela->isVisible());
    EXPECT_EQ(dm->cdsKOVA.State(), TDataSetState::dsBrowse);

    tela->AbrirPesquisa();
    ASSERT_TRUE(QTest::qWaitForWindowActive(tela.get(), kEsperaJanela));
    dialogs.ResponderDialogo(true);
    Clica("btnAlterar");
    E("dbeRazaoSocial")->setText(QStringLiteral("OUTRA RAZAO"));
    E("dbeRazaoSocial")->setFocus();
    dialogs.Answer(TModalResult::mrYes);  // Yes: saved, with what the box held
    tela->close();
    EXPECT_FALSE(tela->isVisible());
    EXPECT_EQ(F("RazaoSocial").AsString(), "OUTRA RAZAO");

    tela->AbrirPesquisa();
    ASSERT_TRUE(QTest::qWaitForWindowActive(tela.get(), kEsperaJanela));
    QTest::keyClick(tela.get(), Qt::Key_Escape);  // browsing: Escape closes
    EXPECT_FALSE(tela->isVisible());
}

TEST_F(FrmDigitarTest, ExclusaoPesquisaEOrdem) {
    KOVAGravada();
    KOVAGravada();
    tela->AbrirPesquisa();
    ASSERT_TRUE(QTest::qWaitForWindowActive(tela.get(), kEsperaJanela));
    auto* abas = tela->findChild<QTabWidget*>();
    EXPECT_EQ(abas->currentWidget(), W("tbsPesquisar"));
    auto* grade = qobject_cast<QTableView*>(W("dbgSolicitacaoKOVA"));
    EXPECT_EQ(grade->model()->rowCount(), 2);
    EXPECT_EQ(grade->model()->headerData(3, Qt::Horizontal).toString(),
              QStringLiteral("CNPJ ou CPF"));
    Captura("digitar_pesquisa");
    grade->setFocus();
    grade->setCurrentIndex(grade->model()->index(0, TfrmDigitar::kColunasGrade - 1));
    QTest::keyClick(grade, Qt::Key_Return);  // Enter on the last column goes back to the first
    EXPECT_EQ(grade->currentIndex().column(), 0);
    EXPECT_EQ(F("IdKOVA").AsInteger(), 1);
    const QPoint linha2 = grade->visualRect(grade->model()->index(1, 0)).center();
    QTest::mouseClick(grade->viewport(), Qt::LeftButton, {}, linha2);
    QTest::mouseDClick(grade->viewport(), Qt::LeftButton, {}, linha2);
    EXPECT_EQ(F("IdKOVA").AsInteger(), 2);
    EXPECT_EQ(abas->currentWidget(), W("tbsKOVA"));

    dialogs.Answer(TModalResult::mrNo);
    Clica("btnExcluir");
    EXPECT_EQ(dialogs.History().back().text, "Confirma exclusão desta KOVA");
    EXPECT_EQ(dm->cdsKOVA.RecordCount(), 2);
    dialogs.Answer(TModalResult::mrYes);
    Clica("btnExcluir");
    EXPECT_EQ(dm->cdsKOVA.RecordCount(), 1);
    EXPECT_EQ(grade->model()->rowCount(), 1);

    Clica("RDGCICContribuinte");
    EXPECT_EQ(dm->cdsKOVA.IndexName(), "pk_CICContribuinte");
}

// Typing in a list only moves its highlight; Enter takes the choice, as a click in its open list
// would.
TEST_F(FrmDigitarTest, ListaEscolheSoAoConfirmar) {
    Abre();
    QTest::keyClicks(W("dblcUFFavorecida"),
                     QStringLiteral("3"));  // "31-1 Minas Gerais" highlighted
    EXPECT_EQ(qobject_cast<QComboBox*>(W("dblcUFFavorecida"))->currentText(),
              QStringLiteral("31-1 Minas Gerais"));
    EXPECT_EQ(F("UFFavorecida").AsString(), "");
    EXPECT_FALSE(W("dblcReceita")->isEnabled());
    QTest::keyClick(W("dblcUFFavorecida"), Qt::Key_Down);  // the arrows move the highlight only
    EXPECT_EQ(F("UFFavorecida").AsString(), "");
    EXPECT_FALSE(W("dblcReceita")->isEnabled());
    QTest::keyClick(W("dblcUFFavorecida"), Qt::Key_Up);
    QTest::keyClick(W("dblcUFFavorecida"), Qt::Key_Return);
    EXPECT_EQ(F("UFFavorecida").AsString(), "MG");
    EXPECT_EQ(Foco(), "dblcReceita");
    QTest::keyClicks(W("dblcReceita"), QStringLiteral("10005"));
    EXPECT_EQ(F("Receita").AsString(), "");
    EXPECT_FALSE(W("dbeDataVencimento")->isEnabled());
    QTest::keyClick(W("dblcReceita"), Qt::Key_Tab);
    EXPECT_EQ(F("Receita").AsString(), "100056");
    EXPECT_EQ(Foco(), "dbeDataVencimento");
    EXPECT_TRUE(dialogs.History().empty());
}

// An amount box is typed over, never after its 0; a refused amount keeps the person in the box,
// which shows the field's value again.
TEST_F(FrmDigitarTest, ValorDigitadoSubstituiERecusadoFicaNaCaixa) {
    Abre();
    Digita("26");
    Digita("10004");
    dialogs.ResponderDialogo(true);
    Digita("25032024");
    Digita("11222333000181");
    Digita("001");
    ASSERT_EQ(Foco(), "dbeValorPrincipal");
    EXPECT_EQ(E("dbeValorPrincipal")->selectedText(), QStringLiteral("0"));
    Digita("150");
    EXPECT_EQ(F("ValorPrincipal").AsFloat(), 150.0);
    EXPECT_EQ(E("dbeValorPrincipal")->text(), QStringLiteral("150"));
    ASSERT_EQ(Foco(), "dbeAtualizacaoMonetaria");
    for (const char* recusado : {"-5", "1.234,56"}) {
        SCOPED_TRACE(recusado);
        Digita(recusado);
        ASSERT_FALSE(dialogs.History().empty());
        EXPECT_EQ(dialogs.History().back().kind, TMsgDlgType::mtError);
        EXPECT_EQ(Foco(), "dbeAtualizacaoMonetaria");
        EXPECT_EQ(E("dbeAtualizacaoMonetaria")->text(), QStringLiteral("0"));
        EXPECT_EQ(E("dbeAtualizacaoMonetaria")->selectedText(), QStringLiteral("0"));
    }
    EXPECT_EQ(dialogs.History()[0].text, "Valor negativo não é permitido: -5");
    EXPECT_EQ(dialogs.History()[1].text, "Valor não é um número válido: 1.234,56");
    Digita("2,5");
    EXPECT_EQ(F("AtualizacaoMonetaria").AsFloat(), 2.5);
    EXPECT_EQ(F("TotalRecolher").AsFloat(), 152.5);
    dm->cdsKOVA.Cancel();
}

// A slip half typed is never lost by a slip of the hand: Digitar again brings the screen forward as
// it was (no payment date asked again), and Escape or a declined payment date ask first.
TEST_F(FrmDigitarTest, MeiaKOVAFicaAoDigitarDeNovoEDescartarPergunta) {
    SaoPauloAteOVencimento();
    dialogs.ResponderDialogo(true);
    Digita("25032024");
    Digita("11222333000181");
    tela->IniciarNovaKOVA();  // a dialog now would be an unexpected one
    EXPECT_EQ(dm->cdsKOVA.State(), TDataSetState::dsInsert);
    EXPECT_EQ(F("CICContribuinte").AsString(), "11222333000181");
    EXPECT_EQ(dialogs.History().size(), 0u);

    const char* pergunta =
        "Esta KOVA tem informações digitadas que ainda não foram salvas.\r\rDeseja descartá-las?";
    dialogs.Answer(TModalResult::mrNo);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    ASSERT_EQ(dialogs.History().size(), 1u);
    EXPECT_EQ(dialogs.History()[0].text, pergunta);
    EXPECT_EQ(dm->cdsKOVA.State(), TDataSetState::dsInsert);
    EXPECT_EQ(F("UFFavorecida").AsString(), "SP");
    dialogs.Answer(TModalResult::mrYes);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    EXPECT_EQ(dm->cdsKOVA.State(), TDataSetState::dsBrowse);
    EXPECT_EQ(dm->cdsKOVA.RecordCount(), 0);
}

// The payment date declined after the first boxes: the slip is discarded only when confirmed.
TEST_F(FrmDigitarTest, DataDePagamentoRecusadaPerguntaAntesDeDescartar) {
    const char* pergunta =
        "Esta KOVA tem informações digitadas que ainda não foram salvas.\r\rDeseja descartá-las?";
    SaoPauloAteOVencimento();
    dialogs.ResponderDialogo(false);
    dialogs.Answer(TModalResult::mrNo);
    Digita("25032024");
    EXPECT_EQ(dialogs.History().back().text, pergunta);
    EXPECT_EQ(dm->cdsKOVA.State(), TDataSetState::dsInsert);
    EXPECT_EQ(F("Receita").AsString(), "100048");
    dm->cdsKOVA.Cancel();
}

// The box left when the screen last closed is not left again when it opens on a new slip: a
// period picker would write its period into the new slip, and the refusal would take the keys the
// person is already typing.
TEST_F(FrmDigitarTest, ReabrirNaoSaiDaCaixaDaVezAnterior) {
    MinasAteOPeriodo();
    ASSERT_EQ(Foco(), "cbxPeriodoDia");
    dialogs.Answer(TModalResult::mrYes);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);  // discarded, when confirmed
    QTest::keyClick(tela.get(), Qt::Key_Escape);                   // and the screen closes
    ASSERT_FALSE(tela->isVisible());
    const size_t vistos = dialogs.History().size();
    Abre();
    QApplication::processEvents();
    EXPECT_EQ(dialogs.History().size(), vistos);
    EXPECT_TRUE(F("Referencia").IsNull());
    EXPECT_EQ(Foco(), "dblcUFFavorecida");
    dm->cdsKOVA.Cancel();
}

// A due date before today is questioned when box 14 is left, before anything is written or the
// payment date asked: Yes keeps the person in the box, No takes the date.
TEST_F(FrmDigitarTest, VencimentoPassadoPerguntadoAoSairDaCaixa14) {
    SaoPauloAteOVencimento();
    dialogs.Answer(TModalResult::mrYes);
    Digita("01032024");
    ASSERT_EQ(dialogs.History().size(), 1u);
    EXPECT_EQ(dialogs.History()[0].text,
              "A Data de Vencimento informada, 01/03/2024, é anterior à data de hoje, "
              "15/03/2024.\r\rDeseja corrigi-la?");
    EXPECT_TRUE(F("DataVencimento").IsNull());
    EXPECT_EQ(Foco(), "dbeDataVencimento");
    EXPECT_TRUE(W("dbeDataVencimento")->isEnabled());
    dialogs.ResponderDialogo(true);
    Digita("25032024");  // typed over the date shown
    EXPECT_EQ(F("DataVencimento").AsString(), "25/03/2024");
    EXPECT_EQ(Foco(), "dbeCICContribuinte");
    dm->cdsKOVA.Cancel();
}

TEST_F(FrmDigitarTest, VencimentoPassadoConfirmadoSegue) {
    SaoPauloAteOVencimento();
    dialogs.Answer(TModalResult::mrNo);  // the past date is meant
    dialogs.ResponderDialogo(true);
    Digita("01032024");
    EXPECT_EQ(F("DataVencimento").AsString(), "01/03/2024");
    EXPECT_EQ(Foco(), "dbeCICContribuinte");
    dm->cdsKOVA.Cancel();
}

// A period changed with the arrows and saved at once is the period saved: the save takes what the
// pickers show.
TEST_F(FrmDigitarTest, PeriodoMudadoPelasSetasESalvoDeUmaVez) {
    MinasAteOPeriodo();
    ASSERT_EQ(Foco(), "cbxPeriodoDia");
    QTest::keyClick(W("cbxPeriodoDia"), Qt::Key_Return);
    ASSERT_EQ(Foco(), "cbxPeriodoMes");
    EXPECT_EQ(F("Referencia").AsString(), "1032024");
    QTest::keyClick(W("cbxPeriodoMes"), Qt::Key_Up);  // February shown, nothing taken yet
    EXPECT_EQ(F("Referencia").AsString(), "1032024");
    dialogs.Answer(TModalResult::mrOk);  // whatever the save then says of the other boxes
    Clica("btnSalvar");
    EXPECT_EQ(F("Referencia").AsString(), "1022024");
    if (dm->cdsKOVA.State() != TDataSetState::dsBrowse) dm->cdsKOVA.Cancel();
}

// The host's screen as a person meets it under a window manager: the focus is in its first box as
// it appears; leaving box 14 asks the payment date once, although the dialog takes the window's
// place and the window gets the focus back only after it; Escape asks before discarding what was
// typed.
TEST_F(FrmDigitarTest, TelaHospedadaFocoDataDePagamentoUmaVezEEscapePergunta) {
    dm->ModoBiblioteca = true;
    for (const auto& c : form->Controles.Controls()) {
        if (!c->field.empty() &&
            (c->kind == TControlKind::Edit || c->kind == TControlKind::LookupCombo)) {
            form->Controles.SetEnabled(c->name, true);
        }
    }
    dm->cdsKOVA.Append();
    PreencheKOVAValida(*dm);
    form->Mostrar();
    QWidget frente;  // the dialog's window, in front while it is answered
    frente.resize(200, 100);
    auto pessoa = [&] {
        ASSERT_TRUE(QTest::qWaitForWindowActive(tela.get(), kEsperaJanela));
        QApplication::processEvents();
        EXPECT_EQ(Foco(), "dblcUFFavorecida");

        QTest::mouseClick(W("dbeDataVencimento"), Qt::LeftButton);
        ASSERT_EQ(Foco(), "dbeDataVencimento");
        E("dbeDataVencimento")->selectAll();
        QTest::keyClicks(W("dbeDataVencimento"), QStringLiteral("27032024"));
        dialogs.ResponderDialogo(true, [&](const TPedidoDialogo& p) {
            p.fonte->DataSet()->FieldByName("DataPagamento").SetAsDate(MakeDate(2024, 3, 20));
            frente.show();
            frente.activateWindow();
            EXPECT_TRUE(QTest::qWaitForWindowActive(&frente, kEsperaJanela));
        });
        QTest::keyClick(W("dbeDataVencimento"), Qt::Key_Tab);
        // The dialog gone, the window manager gives the screen its focus back.
        frente.hide();
        tela->activateWindow();
        // A box left a second time closes the screen with its unanswered payment date.
        ASSERT_TRUE(QTest::qWaitFor([&] { return tela->isActiveWindow() || !tela->isVisible(); },
                                    kEsperaJanela));
        QApplication::processEvents();
        ASSERT_TRUE(tela->isVisible());
        EXPECT_EQ(dialogs.Pedidos().size(), 1u);
        EXPECT_EQ(F("DataVencimento").AsString(), "27/03/2024");
        EXPECT_EQ(F("DataPagamento").AsString(), "20/03/2024");
        Captura("hospedada_depois_da_14");

        const char* pergunta =
            "Esta KOVA tem informações digitadas que ainda não foram salvas.\r\rDeseja "
            "descartá-las?";
        dialogs.Answer(TModalResult::mrNo);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        ASSERT_FALSE(dialogs.History().empty());
        EXPECT_EQ(dialogs.History().back().text, pergunta);
        ASSERT_TRUE(tela->isVisible());
        EXPECT_EQ(dm->cdsKOVA.State(), TDataSetState::dsInsert);
        dialogs.Answer(TModalResult::mrYes);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        EXPECT_FALSE(tela->isVisible());
    };
    QTimer::singleShot(0, tela.get(), [&] {
        pessoa();
        if (tela->isVisible()) tela->done(QDialog::Rejected);
    });
    tela->ExibirModal();
    EXPECT_EQ(dm->cdsKOVA.State(), TDataSetState::dsBrowse);
    EXPECT_EQ(dm->cdsKOVA.RecordCount(), 0);
    EXPECT_FALSE(form->Visivel);
}

// The search box narrows the grid as the clerk types; Enter makes the slip found the current one
// and shows it.
TEST_F(FrmDigitarTest, PesquisaPorCNPJEEnter) {
    for (const char* cic : {"11222333000181", "52998224725", "11444777000161"}) {
        dm->cdsKOVA.Append();
        PreencheKOVAValida(*dm);
        F("CICContribuinte").SetAsString(cic);
        dm->cdsKOVA.Post();
    }
    tela->AbrirPesquisa();
    ASSERT_TRUE(QTest::qWaitForWindowActive(tela.get(), kEsperaJanela));
    EXPECT_EQ(Foco(), "edtPesquisa");
    auto* grade = qobject_cast<QTableView*>(W("dbgSolicitacaoKOVA"));
    EXPECT_EQ(grade->model()->rowCount(), 3);
    EXPECT_EQ(F("IdKOVA").AsInteger(), 3);  // the screen opens on the last slip
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("529.982"));
    EXPECT_EQ(grade->model()->rowCount(), 1);
    Captura("digitar_pesquisa_cnpj");
    EXPECT_EQ(F("IdKOVA").AsInteger(), 3);  // typing moves nothing
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    EXPECT_EQ(F("IdKOVA").AsInteger(), 2);
    EXPECT_EQ(tela->findChild<QTabWidget*>()->currentWidget(), W("tbsKOVA"));
    EXPECT_EQ(qobject_cast<QLabel*>(W("dbtRegistro"))->text(), QStringLiteral("2"));
}

// The manual: every window's topic has its page with a title, and every link between pages leads
// to a page that is there.
TEST(Ajuda, CadaTopicoTemSuaPaginaECadaLigacaoLevaAUmaPagina) {
    const QString pasta = QStringLiteral(KOVA_AJUDA_FONTE);
    for (int topico :
         {kAjudaPrincipal, kAjudaImpressao, kAjudaDigitacao, kAjudaCaixas, kAjudaEncargos,
          kAjudaIncorporacao, kAjudaRemocao, kAjudaConsultas, kAjudaAdministracao}) {
        SCOPED_TRACE(topico);
        EXPECT_NE(std::string(PaginaDoTopico(topico)), "index.html");
        QTextBrowser leitor;
        leitor.setSource(QUrl::fromLocalFile(pasta + QString::fromLatin1(PaginaDoTopico(topico))));
        EXPECT_FALSE(leitor.documentTitle().isEmpty());
    }
    QTextBrowser encargos;
    encargos.setSource(QUrl::fromLocalFile(pasta + QStringLiteral("encargos.html")));
    // The topic error 92 sends the clerk to.
    EXPECT_EQ(encargos.documentTitle(), QStringLiteral("Cálculo de encargos por Estado"));
    const QRegularExpression ligacao(QStringLiteral("href=\"([^\"#:]+)[\"#]"));
    for (const QFileInfo& pagina : QDir(pasta).entryInfoList({QStringLiteral("*.html")})) {
        QFile f(pagina.filePath());
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        const QString html = QString::fromUtf8(f.readAll());
        EXPECT_TRUE(html.contains(QStringLiteral("<meta charset=\"utf-8\">")))
            << pagina.fileName().toStdString();
        for (auto m = ligacao.globalMatch(html); m.hasNext();) {
            const QString alvo = m.next().captured(1);
            EXPECT_TRUE(QFileInfo::exists(pasta + alvo))
                << pagina.fileName().toStdString() << " -> " << alvo.toStdString();
        }
    }
}

// F1 opens the topic of the window in front; the screen's Help button the same one.
TEST_F(FrmDigitarTest, F1AbreOTopicoDaJanela) {
    dm->DirPrograma = QFileInfo(QStringLiteral(KOVA_AJUDA_FONTE) + QStringLiteral(".."))
                          .canonicalFilePath()
                          .toStdString() +
                      "/";
    InstalaTeclaDeAjuda();
    Abre();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_F1);
    QWidget* ajuda = tela->findChild<QWidget*>(QStringLiteral("FrmAjuda"));
    ASSERT_NE(ajuda, nullptr);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(ajuda, kEsperaJanela));
    EXPECT_EQ(ajuda->windowTitle(), QStringLiteral("Ajuda do KOVA - Digitação de KOVA"));
    ajuda->close();
    Clica("btnAjuda");
    ajuda = tela->findChild<QWidget*>(QStringLiteral("FrmAjuda"));
    ASSERT_NE(ajuda, nullptr);
    EXPECT_EQ(ajuda->windowTitle(), QStringLiteral("Ajuda do KOVA - Digitação de KOVA"));

    // A word of the manual typed without its accents, Enter: the page that has it, the word
    // selected; a word the manual lacks says so.
    auto* localizar = ajuda->findChild<QLineEdit*>(QStringLiteral("edtLocalizar"));
    ASSERT_NE(localizar, nullptr);
    localizar->setText(QStringLiteral("REMOCAO NAO PODE"));
    QTest::keyClick(localizar, Qt::Key_Return);
    EXPECT_EQ(ajuda->windowTitle(), QStringLiteral("Ajuda do KOVA - Remover KOVA impressas"));
    auto* texto = ajuda->findChild<QTextBrowser*>();
    EXPECT_EQ(texto->textCursor().selectedText(), QStringLiteral("remoção não pode"));
    localizar->setText(QStringLiteral("xilogravura"));
    QTest::keyClick(localizar, Qt::Key_Return);
    EXPECT_EQ(ajuda->findChild<QLabel*>(QStringLiteral("lblLocalizar"))->text(),
              QStringLiteral("Não encontrado no manual"));
    dm->cdsKOVA.Cancel();
}

// The Qt dialogs themselves, answered by keys as a person would.
class DialogosQtTest : public FrmDigitarTest {
protected:
    // Runs the next modal dialog's check and answer once it is shown.
    void NoDialogo(std::function<void(QDialog&)> acao) {
        QTimer::singleShot(0, [acao] {
            auto* d = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            ASSERT_NE(d, nullptr);
            acao(*d);
        });
    }
    DialogosQt qt;
};

TEST_F(DialogosQtTest, DataDePagamentoPorTeclado) {
    ScopedDialogService real{qt};
    dm->cdsKOVA.Append();
    PreencheKOVAValida(*dm);
    TPedidoDialogo pedido{"TfrmDataPagamento", "Data de Pagamento",
                          "Cálculo para pagamento em:", "", &form->dtsPadrao};
    NoDialogo([](QDialog& d) {
        EXPECT_EQ(d.windowTitle(), QStringLiteral("Data de Pagamento"));
        auto* caixa = d.findChild<QLineEdit*>(QStringLiteral("dbeDataPagamento"));
        ASSERT_NE(caixa, nullptr);
        // Typed over the date proposed, which the box opens selected: no day passed through on
        // the way ("00/03/2024") is written or refused.
        QTest::keyClicks(caixa, QStringLiteral("20032024"));
        QTest::keyClick(caixa, Qt::Key_Return);  // Enter in the box confirms
    });
    EXPECT_TRUE(qt.Executar(pedido));
    EXPECT_EQ(F("DataPagamento").AsString(), "20/03/2024");
    NoDialogo([](QDialog& d) { QTest::keyClick(&d, Qt::Key_Escape); });
    EXPECT_FALSE(qt.Executar(pedido));
}

TEST_F(DialogosQtTest, SeletorDeProdutoEAvisoComLink) {
    ScopedDialogService real{qt};
    Inserir(dm->cdsUFProduto, {{"UF", T("SP")},
                               {"Receita", T("100048")},
                               {"Produto", int32_t(3)},
                               {"Descricao", T("Cerveja")}});
    Inserir(dm->cdsUFProduto, {{"UF", T("SP")},
                               {"Receita", T("100048")},
                               {"Produto", int32_t(9)},
                               {"Descricao", T("Água")}});
    dm->cdsUFProduto.First();
    TPedidoDialogo pedido{"TfrmSelecionaProduto", "Selecione Produto", "", "", &dm->dtsUFProduto};
    NoDialogo([](QDialog& d) {
        EXPECT_EQ(d.windowTitle(), QStringLiteral("Selecione Produto"));
        auto* grade = d.findChild<QTableView*>();
        EXPECT_EQ(grade->model()->headerData(1, Qt::Horizontal).toString(),
                  QStringLiteral("Código"));
        QTest::keyClick(grade, Qt::Key_Down);
        QTest::keyClick(grade, Qt::Key_Return);
    });
    EXPECT_TRUE(qt.Executar(pedido));
    EXPECT_EQ(dm->cdsUFProduto.FieldByName("Produto").AsInteger(), 9);

    TPedidoDialogo link{"TfrmMsgLink", "Atenção", "Emissão em programa próprio.",
                        "https://exemplo.gov.br", nullptr};
    NoDialogo([](QDialog& d) {
        EXPECT_EQ(d.windowTitle(), QStringLiteral("Atenção"));
        auto* rotulo = d.findChild<QLabel*>(QStringLiteral("lblLink"));
        ASSERT_NE(rotulo, nullptr);
        EXPECT_EQ(rotulo->text(), QStringLiteral("https://exemplo.gov.br"));
        d.findChild<QPushButton*>()->click();
    });
    EXPECT_TRUE(qt.Executar(link));
}

// Counts the cells read: a grid of slips reads each from the file.
class ModeloContado : public QStandardItemModel {
public:
    using QStandardItemModel::QStandardItemModel;
    mutable int lidas = 0;
    QVariant data(const QModelIndex& i, int papel) const override {
        if (papel == Qt::DisplayRole) ++lidas;
        return QStandardItemModel::data(i, papel);
    }
};

TEST(GradeTest, ColunasAjustadasSoPelasLinhasNaTela) {
    ModeloContado modelo(20000, 2);
    for (int l = 0; l < 20000; ++l) {
        modelo.setItem(l, 0, new QStandardItem(QString::number(l)));
        modelo.setItem(l, 1, new QStandardItem(QStringLiteral("x")));
    }
    modelo.setItem(0, 1, new QStandardItem(QStringLiteral("EMPRESA DE NOME BEM COMPRIDO LTDA")));
    QTableView grade;
    grade.setModel(&modelo);
    grade.resize(400, 300);
    // Not on screen yet: nothing read now, measured once it shows.
    AjustaColunas(grade);
    AjustaColunas(grade);
    EXPECT_EQ(modelo.lidas, 0);
    grade.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&grade));
    EXPECT_GT(modelo.lidas, 0);
    EXPECT_LT(modelo.lidas, 1000) << "every row measured";
    EXPECT_GT(grade.columnWidth(1),
              grade.fontMetrics().horizontalAdvance(QStringLiteral("EMPRESA DE NOME")));
    // On screen: measured at once, over the rows shown.
    modelo.lidas = 0;
    modelo.setItem(1, 0,
                   new QStandardItem(QStringLiteral("NUMERO MUITO MAIS LARGO QUE OS OUTROS")));
    AjustaColunas(grade);
    EXPECT_LT(modelo.lidas, 1000);
    EXPECT_GT(grade.columnWidth(0),
              grade.fontMetrics().horizontalAdvance(QStringLiteral("NUMERO MUITO")));
    // Rows scrolled into view widen a column they need wider, never narrow it.
    modelo.setItem(
        19999, 1,
        new QStandardItem(QStringLiteral("A ULTIMA LINHA TEM O TEXTO MAIS LARGO DE TODOS ELES")));
    const int antes = grade.columnWidth(0);
    grade.scrollToBottom();
    EXPECT_GT(grade.columnWidth(1),
              grade.fontMetrics().horizontalAdvance(QStringLiteral("A ULTIMA LINHA TEM O TEXTO")));
    EXPECT_EQ(grade.columnWidth(0), antes);
}

}  // namespace

#include "MainQt.h"
