#include <gtest/gtest.h>

#include <set>

#include "Mensagens.h"

using namespace kova;

TEST(Mensagens, CatalogoTemTodosOsNumeros) {
    std::set<std::string> esperados;
    for (int n = 1; n <= 136; ++n) {
        if (n != 60 && n != 65 && n != 72 && n != 118 && n != 119)
            esperados.insert(std::to_string(n));
    }
    esperados.insert("72A");
    for (int n = 138; n <= 152; ++n) {
        if (n != 140 && n != 141 && n != 146) esperados.insert(std::to_string(n));
    }
    std::set<std::string> presentes;
    for (const auto& m : CatalogoMensagens()) presentes.insert(m.numero);
    EXPECT_EQ(presentes, esperados);
    for (const auto& n : esperados) EXPECT_EQ(Mensagem(n).rfind("[Erro: " + n + "] ", 0), 0u) << n;
    EXPECT_THROW(Mensagem("60"), std::out_of_range);
}

TEST(Mensagens, TextosByteAByteEmWindows1252) {
    // "[Erro: 2] Informe UF Favorecida válida": á is 0xE1 in Windows-1252.
    EXPECT_EQ(Mensagem("2"), std::string("[Erro: 2] Informe UF Favorecida v\xE1lida"));
    EXPECT_EQ(Mensagem("8"), std::string("[Erro: 8] CPF fict\xED"
                                         "cio n\xE3o \xE9 v\xE1lido"));
    EXPECT_EQ(Mensagem("72A"),
              std::string("[Erro: 72A] N\xFAmero do Documento de Origem inv\xE1lido"));
    EXPECT_EQ(Mensagem("77"), std::string("[Erro: 77] Informe parcela com 3 posi\xE7\xF5"
                                          "es num\xE9ricas"));
    EXPECT_EQ(
        Mensagem("135"),
        std::string(
            "[Erro: 135] O campo Empresa Courier s\xF3 pode ser utilizado com a receita 10005-6"));
    EXPECT_EQ(
        MensagemPar("75", "76", false),
        "[Erro: 75] Informe o per\xEDodo de refer\xEAncia no formato DMMAAAA,\ronde: D=Per\xEDodo, "
        "MM=m\xEAs e AAAA=ano");
    EXPECT_EQ(MensagemPar("75", "76", true).find('\r'), std::string::npos);
    EXPECT_NE(Mensagem("92").find("\"Ajuda\""), std::string::npos);
}

TEST(Mensagens, MensagensComValores) {
    DefinirFormatosRegionais();
    FormatSettings().CurrencyString = "";
    EXPECT_EQ(Mensagem113ou114(false, 1234.5, 1000),
              "[Erro: 113] Total a recolher dever\xE1 ser a soma dos campos 06, 07, 08 e "
              "09\r\rInformado: "
              "1.234,50\rSoma [06,07,08 e 09]: 1.000,00");
    FormatSettings().CurrencyString = "R$";
    EXPECT_EQ(
        Mensagem113ou114(true, 10, 9.999),
        "[Erro: 114] Total a recolher dever\xE1 ser a soma dos campos 06, 07, 08 e 09.\rInformado: "
        "R$ 10,00\rSoma [06,07,08 e 09]: R$ 10,00");
    FormatSettings().CurrencyString = "";
    EXPECT_EQ(
        Mensagem84(MakeDate(2024, 2, 9), MakeDate(2024, 1, 31)),
        "[Erro: 84] Informe o per\xEDodo de refer\xEAncia menor ou igual a data de vencimento\r\r"
        "Vencimento da Refer\xEAncia: 09/02/2024\rData de Vencimento: 31/01/2024");
    std::string m26 = Mensagem26ou27(false, 2024);
    EXPECT_NE(m26.find("(entre 1970 e 2025), NNNNNNN=Sequencial"), std::string::npos);
    EXPECT_NE(Mensagem26ou27(true, 2024).find("4AANNNNNNND,onde:"), std::string::npos);
    std::string m64 = Mensagem64(kSecretariaFazendaMG, "https://exemplo");
    EXPECT_NE(m64.find("espec\xED"
                       "fico da \rSecretaria de Estado de Fazenda de Minas Gerais. Maiores "
                       "informa\xE7\xF5"
                       "es no endere\xE7o \rhttps://exemplo"),
              std::string::npos);
    EXPECT_NE(MensagemCE(false, "s").find("[Erro: 144] ICMS em atraso.Emitir"), std::string::npos);
    EXPECT_NE(MensagemCE(true, "s").find("[Erro: 145] ICMS em atraso. Emitir"), std::string::npos);
}
