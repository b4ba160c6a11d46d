#include <gtest/gtest.h>

#include <memory>

#include "Clock.h"
#include "Dialogs.h"
#include "TabelasDeTeste.h"
#include "Utilitarios.h"

using namespace kova;
using namespace kova::teste;

namespace {

class UtilitariosTest : public ::testing::Test {
protected:
    void SetUp() override {
        Clock::Set(MakeDateTime(2024, 3, 15, 10, 0));
        dm = std::make_unique<TDM>();
        dm->AbrirTabelasVazias();
    }
    void TearDown() override {
        dm.reset();
        Clock::Reset();
    }
    // A slip with its situation and the moment of its last save or print.
    void KOVA(const char* situacao, TDateTime quando) {
        dm->cdsKOVA.Append();
        dm->cdsKOVA.Post();
        dm->cdsKOVA.Edit();
        dm->cdsKOVA.FieldByName("Situacao").SetAsString(situacao);
        auto antes = dm->cdsKOVA.BeforePost;
        dm->cdsKOVA.BeforePost = nullptr;  // keep the stamp given here
        dm->cdsKOVA.FieldByName("DataHora").SetAsDateTime(quando);
        dm->cdsKOVA.Post();
        dm->cdsKOVA.BeforePost = antes;
    }
    std::vector<int> Restantes() {
        std::vector<int> r;
        for (dm->cdsKOVA.First(); !dm->cdsKOVA.Eof(); dm->cdsKOVA.Next())
            r.push_back(dm->cdsKOVA.FieldByName("IdKOVA").AsInteger());
        return r;
    }
    ScriptedDialogs dialogs;
    ScopedDialogService servico{dialogs};
    std::unique_ptr<TDM> dm;
};

TEST_F(UtilitariosTest, RemoveImpressasAteODiaEAntigasDeMaisDe360Dias) {
    KOVA("I", MakeDateTime(2024, 3, 15, 9, 0));   // 1: printed today: stays
    KOVA("I", MakeDateTime(2024, 3, 14, 23, 0));  // 2: printed yesterday: removed
    KOVA("A", MakeDateTime(2024, 3, 1));          // 3: changed after printing: stays
    KOVA("N", MakeDateTime(2023, 3, 19, 12, 0));  // 4: 361 days ago: removed
    KOVA("N", MakeDateTime(2023, 3, 21));         // 5: 359 days ago: stays
    KOVA("I", MakeDateTime(2024, 3, 10));         // 6: removed
    // Told before: two printed, one not printed (4, saved 361 days ago); nothing removed yet.
    const TPrevisaoRemocao p = PrevisaoRemocao(*dm, MakeDate(2024, 3, 14));
    EXPECT_EQ(p.impressas, 2);
    EXPECT_EQ(p.naoImpressas, 1);
    EXPECT_EQ(dm->cdsKOVA.RecordCount(), 6);
    EXPECT_EQ(TextoPrevisaoRemocao(p),
              "Serão removidas 2 KOVA impressas e 1 KOVA não impressa "
              "(sem alteração há mais de 360 dias).");
    const TResultadoRemocao r = RemoverKOVAImpressas(*dm, MakeDate(2024, 3, 14));
    EXPECT_EQ(r.removidas, 3);
    EXPECT_EQ(r.mantidas, 3);
    EXPECT_EQ(Restantes(), (std::vector<int>{1, 3, 5}));
    EXPECT_EQ(MensagemRemocao(r),
              "Remoção concluida com sucesso\r\rRemovidos: 3\rDisponíveis para impressão: 3");
}

TEST_F(UtilitariosTest, DiaEscolhidoEntreMeses) {
    KOVA("I", MakeDateTime(2024, 2, 15));
    KOVA("I", MakeDateTime(2024, 3, 5));
    EXPECT_EQ(RemoverKOVAImpressas(*dm, MakeDate(2024, 3, 10)).removidas, 2);
    KOVA("I", MakeDateTime(2024, 3, 5));
    EXPECT_EQ(RemoverKOVAImpressas(*dm, MakeDate(2024, 2, 10)).removidas, 0);
    dm->cdsKOVA.EmptyDataSet();
    const TResultadoRemocao vazio = RemoverKOVAImpressas(*dm, MakeDate(2024, 3, 14));
    EXPECT_EQ(vazio.removidas + vazio.mantidas, 0);
}

TEST_F(UtilitariosTest, NavegadoresDeReceitasEProdutos) {
    ReferenciasBasicas(*dm);
    Regra(*dm, "MG", "100048", "BL", "");
    ConsultaReceitasDaUF(*dm, "MG");
    EXPECT_EQ(dm->cdsReceita.RecordCount(), 1);
    EXPECT_EQ(dm->cdsReceita.FieldByName("LayoutCodigoBarra2").AsString(), "014.05.003");
    ConsultaReceitasDaUF(*dm, "SP");
    EXPECT_EQ(dm->cdsReceita.RecordCount(), 2);
    FechaConsultaReceitas(*dm);
    EXPECT_FALSE(dm->cdsReceita.Filtered());
    EXPECT_FALSE(dm->ModoConsultaUFReceita);
    Inserir(dm->cdsUFProduto, {{"UF", T("SP")}, {"Receita", T("100048")}, {"Produto", int32_t(5)}});
    Inserir(dm->cdsUFProduto, {{"UF", T("BA")}, {"Receita", T("100048")}, {"Produto", int32_t(1)}});
    Inserir(dm->cdsUFProduto, {{"UF", T("SP")}, {"Receita", T("100048")}, {"Produto", int32_t(2)}});
    EXPECT_EQ(UFsDosProdutos(*dm), (std::vector<std::string>{"BA", "SP"}));  // in product order
    ConsultaProdutosDaUF(*dm, "SP");
    EXPECT_EQ(dm->cdsUFProduto.RecordCount(), 2);
}

}  // namespace
