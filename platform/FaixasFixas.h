#pragma once
// The read-only address ranges of the module (program or library) that holds the engine's code,
// where its literals lie, and on Linux those of the program itself; each system finds them its own
// way (platform/linux, platform/windows).

#include <cstdint>

namespace kova {

struct FaixasFixas {
    static constexpr int kMaximo = 16;
    uintptr_t inicio[kMaximo] = {};
    uintptr_t fim[kMaximo] = {};
    int n = 0;
};

FaixasFixas LerFaixasFixas();

}  // namespace kova
