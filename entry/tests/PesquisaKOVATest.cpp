#include <gtest/gtest.h>

#include "PesquisaKOVA.h"
#include "TabelasDeTeste.h"

using namespace kova;
using namespace kova::teste;

namespace {

class PesquisaKOVATest : public ::testing::Test {
protected:
    void SetUp() override {
        dm = ModuloDeTeste();
        // Number, state, taxpayer, name, situation.
        KOVA("SP", "11222333000181", "PADARIA BOM PÃO LTDA", "N");
        KOVA("MG", "52998224725", "JOSÉ DA SILVA", "N");
        KOVA("SP", "12ABC34501DE35", "COMÉRCIO SP LTDA", "I");
        for (int i = 0; i < 8; ++i) KOVA("RJ", "00000000191", "OUTRA EMPRESA", "N");
    }
    void KOVA(const char* uf, const char* cic, const char* nome, const char* situacao) {
        auto& k = dm->cdsKOVA;
        k.Append();
        k.FieldByName("UFFavorecida").SetAsString(uf);
        k.FieldByName("CICContribuinte").SetAsString(cic);
        k.FieldByName("RazaoSocial").SetAsString(nome);
        k.FieldByName("Situacao").SetAsString(situacao);
        k.Post();
    }
    // The numbers of the slips found, in the table's order.
    std::vector<int> Acha(const std::string& texto) {
        std::vector<int> numeros;
        const int id = dm->cdsKOVA.FieldByName("IdKOVA").Index();
        for (TBookmark b : PesquisaKOVA(*dm, texto))
            numeros.push_back(std::get<int32_t>(dm->cdsKOVA.ValueAt(b, id)));
        return numeros;
    }
    std::unique_ptr<TDM> dm;
};

TEST_F(PesquisaKOVATest, PorNumeroCNPJNomeOuEstado) {
    EXPECT_EQ(Acha("").size(), 11u);
    // A number: slips numbered from it, and taxpayers that hold it.
    EXPECT_EQ(Acha("1"), (std::vector<int>{1, 3, 4, 5, 6, 7, 8, 9, 10, 11}));
    EXPECT_EQ(Acha("10"), (std::vector<int>{10}));
    EXPECT_EQ(Acha("11.222.333/0001-81"), (std::vector<int>{1}));
    EXPECT_EQ(Acha("529.982"), (std::vector<int>{2}));
    // A CNPJ with letters, typed in small letters and with its punctuation.
    EXPECT_EQ(Acha("12.abc.345/01de-35"), (std::vector<int>{3}));
    // Two letters: the state, and the names that hold them.
    EXPECT_EQ(Acha("mg"), (std::vector<int>{2}));
    EXPECT_EQ(Acha("sp"), (std::vector<int>{1, 3}));
    EXPECT_EQ(Acha(" padaria "), (std::vector<int>{1}));
    EXPECT_EQ(Acha("josé"), (std::vector<int>{2}));
    EXPECT_TRUE(Acha("NINGUÉM").empty());
}

TEST_F(PesquisaKOVATest, SegueOFiltroEAOrdemDaTabela) {
    dm->cdsKOVA.SetFiltered(true);  // printed slips hidden
    EXPECT_EQ(Acha("sp"), (std::vector<int>{1}));
    dm->cdsKOVA.SetFiltered(false);
    dm->cdsKOVA.SetIndexName("pk_CICContribuinte");
    EXPECT_EQ(Acha("ltda"), (std::vector<int>{1, 3}));
    EXPECT_EQ(Acha("1").front(), 4);  // "00000000191" sorts first
}

}  // namespace
