#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdio>
#include <fstream>
#include <memory>
#include <random>
#include <sstream>

#include "CalculaCodigoBarra.h"
#include "Clock.h"
#include "Comando.h"
#include "Errors.h"
#include "LinhaDigitavel.h"
#include "TAsBarcode.h"
#include "TabelasDeTeste.h"

using namespace kova;
using namespace kova::teste;

namespace {

TEST(LinhaDigitavel, ExemploComQuatroBlocos) {
    EXPECT_EQ(LinhaDigitavel("85850000001234502605180000000000000000000000"),
              "85850000001-0 23450260518-6 00000000000-0 00000000000-0");
    EXPECT_THROW(LinhaDigitavel("8585000000123450260518000000000000000000000X"), EConvertError);
}

TEST(TAsBarcode, PadraoELarguraDoExemplo) {
    TAsBarcode b = SimboloDaKOVA("1234");
    EXPECT_EQ(b.BarPattern(), "505060515050616060515051605");
    EXPECT_EQ(b.Width(), 45);
    EXPECT_EQ(SimboloDaKOVA("").BarPattern(), "5050605");
    EXPECT_EQ(SimboloDaKOVA(" 12 ").BarPattern(), SimboloDaKOVA("12").BarPattern());
    EXPECT_EQ(SimboloDaKOVA("123").BarPattern(),
              SimboloDaKOVA("12").BarPattern());  // an odd last digit is dropped
    EXPECT_EQ(SimboloDaKOVA(std::string(44, '7')).Width(), 405);
    EXPECT_EQ(SimboloDaKOVA(std::string(44, '7')).BarPattern().size(), 227u);
    EXPECT_EQ(SimboloDaKOVA("1234").Modul(),
              1);  // the width of 481 asked on the empty text is ignored
}

TEST(TAsBarcode, PropriedadesEFalhas) {
    TAsBarcode b;
    EXPECT_EQ(b.Modul(), 1);
    EXPECT_DOUBLE_EQ(b.Ratio, 2.0);
    EXPECT_EQ(b.Typ, TBarcodeType::bcCodeEAN13);
    EXPECT_THROW(b.BarPattern(), Exception);
    b.Typ = TBarcodeType::bcCode_2_5_interleaved;
    b.SetModul(0);
    b.SetModul(50);
    EXPECT_EQ(b.Modul(), 1);
    b.SetModul(2);
    EXPECT_EQ(b.Modul(), 2);
    b.SetModul(1);
    b.Ratio = 4;
    b.Text = "12";
    EXPECT_EQ(b.Width(), 4 + 18 + 5);  // the wide element stays at three narrow ones
    b.Ratio = 1;
    EXPECT_EQ(b.Width(), 4 + 14 + 4);  // and never below two
    b.Text = "12a";
    try {
        b.BarPattern();
        FAIL();
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message(), "Barcode must be numeric");
    }
    b.Typ = TBarcodeType::bcCode39;
    try {
        b.BarPattern();
        FAIL();
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message(), "TAsBarcode: wrong BarcodeType");
    }
}

std::string Modulos(const std::string& padrao) {
    std::string m;
    for (char e : padrao) {
        if (e == '5') m += "1";
        if (e == '6') m += "111";
        if (e == '0') m += "0";
        if (e == '1') m += "000";
    }
    return m;
}

bool Disponivel(const char* programa) {
    return std::system((std::string("command -v ") + programa + " >/dev/null").c_str()) == 0;
}

TEST(TAsBarcode, PadraoIgualAoDeOutroCodificador) {
    if (!Disponivel("zint")) GTEST_SKIP() << "zint is not installed";
    std::mt19937 g(5);
    for (int rodada = 0; rodada < 20; ++rodada) {
        std::string digitos;
        for (int i = 0; i < 44 + 2 * (rodada % 5); ++i) digitos += char('0' + g() % 10);
        std::string hex = Executa("zint -b C25INTER --dump -d " + digitos);
        std::string bits;
        std::istringstream in(hex);
        std::string byte;
        while (in >> byte) {
            // Four modules a hex digit; a last half byte comes as a single digit.
            for (char h : byte) {
                int v = std::stoi(std::string(1, h), nullptr, 16);
                for (int k = 3; k >= 0; --k) bits += (v >> k) & 1 ? '1' : '0';
            }
        }
        std::string nossos = Modulos(SimboloDaKOVA(digitos).BarPattern());
        ASSERT_GE(bits.size(), nossos.size()) << digitos;
        EXPECT_EQ(bits.substr(0, nossos.size()), nossos) << digitos;
        EXPECT_EQ(bits.find('1', nossos.size()), std::string::npos);
    }
}

TEST(TAsBarcode, SimboloImpressoELidoPorUmLeitor) {
    if (!Disponivel("zbarimg")) GTEST_SKIP() << "zbarimg is not installed";
    const std::string conteudo = "85850000001234502605180000000000000000000000";
    TBitmap1 bitmap(417, 41);
    SimboloDaKOVA(conteudo).PaintBars(bitmap);
    // Bars run the bitmap's full height; spaces are painted white.
    EXPECT_TRUE(bitmap.Pixel(0, 40));
    EXPECT_FALSE(bitmap.Pixel(1, 40));
    EXPECT_FALSE(bitmap.Pixel(410, 20));
    // At print size (about four pixels a narrow element at 300 dpi) with a quiet zone.
    TBitmap1 folha(417 + 40, 41);
    TAsBarcode b = SimboloDaKOVA(conteudo);
    b.Left = 20;
    b.PaintBars(folha);
    const std::string path = ::testing::TempDir() + "kova_simbolo.pbm";
    std::ofstream(path) << folha.ToPBM(4);
    std::string lido =
        Executa("zbarimg -q --raw --nodbus -Sdisable -Si25.enable " + path + " 2>/dev/null");
    while (!lido.empty() && (lido.back() == '\n' || lido.back() == '\r')) lido.pop_back();
    EXPECT_EQ(lido, conteudo);
    std::remove(path.c_str());
}

class FaixasTest : public ::testing::Test {
protected:
    void SetUp() override {
        Clock::Set(MakeDateTime(2024, 5, 10, 12, 0));
        dm = std::make_unique<TDM>();
        dm->AbrirTabelasVazias();
        Inserir(dm->cdsUF,
                {{"UF", T("SP")}, {"Conveniada", T("S")}, {"CodigoBarraVencidos", T("N")}});
        Inserir(dm->cdsUF,
                {{"UF", T("RJ")}, {"Conveniada", T("S")}, {"CodigoBarraVencidos", T("S")}});
        Inserir(dm->cdsUF,
                {{"UF", T("AM")}, {"Conveniada", T("N")}, {"CodigoBarraVencidos", T("S")}});
        Inserir(dm->cdsUF,
                {{"UF", T("PA")}, {"Conveniada", T("s")}, {"CodigoBarraVencidos", T("S")}});
    }
    void TearDown() override {
        dm.reset();
        Clock::Reset();
    }
    void KOVA(const char* uf, TDate vencimento, const char* receita = "100013") {
        dm->cdsKOVA.EmptyDataSet();
        Inserir(dm->cdsKOVA,
                {{"UFFavorecida", T(uf)}, {"Receita", T(receita)}, {"DataVencimento", vencimento}});
    }
    // What each of the three copies of a printed run shows.
    std::vector<std::string> Vias() {
        std::vector<std::string> r;
        for (int via = 1; via <= 3; ++via) {
            std::string s;
            if (faixas.qrbBarraBeforePrint(via)) s += "simbolo ";
            if (faixas.qrbLinhaDigitavelBeforePrint()) s += "linha ";
            if (faixas.qrbNaoBarraBeforePrint()) {
                s += faixas.qrlBancoAutorizadoPeq.empty() ? "aviso grande" : "aviso pequeno";
            }
            faixas.qrbNaoBarraAfterPrint();
            r.push_back(s);
        }
        return r;
    }

    std::unique_ptr<TDM> dm;
    TFaixasCodigoBarra faixas;
};

using Vs = std::vector<std::string>;

TEST_F(FaixasTest, CodigoPermitidoEmDuasViasELinhaNaSegunda) {
    KOVA("RJ", MakeDate(2024, 5, 20));
    EXPECT_EQ(Vias(), (Vs{"simbolo linha ", "linha ", "simbolo linha "}));
}

TEST_F(FaixasTest, EstadoNaoConveniadoImprimeOAvisoNasTresVias) {
    KOVA("AM", MakeDate(2024, 5, 20));
    EXPECT_EQ(Vias(), (Vs{"aviso grande", "aviso grande", "aviso grande"}));
    KOVA("PA", MakeDate(2024, 5, 20));  // only an exact "S" counts
    EXPECT_EQ(Vias()[0], "aviso grande");
}

TEST_F(FaixasTest, VencimentoHojeOntemEEstadoQueAceitaVencidas) {
    KOVA("SP", MakeDate(2024, 5, 10));
    EXPECT_EQ(Vias()[0], "simbolo linha ");
    KOVA("SP", MakeDate(2024, 5, 9));
    EXPECT_EQ(Vias()[0], "aviso grande");
    KOVA("RJ", MakeDate(2024, 5, 9));
    EXPECT_EQ(Vias()[0], "simbolo linha ");
}

TEST_F(FaixasTest, RegraCBRetemOCodigo) {
    Regra(*dm, "RJ", "100013", "CB", "");
    KOVA("RJ", MakeDate(2024, 5, 20));
    EXPECT_EQ(Vias()[0], "aviso grande");
    KOVA("RJ", MakeDate(2024, 5, 20), "100021");
    EXPECT_EQ(Vias()[0], "simbolo linha ");
}

TEST_F(FaixasTest, AvisoPequenoSoParaOEstadoComSC) {
    Regra(*dm, "AM", "000000", "SC", "");
    KOVA("AM", MakeDate(2024, 5, 20));
    EXPECT_EQ(Vias(), (Vs{"aviso pequeno", "aviso pequeno", "aviso pequeno"}));
    Regra(*dm, "PA", "000000", "CB", "");
    KOVA("PA", MakeDate(2024, 5, 20));
    EXPECT_EQ(Vias()[0], "aviso grande");
    EXPECT_EQ(faixas.qrlBancoAutorizado, kAvisoSemCodigoBarra);
}

}  // namespace
