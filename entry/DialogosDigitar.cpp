#include "DialogosDigitar.h"

#include "TDataSource.h"

namespace kova {

TDialogoDigitar DialogoDigitar(const TPedidoDialogo& pedido) {
    TDialogoDigitar d;
    if (pedido.fonte && pedido.fonte->DataSet()) {
        if (pedido.nome == "TfrmSelecionaProduto") {
            d.forma = TFormaDialogo::Escolha;
            d.colunas = {{"Descricao", "Produto", false}, {"Produto", "Código", true}};
            return d;
        }
        if (pedido.nome == "TfrmSelecionaSubReceita") {
            d.forma = TFormaDialogo::Escolha;
            d.colunas = {{"Descricao", "Detalhamento da Receita", false}};
            return d;
        }
        if (pedido.nome == "TfrmDataPagamento") {
            d.forma = TFormaDialogo::DataPagamento;
            return d;
        }
    }
    if (pedido.nome == "TfrmMsgLink") d.forma = TFormaDialogo::AvisoComLink;
    return d;
}

}  // namespace kova
