// A stand-in state-registration component for the tests: valid only for the registrations listed.
#include <cstdint>
#include <cstring>

extern "C" __attribute__((visibility("default"))) int32_t ConsisteInscricaoEstadual(
    const char* inscricao, const char* uf) {
    const char* validas[] = {"SP:110042490114", "MG:0623079040081"};
    char chave[64];
    if (std::strlen(inscricao) + std::strlen(uf) + 2 > sizeof chave) return 1;
    std::strcpy(chave, uf);
    std::strcat(chave, ":");
    std::strcat(chave, inscricao);
    for (const char* v : validas) {
        if (std::strcmp(v, chave) == 0) return 0;
    }
    return 7;  // any answer but 0 means not valid
}
