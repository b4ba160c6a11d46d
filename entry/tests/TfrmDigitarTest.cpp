#include <gtest/gtest.h>

#include <memory>

#include "CalculaCodigoBarra.h"
#include "Clock.h"
#include "Desligado.h"
#include "Dialogs.h"
#include "TabelasDeTeste.h"
#include "TfrmDigitar.h"
#include "ValidaCampo.h"

using namespace kova;
using namespace kova::teste;

namespace {

class DigitarTest : public ::testing::Test {
protected:
    void SetUp() override {
        dm = ModuloDeTeste();
        form = std::make_unique<TfrmDigitar>(*dm);
    }
    void TearDown() override {
        form.reset();
        dm.reset();
        Clock::Reset();
        EXPECT_TRUE(dialogs.Unexpected().empty());
    }

    TField& F(const char* nome) { return dm->cdsKOVA.FieldByName(nome); }
    std::string Valida(const char* campo) {
        std::string m;
        TTipoMensagem t;
        bool falhou = ValidaCampo(campo, m, t);
        EXPECT_EQ(falhou, !m.empty());
        EXPECT_EQ(t, m.empty() ? TTipoMensagem::Nenhuma : TTipoMensagem::Erro);
        return m;
    }
    // A new slip with its identification filled without checks.
    void NovaKOVA(const char* uf, const char* receita) {
        dm->cdsKOVA.Append();
        dm->CriandoRegistro = true;
        F("UFFavorecida").SetAsString(uf);
        F("Receita").SetAsString(receita);
        dm->CriandoRegistro = false;
    }

    ScriptedDialogs dialogs;
    ScopedDialogService servico{dialogs};
    std::unique_ptr<TDM> dm;
    std::unique_ptr<TfrmDigitar> form;
};

TEST(DigitarSemForm, AntesDoFormNadaEVerificado) {
    ScriptedDialogs dialogs;
    ScopedDialogService servico(dialogs);
    TDM dm;
    dm.AbrirTabelasVazias();
    dm.cdsKOVA.Append();
    dm.cdsKOVA.FieldByName("UFFavorecida").SetAsString("XX");
    std::string m;
    TTipoMensagem t;
    EXPECT_FALSE(ValidaCampo("UFFavorecida", m, t));
    dm.cdsKOVA.Post();
    EXPECT_TRUE(dialogs.History().empty());
}

TEST_F(DigitarTest, CriacaoNaoEditaNemVerifica) {
    EXPECT_EQ(frmDigitar, form.get());
    EXPECT_EQ(dm->cdsKOVA.State(), TDataSetState::dsBrowse);
    EXPECT_FALSE(form->dtsPadrao.AutoEdit);
    EXPECT_EQ(form->dtsPadrao.DataSet(), &dm->cdsKOVA);
    EXPECT_TRUE(dialogs.History().empty());
    // Data-bound boxes are registered in creation order with their fields.
    std::vector<std::string> campos;
    for (const auto& c : form->Controles.Controls()) {
        if (c->kind == TControlKind::Edit || c->kind == TControlKind::LookupCombo)
            campos.push_back(c->field);
    }
    ASSERT_GE(campos.size(), 3u);
    EXPECT_EQ(campos[0], "UFFavorecida");
    EXPECT_EQ(campos[1], "Receita");
    EXPECT_FALSE(form->Controles.Get("dbeCICContribuinte").enabled);
    EXPECT_TRUE(form->Controles.Get("dblcUF").enabled);
    EXPECT_FALSE(form->Controles.Showing("dblcProduto"));
}

TEST_F(DigitarTest, ForaDeInclusaoOuAlteracaoNadaEVerificado) {
    EXPECT_EQ(Valida("UFFavorecida"), "");
    NovaKOVA("", "");
    EXPECT_EQ(Valida("UFFavorecida"), "[Erro: 1] Informe UF Favorecida");
    dm->cdsKOVA.Cancel();
    EXPECT_EQ(Valida("UFFavorecida"), "");
}

TEST_F(DigitarTest, NomeDoCampoEmQualquerCaixaEComBrancos) {
    NovaKOVA("XX", "");
    EXPECT_EQ(Valida(" ufFavorecida "), "[Erro: 2] Informe UF Favorecida v\xE1lida");
    EXPECT_EQ(Valida("receita"), "[Erro: 3] Informe Código da Receita");
    F("UFFavorecida").SetAsString("SP");  // reported through the data notification
    dialogs.Clear();
    EXPECT_EQ(Valida("UFFAVORECIDA"), "");
    EXPECT_EQ(dm->cdsUF.FieldByName("UF").AsString(), "SP");  // the lookup leaves the state current
    dm->cdsKOVA.Cancel();
}

TEST_F(DigitarTest, CadaCampoAlteradoEVerificadoPelaNotificacao) {
    dm->cdsKOVA.Append();
    EXPECT_TRUE(dialogs.History().empty());  // new-slip defaults are not checked
    F("UFFavorecida").SetAsString("XX");
    ASSERT_EQ(dialogs.History().size(), 1u);
    EXPECT_EQ(dialogs.History()[0].kind, TMsgDlgType::mtError);
    EXPECT_EQ(dialogs.History()[0].buttons, TMsgDlgButtons::mbOK);
    EXPECT_EQ(dialogs.History()[0].text, "[Erro: 2] Informe UF Favorecida v\xE1lida");
    EXPECT_EQ(F("UFFavorecida").AsString(), "XX");  // the typed value stays
    dm->cdsKOVA.Cancel();
    dialogs.Clear();
    // Moving between slips checks nothing.
    dm->cdsKOVA.Append();
    PreencheKOVAValida(*dm);
    dm->cdsKOVA.Post();
    dm->cdsKOVA.First();
    dm->cdsKOVA.Last();
    EXPECT_TRUE(dialogs.History().empty());
}

TEST_F(DigitarTest, CriticaTodosRelataSoOPrimeiroErroEFocaSuaCaixa) {
    form->Visivel = true;
    form->Controles.SetEnabled("dblcUFFavorecida", true);
    NovaKOVA("", "");
    EXPECT_THROW(dm->cdsKOVA.Post(), EAbort);
    ASSERT_EQ(dialogs.History().size(), 1u);
    EXPECT_EQ(dialogs.History()[0].text, "[Erro: 1] Informe UF Favorecida");
    EXPECT_EQ(form->Controles.Focused(), "dblcUFFavorecida");
    EXPECT_EQ(dm->cdsKOVA.State(), TDataSetState::dsInsert);
    // Choosing the state opens box 02, which then takes the focus for its own error.
    F("UFFavorecida").SetAsString("SP");
    dialogs.Clear();
    EXPECT_TRUE(form->CriticaTodos(dm->cdsKOVA));
    EXPECT_EQ(dialogs.Texts(), std::vector<std::string>{"[Erro: 3] Informe Código da Receita"});
    EXPECT_EQ(form->Controles.Focused(), "dblcReceita");
    // A closed box is found but not focused.
    ASSERT_TRUE(form->Controles.SetFocus("dblcUFFavorecida"));
    form->Controles.SetEnabled("dblcReceita", false);
    EXPECT_TRUE(form->CriticaTodos(dm->cdsKOVA));
    EXPECT_EQ(form->Controles.Focused(), "dblcUFFavorecida");
    dm->cdsKOVA.Cancel();
}

TEST_F(DigitarTest, SemFormularioAtivoNenhumFocoMuda) {
    form->Controles.SetEnabled("dblcUFFavorecida", true);
    NovaKOVA("", "");
    EXPECT_TRUE(form->CriticaTodos(dm->cdsKOVA));
    EXPECT_EQ(form->Controles.Focused(), "");
    dm->cdsKOVA.Cancel();
}

TEST_F(DigitarTest, ModoSilenciosoGuardaSoAUltimaMensagem) {
    dm->ModoSilencioso = true;
    NovaKOVA("", "");
    EXPECT_TRUE(form->CriticaField("UFFavorecida", false));
    EXPECT_TRUE(form->CriticaField("Receita", false));
    EXPECT_EQ(dm->UltimoErro, "[Erro: 3] Informe Código da Receita");
    EXPECT_TRUE(dialogs.History().empty());
    dm->cdsKOVA.Cancel();
}

TEST_F(DigitarTest, SubcodigoVerificadoUmaVezPorPedidoSoEmModoSilencioso) {
    dm->ModoBiblioteca = true;
    NovaKOVA("SP", "100048");
    dm->CriandoRegistro = true;
    F("SubReceita").SetAsInteger(9);
    dm->CriandoRegistro = false;
    dm->SelecionarSubReceita = 1;
    EXPECT_EQ(Valida("SubReceita"), "");  // not silent: not looked at, and the mark stays
    EXPECT_EQ(dm->SelecionarSubReceita, 1);
    dm->ModoSilencioso = true;
    EXPECT_EQ(Valida("SubReceita"),
              "[Erro: 5] O campo Subreceita não foi informado ou a Subreceita informada não existe "
              "ou não "
              "está definida para esta UF");
    EXPECT_EQ(dm->SelecionarSubReceita, 0);
    EXPECT_EQ(Valida("SubReceita"), "");  // a second check passes without looking
    dm->CriandoRegistro = true;
    F("SubReceita").Clear();
    dm->CriandoRegistro = false;
    EXPECT_EQ(Valida("SubReceita"), "[Erro: 4] Informe Código da Subreceita");
    dm->cdsKOVA.Cancel();
}

TEST_F(DigitarTest, RegraSRPermiteSoOsSubcodigosListados) {
    dm->ModoBiblioteca = true;
    dm->ModoSilencioso = true;
    auto verifica = [&](int sub) {
        NovaKOVA("SP", "100048");
        dm->CriandoRegistro = true;
        F("SubReceita").SetAsInteger(sub);
        dm->CriandoRegistro = false;
        dm->SelecionarSubReceita = 1;
        std::string m = Valida("SubReceita");
        dm->cdsKOVA.Cancel();
        return m;
    };
    EXPECT_EQ(verifica(2), "");  // no "SR" rule: every existing sub-code passes
    Regra(*dm, "SP", "100048", "SR", "SR 01 07");
    EXPECT_EQ(verifica(7), "");
    EXPECT_EQ(verifica(2),
              "[Erro: 6] A Subreceita informada não está definida para esta receita desta UF");
    dm->cdsUFReceita.FindKey({"SP", "100048", "SR"});
    dm->cdsUFReceita.Edit();
    dm->cdsUFReceita.FieldByName("Texto").SetAsString("SR");
    dm->cdsUFReceita.Post();
    EXPECT_EQ(verifica(1),
              "[Erro: 6] A Subreceita informada não está definida para esta receita desta UF");
}

TEST_F(DigitarTest, CodigoCourierFazUmaUFValidaFalhar) {
    dm->CodigoCourier = "5";
    NovaKOVA("SP", "100048");
    EXPECT_EQ(Valida("UFFavorecida"),
              "[Erro: 135] O campo Empresa Courier só pode ser utilizado com a receita 10005-6");
    EXPECT_EQ(Valida("Telefone"),
              "[Erro: 135] O campo Empresa Courier só pode ser utilizado com a receita 10005-6");
    dm->CriandoRegistro = true;
    F("Receita").SetAsString("100056");
    dm->CriandoRegistro = false;
    EXPECT_EQ(Valida("UFFavorecida"), "");
    dm->CodigoCourier = "7";
    EXPECT_EQ(Valida("Convenio"), "[Erro: 136] A Empresa de Courier informada não existe");
    // A branch's own message comes before the courier rule.
    dm->CriandoRegistro = true;
    F("UFFavorecida").SetAsString("");
    dm->CriandoRegistro = false;
    EXPECT_EQ(Valida("UFFavorecida"), "[Erro: 1] Informe UF Favorecida");
    dm->cdsKOVA.Cancel();
}

TEST_F(DigitarTest, ImportacaoLevantaFalhaComOTextoESemDialogo) {
    dm->ModoImportacao = true;
    dm->cdsKOVA.Append();
    try {
        F("UFFavorecida").SetAsString("XX");
        FAIL() << "the check should have failed";
    } catch (const ECritica& e) {
        EXPECT_EQ(e.Message(), "[Erro: 2] Informe UF Favorecida v\xE1lida");
    }
    F("UFFavorecida").SetAsString("SP");
    try {
        dm->cdsKOVA.Post();
        FAIL() << "the save should have failed";
    } catch (const ECritica& e) {
        EXPECT_EQ(e.Message(), "[Erro: 3] Informe Código da Receita");
    }
    EXPECT_TRUE(dialogs.History().empty());
    EXPECT_EQ(dm->cdsKOVA.State(), TDataSetState::dsInsert);
    dm->cdsKOVA.Cancel();
}

TEST_F(DigitarTest, TabelaDeEstadosDaTela) {
    form->dtsPadraoStateChange(form->dtsPadrao);
    auto ligado = [&](const char* n) { return form->Controles.Get(n).enabled; };
    EXPECT_TRUE(ligado("btnIncluir") && ligado("btnFechar"));
    EXPECT_FALSE(ligado("btnAlterar") || ligado("btnExcluir") || ligado("btnImprimir") ||
                 ligado("dbnNavegador"));
    EXPECT_FALSE(ligado("btnSalvar") || ligado("btnDesfazer"));
    EXPECT_TRUE(form->Controles.Showing("tbsPesquisar"));
    form->PaginaAtiva = "tbsPesquisar";
    dm->cdsKOVA.Append();
    EXPECT_EQ(form->Controles.Get("lblState").caption, "Incluindo");
    EXPECT_TRUE(ligado("btnSalvar") && ligado("btnDesfazer"));
    EXPECT_FALSE(ligado("btnIncluir"));
    EXPECT_FALSE(form->Controles.Showing("tbsPesquisar"));
    EXPECT_EQ(form->PaginaAtiva, "tbsKOVA");
    PreencheKOVAValida(*dm);
    dm->cdsKOVA.Post();
    EXPECT_EQ(form->Controles.Get("lblState").caption, "");
    EXPECT_TRUE(ligado("btnAlterar") && ligado("dbnNavegador"));
    dm->cdsKOVA.Edit();
    EXPECT_EQ(form->Controles.Get("lblState").caption, "Alterando");
    dm->cdsKOVA.Cancel();
}

// A rule that runs when a field changes also runs for the whole slip: a refused value the person
// leaves in the slip is refused again when it is saved.
TEST_F(DigitarTest, RegraDaMudancaTambemAoGuardar) {
    const std::string kSabado = "[Erro: 143] A Data de Vencimento não pode ser em Final de Semana";
    Regra(*dm, "SP", "000000", "FE", "S");
    dm->cdsKOVA.Append();
    PreencheKOVAValida(*dm);
    F("DataVencimento").SetAsDate(MakeDate(2024, 3, 23));  // a Saturday
    EXPECT_EQ(dialogs.Texts(), std::vector<std::string>{kSabado});
    EXPECT_EQ(F("DataVencimento").AsString(), "23/03/2024");  // the typed value stays
    dialogs.Clear();
    EXPECT_THROW(dm->cdsKOVA.Post(), EAbort);
    EXPECT_EQ(dialogs.Texts(), std::vector<std::string>{kSabado});
    // Hosted, the change ends without a word; the save tells why it refuses.
    dialogs.Clear();
    dm->ModoBiblioteca = true;
    F("DataVencimento").SetAsDate(MakeDate(2024, 3, 24));
    EXPECT_TRUE(dialogs.History().empty());
    EXPECT_TRUE(form->CriticaTodos(dm->cdsKOVA));
    EXPECT_EQ(dialogs.Texts(), std::vector<std::string>{kSabado});
    EXPECT_TRUE(form->CodigoBarraConferido.empty());
    dialogs.Clear();
    F("DataVencimento").SetAsDate(MakeDate(2024, 3, 25));
    EXPECT_FALSE(form->CriticaTodos(dm->cdsKOVA));
    EXPECT_EQ(form->CodigoBarraConferido.size(), 44u);
    dm->cdsKOVA.Cancel();
    EXPECT_EQ(dm->cdsKOVA.RecordCount(), 0);
}

// A document of origin that the revenue's barcode layout packs as typed takes digits only: it is
// refused where it is typed, and again when the slip is saved, so no slip is kept that could
// never be printed.
TEST_F(DigitarTest, DocumentoQueOCodigoDeBarrasNaoLevaERecusadoOndeEDigitado) {
    Inserir(dm->cdsReceita, {{"Codigo", T("100030")},
                             {"Descricao", T("ICMS transporte")},
                             {"CodigoBarra", int32_t(3)},
                             {"DocumentoOrigem", T("S")},
                             {"LayoutCodigoBarra", 13.0},
                             {"TipoDocumento", T("0")}});
    const std::string numerico = "[Erro: 30] Informe apenas campo numérico no documento origem";
    dm->cdsKOVA.Append();
    PreencheKOVAValida(*dm);
    F("Receita").SetAsString("100030");
    dialogs.Clear();
    F("DocumentoOrigem").SetAsString("CTE4455");
    EXPECT_EQ(dialogs.Texts(), std::vector<std::string>{numerico});
    dialogs.Clear();
    EXPECT_THROW(dm->cdsKOVA.Post(), EAbort);
    EXPECT_EQ(dialogs.Texts(), std::vector<std::string>{numerico});
    dialogs.Clear();
    F("DocumentoOrigem").SetAsString("4455");
    dm->cdsKOVA.Post();
    EXPECT_TRUE(dialogs.History().empty());
    EXPECT_EQ(CalculaCodigoBarra().find_first_not_of("0123456789"), std::string::npos);
    // The import is refused at the same place.
    dm->ModoImportacao = true;
    dm->cdsKOVA.Append();
    PreencheKOVAValida(*dm);
    F("Receita").SetAsString("100030");
    try {
        F("DocumentoOrigem").SetAsString("CTE4455");
        FAIL() << "the check should have failed";
    } catch (const ECritica& e) {
        EXPECT_EQ(e.Message(), numerico);
    }
    dm->cdsKOVA.Cancel();
    // Where the layout packs the document's digits only, its letters are dropped.
    dm->ModoImportacao = false;
    dm->cdsReceita.FindKey({"100030"});
    dm->cdsReceita.Edit();
    dm->cdsReceita.FieldByName("LayoutCodigoBarra").SetAsFloat(3);
    dm->cdsReceita.Post();
    dm->cdsKOVA.Append();
    PreencheKOVAValida(*dm);
    F("Receita").SetAsString("100030");
    F("DocumentoOrigem").SetAsString("CTE4455");
    dm->cdsKOVA.Post();
    EXPECT_TRUE(dialogs.History().empty());
}

// The clock is read for each new slip: the year list, the month of the default period and the
// current year follow a screen that stays open across a month's and a year's end.
TEST(DigitarAnos, CadaNovaKOVALeORelogio) {
    ScriptedDialogs dialogs;
    ScopedDialogService servico(dialogs);
    Clock::Set(MakeDateTime(2024, 11, 30, 23, 59));
    TDM dm;
    dm.AbrirTabelasVazias();
    TfrmDigitar form(dm);
    const auto& anos = form.Controles.Get("cbxPeriodoAno");
    ASSERT_EQ(anos.items.back(), "2024");
    Clock::Set(MakeDateTime(2024, 12, 1, 0, 1));
    dm.cdsKOVA.Append();
    EXPECT_EQ(anos.items.back(), "2025");  // December lists next year
    EXPECT_EQ(form.MesAtual, 12);
    dm.cdsKOVA.Cancel();
    Clock::Set(MakeDateTime(2025, 1, 1, 0, 1));
    dm.cdsKOVA.Append();
    EXPECT_EQ(anos.items.front(), "2019");
    EXPECT_EQ(anos.items.back(), "2025");
    EXPECT_EQ(form.MesAtual, 1);
    EXPECT_EQ(dm.AnoAtual, 2025);
    dm.cdsKOVA.Cancel();
    Clock::Reset();
}

TEST(DigitarAnos, DezembroListaOitoAnos) {
    for (auto [mes, quantos, ultimo] : {std::tuple{12u, 8u, "2025"}, std::tuple{11u, 7u, "2024"}}) {
        Clock::Set(MakeDateTime(2024, mes, 1));
        TDM dm;
        TfrmDigitar form(dm);
        const auto& anos = form.Controles.Get("cbxPeriodoAno");
        ASSERT_EQ(anos.items.size(), quantos);
        EXPECT_EQ(anos.items.front(), "2018");
        EXPECT_EQ(anos.items.back(), ultimo);
        EXPECT_EQ(anos.itemIndex, 0);
        EXPECT_EQ(form.MesAtual, int(mes));
    }
    Clock::Reset();
}

}  // namespace

namespace {

// With the numbering at its greatest "Digitar KOVA" says why and leaves the screen as it was:
// no box opened on a slip that does not exist.
TEST_F(DigitarTest, NumeracaoEsgotadaNaoAbreOsCamposDaTela) {
    dm->UltimoIdKOVA = kMaiorIdKOVA;
    EXPECT_THROW(form->IniciarNovaKOVA(), ENumeracaoEsgotada);
    EXPECT_EQ(dm->cdsKOVA.State(), TDataSetState::dsBrowse);
    EXPECT_EQ(dm->UltimoIdKOVA, kMaiorIdKOVA);
    for (const char* c : {"dblcUFFavorecida", "dblcReceita", "dbeCICContribuinte"})
        EXPECT_FALSE(form->Controles.Get(c).enabled) << c;
}

}  // namespace

// A field found sound when it changed is judged again when the slip is saved once it, or a field
// its rules read, has changed since: also when the screen never heard of that change.
TEST_F(DigitarTest, GuardarJulgaDeNovoOQueMudouDepoisDeVerificado) {
    dm->ModoBiblioteca = dm->ModoSilencioso = true;
    auto preenche = [this] {
        dm->cdsKOVA.Append();
        PreencheKOVAValida(*dm);
        // Every field once more, heard and judged as it changes.
        for (const char* c :
             {"CICContribuinte", "ValorPrincipal", "TotalRecolher", "DataVencimento",
              "DataPagamento", "RazaoSocial", "Endereco", "Municipio", "UF", "CEP"}) {
            TField& f = F(c);
            f.SetValue(TValue(f.Value()));
        }
        EXPECT_EQ(dm->UltimoErro, "");
    };
    auto semSerOuvido = [this](const char* campo, const TValue& valor) {
        ASSERT_NE(dm->dtsEntrada, nullptr);
        Desligado<std::function<void(TDataSource&, TField*)>> surdo(dm->dtsEntrada->OnDataChange);
        F(campo).SetValue(valor);
    };

    preenche();
    EXPECT_FALSE(form->CriticaTodos(dm->cdsKOVA));
    EXPECT_EQ(form->CodigoBarraConferido.size(), 44u);
    // The field itself changed.
    semSerOuvido("CICContribuinte", std::string("11111111111"));
    EXPECT_TRUE(form->CriticaTodos(dm->cdsKOVA));
    EXPECT_NE(dm->UltimoErro.find("[Erro: 8]"), std::string::npos) << dm->UltimoErro;
    dm->cdsKOVA.Cancel();

    // A field the total's rules read changed; the total did not.
    dm->UltimoErro.clear();
    preenche();
    semSerOuvido("ValorPrincipal", 150.0);
    EXPECT_TRUE(form->CriticaTodos(dm->cdsKOVA));
    EXPECT_NE(dm->UltimoErro.find("[Erro: 11"), std::string::npos) << dm->UltimoErro;
    dm->cdsKOVA.Cancel();

    // What a change of the revenue refuses reads the state: the state changed, it is told.
    Regra(*dm, "MG", "100048", "E", "Receita recusada em MG");
    dm->UltimoErro.clear();
    preenche();
    // Heard, the revenue's change empties the period its type does not take; it is given again.
    F("Receita").SetAsString("100048");
    F("Referencia").SetAsString("001");
    dm->UltimoErro.clear();
    ASSERT_FALSE(form->CriticaTodos(dm->cdsKOVA));
    semSerOuvido("UFFavorecida", std::string("MG"));
    EXPECT_TRUE(form->CriticaTodos(dm->cdsKOVA));
    EXPECT_EQ(dm->UltimoErro, "Receita recusada em MG");
    dm->cdsKOVA.Cancel();
}
