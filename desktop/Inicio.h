#pragma once
// The start of the desktop program, apart from its main() so that tests can run it: the data
// module is created and loaded; a failed load has told the person and ends the program before
// any window.

#include <functional>
#include <memory>

namespace kova {

class TDM;

// The loaded data module, or null when the program must end (its messages have been shown). When
// the start failed on the slips file itself and copies of it are kept, the person is asked whether
// to restore one now; restaurar (the desktop's window over the configured module) then does it,
// true when a copy was put in place, and the start is made again.
std::unique_ptr<TDM> CriaModuloDeDados(const std::function<bool(TDM&)>& restaurar = {});

// Whether no graphical session can be reached: no X11 or Wayland display named, and no Qt
// platform chosen.
bool SemSessaoGrafica();
// What the program says, in Windows-1252, when it cannot open its windows.
const char* MensagemSemSessaoGrafica();

// Whether the first command-line argument asks for an unattended import: an existing file other
// than the program's default installation path.
bool ArgumentoDeImportacao(int argc, char** argv);

}  // namespace kova
