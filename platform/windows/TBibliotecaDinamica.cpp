// Loading the component on Windows: the file is opened (never through a link) and held open, with
// no one else allowed to write, rename or delete it, until it is unloaded; the file the loader
// mapped is then checked to be that same file. Owners and permissions are left to the folders a
// Windows installation protects (the system directory, Program Files).

#include "TBibliotecaDinamica.h"

#include <windows.h>

namespace kova {

namespace {

HANDLE Aberto(intptr_t arquivo) { return reinterpret_cast<HANDLE>(arquivo); }

// The same file: same volume, same file number.
bool MesmoArquivo(const BY_HANDLE_FILE_INFORMATION& a, const BY_HANDLE_FILE_INFORMATION& b) {
    return a.dwVolumeSerialNumber == b.dwVolumeSerialNumber &&
           a.nFileIndexHigh == b.nFileIndexHigh && a.nFileIndexLow == b.nFileIndexLow;
}

}  // namespace

// Only the file named is loaded: the libraries it needs come from the system's usual places, as
// they would for the host program.
TBibliotecaDinamica::TBibliotecaDinamica(const std::string& path, const TGancho& gancho) {
    const auto passo = [&](TPasso p) {
        if (gancho) gancho(p);
    };
    passo(TPasso::Abertura);
    HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                           FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (h == INVALID_HANDLE_VALUE) return;
    arquivo_ = reinterpret_cast<intptr_t>(h);
    passo(TPasso::Conferencia);
    BY_HANDLE_FILE_INFORMATION aberto;
    if (!GetFileInformationByHandle(h, &aberto) ||
        (aberto.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
        Fechar();
        return;
    }
    if (aberto.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
        recusa_ = path + " é um link simbólico";
        Fechar();
        return;
    }
    passo(TPasso::Carga);
    HMODULE modulo = LoadLibraryExA(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    if (!modulo) {
        Fechar();
        return;
    }
    // Held as it is, the file cannot have changed; a module of the same name loaded before from
    // elsewhere could stand in for it, and is not this one.
    char nome[MAX_PATH];
    const DWORD n = GetModuleFileNameA(modulo, nome, sizeof nome);
    HANDLE carregado =
        n > 0 && n < sizeof nome
            ? CreateFileA(nome, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                          OPEN_EXISTING, 0, nullptr)
            : INVALID_HANDLE_VALUE;
    BY_HANDLE_FILE_INFORMATION mapeado;
    const bool mesmo = carregado != INVALID_HANDLE_VALUE &&
                       GetFileInformationByHandle(carregado, &mapeado) &&
                       MesmoArquivo(aberto, mapeado);
    if (carregado != INVALID_HANDLE_VALUE) CloseHandle(carregado);
    if (!mesmo) {
        FreeLibrary(modulo);
        recusa_ = path + " não é o arquivo que o sistema carregou";
        Fechar();
        return;
    }
    handle_ = reinterpret_cast<void*>(modulo);
}

TBibliotecaDinamica::~TBibliotecaDinamica() {
    if (handle_) FreeLibrary(static_cast<HMODULE>(handle_));
    Fechar();
}

void TBibliotecaDinamica::Fechar() {
    if (arquivo_ != -1) CloseHandle(Aberto(arquivo_));
    arquivo_ = -1;
}

void* TBibliotecaDinamica::Funcao(const char* nome) const {
    if (!handle_) return nullptr;
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(handle_), nome));
}

}  // namespace kova
