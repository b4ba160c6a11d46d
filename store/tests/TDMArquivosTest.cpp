#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <thread>

#include "Clock.h"
#include "Dialogs.h"
#include "DiretorioDeTeste.h"
#include "Diretorios.h"
#include "Errors.h"
#include "MorteNoPasso.h"
#include "OutroUsuario.h"
#include "TChecksum.h"
#include "TDM.h"
#include "TIniFile.h"
#include "TTableFile.h"
#include "Texto.h"

using namespace kova;
using namespace kova::teste;

namespace {

std::string Ler(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

class ArquivosTest : public ::testing::Test {
protected:
    void SetUp() override { Clock::Set(MakeDateTime(2024, 3, 15, 10, 0)); }
    void TearDown() override {
        dm.reset();
        Clock::Reset();
        EXPECT_TRUE(dialogs.Unexpected().empty());
    }
    TDM& Novo() {
        dm.reset();
        dm = std::make_unique<TDM>();
        dm->DirPrograma = dir.Programa();
        return *dm;
    }
    TDM& Carrega() {
        Novo().DMCreate();
        return *dm;
    }
    // Adds slips through the program and writes them.
    void GravaKOVAs(int quantas) {
        TDM& d = Carrega();
        for (int i = 0; i < quantas; ++i) {
            d.cdsKOVA.Append();
            d.cdsKOVA.Post();
        }
        d.DMDestroy();
    }

    DiretorioDeTeste dir;
    ScriptedDialogs dialogs;
    ScopedDialogService servico{dialogs};
    std::unique_ptr<TDM> dm;
};

TEST_F(ArquivosTest, CarregaAsDozeTabelasDistribuidas) {
    dir.ConfigPadrao();
    TDM& d = Carrega();
    EXPECT_TRUE(dialogs.History().empty())
        << (dialogs.History().empty() ? "" : dialogs.History()[0].text);
    EXPECT_FALSE(d.TerminacaoSolicitada);
    EXPECT_EQ(d.DirDados, dir.Dados());
    for (TDataSet* t : {&d.cdsControleCRC, &d.cdsControle, &d.cdsUF, &d.cdsReceita,
                        &d.cdsSubReceita, &d.cdsUFReceita, &d.cdsUFProduto, &d.cdsFeriado,
                        &d.cdsEmpresaCourier, &d.cdsBanco, &d.cdsUFBanco, &d.cdsKOVA}) {
        EXPECT_TRUE(t->Active()) << t->Name();
    }
    EXPECT_EQ(d.cdsUF.RecordCount(), 27);
    EXPECT_EQ(d.cdsUF.IndexName(), "pk_UF");
    EXPECT_EQ(d.cdsUFProduto.IndexName(), "pk_UFProduto");
    EXPECT_EQ(d.VersaoRelease, "03");  // one character gets a leading zero
    EXPECT_EQ(d.Versao, 1);
    EXPECT_EQ(d.ValidadeDocumento, 5);
    EXPECT_EQ(d.UltimoIdKOVA, 0);
    EXPECT_EQ(d.TopMargin, -1);
    ASSERT_TRUE(d.cdsReceita.FindKey({"100056"}));
    EXPECT_EQ(d.cdsReceita.FieldByName("CodigoDigito").AsString(), "10005-6");
    ASSERT_TRUE(d.cdsFeriado.FindKey({MakeDate(2024, 12, 25)}));
    ASSERT_TRUE(d.cdsBanco.FindKey({"001"}));
    TBytes logo = d.cdsBanco.FieldByName("LogoTipo").AsBytes();
    ASSERT_GT(logo.size(), 54u);
    EXPECT_EQ(logo[0], 'B');
    EXPECT_EQ(logo[1], 'M');
}

TEST_F(ArquivosTest, RelogioAntesDe1998EncerraSemCarregar) {
    dir.ConfigPadrao();
    Clock::Set(MakeDateTime(1997, 12, 31));
    TDM& d = Carrega();
    ASSERT_EQ(dialogs.Texts().size(), 1u);
    EXPECT_EQ(dialogs.Texts()[0],
              "A data do seu computador está desatualizada.\r\rAtualize seu relógio do Windows e "
              "reinicialize o Sistema.");
    EXPECT_TRUE(d.TerminacaoSolicitada);
    EXPECT_FALSE(d.cdsControleCRC.Active());
    EXPECT_EQ(d.DirDados, "");
    dialogs.Clear();
    Clock::Set(MakeDateTime(1998, 1, 1));
    EXPECT_FALSE(Carrega().TerminacaoSolicitada);
}

TEST_F(ArquivosTest, DiretorioDeDadosPadraoENormalizacao) {
    TDM& d = Novo();
    d.DMCreate();  // no Config.ini, no KOVA.INI
    EXPECT_EQ(d.DirDados, dir.Programa() + "Dados/");
    EXPECT_TRUE(d.TerminacaoSolicitada);  // nothing there
    EXPECT_NE(dialogs.Texts()[0].find("Arquivo não localizado: \r" + dir.Programa() +
                                      "Dados/ControleCRC.cds"),
              std::string::npos);
    dialogs.Clear();
    d.DirPrograma = "/Prog/App/";
    EXPECT_EQ(d.NormalizaCaminho("..\\Dados"), "/Prog/Dados/");
    EXPECT_EQ(d.NormalizaCaminho(".\\Base"), "/Prog/App/Base/");
    EXPECT_EQ(d.NormalizaCaminho("D:\\Dados"), "D:/Dados/");
    EXPECT_EQ(d.NormalizaCaminho(""), "/");
    EXPECT_EQ(d.NormalizaCaminho("  ../Dados  "), "/Prog/Dados/");
    EXPECT_EQ(d.NormalizaCaminho("/srv/kova/dados/"), "/srv/kova/dados/");
}

TEST_F(ArquivosTest, KOVAINISemConfigIniNaoLeOutroConfig) {
    DiretorioDeTeste::Escreve(dir.Windows() + "KOVA.INI",
                              "[kova]\r\ndirdados=" + dir.Dados() + "\r\n");
    std::filesystem::create_directories(dir.Raiz() + "outro");
    DiretorioDeTeste::Escreve(dir.Raiz() + "outro/Config.ini",
                              "[Opções]\r\nTopMargin=7\r\nInstalação=NovaVersao\r\n");
    DiretorioDeTeste::Escreve(dir.Windows() + "KOVA.ini",
                              "[KOVA]\r\nDirExe=" + dir.Raiz() + "outro/\r\n");
    TDM& d = Carrega();
    EXPECT_TRUE(dialogs.History().empty());
    EXPECT_EQ(d.DirDados, dir.Dados());
    EXPECT_EQ(d.TopMargin, -1);
    EXPECT_TRUE(TIniFile(dir.Raiz() + "outro/Config.ini").ValueExists("Opções", "Instalação"));
}

// Settings files written on Windows are Windows-1252, as the system's text; Linux names its
// folders in UTF-8. A folder with accents is found whichever of the two the file was written in.
TEST_F(ArquivosTest, PastaComAcentosNomeadaEmWindows1252OuEmUtf8) {
    namespace fs = std::filesystem;
    const std::string pasta = dir.Raiz() + "Dados São João";  // Windows-1252, as every literal
    const std::string noDisco = Cp1252ToUtf8(pasta) + "/";
    fs::rename(dir.Dados(), noDisco);
    for (const std::string& escrita : {pasta, Cp1252ToUtf8(pasta)}) {
        DiretorioDeTeste::Escreve(dir.Windows() + "KOVA.INI",
                                  "[KOVA]\r\nDirDados=" + escrita + "\r\n");
        TDM& d = Carrega();
        EXPECT_FALSE(d.TerminacaoSolicitada) << Cp1252ToUtf8(escrita);
        EXPECT_EQ(d.DirDados, noDisco);
        EXPECT_EQ(d.cdsUF.RecordCount(), 27);
    }
    fs::remove(dir.Windows() + "KOVA.INI");
    DiretorioDeTeste::Escreve(dir.Programa() + "Config.ini", "[Dados]\r\nPath=" + pasta +
                                                                 "\r\n[Opções]\r\nPastaImpressao=" +
                                                                 dir.Raiz() + "Impressões\r\n");
    TDM& d = Carrega();
    EXPECT_FALSE(d.TerminacaoSolicitada);
    EXPECT_EQ(d.DirDados, noDisco);
    EXPECT_EQ(d.PastaImpressao, Cp1252ToUtf8(dir.Raiz() + "Impressões/"));
}

TEST_F(ArquivosTest, ConfigIniDoDirExeQuandoNaoHaOutro) {
    std::filesystem::create_directories(dir.Raiz() + "outro");
    DiretorioDeTeste::Escreve(dir.Raiz() + "outro/Config.ini",
                              "[Opções]\r\nTopMargin=7\r\n[Dados]\r\nPath=" + dir.Dados() + "\r\n");
    DiretorioDeTeste::Escreve(dir.Windows() + "KOVA.ini",
                              "[KOVA]\r\nDirExe=" + dir.Raiz() + "outro/\r\n");
    TDM& d = Carrega();
    EXPECT_EQ(d.TopMargin, 7);
    EXPECT_EQ(d.DirDados, dir.Dados());
}

// Config.ini and a data directory beside the program decide where the slips go: what another user
// could have written there is refused, naming it, and nothing is read or written through it.
TEST_F(ArquivosTest, ConfigIniEDadosQueOutroUsuarioPodeTerGravadoSaoRecusados) {
    namespace fs = std::filesystem;
    const auto recusa = [](const std::string& motivo, const char* oQue,
                           const std::string& caminho) {
        return "Erro na configuração do KOVA\r\r" + motivo + ".\r\rPor segurança o KOVA não usa " +
               oQue + " que outro usuário possa ter gravado: " + caminho;
    };
    const auto so = [&](const std::string& esperado) {
        const auto textos = dialogs.Texts();
        dialogs.Clear();
        return textos.size() == 1 && textos[0] == esperado && dm->TerminacaoSolicitada &&
                       !dm->cdsControleCRC.Active()
                   ? std::string()
                   : (textos.empty() ? std::string("nothing said") : textos[0]);
    };
    const std::string config = dir.Programa() + "Config.ini";
    // The data directory a Config.ini written by someone else would send the slips to.
    const std::string outra = dir.Raiz() + "outra/";
    fs::copy(dir.Dados(), outra, fs::copy_options::recursive);
    DiretorioDeTeste::Escreve(config, "[Dados]\r\nPath=" + outra + "\r\n");
    ::chmod(config.c_str(), 0666);
    Carrega();
    EXPECT_EQ(so(recusa(config + " pode ser alterado por outros usuários",
                        "um arquivo de configuração", config)),
              "");
    // Closed to others, the user's own file is obeyed.
    ::chmod(config.c_str(), 0644);
    EXPECT_FALSE(Carrega().TerminacaoSolicitada);
    EXPECT_EQ(dm->DirDados, outra);

    // Without Config.ini, the folder Dados beside the program, open to others.
    const std::string aoLado = dir.Programa() + "Dados";
    fs::remove(config);
    fs::copy(dir.Dados(), aoLado, fs::copy_options::recursive);
    ::chmod(aoLado.c_str(), 0777);
    Carrega();
    EXPECT_EQ(
        so(recusa(aoLado + " pode ser alterado por outros usuários", "uma pasta de dados", aoLado)),
        "");
    ::chmod(aoLado.c_str(), 0755);
    EXPECT_FALSE(Carrega().TerminacaoSolicitada);
    EXPECT_EQ(dm->DirDados, aoLado + "/");
    EXPECT_TRUE(dialogs.Texts().empty());

    if (!PodeTrocarDeUsuario()) GTEST_SKIP() << "another user's files need the superuser";
    ASSERT_EQ(::chown(aoLado.c_str(), kNinguem, kNinguem), 0);
    Carrega();
    EXPECT_EQ(so(recusa(aoLado + " pertence a outro usuário", "uma pasta de dados", aoLado)), "");
    ASSERT_EQ(::chown(aoLado.c_str(), 0, 0), 0);
    // Another user's Config.ini, however closed.
    DiretorioDeTeste::Escreve(config, "[Dados]\r\nPath=" + outra + "\r\n");
    ::chmod(config.c_str(), 0600);
    ASSERT_EQ(::chown(config.c_str(), kNinguem, kNinguem), 0);
    Carrega();
    EXPECT_EQ(
        so(recusa(config + " pertence a outro usuário", "um arquivo de configuração", config)), "");
    // In a program folder every user may add to (as /tmp), their link to the administrator's own
    // settings: they may point it elsewhere at any moment.
    fs::remove(config);
    ::chmod(dir.Programa().c_str(), 01777);
    DiretorioDeTeste::Escreve(dir.Raiz() + "admin.ini", "[Dados]\r\nPath=" + outra + "\r\n");
    ::chmod(dir.Raiz().c_str(), 0755);
    ASSERT_EQ(NoFilho([&] {
                  fs::create_symlink(dir.Raiz() + "admin.ini", config);
                  return std::string();
              }),
              "");
    Carrega();
    EXPECT_EQ(
        so(recusa(config + " pertence a outro usuário", "um arquivo de configuração", config)), "");
    // The administrator's own file there is obeyed: others may not replace it.
    fs::remove(config);
    fs::copy_file(dir.Raiz() + "admin.ini", config);
    EXPECT_FALSE(Carrega().TerminacaoSolicitada);
    EXPECT_EQ(dm->DirDados, outra);
}

TEST_F(ArquivosTest, TodasAsGrafiasDaChaveDeInstalacao) {
    for (const char* valor :
         {"NovaVersão", "nova versão", "NOVAVERSAO", "Nova Versao", "nOVAvERSÃO"}) {
        SCOPED_TRACE(valor);
        std::filesystem::remove(dir.Windows() + "KOVA.INI");
        dir.ConfigPadrao(std::string("[Opções]\r\nInstalação=") + valor + "\r\nTopMargin=3\r\n");
        TDM& d = Carrega();
        EXPECT_FALSE(d.TerminacaoSolicitada);
        TIniFile config(dir.Programa() + "Config.ini");
        EXPECT_FALSE(config.ValueExists("Opções", "Instalação"));
        EXPECT_EQ(config.ReadInteger("Opções", "TopMargin", 0), 3);
        TIniFile kovaIni(dir.Windows() + "KOVA.INI");
        EXPECT_EQ(kovaIni.ReadString("KOVA", "DirExe", ""), dir.Programa());
        EXPECT_EQ(kovaIni.ReadString("KOVA", "DirDados", ""), dir.Programa() + "Dados");
    }
    for (const char* valor : {"Nova-Versao", "none", "Versao"}) {
        SCOPED_TRACE(valor);
        std::filesystem::remove(dir.Windows() + "KOVA.INI");
        dir.ConfigPadrao(std::string("[Opções]\r\nInstalação=") + valor + "\r\n");
        Carrega();
        EXPECT_FALSE(std::filesystem::exists(dir.Windows() + "KOVA.INI"));
    }
}

TEST_F(ArquivosTest, NovaVersaoPreservaKOVAsCampoACampo) {
    // An old slips file: it lacks Telefone and has a field the layout no longer knows.
    TDataSet velho("velho");
    velho.AddField(TFieldDef("IdKOVA", TFieldType::ftInteger));
    velho.AddField(TFieldDef("UFFavorecida", TFieldType::ftString, 2));
    velho.AddField(TFieldDef("Situacao", TFieldType::ftString, 1));
    velho.AddField(TFieldDef("CampoAntigo", TFieldType::ftString, 10));
    velho.CreateDataSet();
    velho.AppendRecord({int32_t(7), std::string("SP"), std::string("I"), std::string("x")});
    velho.AppendRecord({int32_t(9), std::string("MG"), std::string("N"), std::string("y")});
    SaveToFile(velho, dir.Dados() + "KOVA.cds");
    DiretorioDeTeste::Escreve(dir.Programa() + "DllInscE32.Dll", "componente");
    dir.ConfigPadrao("[Opções]\r\nInstalação=NovaVersão\r\n");
    dialogs.Answer(TModalResult::mrYes);
    TDM& d = Carrega();
    EXPECT_EQ(dialogs.Texts(), std::vector<std::string>{"Deseja preservar as KOVA já digitadas?"});
    EXPECT_FALSE(d.TerminacaoSolicitada);
    ASSERT_EQ(d.cdsKOVA.RecordCount(), 2);
    d.cdsKOVA.First();
    EXPECT_EQ(d.cdsKOVA.FieldByName("IdKOVA").AsInteger(), 7);
    EXPECT_EQ(d.cdsKOVA.FieldByName("Situacao").AsString(), "I");
    EXPECT_EQ(d.cdsKOVA.FieldByName("DataHora").AsString(), "15/03/2024 10:00:00");
    EXPECT_EQ(d.cdsKOVA.FieldByName("SubReceita").AsInteger(), 0);  // new field: new-slip default
    EXPECT_EQ(d.UltimoIdKOVA, 9);
    EXPECT_EQ(Ler(dir.Sistema() + "DllInscE32.Dll"), "componente");

    dialogs.Clear();
    dir.ConfigPadrao("[Opções]\r\nInstalação=NovaVersão\r\n");
    dialogs.Answer(TModalResult::mrNo);
    EXPECT_EQ(Carrega().cdsKOVA.RecordCount(), 0);
}

TEST_F(ArquivosTest, ArquivoAusenteParaACargaComOCaminhoCompleto) {
    dir.ConfigPadrao();
    std::filesystem::remove(dir.Dados() + "UF.cds");
    TDM& d = Carrega();
    EXPECT_EQ(dialogs.Texts(), std::vector<std::string>{
                                   "Erro na abertura dos arquivos\r\rArquivo não localizado: \r" +
                                   dir.Dados() + "UF.cds"});
    EXPECT_TRUE(d.TerminacaoSolicitada);
    EXPECT_TRUE(d.cdsControle.Active());
    EXPECT_FALSE(d.cdsUF.Active());
    EXPECT_FALSE(d.cdsReceita.Active());
    EXPECT_FALSE(d.cdsKOVA.Active());
}

void Executa(const std::string& arquivo, const std::string& sql) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(arquivo.c_str(), &db), SQLITE_OK);
    char* erro = nullptr;
    EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &erro), SQLITE_OK)
        << (erro ? erro : "");
    sqlite3_free(erro);
    sqlite3_close(db);
}

// The slips file checks itself: a slip changed outside the program is refused when it is read, a
// slip removed outside it stops the next start; what the program saves always passes.
TEST_F(ArquivosTest, KOVAAlteradaForaDoProgramaNaoPassaEAsGravadasPeloProgramaSim) {
    dir.ConfigPadrao();
    GravaKOVAs(3);
    EXPECT_EQ(Carrega().cdsKOVA.RecordCount(), 3);
    EXPECT_TRUE(dialogs.History().empty());
    dm.reset();
    const std::string kova = dir.Dados() + "KOVA.cds";
    const std::string crcNaoConfere = "Erro na abertura dos arquivos\r\rCRC não confere: \r" + kova;

    Executa(kova, "UPDATE registros SET ValorPrincipal = 999 WHERE IdKOVA = 2");
    {
        TDM& d = Carrega();
        EXPECT_TRUE(dialogs.History().empty());
        ASSERT_TRUE(d.cdsKOVA.Locate("IdKOVA", {2}));
        try {
            d.cdsKOVA.FieldByName("ValorPrincipal").AsFloat();
            ADD_FAILURE() << "a changed slip was read";
        } catch (const EDatabaseError& e) {
            EXPECT_EQ(e.what(), crcNaoConfere);
        }
        ASSERT_TRUE(d.cdsKOVA.Locate("IdKOVA", {1}));
        EXPECT_EQ(d.cdsKOVA.FieldByName("ValorPrincipal").AsFloat(), 0.0);
        dm.reset();
    }
    Executa(kova, "DELETE FROM registros WHERE IdKOVA = 3");
    TDM& d = Carrega();
    EXPECT_EQ(dialogs.Texts(), std::vector<std::string>{crcNaoConfere});
    EXPECT_TRUE(d.TerminacaoSolicitada);
    EXPECT_FALSE(d.cdsKOVA.Active());
}

// A program that only adds slips (an import, the library's requests) reads none of the stored ones,
// but is refused a file whose rows are not the ones its seal counts exactly as the desktop is, and
// neither numbers from it nor adds to it.
TEST_F(ArquivosTest, QuemSoAcrescentaKOVAsConfereOSeloComoODesktop) {
    dir.ConfigPadrao();
    GravaKOVAs(3);
    const std::string kova = dir.Dados() + "KOVA.cds";
    const std::string crcNaoConfere = "Erro na abertura dos arquivos\r\rCRC não confere: \r" + kova;
    auto carregaAcrescentando = [&](bool escritor) -> TDM& {
        dialogs.Clear();
        TDM& d = Novo();
        d.Escritor = escritor;
        d.CargaKOVA = TDM::TCargaKOVA::SoNumeracao;
        d.DMCreate();
        return d;
    };
    EXPECT_FALSE(carregaAcrescentando(true).TerminacaoSolicitada);
    EXPECT_EQ(dm->UltimoIdKOVA, 3);
    dm.reset();

    for (const char* mudanca : {"DELETE FROM registros WHERE IdKOVA = 2",
                                "INSERT INTO registros(IdKOVA, Situacao, crc_linha) "
                                "SELECT 90, 'N', crc_linha FROM registros WHERE IdKOVA = 1"}) {
        SCOPED_TRACE(mudanca);
        GravaKOVAs(0);
        const std::string antes = Ler(kova);
        Executa(kova, mudanca);
        const std::string mudado = Ler(kova);
        for (bool escritor : {true, false}) {
            TDM& d = carregaAcrescentando(escritor);
            EXPECT_EQ(dialogs.Texts(), std::vector<std::string>{crcNaoConfere});
            EXPECT_TRUE(d.TerminacaoSolicitada);
            EXPECT_FALSE(d.cdsKOVA.Active());
            d.GravarAposAlteracao = true;
            d.DMDestroy();
            dm.reset();
            EXPECT_EQ(Ler(kova), mudado);
        }
        DiretorioDeTeste::Escreve(kova, antes);
    }
}

// The new-version installation rewrites the slips file whole and seals it anew, in the desktop and
// in the library alike: a file whose rows no longer match its seal is refused first, with the
// message of every start, and neither rewritten nor made to pass.
TEST_F(ArquivosTest, NovaVersaoRecusaArquivoDeKOVAsCujoSeloNaoConfere) {
    dir.ConfigPadrao();
    GravaKOVAs(3);
    const std::string kova = dir.Dados() + "KOVA.cds";
    Executa(kova, "DELETE FROM registros WHERE IdKOVA = 2");
    const std::string mudado = Ler(kova);
    for (bool biblioteca : {false, true}) {
        SCOPED_TRACE(biblioteca ? "biblioteca" : "desktop");
        dir.ConfigPadrao("[Opções]\r\nInstalação=NovaVersão\r\n");
        dialogs.Clear();
        TDM& d = Novo();
        if (biblioteca) {
            d.CargaKOVA = TDM::TCargaKOVA::SoNumeracao;
        } else {
            d.Escritor = true;
        }
        d.DMCreate();
        EXPECT_EQ(dialogs.Texts(),
                  std::vector<std::string>{"Erro na abertura dos arquivos\r\rCRC não confere: \r" +
                                           kova});
        EXPECT_TRUE(d.TerminacaoSolicitada);
        dm.reset();
        EXPECT_TRUE(Ler(kova) == mudado) << "the slips file was rewritten";
        EXPECT_NE(Ler(dir.Programa() + "Config.ini").find("Instala"), std::string::npos);
    }
}

// A slips file of an earlier version (written whole, its CRC in ControleCRC.cds) is checked whole
// as it was then; the first save gives it its own check, in the same transaction, and its entry
// goes.
TEST_F(ArquivosTest, ArquivoDeVersaoAnteriorConfereInteiroEPassaAConferirSozinho) {
    dir.ConfigPadrao();
    const std::string kova = dir.Dados() + "KOVA.cds";
    const std::string original = Ler(kova);
    std::string alterado = original;
    alterado[alterado.size() - 10] ^= 0x55;
    DiretorioDeTeste::Escreve(kova, alterado);
    EXPECT_TRUE(Carrega().TerminacaoSolicitada);
    EXPECT_EQ(dialogs.Texts(), std::vector<std::string>{
                                   "Erro na abertura dos arquivos\r\rCRC não confere: \r" + kova});
    dm.reset();
    dialogs.Clear();

    DiretorioDeTeste::Escreve(kova, original);
    GravaKOVAs(2);
    TDM& d = Carrega();
    EXPECT_TRUE(dialogs.History().empty());
    EXPECT_EQ(d.cdsKOVA.RecordCount(), 2);
    EXPECT_FALSE(d.cdsControleCRC.Locate("NomeTabela", {std::string("KOVA.CDS")}));
    // Its bytes change with every save now, and nothing holds them against it.
    EXPECT_NE(Ler(kova), original);
}

// The desktop's start reads the resident fields of every slip and nothing more; a program that
// only adds slips reads the last number only. Reading slips whole keeps a bounded number in memory.
TEST_F(ArquivosTest, SoOsCamposResidentesNaMemoriaEUmNumeroLimitadoDeKOVAInteiras) {
    dir.ConfigPadrao();
    const int n = int(TDataSet::kRegistrosLidos) * 3;
    {
        TDM& d = Carrega();
        TDM::TAdiaGravacao umaGravacao(d);
        d.GravarAposAlteracao = true;
        for (int i = 0; i < n; ++i) {
            d.cdsKOVA.Append();
            d.cdsKOVA.FieldByName("Informacoes").SetAsString("KOVA " + std::to_string(i + 1));
            d.cdsKOVA.Post();
        }
    }
    dm.reset();
    {
        TDM& d = Carrega();
        EXPECT_EQ(d.cdsKOVA.RecordCount(), n);
        EXPECT_EQ(d.UltimoIdKOVA, n);
        EXPECT_LE(d.cdsKOVA.WholeRecordsInMemory(), 1u);
        int i = 0;
        for (d.cdsKOVA.First(); !d.cdsKOVA.Eof(); d.cdsKOVA.Next()) {
            ASSERT_EQ(d.cdsKOVA.FieldByName("Informacoes").AsString(),
                      "KOVA " + std::to_string(++i));
        }
        EXPECT_EQ(i, n);
        EXPECT_LE(d.cdsKOVA.WholeRecordsInMemory(), TDataSet::kRegistrosLidos);
        dm.reset();
    }
    dialogs.Clear();
    dm = std::make_unique<TDM>();
    dm->DirPrograma = dir.Programa();
    dm->CargaKOVA = TDM::TCargaKOVA::SoNumeracao;
    dm->DMCreate();
    EXPECT_EQ(dm->cdsKOVA.RecordCount(), 0);
    EXPECT_EQ(dm->UltimoIdKOVA, n);
    // The notice of a large file counts without reading the slips.
    ASSERT_EQ(dialogs.Texts().size(), 1u);
    EXPECT_NE(dialogs.Texts()[0].find("muito grande"), std::string::npos);
}

TEST_F(ArquivosTest, CRCGuardadoEmMinusculasNuncaConfere) {
    dir.ConfigPadrao();
    TDM& d = Carrega();
    d.cdsControleCRC.FindKey({"UF.CDS"});
    std::string crc = d.cdsControleCRC.FieldByName("CRC").AsString();
    std::string minusculo;
    for (char c : crc) minusculo += char(std::tolower(static_cast<unsigned char>(c)));
    ASSERT_NE(minusculo, crc) << "this CRC has no letters";
    d.cdsControleCRC.Edit();
    d.cdsControleCRC.FieldByName("CRC").SetAsString(minusculo);
    d.cdsControleCRC.Post();
    SaveToFile(d.cdsControleCRC, dir.Dados() + "ControleCRC.cds");
    EXPECT_TRUE(Carrega().TerminacaoSolicitada);
    EXPECT_NE(dialogs.Texts().at(0).find("CRC não confere"), std::string::npos);
}

TEST_F(ArquivosTest, ArquivoSemEntradaNoControleCarregaSemVerificar) {
    dir.ConfigPadrao();
    TDM& d = Carrega();
    d.cdsControleCRC.FindKey({"FERIADO.CDS"});
    d.cdsControleCRC.Delete();
    SaveToFile(d.cdsControleCRC, dir.Dados() + "ControleCRC.cds");
    std::string conteudo = Ler(dir.Dados() + "Feriado.cds");
    DiretorioDeTeste::Escreve(dir.Dados() + "Feriado.cds", conteudo);  // same file, no entry
    EXPECT_FALSE(Carrega().TerminacaoSolicitada);
    EXPECT_TRUE(dialogs.History().empty());
}

TEST_F(ArquivosTest, AvisoAcimaDe250KOVAs) {
    dir.ConfigPadrao();
    GravaKOVAs(250);
    EXPECT_EQ(Carrega().UltimoIdKOVA, 250);
    EXPECT_TRUE(dialogs.History().empty());
    GravaKOVAs(1);
    TDM& d = Carrega();
    EXPECT_EQ(d.UltimoIdKOVA, 251);
    ASSERT_EQ(dialogs.History().size(), 1u);
    EXPECT_EQ(dialogs.History()[0].kind, TMsgDlgType::mtInformation);
    EXPECT_EQ(dialogs.History()[0].text,
              "Arquivo de digitação de KOVA está muito grande\r\rUtilize a opção Utilitários | "
              "Remover KOVA já "
              "impressas\rpara limpar o arquivo");
    EXPECT_FALSE(d.TerminacaoSolicitada);
}

TEST_F(ArquivosTest, AtualizaCRCDeArquivoInalteradoNaoGravaNada) {
    dir.ConfigPadrao();
    TDM& d = Carrega();
    const std::string controle = dir.Dados() + "ControleCRC.cds";
    auto antes = std::filesystem::last_write_time(controle);
    auto inode = [](const std::string& p) {
        struct stat st;
        ::stat(p.c_str(), &st);
        return st.st_ino;
    };
    auto inodeAntes = inode(controle);
    d.AtualizaCRC(dir.Dados() + "UF.cds");
    EXPECT_EQ(std::filesystem::last_write_time(controle), antes);
    EXPECT_EQ(inode(controle), inodeAntes);
    // A new file gets an entry.
    DiretorioDeTeste::Escreve(dir.Dados() + "Novo.cds", "abc");
    d.AtualizaCRC(dir.Dados() + "Novo.cds");
    TDM& e = Carrega();
    ASSERT_TRUE(e.cdsControleCRC.FindKey({"NOVO.CDS"}));
    EXPECT_EQ(e.cdsControleCRC.FieldByName("CRC").AsString(), "352441C2");
}

void Corrompe(const std::string& dados, const std::string& arquivo, const std::string& conteudo) {
    DiretorioDeTeste::Escreve(dados + arquivo, conteudo);
    // Record the damaged file's checksum so that the load itself meets the damage.
    TDM d;
    d.DirDados = dados;
    d.AtualizaCRC(dados + arquivo);
}

TEST_F(ArquivosTest, ArquivoCorrompidoTruncadoOuEstranhoDaMensagemDeCarga) {
    dir.ConfigPadrao();
    const std::string original = Ler(dir.Dados() + "UF.cds");
    std::string corrompido = original;
    for (size_t i = 100; i < corrompido.size(); i += 97) corrompido[i] = char(corrompido[i] ^ 0xA5);
    std::string semCampos;
    {
        sqlite3* db;
        std::string p = dir.Raiz() + "semcampos.db";
        sqlite3_open(p.c_str(), &db);
        sqlite3_exec(db, "CREATE TABLE registros(UF TEXT); INSERT INTO registros VALUES('SP');",
                     nullptr, nullptr, nullptr);
        sqlite3_close(db);
        semCampos = Ler(p);
    }
    std::string camposErrados;
    {
        TDataSet t;
        t.AddField(TFieldDef("Sigla", TFieldType::ftString, 2));
        t.CreateDataSet();
        t.AppendRecord({std::string("SP")});
        SaveToFile(t, dir.Raiz() + "errado.cds");
        camposErrados = Ler(dir.Raiz() + "errado.cds");
    }
    std::string tipoErrado;
    {
        TDataSet t;
        t.AddField(TFieldDef("UF", TFieldType::ftString, 2));
        t.AddField(TFieldDef("Codigo", TFieldType::ftString, 5));
        t.CreateDataSet();
        t.AppendRecord({std::string("SP"), std::string("abc")});
        SaveToFile(t, dir.Raiz() + "tipo.cds");
        tipoErrado = Ler(dir.Raiz() + "tipo.cds");
    }
    // Records that never end, their checksum recorded as if the file were the shipped one.
    std::string semFim;
    {
        sqlite3* db;
        sqlite3_open((dir.Raiz() + "semfim.cds").c_str(), &db);
        sqlite3_exec(db,
                     "CREATE TABLE campos(nome, tipo, tamanho, posicao); INSERT INTO campos "
                     "VALUES('UF', 'String', 2, 0);"
                     "CREATE VIEW registros AS WITH RECURSIVE c(n) AS (SELECT 1 UNION ALL SELECT n "
                     "+ 1 FROM c) "
                     "SELECT 'SP' AS UF FROM c",
                     nullptr, nullptr, nullptr);
        sqlite3_close(db);
        semFim = Ler(dir.Raiz() + "semfim.cds");
    }
    for (const auto& [nome, conteudo] : std::vector<std::pair<std::string, std::string>>{
             {"visão sem fim", semFim},
             {"corrompido", corrompido},
             {"truncado", original.substr(0, original.size() / 2)},
             {"vazio", ""},
             {"texto", "isto não é uma tabela"},
             {"sem campos", semCampos},
             {"campos errados", camposErrados},
             {"tipo errado", tipoErrado}}) {
        SCOPED_TRACE(nome);
        dm.reset();
        Corrompe(dir.Dados(), "UF.cds", conteudo);
        dialogs.Clear();
        TDM& d = Carrega();
        ASSERT_EQ(dialogs.Texts().size(), 1u);
        EXPECT_EQ(dialogs.Texts()[0].rfind("Erro na abertura da tabela: UF.cds\r\r", 0), 0u)
            << dialogs.Texts()[0];
        if (nome == "visão sem fim") {
            EXPECT_EQ(dialogs.Texts()[0],
                      "Erro na abertura da tabela: UF.cds\r\rUF.cds: o arquivo não é uma tabela do "
                      "KOVA (registros é uma visão, não uma tabela)");
        }
        EXPECT_TRUE(d.TerminacaoSolicitada);
        EXPECT_FALSE(d.cdsUF.Active());
        EXPECT_FALSE(d.cdsKOVA.Active());
    }
}

TEST_F(ArquivosTest, CadaAlteracaoGravaOArquivoDeKOVAs) {
    dir.ConfigPadrao();
    TDM& d = Carrega();
    d.GravarAposAlteracao = true;
    d.cdsKOVA.Append();
    d.cdsKOVA.Post();
    d.cdsKOVA.Append();
    d.cdsKOVA.Post();
    {
        TDM::TAdiaGravacao adia(d);
        d.MarcaImpressa();
        d.cdsKOVA.First();
        d.cdsKOVA.Delete();
        // Nothing written while held back.
        TDataSet leitor;
        LoadFromFile(leitor, dir.Dados() + "KOVA.cds");
        EXPECT_EQ(leitor.RecordCount(), 2);
    }
    // A crash now loses nothing: the file was written with its checksum.
    dm.reset();  // as if the process died: the end of the program writes nothing more
    TDM& e = Carrega();
    EXPECT_TRUE(dialogs.History().empty());
    ASSERT_EQ(e.cdsKOVA.RecordCount(), 1);
    EXPECT_EQ(e.cdsKOVA.FieldByName("IdKOVA").AsInteger(), 2);
    EXPECT_EQ(e.cdsKOVA.FieldByName("Situacao").AsString(), "I");
}

// The slips of the file, in number order, as "id:situation:text".
std::vector<std::string> Conteudo(TDataSet& kova) {
    std::vector<std::string> r;
    for (kova.First(); !kova.Eof(); kova.Next()) {
        r.push_back(kova.FieldByName("IdKOVA").AsString() + ":" +
                    kova.FieldByName("Situacao").AsString() + ":" +
                    kova.FieldByName("Informacoes").AsString());
    }
    return r;
}

// A save that adds a slip, marks one printed and removes another is killed before each of its
// steps in turn (every system call that may change a file), and once let run to its end: each
// time, the next start finds exactly the slips before the save or exactly those after it, never
// an error. Nothing here depends on when a kill lands.
TEST_F(ArquivosTest, MortoEmCadaPassoDaGravacaoOProximoInicioCarregaAntigasOuNovas) {
    dir.ConfigPadrao();
    {
        TDM& d = Carrega();
        for (const char* texto : {"PRIMEIRA", "SEGUNDA", "TERCEIRA"}) {
            d.cdsKOVA.Append();
            d.cdsKOVA.FieldByName("Informacoes").SetAsString(texto);
            d.cdsKOVA.Post();
        }
        d.DMDestroy();
        dm.reset();
    }
    const std::string antes = dir.Raiz() + "antes";
    std::filesystem::copy(dir.Dados(), antes, std::filesystem::copy_options::recursive);
    const std::vector<std::string> antigas = {"1:N:PRIMEIRA", "2:N:SEGUNDA", "3:N:TERCEIRA"};
    const std::vector<std::string> novas = {"1:I:PRIMEIRA", "3:N:TERCEIRA", "4:N:QUARTA"};

    // The save runs in a child forked from a loaded program, so that each round costs one save.
    auto gravacaoMorta = [&](int passo) {
        TDM& d = Carrega();
        const pid_t filho = fork();
        if (filho == 0) {
            d.GravarAposAlteracao = true;
            d.cdsKOVA.First();
            {
                TDM::TAdiaGravacao adia(d);
                d.MarcaImpressa();
                d.cdsKOVA.Next();
                d.cdsKOVA.Delete();
                d.cdsKOVA.Append();
                d.cdsKOVA.FieldByName("Informacoes").SetAsString("QUARTA");
                d.cdsKOVA.Post();
                if (!ComecaPassos()) _exit(9);
            }
            _exit(0);
        }
        const TFimDoPasso fim = MataNoPasso(filho, passo);
        dm.reset();
        return fim;
    };

    const TFimDoPasso inteira = gravacaoMorta(-1);
    ASSERT_TRUE(inteira.rastreou) << "the save could not be traced (ptrace)";
    ASSERT_TRUE(WIFEXITED(inteira.estado) && WEXITSTATUS(inteira.estado) == 0) << inteira.estado;
    ASSERT_GT(inteira.passos, 0);
    {
        TDM& d = Carrega();
        ASSERT_EQ(Conteudo(d.cdsKOVA), novas);
        dm.reset();
    }
    int vistasAntigas = 0;
    int vistasNovas = 0;
    for (int passo = 0; passo <= inteira.passos; ++passo) {
        SCOPED_TRACE("killed before step " + std::to_string(passo) + " of " +
                     std::to_string(inteira.passos));
        // The directory as it was before the save, each round.
        std::filesystem::remove_all(dir.Dados());
        std::filesystem::copy(antes, dir.Dados(), std::filesystem::copy_options::recursive);

        const TFimDoPasso fim = gravacaoMorta(passo);
        ASSERT_TRUE(fim.rastreou);
        ASSERT_EQ(fim.morto, passo < inteira.passos);
        dialogs.Clear();
        TDM& d = Carrega();
        for (const auto& visto : dialogs.History())
            ASSERT_NE(visto.kind, TMsgDlgType::mtError) << visto.text;
        ASSERT_FALSE(d.TerminacaoSolicitada);
        const std::vector<std::string> achadas = Conteudo(d.cdsKOVA);
        if (achadas == antigas) {
            ++vistasAntigas;
        } else {
            ASSERT_EQ(achadas, novas);
            ++vistasNovas;
        }
        dm.reset();
    }
    EXPECT_GT(vistasAntigas, 0);
    EXPECT_GT(vistasNovas, 0);
}

// Saving in a child process that cannot write (the file size limited as a full disk would, or the
// data folder closed to it): the child gets a clear message, and the next start finds the slips
// of the file that was there before, whole.
std::string SalvaSemPoder(const DiretorioDeTeste& dir, bool discoCheio) {
    int canal[2];
    if (pipe(canal) != 0) return "pipe";
    pid_t filho = fork();
    if (filho == 0) {
        close(canal[0]);
        std::string relato = "gravou";
        try {
            ScriptedDialogs silencio;
            ScopedDialogService s(silencio);
            TDM d;
            d.DirPrograma = dir.Programa();
            d.DMCreate();
            for (int i = 0; i < 2000; ++i) {
                d.cdsKOVA.Append();
                d.cdsKOVA.FieldByName("Informacoes").SetAsString(std::string(200, 'X'));
                d.cdsKOVA.Post();
            }
            if (discoCheio) {
                signal(SIGXFSZ, SIG_IGN);
                rlimit limite{64 * 1024, 64 * 1024};
                setrlimit(RLIMIT_FSIZE, &limite);
            } else {
                chmod(dir.Raiz().c_str(), 0755);
                chmod(dir.Dados().c_str(), 0555);
                // Permissions do not stop the superuser: save as nobody.
                if (geteuid() == 0 && setuid(65534) != 0) _exit(3);
            }
            try {
                d.SalvarKOVA();
            } catch (const std::exception& e) {
                relato = e.what();
            }
        } catch (const std::exception& e) {
            relato = std::string("falha antes de gravar: ") + e.what();
        }
        if (write(canal[1], relato.data(), relato.size()) < 0) _exit(4);
        _exit(0);
    }
    close(canal[1]);
    std::string relato;
    char bloco[512];
    for (ssize_t n; (n = read(canal[0], bloco, sizeof bloco)) > 0;) relato.append(bloco, size_t(n));
    close(canal[0]);
    int estado = 0;
    waitpid(filho, &estado, 0);
    chmod(dir.Dados().c_str(), 0755);
    return relato;
}

TEST_F(ArquivosTest, DiscoCheioOuPastaFechadaMantemOArquivoAnterior) {
    dir.ConfigPadrao();
    GravaKOVAs(5);
    dm.reset();
    for (bool discoCheio : {true, false}) {
        const std::string relato = SalvaSemPoder(dir, discoCheio);
        EXPECT_EQ(relato.rfind("Erro ao gravar o arquivo " + dir.Dados() + "KOVA.cds: " +
                                   (discoCheio ? "falha de gravação no disco"
                                               : "a pasta não permite gravar"),
                               0),
                  0u)
            << relato;
        EXPECT_NE(relato.find("O arquivo anterior foi mantido"), std::string::npos);
        EXPECT_FALSE(ExisteArquivoDisco(dir.Dados() + "KOVA.cds.novo"));
        dialogs.Clear();
        TDM& d = Carrega();
        EXPECT_TRUE(dialogs.History().empty()) << dialogs.Texts()[0];
        EXPECT_EQ(d.cdsKOVA.RecordCount(), 5);
        dm.reset();
    }
}

}  // namespace

namespace {

// What the search page's box and the removal ask for is read from the file's columns, never the
// slips whole; the slips not saved yet are judged as memory holds them.
TEST_F(ArquivosTest, KOVAsQueLeAsColunasDoArquivoEAsNaoGravadasNaMemoria) {
    dir.ConfigPadrao();
    {
        TDM& d = Carrega();
        d.GravarAposAlteracao = true;
        for (const char* nome : {"EMPRESA AÇÚCAR LTDA", "JOSÉ DA SILVA", "COMERCIAL ÇAÇA", "ANA"}) {
            d.cdsKOVA.Append();
            d.cdsKOVA.FieldByName("RazaoSocial").SetAsString(nome);
            d.cdsKOVA.Post();
        }
        dm.reset();
    }
    TDM& d = Carrega();
    auto comNome = [&d](const std::string& parte) {
        std::vector<int> r;
        for (TBookmark b : d.KOVAsQue({"RazaoSocial"}, [&](const std::vector<TValue>& v) {
                 return UpperCase(ValueToString(v[0])).find(UpperCase(parte)) != std::string::npos;
             })) {
            r.push_back(
                std::get<int32_t>(d.cdsKOVA.ValueAt(b, d.cdsKOVA.FieldByName("IdKOVA").Index())));
        }
        std::sort(r.begin(), r.end());
        return r;
    };
    EXPECT_EQ(comNome("açúcar"),
              (std::vector<int>{1}));  // accents and case as the clerk types them
    EXPECT_EQ(comNome("ça"), (std::vector<int>{3}));
    EXPECT_EQ(comNome("a"), (std::vector<int>{1, 2, 3, 4}));
    EXPECT_EQ(d.cdsKOVA.WholeRecordsInMemory(), 0u) << "slips were read whole";

    // A name changed and not saved yet is judged as it is now, not as the file has it.
    d.GravarAposAlteracao = false;
    ASSERT_TRUE(d.cdsKOVA.Locate("IdKOVA", {4}));
    d.cdsKOVA.Edit();
    d.cdsKOVA.FieldByName("RazaoSocial").SetAsString("BEATRIZ");
    d.cdsKOVA.Post();
    EXPECT_EQ(comNome("ana"), (std::vector<int>{}));
    EXPECT_EQ(comNome("beatriz"), (std::vector<int>{4}));
}

}  // namespace
