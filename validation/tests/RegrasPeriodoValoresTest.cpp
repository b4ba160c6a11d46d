#include "Errors.h"
#include "Mensagens.h"
#include "RegrasValidacaoTeste.h"

using namespace kova;
using namespace kova::teste;

namespace {

std::string Erro(const char* n) { return Mensagem(n); }

class PeriodoTest : public RegrasTest {
protected:
    void SetUp() override {
        RegrasTest::SetUp();
        Inserir(dm->cdsUF,
                {{"UF", T("PE")}, {"Periodicidade", T("Q")}, {"CodigoBarra", int32_t(26)}});
        Define("UFFavorecida", std::string("MG"));  // periodicity D
        Define("Receita", std::string("100056"));   // a period (kind D)
    }
    std::string Ref(const std::string& v) { return Checa("Referencia", v); }
    void Vencimento(TDate d) { Define("DataVencimento", d); }
};

TEST_F(PeriodoTest, VencimentoDaReferenciaPelaPeriodicidade) {
    Vencimento(MakeDate(2010, 2, 27));
    EXPECT_EQ(Ref("3022010"), Mensagem84(MakeDate(2010, 2, 28), MakeDate(2010, 2, 27)));
    Vencimento(MakeDate(2010, 2, 28));
    EXPECT_EQ(Ref("3022010"), "");
    Define("UFFavorecida", std::string("PE"));
    Vencimento(MakeDate(2010, 5, 15));
    EXPECT_EQ(Ref("1052010"), "");
    Vencimento(MakeDate(2010, 5, 14));
    EXPECT_EQ(Ref("1052010"), Mensagem84(MakeDate(2010, 5, 15), MakeDate(2010, 5, 14)));
    Define("UFFavorecida", std::string("SP"));  // periodicity M: day 1
    Vencimento(MakeDate(2010, 5, 1));
    EXPECT_EQ(Ref("1052010"), "");
    // Without a due date nothing is compared.
    Define("DataVencimento", TValue{});
    EXPECT_EQ(Ref("9052010"), "");
}

TEST_F(PeriodoTest, DigitoDoPeriodoForaDaFaixaEFalhaDeConversao) {
    Vencimento(MakeDate(2010, 5, 31));
    Define("Referencia", std::string("4052010"));
    EXPECT_THROW(Valida("Referencia"), EConvertError);
    Define("UFFavorecida", std::string("PE"));
    Define("Referencia", std::string("3052010"));
    EXPECT_THROW(Valida("Referencia"), EConvertError);
}

TEST_F(PeriodoTest, AnosDoPeriodoSeguemOCalendario) {
    // Today is in 2024: periods run from 1971 to 2025.
    EXPECT_EQ(Ref("1011970"), Erro("78"));
    EXPECT_EQ(Ref("1011971"), "");
    EXPECT_EQ(Ref("1012025"), "");
    EXPECT_EQ(Ref("1012026"), Erro("78"));
    EXPECT_EQ(Ref("1132024"), Erro("78"));
    EXPECT_EQ(Ref("105202A"), Erro("78"));
    EXPECT_EQ(Ref(""), MensagemPar("75", "76", false));
    dm->ModoSilencioso = true;
    EXPECT_EQ(Ref(""), Erro("76"));
    EXPECT_EQ(Ref("1011970"), Erro("79"));
}

TEST_F(PeriodoTest, ParcelasEEscritaDoNumero) {
    Define("Receita", std::string("100048"));  // an instalment (kind P)
    EXPECT_EQ(Ref(""), Erro("77"));
    EXPECT_EQ(Ref("0"), Erro("82"));
    EXPECT_EQ(Ref("1000"), Erro("82"));
    EXPECT_EQ(Ref("abc"), Erro("80"));
    EXPECT_EQ(Ref("005"), "");
    EXPECT_EQ(Campo("Referencia"), "005");
    EXPECT_EQ(Ref("0007"), "");
    EXPECT_EQ(Campo("Referencia"), "7");
    EXPECT_TRUE(rechecagens.empty());
    // A lower-case kind accepts an empty value at first and fails its form rule.
    Regra(*dm, "MG", "100048", "RE", "p");
    EXPECT_EQ(Ref(""), Erro("80"));
    dm->cdsUFReceita.EmptyDataSet();
    Regra(*dm, "MG", "100048", "RE", "d");
    EXPECT_EQ(Ref(""), Erro("78"));
    Define("Receita", std::string("999999"));
    EXPECT_EQ(Ref("1"), Erro("74"));
}

TEST_F(PeriodoTest, MinasGeraisJaneiroDe2008) {
    dm->cdsUF.FindKey({"MG"});
    dm->cdsUF.Edit();
    dm->cdsUF.FieldByName("Periodicidade").SetAsString("M");
    dm->cdsUF.Post();
    Vencimento(MakeDate(2008, 1, 10));
    EXPECT_EQ(Ref("1122007"), Erro("85"));
    Vencimento(MakeDate(2007, 12, 31));
    EXPECT_EQ(Ref("1012008"), Mensagem84(MakeDate(2008, 1, 1), MakeDate(2007, 12, 31)));
    Define("UFFavorecida", std::string("SP"));
    Vencimento(MakeDate(2008, 1, 10));
    EXPECT_EQ(Ref("1122007"), "");
}

TEST_F(PeriodoTest, PernambucoConfirmaMesIgual) {
    Define("UFFavorecida", std::string("PE"));
    Define("Receita", std::string("100048"));
    Regra(*dm, "PE", "100048", "RE", "D");
    Vencimento(MakeDate(2010, 5, 31));
    std::vector<std::string> focos;
    dm->FocarControle = [&](const std::string& c) { focos.push_back(c); };
    dialogs.Answer(TModalResult::mrYes);
    EXPECT_EQ(Ref("1052010"), "");
    dialogs.Answer(TModalResult::mrNo);
    EXPECT_EQ(Ref("1052010"), "");
    EXPECT_EQ(focos, std::vector<std::string>{"cbxPeriodoMes"});
    ASSERT_EQ(dialogs.History().size(), 2u);
    EXPECT_EQ(dialogs.History()[0].text,
              "Confirma mês de vencimento igual mês período de referência?");
    EXPECT_EQ(dialogs.History()[0].kind, TMsgDlgType::mtConfirmation);
    // A different month asks nothing; nobody is asked on the unattended path.
    EXPECT_EQ(Ref("1042010"), "");
    dm->ModoSilencioso = true;
    EXPECT_EQ(Ref("1052010"), "");
    EXPECT_EQ(dialogs.History().size(), 2u);
}

class ValoresTest : public RegrasTest {
protected:
    void SetUp() override {
        RegrasTest::SetUp();
        Define("UFFavorecida", std::string("SP"));
        Define("Receita", std::string("100048"));
    }
    std::string Val(const char* campo, const std::string& v) { return Checa(campo, v); }
};

TEST_F(ValoresTest, PrincipalFormaELimite) {
    EXPECT_EQ(Val("ValorPrincipal", ""), Erro("86"));
    EXPECT_EQ(Val("ValorPrincipal", "0"), "");
    EXPECT_EQ(Val("ValorPrincipal", "-0,01"), Erro("88"));
    EXPECT_EQ(Val("ValorPrincipal", "999999999,99"), "");
    Define("ValorPrincipal", 999999999.991);
    EXPECT_EQ(Valida("ValorPrincipal"), Erro("89"));
}

TEST_F(ValoresTest, EncargosNoAtrasoComPrazoDoFimDeSemana) {
    Define("DataVencimento", MakeDate(2024, 6, 8));  // a Saturday
    Define("DataPagamento", MakeDate(2024, 6, 10));  // Monday: on time
    EXPECT_EQ(Val("AtualizacaoMonetaria", "0"), "");
    Define("DataPagamento", MakeDate(2024, 6, 11));  // Tuesday: late
    EXPECT_EQ(Val("AtualizacaoMonetaria", "0"), Erro("92"));
    EXPECT_EQ(Val("Juros", "0"), Erro("97"));
    EXPECT_EQ(Val("Multa", "0"), Erro("103"));
    dm->ModoSilencioso = true;
    EXPECT_EQ(Val("AtualizacaoMonetaria", "0"), Erro("93"));
    dm->ModoSilencioso = false;
    EXPECT_EQ(Val("Juros", "5"), "");  // a charge given
    Define("Juros", 0.0);
    Regra(*dm, "SP", "100048", "VL", "NNNNNNNNNNNN");  // any row exempts the slip
    EXPECT_EQ(Val("AtualizacaoMonetaria", "0"), "");
}

TEST_F(ValoresTest, ChavesDaRegraVL) {
    Regra(*dm, "SP", "100048", "VL", "NNNNNSSSNSSS");
    Define("DataVencimento", MakeDate(2024, 6, 20));
    Define("DataPagamento", MakeDate(2024, 6, 20));  // on time
    EXPECT_EQ(Val("Juros", "0"), Erro("99"));
    EXPECT_EQ(Val("Juros", "1"), Erro("100"));
    EXPECT_EQ(Val("Multa", "0"), Erro("105"));
    EXPECT_EQ(Val("Multa", "1"), Erro("106"));
    EXPECT_EQ(Val("AtualizacaoMonetaria", "1"), Erro("94"));
    EXPECT_EQ(Val("AtualizacaoMonetaria", "0"), "");
}

TEST_F(ValoresTest, PrincipalEMultaExclusivosPorQualquerDosDois) {
    Regra(*dm, "SP", "100048", "VL", "NNNNNSNNNNNN");
    Define("Multa", 0.0);
    EXPECT_EQ(Val("ValorPrincipal", "10"), "");
    Define("Multa", 1.0);
    EXPECT_EQ(Val("ValorPrincipal", "10"), Erro("107"));
    EXPECT_EQ(Val("Multa", "1"), Erro("107"));
}

TEST_F(ValoresTest, TotalESomaArredondadas) {
    Define("ValorPrincipal", 100.0);
    EXPECT_EQ(Val("TotalRecolher", "100,01"), Mensagem113ou114(false, 100.01, 100));
    EXPECT_EQ(Val("TotalRecolher", "100,004"), "");
    Define("ValorPrincipal", 0.13);
    EXPECT_EQ(Val("TotalRecolher", "0,125"), "");
    EXPECT_EQ(Val("TotalRecolher", ""), Erro("108"));
    EXPECT_EQ(Val("TotalRecolher", "0"), Erro("110"));
    EXPECT_EQ(Val("TotalRecolher", "-1"), Erro("111"));
    EXPECT_EQ(Val("TotalRecolher", "1000000000"), Erro("112"));
    dm->ModoSilencioso = true;
    std::string m = Val("TotalRecolher", "7");
    EXPECT_EQ(m.rfind("[Erro: 114] ", 0), 0u);
    EXPECT_NE(m.find("Informado: 7,00\rSoma [06,07,08 e 09]: 0,13"), std::string::npos);
}

class DatasTest : public RegrasTest {
protected:
    void SetUp() override {
        RegrasTest::SetUp();
        Define("UFFavorecida", std::string("SP"));
        Define("Receita", std::string("100048"));
    }
};

TEST_F(DatasTest, VencimentoEPagamento) {
    EXPECT_EQ(Checa("DataVencimento", ""), Erro("115"));
    Define("DataVencimento", MakeDate(2024, 3, 20));
    EXPECT_EQ(Valida("DataVencimento"), "");
    Define("Receita", std::string("999999"));
    EXPECT_EQ(Valida("DataVencimento"), Erro("117"));
    dm->ModoBiblioteca = true;  // the same answer in the library
    EXPECT_EQ(Valida("DataVencimento"), Erro("117"));
    dm->ModoBiblioteca = false;
    Define("Receita", std::string("100048"));
    Define("DataPagamento", MakeDate(2024, 3, 15));  // today
    EXPECT_EQ(Valida("DataPagamento"), "");
    Define("DataPagamento", MakeDate(2024, 3, 14));
    EXPECT_EQ(Valida("DataPagamento"), Erro("120"));
}

TEST_F(DatasTest, PagamentoAposOVencimentoComTextoDoEstado) {
    Define("DataVencimento", MakeDate(2024, 3, 16));  // a Saturday
    Define("DataPagamento", MakeDate(2024, 3, 18));   // the next Monday
    EXPECT_EQ(Valida("DataPagamento"), "");           // no "EV" row: late payment allowed
    Regra(*dm, "SP", "000000", "EV", "Pague em dia#13ou emita nova guia");
    EXPECT_EQ(Valida("DataPagamento"), "Pague em dia\rou emita nova guia");
    Regra(*dm, "SP", "100048", "EV", "Texto da receita");
    EXPECT_EQ(Valida("DataPagamento"), "Texto da receita");
}

TEST_F(DatasTest, NomeEnderecoEstadoECEP) {
    EXPECT_EQ(Checa("RazaoSocial", " "), Erro("121"));
    EXPECT_EQ(Checa("Endereco", ""), Erro("125"));
    EXPECT_EQ(Checa("Municipio", ""), Erro("126"));
    EXPECT_EQ(Checa("UF", ""), Erro("127"));
    EXPECT_EQ(Checa("UF", "ZZ"), Erro("128"));
    EXPECT_EQ(Checa("UF", "SP"), "");  // the same state passes unless both flags say N
    dm->cdsUF.FindKey({"SP"});
    dm->cdsUF.Edit();
    dm->cdsUF.FieldByName("UFEndIgual").SetAsString("N");
    dm->cdsUF.Post();
    EXPECT_EQ(Checa("UF", "SP"), "");
    dm->cdsReceita.FindKey({"100048"});
    dm->cdsReceita.Edit();
    dm->cdsReceita.FieldByName("UFEndIgualFavorec").SetAsString("n");
    dm->cdsReceita.Post();
    EXPECT_EQ(Checa("UF", "SP"), Erro("130"));
    EXPECT_EQ(Checa("UF", "MG"), "");
    EXPECT_EQ(Checa("CEP", ""), Erro("131"));
    EXPECT_EQ(Checa("CEP", "50000-000"), "");
    EXPECT_EQ(Checa("CEP", "50000000"), "");
    EXPECT_EQ(Checa("CEP", "5000-0000"), Erro("132"));
    EXPECT_EQ(Campo("CEP"), "5000-0000");
}

TEST_F(DatasTest, ProdutosDoEstadoEDaReceita) {
    EXPECT_EQ(Checa("Produto", "0"), "");  // no products: anything passes
    Inserir(dm->cdsUFProduto,
            {{"UF", T("SP")}, {"Receita", T("100048")}, {"Produto", int32_t(36)}});
    Inserir(dm->cdsUFProduto,
            {{"UF", T("MG")}, {"Receita", T("100048")}, {"Produto", int32_t(37)}});
    EXPECT_EQ(Checa("Produto", "0"), Erro("133"));
    EXPECT_EQ(Checa("Produto", "37"), Erro("134"));
    EXPECT_EQ(Checa("Produto", "36"), "");
    EXPECT_TRUE(dm->cdsUFProduto.Filtered());
    EXPECT_EQ(dm->cdsUFProduto.RecordCount(), 1);
}

TEST_F(DatasTest, CourierEmTodosOsCampos) {
    Define("Receita", std::string("100056"));
    dm->CodigoCourier = "5";
    Define("RazaoSocial", std::string("EMPRESA"));
    for (const char* campo : {"RazaoSocial", "Telefone", "Informacoes", "Convenio"})
        EXPECT_EQ(Valida(campo), "") << campo;
    dm->CodigoCourier = "9";
    for (const char* campo : {"RazaoSocial", "Telefone", "Informacoes"})
        EXPECT_EQ(Valida(campo), Erro("136")) << campo;
}

}  // namespace
