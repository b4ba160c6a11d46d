// A stand-in for code another user planted where the component is looked for: loading it is what
// must never happen. It leaves a mark the moment it is loaded (in the file KOVA_MARCA_INTRUSO
// names) and accepts every registration.
#include <cstdint>
#include <cstdio>
#include <cstdlib>

__attribute__((constructor)) static void DeixaMarca() {
    if (const char* marca = std::getenv("KOVA_MARCA_INTRUSO")) {
        if (FILE* f = std::fopen(marca, "w")) {
            std::fputs("carregado", f);
            std::fclose(f);
        }
    }
}

extern "C" __attribute__((visibility("default"))) int32_t ConsisteInscricaoEstadual(const char*,
                                                                                    const char*) {
    return 0;
}
