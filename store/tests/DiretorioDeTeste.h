#pragma once
// A private installation for one test: a program folder, the Windows and system folders (through
// KOVA_WINDIR and KOVA_SYSDIR) and a copy of the shipped data directory. Removed at the end.

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace kova::teste {

class DiretorioDeTeste {
public:
    DiretorioDeTeste() {
        char modelo[] = "/tmp/kova-teste-XXXXXX";
        raiz_ = std::string(mkdtemp(modelo)) + "/";
        namespace fs = std::filesystem;
        fs::create_directories(Programa());
        fs::create_directories(Windows());
        fs::create_directories(Sistema());
        fs::copy(KOVA_DADOS_PADRAO, Dados(), fs::copy_options::recursive);
        setenv("KOVA_WINDIR", Windows().c_str(), 1);
        setenv("KOVA_SYSDIR", Sistema().c_str(), 1);
    }
    ~DiretorioDeTeste() {
        std::error_code ec;
        std::filesystem::remove_all(raiz_, ec);
        unsetenv("KOVA_WINDIR");
        unsetenv("KOVA_SYSDIR");
    }
    DiretorioDeTeste(const DiretorioDeTeste&) = delete;
    DiretorioDeTeste& operator=(const DiretorioDeTeste&) = delete;

    std::string Raiz() const { return raiz_; }
    std::string Programa() const { return raiz_ + "programa/"; }
    std::string Windows() const { return raiz_ + "windows/"; }
    std::string Sistema() const { return raiz_ + "sistema/"; }
    std::string Dados() const { return raiz_ + "dados/"; }

    // Writes a text file (Windows-1252 content as given).
    static void Escreve(const std::string& path, const std::string& texto) {
        std::ofstream(path, std::ios::binary) << texto;
    }
    // Config.ini in the program folder pointing at the copied data.
    void ConfigPadrao(const std::string& extra = "") const {
        Escreve(Programa() + "Config.ini", "[Dados]\r\nPath=" + Dados() + "\r\n" + extra);
    }

private:
    std::string raiz_;
};

}  // namespace kova::teste
