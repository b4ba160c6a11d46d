#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "Clock.h"
#include "Dialogs.h"
#include "Errors.h"
#include "TDM.h"

using namespace kova;

namespace {

using Campos = std::vector<std::pair<const char*, TValue>>;

void Inserir(TDataSet& t, const Campos& campos) {
    t.Append();
    for (const auto& [nome, valor] : campos) t.FieldByName(nome).SetValue(valor);
    t.Post();
}

class TDMTest : public ::testing::Test {
protected:
    void SetUp() override {
        Clock::Set(MakeDateTime(2024, 3, 15, 10, 30));
        dm = std::make_unique<TDM>();
        dm->AbrirTabelasVazias();
    }
    void TearDown() override {
        dm.reset();
        Clock::Reset();
        EXPECT_TRUE(dialogs.Unexpected().empty());
    }

    TDataSet& kova() { return dm->cdsKOVA; }
    TField& F(const char* nome) { return dm->cdsKOVA.FieldByName(nome); }

    ScriptedDialogs dialogs;
    ScopedDialogService servico{dialogs};
    std::unique_ptr<TDM> dm;
};

TEST_F(TDMTest, PrimeiraKOVARecebeNumeroUmECancelarDevolveONumero) {
    dm->ValidadeDocumento = 5;
    kova().Append();
    EXPECT_EQ(F("IdKOVA").AsInteger(), 1);
    EXPECT_EQ(F("Situacao").AsString(), "N");
    EXPECT_EQ(F("DataPagamento").AsDate(), MakeDate(2024, 3, 20));
    EXPECT_EQ(F("SubReceita").AsInteger(), 0);
    EXPECT_EQ(F("TotalRecolher").AsString(), "0");
    EXPECT_FALSE(dm->CriandoRegistro);
    kova().Cancel();
    EXPECT_EQ(dm->UltimoIdKOVA, 0);
    kova().Append();
    EXPECT_EQ(F("IdKOVA").AsInteger(), 1);
    kova().Post();
    kova().Append();
    EXPECT_EQ(F("IdKOVA").AsInteger(), 2);
    kova().Post();
    EXPECT_EQ(dm->UltimoIdKOVA, 2);
    // Cancelling an edit gives nothing back.
    kova().Edit();
    kova().Cancel();
    EXPECT_EQ(dm->UltimoIdKOVA, 2);
}

// The screen linked to the slips table hears of a new slip once, with its defaults in place, and
// of every change made to it afterwards; a refused new slip leaves the table telling its screen.
TEST_F(TDMTest, NovaKOVAChegaAoLigadoUmaVezJaComOsValoresIniciais) {
    TDataSource entrada;
    entrada.SetDataSet(&kova());
    std::vector<std::string> avisos;
    entrada.OnDataChange = [&](TDataSource&, TField* f) {
        avisos.push_back(f ? f->FieldName()
                           : "registro " + F("Situacao").AsString() + " " + F("IdKOVA").AsString());
    };
    kova().Append();
    EXPECT_EQ(avisos, std::vector<std::string>{"registro N 1"});
    F("UF").SetAsString("SP");
    EXPECT_EQ(avisos, (std::vector<std::string>{"registro N 1", "UF"}));
    kova().Cancel();

    dm->UltimoIdKOVA = kMaiorIdKOVA;
    avisos.clear();
    EXPECT_THROW(kova().Append(), ENumeracaoEsgotada);
    EXPECT_FALSE(kova().ControlsDisabled());
    dm->UltimoIdKOVA = 0;
    kova().Append();
    F("UF").SetAsString("RJ");
    EXPECT_EQ(avisos.back(), "UF");
    kova().Cancel();
}

// Past the greatest number a slip's number holds the next one would wrap to a negative number: the
// new slip is refused, the table and the numbering as they were.
TEST_F(TDMTest, NovaKOVAAlemDoMaiorNumeroRecusadaSemMudarANumeracao) {
    dm->UltimoIdKOVA = kMaiorIdKOVA - 1;
    kova().Append();
    EXPECT_EQ(F("IdKOVA").AsInteger(), kMaiorIdKOVA);
    kova().Post();
    try {
        kova().Append();
        ADD_FAILURE() << "a slip numbered " << F("IdKOVA").AsInteger() << " was begun";
    } catch (const ENumeracaoEsgotada& e) {
        EXPECT_EQ(std::string(e.what()),
                  "Não é possível incluir uma nova KOVA: a última KOVA tem o número 2147483647, o "
                  "maior que a numeração das KOVA permite.");
    }
    EXPECT_EQ(kova().State(), TDataSetState::dsBrowse);
    EXPECT_EQ(dm->UltimoIdKOVA, kMaiorIdKOVA);
    EXPECT_EQ(kova().RecordCount(), 1);
    // Removing the last slip gives its number back, as always.
    kova().Delete();
    dm->UltimoIdKOVA = kMaiorIdKOVA - 1;
    kova().Append();
    EXPECT_EQ(F("IdKOVA").AsInteger(), kMaiorIdKOVA);
    kova().Cancel();
}

TEST_F(TDMTest, ValidacaoDoRegistroSoAtuaAntesDeGravar) {
    std::vector<bool> respostas{true, false};
    int chamadas = 0;
    dm->CriticaTodos = [&](TDataSet&) { return respostas[size_t(chamadas++)]; };
    kova().Append();
    EXPECT_THROW(kova().Post(), EAbort);  // a failed check stops the save silently
    EXPECT_EQ(kova().State(), TDataSetState::dsInsert);
    EXPECT_TRUE(dialogs.History().empty());
    Clock::Set(MakeDateTime(2024, 3, 15, 11, 0, 5));
    kova().Post();
    EXPECT_EQ(chamadas, 2);
    EXPECT_EQ(F("DataHora").AsString(), "15/03/2024 11:00:05");
}

TEST_F(TDMTest, EmImportacaoAFalhaDaValidacaoChegaAQuemImporta) {
    dm->ModoImportacao = true;
    dm->CriticaTodos = [](TDataSet&) -> bool { throw Exception("[Erro: 1] Informe a UF"); };
    kova().Append();
    EXPECT_THROW(kova().Post(), Exception);
    EXPECT_EQ(kova().State(), TDataSetState::dsInsert);
}

TEST_F(TDMTest, EditarKOVAImpressaATornaAlterada) {
    kova().Append();
    kova().Post();
    dm->MarcaImpressa();
    EXPECT_EQ(F("Situacao").AsString(), "I");
    kova().Edit();
    EXPECT_EQ(F("Situacao").AsString(), "A");
    kova().Post();
    EXPECT_EQ(F("Situacao").AsString(), "A");
}

TEST_F(TDMTest, TextoDosValoresArredondaERecusaComAMensagemExata) {
    kova().Append();
    F("ValorPrincipal").SetText("");
    EXPECT_DOUBLE_EQ(F("ValorPrincipal").AsFloat(), 0);
    F("ValorPrincipal").SetText("0,125");
    EXPECT_EQ(F("ValorPrincipal").AsString(), "0,13");
    F("Juros").SetText("0,124");
    EXPECT_EQ(F("Juros").AsString(), "0,12");
    auto mensagem = [&](const char* campo, const char* texto) {
        try {
            F(campo).SetText(texto);
        } catch (const Exception& e) {
            return e.Message();
        }
        return std::string("(aceito)");
    };
    EXPECT_EQ(mensagem("Multa", "-1"), "Valor negativo não é permitido: -1");
    EXPECT_EQ(mensagem("TotalRecolher", "1.234,56"), "Valor não é um número válido: 1.234,56");
    EXPECT_EQ(mensagem("AtualizacaoMonetaria", "abc"), "Valor não é um número válido: abc");
    EXPECT_EQ(mensagem("ValorPrincipal", "-0,5"), "Valor negativo não é permitido: -0,5");
    EXPECT_EQ(F("ValorPrincipal").AsString(), "0,13");  // the field keeps its value
    kova().Cancel();
}

TEST_F(TDMTest, CamposCalculadosDosEstados) {
    Inserir(dm->cdsUF, {{"UF", std::string("SP")},
                        {"Descricao", std::string("São Paulo")},
                        {"Codigo", int32_t(261)},
                        {"Conveniada", std::string("s")},
                        {"CodigoBarraVencidos", std::string("N")}});
    Inserir(dm->cdsUF, {{"UF", std::string("AC")},
                        {"Descricao", std::string("Acre")},
                        {"Codigo", int32_t(5)},
                        {"Conveniada", std::string("S")},
                        {"CodigoBarraVencidos", std::string("s")}});
    Inserir(dm->cdsUF, {{"UF", std::string("MG")},
                        {"Codigo", int32_t(10)},
                        {"Conveniada", std::string("n")},
                        {"CodigoBarraVencidos", std::string("S")}});
    Inserir(dm->cdsUF, {{"UF", std::string("RJ")},
                        {"Codigo", int32_t(10)},
                        {"Conveniada", std::string("x")},
                        {"CodigoBarraVencidos", std::string("S")}});
    Inserir(dm->cdsUF, {{"UF", std::string("PR")},
                        {"Codigo", int32_t(10)},
                        {"Conveniada", std::string("S")},
                        {"CodigoBarraVencidos", std::string("?")}});
    struct Esperado {
        const char *uf, *digito, *descricao, *imprime, *vencido;
    };
    for (const Esperado& e :
         {Esperado{"SP", "26-1", "26-1 São Paulo", "SIM", "NÃO"},
          Esperado{"AC", "00-5", "00-5 Acre", "SIM", "Sim"},
          Esperado{"MG", "01-0", "01-0 ", "Não", ""}, Esperado{"RJ", "01-0", "01-0 ", "", ""},
          Esperado{"PR", "01-0", "01-0 ", "SIM", ""}}) {
        SCOPED_TRACE(e.uf);
        ASSERT_TRUE(dm->cdsUF.FindKey({e.uf}));
        EXPECT_EQ(dm->cdsUF.FieldByName("CodigoDigito").AsString(), e.digito);
        EXPECT_EQ(dm->cdsUF.FieldByName("UFDescricao").AsString(), e.descricao);
        EXPECT_EQ(dm->cdsUF.FieldByName("ImprimeCodigoBarras").AsString(), e.imprime);
        EXPECT_EQ(dm->cdsUF.FieldByName("ImprimeCodigoBarrasVencido").AsString(), e.vencido);
    }
}

class ReceitasTest : public TDMTest {
protected:
    void SetUp() override {
        TDMTest::SetUp();
        Inserir(
            dm->cdsUF,
            {{"UF", std::string("SP")}, {"Codigo", int32_t(261)}, {"CodigoBarra", int32_t(27)}});
        Inserir(
            dm->cdsUF,
            {{"UF", std::string("MG")}, {"Codigo", int32_t(311)}, {"CodigoBarra", int32_t(14)}});
        Inserir(dm->cdsReceita, {{"Codigo", std::string("100056")},
                                 {"Descricao", std::string("ICMS importação")},
                                 {"CodigoBarra", int32_t(5)},
                                 {"Referencia", std::string("D")},
                                 {"LayoutCodigoBarra", 3.0}});
        Inserir(dm->cdsReceita, {{"Codigo", std::string("100048")},
                                 {"Descricao", std::string("ICMS consumidor")},
                                 {"CodigoBarra", int32_t(4)},
                                 {"Referencia", std::string("p")},
                                 {"LayoutCodigoBarra", 1.0}});
        Regra("SP", "100056", "T", "ICMS importação paulista");
        Regra("SP", "100056", "LY", "12");
        Regra("MG", "100056", "LY", "doze");
        Regra("MG", "100048", "BL", "");
        Regra("SP", "100048", "RE", "D");
    }
    void Regra(const char* uf, const char* receita, const char* flag, const char* texto) {
        Inserir(dm->cdsUFReceita, {{"UF", std::string(uf)},
                                   {"Receita", std::string(receita)},
                                   {"Flag", std::string(flag)},
                                   {"Texto", std::string(texto)}});
    }
    void NovaKOVA(const char* uf, const char* receita) {
        kova().Append();
        F("UFFavorecida").SetAsString(uf);
        F("Receita").SetAsString(receita);
    }
};

TEST_F(ReceitasTest, CodigoComDigitoELayoutSoNaConsulta) {
    ASSERT_TRUE(dm->cdsReceita.FindKey({"100056"}));
    EXPECT_EQ(dm->cdsReceita.FieldByName("CodigoDigito").AsString(), "10005-6");
    EXPECT_EQ(dm->cdsReceita.FieldByName("LayoutCodigoBarra2").AsString(), "");
    dm->ModoConsultaUFReceita = true;
    dm->cdsUF.FindKey({"SP"});
    dm->cdsReceita.FindKey({"100056"});
    EXPECT_EQ(dm->cdsReceita.FieldByName("LayoutCodigoBarra2").AsString(), "027.05.012");
    dm->cdsReceita.FindKey({"100048"});
    EXPECT_EQ(dm->cdsReceita.FieldByName("LayoutCodigoBarra2").AsString(), "027.04.001");
    // A rule text that is not a number leaves the column empty, without a message.
    dm->cdsUF.FindKey({"MG"});
    dm->cdsReceita.FindKey({"100056"});
    EXPECT_EQ(dm->cdsReceita.FieldByName("LayoutCodigoBarra2").AsString(), "");
    EXPECT_TRUE(dialogs.History().empty());
}

TEST_F(ReceitasTest, DescricaoSegueARedacaoDoEstadoDaKOVA) {
    dm->cdsReceita.FindKey({"100056"});
    TField& descricao = dm->cdsReceita.FieldByName("Descricao");
    NovaKOVA("SP", "100056");
    EXPECT_EQ(descricao.DisplayText(), "ICMS importação paulista");
    EXPECT_EQ(descricao.Text(), "ICMS importação paulista");
    F("UFFavorecida").SetAsString("MG");
    EXPECT_EQ(descricao.DisplayText(), "ICMS importação");
    EXPECT_EQ(descricao.AsString(), "ICMS importação");
    kova().Cancel();
}

TEST_F(ReceitasTest, FiltroDeReceitasEscondeAsBloqueadasNoEstado) {
    NovaKOVA("MG", "");
    dm->cdsReceita.SetFiltered(true);
    EXPECT_EQ(dm->cdsReceita.RecordCount(), 1);
    EXPECT_FALSE(dm->cdsReceita.FindKey({"100048"}));
    F("UFFavorecida").SetAsString("SP");
    dm->cdsReceita.Refresh();
    EXPECT_EQ(dm->cdsReceita.RecordCount(), 2);
    // The state browser filters by the browsed state instead of the slip's.
    dm->ModoConsultaUFReceita = true;
    dm->cdsUF.FindKey({"MG"});
    EXPECT_EQ(dm->cdsReceita.RecordCount(), 1);
    kova().Cancel();
}

TEST_F(ReceitasTest, TipoReferenciaDaRegraREOuDaReceita) {
    NovaKOVA("SP", "100048");
    dm->cdsReceita.FindKey({"100048"});
    EXPECT_EQ(dm->TipoReferencia(), "D");
    F("UFFavorecida").SetAsString("MG");
    EXPECT_EQ(dm->TipoReferencia(), "p");
    kova().Cancel();
}

TEST_F(ReceitasTest, FiltroDeSubcodigosProcuraDoQuartoCaractereEmDiante) {
    for (int s : {5, 7, 15}) {
        Inserir(dm->cdsSubReceita, {{"Codigo", std::string("100056")},
                                    {"SubReceita", int32_t(s)},
                                    {"Descricao", std::string("sub ") + IntToStr(s)}});
    }
    Inserir(dm->cdsSubReceita, {{"Codigo", std::string("100048")}, {"SubReceita", int32_t(5)}});
    auto aceitos = [&](const char* texto) {
        dm->cdsUFReceita.Close();
        dm->cdsUFReceita.CreateDataSet();
        dm->cdsUFReceita.SetIndexName("pk_UFReceita");
        Regra("SP", "100056", "SR", texto);
        dm->cdsUFReceita.FindKey({"SP", "100056", "SR"});
        dm->cdsSubReceita.SetFiltered(true);
        std::vector<int> r;
        for (dm->cdsSubReceita.First(); !dm->cdsSubReceita.Eof(); dm->cdsSubReceita.Next()) {
            r.push_back(dm->cdsSubReceita.FieldByName("SubReceita").AsInteger());
        }
        dm->cdsSubReceita.SetFiltered(false);
        return r;
    };
    EXPECT_EQ(aceitos("SR 05 07"), (std::vector<int>{5, 7}));
    EXPECT_EQ(aceitos("SR 07"), (std::vector<int>{7}));
    EXPECT_EQ(aceitos("SR 15"), (std::vector<int>{15}));
    EXPECT_EQ(aceitos("05 15"),
              (std::vector<int>{15}));  // the first three characters are never searched
    EXPECT_EQ(aceitos("SR"), (std::vector<int>{}));
}

TEST_F(TDMTest, MarcaImpressaComFiltroDeNaoImpressasDeixaOCursorEmOutraKOVA) {
    for (int i = 0; i < 3; ++i) {
        kova().Append();
        kova().Post();
    }
    int verificacoes = 0;
    dm->CriticaTodos = [&](TDataSet&) {
        ++verificacoes;
        return false;
    };
    TDataSource entrada;
    entrada.SetDataSet(&kova());
    int notificacoes = 0;
    entrada.OnDataChange = [&](TDataSource&, TField*) { ++notificacoes; };
    dm->dtsEntrada = &entrada;

    kova().SetFiltered(true);
    kova().FindKey({"2"});
    Clock::Set(MakeDateTime(2024, 3, 16, 9, 0));
    notificacoes = 0;
    EXPECT_NO_THROW(dm->MarcaImpressa());
    EXPECT_NE(F("IdKOVA").AsInteger(), 2);
    EXPECT_EQ(kova().RecordCount(), 2);
    EXPECT_EQ(verificacoes, 0);
    EXPECT_EQ(notificacoes, 1);  // only the one of controls enabled again
    ASSERT_TRUE(static_cast<bool>(entrada.OnDataChange));
    ASSERT_TRUE(static_cast<bool>(kova().BeforePost));
    ASSERT_TRUE(static_cast<bool>(kova().AfterEdit));

    kova().SetFiltered(false);
    ASSERT_TRUE(kova().FindKey({"2"}));
    EXPECT_EQ(F("Situacao").AsString(), "I");
    EXPECT_EQ(F("DataHora").AsString(), "16/03/2024 09:00:00");
    dm->dtsEntrada = nullptr;
}

TEST_F(TDMTest, MarcaImpressaSemFiltroVoltaAKOVAImpressa) {
    for (int i = 0; i < 3; ++i) {
        kova().Append();
        kova().Post();
    }
    kova().FindKey({"2"});
    dm->MarcaImpressa();
    EXPECT_EQ(F("IdKOVA").AsInteger(), 2);
    EXPECT_EQ(F("Situacao").AsString(), "I");
}

TEST(TDMVida, CriarEDestruirNaoDeixaEstado) {
    for (int i = 0; i < 3; ++i) {
        auto dm = std::make_unique<TDM>();
        EXPECT_EQ(DM, dm.get());
        EXPECT_FALSE(dm->ModoImportacao || dm->ModoBiblioteca || dm->ModoSilencioso ||
                     dm->ModoConsultaUFReceita);
        EXPECT_EQ(dm->TopMargin, -1);
        EXPECT_EQ(dm->UltimoIdKOVA, 0);
        EXPECT_FALSE(dm->cdsKOVA.Active());
        EXPECT_EQ(dm->cdsKOVA.FieldCount(), 27);
        EXPECT_EQ(dm->cdsKOVA.Fields(26).FieldName(), "DataHora");
        EXPECT_EQ(dm->cdsKOVA.FieldByName("CEP").EditMask(), "00000\\-000;1;_");
        EXPECT_EQ(dm->cdsUFProduto.FieldByName("Descricao").DisplayWidth(), 58);
        dm->ModoSilencioso = true;
        EXPECT_THROW(TDM(), std::logic_error);
    }
    EXPECT_EQ(DM, nullptr);
}

}  // namespace
