#include <gtest/gtest.h>

#include <memory>

#include "Clock.h"
#include "Dialogs.h"
#include "FormatacaoImpressao.h"
#include "TabelasDeTeste.h"
#include "TqrpKOVA.h"

using namespace kova;
using namespace kova::teste;

namespace {

class RelatorioTest : public ::testing::Test {
protected:
    void SetUp() override {
        dm = ModuloDeTeste();
        dm->Versao = 5;
        dm->VersaoRelease = "03";
        dm->cdsKOVA.Append();
        PreencheKOVAValida(*dm);
        dm->cdsKOVA.Post();
        relatorio = std::make_unique<TqrpKOVA>();
    }
    void TearDown() override {
        relatorio.reset();
        dm.reset();
        Clock::Reset();
    }
    static std::vector<const TItemDesenho*> Itens(const TPagina& p, const std::string& nome) {
        std::vector<const TItemDesenho*> r;
        for (const auto& i : p.itens) {
            if (i.nome == nome) r.push_back(&i);
        }
        return r;
    }
    void Estado(const char* campo, const char* valor) {
        dm->cdsUF.FindKey({"SP"});
        dm->cdsUF.Edit();
        dm->cdsUF.FieldByName(campo).SetAsString(valor);
        dm->cdsUF.Post();
    }

    ScriptedDialogs dialogs;
    ScopedDialogService servico{dialogs};
    std::unique_ptr<TDM> dm;
    std::unique_ptr<TqrpKOVA> relatorio;
};

TEST_F(RelatorioTest, TresViasComCortesDepoisDaPrimeiraEDaSegunda) {
    auto paginas = relatorio->Executa(3);
    ASSERT_EQ(paginas.size(), 1u);
    const TPagina& p = paginas[0];
    EXPECT_EQ(Itens(p, "QRShape1").size(), 2u);
    EXPECT_EQ(Itens(p, "imgTesoura").size(), 2u);
    EXPECT_EQ(Itens(p, "qrsBox01").size(), 3u);
    // Copy 1: the symbol band (13.2) and the typeable line (2.9) stand above the identification
    // line.
    const auto* simbolo = Itens(p, "QRImage1").at(0);
    EXPECT_NEAR(simbolo->x, 10 + 80.4, 1e-9);
    EXPECT_NEAR(simbolo->y, 10 + 2.1, 1e-9);
    EXPECT_NEAR(simbolo->largura, 110.3, 1e-9);
    const double topoGuia = 10 + 13.2 + 2.9 + 15 * kMmPorPixel;
    const auto* box01 = Itens(p, "qrsBox01").at(0);
    EXPECT_NEAR(box01->x, 10 + 146.8, 1e-9);
    EXPECT_NEAR(box01->y, topoGuia + 1.1, 1e-9);
    EXPECT_NEAR(box01->largura, 42.3, 1e-9);
    const auto* box16 = Itens(p, "qrsBox16").at(0);
    EXPECT_NEAR(box16->x, 10 + 4.6, 1e-9);
    EXPECT_NEAR(box16->y, topoGuia + 14.5, 1e-9);
    const auto* total = Itens(p, "QRDBText21").at(0);
    EXPECT_NEAR(total->y, topoGuia + 61.4 + 2.8, 1e-9);
    EXPECT_EQ(total->texto, "100,00");
    EXPECT_EQ(total->alinhamento, TAlinhamento::Direita);
    EXPECT_EQ(Itens(p, "qrlBox05").at(0)->texto, "05  Período de Referência / Nº Parcela");
    // Copy 2 has the typeable line without the symbol; copy 3 both.
    EXPECT_EQ(Itens(p, "QRImage1").size(), 2u);
    EXPECT_EQ(Itens(p, "qrLinhaDigitavel").size(), 3u);
    EXPECT_EQ(Itens(p, "qrlVia").at(1)->texto, "SEGUNDA VIA");
    EXPECT_EQ(Itens(p, "qrlVersao").at(0)->texto, "Auto-atendimento - Versão 5.03.0");
    EXPECT_EQ(Itens(p, "qrlKOVA").at(0)->texto, "Fennolar - KOVA");
}

TEST_F(RelatorioTest, FaixaVerticalEscritaDeCimaParaBaixo) {
    auto p = relatorio->Executa(3)[0];
    auto letras = Itens(p, "qrlVia1");
    ASSERT_EQ(letras.size(), 3u);
    std::string via1;
    for (int i = 1; i <= 28; ++i) via1 += Itens(p, "qrlVia" + std::to_string(i)).at(0)->texto + "|";
    EXPECT_EQ(via1, " |1\xAA| |V|I|A| |B|A|N|C|O| |/| |F|I|S|C|O| |O|R|I|G|E|M||");
    relatorio->EscreveViaVertical("2\xAA VIA CONTRIBUINTE");
    const TBanda& guia = relatorio->Relatorio.Banda("qrbGuia");
    auto legenda = [&](int n) {
        for (const auto& c : guia.componentes) {
            if (c.nome == "qrlVia" + std::to_string(n)) return c.caption;
        }
        return std::string("?");
    };
    EXPECT_EQ(legenda(5), " ");
    EXPECT_EQ(legenda(6), "2\xAA");
    EXPECT_EQ(legenda(27), " ");
    EXPECT_EQ(legenda(28), "");
}

TEST_F(RelatorioTest, PreviaDeUmaViaSemNomesNemCorte) {
    auto p = relatorio->Executa(1)[0];
    EXPECT_TRUE(Itens(p, "QRShape1").empty());
    EXPECT_EQ(Itens(p, "qrlVia").at(0)->texto, "");
    EXPECT_EQ(Itens(p, "qrlVia2").at(0)->texto, " ");  // the strip is blank
    EXPECT_EQ(Itens(p, "QRImage1").size(), 1u);
}

TEST_F(RelatorioTest, MargemSuperiorZeroComecaNaBordaDoPapel) {
    relatorio->Relatorio.margemSuperior = 0;
    auto p = relatorio->Executa(3)[0];
    EXPECT_NEAR(Itens(p, "QRImage1").at(0)->y, 2.1, 1e-9);
}

TEST_F(RelatorioTest, TresViasSemCodigoCabemNaPaginaSemMoverAsDuasPrimeiras) {
    Estado("Conveniada", "N");
    auto paginas = relatorio->Executa(3);
    ASSERT_EQ(paginas.size(), 1u);
    const TPagina& p = paginas[0];
    auto avisos = Itens(p, "qrlBancoAutorizado");
    ASSERT_EQ(avisos.size(), 3u);
    // Copies 1 and 2 stand where the bands put them: 18.8 + 4.0 + 69.85 + 5.3 each.
    const double copia = 18.8 + 15 * kMmPorPixel + 69.85 + 5.3;
    EXPECT_NEAR(avisos[0]->y, 10 + 7.7, 1e-9);
    EXPECT_NEAR(avisos[1]->y, 10 + copia + 7.7, 1e-9);
    // The third copy's frame ends on the paper: the blank below its notice gave way.
    auto molduras = Itens(p, "qrsMoldura");
    ASSERT_EQ(molduras.size(), 3u);
    EXPECT_LE(molduras[2]->y + molduras[2]->altura, 297.0 + 1e-9);
    EXPECT_NEAR(avisos[2]->y, 10 + 2 * copia + 7.7, 1e-9);
    EXPECT_EQ(Itens(p, "qrsBox24").size(), 3u);
}

TEST_F(RelatorioTest, FormatacaoDosCampos) {
    EXPECT_EQ(FormataCIC("11222333000181"), "11.222.333/0001-81");
    EXPECT_EQ(FormataCIC("52998224725"), "529.982.247-25");
    EXPECT_EQ(FormataCIC("123"), "123");
    EXPECT_EQ(TextoReceita("100056"), "10005-6");
    EXPECT_EQ(TextoCodigoUF("SP"), "26-1 - São Paulo");
    EXPECT_EQ(TextoNomeUF("SP"), "SP - São Paulo");
    EXPECT_EQ(TextoNomeUF("XX"), "XX");
    EXPECT_EQ(TextoDocumento("00000"), " ");
    EXPECT_EQ(TextoDocumento("0012"), "0012");
    Estado("Periodicidade", "D");
    EXPECT_EQ(TextoReferencia("3022008", "SP"), "21 a 29 / 02 / 2008");
    EXPECT_EQ(TextoReferencia("3022009", "SP"), "21 a 28 / 02 / 2009");
    Estado("Periodicidade", "M");
    EXPECT_EQ(TextoReferencia("1052009", "SP"), "05/2009");
    Estado("Periodicidade", "T");
    EXPECT_EQ(TextoReferencia("5042010", "SP"), "16 a 30 / 04 / 2010");
    EXPECT_EQ(TextoReferencia("3042010", "SP"), "04/2010");
    EXPECT_EQ(TextoReferencia("001", "SP"), "001");
    EXPECT_EQ(TextoReferencia("1052009", "XX"), "05/2009");
}

TEST_F(RelatorioTest, ProdutoValidadeEVersaoDeTeste) {
    Inserir(dm->cdsUFProduto, {{"UF", T("SP")},
                               {"Receita", T("100048")},
                               {"Produto", int32_t(36)},
                               {"Descricao", T(" Gasolina ")}});
    EXPECT_EQ(TextoProduto("0", "SP", "100048"), "");
    EXPECT_EQ(TextoProduto("36", "SP", "100048"), "36-Gasolina");
    EXPECT_EQ(TextoProduto("37", "SP", "100048"), "37");
    EXPECT_TRUE(dm->cdsUFProduto.Filtered());
    EXPECT_EQ(TextoValidade(), "Documento válido para pagamento até 15/03/2024");
    Regra(*dm, "SP", "000000", "VI", "");
    EXPECT_EQ(TextoValidade(), "");
    Regra(*dm, "SP", "100048", "V", " Válido no mês ");
    EXPECT_EQ(TextoValidade(), "Válido no mês");
    dm->cdsUFReceita.EmptyDataSet();
    Estado("DataPagamentoIgual", "S");
    EXPECT_EQ(TextoValidade(), "");
    EXPECT_EQ(TextoTipoVersao(), "");
    dm->VersaoTestes = 1;
    EXPECT_EQ(TextoTipoVersao(), "Versão para Teste e Demonstração");
}

// A slip stored before amounts were held to the cent prints the cents its barcode carries.
TEST_F(RelatorioTest, CaixasEBarraComOsMesmosCentavos) {
    dm->cdsKOVA.Edit();
    dm->cdsKOVA.FieldByName("ValorPrincipal").SetValue(9.995);
    dm->cdsKOVA.FieldByName("TotalRecolher").SetValue(9.995);
    dm->cdsKOVA.Post();
    auto paginas = relatorio->Executa(3);
    ASSERT_EQ(paginas.size(), 1u);
    EXPECT_EQ(Itens(paginas[0], "QRDBText17").at(0)->texto, "10,00");
    EXPECT_EQ(Itens(paginas[0], "QRDBText21").at(0)->texto, "10,00");
    EXPECT_EQ(dm->cdsKOVA.FieldByName("CodigoBarra").AsString().substr(4, 11), "00000001000");
}

}  // namespace
