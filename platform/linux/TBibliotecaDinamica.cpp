#include "TBibliotecaDinamica.h"

#include <dlfcn.h>

namespace kova {

TBibliotecaDinamica::TBibliotecaDinamica(const std::string& path)
    : handle_(dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL)) {}

TBibliotecaDinamica::~TBibliotecaDinamica() {
    if (handle_) dlclose(handle_);
}

void* TBibliotecaDinamica::Funcao(const char* nome) const {
    return handle_ ? dlsym(handle_, nome) : nullptr;
}

}  // namespace kova
