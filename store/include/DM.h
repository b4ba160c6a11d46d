#pragma once
// The one data module of the process, for code that only hands it on or asks where the program
// sits; what the module holds is declared in TDM.h.

#include <string>

namespace kova {

class TDM;

// The one data module of the process, or null while none exists.
extern TDM* DM;

// The program's directory as the data module holds it (tests may change it); while no module
// exists, the running program's own.
std::string DirProgramaDoModulo();

}  // namespace kova
