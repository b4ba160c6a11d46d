// Where this program's literals lie on Windows: the sections of the module holding this code
// that are not writable.

#include <windows.h>

#include <cstdint>

#include "FaixasFixas.h"

namespace kova {

FaixasFixas LerFaixasFixas() {
    FaixasFixas f;
    HMODULE modulo = nullptr;
    if (!GetModuleHandleExA(
            GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
            reinterpret_cast<LPCSTR>(&LerFaixasFixas), &modulo)) {
        return f;
    }
    const auto base = reinterpret_cast<uintptr_t>(modulo);
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + uintptr_t(dos->e_lfanew));
    const IMAGE_SECTION_HEADER* secao = IMAGE_FIRST_SECTION(nt);
    for (unsigned i = 0; i < nt->FileHeader.NumberOfSections && f.n < FaixasFixas::kMaximo;
         ++i, ++secao) {
        if (secao->Characteristics & IMAGE_SCN_MEM_WRITE) continue;
        f.inicio[f.n] = base + secao->VirtualAddress;
        f.fim[f.n] = base + secao->VirtualAddress + secao->Misc.VirtualSize;
        ++f.n;
    }
    return f;
}

}  // namespace kova
