#pragma once
// A Windows directory of its own for a test program (fuzz targets, benchmarks), whose KOVA.INI
// names the data directory to load. The directory stays for the life of the process.

#include <stdlib.h>

#include <cstdio>
#include <string>

// Outside the engine's namespace: programs that include the library's header, whose export is
// also named kova, use it too.
inline void PreparaKovaIni(const std::string& dados) {
    char modelo[] = "/tmp/kova-dir-XXXXXX";
    const char* dir = mkdtemp(modelo);
    if (!dir) abort();
    setenv("KOVA_WINDIR", dir, 1);
    setenv("KOVA_SYSDIR", dir, 1);
    const std::string ini = std::string(dir) + "/KOVA.INI";
    FILE* f = std::fopen(ini.c_str(), "w");
    if (!f) abort();
    std::fprintf(f, "[KOVA]\r\nDirDados=%s\r\n", dados.c_str());
    std::fclose(f);
}
