#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>

#include "DadosDoUsuario.h"
#include "OutroUsuario.h"
#include "TChecksum.h"
#include "TDataSet.h"
#include "TIniFile.h"
#include "TTableFile.h"
#include "TTrava.h"
#include "Texto.h"

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

    const std::string dados = PreparaDadosDoUsuario(raiz + "usr/bin/", raiz + "config/kova/",
                                                    raiz + "share/kova/", instalados);
    EXPECT_EQ(dados, raiz + "share/kova/Dados/");
    EXPECT_EQ(Le(dados + "KOVA.cds"), "vazio");
    EXPECT_EQ(TIniFile(raiz + "config/kova/KOVA.INI").ReadString("KOVA", "DirDados", ""), dados);
    EXPECT_FALSE(fs::exists(raiz + "share/kova/Dados.novo"));

    // The user's slips stay as they are on every later start, and another user gets their own.
    std::ofstream(dados + "KOVA.cds") << "minhas KOVA";
    fs::remove(raiz + "config/kova/KOVA.INI");
    EXPECT_EQ(PreparaDadosDoUsuario(raiz + "usr/bin/", raiz + "config/kova/", raiz + "share/kova/",
                                    instalados),
              dados);
    EXPECT_EQ(Le(dados + "KOVA.cds"), "minhas KOVA");
    const std::string outro = PreparaDadosDoUsuario(raiz + "usr/bin/", raiz + "config2/kova/",
                                                    raiz + "share2/kova/", instalados);
    EXPECT_EQ(Le(outro + "KOVA.cds"), "vazio");

    // A program with its own Dados beside it, or nothing installed: not such a start.
    EXPECT_EQ(PreparaDadosDoUsuario(raiz + "usr/bin/", raiz + "c/", raiz + "s/", raiz + "nada/"),
              "");
    fs::create_directories(raiz + "usr/bin/Dados");
    EXPECT_EQ(PreparaDadosDoUsuario(raiz + "usr/bin/", raiz + "c/", raiz + "s/", instalados), "");
    EXPECT_FALSE(fs::exists(raiz + "s/Dados"));
    fs::remove_all(raiz);
}

unsigned Modo(const std::string& caminho) {
    struct stat st;
    return ::lstat(caminho.c_str(), &st) == 0 ? unsigned(st.st_mode & 07777) : 0u;
}

// What another user of the machine may read of it: empty when nothing.
std::string LidoPorOutro(const std::vector<std::string>& caminhos) {
    if (!teste::PodeTrocarDeUsuario()) return "";
    return teste::NoFilho([&] {
        std::string lidos;
        for (const std::string& c : caminhos) {
            if (::access(c.c_str(), R_OK) == 0 || errno != EACCES) lidos += c + " ";
        }
        return lidos;
    });
}

// Tables installed beside the program itself, read-only (a Windows installation): a template for
// each user, never their data directory; the user's copies may be written, by the user alone.
// Another Dados beside the program is the program's own data, as before.
TEST(DadosDoUsuario, TabelasInstaladasAoLadoDoProgramaSaoModeloDeCadaUsuario) {
    char modelo[] = "/tmp/kova-modelo-XXXXXX";
    const std::string raiz = std::string(mkdtemp(modelo)) + "/";
    const std::string programa = raiz + "Programas/KOVA/";
    const std::string instalados = programa + "Dados/";
    fs::create_directories(instalados);
    std::ofstream(instalados + "ControleCRC.cds") << "crc";
    std::ofstream(instalados + "KOVA.cds") << "vazio";
    for (const char* f : {"ControleCRC.cds", "KOVA.cds"}) ::chmod((instalados + f).c_str(), 0444);
    ::chmod(instalados.c_str(), 0555);

    EXPECT_TRUE(ProgramaInstalado(programa, instalados));
    EXPECT_TRUE(ProgramaInstalado(programa, programa + "./Dados"));
    const std::string dados =
        PreparaDadosDoUsuario(programa, raiz + "Roaming/KOVA/", raiz + "Local/KOVA/", instalados);
    EXPECT_EQ(dados, raiz + "Local/KOVA/Dados/");
    EXPECT_EQ(TIniFile(raiz + "Roaming/KOVA/KOVA.INI").ReadString("KOVA", "DirDados", ""), dados);
    EXPECT_EQ(Modo(dados + "KOVA.cds"), 0600u);
    EXPECT_EQ(Modo(dados + "ControleCRC.cds") & 0200u, 0200u);
    EXPECT_EQ(Le(instalados + "KOVA.cds"), "vazio");

    const std::string outro = raiz + "Outro/";
    fs::create_directories(outro + "Dados");
    EXPECT_FALSE(ProgramaInstalado(outro, instalados));
    EXPECT_EQ(PreparaDadosDoUsuario(outro, raiz + "c/", raiz + "s/", instalados), "");
    ::chmod(instalados.c_str(), 0755);
    fs::remove_all(raiz);
}

// The machine's settings under a user's own: each key the user's file lacks is the machine's, the
// user's own win, and writing or deleting never touches the machine's file.
TEST(DadosDoUsuario, ConfiguracaoDoUsuarioSobreADaMaquina) {
    char modelo[] = "/tmp/kova-maquina-XXXXXX";
    const std::string raiz = std::string(mkdtemp(modelo)) + "/";
    std::ofstream(raiz + "maquina.ini")
        << "[KOVA]\r\nDirDados=C:\\KOVA\\Dados\r\nMaximoKOVAsGuardadas=50\r\n";
    const std::string maquina = Le(raiz + "maquina.ini");
    TIniFile ini(raiz + "usuario.ini", raiz + "maquina.ini");
    EXPECT_EQ(ini.ReadString("KOVA", "DirDados", ""), "C:\\KOVA\\Dados");
    EXPECT_TRUE(ini.ValueExists("KOVA", "MaximoKOVAsGuardadas"));
    EXPECT_FALSE(ini.ValueExists("KOVA", "DirExe"));
    ini.WriteString("KOVA", "DirDados", "D:\\Meus");
    EXPECT_EQ(ini.ReadString("KOVA", "DirDados", ""), "D:\\Meus");
    EXPECT_EQ(ini.ReadInteger("KOVA", "MaximoKOVAsGuardadas", 0), 50);
    ini.DeleteKey("KOVA", "MaximoKOVAsGuardadas");
    EXPECT_EQ(ini.ReadInteger("KOVA", "MaximoKOVAsGuardadas", 0), 50);
    EXPECT_EQ(Le(raiz + "maquina.ini"), maquina);
    EXPECT_EQ(TIniFile(raiz + "usuario.ini").ReadString("KOVA", "MaximoKOVAsGuardadas", "-"), "-");
    // Without a machine's file, or when it is the user's own, it is the plain file.
    EXPECT_EQ(TIniFile(raiz + "usuario.ini", "").ReadString("KOVA", "DirExe", "-"), "-");
    TIniFile(raiz + "maquina.ini", raiz + "maquina.ini").WriteString("KOVA", "DirExe", "C:\\P");
    EXPECT_EQ(TIniFile(raiz + "maquina.ini").ReadString("KOVA", "DirExe", ""), "C:\\P");
    fs::remove_all(raiz);
}

// The slips, the printed slips and the settings are the user's alone whatever the umask, and a
// directory an earlier version left open to everyone is closed on the next start.
TEST(DadosDoUsuario, PastasEArquivosDoUsuarioSoDeleQualquerQueSejaAUmask) {
    char modelo[] = "/tmp/kova-privado-XXXXXX";
    const std::string raiz = std::string(mkdtemp(modelo)) + "/";
    ::chmod(raiz.c_str(), 0755);
    const std::string instalados = raiz + "usr/share/kova/Dados/";
    fs::create_directories(instalados);
    fs::create_directories(raiz + "usr/bin");
    std::ofstream(instalados + "ControleCRC.cds") << "crc";
    std::ofstream(instalados + "KOVA.cds") << "vazio";
    const mode_t mascara = ::umask(022);
    for (mode_t umask : {mode_t(022), mode_t(077)}) {
        SCOPED_TRACE(umask);
        ::umask(umask);
        // A home as a machine has it: its folders open to be passed through.
        const std::string casa = raiz + "home" + std::to_string(umask) + "/";
        fs::create_directories(casa + ".local/share");
        fs::create_directories(casa + ".config");
        for (const char* p : {"", ".local", ".local/share", ".config"})
            ::chmod((casa + p).c_str(), 0755);
        const std::string config = casa + ".config/kova/", usuario = casa + ".local/share/kova/";
        const std::string dados =
            PreparaDadosDoUsuario(raiz + "usr/bin/", config, usuario, instalados);
        ASSERT_EQ(dados, usuario + "Dados/");
        for (const std::string& pasta : {config, usuario, dados})
            EXPECT_EQ(Modo(pasta), 0700u) << pasta;
        EXPECT_EQ(Modo(config + "KOVA.INI"), 0600u);
        EXPECT_EQ(Modo(dados + "KOVA.cds"), 0600u);

        // As an earlier version left them, with a printed slip.
        fs::create_directory(dados + "Impressoes");
        std::ofstream(dados + "Impressoes/KOVA_7.pdf") << "%PDF";
        for (const std::string& pasta : {config, usuario, dados, dados + "Impressoes"})
            ::chmod(pasta.c_str(), 0755);
        for (const std::string& arquivo :
             {config + "KOVA.INI", dados + "KOVA.cds", dados + "Impressoes/KOVA_7.pdf"}) {
            ::chmod(arquivo.c_str(), 0644);
        }
        const std::vector<std::string> pessoais = {config + "KOVA.INI", dados + "KOVA.cds",
                                                   dados + "Impressoes/KOVA_7.pdf",
                                                   dados + "Impressoes/"};
        if (umask == 022 && teste::PodeTrocarDeUsuario()) {
            EXPECT_NE(LidoPorOutro(pessoais), "");
        }
        ProtegeDadosDoUsuario(config, usuario);
        for (const std::string& pasta : {config, usuario, dados, dados + "Impressoes/"})
            EXPECT_EQ(Modo(pasta), 0700u) << pasta;
        for (const std::string& arquivo :
             {config + "KOVA.INI", dados + "KOVA.cds", dados + "Impressoes/KOVA_7.pdf"}) {
            EXPECT_EQ(Modo(arquivo), 0600u) << arquivo;
        }
        EXPECT_EQ(LidoPorOutro(pessoais), "");
        // Another start keeps it so.
        EXPECT_EQ(PreparaDadosDoUsuario(raiz + "usr/bin/", config, usuario, instalados), dados);
        EXPECT_EQ(Modo(config + "KOVA.INI"), 0600u);
    }
    ::umask(mascara);
    fs::remove_all(raiz);
}

void Regrava(const TDataSet& tabela, const std::string& arquivo) {
    fs::remove(arquivo);
    WriteTableFile(tabela, arquivo);
}

// A package's shipped tables in a folder of the test's own, with a program folder and a user.
class AtualizacaoDeTabelas : public ::testing::Test {
protected:
    void SetUp() override {
        char modelo[] = "/tmp/kova-atualizacao-XXXXXX";
        raiz = std::string(mkdtemp(modelo)) + "/";
        instalados = raiz + "usr/share/kova/Dados/";
        programa = raiz + "usr/bin/";
        fs::create_directories(programa);
        fs::create_directories(instalados);
        fs::copy(KOVA_DADOS_PADRAO, instalados, fs::copy_options::recursive);
        usuario = raiz + "home/.local/share/kova/";
        config = raiz + "home/.config/kova/";
        kovaIni = config + "KOVA.INI";
        dados = PreparaDadosDoUsuario(programa, config, usuario, instalados);
    }
    void TearDown() override { fs::remove_all(raiz); }

    // A new package version: a state's name changed, the checksum table with it.
    void NovaVersaoDoPacote() {
        TDataSet uf;
        LoadFromFile(uf, instalados + "UF.cds");
        ASSERT_TRUE(uf.Locate("UF", {std::string("AC")}));
        uf.Edit();
        uf.FieldByName("Descricao").SetAsString("Acre (revisado)");
        uf.Post();
        Regrava(uf, instalados + "UF.cds");
        TDataSet crc;
        LoadFromFile(crc, instalados + "ControleCRC.cds");
        ASSERT_TRUE(crc.Locate("NomeTabela", {std::string("UF.CDS")}));
        crc.Edit();
        crc.FieldByName("CRC").SetAsString(TChecksum().FileCRC(instalados + "UF.cds"));
        crc.Post();
        Regrava(crc, instalados + "ControleCRC.cds");
    }
    std::string Acre() {
        TDataSet uf;
        LoadFromFile(uf, dados + "UF.cds");
        EXPECT_TRUE(uf.Locate("UF", {std::string("AC")}));
        return uf.FieldByName("Descricao").AsString();
    }
    // Every file of the user's directory has the checksum recorded for it: the next start loads it.
    void ChecksumsConferem() {
        TDataSet crc;
        LoadFromFile(crc, dados + "ControleCRC.cds");
        for (crc.First(); !crc.Eof(); crc.Next()) {
            const std::string nome = crc.FieldByName("NomeTabela").AsString();
            std::string arquivo;
            for (const auto& e : fs::directory_iterator(dados)) {
                if (UpperCase(e.path().filename().string()) == nome) arquivo = e.path().string();
            }
            ASSERT_FALSE(arquivo.empty()) << nome;
            EXPECT_EQ(TChecksum().FileCRC(arquivo), crc.FieldByName("CRC").AsString()) << nome;
        }
    }
    bool Atualiza(const std::string& pasta) {
        return AtualizaTabelasDoUsuario(programa, pasta, kovaIni, usuario, instalados);
    }

    std::string raiz, instalados, programa, usuario, config, kovaIni, dados;
};

TEST_F(AtualizacaoDeTabelas, TabelasNovasChegamUmaVezComAvisoEAsKOVAFicam) {
    EXPECT_FALSE(Atualiza(dados));  // nothing new: nothing done, nothing told
    EXPECT_EQ(RetiraAvisoDeTabelas(kovaIni), "");
    // The user's slips (any bytes: the update never reads them) and their checksum stay.
    std::ofstream(dados + "KOVA.cds", std::ios::binary | std::ios::app) << "minhas KOVA";
    TDataSet crc;
    LoadFromFile(crc, dados + "ControleCRC.cds");
    ASSERT_TRUE(crc.Locate("NomeTabela", {std::string("KOVA.CDS")}));
    crc.Edit();
    crc.FieldByName("CRC").SetAsString(TChecksum().FileCRC(dados + "KOVA.cds"));
    crc.Post();
    Regrava(crc, dados + "ControleCRC.cds");
    const std::string kova = Le(dados + "KOVA.cds");

    NovaVersaoDoPacote();
    // A program writing slips there holds the tables it loaded: the update waits for the next
    // start.
    {
        TTrava escritor = TTrava::TentarEscritor(dados, "kova");
        ASSERT_TRUE(escritor.Obtida());
        EXPECT_FALSE(Atualiza(dados));
        EXPECT_EQ(Acre(), "Acre");
    }
    EXPECT_TRUE(Atualiza(dados));
    EXPECT_EQ(Acre(), "Acre (revisado)");
    EXPECT_EQ(Le(dados + "KOVA.cds"), kova);
    ChecksumsConferem();
    EXPECT_FALSE(Atualiza(dados));  // once
    EXPECT_EQ(
        RetiraAvisoDeTabelas(kovaIni),
        "As tabelas de referência foram atualizadas com as da nova versão do KOVA.\r\r"
        "Versão das tabelas: 1.03\rTabelas alteradas: UF.cds\r\rAs KOVA digitadas foram mantidas.");
    EXPECT_EQ(RetiraAvisoDeTabelas(kovaIni), "");  // told once
}

TEST_F(AtualizacaoDeTabelas, PastaDoProprioUsuarioOuProgramaComDadosNaoSaoTocados) {
    NovaVersaoDoPacote();
    // A data directory the user set elsewhere.
    const std::string propria = raiz + "minha/Dados/";
    fs::create_directories(propria);
    fs::copy(dados, propria, fs::copy_options::recursive);
    EXPECT_FALSE(Atualiza(propria));
    // A program with its Dados beside it is no installed one.
    fs::create_directories(programa + "Dados");
    EXPECT_FALSE(Atualiza(dados));
    EXPECT_EQ(Acre(), "Acre");
    TDataSet uf;
    LoadFromFile(uf, propria + "UF.cds");
    ASSERT_TRUE(uf.Locate("UF", {std::string("AC")}));
    EXPECT_EQ(uf.FieldByName("Descricao").AsString(), "Acre");
}

TEST(DadosDoUsuario, VersaoDasTabelasComoSeLe) {
    EXPECT_EQ(VersaoDasTabelas(1, "3", 0), "1.03");
    EXPECT_EQ(VersaoDasTabelas(2, "10", 4), "2.10.T-4");
}

}  // namespace
