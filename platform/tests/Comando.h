#pragma once
// Runs a shell command for a test (PDF and image tools) and gives back what it wrote.

#include <cstdio>
#include <string>

namespace kova::teste {

inline std::string Executa(const std::string& comando) {
    std::string saida;
    FILE* p = popen(comando.c_str(), "r");
    if (!p) return saida;
    char b[4096];
    size_t n;
    while ((n = fread(b, 1, sizeof b, p)) > 0) saida.append(b, n);
    pclose(p);
    return saida;
}

}  // namespace kova::teste
