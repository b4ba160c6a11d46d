#pragma once
// What the entry screen's boxes and lookup lists are, apart from any toolkit: what each box
// accepts (its length, its mask, whether it is typed in capitals and which keys it refuses) and
// which table each lookup list offers, the key it writes into the slip and the columns it shows.
// A view builds its widgets from these and codes none of them itself.

#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "TControlModel.h"

namespace kova {

class TDM;
class TDataSet;

// The boxes of the amounts, in the order the screen shows them.
extern const char* const kCaixasDeValor[5];

// Answers '\0' for a typed key the box refuses, the key otherwise.
using TFiltroTecla = char (*)(char);
// Null for a box that takes every key.
TFiltroTecla FiltroDeTeclas(std::string_view caixa);

struct TRegraCaixa {
    int comprimento = 0;  // most characters the box takes, 0 for no limit
    std::string mascara;  // the field's edit mask, "" for none
    bool maiusculas = false;
    TFiltroTecla filtro = nullptr;
};

// Whether a box's text holds every character its edit mask requires; a text of the mask's
// separators alone is an empty box, which this does not judge.
bool MascaraCompleta(std::string_view mascara, std::string_view texto);

// What a data-bound box accepts, from its field in the slips table; a control bound to no field
// takes anything.
TRegraCaixa RegraDaCaixa(const TControlState& caixa, const TDataSet& kova);

struct TListaDigitar {
    const char* nome;
    TDataSet TDM::*tabela;
    const char* chave;  // the table's field written into the slip
    std::vector<const char*> colunas;
    int linhas;  // entries shown at once when the list opens
};

const std::vector<TListaDigitar>& ListasDigitar();
// Null for a control that is no lookup list.
const TListaDigitar* ListaDigitar(std::string_view nome);

// The shown choice of the lookup lists: the entry of the field's value, none for an empty field,
// and none after the form clears it until the field takes another value.
class TEscolhasMostradas {
public:
    // The form cleared the shown choice of a list whose field holds valor.
    void Limpa(const std::string& lista, const std::string& valor) { limpas_[lista] = valor; }
    // Whether the list shows the entry of its field's value; a cleared list whose field has taken
    // another value shows it again from then on.
    bool Mostra(const std::string& lista, const std::string& valor);

private:
    std::map<std::string, std::string> limpas_;
};

}  // namespace kova
