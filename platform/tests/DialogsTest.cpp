#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "Dialogs.h"

using namespace kova;

namespace {

bool Tem(const TFormaMensagem& f, TModalResult r) {
    return std::find(f.botoes.begin(), f.botoes.end(), r) != f.botoes.end();
}

// Every box has the buttons of its kind in the order shown; Enter and closing the box press one of
// them, closing never answers Yes, and a question whose Yes loses typed data waits on No.
TEST(FormaDaMensagem, BotoesPadraoERespostaSemEscolha) {
    using B = TMsgDlgButtons;
    using R = TModalResult;
    struct {
        B botoes;
        std::vector<R> esperados;
        R padrao;
        R semEscolha;
    } const casos[] = {
        {B::mbOK, {R::mrOk}, R::mrOk, R::mrOk},
        {B::mbYesNo, {R::mrYes, R::mrNo}, R::mrYes, R::mrNo},
        {B::mbNoYes, {R::mrYes, R::mrNo}, R::mrNo, R::mrNo},
        {B::mbYesCancel, {R::mrYes, R::mrCancel}, R::mrYes, R::mrCancel},
        {B::mbYesNoCancel, {R::mrYes, R::mrNo, R::mrCancel}, R::mrYes, R::mrCancel},
    };
    for (const auto& caso : casos) {
        SCOPED_TRACE(int(caso.botoes));
        for (TMsgDlgType tipo : {TMsgDlgType::mtError, TMsgDlgType::mtInformation,
                                 TMsgDlgType::mtWarning, TMsgDlgType::mtConfirmation}) {
            const TFormaMensagem f = FormaDaMensagem(tipo, caso.botoes);
            EXPECT_EQ(f.botoes, caso.esperados);
            EXPECT_EQ(f.padrao, caso.padrao);
            EXPECT_EQ(f.semEscolha, caso.semEscolha);
            EXPECT_TRUE(Tem(f, f.padrao));
            EXPECT_TRUE(Tem(f, f.semEscolha));
        }
    }
    EXPECT_STREQ(FormaDaMensagem(TMsgDlgType::mtError, B::mbOK).titulo, "Erro");
    EXPECT_STREQ(FormaDaMensagem(TMsgDlgType::mtWarning, B::mbOK).titulo, "Aviso");
    EXPECT_STREQ(FormaDaMensagem(TMsgDlgType::mtConfirmation, B::mbYesNo).titulo, "Confirmação");
    EXPECT_STREQ(FormaDaMensagem(TMsgDlgType::mtInformation, B::mbOK).titulo, "Informação");
}

// With nobody to ask, a question is answered by its first button; a test's unexpected question as
// if the person closed the box.
TEST(FormaDaMensagem, ServicoSemTelaEServicoDeTeste) {
    using B = TMsgDlgButtons;
    for (B b : {B::mbOK, B::mbYesNo, B::mbNoYes, B::mbYesCancel, B::mbYesNoCancel}) {
        SCOPED_TRACE(int(b));
        const TFormaMensagem f = FormaDaMensagem(TMsgDlgType::mtConfirmation, b);
        EXPECT_EQ(MessageDlg("pergunta", TMsgDlgType::mtConfirmation, b), f.botoes.front());
        ScriptedDialogs roteiro;
        EXPECT_EQ(roteiro.MessageDlg("pergunta", TMsgDlgType::mtConfirmation, b), f.semEscolha);
        EXPECT_EQ(roteiro.Unexpected().size(), b == B::mbOK ? 0u : 1u);
    }
}

}  // namespace
