#pragma once
// The state-registration component DllInscE32.Dll, found and loaded once for the process. It is
// taken from the first place that holds it: the system directory (where an administrator's
// installation puts it), the program's folder, then the folder the system itself was installed
// in (on Windows the folder of the library or program that holds the engine; on Linux the
// package's). Nothing is copied or written, so a user who may not write the system directory
// uses the component beside the program. The file loaded is the file checked (TBibliotecaDinamica):
// never a link, and on Linux never one that another user could have put or changed there. Not for
// two threads at once.

#include <cstdint>
#include <string>

#include "TBibliotecaDinamica.h"

namespace kova {

inline constexpr const char* kComponenteInscricao = "DllInscE32.Dll";

// The component's one function: the registration and the state in, 0 when valid. On 32-bit
// Windows with the system's calling convention.
#if defined(_WIN32) && !defined(_WIN64)
using TConsisteInscricao = int32_t(__stdcall*)(const char* inscricao, const char* uf);
#else
using TConsisteInscricao = int32_t (*)(const char* inscricao, const char* uf);
#endif

// The component's function, loaded on the first call and kept; later calls over the same places
// touch no disk. dirPrograma is the program's folder (for a library, its host's). Throws
// kova::Exception "DllInscE32.Dll não carregada" with the places tried (or the file that would not
// load, or why it may not be trusted), or "Entrypoint ConsisteInscricaoEstadual não encontrado em
// DllInscE32.Dll". After a failure the next call looks again.
TConsisteInscricao ComponenteInscricao(const std::string& dirPrograma);

// Tests only: called before each step of the loads that follow (looking for the file, opening it,
// checking it, loading it), as someone racing a load would act; null for none.
void DefineGanchoDeCarga(TBibliotecaDinamica::TGancho gancho);

}  // namespace kova
