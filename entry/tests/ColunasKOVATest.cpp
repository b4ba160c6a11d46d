#include <gtest/gtest.h>

#include "ColunasKOVA.h"
#include "TabelasDeTeste.h"
#include "TfrmDigitar.h"

using namespace kova;
using namespace kova::teste;

namespace {

// The texts a slip's row shows, column by column, as every view of a grid of slips reads them.
std::vector<std::string> Linha(TDataSet& k) {
    std::vector<std::string> textos;
    for (const TColunaKOVA& c : ColunasGradeKOVA()) {
        TField* f = k.FindField(c.campo);
        textos.push_back(f ? c.Texto(k.DisplayTextAt(k.GetBookmark(), f->Index())) : "<sem campo>");
    }
    return textos;
}

TEST(ColunasKOVATest, UmaKOVAComoOFuncionarioALe) {
    auto dm = ModuloDeTeste();
    auto& k = dm->cdsKOVA;
    k.Append();
    k.FieldByName("UFFavorecida").SetAsString("SP");
    k.FieldByName("RazaoSocial").SetAsString("PADARIA BOM PÃO LTDA");
    k.FieldByName("CICContribuinte").SetAsString("11222333000181");
    k.FieldByName("Receita").SetAsString("100145");
    k.FieldByName("Referencia").SetAsString("P102026");
    k.FieldByName("TotalRecolher").SetAsFloat(1234.5);
    k.FieldByName("Situacao").SetAsString("N");
    k.Post();
    const std::vector<std::string> linha = Linha(k);
    // The keyboard moves through as many columns as the grid has, each a field of the slips.
    ASSERT_EQ(linha.size(), size_t(TfrmDigitar::kColunasGrade));
    for (const std::string& texto : linha) EXPECT_NE(texto, "<sem campo>");
    // What a clerk picks a slip by comes first, formatted; a CPF is masked too, a period that is
    // an instalment number shown as it is.
    EXPECT_EQ(linha[1], "SP");
    EXPECT_EQ(linha[2], "PADARIA BOM PÃO LTDA");
    EXPECT_EQ(linha[3], "11.222.333/0001-81");
    EXPECT_EQ(linha[4], "10014-5");
    EXPECT_EQ(linha[5], "10/2026");
    EXPECT_EQ(linha[6], "1.234,50");
    EXPECT_EQ(linha[8], "Não impressa");
    EXPECT_EQ(ColunasGradeKOVA()[3].Texto("52998224725"), "529.982.247-25");
    EXPECT_EQ(ColunasGradeKOVA()[5].Texto("003"), "003");
    EXPECT_EQ(ColunasGradeKOVA()[8].Texto("I"), "Impressa");
    EXPECT_EQ(ColunasGradeKOVA()[8].Texto("A"), "Alterada");
}

}  // namespace
