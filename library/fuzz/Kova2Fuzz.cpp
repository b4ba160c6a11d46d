// Any text handed to kova2 by a host program: the reply always fits, ends with its checksum, and
// nothing escapes the export.

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "KovaIniDeTeste.h"
#include "kovadll.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    PreparaKovaIni(KOVA_DADOS_TESTE);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* dados, size_t tamanho) {
    if (tamanho > 4096) return 0;
    // The original export on a roomy buffer, as hosts use it.
    std::vector<char> buffer(8192, '\0');
    std::memcpy(buffer.data(), dados, tamanho);
    kova2(buffer.data());
    const char* crc = std::strstr(buffer.data(), ";CRC=");
    if (std::memchr(buffer.data(), '\0', buffer.size()) == nullptr) std::abort();
    char erro[64];
    const bool falhou = kova_ultimo_erro(erro, sizeof erro) > 1;
    if (!crc && !falhou) std::abort();  // every answered request is signed

    // The length-checked export on an exact-size heap buffer: it must never write past it.
    std::vector<char> justo(dados, dados + tamanho);
    justo.push_back('\0');
    char* exato = static_cast<char*>(std::malloc(justo.size()));
    std::memcpy(exato, justo.data(), justo.size());
    kova2_n(exato, justo.size());
    std::free(exato);
    return 0;
}
