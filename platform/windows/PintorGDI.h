#pragma once
// Paints the report engine's pages with GDI, the Windows drawing interface, on a printer as one
// print job. Millimetres become device units here, measured from the
// paper's top-left corner whatever margin the printer cannot print on; Arial, Arial Narrow and
// Courier New are asked for by name, as the Linux painter asks for their Liberation twins.

#include <string>
#include <vector>

#include "TRelatorio.h"

// A device context of GDI, as <windows.h> declares it.
struct HDC__;
typedef HDC__* HDC;

namespace kova {

// The default printer of the user, or empty when none is installed.
std::string ImpressoraPadrao();

// Prints the pages on the named printer as one job titled titulo, on A4 paper, one copy, and
// returns once the print spooler has accepted the whole job. A printer that is paused, offline or
// being removed is told apart with its own reason and gets nothing; throws kova::Exception with the
// reason when nothing was printed.
// Paints one page on a device (a window, a picture in memory) at the given scale, the paper's
// top-left corner at (x, y) in device units: the preview of a slip.
void PintaPaginaEm(HDC dc, const TPagina& pagina, double pontosPorMilimetro, int x, int y);

void ImprimeNaImpressora(const std::string& impressora, const std::vector<TPagina>& paginas,
                         const std::string& titulo);

}  // namespace kova
