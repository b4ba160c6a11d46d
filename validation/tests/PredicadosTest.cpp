#include <gtest/gtest.h>

#include "Predicados.h"

using namespace kova;

TEST(Predicados, ValoresNasFronteiras) {
    DefinirFormatosRegionais();
    EXPECT_TRUE(EstaVazio("   "));
    EXPECT_FALSE(EstaVazio(" 0 "));
    EXPECT_TRUE(SoZeros(""));
    EXPECT_TRUE(SoZeros("000"));
    EXPECT_FALSE(SoZeros("0 0"));
    EXPECT_TRUE(NaoEhInteiro(""));
    EXPECT_TRUE(NaoEhInteiro("2147483648"));
    EXPECT_FALSE(NaoEhInteiro("-2147483648"));
    EXPECT_TRUE(NaoEhData("30/02/2024"));
    EXPECT_FALSE(NaoEhData("29/02/2024"));
    EXPECT_TRUE(NaoEhNumero(""));
    EXPECT_TRUE(NaoEhNumero("1.000,00"));
    EXPECT_FALSE(NaoEhNumero("1000,00"));
    EXPECT_FALSE(TemNaoDigito(""));
    EXPECT_FALSE(TemNaoDigito(" 123 "));
    EXPECT_TRUE(TemNaoDigito("12.3"));
    // Tabs and line breaks count as blanks, as trimming removes them; accented letters do not.
    EXPECT_TRUE(EstaVazio("\t\r\n "));
    EXPECT_FALSE(EstaVazio(" \xC9 "));
    EXPECT_FALSE(TemNaoDigito("\t42\r\n"));
    EXPECT_TRUE(TemNaoDigito(" 4 2 "));
    EXPECT_TRUE(TemNaoDigito("\xB9"));
}

TEST(Predicados, ProximoDiaUtilPulaSoOFimDeSemana) {
    EXPECT_EQ(ProximoDiaUtil(MakeDate(2024, 6, 8)), MakeDate(2024, 6, 10));     // Saturday
    EXPECT_EQ(ProximoDiaUtil(MakeDate(2024, 6, 9)), MakeDate(2024, 6, 10));     // Sunday
    EXPECT_EQ(ProximoDiaUtil(MakeDate(2024, 12, 25)), MakeDate(2024, 12, 25));  // a holiday stays
}

TEST(Predicados, DivideTextoNasPontasESeparadoresSeguidos) {
    using V = std::vector<std::string>;
    EXPECT_EQ(DivideTexto(';', ""), V{});
    EXPECT_EQ(DivideTexto(';', "a"), V{"a"});
    EXPECT_EQ(DivideTexto(';', "a;b;"), (V{"a", "b"}));
    EXPECT_EQ(DivideTexto(';', ";a"), (V{"", "a"}));
    EXPECT_EQ(DivideTexto(';', "a;;b"), (V{"a", "", "b"}));
    EXPECT_EQ(DivideTexto(';', " a  ; b "), (V{" a", " b"}));  // leading blanks stay
    EXPECT_EQ(DivideTexto(' ', "SR 05  07"), (V{"SR", "05", "", "07"}));
    EXPECT_EQ(DivideTexto(';', ";"), (V{""}));
}

TEST(Predicados, ConverterQuebrasComVariosMarcadoresECorte) {
    EXPECT_EQ(ConverterQuebras("a#13b#13#13c"), "a\rb\r\rc");
    EXPECT_EQ(ConverterQuebras("sem marca"), "sem marca");
    std::string longo = "x#13" + std::string(2000, 'y');
    std::string r = ConverterQuebras(longo);
    EXPECT_EQ(r.size(), 2u + 1024u);
    EXPECT_EQ(r.substr(0, 2), "x\r");
    // Each marker cuts what follows it, so a later marker may itself be cut away.
    std::string dois = "#13" + std::string(1030, 'a') + "#13b";
    EXPECT_EQ(ConverterQuebras(dois), "\r" + std::string(1024, 'a'));
}

TEST(Predicados, DivisaoEmVistasIgualADivisaoEmTextos) {
    for (const char* texto : {"", ";", "a", "a;", ";a", "a;;b", "A=1 ;B=2\t;C=3  ", "x;y; ;z;",
                              "UF=SP;RECEITA=100013"}) {
        const std::vector<std::string> textos = DivideTexto(';', texto);
        const std::vector<std::string_view> vistas = DivideEmVistas(';', texto);
        ASSERT_EQ(textos.size(), vistas.size()) << texto;
        for (size_t i = 0; i < textos.size(); ++i) EXPECT_EQ(textos[i], vistas[i]) << texto;
    }
}
