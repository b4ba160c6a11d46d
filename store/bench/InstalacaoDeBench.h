#pragma once
// A program folder and a copy of the shipped tables in a temporary folder, for the benchmarks that
// run on them; removed at the end.

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace kova::bench {

struct Instalacao {
    Instalacao() {
        char modelo[] = "/tmp/kova-bench-XXXXXX";
        raiz = std::string(mkdtemp(modelo)) + "/";
        std::filesystem::create_directories(raiz + "programa");
        std::filesystem::create_directories(raiz + "windows");
        std::filesystem::copy(KOVA_DADOS_PADRAO, raiz + "dados",
                              std::filesystem::copy_options::recursive);
        std::ofstream(raiz + "programa/Config.ini") << "[Dados]\r\nPath=" << raiz << "dados/\r\n";
        setenv("KOVA_WINDIR", (raiz + "windows").c_str(), 1);
    }
    ~Instalacao() { std::filesystem::remove_all(raiz); }
    Instalacao(const Instalacao&) = delete;
    Instalacao& operator=(const Instalacao&) = delete;
    std::string raiz;
};

}  // namespace kova::bench
