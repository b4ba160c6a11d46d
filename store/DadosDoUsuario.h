#pragma once
// A person's own data directory when KOVA was installed from the package: the programs live in a
// system folder that nobody writes into, so on a user's first start the shipped tables are copied
// into the user's data folder and KOVA.INI (in the user's configuration folder) is made to name it.
// Every later start, of the desktop program or of a host of the library, finds it through that
// KOVA.INI. A second user gets a copy of their own.

#include <string>

namespace kova {

// Where the package puts the shipped tables that every user's first start copies.
std::string DadosInstalados();

// Called at start when neither Config.ini beside the program nor KOVA.INI in dirWindows exists:
// with no Dados beside the program and the shipped tables installed in `instalados`, copies them
// into `dirUsuario` + "Dados/" (unless a data directory is already there) and writes KOVA.INI
// naming it. Returns the data directory to use, or empty when this start is not such a case.
// Throws Exception with a Portuguese message when the copy or KOVA.INI cannot be written.
std::string PreparaDadosDoUsuario(const std::string& dirPrograma, const std::string& dirWindows,
                                  const std::string& dirUsuario, const std::string& instalados);

}  // namespace kova
