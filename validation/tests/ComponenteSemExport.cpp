// A stand-in component that lacks the export the system calls.
#include <cstdint>

extern "C" __attribute__((visibility("default"))) int32_t OutraFuncao() { return 0; }
