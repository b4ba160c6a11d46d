// Where this program's literals lie on Windows: the sections of the module holding this code
// that are not writable.

#include <windows.h>

#include <cstdint>

#include "Texto.h"

namespace kova {

namespace {

struct FaixasFixas {
    uintptr_t inicio[16] = {};
    uintptr_t fim[16] = {};
    int n = 0;
};

FaixasFixas LerFaixasFixas() {
    FaixasFixas f;
    HMODULE modulo = nullptr;
    if (!GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            reinterpret_cast<LPCSTR>(&LerFaixasFixas), &modulo)) {
        return f;
    }
    const auto base = reinterpret_cast<uintptr_t>(modulo);
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + uintptr_t(dos->e_lfanew));
    const IMAGE_SECTION_HEADER* secao = IMAGE_FIRST_SECTION(nt);
    for (unsigned i = 0; i < nt->FileHeader.NumberOfSections && f.n < 16; ++i, ++secao) {
        if (secao->Characteristics & IMAGE_SCN_MEM_WRITE) continue;
        f.inicio[f.n] = base + secao->VirtualAddress;
        f.fim[f.n] = base + secao->VirtualAddress + secao->Misc.VirtualSize;
        ++f.n;
    }
    return f;
}

}  // namespace

bool TextoFixo(const void* texto) {
    static const FaixasFixas faixas = LerFaixasFixas();
    const auto p = reinterpret_cast<uintptr_t>(texto);
    for (int i = 0; i < faixas.n; ++i) {
        if (p >= faixas.inicio[i] && p < faixas.fim[i]) return true;
    }
    return false;
}

}  // namespace kova
