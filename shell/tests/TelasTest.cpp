#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QTimer>
#include <QPrinter>
#include <QTableView>
#include <memory>

#include "Clock.h"
#include "Dialogs.h"
#include "FrmImprimir.h"
#include "FrmPrincipal.h"
#include "TabelasDeTeste.h"
#include "TqrpKOVA.h"

using namespace kova;
using namespace kova::teste;

namespace {

// Screens shown offscreen; with KOVA_CAPTURAS set, each one is also saved there as a picture.
class TelasTest : public ::testing::Test {
protected:
    void SetUp() override {
        Clock::Set(MakeDateTime(2024, 3, 15, 10, 0));
        dm = std::make_unique<TDM>();
        dm->AbrirTabelasVazias();
        ReferenciasBasicas(*dm);
        dm->Versao = 1;
        dm->VersaoRelease = "03";
        relatorio = std::make_unique<TqrpKOVA>();
    }
    void TearDown() override {
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
    // Prints go to a PDF file instead of a printer.
    void ParaPDF(FrmImprimir& f) {
        f.EscolherImpressora = [&f] {
            f.impressora_ = std::make_unique<QPrinter>(QPrinter::HighResolution);
            f.impressora_->setOutputFormat(QPrinter::PdfFormat);
            f.impressora_->setOutputFileName(QString::fromStdString(::testing::TempDir() + "kova_lista.pdf"));
            return true;
        };
    }

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

TEST_F(TelasTest, ImprimirTodasPelaListaMarcaEEsvazia) {
    KOVAs(3);
    FrmImprimir f(*relatorio);
    ParaPDF(f);
    f.show();
    EXPECT_EQ(f.modelo->rowCount(), 3);
    EXPECT_EQ(f.modelo->headerData(6, Qt::Horizontal, Qt::DisplayRole).toString(), QStringLiteral("Valor Principal"));
    EXPECT_EQ(f.modelo->data(f.modelo->index(0, 6), Qt::DisplayRole).toString(), QStringLiteral("100,00"));
    Captura(f, "lista");
    f.btnImprimirTodosClick();
    EXPECT_EQ(f.modelo->rowCount(), 0);
    EXPECT_FALSE(f.btnTodos->isEnabled());
    dm->cdsKOVA.SetFiltered(false);
    for (dm->cdsKOVA.First(); !dm->cdsKOVA.Eof(); dm->cdsKOVA.Next()) {
        EXPECT_EQ(dm->cdsKOVA.FieldByName("Situacao").AsString(), "I");
    }
}

TEST_F(TelasTest, ReimpressaoEPreviaPelaLista) {
    KOVAs(2);
    dm->cdsKOVA.First();
    dm->MarcaImpressa();
    FrmImprimir f(*relatorio);
    ParaPDF(f);
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
    EXPECT_EQ(p.lblVersao->text(), QStringLiteral("Versão: 1.03"));
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

}  // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
