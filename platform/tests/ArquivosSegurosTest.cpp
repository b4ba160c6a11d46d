// What another account on the same machine could try against the files: table files built to hang
// or swamp the program, links left where the program makes its files, files and folders open to
// everyone, code put where the program loads it from, a start without HOME.

#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <pwd.h>
#include <sqlite3.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <thread>

#include "Diretorios.h"
#include "Errors.h"
#include "Espera.h"
#include "OutroUsuario.h"
#include "TArquivoTabela.h"
#include "TIniFile.h"
#include "TTableFile.h"
#include "TTrava.h"
#include "TabelaSQLite.h"

using namespace kova;
using namespace kova::teste;
namespace fs = std::filesystem;

namespace {

std::string Le(const std::string& arquivo) {
    std::ifstream in(arquivo, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void Escreve(const std::string& arquivo, const std::string& texto) {
    std::ofstream(arquivo, std::ios::binary) << texto;
}

unsigned Modo(const std::string& caminho) {
    struct stat st;
    return ::lstat(caminho.c_str(), &st) == 0 ? unsigned(st.st_mode & 07777) : 0u;
}

// A folder of the test's own (open to other users, so that only the modes under test keep them
// out), with a file "alvo" that belongs to the person: what a planted link points to.
class ArquivosSegurosTest : public ::testing::Test {
protected:
    void SetUp() override {
        char modelo[] = "/tmp/kova-seguros-XXXXXX";
        raiz = std::string(::mkdtemp(modelo)) + "/";
        ::chmod(raiz.c_str(), 0755);
        alvo = raiz + "alvo";
        Escreve(alvo, "intacto");
        mascara = ::umask(022);
        tabela.AddField({"Nome", TFieldType::ftString, 20});
        tabela.AddField({"Valor", TFieldType::ftInteger});
        tabela.CreateDataSet();
        tabela.AppendRecord({std::string("um"), int32_t(1)});
        tabela.AppendRecord({std::string("dois"), int32_t(2)});
    }
    void TearDown() override {
        ::umask(mascara);
        fs::remove_all(raiz);
    }

    // A table file as the system writes it, then changed by SQL as someone could change it.
    std::string Arquivo(const std::string& nome, const std::string& sql = "") {
        const std::string caminho = raiz + nome;
        WriteTableFile(tabela, caminho);
        if (!sql.empty()) {
            sqlite3* db = nullptr;
            sqlite3_open(caminho.c_str(), &db);
            char* erro = nullptr;
            const int rc = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &erro);
            EXPECT_EQ(rc, SQLITE_OK) << (erro ? erro : "") << " in " << sql;
            sqlite3_free(erro);
            sqlite3_close(db);
        }
        return caminho;
    }

    // Why the file was refused, by the whole-table load and by the file changed row by row.
    std::pair<std::string, std::string> Recusas(const std::string& caminho) {
        std::string carga, linhas;
        try {
            TDataSet t;
            t.AddField({"Nome", TFieldType::ftString, 20});
            t.AddField({"Valor", TFieldType::ftInteger});
            LoadFromFile(t, caminho);
        } catch (const EDatabaseError& e) {
            carga = e.what();
        }
        try {
            auto arquivo = std::make_shared<TArquivoTabela>(caminho, tabela, true);
            TDataSet t;
            t.AddField({"Nome", TFieldType::ftString, 20});
            t.AddField({"Valor", TFieldType::ftInteger});
            arquivo->CarregaResidentes(t, {"Valor"});
        } catch (const EDatabaseError& e) {
            linhas = e.what();
        }
        return {carga, linhas};
    }

    std::string raiz, alvo;
    mode_t mascara = 022;
    TDataSet tabela;
};

// Each of these made a load run for ever, fill the temporary folder or take gigabytes, or run the
// file's own code; each is refused by its shape, before a single record is read, in Portuguese.
TEST_F(ArquivosSegurosTest, TabelaHostilRecusadaPelaFormaAntesDeLerUmRegistro) {
    // In place of the records, a view that never ends, and one of 2,000 values of 2 MB each.
    const std::string semFim =
        "DROP TABLE registros; CREATE VIEW registros AS WITH RECURSIVE c(n) AS "
        "(SELECT 1 UNION ALL SELECT n + 1 FROM c) SELECT 'x' || n AS Nome, n AS Valor FROM c";
    const std::string enorme =
        "DROP TABLE registros; CREATE VIEW registros AS WITH RECURSIVE c(n) AS "
        "(SELECT 1 UNION ALL SELECT n + 1 FROM c WHERE n < 2000) SELECT zeroblob(2000000) AS Nome, "
        "n AS Valor FROM c";
    const struct {
        const char* sql;
        const char* motivo;
    } casos[] = {
        {semFim.c_str(), "registros é uma visão, não uma tabela"},
        {enorme.c_str(), "registros é uma visão, não uma tabela"},
        {"DROP TABLE campos; CREATE VIEW campos AS SELECT 'Nome' AS nome, 'String' AS tipo, 20 AS "
         "tamanho, "
         "0 AS posicao UNION ALL SELECT 'Valor', 'Integer', 0, 1",
         "campos é uma visão, não uma tabela"},
        {"CREATE TRIGGER apaga AFTER UPDATE ON registros BEGIN DELETE FROM campos; END",
         "o arquivo contém o gatilho apaga"},
        {"ALTER TABLE registros ADD COLUMN g AS (zeroblob(1000000000))",
         "a coluna g de registros é calculada"},
        {"CREATE INDEX pesado ON registros(length(Nome))", "o índice pesado calcula o que guarda"},
        {"CREATE INDEX parcial ON registros(Nome) WHERE Valor > 1",
         "o índice parcial calcula o que guarda"},
        {"CREATE TABLE outra(x)", "a tabela outra não pertence a uma tabela do KOVA"},
        {"PRAGMA journal_mode=WAL", "o arquivo usa um diário de gravação que o KOVA não aceita"},
        {"DROP TABLE campos", "falta a tabela campos"},
    };
    int n = 0;
    for (const auto& caso : casos) {
        const std::string nome = "hostil" + std::to_string(++n) + ".cds";
        const std::string esperado =
            nome + ": o arquivo não é uma tabela do KOVA (" + caso.motivo + ")";
        const auto [carga, linhas] = Recusas(Arquivo(nome, caso.sql));
        EXPECT_EQ(carga, esperado) << caso.sql;
        EXPECT_EQ(linhas, esperado) << caso.sql;
    }
    // Nothing of it was put in the folder beside the files.
    for (const auto& e : fs::directory_iterator(raiz)) {
        EXPECT_EQ(e.path().filename().string().find("-wal"), std::string::npos) << e.path();
    }
}

// Plain tables whose contents break the rules are refused too, with what was wrong.
TEST_F(ArquivosSegurosTest, ValoresForaDoLimiteOuDeOutroTipoRecusados) {
    // 20 MB in one value: a file that size, but no value of the system comes near it.
    const auto [enorme, enormeLinhas] =
        Recusas(Arquivo("enorme.cds", "UPDATE registros SET Nome = zeroblob(20000000)"));
    EXPECT_EQ(enorme, "enorme.cds: um valor do arquivo passa do tamanho permitido");
    const auto [texto, textoLinhas] =
        Recusas(Arquivo("texto.cds", "UPDATE registros SET Valor = 'x' WHERE Valor = 2"));
    EXPECT_EQ(texto, "texto.cds: valor inválido no campo 'Valor' do registro 2");
    Escreve(raiz + "lixo.cds", std::string(4096, 'K'));
    EXPECT_EQ(Recusas(raiz + "lixo.cds").first,
              "lixo.cds: o arquivo não é uma tabela do KOVA (nem um banco de dados SQLite)");
    const auto [semCampo, semCampoLinhas] =
        Recusas(Arquivo("semcampo.cds", "DELETE FROM campos WHERE nome = 'Valor'"));
    EXPECT_EQ(semCampo, "semcampo.cds: o arquivo não é uma tabela do KOVA (falta o campo Valor)");
    EXPECT_EQ(semCampoLinhas, semCampo);
}

// Whatever a statement on a table file would do, it stops once it has worked as long as reading
// the whole file takes, many times over.
TEST_F(ArquivosSegurosTest, TrabalhoDeUmaLeituraTemLimite) {
    tabela::TConexao conexao(Arquivo("limite.cds"), false);
    conexao.LimitaAoArquivo();
    sqlite3_stmt* s = nullptr;
    ASSERT_EQ(sqlite3_prepare_v2(conexao.get(),
                                 "WITH RECURSIVE c(n) AS (SELECT 1 UNION ALL SELECT n + 1 FROM c) "
                                 "SELECT count(*) FROM c",
                                 -1, &s, nullptr),
              SQLITE_OK);
    EXPECT_EQ(sqlite3_step(s), SQLITE_INTERRUPT);
    sqlite3_finalize(s);
    EXPECT_EQ(tabela::CausaDaLeitura(conexao.get()),
              "a leitura passou do trabalho que um arquivo deste tamanho pede e foi interrompida");
}

// SQLite never makes a link: one left at the journal's name goes, and what it points to stays as
// it was; a slips file that is itself a link is not written through.
TEST_F(ArquivosSegurosTest, LinkPlantadoNoDiarioSaiENoArquivoNaoEhSeguido) {
    const std::string arquivo = Arquivo("lido.cds");
    ASSERT_EQ(::symlink(alvo.c_str(), (arquivo + "-journal").c_str()), 0);
    TDataSet t;
    LoadFromFile(t, arquivo);
    EXPECT_EQ(t.RecordCount(), 2);
    EXPECT_FALSE(fs::exists(fs::symlink_status(arquivo + "-journal")));

    // A writer saves through its journal with the link there again.
    const std::string gravado = Arquivo("gravado.cds");
    ASSERT_EQ(::symlink(alvo.c_str(), (gravado + "-journal").c_str()), 0);
    {
        auto kova = std::make_shared<TArquivoTabela>(gravado, tabela, true);
        TDataSet t2;
        t2.AddField({"Nome", TFieldType::ftString, 20});
        t2.AddField({"Valor", TFieldType::ftInteger});
        kova->CarregaResidentes(t2, {"Valor"});
        t2.AppendRecord({std::string("tres"), int32_t(3)});
        kova->GravaAlteracoes(t2, {"Valor"});
        EXPECT_EQ(kova->Linhas(), 3);
    }
    EXPECT_EQ(Le(alvo), "intacto");

    const std::string ligado = raiz + "ligado.cds";
    ASSERT_EQ(::symlink(gravado.c_str(), ligado.c_str()), 0);
    try {
        TArquivoTabela kova(ligado, tabela, true);
        ADD_FAILURE() << "a link opened for writing";
    } catch (const EDatabaseError& e) {
        EXPECT_EQ(std::string(e.what()),
                  "ligado.cds: é um link simbólico; o KOVA não grava através de links");
    }
}

// Every file the system makes is new: a link someone left at its name is never written through.
// Settings, slips and the like are the user's own whatever the umask; a file replaced keeps its
// mode.
TEST_F(ArquivosSegurosTest, ArquivosNovosNuncaAtravesDeLinksEPrivadosQualquerQueSejaAUmask) {
    for (mode_t umask : {mode_t(022), mode_t(077), mode_t(0)}) {
        ::umask(umask);
        const std::string u = std::to_string(umask);
        WriteTableFile(tabela, raiz + "privado" + u + ".cds", true);
        EXPECT_EQ(Modo(raiz + "privado" + u + ".cds"), 0600u) << umask;
        WriteTableFile(tabela, raiz + "publico" + u + ".cds");
        EXPECT_EQ(Modo(raiz + "publico" + u + ".cds"), 0644u & ~umask) << umask;
        TIniFile(raiz + "KOVA" + u + ".INI").WriteString("KOVA", "DirDados", "/x/");
        EXPECT_EQ(Modo(raiz + "KOVA" + u + ".INI"), 0600u) << umask;
        ASSERT_TRUE(CriaPastaPrivada(raiz + "p" + u + "/a/b/"));
        EXPECT_EQ(Modo(raiz + "p" + u), 0700u);
        EXPECT_EQ(Modo(raiz + "p" + u + "/a/b"), 0700u);
    }
    ::umask(022);
    // Another user of the machine reads none of them, though the folder above is open to them.
    if (PodeTrocarDeUsuario()) {
        EXPECT_EQ(NoFilho([&] {
                      std::string lidos;
                      for (const char* nome : {"privado18.cds", "KOVA18.INI", "p18/a/b/"}) {
                          if (::access((raiz + nome).c_str(), R_OK) == 0 || errno != EACCES)
                              lidos += nome;
                      }
                      return lidos + (::access((raiz + "publico18.cds").c_str(), R_OK) == 0
                                          ? ""
                                          : " publico");
                  }),
                  "");
    }

    ASSERT_EQ(::symlink(alvo.c_str(), (raiz + "novo.cds").c_str()), 0);
    EXPECT_THROW(WriteTableFile(tabela, raiz + "novo.cds", true), EErroGravacao);
    EXPECT_THROW(CriaArquivoNovo(raiz + "novo.cds", false), EErroGravacao);
    // A settings file or a checksum table replaces the link itself.
    ASSERT_EQ(::symlink(alvo.c_str(), (raiz + "Config.ini").c_str()), 0);
    TIniFile(raiz + "Config.ini").WriteString("Dados", "Path", "/y/");
    EXPECT_FALSE(EhLinkSimbolico(raiz + "Config.ini"));
    ASSERT_EQ(::symlink(alvo.c_str(), (raiz + "ControleCRC.cds").c_str()), 0);
    SaveToFile(tabela, raiz + "ControleCRC.cds");
    EXPECT_FALSE(EhLinkSimbolico(raiz + "ControleCRC.cds"));
    EXPECT_TRUE(CopiaArquivo(raiz + "publico18.cds", raiz + "novo.cds"));
    EXPECT_FALSE(EhLinkSimbolico(raiz + "novo.cds"));
    EXPECT_EQ(Le(alvo), "intacto");

    // Config.ini beside the program is every user's: it stays readable.
    Escreve(raiz + "Comum.ini", "[Dados]\r\n");
    ::chmod((raiz + "Comum.ini").c_str(), 0644);
    TIniFile(raiz + "Comum.ini").WriteString("Dados", "Path", "/z/");
    EXPECT_EQ(Modo(raiz + "Comum.ini"), 0644u);

    // What an earlier version left open is closed; what is not the user's is not touched.
    Escreve(raiz + "velho.cds", "x");
    ::chmod((raiz + "velho.cds").c_str(), 0644);
    TornaPrivado(raiz + "velho.cds");
    EXPECT_EQ(Modo(raiz + "velho.cds"), 0600u);
    fs::create_directory(raiz + "velha");
    ::chmod((raiz + "velha").c_str(), 0755);
    TornaPrivado(raiz + "velha");
    EXPECT_EQ(Modo(raiz + "velha"), 0700u);
    ::chmod(alvo.c_str(), 0644);
    ASSERT_EQ(::symlink(alvo.c_str(), (raiz + "atalho").c_str()), 0);
    TornaPrivado(raiz + "atalho");
    EXPECT_EQ(Modo(alvo), 0644u);
}

// A link, a pipe left as a lock file: the lock is taken on a file of its own, and what the link
// points to is never written (a writer writes its name into the lock file).
TEST_F(ArquivosSegurosTest, TravasPlantadasSubstituidasSemTocarNoAlvo) {
    ASSERT_EQ(::symlink(alvo.c_str(), (raiz + TTrava::kArquivoEscritor).c_str()), 0);
    ASSERT_EQ(::mkfifo((raiz + TTrava::kArquivo).c_str(), 0666), 0);
    {
        TTrava escritor = TTrava::TentarEscritor(raiz, "kova");
        EXPECT_TRUE(escritor.Travada());
        TTrava trava = TTrava::Aguardar(raiz, TTrava::TModo::Exclusiva);
        EXPECT_TRUE(trava.Travada());
    }
    EXPECT_EQ(Le(alvo), "intacto");
    for (const char* nome : {TTrava::kArquivo, TTrava::kArquivoEscritor}) {
        EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(raiz + nome))) << nome;
    }
    EXPECT_NE(Le(raiz + TTrava::kArquivoEscritor).find("kova (processo "), std::string::npos);
}

// A lock file is as private as the slips file beside it, whatever the umask: another user of the
// machine who may read the directory may not even open it, and so may not hold it against the
// person (every save, import and library call would wait for them).
TEST_F(ArquivosSegurosTest, TravasTaoPrivadasQuantoOArquivoDeKOVAs) {
    ::umask(0);
    {
        TTrava escritor = TTrava::TentarEscritor(raiz, "kova");
        TTrava trava = TTrava::Aguardar(raiz, TTrava::TModo::Compartilhada);
        EXPECT_TRUE(escritor.Travada() && trava.Travada());
    }
    EXPECT_EQ(Modo(raiz + TTrava::kArquivo), 0600u);
    EXPECT_EQ(Modo(raiz + TTrava::kArquivoEscritor), 0600u);
    // One that an earlier version left open is closed; where the slips file may be read by a
    // group, so may the lock, and no more.
    const std::string kova = raiz + "KOVA.cds";
    Escreve(kova, "");
    for (unsigned modo : {0600u, 0640u, 0644u, 0600u}) {
        ::chmod(kova.c_str(), modo);
        TTrava trava = TTrava::Aguardar(raiz, TTrava::TModo::Compartilhada);
        EXPECT_EQ(Modo(raiz + TTrava::kArquivo), modo);
    }
    ::chmod((raiz + TTrava::kArquivoEscritor).c_str(), 0666);
    TTrava::TentarEscritor(raiz, "kova");
    EXPECT_EQ(Modo(raiz + TTrava::kArquivoEscritor), 0600u);
    ::umask(022);
    if (!PodeTrocarDeUsuario()) GTEST_SKIP() << "another user's attempt needs the superuser";
    EXPECT_EQ(NoFilho([&] {
                  std::string r;
                  for (const char* nome : {TTrava::kArquivo, TTrava::kArquivoEscritor}) {
                      const int fd = ::open((raiz + nome).c_str(), O_RDONLY);
                      if (fd < 0) continue;
                      r += std::string(nome) +
                           (::flock(fd, LOCK_EX | LOCK_NB) == 0 ? " held " : " opened ");
                      ::close(fd);
                  }
                  return r;
              }),
              "");
}

// A lock file that another user made and this one may not open: the directory is held by them,
// never taken for one without locks. A second writer is refused at its start, and a load waits no
// longer than the bound.
TEST_F(ArquivosSegurosTest, TravaDeOutroUsuarioQueNaoSePodeAbrirEhPastaOcupada) {
    if (!PodeTrocarDeUsuario()) GTEST_SKIP() << "another user's lock files need the superuser";
    const std::string pasta = raiz + "comum/";
    fs::create_directory(pasta);
    ::chmod(pasta.c_str(), 0777);
    // The first writer, another user of the machine, holds the directory meanwhile.
    int pronto[2], fim[2];
    ASSERT_EQ(::pipe(pronto), 0);
    ASSERT_EQ(::pipe(fim), 0);
    const pid_t primeiro = ::fork();
    if (primeiro == 0) {
        ::close(pronto[0]);
        ::close(fim[1]);
        char r = '0';
        // Whose files are the user's alone, as the lock files are now whatever the umask.
        ::umask(077);
        if (::setgroups(0, nullptr) == 0 && ::setgid(kSemCadastro) == 0 &&
            ::setuid(kSemCadastro) == 0) {
            TTrava escritor = TTrava::TentarEscritor(pasta, "kova");
            TTrava trava = TTrava::Aguardar(pasta, TTrava::TModo::Compartilhada);
            if (escritor.Travada() && trava.Travada()) r = '1';
            if (::write(pronto[1], &r, 1) != 1) ::_exit(2);
            ::read(fim[0], &r, 1);
        } else if (::write(pronto[1], &r, 1) != 1) {
            ::_exit(2);
        }
        ::_exit(0);
    }
    ::close(pronto[1]);
    ::close(fim[0]);
    char r = 0;
    ASSERT_EQ(::read(pronto[0], &r, 1), 1);
    ASSERT_EQ(r, '1');
    DefineEsperaMaxima(std::chrono::milliseconds(200));
    EXPECT_EQ(NoFilho([&] {
                  TTrava segundo = TTrava::TentarEscritor(pasta, "kovacli");
                  if (segundo.Obtida()) return std::string("a second writer went on");
                  const std::string quem = "outro usuário (" + pasta +
                                           "KOVA.escritor não pode ser aberto por este usuário)";
                  if (segundo.Ocupante() != quem) return "held by: " + segundo.Ocupante();
                  try {
                      TTrava::Aguardar(pasta, TTrava::TModo::Compartilhada);
                  } catch (const EErroGravacao& e) {
                      return e.Causa() == "o arquivo está em uso por outro programa" ? std::string()
                                                                                     : e.Causa();
                  }
                  return std::string("the slips pair was taken as unlocked");
              }),
              "");
    DefineEsperaMaxima(kEsperaMaxima);
    ::close(fim[1]);
    ::close(pronto[0]);
    int estado = 0;
    ::waitpid(primeiro, &estado, 0);
}

// No wait for what another program holds lasts longer than the bound: past it, "o arquivo está em
// uso por outro programa". Within a library call the bound counts from the call's start, its wait
// for its turn included, so a call that waited behind others tries once and answers.
TEST_F(ArquivosSegurosTest, EsperaPeloQueOutroProgramaPrendeTemLimite) {
    using namespace std::chrono;
    DefineEsperaMaxima(milliseconds(300));
    const auto espera = [&](TTrava::TModo modo) {
        const auto inicio = steady_clock::now();
        std::string causa;
        try {
            TTrava::Aguardar(raiz, modo);
        } catch (const ETravaOcupada& e) {
            causa = e.Causa() + " " + e.Arquivo();
        }
        return std::make_pair(causa, duration_cast<milliseconds>(steady_clock::now() - inicio));
    };
    const std::string emUso = "o arquivo está em uso por outro programa " + raiz + TTrava::kArquivo;
    {
        // Another open of the file holds against this one, in one process as in two.
        TTrava outro = TTrava::Aguardar(raiz, TTrava::TModo::Exclusiva);
        for (TTrava::TModo modo : {TTrava::TModo::Compartilhada, TTrava::TModo::Exclusiva}) {
            const auto [causa, tempo] = espera(modo);
            EXPECT_EQ(causa, emUso);
            EXPECT_GE(tempo, milliseconds(300));
            EXPECT_LT(tempo, milliseconds(2000));
        }
        IniciaPrazoDaChamada();
        std::this_thread::sleep_for(milliseconds(300));
        const auto [causa, tempo] = espera(TTrava::TModo::Compartilhada);
        EncerraPrazoDaChamada();
        EXPECT_EQ(causa, emUso);
        EXPECT_LT(tempo, milliseconds(100)) << "the call's own deadline had passed";
    }
    {
        TTrava leitor = TTrava::Aguardar(raiz, TTrava::TModo::Compartilhada);
        EXPECT_TRUE(TTrava::Aguardar(raiz, TTrava::TModo::Compartilhada).Travada());
        EXPECT_EQ(espera(TTrava::TModo::Exclusiva).first, emUso);
    }
    EXPECT_TRUE(TTrava::Aguardar(raiz, TTrava::TModo::Exclusiva).Travada());

    // A table file in the middle of another program's save: SQLite's wait has the same bound.
    const std::string arquivo = Arquivo("salvando.cds");
    sqlite3* outro = nullptr;
    ASSERT_EQ(sqlite3_open(arquivo.c_str(), &outro), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(outro, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
    const auto inicio = steady_clock::now();
    try {
        TDataSet t;
        LoadFromFile(t, arquivo);
        ADD_FAILURE() << "read in the middle of a save";
    } catch (const EArquivoEmUso& e) {
        EXPECT_EQ(std::string(e.what()), "salvando.cds: o arquivo está em uso por outro programa");
    }
    EXPECT_LT(steady_clock::now() - inicio, milliseconds(2000));
    sqlite3_exec(outro, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(outro);
    TDataSet t;
    LoadFromFile(t, arquivo);
    EXPECT_EQ(t.RecordCount(), 2);
    DefineEsperaMaxima(kEsperaMaxima);
}

// Code that another user could have put or changed is not trusted: a file or folder that is not
// the user's or the administrator's, or that group or others may write.
TEST_F(ArquivosSegurosTest, CodigoGravavelPorOutrosNaoEhConfiavel) {
    const std::string pasta = raiz + "componentes/";
    fs::create_directory(pasta);
    ::chmod(pasta.c_str(), 0755);
    const std::string arquivo = pasta + "DllInscE32.Dll";
    Escreve(arquivo, "codigo");
    ::chmod(arquivo.c_str(), 0644);
    EXPECT_EQ(GravavelPorOutros(arquivo), "");
    ::chmod(arquivo.c_str(), 0664);
    EXPECT_EQ(GravavelPorOutros(arquivo), arquivo + " pode ser alterado por outros usuários");
    ::chmod(arquivo.c_str(), 0644);
    ::chmod(pasta.c_str(), 0777);
    EXPECT_EQ(GravavelPorOutros(arquivo),
              "a pasta " + pasta + " pode ser alterada por outros usuários");
    // Others may add to a folder with the sticky bit, never replace what is there.
    ::chmod(pasta.c_str(), 01777);
    EXPECT_EQ(GravavelPorOutros(arquivo), "");
    ::chmod(pasta.c_str(), 0755);
    // Through a link, the file it points to counts.
    ASSERT_EQ(::symlink(arquivo.c_str(), (raiz + "atalho.Dll").c_str()), 0);
    ::chmod(arquivo.c_str(), 0666);
    EXPECT_EQ(GravavelPorOutros(raiz + "atalho.Dll"),
              raiz + "atalho.Dll pode ser alterado por outros usuários");
    ::chmod(arquivo.c_str(), 0644);
    if (!PodeTrocarDeUsuario()) GTEST_SKIP() << "the files of another user need the superuser";
    // Another user's file, or one in their folder; the administrator's are trusted.
    ASSERT_EQ(::chown(arquivo.c_str(), kNinguem, kNinguem), 0);
    EXPECT_EQ(GravavelPorOutros(arquivo), arquivo + " pertence a outro usuário");
    EXPECT_EQ(NoFilho([&] { return GravavelPorOutros(arquivo); }), "");
    if (::getpwuid(kSemCadastro) == nullptr) {
        EXPECT_EQ(NoFilho([&] { return GravavelPorOutros(arquivo); }, kSemCadastro),
                  arquivo + " pertence a outro usuário");
    }
    ASSERT_EQ(::chown(arquivo.c_str(), 0, 0), 0);
    ASSERT_EQ(::chown(pasta.c_str(), kNinguem, kNinguem), 0);
    EXPECT_EQ(GravavelPorOutros(arquivo), "a pasta " + pasta + " pertence a outro usuário");
    ASSERT_EQ(::chown(pasta.c_str(), 0, 0), 0);
    EXPECT_EQ(NoFilho([&] { return GravavelPorOutros(arquivo); }), "");
}

// Services and scheduled jobs run without HOME: the folders come from the system's record of the
// user, never from a folder every user shares; a user the system has no record of is refused.
TEST_F(ArquivosSegurosTest, SemHomeNuncaUmaPastaCompartilhada) {
    if (!PodeTrocarDeUsuario()) GTEST_SKIP() << "another user's start needs the superuser";
    const auto semAmbiente = [] {
        for (const char* v :
             {"HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "KOVA_WINDIR", "KOVA_SYSDIR"})
            ::unsetenv(v);
    };
    EXPECT_EQ(NoFilho([&] {
                  semAmbiente();
                  const std::string windows = DiretorioWindows(), sistema = DiretorioSistema();
                  return windows == "/nonexistent/.config/kova/" &&
                                 sistema == "/nonexistent/.local/share/kova/"
                             ? std::string()
                             : windows + " " + sistema;
              }),
              "");
    if (::getpwuid(kSemCadastro) != nullptr)
        GTEST_SKIP() << "every user id tried is known to this machine";
    EXPECT_EQ(NoFilho(
                  [&] {
                      semAmbiente();
                      return DiretorioWindows();
                  },
                  kSemCadastro),
              "exceção: Não foi possível saber a pasta pessoal do usuário: a variável HOME não "
              "está definida e o "
              "usuário 65533 não consta do cadastro do sistema.\r\rDefina HOME (ou KOVA_WINDIR e "
              "KOVA_SYSDIR) antes "
              "de iniciar o KOVA.");
}

}  // namespace
