#pragma once
// The call of the state-registration component DllInscE32.Dll, found where the platform looks for
// it and kept loaded for the process (ComponenteInscricao.h).

#include <string>

#include "ComponenteInscricao.h"

namespace kova {

// True when the component judges the registration valid for the state. Throws kova::Exception
// "DllInscE32.Dll não carregada" (with the places tried) or "Entrypoint ConsisteInscricaoEstadual
// não encontrado em DllInscE32.Dll" when the component cannot be used.
bool ValidaInscricaoEstadual(const std::string& uf, const std::string& inscricao);

}  // namespace kova
