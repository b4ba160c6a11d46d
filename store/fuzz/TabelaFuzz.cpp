// Any file given as a table file: it loads, or it is refused with a message; the table is then
// whole (its fields as defined) and usable.

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "TDM.h"
#include "TTableFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* dados, size_t tamanho) {
    static std::unique_ptr<kova::TDM> dm = [] {
        auto m = std::make_unique<kova::TDM>();
        m->AbrirTabelasVazias();
        return m;
    }();
    static const std::string caminho =
        "/dev/shm/kova-fuzz-tabela-" + std::to_string(getpid()) + ".cds";
    FILE* f = std::fopen(caminho.c_str(), "wb");
    if (!f) std::abort();
    std::fwrite(dados, 1, tamanho, f);
    std::fclose(f);
    for (kova::TDataSet* t : {&dm->cdsKOVA, &dm->cdsUF, &dm->cdsUFReceita}) {
        const int campos = t->FieldCount();
        try {
            kova::LoadFromFile(*t, caminho);
            for (t->First(); !t->Eof(); t->Next()) {
                for (int i = 0; i < t->FieldCount(); ++i) (void)t->Fields(i).AsString();
            }
        } catch (const std::exception&) {
        }
        if (t->FieldCount() != campos) std::abort();
    }
    return 0;
}
