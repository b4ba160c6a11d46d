#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

#include "Clock.h"
#include "Dialogs.h"
#include "GravacaoKOVA.h"
#include "Mensagens.h"
#include "TabelasDeTeste.h"
#include "TfrmDigitar.h"

using namespace kova;
using namespace kova::teste;

namespace {

// The entry screen shown to a person, headless: every dialog must be expected by the test.
class TelaTest : public ::testing::Test {
protected:
    void SetUp() override {
        Clock::Set(MakeDateTime(2024, 3, 15, 10, 0));  // a Friday
        dm = std::make_unique<TDM>();
        dm->AbrirTabelasVazias();
        ReferenciasBasicas(*dm);
        form = std::make_unique<TfrmDigitar>(*dm);
    }
    void TearDown() override {
        form.reset();
        dm.reset();
        Clock::Reset();
        EXPECT_TRUE(dialogs.Unexpected().empty())
            << (dialogs.Unexpected().empty() ? "" : dialogs.Unexpected()[0]);
    }
    TField& F(const char* nome) { return dm->cdsKOVA.FieldByName(nome); }
    bool Aberta(const char* caixa) { return form->Controles.Get(caixa).enabled; }
    std::string Foco() { return form->Controles.Focused(); }
    void DefineUF(const char* uf, const char* campo, const TValue& valor) {
        dm->cdsUF.FindKey({uf});
        dm->cdsUF.Edit();
        dm->cdsUF.FieldByName(campo).SetValue(valor);
        dm->cdsUF.Post();
    }
    // A slip saved without the screen, to be changed or printed.
    void KOVAGravada() {
        dm->cdsKOVA.Append();
        PreencheKOVAValida(*dm);
        dm->cdsKOVA.Post();
    }
    // The payment-date box typed and confirmed (or declined).
    void RespondeDataPagamento(bool confirma, TDate data = TDate{}) {
        dialogs.ResponderDialogo(confirma, [data](const TPedidoDialogo& p) {
            EXPECT_EQ(p.nome, "TfrmDataPagamento");
            EXPECT_EQ(p.titulo, "Data de Pagamento");
            if (data != TDate{}) p.fonte->DataSet()->FieldByName("DataPagamento").SetAsDate(data);
        });
    }

    // A host's slip shown to the person: every data box opened, then those given closed (what the
    // request filled), the slip filled and the screen shown.
    void KOVAHospedada(std::initializer_list<const char*> fechadas = {}) {
        dm->ModoBiblioteca = true;
        for (const auto& c : form->Controles.Controls()) {
            if (!c->field.empty() &&
                (c->kind == TControlKind::Edit || c->kind == TControlKind::LookupCombo)) {
                form->Controles.SetEnabled(c->name, true);
            }
        }
        dm->cdsKOVA.Append();
        PreencheKOVAValida(*dm);
        for (const char* c : fechadas) form->Controles.SetEnabled(c, false);
        form->Mostrar();
    }

    ScriptedDialogs dialogs;
    ScopedDialogService servico{dialogs};
    std::unique_ptr<TDM> dm;
    std::unique_ptr<TfrmDigitar> form;
};

const char* const kPerguntaDescartar =
    "Esta KOVA tem informações digitadas que ainda não foram salvas.\r\rDeseja descartá-las?";

const char* const kCaixasDoCorpo[] = {
    "dbeCICContribuinte", "dbeDocumentoOrigem", "dbeReferencia", "dbeValorPrincipal",
    "dbeRazaoSocial",     "dbeEndereco",        "dbeCEP",        "dblcUF"};

TEST_F(TelaTest, ProgressaoDeUmaKOVANovaAteGravar) {
    form->Mostrar();
    form->btnIncluirClick();
    EXPECT_EQ(dm->cdsKOVA.State(), TDataSetState::dsInsert);
    EXPECT_TRUE(Aberta("dblcUFFavorecida"));
    EXPECT_EQ(Foco(), "dblcUFFavorecida");
    for (const char* c : {"dblcReceita", "dbeDataVencimento", "dblcUFFavorecida2"})
        EXPECT_FALSE(Aberta(c)) << c;
    for (const char* c : kCaixasDoCorpo) EXPECT_FALSE(Aberta(c)) << c;
    EXPECT_EQ(form->Controles.Get("lblState").caption, "Incluindo");

    F("UFFavorecida").SetAsString("SP");  // box 02 opens
    EXPECT_TRUE(Aberta("dblcReceita"));
    form->dblcUFFavorecidaExit();
    EXPECT_FALSE(Aberta("dblcUFFavorecida"));
    ASSERT_TRUE(form->Controles.SetFocus("dblcReceita"));

    F("Receita").SetAsString("100048");  // an instalment: no period pickers; box 14 opens
    EXPECT_TRUE(Aberta("dbeDataVencimento"));
    EXPECT_FALSE(form->Controles.Showing("cbxPeriodoDia"));
    form->dblcReceitaExit();
    EXPECT_FALSE(Aberta("dblcReceita"));
    for (const char* c : kCaixasDoCorpo) EXPECT_FALSE(Aberta(c)) << c;

    ASSERT_TRUE(form->Controles.SetFocus("dbeDataVencimento"));
    RespondeDataPagamento(true);
    F("DataVencimento").SetAsDate(MakeDate(2024, 3, 25));
    EXPECT_EQ(F("DataPagamento").AsDate(), MakeDate(2024, 3, 25));  // today is before the due date
    for (const char* c :
         {"dbeCICContribuinte", "dbeReferencia", "dbeValorPrincipal", "dbeAtualizacaoMonetaria",
          "dbeJuros", "dbeMulta", "dbeConvenio", "dbeRazaoSocial", "dbeInscricaoEstadual",
          "dbeEndereco", "dbeMunicipio", "dblcUF", "dbeCEP", "dbeTelefone", "dbeInformacoes",
          "dblcProduto", "btnProduto"}) {
        EXPECT_TRUE(Aberta(c)) << c;
    }
    EXPECT_FALSE(Aberta("dbeDocumentoOrigem"));  // the revenue needs no document
    EXPECT_FALSE(Aberta("dbeTotalReceber"));
    EXPECT_FALSE(Aberta("dblcUFFavorecida2"));
    EXPECT_EQ(Foco(), "dbeCICContribuinte");
    form->dbeDataVencimentoExit();
    EXPECT_FALSE(Aberta("dbeDataVencimento"));
    EXPECT_EQ(dialogs.Pedidos().size(), 1u);

    F("CICContribuinte").SetAsString("11222333000181");
    F("Referencia").SetAsString("001");
    F("ValorPrincipal").SetText("150,00");
    EXPECT_EQ(F("TotalRecolher").AsString(), "150");  // kept equal to the sum of the amounts
    F("Juros").SetText("2,5");
    EXPECT_EQ(F("TotalRecolher").AsString(), "152,5");
    F("RazaoSocial").SetAsString("EMPRESA DE TESTE LTDA");
    F("Endereco").SetAsString("RUA DAS FLORES, 100");
    F("Municipio").SetAsString("CAMPINAS");
    F("UF").SetAsString("SP");
    F("CEP").SetAsString("13010-000");
    form->TeclaEnter();  // Enter moves on as Tab does, past the closed box 04
    EXPECT_EQ(Foco(), "dbeReferencia");
    EXPECT_TRUE(dialogs.History().empty()) << dialogs.Texts()[0];

    form->btnSalvarClick();
    EXPECT_EQ(dm->cdsKOVA.State(), TDataSetState::dsBrowse);
    EXPECT_EQ(form->QtdeIncluidas, 1);
    EXPECT_EQ(dm->cdsKOVA.RecordCount(), 1);
    EXPECT_EQ(F("Situacao").AsString(), "N");
    EXPECT_TRUE(Aberta("btnIncluir"));
    EXPECT_TRUE(Aberta("btnAlterar"));
    EXPECT_FALSE(Aberta("btnSalvar"));
}

TEST_F(TelaTest, VencimentoNoFimDeSemanaEmCadaModo) {
    Regra(*dm, "SP", "000000", "FE", "S");
    auto vencimentoSabado = [&] {
        dm->cdsKOVA.Append();
        dm->CriandoRegistro = true;
        F("UFFavorecida").SetAsString("SP");
        F("Receita").SetAsString("100048");
        dm->CriandoRegistro = false;
        F("DataVencimento").SetAsDate(MakeDate(2024, 3, 16));  // a Saturday
    };
    vencimentoSabado();
    EXPECT_EQ(dialogs.Texts(),
              std::vector<std::string>{
                  "[Erro: 143] A Data de Vencimento não pode ser em Final de Semana"});
    dm->cdsKOVA.Cancel();
    dialogs.Clear();
    dm->ModoBiblioteca = true;  // hosted: stopped without a word
    vencimentoSabado();
    EXPECT_TRUE(dialogs.History().empty());
    EXPECT_EQ(dm->UltimoErro, "");
    dm->cdsKOVA.Cancel();
    dm->ModoSilencioso = true;  // unattended: recorded
    vencimentoSabado();
    EXPECT_TRUE(dialogs.History().empty());
    EXPECT_EQ(dm->UltimoErro, "[Erro: 138] A Data de Vencimento não pode ser em Final de Semana");
    dm->cdsKOVA.Cancel();
    // A holiday on a weekday.
    dm->ModoBiblioteca = dm->ModoSilencioso = false;
    dm->UltimoErro.clear();
    Inserir(dm->cdsFeriado, {{"Data", MakeDate(2024, 4, 22)}, {"Descricao", T("Feriado")}});
    dm->cdsKOVA.Append();
    dm->CriandoRegistro = true;
    F("UFFavorecida").SetAsString("SP");
    F("Receita").SetAsString("100048");
    dm->CriandoRegistro = false;
    F("DataVencimento").SetAsDate(MakeDate(2024, 4, 22));
    EXPECT_EQ(dialogs.Texts(),
              std::vector<std::string>{
                  "[Erro: 144] A Data de Vencimento não pode ser em dia de Feriado"});
    dm->cdsKOVA.Cancel();
}

TEST_F(TelaTest, BahiaAceitaSabadoMasNaoFeriadoNoVencimento) {
    Inserir(dm->cdsUF, {{"UF", T("BA")}, {"Periodicidade", T("M")}});
    Regra(*dm, "BA", "000000", "FE", "S");
    Inserir(dm->cdsFeriado, {{"Data", MakeDate(2024, 4, 22)}});
    dm->cdsKOVA.Append();
    dm->CriandoRegistro = true;
    F("UFFavorecida").SetAsString("BA");
    F("Receita").SetAsString("100048");
    dm->CriandoRegistro = false;
    F("DataVencimento").SetAsDate(MakeDate(2024, 3, 16));
    EXPECT_TRUE(dialogs.History().empty());
    F("DataVencimento").SetAsDate(MakeDate(2024, 4, 22));
    EXPECT_EQ(dialogs.Texts().size(), 1u);
    dm->cdsKOVA.Cancel();
}

TEST_F(TelaTest, DiaDoPeriodoTrimestralPorModo) {
    Inserir(dm->cdsUF, {{"UF", T("RS")}, {"Periodicidade", T("T")}});
    form->Mostrar();
    form->btnIncluirClick();
    F("UFFavorecida").SetAsString("RS");
    const auto& dias = form->Controles.Get("cbxPeriodoDia").items;
    ASSERT_EQ(dias, (std::vector<std::string>{"01 a 10", "01 a 15", "01 a 31", "11 a 20", "16 a 31",
                                              "21 a 31"}));
    F("Receita").SetAsString("100056");  // a period: the pickers appear and write the reference
    EXPECT_TRUE(form->Controles.Showing("cbxPeriodoDia"));
    EXPECT_FALSE(Aberta("dbeReferencia"));
    EXPECT_EQ(F("Referencia").AsString(),
              "1032024");  // first entry, this month, the last year listed
    // On the desktop the chosen position (2: "01 a 31") is written as 3.
    form->Controles.SetItemIndex("cbxPeriodoDia", 2);
    form->cbxPeriodoDiaChange();
    EXPECT_EQ(F("Referencia").AsString(), "3032024");
    EXPECT_EQ(form->Controles.Get("cbxPeriodoDia").itemIndex, 2);
    dm->cdsKOVA.Cancel();
    // A hosted or imported reference beginning with 0 is the whole month: "01 a 31".
    dm->ModoImportacao = true;
    dm->cdsKOVA.Append();
    dm->CriandoRegistro = true;
    F("UFFavorecida").SetAsString("RS");
    F("Receita").SetAsString("100056");
    dm->CriandoRegistro = false;
    F("Referencia").SetAsString("0022024");
    EXPECT_EQ(form->Controles.Get("cbxPeriodoDia").itemIndex, 2);
    EXPECT_EQ(form->Controles.Get("cbxPeriodoMes").itemIndex, 1);
    dm->cdsKOVA.Cancel();
}

TEST_F(TelaTest, FevereiroReescreveOFimDoPeriodo) {
    Inserir(dm->cdsUF, {{"UF", T("PE")}, {"Periodicidade", T("Q")}});
    form->Mostrar();
    form->btnIncluirClick();
    F("UFFavorecida").SetAsString("PE");
    F("Receita").SetAsString("100056");
    auto segunda = [&](const char* referencia) {
        F("Referencia").SetAsString(referencia);
        return form->Controles.Get("cbxPeriodoDia").items.at(1);
    };
    EXPECT_EQ(segunda("1022020"), "16 a 29");
    EXPECT_EQ(segunda("1022023"), "16 a 28");
    EXPECT_EQ(segunda("1042023"), "16 a 30");
    EXPECT_EQ(segunda("2052023"), "16 a 31");
    EXPECT_EQ(form->Controles.Get("cbxPeriodoDia").itemIndex, 1);
    dm->cdsKOVA.Cancel();
}

TEST_F(TelaTest, CaixasDeValoresPeloVLEPorGoias) {
    Regra(*dm, "SP", "100048", "VL", "NSSS");
    Inserir(dm->cdsUF, {{"UF", T("GO")}, {"Periodicidade", T("M")}});
    Regra(*dm, "GO", "100048", "VL", "SSSS");
    form->Mostrar();
    for (const char* uf : {"SP", "GO"}) {
        SCOPED_TRACE(uf);
        form->btnIncluirClick();
        F("UFFavorecida").SetAsString(uf);
        F("Receita").SetAsString("100048");
        RespondeDataPagamento(true);
        F("DataVencimento").SetAsDate(MakeDate(2024, 3, 25));
        const bool sp = std::string(uf) == "SP";
        EXPECT_EQ(Aberta("dbeValorPrincipal"), !sp);
        for (const char* c : {"dbeAtualizacaoMonetaria", "dbeJuros", "dbeMulta"})
            EXPECT_EQ(Aberta(c), sp) << c;
        dm->cdsKOVA.Cancel();
    }
}

TEST_F(TelaTest, DataDePagamentoRecusadaCancelaAEdicao) {
    KOVAGravada();
    form->Mostrar();
    dialogs.Clear();
    // Changing a slip asks the payment date at once; declining it cancels the change.
    RespondeDataPagamento(false, MakeDate(2024, 3, 20));
    form->btnAlterarClick();
    EXPECT_EQ(dm->cdsKOVA.State(), TDataSetState::dsBrowse);
    EXPECT_EQ(F("DataPagamento").AsDate(), MakeDate(2024, 3, 15));  // the typed date is gone
    EXPECT_TRUE(form->Visivel);
    // With the state's payment date fixed to today there is no dialog.
    DefineUF("SP", "DataPagamentoIgual", T("S"));
    form->btnAlterarClick();
    EXPECT_EQ(dialogs.Pedidos().size(), 1u);
    EXPECT_EQ(F("DataPagamento").AsDate(), MakeDate(2024, 3, 15));
    dm->cdsKOVA.Cancel();
}

// A payment date the rules refuse never closes its box: the person is told why and types another,
// or cancels. The box opens on the first date the state's calendar accepts.
TEST_F(TelaTest, DataDePagamentoRecusadaVoltaAoDialogo) {
    KOVAGravada();
    form->Mostrar();
    dialogs.Clear();
    RespondeDataPagamento(true, MakeDate(2024, 3, 14));  // yesterday
    RespondeDataPagamento(true, MakeDate(2024, 3, 20));
    form->btnAlterarClick();
    EXPECT_EQ(dialogs.Pedidos().size(), 2u);
    EXPECT_EQ(dm->cdsKOVA.State(), TDataSetState::dsEdit);
    EXPECT_EQ(F("DataPagamento").AsDate(), MakeDate(2024, 3, 20));
    // Told once, whether the date's own check told it as it was typed or the box's confirmation.
    ASSERT_EQ(dialogs.Texts().size(), 1u);
    EXPECT_EQ(dialogs.Texts().back().rfind("[Erro: 120]", 0), 0u) << dialogs.Texts().back();
    dm->cdsKOVA.Cancel();

    // A state that refuses weekends and holidays, an overdue slip typed on a Friday: the proposal
    // (today and the days a slip is valid) is past the Sunday and the Monday's holiday; a refused
    // Saturday brings the box back, and cancelling it then cancels the slip.
    Regra(*dm, "SP", "000000", "FE", "S");
    Inserir(dm->cdsFeriado, {{"Data", MakeDate(2024, 3, 18)}, {"Descricao", T("Feriado")}});
    dm->ValidadeDocumento = 2;  // today + 2: Sunday 17/03
    dialogs.Clear();
    std::vector<TDate> propostas;
    auto anota = [&](const TPedidoDialogo& p) {
        propostas.push_back(p.fonte->DataSet()->FieldByName("DataPagamento").AsDate());
    };
    dialogs.ResponderDialogo(true, [&](const TPedidoDialogo& p) {
        anota(p);
        p.fonte->DataSet()->FieldByName("DataPagamento").SetAsDate(MakeDate(2024, 3, 16));
    });
    dialogs.ResponderDialogo(false, anota);
    dialogs.Answer(TModalResult::mrYes);  // discard what was typed
    form->IniciarNovaKOVA();
    dm->CriandoRegistro = true;
    F("UFFavorecida").SetAsString("SP");
    F("Receita").SetAsString("100048");
    dm->CriandoRegistro = false;
    F("DataVencimento").SetAsDate(MakeDate(2024, 3, 11));
    ASSERT_EQ(propostas.size(), 2u);
    EXPECT_EQ(propostas[0], MakeDate(2024, 3, 19));
    EXPECT_EQ(propostas[1], MakeDate(2024, 3, 16));  // the refused date, to be typed over
    EXPECT_NE(std::find(dialogs.Texts().begin(), dialogs.Texts().end(),
                        "[Erro: 142] A Data de Pagamento não pode ser em Final de Semana"),
              dialogs.Texts().end());
    EXPECT_EQ(dm->cdsKOVA.State(), TDataSetState::dsBrowse);
}

TEST_F(TelaTest, EscapeFechamentoEExclusao) {
    KOVAGravada();
    form->Mostrar();
    RespondeDataPagamento(true);
    form->btnAlterarClick();
    form->btnDesfazerClick();  // Escape while editing cancels
    EXPECT_EQ(dm->cdsKOVA.State(), TDataSetState::dsBrowse);
    EXPECT_TRUE(form->Visivel);
    RespondeDataPagamento(true);
    form->btnAlterarClick();
    dialogs.Answer(TModalResult::mrCancel);
    EXPECT_FALSE(form->Fechar());  // Cancel keeps the screen open and the slip in edit
    EXPECT_EQ(dm->cdsKOVA.State(), TDataSetState::dsEdit);
    EXPECT_EQ(dialogs.History().back().text,
              "Existe uma KOVA em edição\r\rDeseja salvar as informações?");
    dialogs.Answer(TModalResult::mrNo);
    EXPECT_TRUE(form->Fechar());
    EXPECT_FALSE(form->Visivel);
    EXPECT_EQ(dm->cdsKOVA.State(), TDataSetState::dsBrowse);
    form->Mostrar();
    form->btnDesfazerClick();  // Escape while browsing closes
    EXPECT_FALSE(form->Visivel);
    form->Mostrar();
    dialogs.Answer(TModalResult::mrNo);
    form->btnExcluirClick();
    EXPECT_EQ(dm->cdsKOVA.RecordCount(), 1);
    dialogs.Answer(TModalResult::mrYes);
    form->btnExcluirClick();
    EXPECT_EQ(dm->cdsKOVA.RecordCount(), 0);
    EXPECT_FALSE(Aberta("btnAlterar"));
    EXPECT_EQ(dialogs.History().back().text, "Confirma exclusão desta KOVA");
}

TEST_F(TelaTest, GradeTeclasEOrdem) {
    form->Controles.SetEnabled("dbgSolicitacaoKOVA", true);
    ASSERT_TRUE(form->Controles.SetFocus("dbgSolicitacaoKOVA"));
    form->ColunaGrade = TfrmDigitar::kColunasGrade - 1;
    form->TeclaEnter();
    EXPECT_EQ(form->ColunaGrade, 0);
    EXPECT_EQ(TfrmDigitar::dbeCICContribuinteKeyPress('.'), '\0');
    EXPECT_EQ(TfrmDigitar::dbeCICContribuinteKeyPress('7'), '7');
    EXPECT_EQ(TfrmDigitar::dbeMunicipioKeyPress('3'), '\0');
    EXPECT_EQ(TfrmDigitar::dbeMunicipioKeyPress('A'), 'A');
    EXPECT_EQ(TfrmDigitar::dbeCEPKeyPress('-'), '\0');
    form->RDGCICContribuinteClick();
    EXPECT_EQ(dm->cdsKOVA.IndexName(), "pk_CICContribuinte");
    form->rdbKOVAClick();
    EXPECT_EQ(dm->cdsKOVA.IndexName(), "pk_IdKOVA");
}

TEST_F(TelaTest, LogosDosBancosDoEstado) {
    Inserir(dm->cdsBanco, {{"ID", T("001")},
                           {"Nome", T("Banco Um")},
                           {"LogoTipo", TBytes{'B', 'M', 0, 0, 0, 0, 0, 0,  0, 0, 0,
                                               0,   0,   0, 0, 0, 0, 0, 64, 0, 0, 0}}});
    Inserir(dm->cdsBanco, {{"ID", T("104")},
                           {"Nome", T("Banco Dois")},
                           {"LogoTipo", TBytes{'B', 'M', 0, 0, 0, 0, 0, 0,  0, 0, 0,
                                               0,   0,   0, 0, 0, 0, 0, 64, 0, 0, 0}}});
    Inserir(dm->cdsBanco, {{"ID", T("237")}, {"Nome", T("Sem logo")}});
    for (const char* b : {"001", "104", "237"})
        Inserir(dm->cdsUFBanco, {{"UFID", T("SP")}, {"BancoID", T(b)}});
    form->Mostrar();
    form->btnIncluirClick();
    F("UFFavorecida").SetAsString("SP");
    EXPECT_TRUE(form->Controles.Showing("GBBancos"));
    EXPECT_EQ(form->Controles.Get("Banco0").hint, "Banco Um");
    EXPECT_EQ(form->Controles.Get("Banco1").left, 69);
    EXPECT_EQ(form->Controles.Find("Banco2"), nullptr);
    EXPECT_EQ(form->Controles.Get("PanelBancos").width, 69 + 64);
    // The same state again keeps its logos, once each.
    F("UFFavorecida").SetAsString("SP");
    EXPECT_EQ(form->Controles.Get("Banco1").left, 69);
    EXPECT_EQ(form->Controles.Find("Banco2"), nullptr);
    F("UFFavorecida").SetAsString("MG");  // no banks: the group hides
    EXPECT_EQ(form->Controles.Find("Banco0"), nullptr);
    EXPECT_FALSE(form->Controles.Showing("GBBancos"));
    // Back to the state, and a bank table changed meanwhile: laid out anew.
    F("UFFavorecida").SetAsString("SP");
    EXPECT_EQ(form->Controles.Get("Banco1").hint, "Banco Dois");
    Inserir(dm->cdsBanco, {{"ID", T("341")},
                           {"Nome", T("Banco Tres")},
                           {"LogoTipo", TBytes{'B', 'M', 0, 0, 0, 0, 0, 0,  0, 0, 0,
                                               0,   0,   0, 0, 0, 0, 0, 32, 0, 0, 0}}});
    Inserir(dm->cdsUFBanco, {{"UFID", T("SP")}, {"BancoID", T("341")}});
    F("UFFavorecida").SetAsString("SP");
    EXPECT_EQ(form->Controles.Get("Banco2").hint, "Banco Tres");
    EXPECT_EQ(form->Controles.Find("Banco3"), nullptr);
    dm->cdsKOVA.Cancel();
}

TEST_F(TelaTest, EstadoComProgramaProprioOuRecusado) {
    Inserir(dm->cdsUF, {{"UF", T("AP")}, {"Periodicidade", T("M")}});
    Regra(*dm, "AP", "000000", "LK", "https://www.exemplo.ap");
    Regra(*dm, "MG", "000000", "M", "Aviso#13de Minas");
    Regra(*dm, "MG", "000000", "E", "Minas recusada");
    form->Mostrar();
    form->btnIncluirClick();
    dialogs.ResponderDialogo(true);
    F("UFFavorecida").SetAsString("AP");
    ASSERT_EQ(dialogs.Pedidos().size(), 1u);
    EXPECT_EQ(dialogs.Pedidos()[0].nome, "TfrmMsgLink");
    EXPECT_EQ(dialogs.Pedidos()[0].link, "https://www.exemplo.ap");
    EXPECT_FALSE(Aberta("dblcReceita"));  // the slip goes no further
    AbrirPagina(dialogs.Pedidos()[0].link);
    EXPECT_EQ(dialogs.EnderecosAbertos(), std::vector<std::string>{"https://www.exemplo.ap"});
    F("UFFavorecida").SetAsString("MG");
    EXPECT_EQ(dialogs.Texts(), (std::vector<std::string>{"Aviso\rde Minas", "Minas recusada"}));
    EXPECT_EQ(dialogs.History()[0].kind, TMsgDlgType::mtWarning);
    EXPECT_EQ(dialogs.History()[1].kind, TMsgDlgType::mtError);
    dm->cdsKOVA.Cancel();
}

TEST_F(TelaTest, SubcodigoEscolhidoOuNovaKOVACancelada) {
    Regra(*dm, "SP", "100048", "SR", "SR 02 07");
    form->Mostrar();
    form->btnIncluirClick();
    F("UFFavorecida").SetAsString("SP");
    dialogs.ResponderDialogo(true, [&](const TPedidoDialogo& p) {
        EXPECT_EQ(p.titulo, "Selecione Sub-Código da Receita");
        // The picker lists only the admitted sub-codes.
        EXPECT_EQ(p.fonte->DataSet()->RecordCount(), 2);
        p.fonte->DataSet()->Last();
    });
    F("Receita").SetAsString("100048");
    EXPECT_EQ(F("SubReceita").AsInteger(), 7);
    EXPECT_FALSE(dm->cdsSubReceita.Filtered());
    dm->cdsKOVA.Cancel();
    form->btnIncluirClick();
    F("UFFavorecida").SetAsString("SP");
    dialogs.ResponderDialogo(false);
    F("Receita").SetAsString("100048");
    EXPECT_EQ(dm->cdsKOVA.State(), TDataSetState::dsBrowse);  // the new slip is cancelled
    // A single admitted sub-code is taken with a notice; the library leaves it to be chosen.
    dm->cdsUFReceita.EmptyDataSet();
    Regra(*dm, "SP", "100048", "SR", "01 02");
    form->btnIncluirClick();
    F("UFFavorecida").SetAsString("SP");
    F("Receita").SetAsString("100048");
    EXPECT_EQ(F("SubReceita").AsInteger(), 2);
    EXPECT_EQ(dialogs.History().back().text,
              "Esta receita deverá ser utilizada apenas para:\r\rsub");
    dm->cdsKOVA.Cancel();
    dm->ModoBiblioteca = true;
    dm->cdsKOVA.Append();
    F("UFFavorecida").SetAsString("SP");
    F("Receita").SetAsString("100048");
    EXPECT_EQ(dm->SelecionarSubReceita, 1);
    dm->cdsKOVA.Cancel();
}

TEST_F(TelaTest, SeletorDeProdutoTrocaAOrdemEVolta) {
    KOVAGravada();
    Inserir(dm->cdsUFProduto, {{"UF", T("SP")},
                               {"Receita", T("100048")},
                               {"Produto", int32_t(36)},
                               {"Descricao", T("Zinco")}});
    Inserir(dm->cdsUFProduto, {{"UF", T("SP")},
                               {"Receita", T("100048")},
                               {"Produto", int32_t(37)},
                               {"Descricao", T("Aço")}});
    dialogs.ResponderDialogo(true, [&](const TPedidoDialogo& p) {
        EXPECT_EQ(p.fonte->DataSet()->IndexName(), "sk_Descricao");
        p.fonte->DataSet()->First();  // "Aço", first by description
    });
    form->btnProdutoClick();  // not editing: nothing changes
    EXPECT_EQ(F("Produto").AsInteger(), 0);
    EXPECT_EQ(dm->cdsUFProduto.IndexName(), "pk_UFProduto");
    dm->cdsKOVA.Edit();
    dialogs.ResponderDialogo(true, [&](const TPedidoDialogo& p) { p.fonte->DataSet()->First(); });
    form->btnProdutoClick();
    EXPECT_EQ(F("Produto").AsInteger(), 37);
    dm->cdsKOVA.Cancel();
}

TEST_F(TelaTest, SalvarNaBibliotecaPedeDataEFecha) {
    int fechamentos = 0;
    form->OnFechar = [&] { ++fechamentos; };
    dm->ModoBiblioteca = true;
    dm->cdsKOVA.Append();
    PreencheKOVAValida(*dm);
    form->Mostrar();
    dm->PedirDataPagamento = 1;
    RespondeDataPagamento(true, MakeDate(2024, 3, 20));
    form->btnSalvarClick();
    EXPECT_EQ(dm->cdsKOVA.State(), TDataSetState::dsBrowse);
    EXPECT_EQ(F("DataPagamento").AsDate(), MakeDate(2024, 3, 20));
    EXPECT_EQ(F("CodigoBarra").AsString().size(), 44u);
    EXPECT_EQ(form->QtdeIncluidas, 1);
    EXPECT_FALSE(form->Visivel);
    EXPECT_EQ(fechamentos, 1);
    // Declining the payment date cancels the slip and closes the screen.
    dm->cdsKOVA.Append();
    PreencheKOVAValida(*dm);
    form->Mostrar();
    RespondeDataPagamento(false);
    form->btnSalvarClick();
    EXPECT_EQ(dm->cdsKOVA.State(), TDataSetState::dsBrowse);
    EXPECT_EQ(dm->cdsKOVA.RecordCount(), 1);
    EXPECT_EQ(form->QtdeIncluidas, 1);
    EXPECT_FALSE(form->Visivel);
}

TEST_F(TelaTest, MensagensDoCearaNaSaidaDoVencimento) {
    Inserir(dm->cdsUF, {{"UF", T("CE")}, {"Periodicidade", T("M")}});
    dm->cdsKOVA.Append();
    dm->CriandoRegistro = true;
    F("UFFavorecida").SetAsString("CE");
    F("Receita").SetAsString("100048");
    F("DataVencimento").SetAsDate(MakeDate(2024, 3, 14));  // yesterday
    dm->CriandoRegistro = false;
    form->Controles.SetEnabled("dbeDataVencimento", true);
    form->dbeDataVencimentoExit();
    ASSERT_EQ(dialogs.Texts().size(), 1u);
    EXPECT_EQ(dialogs.Texts()[0], MensagemCE(false, dm->EnderecoFazendaCE));
    EXPECT_EQ(Foco(), "dbeDataVencimento");
    dm->CriandoRegistro = true;
    F("DataVencimento").SetAsDate(MakeDate(2024, 3, 15));  // today is not overdue
    dm->CriandoRegistro = false;
    form->dbeDataVencimentoExit();
    EXPECT_EQ(dialogs.Texts().size(), 1u);
    dm->cdsKOVA.Cancel();
}

TEST_F(TelaTest, DeclaracaoDeImportacaoComAnoDaReferencia) {
    form->Mostrar();
    form->btnIncluirClick();
    F("UFFavorecida").SetAsString("SP");
    F("Receita").SetAsString("100056");
    dm->CriandoRegistro = true;
    F("Referencia").SetAsString("1012009");
    F("DocumentoOrigem").SetAsString("1000000007");  // year 10 against 09
    dm->CriandoRegistro = false;
    F("Referencia").SetAsString("1012009");
    EXPECT_EQ(dialogs.Texts().back(), "[Erro: 150] Ano da DI incompatível com o Ano de Referência");
    dm->cdsKOVA.Cancel();
    dialogs.Clear();
    dm->ModoBiblioteca = dm->ModoSilencioso = true;
    dm->cdsKOVA.Append();
    dm->CriandoRegistro = true;
    F("UFFavorecida").SetAsString("SP");
    F("Receita").SetAsString("100056");
    F("DocumentoOrigem").SetAsString("40900000007");
    dm->CriandoRegistro = false;
    F("Referencia").SetAsString("1012010");
    EXPECT_EQ(dm->UltimoErro, "[Erro: 151] Ano da DSI incompatível com o Ano de Referência");
    dm->cdsKOVA.Cancel();
}

}  // namespace

// The pickers stand in box 05's place: Enter from the year goes on to box 06, and a box closed on
// screen takes the closed colour at once.
TEST_F(TelaTest, PeriodoSeguidoDoValorECoresAoFecharCaixa) {
    form->Mostrar();
    form->btnIncluirClick();
    F("UFFavorecida").SetAsString("MG");
    EXPECT_EQ(form->Controles.Get("dblcUFFavorecida").color, TColor::Window);
    form->dblcUFFavorecidaExit();
    EXPECT_FALSE(Aberta("dblcUFFavorecida"));
    EXPECT_EQ(form->Controles.Get("dblcUFFavorecida").color, TColor::ButtonFace);
    F("Receita").SetAsString("100056");
    EXPECT_EQ(form->Controles.Get("dbeDataVencimento").color, TColor::Window);
    RespondeDataPagamento(true);
    F("DataVencimento").SetAsDate(MakeDate(2024, 3, 25));
    for (const char* de : {"cbxPeriodoDia", "cbxPeriodoMes"}) {
        ASSERT_TRUE(form->Controles.SetFocus(de));
        form->TeclaEnter();
        EXPECT_NE(Foco(), "dbeConvenio") << de;
    }
    EXPECT_EQ(Foco(), "cbxPeriodoAno");
    form->TeclaEnter();
    EXPECT_EQ(Foco(), "dbeValorPrincipal");
    dm->cdsKOVA.Cancel();
}

// Changing a stored slip shows its own period in the pickers; passing through them keeps it.
TEST_F(TelaTest, AlterarMostraEGuardaOPeriodo) {
    KOVAGravada();
    // Stored as a slip of the desktop would be: "21 a 31" of February 2021 (position 2 + 1).
    form->dtsPadrao.SetDataSet(nullptr);
    dm->cdsKOVA.Edit();
    dm->CriandoRegistro = true;
    F("UFFavorecida").SetAsString("MG");
    F("Receita").SetAsString("100056");
    F("Referencia").SetAsString("3022021");
    dm->CriandoRegistro = false;
    dm->cdsKOVA.Post();
    form->dtsPadrao.SetDataSet(&dm->cdsKOVA);

    form->Mostrar();
    RespondeDataPagamento(true);
    form->btnAlterarClick();
    ASSERT_EQ(dm->cdsKOVA.State(), TDataSetState::dsEdit);
    EXPECT_TRUE(form->Controles.Showing("cbxPeriodoDia"));
    const auto escolhido = [&](const char* picker) {
        const TControlState& c = form->Controles.Get(picker);
        return c.itemIndex < 0 ? std::string() : c.items.at(size_t(c.itemIndex));
    };
    EXPECT_EQ(escolhido("cbxPeriodoDia"), "21 a 28");
    EXPECT_EQ(escolhido("cbxPeriodoMes"), "02");
    EXPECT_EQ(escolhido("cbxPeriodoAno"), "2021");
    form->cbxPeriodoDiaChange();
    EXPECT_EQ(F("Referencia").AsString(), "3022021");
    // A choice of the person still changes it.
    form->Controles.SetItemIndex("cbxPeriodoDia", 0);
    form->cbxPeriodoDiaChange();
    EXPECT_EQ(F("Referencia").AsString(), "1022021");
    dm->cdsKOVA.Cancel();
    EXPECT_EQ(F("Referencia").AsString(), "3022021");
}

// In December the year picker also offers next year; the default period must still be this month
// of this year, or every slip with a period would be a future one.
TEST(DigitarDezembro, PeriodoPadraoEhEsteMesDesteAno) {
    ScriptedDialogs dialogs;
    ScopedDialogService servico{dialogs};
    Clock::Set(MakeDateTime(2026, 12, 9, 10, 0));
    TDM dm;
    dm.AbrirTabelasVazias();
    ReferenciasBasicas(dm);
    Regra(dm, "SP", "000000", "MA", "KOVA vencida ou periodo futuro");
    TfrmDigitar form(dm);
    ASSERT_EQ(form.Controles.Get("cbxPeriodoAno").items.back(), "2027");

    form.Mostrar();
    form.btnIncluirClick();
    dm.cdsKOVA.FieldByName("UFFavorecida").SetAsString("SP");
    dm.cdsKOVA.FieldByName("Receita").SetAsString("100056");
    EXPECT_EQ(dm.cdsKOVA.FieldByName("Referencia").AsString(), "1122026");
    EXPECT_EQ(form.Controles.Get("cbxPeriodoAno")
                  .items[size_t(form.Controles.Get("cbxPeriodoAno").itemIndex)],
              "2026");
    EXPECT_TRUE(dialogs.History().empty()) << dialogs.Texts()[0];
    dm.cdsKOVA.Cancel();

    // Unattended, a period the caller did not give stays empty: it is refused as missing when the
    // slip is checked, never issued with a month nobody chose.
    dm.ModoBiblioteca = dm.ModoSilencioso = true;
    dm.cdsKOVA.Append();
    dm.cdsKOVA.FieldByName("UFFavorecida").SetAsString("SP");
    dm.cdsKOVA.FieldByName("Receita").SetAsString("100056");
    EXPECT_EQ(dm.cdsKOVA.FieldByName("Referencia").AsString(), "");
    EXPECT_EQ(dm.UltimoErro, "");
    dm.cdsKOVA.Cancel();
    Clock::Reset();
    EXPECT_TRUE(dialogs.Unexpected().empty());
}

namespace {

// A save the disk refuses: the person is told (by the screen's error handler) and the slip is
// still there being typed, not shown as saved; once the disk takes it, the same slip is saved.
TEST_F(TelaTest, GravacaoRecusadaPeloDiscoDeixaAKOVAEmDigitacao) {
    dm->GravarAposAlteracao = true;
    dm->DirDados = "/nao-existe/kova/";
    form->Mostrar();
    form->btnIncluirClick();
    RespondeDataPagamento(true);  // for the due date and for the payment date
    RespondeDataPagamento(true);
    PreencheKOVAValida(*dm);
    ASSERT_EQ(dm->cdsKOVA.State(), TDataSetState::dsInsert);
    EXPECT_THROW(form->btnSalvarClick(), EGravacaoKOVA);
    EXPECT_EQ(dm->cdsKOVA.State(), TDataSetState::dsInsert);
    EXPECT_EQ(form->QtdeIncluidas, 0);
    EXPECT_EQ(dm->cdsKOVA.RecordCount(), 0);
    EXPECT_TRUE(Aberta("btnSalvar"));
    EXPECT_EQ(F("RazaoSocial").AsString(), "EMPRESA DE TESTE LTDA");

    dm->GravarAposAlteracao = false;
    form->btnSalvarClick();
    EXPECT_EQ(dm->cdsKOVA.State(), TDataSetState::dsBrowse);
    EXPECT_EQ(form->QtdeIncluidas, 1);
    EXPECT_EQ(dm->cdsKOVA.RecordCount(), 1);
}

}  // namespace

// The host's slip appears with the focus in its first box that takes input, wherever the last
// showing left it: what the person types at once goes into the slip.
TEST_F(TelaTest, HospedadaAbreComFocoNaPrimeiraCaixaAberta) {
    form->Controles.SetFocus("dbeJuros");
    KOVAHospedada();
    EXPECT_EQ(Foco(), "dblcUFFavorecida");
    form->Descartar();
    KOVAHospedada({"dblcUFFavorecida"});
    EXPECT_EQ(Foco(), "dblcReceita");
    form->Descartar();
    EXPECT_TRUE(dialogs.History().empty());
}

// Leaving box 14 of the host's slip asks the payment date once for its due date: left again with
// that date (or reported left twice for one move), it asks nothing and keeps the payment date
// given.
TEST_F(TelaTest, HospedadaPedeDataDePagamentoUmaVezPorVencimento) {
    KOVAHospedada();
    RespondeDataPagamento(true, MakeDate(2024, 3, 20));
    form->dbeDataVencimentoExit();
    ASSERT_EQ(dialogs.Pedidos().size(), 1u);
    form->dbeDataVencimentoExit();
    EXPECT_EQ(dialogs.Pedidos().size(), 1u);
    EXPECT_EQ(F("DataPagamento").AsDate(), MakeDate(2024, 3, 20));

    // Another due date is asked about; declined and the slip kept, it is asked about again.
    F("DataVencimento").SetAsDate(MakeDate(2024, 3, 27));
    RespondeDataPagamento(false);
    dialogs.Answer(TModalResult::mrNo);
    form->dbeDataVencimentoExit();
    EXPECT_EQ(dialogs.Pedidos().size(), 2u);
    ASSERT_EQ(dm->cdsKOVA.State(), TDataSetState::dsInsert);
    RespondeDataPagamento(true);
    form->dbeDataVencimentoExit();
    EXPECT_EQ(dialogs.Pedidos().size(), 3u);
    form->Descartar();

    // A new slip with the same due date is asked about afresh.
    KOVAHospedada();
    RespondeDataPagamento(true);
    form->dbeDataVencimentoExit();
    EXPECT_EQ(dialogs.Pedidos().size(), 4u);
    form->Descartar();
}

// Escape (or Cancel) on the host's slip asks before discarding what the person typed, as at the
// desktop; the request's own values are not the person's typing. Declining keeps the screen and
// the slip; confirming gives the host its failure reply.
TEST_F(TelaTest, HospedadaEscapePerguntaAntesDeDescartarODigitado) {
    int fechamentos = 0;
    form->OnFechar = [&] { ++fechamentos; };
    KOVAHospedada();
    form->btnDesfazerClick();
    EXPECT_TRUE(dialogs.History().empty());
    EXPECT_FALSE(form->Visivel);
    EXPECT_EQ(fechamentos, 1);

    KOVAHospedada();
    F("Juros").SetAsFloat(2.5);
    dialogs.Answer(TModalResult::mrNo);
    form->btnDesfazerClick();
    ASSERT_EQ(dialogs.History().size(), 1u);
    EXPECT_EQ(dialogs.History()[0].text, kPerguntaDescartar);
    EXPECT_EQ(dialogs.History()[0].kind, TMsgDlgType::mtConfirmation);
    EXPECT_TRUE(form->Visivel);
    EXPECT_EQ(dm->cdsKOVA.State(), TDataSetState::dsInsert);
    EXPECT_EQ(fechamentos, 1);
    dialogs.Answer(TModalResult::mrYes);
    form->btnDesfazerClick();
    EXPECT_FALSE(form->Visivel);
    EXPECT_EQ(dm->cdsKOVA.State(), TDataSetState::dsBrowse);
    EXPECT_EQ(dm->cdsKOVA.RecordCount(), 0);
    EXPECT_EQ(form->QtdeIncluidas, 0);

    // The display ended by other means: no one is there to be asked.
    KOVAHospedada();
    F("Juros").SetAsFloat(2.5);
    form->Descartar();
    EXPECT_EQ(dialogs.History().size(), 2u);
    EXPECT_FALSE(form->Visivel);
    EXPECT_EQ(dm->cdsKOVA.State(), TDataSetState::dsBrowse);
}
