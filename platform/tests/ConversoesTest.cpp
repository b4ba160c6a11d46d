#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <random>

#include "Conversoes.h"

using namespace kova;

TEST(Conversoes, DatasNoFormatoRegional) {
    DefinirFormatosRegionais();
    TDate d;
    ASSERT_TRUE(TryStrToDate("05/03/2024", d));
    EXPECT_EQ(d, MakeDate(2024, 3, 5));
    EXPECT_EQ(DateToStr(d), "05/03/2024");
    ASSERT_TRUE(TryStrToDate(" 5/3/2024 ", d));
    EXPECT_EQ(d, MakeDate(2024, 3, 5));
    for (const char* ruim : {"", "29/02/2023", "32/01/2024", "01-01-2024", "01/13/2024",
                             "1/1/20245", "a/b/c", "01/01/2024x"}) {
        EXPECT_FALSE(TryStrToDate(ruim, d)) << ruim;
    }
    ASSERT_TRUE(TryStrToDate("29/02/2024", d));
    TDateTime dt;
    ASSERT_TRUE(TryStrToDateTime("01/02/2024 13:45:07", dt));
    EXPECT_EQ(DateTimeToStr(dt), "01/02/2024 13:45:07");
    EXPECT_EQ(DateTimeToStr(MakeDateTime(2024, 2, 1)), "01/02/2024");
    EXPECT_EQ(DayOfWeek(MakeDate(2024, 6, 2)), 1);  // a Sunday
    EXPECT_EQ(DayOfWeek(MakeDate(2024, 6, 8)), 7);
}

// Typed amounts are read without strtod when they are short; the value must be the very same.
TEST(Conversoes, DecimalLidoIgualAoDoStrtod) {
    DefinirFormatosRegionais();
    std::mt19937_64 gerador(11);
    for (int n = 0; n < 200000; ++n) {
        const int digitos = 1 + int(gerador() % 20);
        std::string texto = gerador() % 4 == 0 ? "-" : "";
        for (int d = 0; d < digitos; ++d) texto += char('0' + gerador() % 10);
        const size_t virgula = gerador() % (digitos + 1);
        if (virgula < size_t(digitos)) texto.insert(texto.size() - virgula, 1, ',');
        std::string c = texto;
        for (char& ch : c) {
            if (ch == ',') ch = '.';
        }
        double lido;
        ASSERT_TRUE(TryStrToFloat(texto, lido)) << texto;
        const double esperado = std::strtod(c.c_str(), nullptr);
        ASSERT_EQ(std::memcmp(&lido, &esperado, sizeof lido), 0) << texto;
    }
    EXPECT_EQ(DateToStr(MakeDate(2009, 6, 5)), "05/06/2009");
}

TEST(Conversoes, NumerosComVirgulaDecimalSemSeparadorDeMilhar) {
    DefinirFormatosRegionais();
    double v;
    ASSERT_TRUE(TryStrToFloat("0,125", v));
    EXPECT_DOUBLE_EQ(v, 0.125);
    ASSERT_TRUE(TryStrToFloat("-12", v));
    ASSERT_TRUE(TryStrToFloat("1,5E3", v));
    EXPECT_DOUBLE_EQ(v, 1500);
    for (const char* ruim : {"", "1.234,56", "1,2,3", "abc", "1,5x", ",", "1E"}) {
        EXPECT_FALSE(TryStrToFloat(ruim, v)) << ruim;
    }
    EXPECT_EQ(FloatToStr(0.13), "0,13");
    EXPECT_EQ(FloatToStr(100), "100");
    EXPECT_EQ(FloatToStr(-2.5), "-2,5");
    EXPECT_EQ(FloatToStr(1234567.89), "1234567,89");
    int32_t i;
    EXPECT_TRUE(TryStrToInt("2147483647", i));
    EXPECT_FALSE(TryStrToInt("2147483648", i));
    EXPECT_TRUE(TryStrToInt("-2147483648", i));
    EXPECT_FALSE(TryStrToInt("", i));
    EXPECT_FALSE(TryStrToInt("12a", i));
}

TEST(Conversoes, FormatFloatDeZerosIgualAoCaminhoGeral) {
    // "00;" takes the general path with the same pattern: both must write the same digits.
    for (const char* zeros : {"0", "00", "0000"}) {
        const std::string geral = std::string(zeros) + ";";
        for (double v : {0.0, -0.0, 1.0, 9.0, 10.0, 28.0, 31.0, 99.0, 100.0, 2024.0, 123456789.0,
                         0.5, 2.5, 12.49, -3.0}) {
            EXPECT_EQ(FormatFloat(zeros, v), FormatFloat(geral, v)) << zeros << " " << v;
        }
    }
}

TEST(Conversoes, FormatFloatComLiteraisEMilhares) {
    DefinirFormatosRegionais();
    EXPECT_EQ(FormatFloat("00-0", 261), "26-1");
    EXPECT_EQ(FormatFloat("00-0", 10), "01-0");
    EXPECT_EQ(FormatFloat("00-0", 5), "00-5");
    EXPECT_EQ(FormatFloat("00-0", 12345), "1234-5");
    EXPECT_EQ(FormatFloat("000", 7), "007");
    EXPECT_EQ(FormatFloat("00", 123), "123");
    EXPECT_EQ(FormatFloat("#,##0.00", 1234567.891), "1.234.567,89");
    EXPECT_EQ(FormatFloat("#,##0.00", 0), "0,00");
    EXPECT_EQ(FormatFloat("#,##0.00", -5.5), "-5,50");
    EXPECT_EQ(FormatFloat("0.##", 2.5), "2,5");
}

TEST(Conversoes, ArredondaMetadeParaCimaENegativosTruncados) {
    EXPECT_DOUBLE_EQ(Arredonda(2, 0.125), 0.13);
    EXPECT_DOUBLE_EQ(Arredonda(2, 0.124), 0.12);
    EXPECT_DOUBLE_EQ(Arredonda(2, 0.285), 0.29);  // 28.4999... in binary
    EXPECT_DOUBLE_EQ(Arredonda(0, 2.5), 3);
    EXPECT_DOUBLE_EQ(Arredonda(2, -1.256), -1.25);
    EXPECT_DOUBLE_EQ(Arredonda(2, -0.125), -0.12);
    EXPECT_DOUBLE_EQ(Arredonda(2, 10), 10);
}

// Every amount is rounded as its decimal text reads, wherever it is rounded or shown: the binary
// value of 9,995 lies below the half and must still give 10,00.
TEST(Conversoes, CentavosComoOTextoDecimalLe) {
    struct Caso {
        double valor;
        double arredondado;
        const char* moeda;
    };
    for (const Caso& c :
         {Caso{1.005, 1.01, "1,01"}, Caso{9.995, 10, "10,00"}, Caso{100.004, 100, "100,00"},
          Caso{0.125, 0.13, "0,13"}, Caso{0.285, 0.29, "0,29"}, Caso{0.1 + 0.2, 0.3, "0,30"},
          Caso{999999999.995, 1000000000, "1.000.000.000,00"}, Caso{1.0049999, 1, "1,00"},
          Caso{0.001, 0, "0,00"}, Caso{19.99, 19.99, "19,99"}}) {
        SCOPED_TRACE(c.moeda);
        EXPECT_EQ(Arredonda(2, c.valor), c.arredondado);
        EXPECT_EQ(ArredondaValor(c.valor), c.arredondado);
        EXPECT_EQ(FormatFloat("#,##0.00", c.valor), c.moeda);
    }
    EXPECT_EQ(Arredonda(2, -0.29), -0.29);      // -28.999... in binary, cut to -0,28 before
    EXPECT_EQ(ArredondaValor(-5.005), -5.005);  // kept for its check to refuse
    EXPECT_EQ(FormatFloat("#,##0.00", -0.125), "-0,13");
    EXPECT_EQ(FormatFloat("0.###", 2.0005), "2,001");
}

// The quick decision on the binary value gives what the decimal text gives, for amounts of every
// size with up to six decimals, above and below zero.
TEST(Conversoes, ArredondaRapidoIgualAoTextoDecimal) {
    std::mt19937_64 sorteio(20261209);
    for (int i = 0; i < 100000; ++i) {
        const long long inteiro = (long long)(sorteio() % 1000000000ULL) / (i % 4 == 0 ? 1 : 1000);
        const int casas = int(sorteio() % 7);
        std::string texto = std::to_string(inteiro);
        std::string decimais;
        for (int c = 0; c < casas; ++c) decimais += char('0' + sorteio() % 10);
        const bool negativo = i % 3 == 0;
        const double x = std::stod((negativo ? "-" : "") + texto + (casas ? "." + decimais : ""));
        // Cents from the digits alone: half up above zero, cut below.
        decimais.resize(3, '0');
        long long centavos = inteiro * 100 + (decimais[0] - '0') * 10 + (decimais[1] - '0');
        if (!negativo && decimais[2] >= '5') ++centavos;
        const double esperado = (negativo ? -1.0 : 1.0) * double(centavos) / 100;
        ASSERT_EQ(Arredonda(2, x), esperado) << x;
    }
}
