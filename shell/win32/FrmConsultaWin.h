#pragma once
// The three reference browsers on Windows, read-only, as on Linux: the states with their barcode
// rules, the revenues offered in a state with their barcode layout, the products of a state.

#include <windows.h>

namespace kova {

enum class TipoConsulta { UF, UFReceita, UFProduto };

// Shows the browser modally over dono until the person closes it (Fechar, Esc); the tables are
// left unfiltered for the other windows.
void ConsultaWin(HWND dono, TipoConsulta tipo);

}  // namespace kova
