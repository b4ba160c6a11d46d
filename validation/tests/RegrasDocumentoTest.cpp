#include "DigitosVerificadores.h"
#include "Errors.h"
#include "Mensagens.h"
#include "RegrasDocumento.h"
#include "RegrasValidacaoTeste.h"

using namespace kova;
using namespace kova::teste;

namespace {

class DocumentoTest : public RegrasTest {
protected:
    void SetUp() override {
        RegrasTest::SetUp();
        Define("UFFavorecida", std::string("SP"));
        Define("Receita", std::string("100013"));
        Define("Referencia", std::string("1012024"));
    }
    // A "DO" rule without padding, of the given type.
    void Tipo(int tipo, const char* uf = "SP", const char* receita = "100013") {
        dm->cdsUFReceita.EmptyDataSet();
        char texto[32];
        std::snprintf(texto, sizeof texto, "000 %03d N N N", tipo);
        Regra(*dm, uf, receita, "DO", texto);
    }
    std::string Doc(const std::string& numero) { return Checa("DocumentoOrigem", numero); }
};

std::string Erro(const char* n) { return Mensagem(n); }

struct Formato {
    int tipo;
    const char* passa;
    std::vector<std::pair<const char*, const char*>> falhas;  // number, error
    const char* trabalho;
};

// For each type a number that passes, worked out by hand, and numbers failing with each error.
const std::vector<Formato> kFormatos = {
    {1,
     "1234567897",
     {{"1234567890", "32"}},
     "base 123456789, weights 2..9,2 from the right: 202, remainder 4, digit 7"},
    {2,
     "1234567897",
     {{"1234567898", "33"}},
     "d1 over 12345678: 156, remainder 2, 9; d2 over 123456789: 7"},
    {3,
     "0012003",
     {{"0012004", "35"}, {"001200X", "34"}},
     "a 2024 reference: base year 1998, years 1978 to 2003"},
    {4,
     "123447",
     {{"123448", "36"}},
     "d1 = Modulo10(1234) = (10 - 16 mod 10) = 4; d2 = Modulo11(12344) = 48, remainder 4, 7"},
    {5,
     "001030000",
     {{"001030001", "37"}, {"001730002", "38"}, {"001050001", "40"}},
     "base 00103000 with weights 2..7: 15 + 7 = 22, digit 0; character 5 is 3 and characters 3-4 "
     "are 10"},
    {6, "12344", {{"12345", "41"}}, "Modulo10(1234) = 4"},
    {7,
     "000012343",
     {{"100012343", "42"}, {"000042343", "44"}, {"000012340", "43"}},
     "0000, character 5 is 1, base 00001234 with weights 2..7: 30, remainder 8, 3"},
    {8,
     "1234567850018",
     {{"0000000000000", "45"},
      {"0034567850018", "46"},
      {"12345678500X8", "48"},
      {"1234567851218", "47"},
      {"1234567840018", "49"},
      {"1234567850019", "50"}},
     "character 9 = Modulo11(12345678, 7) = 138 mod 11 = 6, 5; 001 is in 1..120; last = "
     "Modulo11(123456785001, 7) "
     "= 201 mod 11 = 3, 8"},
    {10,
     "11100000000000009",
     {{"11500000000000009", "51"}, {"11100000000000008", "52"}},
     "prefix 111; the three 1s weigh 7, 8, 9: 24, remainder 2, 9"},
    {11, "1232", {{"1233", "53"}}, "weights from the first: 1*2 + 2*3 + 3*4 = 20, remainder 9, 2"},
    {12, "0099", {{"1233", "54"}}, "00 passes at once"},
    {13,
     "1305",
     {{"1306", "55"}, {"1388", "56"}},
     "Modulo10(130) = 5 and 30 is listed; 138 gives 8 but 38 is not"},
    {14, "19801", {{"19802", "57"}}, "(198 - 100) mod 97 = 1"},
    {15,
     "199400000097",
     {{"199300000097", "58"}, {"199400000098", "59"}},
     "d1 over 1994000000: 134, remainder 2, 9; d2 over 19940000009: 103, remainder 4, 7"},
    {16,
     "507",
     {{"508", "61"}},
     "Modulo10Variante(5): 10 reduced to 1, remainder 1 gives 0; Modulo11Pesos2a11(50) = 15, 7"},
    {17,
     "910000000",
     {{"060000000", "62"}, {"910000001", "63"}, {"91000000", "63"}},
     "prefix 91; Modulo11(91000000) = 8 + 81 = 89, remainder 1, 0"},
    {18,
     "123447",
     {{"123448", "66"}},
     "as type 16: d1 4 (sum 16), d2 over 12344 with weights 2..11: 48, 7"},
    {19,
     "1234567897",
     {{"1234567890", "67"}},
     "two modulo-11 digits: class 1; 1234567890 is in no class"},
    {20,
     "2000123457",
     {{"2011123457", "68"}, {"2000123458", "69"}},
     "year 2000; Modulo11(200012345, 10) = 70, remainder 4, 7"},
    {21,
     "1234567897",
     {{"1234567890", "70"}, {"0012345", "71"}},
     "the modulo-11 digit fits at once"},
    {22,
     "200200000000000039",
     {{"200100000000000039", "72A"}, {"200200000000000038", "72A"}},
     "d1 over 2002 and twelve zeros: 2*6 + 2*9 = 30, remainder 8, 3; d2: 3*2 + 2*7 + 2*2 = 24, "
     "remainder 2, 9"},
    {23, "1000000009", {{"1000000008", "73"}}, "x below 2005000000: s = 2, 11 - 2 = 9"},
};

TEST_F(DocumentoTest, CadaTipoTemNumeroQuePassaEQueFalhaComSeuErro) {
    for (const Formato& f : kFormatos) {
        SCOPED_TRACE("type " + std::to_string(f.tipo) + ": " + f.trabalho);
        Tipo(f.tipo);
        EXPECT_EQ(Doc(f.passa), "");
        EXPECT_EQ(Campo("DocumentoOrigem"), f.passa);
        for (const auto& [numero, erro] : f.falhas) EXPECT_EQ(Doc(numero), Erro(erro)) << numero;
    }
}

TEST_F(DocumentoTest, AnoDoTipo3SegueOAnoBaseDaPropriaKOVA) {
    Tipo(3);
    // Whatever slip's barcode was built before, this slip's own base year decides.
    dm->AnoBase = 1999;
    EXPECT_EQ(Doc("0012004"), Erro("35"));
    // A reference of 2005 (version 4) gives base year 1999: 1979 to 2004; Tocantins keeps 1998.
    Define("Referencia", std::string("1012005"));
    dm->AnoBase = 1998;
    EXPECT_EQ(Doc("0012004"), "");
    EXPECT_EQ(Doc("0011978"), Erro("35"));
    Define("UFFavorecida", std::string("TO"));
    Tipo(3, "TO");
    EXPECT_EQ(Doc("0012004"), Erro("35"));
}

// The table tool's warning trusts FormatoAdmiteInicio: where it says a beginning cannot pass a
// type, no document with that beginning does.
TEST_F(DocumentoTest, InicioQueOFormatoRecusaNenhumDocumentoTemCom) {
    int recusados = 0;
    for (int tipo = 1; tipo <= 23; ++tipo) {
        if (FormatoAdmiteInicio(tipo, kInicioDocumentoMD)) continue;
        ++recusados;
        Tipo(tipo);
        for (size_t n = 10; n <= 17; ++n) {
            for (int fim = 0; fim < 1000; ++fim) {
                char final[4];
                std::snprintf(final, sizeof final, "%03d", fim);
                const std::string doc =
                    std::string(kInicioDocumentoMD) + std::string(n - 8, '0') + final;
                ASSERT_NE(Doc(doc), "") << "type " << tipo << ": " << doc;
            }
        }
    }
    EXPECT_EQ(recusados, 6);  // types 5, 7, 10, 15, 17 and 20
    EXPECT_TRUE(FormatoAdmiteInicio(7, "0000123"));
    EXPECT_TRUE(FormatoAdmiteInicio(20, "19"));
    EXPECT_FALSE(FormatoAdmiteInicio(8, "00"));
}

TEST_F(DocumentoTest, CasosParticularesDosFormatos) {
    Tipo(0);
    EXPECT_EQ(Doc("qualquer"), "");
    Tipo(9);
    EXPECT_EQ(Doc("123"), "");
    Tipo(23);
    EXPECT_EQ(Doc("3000000006"), "");  // x from 2005000000 on: 2*3 = 6, 6 mod 10
    Define("DocumentoOrigem", std::string("10000009"));
    EXPECT_THROW(Valida("DocumentoOrigem"), EConvertError);  // no ninth character
    Tipo(5);
    Define("DocumentoOrigem", std::string("00AB30000"));
    EXPECT_THROW(Valida("DocumentoOrigem"), EConvertError);
    Tipo(14);
    EXPECT_EQ(Doc("10000"), "");
    EXPECT_EQ(Doc("19700"), "");
    Tipo(8);
    EXPECT_EQ(Doc("1234567849654"), Erro("49"));  // 965 is listed: the next rule is reached
    EXPECT_EQ(Doc("1234567850008"), Erro("47"));
    // 00 followed by 12344 (Modulo10 digit 4) is stored without the two zeros and checked again;
    // the rule's length pads it back for that check, which then passes.
    dm->cdsUFReceita.EmptyDataSet();
    Regra(*dm, "SP", "100013", "DO", "007 021 N N N");
    EXPECT_EQ(Doc("0012344"), "");
    EXPECT_EQ(Campo("DocumentoOrigem"), "12344");
    EXPECT_TRUE(rechecagens.empty());
    // Without a length the shortened number meets the format again and fails there.
    Tipo(21);
    EXPECT_EQ(Doc("0012344"), "");
    EXPECT_EQ(rechecagens, std::vector<std::string>{Erro("70")});
    // Type 18 in Minas Gerais for infraction notices.
    Define("UFFavorecida", std::string("MG"));
    Define("Receita", std::string("100064"));
    Inserir(dm->cdsReceita, {{"Codigo", T("100064")}, {"DocumentoOrigem", T("N")}});
    Tipo(18, "MG", "100064");
    std::string m = Doc("040020000");
    EXPECT_EQ(m.rfind("[Erro: 64] Sr. Contribuinte,\rEstas autuações", 0), 0u) << m;
    EXPECT_NE(m.find(kSecretariaFazendaMG), std::string::npos);
    EXPECT_NE(m.find(dm->EnderecoAutuacoesMG), std::string::npos);
}

TEST_F(DocumentoTest, ObrigatoriedadeEPreenchimento) {
    Define("Receita", std::string("100099"));
    Inserir(dm->cdsReceita, {{"Codigo", T("100099")}, {"DocumentoOrigem", T("S")}});
    EXPECT_EQ(Doc(""), Erro("15"));
    EXPECT_EQ(Doc("000"), Erro("16"));
    Regra(*dm, "SP", "100099", "DO", "010 000 N N N");
    EXPECT_EQ(Doc(""), "");  // the state's rule lets it be empty
    Define("UFFavorecida", std::string("GO"));
    Regra(*dm, "GO", "100099", "DO", "010 000 N N N");
    EXPECT_EQ(Doc(""), Erro("14"));  // even with the rule
    Define("UFFavorecida", std::string("SP"));
    dm->cdsUFReceita.EmptyDataSet();
    Define("Produto", int32_t(99));
    EXPECT_EQ(Doc(""), "");
    Define("Receita", std::string("999999"));
    EXPECT_EQ(Doc("1"), Erro("13"));
    // The library looks the revenue up as well, never judging by the record left current (100099).
    dm->ModoBiblioteca = true;
    EXPECT_EQ(Doc(""), Erro("13"));
}

TEST_F(DocumentoTest, RegraDOPreencheComZerosEConfereDeNovo) {
    Regra(*dm, "SP", "100013", "DO", "010 000 S S S");
    EXPECT_EQ(Doc("12345"), "");
    EXPECT_EQ(Campo("DocumentoOrigem"), "0000012345");
    EXPECT_EQ(alterados, std::vector<std::string>{"DocumentoOrigem"});
    EXPECT_TRUE(rechecagens.empty());  // the stored number passes its second check
    EXPECT_EQ(Doc(""), Erro("28"));
    EXPECT_EQ(Doc("0000000000"), Erro("29"));
    EXPECT_EQ(Doc("12A45"), Erro("30"));
    dm->cdsUFReceita.EmptyDataSet();
    Regra(*dm, "SP", "100013", "DO", "006 000 N N N");
    EXPECT_EQ(Doc("1234567"), Erro("31"));
    dm->cdsUFReceita.EmptyDataSet();
    Regra(*dm, "SP", "100013", "DO", "0X6 000 N N N");
    Define("DocumentoOrigem", std::string("1"));
    EXPECT_THROW(Valida("DocumentoOrigem"), EConvertError);
}

TEST_F(DocumentoTest, DeclaracaoDeImportacaoDaReceita100056) {
    Define("Receita", std::string("100056"));
    dm->AnoAtual = 2010;
    // 7000000002: Modulo11(2700000000) = 7*2 + 2*3 = 20, remainder 9, 2: a regular number.
    EXPECT_EQ(Doc("7000000002"), "");
    EXPECT_EQ(Campo("DocumentoOrigem"), "7000000002");
    // 7000000007 fits only the simplified prefix: Modulo11(4700000000) = 14 + 12 = 26, remainder
    // 4, 7.
    EXPECT_EQ(Doc("7000000007"), "");
    EXPECT_EQ(Campo("DocumentoOrigem"), "7000000007");  // no "DO" rule: left as typed
    Regra(*dm, "SP", "100056", "DO", "000 000 N N N");
    EXPECT_EQ(Doc("7000000007"), "");
    EXPECT_EQ(Campo("DocumentoOrigem"), "47000000007");  // written back and checked again
    EXPECT_TRUE(rechecagens.empty());
    // Year 12 (2012) is above 2010 + 1; year 11 passes. 1200000007: 2*9 + 1*2 + 2*3 = 26, 7.
    // 1100000005: 1*9 + 1*2 + 2*3 = 17, remainder 6, 5.
    std::string m = Doc("1200000007");
    EXPECT_EQ(m.rfind("[Erro: 26] ", 0), 0u);
    EXPECT_NE(m.find("(entre 1970 e 2011)"), std::string::npos);
    EXPECT_EQ(Doc("1100000005"), "");
    EXPECT_EQ(Doc("0000000000"), Erro("17"));
    EXPECT_EQ(Doc("123"), Erro("18"));
    dm->ModoSilencioso = true;
    EXPECT_EQ(Doc("123"), Erro("19"));
    dm->ModoSilencioso = false;
    EXPECT_EQ(Doc("7000000003"), Erro("21"));
    EXPECT_EQ(Doc("47000000008"), Erro("23"));
    EXPECT_EQ(Doc("4A000000003"), Erro("22"));
    Define("DocumentoOrigem", std::string("47000A00007"));
    EXPECT_THROW(Valida("DocumentoOrigem"), EConvertError);
    EXPECT_EQ(Doc("X700000000"), Erro("20"));
    // 37000000007 would need prefix 2 or 4: Modulo11(3700000000) = 14 + 9 = 23, remainder 1, 0.
    EXPECT_EQ(Doc("37000000000"), Erro("24"));
    // A courier request skips the format.
    dm->CodigoCourier = "5";
    EXPECT_EQ(Doc("123"), "");
}

// Documents of 12 (PB) and 14 (RN) digits have bases beyond 32 bits: they are read whole.
TEST(DigitosVerificadores, RestoDe97DeBasesLongas) {
    EXPECT_EQ(Resto97("9876543210"), "06");  // (9876543210 - 100) mod 97
    EXPECT_EQ(Resto97("987654321098"), "25");
    EXPECT_EQ(Resto97("123456789012345678"), "65");
    EXPECT_EQ(Resto97("1234567890123456789012"), "18");  // beyond 64 bits, digit by digit
    EXPECT_EQ(ClasseDocumento("98765432109825", 14), 2);
    EXPECT_THROW(Resto97("12a"), EConvertError);
}

TEST(DigitosVerificadores, RotinasNasFronteiras) {
    EXPECT_EQ(Modulo11Pesos2a11("0"), "1");  // remainder 0 gives 1
    EXPECT_EQ(Modulo11Resto1("0", 9), "0");
    EXPECT_EQ(Modulo11Resto1("5", 9), "1");  // 10 mod 11 = 10 -> 1
    EXPECT_EQ(Resto97("5"), "-95");          // (5 - 100) mod 97 keeps the sign
    EXPECT_EQ(Resto97("100"), "00");
    EXPECT_EQ(Modulo10("5", true), "9");  // 10 counts 1 + 0
    EXPECT_EQ(Modulo10("5", false), "0");
    EXPECT_FALSE(ConfereTipo22("2001" + std::string(14, '0')));
    EXPECT_THROW(Modulo10("1a", true), EConvertError);
}

}  // namespace
