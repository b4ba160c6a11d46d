#include <gtest/gtest.h>

#include <memory>

#include "Clock.h"
#include "DialogosDigitar.h"
#include "TDM.h"
#include "TabelasDeTeste.h"

using namespace kova;
using namespace kova::teste;

namespace {

// Each dialog the screen asks for by name is drawn in its form; the pickers show columns of the
// table their request carries, and without a table they and the payment-date box fall back to
// plain text, as does a name nobody knows.
TEST(DialogosDigitar, CadaNomeComSuaFormaEColunasDaSuaTabela) {
    auto dm = ModuloDeTeste();
    struct {
        const char* nome;
        TDataSource* fonte;
        TFormaDialogo forma;
        size_t colunas;
    } const casos[] = {
        {"TfrmSelecionaProduto", &dm->dtsUFProduto, TFormaDialogo::Escolha, 2},
        {"TfrmSelecionaSubReceita", &dm->dtsSubReceita, TFormaDialogo::Escolha, 1},
        {"TfrmDataPagamento", &dm->dtsKOVA, TFormaDialogo::DataPagamento, 0},
        {"TfrmMsgLink", nullptr, TFormaDialogo::AvisoComLink, 0},
        {"TfrmSelecionaProduto", nullptr, TFormaDialogo::Texto, 0},
        {"TfrmDataPagamento", nullptr, TFormaDialogo::Texto, 0},
        {"TfrmDesconhecido", &dm->dtsKOVA, TFormaDialogo::Texto, 0},
    };
    for (const auto& caso : casos) {
        SCOPED_TRACE(caso.nome);
        TPedidoDialogo pedido;
        pedido.nome = caso.nome;
        pedido.fonte = caso.fonte;
        const TDialogoDigitar d = DialogoDigitar(pedido);
        EXPECT_EQ(d.forma, caso.forma);
        ASSERT_EQ(d.colunas.size(), caso.colunas);
        for (const TColunaEscolha& c : d.colunas) {
            EXPECT_NO_THROW(caso.fonte->DataSet()->FieldByName(c.campo)) << c.campo;
            EXPECT_NE(std::string(c.titulo), "");
        }
    }
    TPedidoDialogo produto;
    produto.nome = "TfrmSelecionaProduto";
    produto.fonte = &dm->dtsUFProduto;
    const TDialogoDigitar d = DialogoDigitar(produto);
    EXPECT_FALSE(d.colunas[0].centrada);
    EXPECT_TRUE(d.colunas[1].centrada);
    dm.reset();
    Clock::Reset();
}

}  // namespace
