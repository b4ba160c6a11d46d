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
