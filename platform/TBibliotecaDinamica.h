#pragma once
// A library loaded at run time by its path (the state-registration component), released when the
// object is destroyed. What is loaded is the very file that was checked: it is opened without
// following a link, the opened file is checked (on Linux: it and its folder belong to the user or
// the administrator, and no one else may write them, short of a sticky folder), and the load goes
// through that open file, so a name swapped between the check and the load changes nothing.

#include <cstdint>
#include <functional>
#include <string>

namespace kova {

class TBibliotecaDinamica {
public:
    // The steps of a load, in order: looking for the file in its places (done by the caller),
    // opening it, checking what was opened, loading it.
    enum class TPasso { Procura, Abertura, Conferencia, Carga };
    // Called before each step; a test acts there as someone racing the load would.
    using TGancho = std::function<void(TPasso)>;

    explicit TBibliotecaDinamica(const std::string& path, const TGancho& gancho = {});
    ~TBibliotecaDinamica();
    TBibliotecaDinamica(const TBibliotecaDinamica&) = delete;
    TBibliotecaDinamica& operator=(const TBibliotecaDinamica&) = delete;

    bool Carregada() const { return handle_ != nullptr; }
    // Why the file was not trusted, naming it ("... pertence a outro usuário"); empty when it was
    // loaded, or when it could not be opened or loaded for some other reason.
    const std::string& Recusa() const { return recusa_; }
    // The address of an exported function, or null.
    void* Funcao(const char* nome) const;

private:
    void Fechar();

    void* handle_ = nullptr;
    // The file held open for as long as it is loaded (a descriptor on Linux, a handle on Windows).
    intptr_t arquivo_ = -1;
    std::string recusa_;
};

}  // namespace kova
