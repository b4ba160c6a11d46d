// The entry screen's sequence without a display: a view of plain maps stands where the widgets
// would be, the person's keys go to the controller as any view passes them on.

#include <gtest/gtest.h>

#include <map>
#include <memory>

#include "Clock.h"
#include "ControladorDigitar.h"
#include "Dialogs.h"
#include "TabelasDeTeste.h"
#include "Texto.h"
#include "TfrmDigitar.h"

using namespace kova;
using namespace kova::teste;

namespace {

// What the widgets would show: a box shows its field until the person types in it or the
// controller writes into it; a change of the field shows the field again.
class VistaDeTeste : public IVistaDigitar {
public:
    VistaDeTeste(TfrmDigitar& form, TDM& dm) : form_(form), dm_(dm) {
        vinculo_.SetDataSet(&dm_.cdsKOVA);
        vinculo_.OnDataChange = [this](TDataSource&, TField* campo) {
            for (auto it = textos.begin(); it != textos.end();) {
                const TControlState* c = form_.Controles.Find(it->first);
                const bool doCampo =
                    c && !c->field.empty() && (!campo || SameText(c->field, campo->FieldName()));
                it = doCampo ? textos.erase(it) : std::next(it);
            }
        };
    }
    ~VistaDeTeste() override { vinculo_.SetDataSet(nullptr); }

    std::string Texto(const std::string& caixa) const override {
        if (auto it = textos.find(caixa); it != textos.end()) return it->second;
        const TControlState* c = form_.Controles.Find(caixa);
        return c && !c->field.empty() ? dm_.cdsKOVA.FieldByName(c->field).Text() : std::string();
    }
    void MostraTexto(const std::string& caixa, const std::string& texto) override {
        textos[caixa] = texto;
    }
    void SelecionaTudo(const std::string& caixa) override { selecionada = caixa; }
    int Indice(const std::string& lista) const override {
        if (auto it = indices.find(lista); it != indices.end()) return it->second;
        return form_.Controles.Get(lista).itemIndex;
    }
    std::string Chave(const std::string& lista) const override {
        auto it = chaves.find(lista);
        return it == chaves.end() ? std::string() : it->second;
    }
    bool Aberta(const std::string& caixa) const override {
        const TControlState* c = form_.Controles.Find(caixa);
        return c && c->enabled && form_.Controles.Showing(caixa);
    }
    void Foca(const std::string& caixa) override {
        if (!Aberta(caixa)) return;
        foco = caixa;
        ++focos;
        controlador->Focou(caixa);
    }
    std::string CaixaComFoco() const override { return foco; }
    bool Visivel() const override { return true; }
    void SincronizaPagina() override {}

    std::map<std::string, std::string> textos;
    std::map<std::string, int> indices;
    std::map<std::string, std::string> chaves;
    std::string foco, selecionada;
    int focos = 0;
    TControladorDigitar* controlador = nullptr;

private:
    TfrmDigitar& form_;
    TDM& dm_;
    TDataSource vinculo_{"dtsVistaDeTeste"};
};

class ControladorDigitarTest : public ::testing::Test {
protected:
    void SetUp() override {
        dm = ModuloDeTeste();
        form = std::make_unique<TfrmDigitar>(*dm);
        vista = std::make_unique<VistaDeTeste>(*form, *dm);
        controlador = std::make_unique<TControladorDigitar>(*form, *dm, *vista);
        vista->controlador = controlador.get();
    }
    void TearDown() override {
        if (dm->cdsKOVA.State() != TDataSetState::dsBrowse) dm->cdsKOVA.Cancel();
        controlador.reset();
        vista.reset();
        form.reset();
        dm.reset();
        Clock::Reset();
        EXPECT_TRUE(dialogs.Unexpected().empty())
            << (dialogs.Unexpected().empty() ? "" : dialogs.Unexpected()[0]);
    }
    TField& F(const char* nome) { return dm->cdsKOVA.FieldByName(nome); }
    const std::string& Foco() const { return vista->foco; }
    void Abre() {
        controlador->Executa([this] { form->IniciarNovaKOVA(); });
        ASSERT_EQ(Foco(), "dblcUFFavorecida");
    }
    // The person types into the box with the focus (a lookup list: highlights the entry of that
    // key) and presses Enter.
    void Digita(const std::string& texto) {
        const std::string caixa = Foco();
        const TControlState& c = form->Controles.Get(caixa);
        if (c.kind == TControlKind::LookupCombo) {
            vista->chaves[caixa] = texto;
        } else if (c.kind == TControlKind::Edit) {
            vista->textos[caixa] = texto;
        }
        EXPECT_TRUE(controlador->Tecla(caixa, TTeclaDigitar::Enter));
    }
    // A new São Paulo slip of revenue 10004-8 with its due date and payment date, up to the
    // taxpayer.
    void SaoPauloAteOContribuinte() {
        Abre();
        Digita("SP");
        Digita("100048");
        dialogs.ResponderDialogo(true);
        Digita("25/03/2024");
        ASSERT_EQ(Foco(), "dbeCICContribuinte");
    }

    ScriptedDialogs dialogs;
    ScopedDialogService servico{dialogs};
    std::unique_ptr<TDM> dm;
    std::unique_ptr<TfrmDigitar> form;
    std::unique_ptr<VistaDeTeste> vista;
    std::unique_ptr<TControladorDigitar> controlador;
};

// Box after box as Enter leaves each: the exits open the boxes that follow, the keys a box refuses
// never reach it, the amounts add up, and the save stores what the boxes hold.
TEST_F(ControladorDigitarTest, UmaKOVADigitadaCaixaACaixaEGravada) {
    Abre();
    EXPECT_FALSE(vista->Aberta("dblcReceita"));
    Digita("SP");
    EXPECT_EQ(F("UFFavorecida").AsString(), "SP");
    EXPECT_EQ(Foco(), "dblcReceita");
    Digita("100048");
    EXPECT_EQ(Foco(), "dbeDataVencimento");
    dialogs.ResponderDialogo(
        true, [](const TPedidoDialogo& p) { EXPECT_EQ(p.titulo, "Data de Pagamento"); });
    Digita("25/03/2024");
    EXPECT_EQ(F("DataVencimento").AsString(), "25/03/2024");
    EXPECT_EQ(F("DataPagamento").AsString(), "25/03/2024");
    EXPECT_EQ(Foco(), "dbeCICContribuinte");
    EXPECT_FALSE(vista->Aberta("dbeDataVencimento"));

    // The CNPJ's punctuation and the town's digits are keys the boxes drop.
    EXPECT_TRUE(controlador->Tecla("dbeCICContribuinte", TTeclaDigitar::Outra, '.'));
    EXPECT_TRUE(controlador->Tecla("dbeCICContribuinte", TTeclaDigitar::Outra, '/'));
    EXPECT_FALSE(controlador->Tecla("dbeCICContribuinte", TTeclaDigitar::Outra, '7'));
    EXPECT_TRUE(controlador->Tecla("dbeMunicipio", TTeclaDigitar::Outra, '2'));
    EXPECT_FALSE(controlador->Tecla("dbeMunicipio", TTeclaDigitar::Outra, 'a'));
    EXPECT_FALSE(controlador->Tecla("dbeRazaoSocial", TTeclaDigitar::Outra, '.'));

    Digita("11222333000181");
    EXPECT_EQ(Foco(), "dbeReferencia");
    Digita("001");
    EXPECT_EQ(Foco(), "dbeValorPrincipal");
    Digita("150,00");
    Digita("");
    Digita("2,50");
    EXPECT_EQ(F("TotalRecolher").AsFloat(), 152.5);
    EXPECT_EQ(vista->Texto("dbeTotalReceber"), F("TotalRecolher").Text());
    Digita("");
    EXPECT_EQ(Foco(), "dbeConvenio");
    Digita("");
    Digita("EMPRESA DE TESTE LTDA");
    Digita("");
    Digita("RUA DAS FLORES, 100");
    Digita("CAMPINAS");
    EXPECT_EQ(Foco(), "dblcUF");
    Digita("SP");
    Digita("13010-000");
    Digita("1133334444");
    vista->textos["dbeInformacoes"] = "PAGO EM DIA";  // typed, saved without leaving the box

    controlador->Salvar();
    EXPECT_EQ(dm->cdsKOVA.State(), TDataSetState::dsBrowse);
    EXPECT_EQ(dm->cdsKOVA.RecordCount(), 1);
    EXPECT_EQ(F("RazaoSocial").AsString(), "EMPRESA DE TESTE LTDA");
    EXPECT_EQ(F("Municipio").AsString(), "CAMPINAS");
    EXPECT_EQ(F("UF").AsString(), "SP");
    EXPECT_EQ(F("CEP").AsString(), "13010-000");
    EXPECT_EQ(F("Juros").AsFloat(), 2.5);
    EXPECT_EQ(F("Informacoes").AsString(), "PAGO EM DIA");
    EXPECT_EQ(form->QtdeIncluidas, 1);
    EXPECT_EQ(form->Controles.Get("lblState").caption,
              "KOVA nº " + F("IdKOVA").AsString() + " salva");
}

// A text its field refuses keeps the person in the box, which shows the field again selected for
// retyping; a field's own refusal (a wrong check digit) also keeps the box and its text.
TEST_F(ControladorDigitarTest, TextoRecusadoFicaNaCaixa) {
    SaoPauloAteOContribuinte();
    Digita("11222333000100");
    ASSERT_EQ(dialogs.History().size(), 1u);
    EXPECT_EQ(dialogs.History()[0].kind, TMsgDlgType::mtError);
    EXPECT_EQ(Foco(), "dbeCICContribuinte");
    Digita("11222333000181");
    Digita("001");
    Digita("150");
    ASSERT_EQ(Foco(), "dbeAtualizacaoMonetaria");
    for (const char* recusado : {"-5", "1.234,56"}) {
        SCOPED_TRACE(recusado);
        vista->selecionada.clear();
        Digita(recusado);
        EXPECT_EQ(dialogs.History().back().kind, TMsgDlgType::mtError);
        EXPECT_EQ(Foco(), "dbeAtualizacaoMonetaria");
        EXPECT_EQ(vista->Texto("dbeAtualizacaoMonetaria"), "0");
        EXPECT_EQ(vista->selecionada, "dbeAtualizacaoMonetaria");
    }
    EXPECT_EQ(dialogs.History()[1].text, "Valor negativo não é permitido: -5");
    Digita("2,5");
    EXPECT_EQ(F("TotalRecolher").AsFloat(), 152.5);
}

// The focus a dialog or another window gives back to the box it left is no move of the person:
// the box's exit does not run again. A move from outside to another box leaves the one the person
// stood in.
TEST_F(ControladorDigitarTest, FocoDevolvidoNaoESaidaDaCaixa) {
    Abre();
    Digita("SP");
    Digita("100048");
    ASSERT_EQ(Foco(), "dbeDataVencimento");
    vista->textos["dbeDataVencimento"] = "01/03/2024";  // before today, not yet left
    controlador->FocoMudou("", "dbeDataVencimento", true);
    EXPECT_TRUE(dialogs.History().empty());
    EXPECT_TRUE(F("DataVencimento").IsNull());

    // Clicked into box 01 from another window: box 14 is left, and its past date questioned.
    dialogs.Answer(TModalResult::mrYes);
    vista->foco = "dbeCICContribuinte";
    controlador->FocoMudou("", "dbeCICContribuinte", true);
    ASSERT_EQ(dialogs.History().size(), 1u);
    EXPECT_NE(dialogs.History()[0].text.find("Deseja corrigi-la?"), std::string::npos);
    EXPECT_TRUE(F("DataVencimento").IsNull());
}

// The taxpayer is typed once: a CNPJ with earlier slips brings their latest name, address, town,
// state, CEP and phone; "Nova a partir desta" brings the taxpayer, the state, the revenue and the
// amounts, leaving the dates and the period. A second slip for the same taxpayer takes at most 50
// keys from the new slip to the save.
TEST_F(ControladorDigitarTest, ContribuinteDigitadoUmaVez) {
    Abre();
    for (const char* t : {"SP", "100048"}) Digita(t);
    dialogs.ResponderDialogo(true);
    for (const char* t : {"25/03/2024", "11222333000181", "001", "150,00", "0", "0", "0", "",
                          "EMPRESA DE TESTE LTDA", "", "RUA DAS FLORES, 100", "CAMPINAS", "SP",
                          "13010-000", "1133334444"}) {
        Digita(t);
    }
    controlador->Salvar();
    ASSERT_EQ(dm->cdsKOVA.State(), TDataSetState::dsBrowse);

    // Keys as a person presses them: each character, each Enter, each shortcut.
    int teclas = 0;
    auto digita = [&](const std::string& t) {
        teclas += int(t.size()) + 1;
        Digita(t);
    };
    teclas += 1;  // Alt+N
    controlador->Executa([this] { form->btnIncluirClick(); });
    digita("SP");  // "35" and Enter in the list: three keys, as many as these
    digita("100048");
    dialogs.ResponderDialogo(true);
    teclas += 1;  // Enter in the payment date's box
    digita("26/03/2024");
    digita("11222333000181");
    EXPECT_EQ(F("RazaoSocial").AsString(), "EMPRESA DE TESTE LTDA");
    EXPECT_EQ(F("Endereco").AsString(), "RUA DAS FLORES, 100");
    EXPECT_EQ(F("Municipio").AsString(), "CAMPINAS");
    EXPECT_EQ(F("UF").AsString(), "SP");
    EXPECT_EQ(F("CEP").AsString(), "13010-000");
    EXPECT_EQ(F("Telefone").AsString(), "1133334444");
    digita("002");
    digita("99,90");
    teclas += 1;  // Alt+S
    controlador->Salvar();
    EXPECT_EQ(dm->cdsKOVA.State(), TDataSetState::dsBrowse);
    EXPECT_EQ(dm->cdsKOVA.RecordCount(), 2);
    EXPECT_EQ(F("RazaoSocial").AsString(), "EMPRESA DE TESTE LTDA");
    EXPECT_LE(teclas, 50);
    EXPECT_TRUE(dialogs.Texts().empty()) << dialogs.Texts().front();

    // From the slip in front: the dates and the period typed, the rest as it was.
    EXPECT_TRUE(vista->Aberta("btnNovaAPartir"));
    controlador->Executa([this] { form->btnNovaAPartirClick(); });
    EXPECT_EQ(dm->cdsKOVA.State(), TDataSetState::dsInsert);
    EXPECT_EQ(Foco(), "dbeDataVencimento");
    EXPECT_EQ(F("UFFavorecida").AsString(), "SP");
    EXPECT_EQ(F("Receita").AsString(), "100048");
    EXPECT_EQ(F("CICContribuinte").AsString(), "11222333000181");
    EXPECT_EQ(F("ValorPrincipal").AsFloat(), 99.9);
    EXPECT_EQ(F("TotalRecolher").AsFloat(), 99.9);
    EXPECT_TRUE(F("DataVencimento").IsNull());
    EXPECT_TRUE(F("Referencia").AsString().empty());
    dialogs.ResponderDialogo(true);
    Digita("27/03/2024");
    EXPECT_EQ(Foco(), "dbeCICContribuinte");
    EXPECT_TRUE(controlador->Tecla(Foco(), TTeclaDigitar::Enter));  // the CNPJ as it is
    Digita("003");
    controlador->Salvar();
    EXPECT_EQ(dm->cdsKOVA.State(), TDataSetState::dsBrowse);
    EXPECT_EQ(dm->cdsKOVA.RecordCount(), 3);
    EXPECT_EQ(F("Referencia").AsString(), "003");
    EXPECT_EQ(F("Telefone").AsString(), "1133334444");
}

// A slip without amounts is refused for its total, which nobody types: the person is sent to the
// principal's box and told so, and what they type next goes there.
TEST_F(ControladorDigitarTest, TotalZeroLevaACaixaDoPrincipal) {
    SaoPauloAteOContribuinte();
    for (const char* t : {"11222333000181", "001", "0", "0", "0", "0", "", "EMPRESA DE TESTE LTDA",
                          "", "RUA DAS FLORES, 100", "CAMPINAS", "SP", "13010-000", "1133334444"}) {
        Digita(t);
    }
    ASSERT_EQ(Foco(), "dbeInformacoes");
    controlador->Salvar();
    ASSERT_EQ(dialogs.History().size(), 1u);
    EXPECT_EQ(dialogs.History()[0].text.rfind("[Erro: 110]", 0), 0u) << dialogs.History()[0].text;
    EXPECT_NE(dialogs.History()[0].text.find("\"06-Valor Principal\""), std::string::npos);
    EXPECT_EQ(Foco(), "dbeValorPrincipal");
    EXPECT_EQ(dm->cdsKOVA.State(), TDataSetState::dsInsert);
    Digita("150");
    EXPECT_EQ(F("ValorPrincipal").AsFloat(), 150.0);
    controlador->Salvar();
    EXPECT_EQ(dm->cdsKOVA.State(), TDataSetState::dsBrowse);
}

// A box its mask says is not filled keeps the person in it and writes nothing: a CEP short of a
// digit would be stored as it stands, since the CEP's check counts characters.
TEST_F(ControladorDigitarTest, MascaraIncompletaNaoGrava) {
    SaoPauloAteOContribuinte();
    form->Controles.SetEnabled("dbeCEP", true);
    vista->foco = "dbeCEP";
    Digita("80020-31");
    ASSERT_EQ(dialogs.History().size(), 1u);
    EXPECT_EQ(dialogs.History()[0].text,
              "A caixa \"21-CEP\" está incompleta: digite todos os seus caracteres.");
    EXPECT_EQ(Foco(), "dbeCEP");
    EXPECT_TRUE(F("CEP").AsString().empty());
    Digita("80020-310");
    EXPECT_EQ(F("CEP").AsString(), "80020-310");
    EXPECT_TRUE(MascaraCompleta("!99/99/0000;1;_", "1/3/2024"));
    EXPECT_TRUE(MascaraCompleta("00000\\-000;1;_", "-"));  // an empty box, judged elsewhere
}

// A lookup list's highlighted entry is taken when the person confirms it, and only while a slip is
// edited; a choice made with the mouse is taken at once.
TEST_F(ControladorDigitarTest, ListaEscolheSoAoConfirmar) {
    Abre();
    vista->chaves["dblcUFFavorecida"] = "MG";
    EXPECT_TRUE(F("UFFavorecida").IsNull());
    EXPECT_FALSE(vista->Aberta("dblcReceita"));
    EXPECT_TRUE(controlador->Tecla("dblcUFFavorecida", TTeclaDigitar::Tab));
    EXPECT_EQ(F("UFFavorecida").AsString(), "MG");
    EXPECT_EQ(Foco(), "dblcReceita");
    controlador->Escolheu("dblcReceita", "100056");
    EXPECT_EQ(F("Receita").AsString(), "100056");
    dm->cdsKOVA.Cancel();
    controlador->Escolheu("dblcUF", "RJ");
    EXPECT_EQ(dm->cdsKOVA.RecordCount(), 0);
}

// A save takes what the boxes show: the box with the focus, the period the pickers show although
// it was not confirmed, a masked box holding only its separators as empty.
TEST_F(ControladorDigitarTest, SalvarTomaOQueAsCaixasMostram) {
    Abre();
    Digita("MG");
    dialogs.ResponderDialogo(true);  // the sub-code of revenue 10005-6
    Digita("100056");
    dialogs.ResponderDialogo(true);
    Digita("25/03/2024");
    Digita("11222333000181");
    ASSERT_EQ(Foco(), "cbxPeriodoDia");
    Digita("");
    ASSERT_EQ(Foco(), "cbxPeriodoMes");
    EXPECT_EQ(F("Referencia").AsString(), "1032024");
    vista->indices["cbxPeriodoMes"] = 1;  // February shown by the arrows, nothing confirmed
    EXPECT_EQ(F("Referencia").AsString(), "1032024");
    vista->textos["dbeCEP"] = "-";       // a masked box shows its separators only
    dialogs.Answer(TModalResult::mrOk);  // whatever the save says of the boxes left empty
    controlador->Salvar();
    EXPECT_EQ(F("Referencia").AsString(), "1022024");
    EXPECT_TRUE(F("CEP").AsString().empty());
}

// Closing with a slip being edited asks first: Cancel keeps the screen and the slip, No discards
// it and closes.
TEST_F(ControladorDigitarTest, FecharPerguntaComKOVAEmEdicao) {
    SaoPauloAteOContribuinte();
    dialogs.Answer(TModalResult::mrCancel);
    EXPECT_FALSE(controlador->Fechar());
    EXPECT_EQ(dm->cdsKOVA.State(), TDataSetState::dsInsert);
    EXPECT_EQ(dialogs.History().back().text,
              "Existe uma KOVA em edição\r\rDeseja salvar as informações?");
    dialogs.Answer(TModalResult::mrNo);
    EXPECT_TRUE(controlador->Fechar());
    EXPECT_EQ(dm->cdsKOVA.State(), TDataSetState::dsBrowse);
    EXPECT_FALSE(form->Visivel);
}

}  // namespace
