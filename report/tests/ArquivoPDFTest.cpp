// The PDF file of a print run, written through the file seam onto a disk in memory that fails one
// chosen step (a full disk for that write alone, every later one served): whatever step fails, the
// run is no print. No slip is marked, the person reads which slips and why, and nothing is left at
// the file's name or beside it; without a failure the file is a whole PDF.

#include <gtest/gtest.h>

#include <QGuiApplication>
#include <cstdlib>
#include <memory>

#include "ArquivosEmMemoria.h"
#include "Clock.h"
#include "Dialogs.h"
#include "Errors.h"
#include "FluxosImpressao.h"
#include "PintorQt.h"
#include "SaidasImpressao.h"
#include "TabelasDeTeste.h"

using namespace kova;
using namespace kova::teste;

namespace {

constexpr const char* kDestino = "/impressoes/KOVA.pdf";
// Enough slips for the file to go in several pieces of 64 KB (what the page repeats is held once).
constexpr int kKOVAs = 24;

class ArquivoPDFTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        setenv("QT_QPA_PLATFORM", "offscreen", 0);  // fonts and the PDF writer, no display
        static int argc = 1;
        static char nome[] = "teste";
        static char* argv[] = {nome, nullptr};
        app = new QGuiApplication(argc, argv);
    }
    static void TearDownTestSuite() {
        delete app;
        app = nullptr;
    }
    void SetUp() override {
        Clock::Set(MakeDateTime(2024, 3, 15, 10, 0));
        NovasKOVAs();
        relatorio = std::make_unique<TqrpKOVA>();
        fluxos = std::make_unique<TFluxosImpressao>(*relatorio);
        fluxos->AbrirSaida = [] { return std::make_unique<TSaidaArquivoPDF>(kDestino); };
    }
    void TearDown() override {
        fluxos.reset();
        relatorio.reset();
        dm.reset();
        Clock::Reset();
    }
    // Enough slips for the file to be written in several pieces, none printed.
    void NovasKOVAs() {
        dm.reset();
        dm = ModuloDeTeste();
        for (int i = 0; i < kKOVAs; ++i) {
            dm->cdsKOVA.Append();
            PreencheKOVAValida(*dm);
            dm->cdsKOVA.Post();
        }
    }
    int Impressas() {
        int n = 0;
        const int situacao = dm->cdsKOVA.FieldByName("Situacao").Index();
        for (TBookmark b : dm->cdsKOVA.VisibleRecords())
            n += std::get<std::string>(dm->cdsKOVA.ValueAt(b, situacao)) == "I";
        return n;
    }
    // The message of the run, empty when it printed.
    std::string Imprime() {
        try {
            fluxos->ImprimirLista(dm->cdsKOVA.VisibleRecords());
        } catch (const std::exception& e) {
            return e.what();
        }
        return "";
    }

    static QGuiApplication* app;
    ScriptedDialogs dialogs;
    ScopedDialogService servico{dialogs};
    std::unique_ptr<TDM> dm;
    std::unique_ptr<TqrpKOVA> relatorio;
    std::unique_ptr<TFluxosImpressao> fluxos;
};

QGuiApplication* ArquivoPDFTest::app = nullptr;

TEST_F(ArquivoPDFTest, UmaEscritaRecusadaEmQualquerPassoNaoImprimeNemMarca) {
    TArquivosEmMemoria disco;
    TTrocaSistemaDeArquivos troca(disco);
    const TArquivosEmMemoria::TDisco vazio = disco.Disco();

    ASSERT_EQ(Imprime(), "");
    EXPECT_EQ(Impressas(), kKOVAs);
    const int passos = disco.Passos();
    // Made, at least three pieces, flushed, renamed.
    ASSERT_GE(passos, 6);
    ASSERT_NE(disco.Acha(kDestino), nullptr);
    const std::string pdf = disco.Acha(kDestino)->gravado;
    EXPECT_EQ(pdf.rfind("%PDF-", 0), 0u);
    EXPECT_NE(pdf.find("%%EOF", pdf.size() - 8), std::string::npos);
    EXPECT_EQ(disco.Disco().size(), 1u);

    for (int passo = 1; passo <= passos; ++passo) {
        SCOPED_TRACE("passo " + std::to_string(passo));
        NovasKOVAs();
        disco.Restaura(vazio);
        disco.ZeraPassos();
        disco.FalhaNoPasso(passo);
        const std::string m = Imprime();
        EXPECT_EQ(m, passo == 1
                         ? "A KOVA Nº 1 não foi impressa\r\rNão foi possível gravar o arquivo "
                           "/impressoes/KOVA.pdf: o disco está cheio"
                         : "As 24 KOVA, Nº 1 a Nº 24, não foram impressas\r\rNão foi possível "
                           "gravar o arquivo /impressoes/KOVA.pdf: o disco está cheio");
        EXPECT_EQ(Impressas(), 0);
        EXPECT_EQ(fluxos->Marcadas, 0);
        // Nothing at the file's name, nothing beside it.
        EXPECT_TRUE(disco.Disco().empty());
        disco.FalhaNoPasso(0);
    }
}

// The file the library writes for each slip on a machine without printers, and the file a queue is
// given: one failed write is a failure of the print, never a file that says it was written.
TEST_F(ArquivoPDFTest, ArquivoDeUmaKOVAComEscritaRecusadaNaoFica) {
    TArquivosEmMemoria disco;
    TTrocaSistemaDeArquivos troca(disco);
    dm->cdsKOVA.First();
    const std::vector<TPagina> paginas = relatorio->Executa(3);
    GravaPDF(paginas, kDestino);
    const int passos = disco.Passos();
    ASSERT_GE(passos, 3);
    for (int passo = 1; passo <= passos; ++passo) {
        SCOPED_TRACE("passo " + std::to_string(passo));
        disco.Restaura({});
        disco.ZeraPassos();
        disco.FalhaNoPasso(passo);
        try {
            GravaPDF(paginas, kDestino);
            ADD_FAILURE() << "written";
        } catch (const Exception& e) {
            EXPECT_EQ(std::string(e.what()),
                      "Não foi possível gravar o arquivo /impressoes/KOVA.pdf: o disco está cheio");
        }
        EXPECT_TRUE(disco.Disco().empty());
    }
}

}  // namespace
