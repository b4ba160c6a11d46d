#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <string>

#include "Clock.h"
#include "MascaraCaixa.h"
#include "TDM.h"
#include "TabelasDeTeste.h"

using namespace kova;
using namespace kova::teste;

namespace {

// Types the characters one by one, as a person does, from the text shown.
std::string Digita(const TMascaraCaixa& m, std::string texto, const std::string& teclas) {
    for (const char c : teclas) texto = m.Digita(texto, c);
    return texto;
}

TEST(MascaraCaixaTest, DataDigitadaGanhaSeparadoresELimite) {
    const TMascaraCaixa data("!99/99/0000;1;_");
    EXPECT_EQ(data.Vagas(), 8u);
    EXPECT_EQ(Digita(data, "", "2"), "2");
    // A separator appears only once the slot after it is typed.
    EXPECT_EQ(Digita(data, "", "23"), "23");
    EXPECT_EQ(Digita(data, "", "230"), "23/0");
    EXPECT_EQ(Digita(data, "", "23062026"), "23/06/2026");
    // A ninth digit, letters and the separator itself are refused.
    EXPECT_EQ(Digita(data, "", "230620269"), "23/06/2026");
    EXPECT_EQ(Digita(data, "", "23a/06"), "23/06");
}

TEST(MascaraCaixaTest, SeparadorEscapadoDoCEP) {
    const TMascaraCaixa cep("00000\\-000;1;_");
    EXPECT_EQ(cep.Vagas(), 8u);
    EXPECT_EQ(Digita(cep, "", "13010000"), "13010-000");
    EXPECT_EQ(Digita(cep, "", "13010-0"), "13010-0");
}

TEST(MascaraCaixaTest, TextoDoCampoApagadoEContinuado) {
    const TMascaraCaixa data("!99/99/0000;1;_");
    // The field's text, shown in the box, is typed on from where it ends.
    EXPECT_EQ(data.Digitados("22/06/2026"), "22062026");
    EXPECT_EQ(data.Apaga("22/06/2026"), "22/06/202");
    EXPECT_EQ(data.Apaga("23/0"), "23");
    EXPECT_EQ(data.Apaga(""), "");
    EXPECT_EQ(Digita(data, data.Apaga("22/06/2026"), "7"), "22/06/2027");
    // A text that came from elsewhere keeps only what the slots take.
    EXPECT_EQ(data.Formata(data.Digitados("1/2/2026x")), "12/20/26");
    EXPECT_TRUE(TMascaraCaixa("").Vazia());
    EXPECT_TRUE(TMascaraCaixa(";1;_").Vazia());
}

// What the box shows is what its field takes: a whole date is written, a half-typed one refused.
TEST(MascaraCaixaTest, CampoTomaOTextoDaCaixa) {
    auto dm = ModuloDeTeste();
    TDataSet& k = dm->cdsKOVA;
    TField& vencimento = k.FieldByName("DataVencimento");
    const TMascaraCaixa data(vencimento.EditMask());
    k.Append();
    vencimento.SetText(Digita(data, "", "23062026"));
    EXPECT_EQ(vencimento.Text(), "23/06/2026");
    EXPECT_ANY_THROW(vencimento.SetText(Digita(data, "", "2306")));
    TField& cep = k.FieldByName("CEP");
    cep.SetText(Digita(TMascaraCaixa(cep.EditMask()), "", "13010000"));
    EXPECT_EQ(cep.AsString(), "13010-000");
    k.Cancel();
    dm.reset();
    Clock::Reset();
}

}  // namespace
