#pragma once
// The print list on Windows ("Imprimir KOVA"): the slips not yet printed (or all of them), to
// preview, print one, or print every listed slip, each print followed by the printed mark; and the
// preview window ("Visualizar KOVA"), which shows one copy at 120 % as the print engine lays it out
// and prints the slip that is current when asked. The same buttons and texts as the Linux windows.

#include <windows.h>

namespace kova {

class TqrpKOVA;

// Shows the print list modally over dono until the person closes it; the slips table is left
// unfiltered.
void ImprimirKOVAWin(HWND dono, TqrpKOVA& relatorio);

}  // namespace kova
