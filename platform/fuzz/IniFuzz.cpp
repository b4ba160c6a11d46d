// Any settings file: every read answers (the default when the key is missing or bad), and a write
// keeps the other lines as they were.

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "TIniFile.h"

namespace {

size_t Linhas(const std::string& caminho) {
    std::ifstream f(caminho, std::ios::binary);
    size_t n = 0;
    for (std::string linha; std::getline(f, linha);) ++n;
    return n;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* dados, size_t tamanho) {
    static const std::string caminho = "/dev/shm/kova-fuzz-" + std::to_string(getpid()) + ".ini";
    FILE* f = std::fopen(caminho.c_str(), "wb");
    if (!f) std::abort();
    std::fwrite(dados, 1, tamanho, f);
    std::fclose(f);
    kova::TIniFile ini(caminho);
    (void)ini.ReadString("KOVA", "DirDados", "padrao");
    (void)ini.ReadString("Opções", "Instalação", "none");
    (void)ini.ReadInteger("Opções", "TopMargin", -1);
    (void)ini.ValueExists("Dados", "Path");
    const size_t antes = Linhas(caminho);
    ini.WriteString("Fuzz", "Chave", "valor");
    if (ini.ReadString("Fuzz", "Chave", "") != "valor") std::abort();
    if (Linhas(caminho) < antes) std::abort();
    ini.DeleteKey("Fuzz", "Chave");
    return 0;
}
