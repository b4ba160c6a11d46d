// The cents of a slip are the same wherever they are read: the sum check, the amount inside the
// barcode, the typeable line, the money text of the boxes and the replies.

#include <gtest/gtest.h>

#include <memory>
#include <random>

#include "Clock.h"
#include "Conversoes.h"
#include "Dialogs.h"
#include "Digitos.h"
#include "LinhaDigitavel.h"
#include "Requisicao.h"
#include "TabelasDeTeste.h"

using namespace kova;
using namespace kova::teste;

namespace {

// Cents of a decimal text "int,frac" rounded half up as written, by plain digit arithmetic.
long long CentavosDoTexto(const std::string& texto) {
    const size_t virgula = texto.find(',');
    std::string fracao = virgula == std::string::npos ? "" : texto.substr(virgula + 1);
    long long centavos = std::stoll(texto.substr(0, virgula)) * 100;
    fracao.resize(std::max<size_t>(fracao.size(), 3), '0');
    centavos += (fracao[0] - '0') * 10 + (fracao[1] - '0');
    if (fracao[2] >= '5') ++centavos;
    return centavos;
}

std::string MoedaDosCentavos(long long centavos) {
    std::string inteiro = std::to_string(centavos / 100);
    for (int i = int(inteiro.size()) - 3; i > 0; i -= 3) inteiro.insert(size_t(i), ".");
    const long long resto = centavos % 100;
    return inteiro + "," + (resto < 10 ? "0" : "") + std::to_string(resto);
}

double PontoDecimal(std::string texto) {
    const size_t virgula = texto.find(',');
    if (virgula != std::string::npos) texto[virgula] = '.';
    return std::stod(texto);
}

// The barcode's 44 digits read back from the typeable line: each block's own check digit dropped.
std::string ConteudoDaLinha(const std::string& linha) {
    std::string digitos;
    for (char c : linha) {
        if (c >= '0' && c <= '9') digitos += c;
    }
    std::string conteudo;
    for (size_t bloco = 0; bloco + 12 <= digitos.size(); bloco += 12)
        conteudo += digitos.substr(bloco, 11);
    return conteudo;
}

class ValoresRequisicaoTest : public ::testing::Test {
protected:
    void SetUp() override {
        dm = ModuloDeTeste();
        frm = std::make_unique<TfrmDigitar>(*dm);
        FormatSettings().CurrencyString.clear();
    }
    void TearDown() override {
        frm.reset();
        dm.reset();
        Clock::Reset();
    }
    std::string Pede(const std::string& principal, const std::string& total,
                     const std::string& extra = "") {
        frm->Requisicao =
            "UFFAVORECIDA=SP;RECEITA=100048;CICCONTRIBUINTE=11222333000181;REFERENCIA=001;"
            "VALORPRINCIPAL=" +
            principal + ";TOTALRECOLHER=" + total +
            ";DATAVENCIMENTO=25/03/2024;RAZAOSOCIAL=EMPRESA;ENDERECO=RUA A;MUNICIPIO=CAMPINAS;"
            "UF=SP;CEP=13010-000" +
            extra;
        ValidaRequisicao(*frm);
        return frm->Requisicao;
    }
    TField& F(const char* n) { return dm->cdsKOVA.FieldByName(n); }

    ScriptedDialogs dialogs;
    ScopedDialogService servico{dialogs};
    std::unique_ptr<TDM> dm;
    std::unique_ptr<TfrmDigitar> frm;
};

TEST_F(ValoresRequisicaoTest, CentavosIguaisNaChecagemNoCodigoNaLinhaENoTexto) {
    std::mt19937 sorteio(20261209);
    std::uniform_int_distribution<long long> inteiros(0, 99999999);
    std::uniform_int_distribution<int> casas(0, 4), digito(0, 9);
    for (int i = 0; i < 10000; ++i) {
        std::string texto = std::to_string(inteiros(sorteio));
        const int n = casas(sorteio);
        if (n > 0) texto += ',';
        for (int c = 0; c < n; ++c) texto += char('0' + digito(sorteio));
        const long long centavos = CentavosDoTexto(texto);
        if (centavos == 0) continue;  // a total of zero is refused on its own
        SCOPED_TRACE(texto);

        const std::string r = Pede(texto, texto);
        ASSERT_EQ(r.substr(44, 13), ";Retorno=000;") << r;
        const std::string codigo = r.substr(0, 44);
        ASSERT_EQ(codigo.substr(4, 11), CompletaEsquerda(std::to_string(centavos), "0", 11));
        ASSERT_EQ(ConteudoDaLinha(LinhaDigitavel(codigo)), codigo);
        ASSERT_EQ(std::llround(F("TotalRecolher").AsFloat() * 100), centavos);
        ASSERT_EQ(F("ValorPrincipal").AsFloat(), F("TotalRecolher").AsFloat());
        ASSERT_EQ(FormatarMoeda(F("TotalRecolher").AsFloat()), MoedaDosCentavos(centavos));
        ASSERT_EQ(FormatarMoeda(Arredonda(2, PontoDecimal(texto))), MoedaDosCentavos(centavos));
    }
}

TEST_F(ValoresRequisicaoTest, TotalDeOutrosCentavosRecusadoComOsCentavosDeCada) {
    // 9,995 is 9,99499... in binary: it is 10,00 in the check, the barcode and the boxes alike.
    std::string r = Pede("10,00", "9,995");
    ASSERT_EQ(r.substr(44, 13), ";Retorno=000;") << r;
    EXPECT_EQ(r.substr(4, 11), "00000001000");
    EXPECT_EQ(F("TotalRecolher").AsString(), "10");
    // 0,125 is 0,13: against 0,12 the reply names two different amounts.
    r = Pede("0,12", "0,125");
    EXPECT_EQ(r.rfind("Retorno=001;Mensagem_Retorno=[Erro: 114] ", 0), 0u) << r;
    EXPECT_NE(r.find("Informado: 0,13\rSoma [06,07,08 e 09]: 0,12"), std::string::npos) << r;
    // Amounts below a cent are no cents at all.
    r = Pede("0,001", "0,001");
    EXPECT_NE(r.find("[Erro: 110]"), std::string::npos) << r;
    // The examples of the sum rule still hold.
    EXPECT_EQ(Pede("100,00", "100,004").substr(44, 13), ";Retorno=000;");
    EXPECT_NE(Pede("100,00", "100,01").find("[Erro: 114]"), std::string::npos);
    // Charges held as well: 1,005 + 2,005 is 1,01 + 2,01.
    r = Pede("1,005;JUROS=2,005", "3,02");
    ASSERT_EQ(r.substr(44, 13), ";Retorno=000;") << r;
    EXPECT_EQ(F("Juros").AsString(), "2,01");
}

TEST_F(ValoresRequisicaoTest, RespostaHospedadaComOsCentavosGuardados) {
    dialogs.ResponderDialogo(true);  // the payment date
    frm->Requisicao =
        "UFFAVORECIDA=SP;RECEITA=100048;CICCONTRIBUINTE=11222333000181;REFERENCIA=001;"
        "VALORPRINCIPAL=1,005;JUROS=9,995;TOTALRECOLHER=11,01;DATAVENCIMENTO=25/03/2024;"
        "RAZAOSOCIAL=EMPRESA;ENDERECO=RUA A;MUNICIPIO=CAMPINAS;UF=SP;CEP=13010-000";
    frm->OnExibirModal = [this] { frm->btnSalvarClick(); };
    ASSERT_TRUE(ProcessaRequisicao(*frm)) << frm->Requisicao;
    const std::string& r = frm->Requisicao;
    EXPECT_NE(r.find(";ValorPrincipal=1,01;"), std::string::npos) << r;
    EXPECT_NE(r.find(";Juros=10;"), std::string::npos) << r;
    EXPECT_NE(r.find(";TotalRecolher=11,01;"), std::string::npos) << r;
}

TEST_F(ValoresRequisicaoTest, EstadosGuardadosEmMaiusculas) {
    frm->Requisicao =
        "UFFAVORECIDA=sp;RECEITA=100048;CICCONTRIBUINTE=11222333000181;REFERENCIA=001;"
        "VALORPRINCIPAL=5;TOTALRECOLHER=5;DATAVENCIMENTO=25/03/2024;RAZAOSOCIAL=EMPRESA;"
        "ENDERECO=RUA A;MUNICIPIO=CAMPINAS;UF=sp;CEP=13010-000";
    ValidaRequisicao(*frm);
    ASSERT_EQ(frm->Requisicao.substr(44, 13), ";Retorno=000;") << frm->Requisicao;
    EXPECT_EQ(F("UFFavorecida").AsString(), "SP");
    EXPECT_EQ(F("UF").AsString(), "SP");
}

// The barcode of revenue 100048 (layout 1) packs the taxpayer's digits; layout 16 does not.
TEST_F(ValoresRequisicaoTest, CNPJComLetrasSoOndeOCodigoNaoLevaOContribuinte) {
    Inserir(dm->cdsReceita, {{"Codigo", T("100021")},
                             {"Descricao", T("Taxa")},
                             {"CodigoBarra", int32_t(2)},
                             {"LayoutCodigoBarra", 16.0},
                             {"TipoDocumento", T("0")}});
    auto pedido = [&](const char* receita, const char* cnpj) {
        frm->Requisicao =
            std::string("UFFAVORECIDA=SP;RECEITA=") + receita + ";CICCONTRIBUINTE=" + cnpj +
            ";REFERENCIA=001;VALORPRINCIPAL=5;TOTALRECOLHER=5;DATAVENCIMENTO=25/03/2024;"
            "RAZAOSOCIAL=EMPRESA;ENDERECO=RUA A;MUNICIPIO=CAMPINAS;UF=SP;CEP=13010-000";
        ValidaRequisicao(*frm);
        return frm->Requisicao.substr(0, frm->Requisicao.find(";CRC="));
    };
    EXPECT_EQ(pedido("100048", "12ABC34501DE35"),
              "Retorno=001;Mensagem_Retorno=O código de barras da receita 100048 leva os dígitos "
              "do CNPJ/CPF do "
              "contribuinte e não comporta um CNPJ com letras");
    EXPECT_EQ(dm->cdsKOVA.RecordCount(), 0);
    EXPECT_EQ(pedido("100048", "12ABC34501DE25"),
              "Retorno=001;Mensagem_Retorno=[Erro: 11] CNPJ inválido");
    const std::string aceita = pedido("100021", "12abc34501de35");  // capitals once stored
    ASSERT_EQ(aceita.substr(44), ";Retorno=000;Mensagem_Retorno=KOVA Validada com sucesso")
        << aceita;
    EXPECT_EQ(F("CICContribuinte").AsString(), "12ABC34501DE35");
}

}  // namespace
