#include "FluxosImpressao.h"

#include <gtest/gtest.h>

#include <memory>

#include "Clock.h"
#include "Dialogs.h"
#include "TabelasDeTeste.h"

using namespace kova;
using namespace kova::teste;

namespace {

class FluxosTest : public ::testing::Test {
protected:
    void SetUp() override {
        dm = ModuloDeTeste();
        for (int i = 0; i < 3; ++i) {
            dm->cdsKOVA.Append();
            PreencheKOVAValida(*dm);
            dm->cdsKOVA.Post();
        }
        relatorio = std::make_unique<TqrpKOVA>();
        fluxos = std::make_unique<TFluxosImpressao>(*relatorio);
        fluxos->EnviarImpressora = [this](const std::vector<TPagina>& p) {
            for (const auto& pagina : p) {
                for (const auto& item : pagina.itens) vias += item.nome == "qrsMoldura" ? 1 : 0;
            }
        };
        fluxos->AbrirVisualizacao = [this](const std::vector<TPagina>&) { ++previas; };
    }
    void TearDown() override {
        fluxos.reset();
        relatorio.reset();
        dm.reset();
        Clock::Reset();
    }
    std::string Situacao() { return dm->cdsKOVA.FieldByName("Situacao").AsString(); }

    ScriptedDialogs dialogs;
    ScopedDialogService servico{dialogs};
    std::unique_ptr<TDM> dm;
    std::unique_ptr<TqrpKOVA> relatorio;
    std::unique_ptr<TFluxosImpressao> fluxos;
    int vias = 0, previas = 0;
};

TEST_F(FluxosTest, ImprimirTodasMarcaAsTresEEsvaziaALista) {
    dm->cdsKOVA.SetFiltered(true);
    ASSERT_EQ(dm->cdsKOVA.RecordCount(), 3);
    fluxos->ImprimirTodos();
    EXPECT_EQ(vias, 9);  // three copies of each slip
    EXPECT_EQ(dm->cdsKOVA.RecordCount(), 0);
    dm->cdsKOVA.SetFiltered(false);
    for (dm->cdsKOVA.First(); !dm->cdsKOVA.Eof(); dm->cdsKOVA.Next()) EXPECT_EQ(Situacao(), "I");
}

TEST_F(FluxosTest, ReimprimirRenovaADataHoraEVisualizarDeixaA) {
    dm->cdsKOVA.First();
    Clock::Set(MakeDateTime(2024, 3, 15, 11, 0));
    fluxos->Imprimir();
    EXPECT_EQ(Situacao(), "I");
    EXPECT_EQ(dm->cdsKOVA.FieldByName("DataHora").AsString(), "15/03/2024 11:00:00");
    Clock::Set(MakeDateTime(2024, 3, 15, 12, 0));
    fluxos->Imprimir();  // a printed slip printed again
    EXPECT_EQ(Situacao(), "I");
    EXPECT_EQ(dm->cdsKOVA.FieldByName("DataHora").AsString(), "15/03/2024 12:00:00");
    fluxos->Visualizar();
    EXPECT_EQ(previas, 1);
    EXPECT_EQ(Situacao(), "A");  // the preview rebuilds the barcode content, not the mark
    EXPECT_EQ(vias, 6);
}

TEST_F(FluxosTest, FalhaNaImpressaoNaoMarca) {
    dm->cdsKOVA.First();
    fluxos->EnviarImpressora = [](const std::vector<TPagina>&) { throw std::runtime_error("impressora"); };
    EXPECT_THROW(fluxos->Imprimir(), std::runtime_error);
    EXPECT_NE(Situacao(), "I");
}

}  // namespace
