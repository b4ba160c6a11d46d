#include "TBibliotecaDinamica.h"

#include <windows.h>

namespace kova {

// Only the file named is loaded: the libraries it needs come from the system's usual places, as
// they would for the host program.
TBibliotecaDinamica::TBibliotecaDinamica(const std::string& path)
    : handle_(reinterpret_cast<void*>(
          LoadLibraryExA(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH))) {}

TBibliotecaDinamica::~TBibliotecaDinamica() {
    if (handle_) FreeLibrary(static_cast<HMODULE>(handle_));
}

void* TBibliotecaDinamica::Funcao(const char* nome) const {
    if (!handle_) return nullptr;
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(handle_), nome));
}

}  // namespace kova
