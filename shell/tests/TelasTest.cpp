#include <gtest/gtest.h>
#include <unistd.h>
#include <utime.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QDir>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTableView>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>
#include <QtTest/QTest>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>

#include "Clock.h"
#include "Dialogs.h"
#include "FrmDigitar.h"
#include "FrmImprimir.h"
#include "FrmPrincipal.h"
#include "FrmUtilitarios.h"
#include "Inicio.h"
#include "Navegacao.h"
#include "QtTexto.h"
#include "SaidasImpressao.h"
#include "TabelasDeTeste.h"
#include "TfrmDigitar.h"
#include "TqrpKOVA.h"
#include "VersaoKOVA.h"

using namespace kova;
using namespace kova::teste;

namespace {

// Screens shown offscreen; with KOVA_CAPTURAS set, each one is also saved there as a picture.
class TelasTest : public ::testing::Test {
protected:
    void SetUp() override {
        // No print service here: prints take the way of a machine without printers.
        setenv("CUPS_SERVER", "/nonexistent/kova-sem-impressora.sock", 1);
        ImpressoraEscolhida() = {};
        dm = ModuloDeTeste();
        dm->PastaImpressao =
            ::testing::TempDir() + "kova-impressoes-" + std::to_string(getpid()) + "/";
        dm->Versao = 1;
        dm->VersaoRelease = "03";
        relatorio = std::make_unique<TqrpKOVA>();
    }
    void TearDown() override {
        vigia_.reset();
        ImpressoraEscolhida() = {};
        relatorio.reset();
        dm.reset();
        Clock::Reset();
        EXPECT_TRUE(dialogs.Unexpected().empty());
    }
    void KOVAs(int n) {
        for (int i = 0; i < n; ++i) {
            dm->cdsKOVA.Append();
            PreencheKOVAValida(*dm);
            dm->cdsKOVA.Post();
        }
    }
    static void Captura(QWidget& w, const char* nome) {
        if (const char* pasta = std::getenv("KOVA_CAPTURAS")) {
            w.grab().save(QString::fromUtf8(pasta) + "/" + nome + ".png");
        }
    }
    // Prints go to a PDF file, as when the printer set-up dialog printed to a file.
    static std::string ParaPDF(const char* nome) {
        const std::string caminho = ::testing::TempDir() + nome + std::to_string(getpid()) + ".pdf";
        std::remove(caminho.c_str());
        ImpressoraEscolhida() = {std::string(), caminho};
        return caminho;
    }
    // Pages of a PDF file that Qt wrote.
    static int PaginasDoPDF(const std::string& caminho) {
        std::ifstream f(caminho, std::ios::binary);
        const std::string pdf((std::istreambuf_iterator<char>(f)),
                              std::istreambuf_iterator<char>());
        int n = 0;
        for (size_t i = pdf.find("/Type /Page"); i != std::string::npos;
             i = pdf.find("/Type /Page", i + 1)) {
            n += pdf.compare(i, 12, "/Type /Pages") != 0;
        }
        return n;
    }
    // Any window of Qt's own that opens modally (the system's print dialog) is noted and closed.
    void VigiaJanelasModais() {
        auto* vigia = new QTimer(qApp);
        vigia->setInterval(20);
        QObject::connect(vigia, &QTimer::timeout, [this] {
            if (QWidget* w = QApplication::activeModalWidget()) {
                modais.push_back(w->metaObject()->className());
                if (auto* d = qobject_cast<QDialog*>(w)) d->reject();
            }
        });
        vigia->start();
        vigia_.reset(vigia);
    }
    // The window that takes the keys, as when the person clicks on it.
    static void Ativa(QWidget* w) {
        w->activateWindow();
        QApplication::setActiveWindow(w);
        QCoreApplication::processEvents();
        ASSERT_EQ(QApplication::activeWindow(), w);
    }
    static QWidget* Previa() {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (w->isVisible() && w->windowTitle() == QStringLiteral("Visualizar KOVA")) return w;
        }
        return nullptr;
    }
    std::string Situacao(int id) {
        const bool filtrado = dm->cdsKOVA.Filtered();
        dm->cdsKOVA.SetFiltered(false);
        EXPECT_TRUE(dm->cdsKOVA.Locate("IdKOVA", {id}));
        std::string s = dm->cdsKOVA.FieldByName("Situacao").AsString();
        dm->cdsKOVA.SetFiltered(filtrado);
        return s;
    }

    std::vector<std::string> modais;
    std::unique_ptr<QTimer> vigia_;
    ScriptedDialogs dialogs;
    ScopedDialogService servico{dialogs};
    std::unique_ptr<TDM> dm;
    std::unique_ptr<TqrpKOVA> relatorio;
};

TEST_F(TelasTest, ListaSemKOVANaoImpressaDesligaOsBotoes) {
    KOVAs(1);
    dm->MarcaImpressa();
    FrmImprimir f(*relatorio);
    EXPECT_TRUE(f.ckbNaoImpressos->isChecked());
    EXPECT_EQ(f.modelo->rowCount(), 0);
    EXPECT_FALSE(f.btnVisualizar->isEnabled());
    EXPECT_FALSE(f.btnImprimir->isEnabled());
    EXPECT_FALSE(f.btnTodos->isEnabled());
    f.ckbNaoImpressos->setChecked(false);
    f.ckbNaoImpressosClick();
    EXPECT_EQ(f.modelo->rowCount(), 1);
    EXPECT_TRUE(f.btnImprimir->isEnabled());
}

// A clerk picks a slip from the list by what they know of it, read as on paper, and the total, the
// due date and the situation fit a 1366-pixel screen without scrolling.
TEST_F(TelasTest, ListaMostraOQueOFuncionarioProcura) {
    const std::string nome(dm->cdsKOVA.FieldByName("RazaoSocial").Size(), 'M');
    dm->cdsKOVA.Append();
    PreencheKOVAValida(*dm);
    dm->cdsKOVA.FieldByName("RazaoSocial").SetAsString(nome);
    dm->cdsKOVA.FieldByName("Referencia").SetAsString("1102026");
    dm->cdsKOVA.Post();
    FrmImprimir f(*relatorio);
    f.show();
    QApplication::processEvents();
    std::map<std::string, std::string> linha;
    for (int c = 0; c < f.modelo->columnCount(); ++c) {
        linha[C(f.modelo->headerData(c, Qt::Horizontal, Qt::DisplayRole).toString())] =
            C(f.modelo->data(f.modelo->index(0, c), Qt::DisplayRole).toString());
    }
    EXPECT_EQ(linha["Contribuinte"], nome);
    EXPECT_EQ(linha["CNPJ ou CPF"], "11.222.333/0001-81");
    EXPECT_EQ(linha["Receita"], "10004-8");
    EXPECT_EQ(linha["Referência"], "10/2026");
    EXPECT_EQ(linha["Situação"], "Não impressa");
    int largura = 0;
    for (int c = 0; c < f.modelo->columnCount(); ++c) {
        largura += f.dbgSolicitacaoKOVA->columnWidth(c);
        if (f.modelo->headerData(c, Qt::Horizontal, Qt::DisplayRole).toString() == Q("Situação")) {
            break;
        }
    }
    EXPECT_LE(largura, 1300);
}

TEST_F(TelasTest, ImprimirTodasPelaListaMarcaEEsvazia) {
    KOVAs(3);
    const std::string pdf = ParaPDF("kova_lista");
    FrmImprimir f(*relatorio);
    f.show();
    EXPECT_EQ(f.modelo->rowCount(), 3);
    EXPECT_EQ(f.modelo->headerData(6, Qt::Horizontal, Qt::DisplayRole).toString(),
              QStringLiteral("Total a Recolher"));
    EXPECT_EQ(f.modelo->data(f.modelo->index(0, 6), Qt::DisplayRole).toString(),
              QStringLiteral("100,00"));
    Captura(f, "lista");
    f.btnImprimirTodosClick();
    EXPECT_EQ(f.modelo->rowCount(), 0);
    EXPECT_FALSE(f.btnTodos->isEnabled());
    EXPECT_EQ(PaginasDoPDF(pdf), 3);  // one page of three copies for each slip
    dm->cdsKOVA.SetFiltered(false);
    for (dm->cdsKOVA.First(); !dm->cdsKOVA.Eof(); dm->cdsKOVA.Next()) {
        EXPECT_EQ(dm->cdsKOVA.FieldByName("Situacao").AsString(), "I");
    }
}

TEST_F(TelasTest, PreviaImprimeComoPrimeiraAcaoPelasTeclasAltSemJanelaDeImpressao) {
    KOVAs(2);
    VigiaJanelasModais();
    FrmImprimir f(*relatorio);
    f.show();
    f.modelo->IrPara(0);
    Ativa(&f);
    QTest::keyClick(&f, Qt::Key_V, Qt::AltModifier);  // "&Visualizar"
    QWidget* previa = Previa();
    ASSERT_NE(previa, nullptr);
    // The list and the preview lie inside the screen's free area, room left for a frame.
    for (QWidget* janela : {static_cast<QWidget*>(&f), previa}) {
        const QRect livre = janela->screen()->availableGeometry();
        EXPECT_TRUE(livre.contains(janela->geometry().adjusted(-4, -24, 4, 4)))
            << janela->windowTitle().toStdString() << " " << janela->width() << "x"
            << janela->height() << " de " << livre.width() << "x" << livre.height();
    }
    Ativa(previa);
    QTest::keyClick(previa, Qt::Key_I, Qt::AltModifier);  // "&Imprimir" of the preview, first print
    EXPECT_EQ(Situacao(1), "I");
    ASSERT_FALSE(dialogs.Texts().empty());
    EXPECT_EQ(dialogs.Texts().back(),
              "Não há impressora instalada: as KOVA foram gravadas em PDF na pasta\r\r" +
                  dm->PastaImpressao);
    EXPECT_EQ(PaginasDoPDF(dm->PastaImpressao + "KOVA_1.pdf"), 1);
    EXPECT_EQ(f.modelo->rowCount(), 1);                   // the printed slip left the list
    QTest::keyClick(previa, Qt::Key_F, Qt::AltModifier);  // "&Fechar"
    EXPECT_EQ(Previa(), nullptr);
    Ativa(&f);
    QTest::keyClick(&f, Qt::Key_I, Qt::AltModifier);  // "&Imprimir" of the list
    EXPECT_EQ(Situacao(2), "I");
    EXPECT_EQ(PaginasDoPDF(dm->PastaImpressao + "KOVA_2.pdf"), 1);
    EXPECT_TRUE(modais.empty()) << modais.front();  // no print dialog on the way
    QTest::keyClick(&f, Qt::Key_F, Qt::AltModifier);
    EXPECT_FALSE(f.isVisible());
}

TEST_F(TelasTest, PreviaDaTelaDeDigitacaoImprimeSemPerguntarAImpressora) {
    KOVAs(1);
    VigiaJanelasModais();
    FrmPrincipal p(*relatorio);
    FrmDigitar& tela = p.Tela();
    tela.AbrirPesquisa();
    tela.Controle<QToolButton>("btnImprimir")->click();  // the preview of the current slip
    auto* previa = dynamic_cast<FrmVisualizar*>(Previa());
    ASSERT_NE(previa, nullptr);
    previa->btnImprimir->trigger();
    EXPECT_EQ(Situacao(1), "I");
    EXPECT_EQ(PaginasDoPDF(dm->PastaImpressao + "KOVA_1.pdf"), 1);
    EXPECT_EQ(dialogs.Texts().size(), 1u);  // where the PDF went, no printer here
    EXPECT_TRUE(modais.empty());
    previa->close();
    tela.close();
}

TEST_F(TelasTest, TodosComUmaKOVAQueFalhaMantemAListaEFalaPortugues) {
    KOVAs(3);
    ASSERT_TRUE(dm->cdsKOVA.Locate("IdKOVA", {2}));
    dm->cdsKOVA.Edit();
    dm->cdsKOVA.FieldByName("UFFavorecida").SetAsString("MG");
    dm->cdsKOVA.Post();
    Regra(*dm, "MG", "100048", "LY", "sete");  // its barcode cannot be built
    const std::string pdf = ParaPDF("kova_falha");
    FrmImprimir f(*relatorio);
    f.btnImprimirTodosClick();
    ASSERT_EQ(dialogs.Texts().size(), 1u);
    EXPECT_EQ(dialogs.Texts()[0].rfind("A KOVA Nº 2 não foi impressa\r\rValor inválido na KOVA: O "
                                       "leiaute do código de barras 'sete'",
                                       0),
              0u);
    EXPECT_EQ(f.modelo->rowCount(), 2);  // slip 1 was printed and left the list at once
    EXPECT_TRUE(dm->cdsKOVA.Filtered());
    EXPECT_EQ(Situacao(1), "I");
    EXPECT_EQ(PaginasDoPDF(pdf), 1);

    // Copies pushed off the page by the top margin are refused and nothing is marked.
    relatorio->Relatorio.margemSuperior = 100000;
    dialogs.Clear();
    f.modelo->IrPara(1);
    f.btnImprimirClick();
    ASSERT_EQ(dialogs.Texts().size(), 1u);
    EXPECT_NE(dialogs.Texts()[0].find("fora da página"), std::string::npos);
    EXPECT_NE(Situacao(3), "I");
}

TEST_F(TelasTest, ReimpressaoEPreviaPelaLista) {
    KOVAs(2);
    dm->cdsKOVA.First();
    dm->MarcaImpressa();
    ParaPDF("kova_reimpressao");
    FrmImprimir f(*relatorio);
    f.ckbNaoImpressos->setChecked(false);
    f.ckbNaoImpressosClick();  // printed slips are listed too
    EXPECT_EQ(f.modelo->rowCount(), 2);
    f.modelo->IrPara(0);
    Clock::Set(MakeDateTime(2024, 3, 15, 16, 0));
    f.btnImprimirClick();
    dm->cdsKOVA.FindKey({"1"});
    EXPECT_EQ(dm->cdsKOVA.FieldByName("DataHora").AsString(), "15/03/2024 16:00:00");
    f.btnVisualizarClick();  // the preview of a printed slip leaves it changed
    EXPECT_EQ(dm->cdsKOVA.FieldByName("Situacao").AsString(), "A");
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (w->windowTitle() == QStringLiteral("Visualizar KOVA")) {
            Captura(*w, "previa");
            w->close();
        }
    }
}

TEST_F(TelasTest, JanelaPrincipalMenusRelogioESaida) {
    FrmPrincipal p(*relatorio);
    EXPECT_FALSE(p.mniImprimir->isEnabled());
    EXPECT_FALSE(p.btnImprimir->isEnabled());
    KOVAs(1);
    p.AtualizaMenus();
    EXPECT_TRUE(p.mniImprimir->isEnabled());
    EXPECT_EQ(p.painelData->text(), QStringLiteral("15/03/2024"));
    // The program's version is the build's; the tables' is their own.
    EXPECT_EQ(p.lblVersao->text(), Q(std::string("Versão: ") + VersaoKOVA()));
    EXPECT_EQ(p.lblVersaoTabelas->text(), QStringLiteral("Tabelas: versão 1.03"));
    EXPECT_TRUE(p.Timer->isActive());
    p.StatusBarDblClick();
    EXPECT_FALSE(p.Timer->isActive());
    p.StatusBarDblClick();
    EXPECT_TRUE(p.Timer->isActive());
    p.show();
    Captura(p, "principal");
    dialogs.Answer(TModalResult::mrNo);
    EXPECT_FALSE(p.close());  // No keeps the program running
    EXPECT_EQ(dialogs.Texts().back(), "\rDeseja sair do programa KOVA?");
    dialogs.Answer(TModalResult::mrYes);
    EXPECT_TRUE(p.close());
}

// The import's file dialog says what each entry it lists is in Portuguese: a folder is a "Pasta".
TEST_F(TelasTest, DialogoDeIncorporacaoEmPortugues) {
    FrmPrincipal p(*relatorio);
    QTemporaryDir pasta;
    ASSERT_TRUE(QDir(pasta.path()).mkdir(QStringLiteral("lotes")));
    const QString lotes = pasta.path() + QStringLiteral("/lotes");
    QString tipo;
    QTimer::singleShot(0, [&] {
        auto* dialogo = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialogo, nullptr);
        dialogo->setDirectory(pasta.path());
        auto* modelo = dialogo->findChild<QFileSystemModel*>();
        ASSERT_NE(modelo, nullptr);
        // The model learns what an entry is in a thread of its own.
        const bool lido =
            QTest::qWaitFor([&] { return !modelo->type(modelo->index(lotes)).isEmpty(); }, 10000);
        EXPECT_TRUE(lido);
        tipo = modelo->type(modelo->index(lotes));
        dialogo->reject();
    });
    p.mniIncorporarClick();
    EXPECT_EQ(tipo, QStringLiteral("Pasta"));
}

TEST_F(TelasTest, MenusAbremATelaDeDigitacao) {
    KOVAs(1);
    FrmPrincipal p(*relatorio);
    FrmDigitar& tela = p.Tela();
    tela.IniciarNovaKOVA();
    EXPECT_TRUE(tela.isVisible());
    EXPECT_EQ(dm->cdsKOVA.State(), TDataSetState::dsInsert);
    tela.reject();  // Escape: the new slip is cancelled, the screen stays
    EXPECT_EQ(dm->cdsKOVA.State(), TDataSetState::dsBrowse);
    tela.reject();  // and then closes it
    EXPECT_FALSE(tela.isVisible());
    tela.AbrirPesquisa();
    EXPECT_EQ(p.Formulario().PaginaAtiva, "tbsPesquisar");
    // The screen's Print opens the preview of the current slip.
    tela.Controle<QToolButton>("btnImprimir")->click();
    EXPECT_EQ(dm->cdsKOVA.FieldByName("Situacao").AsString(), "A");
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (w->windowTitle() == QStringLiteral("Visualizar KOVA")) w->close();
    }
    tela.close();
}

TEST_F(TelasTest, RemocaoComODiaDeOntemEAMensagem) {
    FrmRemoverKOVA f;
    EXPECT_EQ(f.dtpData->date(), QDate(2024, 3, 14));
    KOVAs(2);
    dm->cdsKOVA.First();
    dm->MarcaImpressa();  // printed today: stays with the default day
    f.dtpData->setDate(QDate(2024, 3, 15));
    EXPECT_EQ(f.lblPrevisao->text(),
              Q("Serão removidas 1 KOVA impressa e 0 KOVA não impressas (sem alteração há mais de "
                "360 dias)."));
    f.dtpData->setDate(QDate(2024, 3, 14));
    EXPECT_EQ(f.lblPrevisao->text(), Q("Nenhuma KOVA será removida."));
    f.btnRemoverClick();
    EXPECT_EQ(dialogs.Texts().back(),
              "Remoção concluida com sucesso\r\rRemovidos: 0\rDisponíveis para impressão: 2");
    f.dtpData->setDate(QDate(2024, 3, 15));
    f.btnRemoverClick();
    EXPECT_EQ(dialogs.Texts().back(),
              "Remoção concluida com sucesso\r\rRemovidos: 1\rDisponíveis para impressão: 1");
}

TEST_F(TelasTest, NavegadoresDeEstadosReceitasEProdutos) {
    Regra(*dm, "MG", "100048", "BL", "");
    Inserir(dm->cdsUFProduto, {{"UF", T("SP")},
                               {"Receita", T("100048")},
                               {"Produto", int32_t(9)},
                               {"Descricao", T("Gasolina")}});
    Inserir(dm->cdsUFProduto, {{"UF", T("MG")},
                               {"Receita", T("100048")},
                               {"Produto", int32_t(1)},
                               {"Descricao", T("Diesel")}});
    {
        FrmConsulta f(FrmConsulta::Tipo::UF);
        f.show();
        EXPECT_EQ(f.modelo->rowCount(), 2);
        EXPECT_EQ(f.modelo->data(f.modelo->index(1, 2), Qt::DisplayRole).toString(),
                  QStringLiteral("SIM"));
        Captura(f, "estados");
    }
    {
        FrmConsulta f(FrmConsulta::Tipo::UFReceita);
        f.show();
        EXPECT_EQ(f.cbxUF->currentText(), QStringLiteral("MG"));
        EXPECT_EQ(f.modelo->rowCount(), 1);  // 100048 is blocked for MG
        EXPECT_EQ(f.modelo->data(f.modelo->index(0, 2), Qt::DisplayRole).toString(),
                  QStringLiteral("014.05.003"));
        Captura(f, "receitas");
        f.cbxUF->setCurrentIndex(1);
        EXPECT_EQ(f.modelo->rowCount(), 2);
    }
    EXPECT_FALSE(dm->cdsReceita.Filtered());
    EXPECT_FALSE(dm->ModoConsultaUFReceita);
    {
        FrmConsulta f(FrmConsulta::Tipo::UFProduto);
        f.show();
        EXPECT_EQ(f.cbxUF->itemText(0), QStringLiteral("MG"));  // in product order: product 1 first
        EXPECT_EQ(f.cbxUF->itemText(1), QStringLiteral("SP"));
        EXPECT_EQ(f.modelo->rowCount(), 1);
        Captura(f, "produtos");
    }
    EXPECT_FALSE(dm->cdsUFProduto.Filtered());
}

TEST_F(TelasTest, NavegadorEListaDeConsulta) {
    KOVAs(3);
    NavegadorRegistros nav(dm->cdsKOVA);
    dm->cdsKOVA.First();
    nav.Atualizar();
    EXPECT_FALSE(nav.anterior->isEnabled());
    EXPECT_TRUE(nav.proximo->isEnabled());
    nav.ultimo->click();
    EXPECT_EQ(dm->cdsKOVA.FieldByName("IdKOVA").AsInteger(), 3);
    EXPECT_FALSE(nav.proximo->isEnabled());
    QComboBox lista;
    PreencheLookup(lista, dm->cdsUF, "UF", {"UFDescricao", "UF"}, "SP");
    ASSERT_EQ(lista.count(), 2);
    EXPECT_EQ(lista.currentText(), QStringLiteral("26-1 São Paulo - SP"));
    EXPECT_EQ(lista.currentData().toString(), QStringLiteral("SP"));
}

TEST_F(TelasTest, IncorporacaoDesassistidaImprimeEFecha) {
    KOVAs(1);
    const std::string base = ::testing::TempDir() + "kova_incorporar";
    {
        std::ofstream f(base + ".txt", std::ios::binary);
        for (int i = 0; i < 2; ++i) {
            f << "SP\t100048\t11.222.333/0001-81\t\t001\t100,00\t0\t0\t0\t100,00\t25/03/2024\t\t"
                 "EMPRESA DE TESTE LTDA\t\tRUA DAS FLORES, "
                 "100\tCAMPINAS\tSP\t13010-000\t\tPEDIDO\r\n";
        }
    }
    std::remove((base + ".pdf").c_str());
    FrmPrincipal principal(*relatorio);
    principal.show();
    principal.IncorporarArquivo(base + ".txt", true);
    EXPECT_EQ(dialogs.Texts(), std::vector<std::string>{"2 KOVA impressas com sucesso"});
    EXPECT_FALSE(principal.isVisible());  // closed without the exit question
    for (int id : {2, 3}) {
        ASSERT_TRUE(dm->cdsKOVA.Locate("IdKOVA", {id}));
        EXPECT_EQ(dm->cdsKOVA.FieldByName("Situacao").AsString(), "I");
    }
    EXPECT_EQ(PaginasDoPDF(base + ".pdf"), 2);  // no printer here: each slip's page in one PDF
    EXPECT_TRUE(principal.mniImprimir->isEnabled());
}

// Prints on a real print queue: programs/tests/impressao_real.sh starts its own print service,
// gives its socket in KOVA_CUPS_SERVER and a folder in KOVA_FILA_REAL where these tests write the
// barcode content of every slip they print, to be read back from what the queue printed.
class ImpressaoReal : public TelasTest {
protected:
    void SetUp() override {
        const char* pasta = std::getenv("KOVA_FILA_REAL");
        const char* servidor = std::getenv("KOVA_CUPS_SERVER");
        if (!pasta || !servidor)
            GTEST_SKIP() << "sem fila própria: programs/tests/impressao_real.sh as roda";
        TelasTest::SetUp();
        pasta_ = pasta;
        setenv("CUPS_SERVER", servidor, 1);
    }
    static bool Parada() { return std::getenv("KOVA_FILA_PARADA") != nullptr; }
    void Anota(const char* arquivo, int id) {
        ASSERT_EQ(Situacao(id), "I");
        const bool filtrado = dm->cdsKOVA.Filtered();
        dm->cdsKOVA.SetFiltered(false);
        ASSERT_TRUE(dm->cdsKOVA.Locate("IdKOVA", {id}));
        std::ofstream(pasta_ + "/" + arquivo, std::ios::app)
            << dm->cdsKOVA.FieldByName("CodigoBarra").AsString() << "\n";
        dm->cdsKOVA.SetFiltered(filtrado);
    }
    // Answers the next printer set-up dialog with the named queue (empty: as it comes), noting
    // the queue it offered first.
    void EscolheNoDialogo(const QString& fila) {
        auto* espera = new QTimer(qApp);
        espera->setInterval(50);
        QObject::connect(espera, &QTimer::timeout, [this, espera, fila] {
            auto* dialogo = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            if (!dialogo) return;  // not shown yet
            espera->deleteLater();
            espera->stop();
            for (QComboBox* c : dialogo->findChildren<QComboBox*>()) {
                if (c->findText(QStringLiteral("KOVA_PDF")) < 0) continue;
                oferecida = c->currentText();
                if (!fila.isEmpty()) c->setCurrentIndex(c->findText(fila));
            }
            dialogo->accept();
        });
        espera->start();
    }
    std::string pasta_;
    QString oferecida;
};

TEST_F(ImpressaoReal, TodosNaFilaPadraoMarcaCadaKOVAAceita) {
    if (Parada()) GTEST_SKIP();
    KOVAs(2);
    VigiaJanelasModais();
    FrmImprimir f(*relatorio);
    f.btnImprimirTodosClick();
    EXPECT_TRUE(dialogs.Texts().empty()) << dialogs.Texts().front();
    EXPECT_TRUE(modais.empty());
    EXPECT_EQ(f.modelo->rowCount(), 0);
    Anota("padrao.txt", 1);
    Anota("padrao.txt", 2);
}

TEST_F(ImpressaoReal, ConfigurarDaJanelaPrincipalEscolheAFilaDasProximasImpressoes) {
    if (Parada()) GTEST_SKIP();
    KOVAs(1);
    FrmPrincipal p(*relatorio);
    QAction* configurar = nullptr;
    for (QAction* a : p.findChildren<QAction*>()) {
        if (a->text() == QStringLiteral("&Configurar impressora")) configurar = a;
    }
    ASSERT_NE(configurar, nullptr);
    EscolheNoDialogo(QStringLiteral("KOVA_OUTRA"));
    configurar->trigger();
    EXPECT_EQ(oferecida, QStringLiteral("KOVA_PDF"));  // the default printer
    EXPECT_EQ(ImpressoraEscolhida().impressora, "KOVA_OUTRA");
    {
        // The print list's "Configurar" offers the same choice.
        FrmImprimir f(*relatorio);
        EscolheNoDialogo(QString());
        f.btnConfigurar->trigger();
        EXPECT_EQ(oferecida, QStringLiteral("KOVA_OUTRA"));
        f.btnImprimirClick();
        EXPECT_TRUE(dialogs.Texts().empty()) << dialogs.Texts().front();
    }
    Anota("outra.txt", 1);
}

TEST_F(ImpressaoReal, FilaParadaNaoMarcaEDizPorque) {
    if (!Parada()) GTEST_SKIP();
    KOVAs(2);
    FrmImprimir f(*relatorio);
    f.btnImprimirTodosClick();
    EXPECT_EQ(dialogs.Texts(),
              std::vector<std::string>{
                  "A KOVA Nº 1 não foi impressa\r\rA impressora \"KOVA_PDF\" está parada"});
    EXPECT_EQ(f.modelo->rowCount(), 2);
    EXPECT_NE(Situacao(1), "I");
    EXPECT_NE(Situacao(2), "I");
}

TEST(Inicio, DadosQuebradosMostramAMensagemESemJanela) {
    ScriptedDialogs dialogs;
    ScopedDialogService servico(dialogs);
    char modelo[] = "/tmp/kova-inicio-XXXXXX";
    const std::string dir = std::string(mkdtemp(modelo)) + "/";
    setenv("KOVA_WINDIR", dir.c_str(), 1);
    std::string ini = dir + "KOVA.INI";
    FILE* f = fopen(ini.c_str(), "w");
    fprintf(f, "[KOVA]\r\nDirDados=%snada\r\n", dir.c_str());
    fclose(f);
    auto dm = kova::CriaModuloDeDados();
    EXPECT_EQ(dm, nullptr);
    ASSERT_EQ(dialogs.Texts().size(), 1u);
    EXPECT_NE(dialogs.Texts()[0].find("Arquivo não localizado"), std::string::npos);
    EXPECT_EQ(DM, nullptr);
    char programa[] = "kova";
    char arquivo[] = "/etc/hostname";
    char padrao[] = "C:\\Arquivos de Programas\\KOVA\\KOVA.exe";
    char* comImportacao[] = {programa, arquivo};
    char* comPadrao[] = {programa, padrao};
    EXPECT_TRUE(kova::ArgumentoDeImportacao(2, comImportacao));
    EXPECT_FALSE(kova::ArgumentoDeImportacao(2, comPadrao));
    EXPECT_FALSE(kova::ArgumentoDeImportacao(1, comImportacao));
    unsetenv("KOVA_WINDIR");
    std::remove(ini.c_str());
}

// The notice of tables an upgrade replaced is shown once, when the desktop program starts.
TEST(Inicio, AvisoDasTabelasAtualizadasUmaVez) {
    ScriptedDialogs dialogs;
    ScopedDialogService servico(dialogs);
    char modelo[] = "/tmp/kova-inicio-XXXXXX";
    const std::string dir = std::string(mkdtemp(modelo)) + "/";
    std::filesystem::copy(KOVA_DADOS_PADRAO, dir + "Dados");
    setenv("KOVA_WINDIR", dir.c_str(), 1);
    {
        std::ofstream ini(dir + "KOVA.INI", std::ios::binary);
        ini << "[KOVA]\r\nDirDados=" << dir << "Dados/\r\nTabelasAtualizadasDe=1.02\r\n"
            << "TabelasAtualizadasPara=1.03\r\nTabelasAlteradas=UF.cds, Controle.cds\r\n";
    }
    auto dm = kova::CriaModuloDeDados();
    ASSERT_NE(dm, nullptr);
    ASSERT_EQ(dialogs.Texts().size(), 1u);
    EXPECT_EQ(dialogs.Texts()[0],
              "As tabelas de referência foram atualizadas com as da nova versão do KOVA.\r\r"
              "Versão das tabelas: 1.03 (antes: 1.02)\rTabelas alteradas: UF.cds, Controle.cds\r\r"
              "As KOVA digitadas foram mantidas.");
    dm.reset();
    dm = kova::CriaModuloDeDados();
    ASSERT_NE(dm, nullptr);
    EXPECT_EQ(dialogs.Texts().size(), 1u);
    dm.reset();
    unsetenv("KOVA_WINDIR");
    std::filesystem::remove_all(dir);
}

// A start that cannot read the slips file offers its copies: the person restores the one listed
// and the program starts on its slips.
TEST(Inicio, ArquivoDeKOVAIlegivelOfereceACopiaEComecaComEla) {
    ScriptedDialogs dialogs;
    ScopedDialogService servico(dialogs);
    Clock::Set(MakeDateTime(2024, 3, 15, 9, 0));
    char modelo[] = "/tmp/kova-inicio-XXXXXX";
    const std::string dir = std::string(mkdtemp(modelo)) + "/";
    std::filesystem::copy(KOVA_DADOS_PADRAO, dir + "Dados");
    setenv("KOVA_WINDIR", dir.c_str(), 1);
    {
        std::ofstream ini(dir + "KOVA.INI", std::ios::binary);
        ini << "[KOVA]\r\nDirDados=" << dir << "Dados/\r\n";
    }
    const std::string kova = dir + "Dados/KOVA.cds";
    auto sessao = [&](int kovas) {
        auto dm = kova::CriaModuloDeDados();
        ASSERT_NE(dm, nullptr);
        for (int i = 0; i < kovas; ++i) {
            dm->cdsKOVA.Append();
            dm->cdsKOVA.Post();
        }
    };
    sessao(2);
    // Those two were typed yesterday; today's first save keeps the file as it was then.
    std::tm ontem{};
    ontem.tm_year = 124;
    ontem.tm_mon = 2;
    ontem.tm_mday = 14;
    ontem.tm_hour = 12;
    ontem.tm_isdst = -1;
    const utimbuf tempos{std::mktime(&ontem), std::mktime(&ontem)};
    ASSERT_EQ(::utime(kova.c_str(), &tempos), 0);
    sessao(1);
    std::ofstream(kova, std::ios::binary) << "isto não é uma tabela";

    dialogs.Answer(TModalResult::mrYes);  // restore now
    dialogs.Answer(TModalResult::mrYes);  // that copy
    int janelas = 0;
    auto dm = kova::CriaModuloDeDados([&](TDM& configurado) {
        ++janelas;
        FrmRestaurarCopia f(configurado);
        EXPECT_EQ(f.grdCopias->rowCount(), 1);
        EXPECT_EQ(f.grdCopias->item(0, 0)->text(), QStringLiteral("14/03/2024"));
        EXPECT_EQ(f.grdCopias->item(0, 1)->text(), QStringLiteral("2"));
        EXPECT_TRUE(f.btnRestaurar->isEnabled());
        f.btnRestaurarClick();
        return f.result() == QDialog::Accepted;
    });
    EXPECT_EQ(janelas, 1);
    ASSERT_NE(dm, nullptr);
    EXPECT_EQ(dm->cdsKOVA.RecordCount(), 2);
    const auto textos = dialogs.Texts();
    ASSERT_EQ(textos.size(), 4u);
    EXPECT_NE(textos[0].find("Há cópias de segurança do arquivo de KOVA"), std::string::npos);
    EXPECT_EQ(textos[1], "Deseja restaurar agora uma cópia de segurança do arquivo de KOVA?");
    EXPECT_EQ(textos[2].rfind("Restaurar a cópia de segurança de 14/03/2024?", 0), 0u);
    EXPECT_EQ(textos[3].rfind("Cópia de segurança de 14/03/2024 restaurada", 0), 0u);
    dm.reset();
    Clock::Reset();
    unsetenv("KOVA_WINDIR");
    std::filesystem::remove_all(dir);
}

}  // namespace

#include "MainQt.h"
