#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

#include "Clock.h"
#include "Dialogs.h"
#include "Errors.h"
#include "Predicados.h"
#include "Requisicao.h"
#include "TabelasDeTeste.h"

using namespace kova;
using namespace kova::teste;

namespace {

class RequisicaoTest : public ::testing::Test {
protected:
    void SetUp() override {
        dm = ModuloDeTeste();
        frm = std::make_unique<TfrmDigitar>(*dm);
    }
    void TearDown() override {
        frm.reset();
        dm.reset();
        Clock::Reset();
    }
    std::string Pede(const std::string& r) {
        frm->Requisicao = r;
        ValidaRequisicao(*frm);
        return frm->Requisicao;
    }
    static std::string Valida(const std::string& extra) {
        return "UFFAVORECIDA=SP;RECEITA=100048;CICCONTRIBUINTE=11222333000181;REFERENCIA=001;"
               "VALORPRINCIPAL=100,00;TOTALRECOLHER=100,00;DATAVENCIMENTO=25/03/"
               "2024;RAZAOSOCIAL=EMPRESA;"
               "ENDERECO=RUA A;MUNICIPIO=CAMPINAS;UF=SP;CEP=13010-000" +
               extra;
    }
    TField& F(const char* n) { return dm->cdsKOVA.FieldByName(n); }

    ScriptedDialogs dialogs;
    ScopedDialogService servico{dialogs};
    std::unique_ptr<TDM> dm;
    std::unique_ptr<TfrmDigitar> frm;
};

TEST_F(RequisicaoTest, KOVAGuardadaComCodigoCarimboESituacaoA) {
    Clock::Set(MakeDateTime(2024, 3, 15, 11, 30));
    const std::string r = Pede(Valida(""));
    ASSERT_EQ(r.substr(44, 13), ";Retorno=000;") << r;
    EXPECT_EQ(frm->QtdeIncluidas, 1);
    EXPECT_EQ(dm->cdsKOVA.State(), TDataSetState::dsBrowse);
    EXPECT_EQ(F("CodigoBarra").AsString(), r.substr(0, 44));
    EXPECT_EQ(F("Situacao").AsString(), "A");
    EXPECT_EQ(F("DataHora").AsString(), "15/03/2024 11:30:00");
    EXPECT_TRUE(dm->ModoBiblioteca && dm->ModoSilencioso);
    EXPECT_EQ(r.substr(r.find(";CRC=") + 5), frm->Checksum.StringCRC(r.substr(0, r.find(";CRC="))));
    EXPECT_TRUE(dialogs.History().empty());
}

TEST_F(RequisicaoTest, PagamentoAntesDoVencimentoFicaNoVencimento) {
    Pede(Valida(";DATAPAGAMENTO=20/03/2024"));
    EXPECT_EQ(F("DataPagamento").AsString(), "25/03/2024");
    // A later payment stays, with the charges it needs; a key given twice keeps its last value.
    const std::string r = Pede(Valida(";DATAPAGAMENTO=28/03/2024;JUROS=1,00;TOTALRECOLHER=101,00"));
    ASSERT_EQ(r.substr(44, 13), ";Retorno=000;") << r;
    EXPECT_EQ(F("DataPagamento").AsString(), "28/03/2024");
    EXPECT_EQ(F("TotalRecolher").AsString(), "101");
}

TEST_F(RequisicaoTest, ItemQueFalhaEncerraSemGuardarNada) {
    const std::string r =
        Pede("UFFAVORECIDA=SP;RECEITA=100048;CICCONTRIBUINTE=12345678901;RAZAOSOCIAL=ALGUEM;UF=SP");
    EXPECT_EQ(r.substr(0, r.find(";CRC=")), "Retorno=001;Mensagem_Retorno=[Erro: 9] CPF inválido");
    EXPECT_EQ(r.back(), ';');
    EXPECT_EQ(dm->cdsKOVA.RecordCount(), 0);
    EXPECT_EQ(dm->cdsKOVA.State(), TDataSetState::dsBrowse);
    EXPECT_EQ(dm->UltimoIdKOVA, 0);
}

// The numbering at its greatest: the request is refused with the reason, as any refused slip.
TEST_F(RequisicaoTest, NumeracaoNoMaiorNumeroResponde001ComAMensagem) {
    Clock::Set(MakeDateTime(2024, 3, 15, 11, 30));
    dm->UltimoIdKOVA = kMaiorIdKOVA - 1;
    std::string r = Pede(Valida(""));
    ASSERT_EQ(r.substr(44, 13), ";Retorno=000;") << r;
    EXPECT_EQ(F("IdKOVA").AsInteger(), kMaiorIdKOVA);
    r = Pede(Valida(""));
    const std::string texto = r.substr(0, r.find(";CRC="));
    EXPECT_EQ(texto,
              "Retorno=001;Mensagem_Retorno=Não é possível incluir uma nova KOVA: a última KOVA "
              "tem o número 2147483647, o maior que a numeração das KOVA permite.");
    EXPECT_EQ(r.substr(r.find(";CRC=") + 5), frm->Checksum.StringCRC(texto));
    EXPECT_EQ(frm->QtdeIncluidas, 0);
    EXPECT_EQ(dm->cdsKOVA.RecordCount(), 1);
    EXPECT_EQ(dm->cdsKOVA.State(), TDataSetState::dsBrowse);
    EXPECT_EQ(dm->UltimoIdKOVA, kMaiorIdKOVA);
}

// A favoured state the tables do not have is refused before a slip is opened: the reply, the
// numbering and the slips are those of a slip opened and cancelled. The state is read as the field
// would hold it (capitals, cut to its two letters), and a numbering at its end still says so first.
TEST_F(RequisicaoTest, EstadoFavorecidoDesconhecidoRecusadoSemAbrirKOVA) {
    const std::string desconhecido =
        "Retorno=001;Mensagem_Retorno=[Erro: 2] Informe UF Favorecida v\xE1lida";
    std::string r =
        Pede("UFFAVORECIDA=XX;RECEITA=100048;CICCONTRIBUINTE=11222333000181;UF=SP;CEP=1");
    EXPECT_EQ(r.substr(0, r.find(";CRC=")), desconhecido);
    EXPECT_EQ(r.back(), ';');
    EXPECT_EQ(dm->UltimoErro, desconhecido.substr(29));
    EXPECT_EQ(dm->cdsKOVA.State(), TDataSetState::dsBrowse);
    EXPECT_EQ(dm->UltimoIdKOVA, 0);
    // The last of a key given twice is the one judged, wherever it stands.
    r = Pede("CEP=1;UFFAVORECIDA=SP;RECEITA=100048;UF=SP;UFFAVORECIDA= xx ;RAZAOSOCIAL=A");
    EXPECT_EQ(r.substr(0, r.find(";CRC=")), desconhecido);
    // "sp" and "SPX" are SP.
    r = Pede(Valida(";UFFAVORECIDA= spx"));
    ASSERT_EQ(r.substr(44, 13), ";Retorno=000;") << r;
    EXPECT_EQ(F("UFFavorecida").AsString(), "SP");
    // No number left: the opening of the slip refuses first.
    dm->UltimoIdKOVA = kMaiorIdKOVA;
    r = Pede("UFFAVORECIDA=XX;RECEITA=100048;CICCONTRIBUINTE=11222333000181;UF=SP;CEP=1");
    EXPECT_NE(r.find("Mensagem_Retorno=Não é possível incluir uma nova KOVA"), std::string::npos)
        << r;
}

TEST_F(RequisicaoTest, FalhaNoArmazenamentoResponde001ComAMensagem) {
    // Every field passes as it is given; the whole-record check finds the missing address.
    const std::string r = Pede(
        "UFFAVORECIDA=SP;RECEITA=100048;CICCONTRIBUINTE=11222333000181;REFERENCIA=001;"
        "VALORPRINCIPAL=100,00;TOTALRECOLHER=100,00;DATAVENCIMENTO=25/03/2024;RAZAOSOCIAL=X");
    EXPECT_EQ(r.substr(0, r.find(";CRC=")),
              "Retorno=001;Mensagem_Retorno=[Erro: 125] Informe endereço");
    EXPECT_NE(r.back(), ';');
    EXPECT_EQ(dm->cdsKOVA.RecordCount(), 0);
}

TEST_F(RequisicaoTest, ValorQueOCampoNaoAceitaLevantaFalhaECancela) {
    frm->Requisicao = Valida(";JUROS=abc");
    EXPECT_THROW(ValidaRequisicao(*frm), EConvertError);
    EXPECT_EQ(dm->cdsKOVA.State(), TDataSetState::dsBrowse);
    EXPECT_EQ(dm->cdsKOVA.RecordCount(), 0);
}

// The items of a request in every order they can be turned to: the reply is always the one the
// slip's field order gives, refusal or barcode, byte for byte.
TEST_F(RequisicaoTest, MesmaRespostaEmQualquerOrdemDosItens) {
    Regra(*dm, "SP", "000000", "FE", "S");
    Regra(*dm, "SP", "100080", "MC", "Receita 10008-0 não pode ser recolhida com CPF.");
    Inserir(dm->cdsReceita, {{"Codigo", T("100080")},
                             {"Descricao", T("ICMS especial")},
                             {"CodigoBarra", int32_t(8)},
                             {"Referencia", T("P")},
                             {"LayoutCodigoBarra", 18.0},
                             {"TipoDocumento", T("0")}});
    auto itens = [](const std::string& r) { return DivideTexto(';', r); };
    const std::string base = Valida("");
    struct Caso {
        std::string pedido;
        std::string inicio;  // what every reply begins with
    };
    const std::vector<Caso> casos = {
        {base, ""},  // accepted: the due date may come before the revenue
        {base + ";JUROS=5,00", "Retorno=001;Mensagem_Retorno=[Erro: 114] "},
        // A principal of zero and the fine that follows it: their total is judged once both are in.
        {"UFFAVORECIDA=SP;RECEITA=100048;CICCONTRIBUINTE=11222333000181;REFERENCIA=001;"
         "VALORPRINCIPAL=0,00;"
         "MULTA=10,00;TOTALRECOLHER=10,00;DATAVENCIMENTO=25/03/"
         "2024;RAZAOSOCIAL=E;ENDERECO=R;MUNICIPIO=M;UF=SP;"
         "CEP=13010-000",
         ""},
        {"UFFAVORECIDA=SP;RECEITA=100048;CICCONTRIBUINTE=11222333000181;REFERENCIA=001;"
         "VALORPRINCIPAL=100,00;"
         "TOTALRECOLHER=100,00;DATAVENCIMENTO=23/03/"
         "2024;RAZAOSOCIAL=E;ENDERECO=R;MUNICIPIO=M;UF=SP;CEP=13010-000",
         "Retorno=001;Mensagem_Retorno=[Erro: 138] "},
        {"UFFAVORECIDA=SP;RECEITA=100080;CICCONTRIBUINTE=11144477735;REFERENCIA=001;VALORPRINCIPAL="
         "100,00;"
         "TOTALRECOLHER=100,00;DATAVENCIMENTO=25/03/"
         "2024;RAZAOSOCIAL=E;ENDERECO=R;MUNICIPIO=M;UF=SP;CEP=13010-000",
         "Retorno=001;Mensagem_Retorno=Receita 10008-0 não pode ser recolhida com CPF."},
        // 2400000009: a regular declaration of 2024 (Modulo11 of 2240000000 is 9), a 2023
        // reference.
        {"UFFAVORECIDA=SP;RECEITA=100056;CICCONTRIBUINTE=11222333000181;DOCUMENTOORIGEM=2400000009;"
         "REFERENCIA=1012023;VALORPRINCIPAL=100,00;TOTALRECOLHER=100,00;DATAVENCIMENTO=25/03/"
         "2024;RAZAOSOCIAL=E;"
         "ENDERECO=R;MUNICIPIO=M;UF=SP;CEP=13010-000",
         "Retorno=001;Mensagem_Retorno=[Erro: 149] "},
    };
    for (const Caso& c : casos) {
        std::vector<std::string> ordem = itens(c.pedido);
        const std::string primeira = Pede(c.pedido);
        EXPECT_EQ(primeira.rfind(c.inicio, 0), 0u) << primeira;
        if (c.inicio.empty()) {
            EXPECT_EQ(primeira.substr(44, 13), ";Retorno=000;") << primeira;
        }
        for (size_t volta = 1; volta < ordem.size(); ++volta) {
            std::rotate(ordem.begin(), ordem.begin() + 1, ordem.end());
            std::string r;
            for (const std::string& i : ordem) r += (r.empty() ? "" : ";") + i;
            EXPECT_EQ(Pede(r), primeira) << r;
        }
    }
}

// A key given more than once counts with its last value; an empty value changes nothing.
TEST_F(RequisicaoTest, ChaveRepetidaValeOUltimoValor) {
    std::string r = Pede("TOTALRECOLHER=100,00;" + Valida(";JUROS=1,00;TOTALRECOLHER=101,00"));
    ASSERT_EQ(r.substr(44, 13), ";Retorno=000;") << r;
    r = Pede(Valida(";JUROS=1,00;TOTALRECOLHER=101,00;JUROS="));
    EXPECT_EQ(r.substr(44, 13), ";Retorno=000;") << r;
    EXPECT_EQ(F("Juros").AsString(), "1");
}

TEST_F(RequisicaoTest, CourierDaImportacao) {
    Pede(Valida(";EMPRESACOURIER=5"));
    EXPECT_EQ(dm->CodigoCourier, "5");
    const std::string r = Pede(Valida(";EMPRESACOURIER=05X"));  // the first two characters count
    EXPECT_EQ(dm->CodigoCourier, "5");
    EXPECT_NE(r.find("[Erro: 135]"), std::string::npos) << r;  // courier only with revenue 10005-6
}

}  // namespace

// The hosted request without a screen: the person's part is played on the form itself.
class HospedadaTest : public RequisicaoTest {
protected:
    std::string Hospeda(const std::string& r, std::function<void()> pessoa) {
        frm->Requisicao = r;
        frm->OnExibirModal = std::move(pessoa);
        ProcessaRequisicao(*frm);
        return frm->Requisicao;
    }
};

TEST_F(HospedadaTest, RespostaComCadaCampoDaKOVAGuardada) {
    Inserir(dm->cdsUFProduto, {{"UF", T("SP")},
                               {"Receita", T("100048")},
                               {"Produto", int32_t(7)},
                               {"Descricao", T("  Leite  ")}});
    dialogs.ResponderDialogo(true);  // the payment date, since the request names a due date
    const std::string r = Hospeda(Valida(";PRODUTO=7;JUROS=2,5"), [this] {
        EXPECT_TRUE(frm->Visivel && frm->TimerAtivo);
        EXPECT_EQ(dm->PedirDataPagamento, 1);
        frm->btnSalvarClick();
    });
    const std::string texto = r.substr(0, r.find(";CRC="));
    EXPECT_EQ(texto.substr(0, 40), "IdKOVA=1;UFFavorecida=SP;Receita=100048;");
    EXPECT_NE(texto.find(";Juros=2,5;"), std::string::npos) << texto;
    EXPECT_NE(texto.find(";DataVencimento=25/03/2024;"), std::string::npos) << texto;
    EXPECT_NE(texto.find(";Situacao=N;DataHora=;Produto_Descricao=Leite;Retorno=000;"),
              std::string::npos)
        << texto;
    EXPECT_EQ(r.substr(r.find(";CRC=") + 5), frm->Checksum.StringCRC(texto));
    EXPECT_FALSE(dm->cdsUFProduto.Filtered());
    EXPECT_EQ(frm->QtdeIncluidas, 1);
}

TEST_F(HospedadaTest, CanceladaDevolveARequisicaoEAFalha) {
    const std::string pedido = Valida("");
    const std::string r = Hospeda(pedido, [this] { frm->btnDesfazerClick(); });
    EXPECT_EQ(r.substr(0, r.find(";CRC=")),
              pedido + ";Retorno=001;Mensagem_Retorno=KOVA não incluída");
    EXPECT_EQ(dm->cdsKOVA.RecordCount(), 0);
    EXPECT_FALSE(frm->Visivel);
}

TEST_F(HospedadaTest, ValorImpossivelDeixaAKOVAAbertaParaAProxima) {
    // Applied in the slip's field order: the taxpayer before the due date that cannot be a date.
    frm->Requisicao =
        "UFFAVORECIDA=SP;DATAVENCIMENTO=31/02/2024;CICCONTRIBUINTE=11222333000181;RECEITA=100048";
    frm->OnExibirModal = [] { FAIL() << "not shown after a raised failure"; };
    EXPECT_THROW(ProcessaRequisicao(*frm), std::exception);
    EXPECT_EQ(dm->cdsKOVA.State(), TDataSetState::dsInsert);
    // The next call shows that slip as it stands, without applying its own request.
    const std::string r = Hospeda("RAZAOSOCIAL=OUTRA", [this] {
        EXPECT_EQ(F("CICContribuinte").AsString(), "11222333000181");
        EXPECT_TRUE(F("RazaoSocial").IsNull());
        EXPECT_FALSE(frm->Controles.Get("dbeCICContribuinte").enabled);
        frm->btnDesfazerClick();
    });
    EXPECT_NE(r.find("RAZAOSOCIAL=OUTRA;Retorno=001;"), std::string::npos);
}

namespace {

// A request for a revenue with a reference period, on a December day.
class DezembroTest : public RequisicaoTest {
protected:
    void SetUp() override {
        Clock::Set(
            MakeDateTime(2026, 12, 9, 10, 0));  // the module and the year picker of this December
        dm = std::make_unique<TDM>();
        dm->AbrirTabelasVazias();
        ReferenciasBasicas(*dm);
        frm = std::make_unique<TfrmDigitar>(*dm);
        Inserir(dm->cdsReceita, {{"Codigo", T("100013")},
                                 {"Descricao", T("ICMS comunicação")},
                                 {"CodigoBarra", int32_t(1)},
                                 {"Referencia", T("D")},
                                 {"LayoutCodigoBarra", 1.0},
                                 {"TipoDocumento", T("0")}});
        Regra(*dm, "SP", "000000", "MA", "KOVA vencida: encargos pela legislação do estado.");
    }
    static std::string Periodo(const std::string& extra) {
        return "UFFAVORECIDA=SP;RECEITA=100013;CICCONTRIBUINTE=11222333000181;VALORPRINCIPAL=100,"
               "00;"
               "TOTALRECOLHER=100,00;DATAVENCIMENTO=15/12/2026;RAZAOSOCIAL=EMPRESA;ENDERECO=RUA A;"
               "MUNICIPIO=CAMPINAS;UF=SP;CEP=13010-000" +
               extra;
    }
};

// Hosted, the person sees the pickers: the default period of this December is saved as shown.
TEST_F(DezembroTest, HospedadaSalvaOPeriodoPadraoDesteMes) {
    dialogs.ResponderDialogo(true);  // the payment date
    frm->Requisicao = Periodo("");
    frm->OnExibirModal = [this] { frm->btnSalvarClick(); };
    ASSERT_TRUE(ProcessaRequisicao(*frm)) << frm->Requisicao;
    EXPECT_NE(frm->Requisicao.find(";Referencia=1122026;"), std::string::npos) << frm->Requisicao;
    EXPECT_NE(frm->Requisicao.find(";Retorno=000;"), std::string::npos) << frm->Requisicao;
}

TEST_F(DezembroTest, PeriodoDadoPassaEAusenteEhPedido) {
    std::string r = Pede(Periodo(";REFERENCIA=1122026"));
    EXPECT_EQ(r.substr(44, 13), ";Retorno=000;") << r;
    EXPECT_EQ(F("Referencia").AsString(), "1122026");
    r = Pede(Periodo(""));
    EXPECT_EQ(r.rfind("Retorno=001;Mensagem_Retorno=[Erro: 76] ", 0), 0u) << r;
    // Next year's period, offered in the December list, is judged as the caller gave it: a period
    // still to come, and one that ends after this slip's due date, whatever order the two came in.
    r = Pede(Periodo(";REFERENCIA=1012027;DATAVENCIMENTO=05/01/2027"));
    EXPECT_EQ(r.substr(0, r.find(";CRC=")),
              "Retorno=001;Mensagem_Retorno=KOVA vencida: encargos pela legislação do estado.");
    r = Pede(Periodo(";REFERENCIA=1012027"));
    EXPECT_EQ(r.rfind("Retorno=001;Mensagem_Retorno=[Erro: 84] ", 0), 0u) << r;
}

}  // namespace

namespace {

// A revenue the state does not offer is refused by the revenue lookup itself, whatever revenue
// the previous request left current.
TEST_F(RequisicaoTest, ReceitaNaoOferecidaMesmaRespostaQualquerQueSejaAAnterior) {
    Regra(*dm, "SP", "100056", "BL", "");
    const std::string bloqueada =
        "UFFAVORECIDA=SP;RECEITA=100056;CICCONTRIBUINTE=11222333000181;"
        "DATAVENCIMENTO=25/03/2024;UF=SP;VALORPRINCIPAL=10;TOTALRECOLHER=10";
    const std::string primeira = Pede(bloqueada);
    EXPECT_EQ(primeira.rfind("Retorno=001;Mensagem_Retorno=[Erro: 117] ", 0), 0u) << primeira;
    ASSERT_EQ(Pede(Valida("")).substr(44, 13), ";Retorno=000;");
    EXPECT_EQ(Pede(bloqueada), primeira);
    dm->cdsReceita.FindKey({"100056"});
    EXPECT_EQ(Pede(bloqueada), primeira);
}

// A slip whose barcode cannot be built from it is answered with the numbered message of the field
// it cannot carry (layout 2 reads the declaration's year from the document), and not kept; a
// fault of the tables themselves is told as such.
TEST_F(RequisicaoTest, CodigoQueNaoSeMontaRespondeOMotivoENaoGuarda) {
    Inserir(dm->cdsReceita, {{"Codigo", T("100080")},
                             {"Descricao", T("Declaração")},
                             {"CodigoBarra", int32_t(8)},
                             {"LayoutCodigoBarra", 2.0},
                             {"TipoDocumento", T("0")}});
    const std::string pedido =
        "UFFAVORECIDA=SP;RECEITA=100080;CICCONTRIBUINTE=11222333000181;VALORPRINCIPAL=5;"
        "TOTALRECOLHER=5;DATAVENCIMENTO=25/03/2024;RAZAOSOCIAL=EMPRESA;ENDERECO=RUA A;"
        "MUNICIPIO=CAMPINAS;UF=SP;CEP=13010-000";
    std::string r = Pede(pedido);
    EXPECT_EQ(r.substr(0, r.find(";CRC=")),
              "Retorno=001;Mensagem_Retorno=[Erro: 15] Informe número do documento origem");
    EXPECT_EQ(r.substr(r.find(";CRC=") + 5), frm->Checksum.StringCRC(r.substr(0, r.find(";CRC="))));
    r = Pede(pedido + ";DOCUMENTOORIGEM=24A0000001");
    EXPECT_EQ(r.substr(0, r.find(";CRC=")),
              "Retorno=001;Mensagem_Retorno=[Erro: 30] Informe apenas campo numérico no documento "
              "origem");
    EXPECT_EQ(dm->cdsKOVA.RecordCount(), 0);
    EXPECT_EQ(frm->QtdeIncluidas, 0);
    Regra(*dm, "SP", "100080", "LY", "dois");
    r = Pede(pedido);
    EXPECT_EQ(r.substr(0, r.find(";CRC=")),
              "Retorno=001;Mensagem_Retorno=Não foi possível calcular o código de barras da KOVA: "
              "O leiaute do "
              "código de barras 'dois' não é um número válido para o código de barras");
    EXPECT_EQ(dm->cdsKOVA.RecordCount(), 0);
}

}  // namespace
