#include <gtest/gtest.h>

#include <memory>

#include "CaixasDigitar.h"
#include "Clock.h"
#include "TDM.h"
#include "TabelasDeTeste.h"
#include "TfrmDigitar.h"

using namespace kova;
using namespace kova::teste;

namespace {

class CaixasDigitarTest : public ::testing::Test {
protected:
    void SetUp() override {
        dm = ModuloDeTeste();
        form = std::make_unique<TfrmDigitar>(*dm);
    }
    void TearDown() override {
        form.reset();
        dm.reset();
        Clock::Reset();
    }
    TRegraCaixa Regra(const char* caixa) {
        return RegraDaCaixa(form->Controles.Get(caixa), dm->cdsKOVA);
    }

    std::unique_ptr<TDM> dm;
    std::unique_ptr<TfrmDigitar> form;
};

// A box never takes more than its field keeps, its mask is its field's, and the boxes named by the
// rules (capitals, amounts, key filters) are edit boxes of the screen bound to fields that suit.
TEST_F(CaixasDigitarTest, CadaCaixaAceitaOQueSeuCampoGuarda) {
    int caixas = 0;
    for (const auto& c : form->Controles.Controls()) {
        if (c->kind != TControlKind::Edit || c->field.empty()) continue;
        ++caixas;
        SCOPED_TRACE(c->name);
        const TField& f = dm->cdsKOVA.FieldByName(c->field);
        const TRegraCaixa r = RegraDaCaixa(*c, dm->cdsKOVA);
        EXPECT_EQ(r.mascara, f.EditMask());
        if (f.DataType() == TFieldType::ftString) {
            EXPECT_EQ(r.comprimento, f.Size());
        } else {
            EXPECT_FALSE(r.maiusculas);
        }
    }
    EXPECT_GT(caixas, 15);

    for (const char* valor : kCaixasDeValor) {
        SCOPED_TRACE(valor);
        const TControlState& c = form->Controles.Get(valor);
        EXPECT_EQ(c.kind, TControlKind::Edit);
        EXPECT_EQ(dm->cdsKOVA.FieldByName(c.field).DataType(), TFieldType::ftCurrency);
        EXPECT_EQ(Regra(valor).comprimento, 12);
        EXPECT_FALSE(Regra(valor).maiusculas);
    }
    for (const char* nome : {"dbeConvenio", "dbeRazaoSocial", "dbeInscricaoEstadual", "dbeEndereco",
                             "dbeMunicipio", "dbeInformacoes"}) {
        SCOPED_TRACE(nome);
        EXPECT_EQ(form->Controles.Get(nome).kind, TControlKind::Edit);
        EXPECT_TRUE(Regra(nome).maiusculas);
    }
    EXPECT_FALSE(Regra("dbeCICContribuinte").maiusculas);
    EXPECT_EQ(Regra("dbeCEP").mascara, "00000\\-000;1;_");
    EXPECT_EQ(Regra("dbeCEP").comprimento, 9);

    // Controls bound to no field take anything.
    TControlState botao;
    botao.name = "btnGravar";
    const TRegraCaixa solta = RegraDaCaixa(botao, dm->cdsKOVA);
    EXPECT_EQ(solta.comprimento, 0);
    EXPECT_TRUE(solta.mascara.empty());
    EXPECT_FALSE(solta.maiusculas);
}

// The CNPJ/CPF is typed as digits alone, a town's name without digits, the postcode without the
// dash its mask writes; every other box takes any key.
TEST_F(CaixasDigitarTest, FiltrosDeTeclasRecusamSoOQueSuaCaixaNaoGuarda) {
    struct {
        const char* caixa;
        const char* recusadas;
        const char* aceitas;
    } const casos[] = {
        {"dbeCICContribuinte", "-./", "0123456789"},
        {"dbeMunicipio", "0123456789", "ABCZabc '-"},
        {"dbeCEP", "-", "0123456789"},
    };
    for (const auto& caso : casos) {
        SCOPED_TRACE(caso.caixa);
        const TFiltroTecla filtro = Regra(caso.caixa).filtro;
        ASSERT_NE(filtro, nullptr);
        EXPECT_EQ(FiltroDeTeclas(caso.caixa), filtro);
        for (const char* c = caso.recusadas; *c; ++c) EXPECT_EQ(filtro(*c), '\0') << *c;
        for (const char* c = caso.aceitas; *c; ++c) EXPECT_EQ(filtro(*c), *c) << *c;
    }
    for (const auto& c : form->Controles.Controls()) {
        if (c->name == "dbeCICContribuinte" || c->name == "dbeMunicipio" || c->name == "dbeCEP")
            continue;
        EXPECT_EQ(RegraDaCaixa(*c, dm->cdsKOVA).filtro, nullptr) << c->name;
    }
}

// Every lookup list of the screen offers a table holding its key and shown columns, and writes its
// key into a slip field of the same type; nothing else is taken for a list.
TEST_F(CaixasDigitarTest, ListasOferecemTabelasComChaveEColunas) {
    int listas = 0;
    for (const auto& c : form->Controles.Controls()) {
        const TListaDigitar* l = ListaDigitar(c->name);
        if (c->kind != TControlKind::LookupCombo) {
            EXPECT_EQ(l, nullptr) << c->name;
            continue;
        }
        ++listas;
        SCOPED_TRACE(c->name);
        ASSERT_NE(l, nullptr);
        EXPECT_GT(l->linhas, 0);
        ASSERT_FALSE(l->colunas.empty());
        TDataSet& tabela = (*dm).*(l->tabela);
        ASSERT_FALSE(c->field.empty());
        EXPECT_EQ(tabela.FieldByName(l->chave).DataType(),
                  dm->cdsKOVA.FieldByName(c->field).DataType());
        for (const char* coluna : l->colunas) EXPECT_NO_THROW(tabela.FieldByName(coluna)) << coluna;
    }
    EXPECT_EQ(listas, int(ListasDigitar().size()));
    EXPECT_EQ(ListaDigitar("dbeCEP"), nullptr);
    EXPECT_EQ(ListaDigitar("dblcUF")->tabela, &TDM::cdsUF);
    EXPECT_EQ(ListaDigitar("dblcProduto")->tabela, &TDM::cdsUFProduto);
}

// A list shows the entry of its field's value unless the field is empty; once the form clears it,
// it stays clear while the field keeps its value, and shows again for good once the field changes.
TEST(EscolhasMostradas, LimpaAteOCampoMudar) {
    TEscolhasMostradas e;
    EXPECT_TRUE(e.Mostra("dblcUF", "SP"));
    EXPECT_FALSE(e.Mostra("dblcUF", ""));

    e.Limpa("dblcUF", "SP");
    EXPECT_FALSE(e.Mostra("dblcUF", "SP"));
    EXPECT_FALSE(e.Mostra("dblcUF", "SP"));
    EXPECT_TRUE(e.Mostra("dblcUFFavorecida", "SP"));
    EXPECT_TRUE(e.Mostra("dblcUF", "RJ"));
    EXPECT_TRUE(e.Mostra("dblcUF", "SP"));

    // Cleared while empty: a value typed afterwards is shown.
    e.Limpa("dblcReceita", "");
    EXPECT_FALSE(e.Mostra("dblcReceita", ""));
    EXPECT_TRUE(e.Mostra("dblcReceita", "100048"));
    EXPECT_FALSE(e.Mostra("dblcReceita", ""));
}

}  // namespace
