#pragma once
// Which dialog a screen request names, apart from any toolkit: a picker over its table's rows
// (with the columns it shows), the payment-date box, the notice with a link, or a plain text with
// Ok and Cancel. A view draws the dialog of the form given and codes no names itself.

#include <vector>

#include "Dialogs.h"

namespace kova {

enum class TFormaDialogo { Escolha, DataPagamento, AvisoComLink, Texto };

struct TColunaEscolha {
    const char* campo;
    const char* titulo;
    bool centrada;
};

struct TDialogoDigitar {
    TFormaDialogo forma = TFormaDialogo::Texto;
    std::vector<TColunaEscolha> colunas;  // a picker's, first the one that takes the room left
};

// The pickers and the payment-date box need the table of the request's data source; without it
// they are shown as plain text.
TDialogoDigitar DialogoDigitar(const TPedidoDialogo& pedido);

}  // namespace kova
