#pragma once
// A library loaded at run time by its path (the state-registration component), released when the
// object is destroyed.

#include <string>

namespace kova {

class TBibliotecaDinamica {
public:
    explicit TBibliotecaDinamica(const std::string& path);
    ~TBibliotecaDinamica();
    TBibliotecaDinamica(const TBibliotecaDinamica&) = delete;
    TBibliotecaDinamica& operator=(const TBibliotecaDinamica&) = delete;

    bool Carregada() const { return handle_ != nullptr; }
    // The address of an exported function, or null.
    void* Funcao(const char* nome) const;

private:
    void* handle_;
};

}  // namespace kova
