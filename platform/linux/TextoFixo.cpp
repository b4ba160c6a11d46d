// Where this program's literals lie on Linux: the read-only loaded segments of the object that
// holds this code and of the program itself (when the engine is a library, the program's own texts
// name fields too). Neither is ever unloaded while the process runs.

#include <link.h>

#include <cstdint>

#include "FaixasFixas.h"

namespace kova {

FaixasFixas LerFaixasFixas() {
    struct Busca {
        uintptr_t codigo;
        FaixasFixas faixas;
        bool primeiro = true;
    } busca{reinterpret_cast<uintptr_t>(&LerFaixasFixas), {}};
    dl_iterate_phdr(
        [](dl_phdr_info* info, size_t, void* dados) -> int {
            auto& b = *static_cast<Busca*>(dados);
            // The program itself comes first.
            bool guardar = b.primeiro;
            b.primeiro = false;
            bool deste = false;
            for (int i = 0; i < info->dlpi_phnum; ++i) {
                const ElfW(Phdr)& ph = info->dlpi_phdr[i];
                const uintptr_t ini = info->dlpi_addr + ph.p_vaddr;
                deste = deste ||
                        (ph.p_type == PT_LOAD && b.codigo >= ini && b.codigo < ini + ph.p_memsz);
            }
            guardar = guardar || deste;
            for (int i = 0; guardar && i < info->dlpi_phnum && b.faixas.n < FaixasFixas::kMaximo;
                 ++i) {
                const ElfW(Phdr)& ph = info->dlpi_phdr[i];
                if (ph.p_type != PT_LOAD || (ph.p_flags & PF_W)) continue;
                b.faixas.inicio[b.faixas.n] = info->dlpi_addr + ph.p_vaddr;
                b.faixas.fim[b.faixas.n] = info->dlpi_addr + ph.p_vaddr + ph.p_memsz;
                ++b.faixas.n;
            }
            return deste ? 1 : 0;
        },
        &busca);
    return busca.faixas;
}

}  // namespace kova
