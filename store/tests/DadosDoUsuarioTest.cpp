#include "DadosDoUsuario.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "TIniFile.h"

using namespace kova;
namespace fs = std::filesystem;

namespace {

std::string Le(const std::string& arquivo) {
    std::ifstream f(arquivo, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(f), {});
}

TEST(DadosDoUsuario, PrimeiroInicioCopiaAsTabelasEOsSeguintesGuardamOQueOUsuarioTem) {
    char modelo[] = "/tmp/kova-usuario-XXXXXX";
    const std::string raiz = std::string(mkdtemp(modelo)) + "/";
    const std::string instalados = raiz + "usr/share/kova/Dados/";
    fs::create_directories(instalados);
    fs::create_directories(raiz + "usr/bin");
    std::ofstream(instalados + "ControleCRC.cds") << "crc";
    std::ofstream(instalados + "KOVA.cds") << "vazio";

    const std::string dados =
        PreparaDadosDoUsuario(raiz + "usr/bin/", raiz + "config/kova/", raiz + "share/kova/", instalados);
    EXPECT_EQ(dados, raiz + "share/kova/Dados/");
    EXPECT_EQ(Le(dados + "KOVA.cds"), "vazio");
    EXPECT_EQ(TIniFile(raiz + "config/kova/KOVA.INI").ReadString("KOVA", "DirDados", ""), dados);
    EXPECT_FALSE(fs::exists(raiz + "share/kova/Dados.novo"));

    // The user's slips stay as they are on every later start, and another user gets their own.
    std::ofstream(dados + "KOVA.cds") << "minhas KOVA";
    fs::remove(raiz + "config/kova/KOVA.INI");
    EXPECT_EQ(PreparaDadosDoUsuario(raiz + "usr/bin/", raiz + "config/kova/", raiz + "share/kova/", instalados), dados);
    EXPECT_EQ(Le(dados + "KOVA.cds"), "minhas KOVA");
    const std::string outro =
        PreparaDadosDoUsuario(raiz + "usr/bin/", raiz + "config2/kova/", raiz + "share2/kova/", instalados);
    EXPECT_EQ(Le(outro + "KOVA.cds"), "vazio");

    // A program with its own Dados beside it, or nothing installed: not such a start.
    EXPECT_EQ(PreparaDadosDoUsuario(raiz + "usr/bin/", raiz + "c/", raiz + "s/", raiz + "nada/"), "");
    fs::create_directories(raiz + "usr/bin/Dados");
    EXPECT_EQ(PreparaDadosDoUsuario(raiz + "usr/bin/", raiz + "c/", raiz + "s/", instalados), "");
    EXPECT_FALSE(fs::exists(raiz + "s/Dados"));
    fs::remove_all(raiz);
}

}  // namespace
