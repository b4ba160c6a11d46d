#include <gtest/gtest.h>

#include <set>
#include <string>

#include "RegrasDaUF.h"
#include "TabelasDeTeste.h"

namespace kova {
namespace {

using teste::ModuloDeTeste;
using teste::Regra;

TEST(RegrasDaUFTest, CadaFlagTemSuaGrafiaUnicaEVoltaDela) {
    std::set<std::string_view> grafias;
    for (int i = 0; i <= int(TFlagRegra::VI); ++i) {
        const auto flag = TFlagRegra(i);
        const std::string_view sigla = Sigla(flag);
        ASSERT_FALSE(sigla.empty()) << "flag " << i << " sem grafia";
        EXPECT_LE(sigla.size(), 2u);  // the Flag column holds two characters
        EXPECT_TRUE(grafias.insert(sigla).second) << sigla;
        EXPECT_EQ(FlagDaSigla(sigla), flag);
        EXPECT_NE(SiglasConhecidas().find(std::string(sigla)), std::string::npos);
    }
    EXPECT_EQ(grafias.size(), 19u);
    // Compared exactly, as the rule table's key is: these rows would never be read.
    for (const char* errada : {"ev", "Ev", "EV ", " EV", "EW", ""})
        EXPECT_FALSE(FlagDaSigla(errada)) << errada;
}

TEST(RegrasDaUFTest, RegraLidaComoValorNaoMudaQuandoOutraConsultaMoveATabela) {
    auto dm = ModuloDeTeste();
    Regra(*dm, "SP", "100048", "EV", "Pague em dia#13ou emita nova guia");
    Regra(*dm, "SP", "000000", "EV", "Texto do estado");
    Regra(*dm, "SP", "100048", "VL", "NSS");
    const auto ev = RegraUF(*dm, "SP", "100048", TFlagRegra::EV);
    ASSERT_TRUE(ev);
    ASSERT_TRUE(RegraUF(*dm, "SP", "100048", TFlagRegra::VL));
    EXPECT_EQ(ev->texto, "Pague em dia#13ou emita nova guia");
    EXPECT_EQ(ev->receita, "100048");

    EXPECT_FALSE(RegraUF(*dm, "SP", "100056", TFlagRegra::EV));
    EXPECT_EQ(RegraDaReceitaOuDoEstado(*dm, "SP", "100056", TFlagRegra::EV)->texto,
              "Texto do estado");
    EXPECT_EQ(RegraDaReceitaOuDoEstado(*dm, "SP", "100048", TFlagRegra::EV)->texto, ev->texto);
    EXPECT_FALSE(RegraDoEstado(*dm, "MG", TFlagRegra::EV));
}

// A rule not found is answered from the keys kept of the table: they must follow every change of
// the table, and find what the key search finds.
TEST(RegrasDaUFTest, RegraAusenteSegueATabelaComoABusca) {
    {
        auto dm = ModuloDeTeste();
        Regra(*dm, "SP", "100048", "EV", "Pague em dia");
        EXPECT_FALSE(RegraUF(*dm, "SP", "100048", TFlagRegra::MA));
        // A row added after a look-up found none is found at once.
        Regra(*dm, "SP", "100048", "MA", "Vencida");
        ASSERT_TRUE(RegraUF(*dm, "SP", "100048", TFlagRegra::MA));
        EXPECT_EQ(RegraUF(*dm, "SP", "100048", TFlagRegra::MA)->texto, "Vencida");
        // The key index compares without regard to case, and a key too long for its column or
        // with other characters goes to the search.
        EXPECT_TRUE(RegraUF(*dm, "sp", "100048", TFlagRegra::EV));
        EXPECT_FALSE(RegraUF(*dm, "SPX", "100048", TFlagRegra::EV));
        EXPECT_FALSE(RegraUF(*dm, "S P", "100048", TFlagRegra::EV));
        EXPECT_FALSE(RegraUF(*dm, "SP", "", TFlagRegra::EV));
        // A row deleted is no longer found.
        ASSERT_TRUE(dm->cdsUFReceita.FindKey({"SP", "100048", "EV"}));
        dm->cdsUFReceita.Delete();
        EXPECT_FALSE(RegraUF(*dm, "SP", "100048", TFlagRegra::EV));
        // Filtered, the table answers by its search, which sees only the rows the filter lets by.
        dm->cdsUFReceita.SetFilter("Flag = 'EV'");
        dm->cdsUFReceita.SetFiltered(true);
        EXPECT_FALSE(RegraUF(*dm, "SP", "100048", TFlagRegra::MA));
        dm->cdsUFReceita.SetFiltered(false);
        EXPECT_TRUE(RegraUF(*dm, "SP", "100048", TFlagRegra::MA));
    }
    // A new data module, whose table may sit where the last one did, has only its own rows.
    auto dm = ModuloDeTeste();
    EXPECT_FALSE(RegraUF(*dm, "SP", "100048", TFlagRegra::MA));
    Regra(*dm, "MG", "100048", "MA", "Outra");
    EXPECT_FALSE(RegraUF(*dm, "SP", "100048", TFlagRegra::MA));
    EXPECT_TRUE(RegraUF(*dm, "mg", "100048", TFlagRegra::MA));
}

TEST(RegrasDaUFTest, PosicoesAlemDoTextoNaoValemNada) {
    const TRegraUF curta{"SP", "100048", "010 001 S"};
    EXPECT_EQ(curta.Trecho(LeiauteDO::kTamanhoMaximo), "010");
    EXPECT_EQ(curta.Trecho(LeiauteDO::kTipoFormato), "001");
    EXPECT_TRUE(curta.Posicao(LeiauteDO::kObrigatorio, 'S'));
    EXPECT_FALSE(curta.Posicao(LeiauteDO::kSemSoZeros, 'S'));
    EXPECT_FALSE(curta.Posicao(LeiauteDO::kSemSoZeros, '\0'));
    EXPECT_EQ(TRegraUF{}.Trecho(LeiauteRE::kTipo), "");
    EXPECT_EQ((TRegraUF{"", "", "12345"}.Trecho({4, 9})), "45");
}

}  // namespace
}  // namespace kova
