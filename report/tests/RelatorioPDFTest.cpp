#include <gtest/gtest.h>
#include <unistd.h>

#include <QGuiApplication>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "Clock.h"
#include "Comando.h"
#include "Dialogs.h"
#include "KOVAEmPDF.h"
#include "TabelasDeTeste.h"

using namespace kova;
using namespace kova::teste;

namespace {

bool Disponivel(const char* programa) {
    return std::system((std::string("command -v ") + programa + " >/dev/null").c_str()) == 0;
}

TEST(RelatorioPDF, SimboloDasViasUmETresLidoDoPapel) {
    if (!Disponivel("pdftoppm") || !Disponivel("zbarimg"))
        GTEST_SKIP() << "pdftoppm or zbarimg missing";
    int argc = 1;
    char nome[] = "teste";
    char* argv[] = {nome, nullptr};
    setenv("QT_QPA_PLATFORM", "offscreen", 0);  // no display is needed to write a PDF
    QGuiApplication app(argc, argv);
    ScriptedDialogs dialogs;
    ScopedDialogService servico(dialogs);
    Clock::Set(MakeDateTime(2024, 3, 15, 10, 0));
    // A slip of the revenue's own layout, and a courier slip of the import revenue (layout 30).
    for (const bool courier : {false, true}) {
        SCOPED_TRACE(courier ? "courier" : "receita");
        TDM dm;
        dm.AbrirTabelasVazias();
        ReferenciasBasicas(dm);
        dm.cdsKOVA.Append();
        PreencheKOVAValida(dm);
        if (courier) {
            dm.CriandoRegistro = true;
            dm.cdsKOVA.FieldByName("Receita").SetAsString("100056");
            dm.cdsKOVA.FieldByName("Referencia").SetAsString("1022024");
            dm.cdsKOVA.FieldByName("DocumentoOrigem").SetAsString("2400000009");
            dm.CriandoRegistro = false;
            dm.CodigoCourier = "5";
        }
        dm.cdsKOVA.Post();
        TqrpKOVA relatorio;
        // Named after this process: runs of the suite side by side must not overwrite each other's
        // pages.
        const std::string base =
            ::testing::TempDir() + "kova_relatorio_" + std::to_string(::getpid());
        KOVAEmPDF(relatorio, 3, base + ".pdf");
        const std::string conteudo = dm.cdsKOVA.FieldByName("CodigoBarra").AsString();
        ASSERT_EQ(conteudo.size(), 44u);
        // The courier layout: the import revenue as 14, the period's year and month, company 05.
        if (courier) {
            EXPECT_EQ(conteudo.substr(20, 8), "14240205");
        }
        ASSERT_EQ(
            std::system(("pdftoppm -r 300 -png -singlefile " + base + ".pdf " + base).c_str()), 0);
        // Each copy's region of the page at 300 dpi: copy 1 with its symbol band (95.2 mm from the
        // 10 mm margin), copy 2 without it (82.0 mm), copy 3 to the end.
        auto le = [&](int topo, int altura) {
            const std::string recorte = base + "_via.png";
            std::system(("convert " + base + ".png -crop 2480x" + std::to_string(altura) + "+0+" +
                         std::to_string(topo) + " +repage " + recorte)
                            .c_str());
            std::string lido = Executa("zbarimg -q --raw --nodbus -Sdisable -Si25.enable " +
                                       recorte + " 2>/dev/null");
            while (!lido.empty() && lido.back() == '\n') lido.pop_back();
            return lido;
        };
        if (!Disponivel("convert")) GTEST_SKIP() << "ImageMagick missing";
        EXPECT_EQ(le(0, 1243), conteudo);
        EXPECT_EQ(le(1243, 969), "");  // copy 2 carries only the typeable line
        EXPECT_EQ(le(2212, 1296), conteudo);
        for (const char* fim : {".pdf", ".png", "_via.png"}) std::remove((base + fim).c_str());
    }
    Clock::Reset();
}

}  // namespace
