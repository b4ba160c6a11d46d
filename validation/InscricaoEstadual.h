#pragma once
// The call of the state-registration component DllInscE32.Dll: looked for in the system directory
// (copied there from the program's folder when missing), loaded, asked, and unloaded on every
// call, so that a component replaced on disk is used at once and nothing stays loaded.

#include <string>

namespace kova {

// True when the component judges the registration valid for the state. Throws kova::Exception
// "DllInscE32.Dll não carregada" or "Entrypoint ConsisteInscricaoEstadual não encontrado em
// DllInscE32.Dll" when the component cannot be used.
bool ValidaInscricaoEstadual(const std::string& uf, const std::string& inscricao);

inline constexpr const char* kComponenteInscricao = "DllInscE32.Dll";

}  // namespace kova
