// Several programs on one data directory: saves and loads through the directory's lock, one
// writer at a time, recovery only with no one else there, failures told once and in Portuguese.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <thread>

#include "Clock.h"
#include "Dialogs.h"
#include "DiretorioDeTeste.h"
#include "Diretorios.h"
#include "Espera.h"
#include "GravacaoKOVA.h"
#include "MorteNoPasso.h"
#include "TChecksum.h"
#include "TDM.h"
#include "TIniFile.h"
#include "TTableFile.h"
#include "TTrava.h"

using namespace kova;
using namespace kova::teste;

namespace {

class PastaCompartilhadaTest : public ::testing::Test {
protected:
    void SetUp() override {
        Clock::Set(MakeDateTime(2024, 3, 15, 10, 0));
        dir.ConfigPadrao();
    }
    void TearDown() override {
        dm.reset();
        Clock::Reset();
    }
    TDM& Carrega(bool escritor = false) {
        dm.reset();
        dm = std::make_unique<TDM>();
        dm->DirPrograma = dir.Programa();
        dm->Escritor = escritor;
        dm->DMCreate();
        return *dm;
    }
    std::vector<std::string> Erros() const {
        std::vector<std::string> r;
        for (const auto& d : dialogs.History()) {
            if (d.kind == TMsgDlgType::mtError) r.push_back(d.text);
        }
        return r;
    }
    std::vector<std::string> Arquivos() const {
        std::vector<std::string> r;
        for (const auto& e : std::filesystem::directory_iterator(dir.Dados()))
            r.push_back(e.path().filename());
        std::sort(r.begin(), r.end());
        return r;
    }

    DiretorioDeTeste dir;
    ScriptedDialogs dialogs;
    ScopedDialogService servico{dialogs};
    std::unique_ptr<TDM> dm;
};

// Runs corpo in a child process with its own silent dialogs; the child's status is returned.
template <typename F>
pid_t Filho(F&& corpo) {
    pid_t pid = fork();
    if (pid == 0) {
        int status = 0;
        try {
            ScriptedDialogs silencio;
            ScopedDialogService s(silencio);
            status = corpo();
        } catch (...) {
            status = 99;
        }
        _exit(status);
    }
    return pid;
}

int Espera(pid_t pid) {
    int estado = 0;
    waitpid(pid, &estado, 0);
    return WIFEXITED(estado) ? WEXITSTATUS(estado) : 128 + WTERMSIG(estado);
}

// A writer saving slips over and over beside programs that load the directory the whole time (the
// library's start): no load ever sees half a save, and every slip the writer saved is there.
TEST_F(PastaCompartilhadaTest, LeitoresAoLadoDeUmEscritorNuncaVeemMeiaGravacao) {
    constexpr int kGravacoes = 200;
    int canal[2];
    ASSERT_EQ(pipe(canal), 0);
    const pid_t escritor = Filho([&] {
        close(canal[0]);
        TDM d;
        d.DirPrograma = dir.Programa();
        d.Escritor = true;
        d.DMCreate();
        if (d.TerminacaoSolicitada) return 2;
        d.GravarAposAlteracao = true;
        for (int i = 0; i < kGravacoes; ++i) {
            d.cdsKOVA.Append();
            d.cdsKOVA.Post();
            // Told only once it is on disk.
            const int32_t id = d.cdsKOVA.FieldByName("IdKOVA").AsInteger();
            if (write(canal[1], &id, sizeof id) != sizeof id) return 3;
        }
        return 0;
    });
    close(canal[1]);
    std::vector<pid_t> leitores;
    const std::string marcaFim = dir.Raiz() + "fim";
    for (int l = 0; l < 2; ++l) {
        leitores.push_back(Filho([&] {
            int cargas = 0;
            while (!ExisteArquivoDisco(marcaFim) || cargas < 5) {
                ScriptedDialogs vistos;
                ScopedDialogService s(vistos);
                TDM d;
                d.DirPrograma = dir.Programa();
                d.DMCreate();
                if (d.TerminacaoSolicitada) return 10;
                for (const auto& v : vistos.History()) {
                    if (v.kind == TMsgDlgType::mtError) return 11;
                }
                ++cargas;
                // A host program loads now and then, not without pause.
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            }
            return 0;
        }));
    }
    std::set<int32_t> gravadas;
    int32_t id;
    while (read(canal[0], &id, sizeof id) == sizeof id) gravadas.insert(id);
    close(canal[0]);
    EXPECT_EQ(Espera(escritor), 0);
    DiretorioDeTeste::Escreve(marcaFim, "");
    for (pid_t l : leitores) EXPECT_EQ(Espera(l), 0) << "a reader met a load failure";
    ASSERT_EQ(gravadas.size(), size_t(kGravacoes));

    TDM& d = Carrega();
    EXPECT_TRUE(Erros().empty());
    std::set<int32_t> presentes;
    for (d.cdsKOVA.First(); !d.cdsKOVA.Eof(); d.cdsKOVA.Next()) {
        presentes.insert(d.cdsKOVA.FieldByName("IdKOVA").AsInteger());
    }
    EXPECT_EQ(presentes, gravadas);
}

TEST_F(PastaCompartilhadaTest, SegundoEscritorRecusadoSemGravarNadaELeitoresContinuam) {
    TTrava outro = TTrava::TentarEscritor(dir.Dados(), "kova");
    ASSERT_TRUE(outro.Travada());
    const std::string antes = TChecksum().FileCRC(dir.Dados() + "KOVA.cds");

    TDM& d = Carrega(true);
    EXPECT_TRUE(d.TerminacaoSolicitada);
    EXPECT_TRUE(d.EscritaRecusada);
    ASSERT_EQ(Erros().size(), 1u);
    EXPECT_NE(Erros()[0].find("estão sendo gravadas por outro programa:\rkova (processo " +
                              std::to_string(getpid()) + ")"),
              std::string::npos)
        << Erros()[0];
    EXPECT_FALSE(d.cdsKOVA.Active());
    EXPECT_EQ(TChecksum().FileCRC(dir.Dados() + "KOVA.cds"), antes);

    // A program that only reads (the library) loads beside the writer.
    dialogs.Clear();
    TDM& leitor = Carrega(false);
    EXPECT_FALSE(leitor.TerminacaoSolicitada);
    EXPECT_TRUE(Erros().empty());

    // Once the first writer ends, the next one starts.
    outro.Liberar();
    dialogs.Clear();
    EXPECT_FALSE(Carrega(true).TerminacaoSolicitada);
    EXPECT_TRUE(Erros().empty());
}

// Another program holding the directory's lock past the bound (a table tool stopped in the middle
// of its work, or someone holding it on purpose): a start says the file is in use instead of
// waiting for ever; the save of the slips file alone goes on beside it, and one that needs the
// lock says why and keeps the slip to be saved.
TEST_F(PastaCompartilhadaTest, TravaPresaAlemDoLimiteDizEmUsoSemPrenderNinguem) {
    using namespace std::chrono;
    struct TLimite {
        TLimite() { DefineEsperaMaxima(milliseconds(300)); }
        ~TLimite() { DefineEsperaMaxima(kEsperaMaxima); }
    } limite;
    TDM& d = Carrega(true);
    d.GravarAposAlteracao = true;
    d.cdsKOVA.Append();
    d.cdsKOVA.Post();  // the shipped file gets its own check
    TTrava outro = TTrava::Aguardar(dir.Dados(), TTrava::TModo::Exclusiva);

    // Another program's start (a data module is one per process).
    const std::string esperada =
        "Erro na abertura dos arquivos\r\rO arquivo está em uso por outro programa: \r" +
        dir.Dados() + "KOVA.trava\r\rTente de novo quando o outro programa terminar.";
    const auto inicio = steady_clock::now();
    EXPECT_EQ(Espera(Filho([&] {
                  dm.reset();  // this process's copy of the writer's
                  ScriptedDialogs vistos;
                  ScopedDialogService s(vistos);
                  TDM leitor;
                  leitor.DirPrograma = dir.Programa();
                  leitor.CargaKOVA = TDM::TCargaKOVA::SoNumeracao;
                  leitor.DMCreate();
                  if (!leitor.TerminacaoSolicitada || !leitor.DadosEmUso) return 1;
                  return vistos.Texts() == std::vector<std::string>{esperada} ? 0 : 2;
              })),
              0);
    EXPECT_LT(steady_clock::now() - inicio, milliseconds(3000));

    d.cdsKOVA.Append();
    EXPECT_NO_THROW(d.cdsKOVA.Post());
    // What a crashed save left must be put right first, which needs the lock.
    DiretorioDeTeste::Escreve(dir.Dados() + "KOVA.gravacao.Ab12Cd", "KOVA.cds\n");
    d.cdsKOVA.Append();
    d.cdsKOVA.FieldByName("RazaoSocial").SetAsString("TERCEIRA");
    std::string mensagem;
    try {
        d.cdsKOVA.Post();
    } catch (const EGravacaoKOVA& e) {
        mensagem = e.what();
    }
    EXPECT_EQ(mensagem, "Erro ao gravar o arquivo " + dir.Dados() +
                            "KOVA.cds: o arquivo está em uso por outro programa\r\rO arquivo "
                            "anterior foi mantido; as últimas alterações não foram gravadas.");
    EXPECT_EQ(d.cdsKOVA.State(), TDataSetState::dsInsert);
    outro.Liberar();
    d.cdsKOVA.Post();
    EXPECT_FALSE(ExisteArquivoDisco(dir.Dados() + "KOVA.gravacao.Ab12Cd"));
    dm.reset();
    EXPECT_EQ(Carrega().cdsKOVA.RecordCount(), 3);
    EXPECT_TRUE(Erros().empty());
}

// A writer frozen before each step of a save in turn (stopped by a debugger, a suspended session):
// programs that load the directory meanwhile, as a library host does, are never held up past the
// bound. They load the slips of before, or, while the writer holds the slips file itself in the
// middle of writing it, say it is in use; once the writer is gone they load.
TEST_F(PastaCompartilhadaTest, EscritorParadoEmCadaPassoDaGravacaoNaoPrendeQuemCarrega) {
    using namespace std::chrono;
    struct TLimite {
        TLimite() { DefineEsperaMaxima(milliseconds(200)); }
        ~TLimite() { DefineEsperaMaxima(kEsperaMaxima); }
    } limite;
    {
        TDM& d = Carrega(true);
        d.GravarAposAlteracao = true;
        d.cdsKOVA.Append();
        d.cdsKOVA.Post();
        dm.reset();
    }
    const auto gravacao = [&](int passo) {
        const pid_t filho = Filho([&] {
            TDM d;
            d.DirPrograma = dir.Programa();
            d.Escritor = true;
            d.CargaKOVA = TDM::TCargaKOVA::SoNumeracao;
            d.DMCreate();
            d.GravarAposAlteracao = true;
            d.cdsKOVA.Append();
            if (!ComecaPassos()) return 9;
            d.cdsKOVA.Post();
            return 0;
        });
        return std::make_pair(filho, MataNoPasso(filho, passo, passo >= 0));
    };
    // 0: loaded (the slips of before), 1: told the directory is in use; anything else is a fault.
    const auto carga = [&] {
        return Espera(Filho([&] {
            ::alarm(20);  // a load that hangs ends here
            ScriptedDialogs vistos;
            ScopedDialogService s(vistos);
            TDM d;
            d.DirPrograma = dir.Programa();
            d.CargaKOVA = TDM::TCargaKOVA::SoNumeracao;
            const auto inicio = steady_clock::now();
            d.DMCreate();
            if (steady_clock::now() - inicio > milliseconds(2000)) return 20;
            if (!d.TerminacaoSolicitada) return d.UltimoIdKOVA == 1 ? 0 : 21;
            if (d.DadosEmUso && vistos.Texts().size() == 1 &&
                vistos.Texts()[0].find("rquivo está em uso por outro programa") !=
                    std::string::npos) {
                return 1;
            }
            return 22;
        }));
    };
    const auto [inteira, fim] = gravacao(-1);
    ASSERT_TRUE(fim.rastreou);
    ASSERT_EQ(Espera(inteira), 0);
    ASSERT_GT(fim.passos, 3);
    {
        // Back to one slip: the steps are counted on the same save each time.
        TDM& d = Carrega(true);
        d.GravarAposAlteracao = true;
        d.cdsKOVA.Last();
        d.cdsKOVA.Delete();
        dm.reset();
    }
    int carregadas = 0;
    for (int passo = 0; passo < fim.passos; ++passo) {
        const auto [escritor, parado] = gravacao(passo);
        ASSERT_TRUE(parado.parado) << passo;
        const int r = carga();
        EXPECT_TRUE(r == 0 || r == 1) << "step " << passo << ": " << r;
        carregadas += r == 0;
        ::kill(escritor, SIGKILL);
        ::waitpid(escritor, nullptr, 0);
        EXPECT_EQ(carga(), 0) << "after the writer of step " << passo << " was killed";
    }
    // Loads wait for the slips file only while its new pages are written, not for the whole save.
    EXPECT_GT(carregadas, 0);
}

// A save that died after completing its pair, with only the slips file put in place: while another
// program holds the lock nothing is touched and the load reads the new pair through the mark; the
// first load with no one else there puts everything in place and clears what was left.
TEST_F(PastaCompartilhadaTest, RecuperacaoSoSemOutroDetentorEAteLaLeAtravesDaMarca) {
    {
        TDM& d = Carrega(true);
        d.GravarAposAlteracao = true;
        d.cdsKOVA.Append();
        d.cdsKOVA.Post();
        dm.reset();
    }
    // Build the state of an earlier version's crash by hand (the slips file written whole and its
    // CRC in ControleCRC.cds): the new pair as .novo, the mark, one file moved.
    const std::string dados = dir.Dados();
    {
        TDM& d = Carrega();
        d.cdsKOVA.Append();
        d.cdsKOVA.Post();
        d.cdsKOVA.Append();
        d.cdsKOVA.Post();
        WriteTableFile(d.cdsKOVA, dados + "KOVA.cds.novo");
        if (d.cdsControleCRC.Locate("NomeTabela", {std::string("KOVA.CDS")})) {
            d.cdsControleCRC.Edit();
        } else {
            d.cdsControleCRC.Append();
            d.cdsControleCRC.FieldByName("NomeTabela").SetAsString("KOVA.CDS");
        }
        d.cdsControleCRC.FieldByName("CRC").SetAsString(
            TChecksum().FileCRC(dados + "KOVA.cds.novo"));
        d.cdsControleCRC.Post();
        WriteTableFile(d.cdsControleCRC, dados + "ControleCRC.cds.novo");
        dm.reset();
    }
    DiretorioDeTeste::Escreve(dados + "KOVA.gravacao", "KOVA.cds\nControleCRC.cds\n");
    ASSERT_EQ(std::rename((dados + "KOVA.cds.novo").c_str(), (dados + "KOVA.cds").c_str()), 0);
    DiretorioDeTeste::Escreve(dados + "KOVA.gravacao.Ab12Cd", "KOVA.cds\n");
    DiretorioDeTeste::Escreve(dados + "ControleCRC.cds.x9Y8z7", "lixo");
    const auto restos = Arquivos();

    {
        TTrava outro = TTrava::Aguardar(dados, TTrava::TModo::Compartilhada);
        ASSERT_TRUE(outro.Travada());
        TDM& d = Carrega();
        EXPECT_TRUE(Erros().empty()) << Erros()[0];
        EXPECT_EQ(d.cdsKOVA.RecordCount(), 3);
        EXPECT_EQ(Arquivos(), restos) << "recovery ran beside another holder";
        dm.reset();
    }
    TDM& d = Carrega();
    EXPECT_TRUE(Erros().empty()) << Erros()[0];
    EXPECT_EQ(d.cdsKOVA.RecordCount(), 3);
    for (const std::string& nome : Arquivos()) {
        EXPECT_TRUE(nome.find(".novo") == std::string::npos &&
                    nome.find("gravacao") == std::string::npos &&
                    nome.find(".cds.") == std::string::npos)
            << nome << " left behind";
    }
}

// Saves killed at each of their steps in turn leave temporary files behind; the next save or start
// removes them all.
TEST_F(PastaCompartilhadaTest, RestosDeGravacoesMortasSaoRemovidos) {
    auto gravacao = [&](int passo) {
        const pid_t filho = Filho([&] {
            TDM d;
            d.DirPrograma = dir.Programa();
            d.Escritor = true;
            d.DMCreate();
            d.GravarAposAlteracao = true;
            d.cdsKOVA.Append();
            if (!ComecaPassos()) return 9;
            d.cdsKOVA.Post();
            return 0;
        });
        return MataNoPasso(filho, passo);
    };
    // The first save also gives the shipped file its own check: the steps are counted on the next.
    ASSERT_TRUE(WIFEXITED(gravacao(-1).estado));
    const TFimDoPasso inteira = gravacao(-1);
    ASSERT_TRUE(inteira.rastreou);
    ASSERT_TRUE(WIFEXITED(inteira.estado) && WEXITSTATUS(inteira.estado) == 0) << inteira.estado;
    for (int passo = 0; passo < inteira.passos; ++passo)
        ASSERT_TRUE(gravacao(passo).morto) << passo;
    // Whatever the kills left, as a kill between the temporary file and its rename leaves it.
    DiretorioDeTeste::Escreve(dir.Dados() + "KOVA.gravacao.Qw3rTy", "KOVA.cds\n");
    TDM& d = Carrega(true);
    EXPECT_TRUE(Erros().empty()) << Erros()[0];
    for (const std::string& nome : Arquivos()) {
        EXPECT_TRUE(nome.find(".novo") == std::string::npos &&
                    nome.find("gravacao") == std::string::npos &&
                    nome.find("-journal") == std::string::npos)
            << nome << " left behind";
    }
    EXPECT_GE(d.cdsKOVA.RecordCount(), 2);
}

// A journal that cannot be made (a folder of its name stands in the way): the save fails once, in
// Portuguese, as not saved; the slip is back being edited and the disk keeps the previous file.
TEST_F(PastaCompartilhadaTest, GravacaoQueFalhaEDitaUmaVezEmPortuguesEDesfeita) {
    TDM& d = Carrega(true);
    d.GravarAposAlteracao = true;
    d.cdsKOVA.Append();
    d.cdsKOVA.Post();
    const std::string antes = TChecksum().FileCRC(dir.Dados() + "KOVA.cds");
    std::filesystem::create_directories(dir.Dados() + "KOVA.cds-journal/dentro");

    d.cdsKOVA.Append();
    d.cdsKOVA.FieldByName("RazaoSocial").SetAsString("SEGUNDA");
    std::string mensagem;
    try {
        d.cdsKOVA.Post();
    } catch (const EGravacaoKOVA& e) {
        mensagem = e.what();
    }
    EXPECT_EQ(
        mensagem,
        "Erro ao gravar o arquivo " + dir.Dados() +
            "KOVA.cds: já existe uma pasta com esse nome\r\rO arquivo anterior foi mantido; as "
            "últimas alterações não foram gravadas.");
    EXPECT_EQ(d.cdsKOVA.State(), TDataSetState::dsInsert);
    EXPECT_EQ(d.cdsKOVA.FieldByName("RazaoSocial").AsString(), "SEGUNDA");
    EXPECT_EQ(d.cdsKOVA.RecordCount(), 1);
    EXPECT_EQ(TChecksum().FileCRC(dir.Dados() + "KOVA.cds"), antes);
    EXPECT_FALSE(ExisteArquivoDisco(dir.Dados() + "KOVA.cds.novo"));

    // Marking printed that cannot be written leaves the slip as the disk has it.
    d.cdsKOVA.Cancel();
    d.cdsKOVA.First();
    EXPECT_THROW(d.MarcaImpressa(), EGravacaoKOVA);
    EXPECT_EQ(d.cdsKOVA.State(), TDataSetState::dsBrowse);
    EXPECT_EQ(d.cdsKOVA.FieldByName("Situacao").AsString(), "N");

    // Once the way is clear, the same slip is saved.
    std::filesystem::remove_all(dir.Dados() + "KOVA.cds-journal");
    d.cdsKOVA.Append();
    d.cdsKOVA.Post();
    dm.reset();
    EXPECT_EQ(Carrega().cdsKOVA.RecordCount(), 2);
}

// A checksum that cannot be taken is never recorded ("********" would lock every later start out).
TEST_F(PastaCompartilhadaTest, CRCQueNaoSePodeCalcularNaoEGravado) {
    TDM& d = Carrega();
    const std::string antes = TChecksum().FileCRC(dir.Dados() + "ControleCRC.cds");
    try {
        d.AtualizaCRC(dir.Dados() + "Sumiu.cds");
        ADD_FAILURE() << "no failure";
    } catch (const Exception& e) {
        EXPECT_EQ(std::string(e.what()), "Erro ao calcular o CRC do arquivo " + dir.Dados() +
                                             "Sumiu.cds\r\rO controle de CRC não foi alterado.");
    }
    EXPECT_EQ(TChecksum().FileCRC(dir.Dados() + "ControleCRC.cds"), antes);
}

// A new-version installation whose Windows directory is missing or closed to writing: the start
// tells why in Portuguese and ends; nothing aborts, and the request stays for the next start.
TEST_F(PastaCompartilhadaTest, NovaVersaoSemPastaDoWindowsGravavelFalhaComMensagem) {
    dir.ConfigPadrao("[Opções]\r\nInstalação=NovaVersao\r\n");
    for (bool existe : {false, true}) {
        const std::string windows = dir.Raiz() + (existe ? "windows-fechada/" : "nao-existe/");
        if (existe) {
            std::filesystem::create_directories(windows);
            chmod(windows.c_str(), 0555);
        }
        // Permissions do not stop the superuser: the start runs as nobody in a child.
        const pid_t filho = Filho([&] {
            setenv("KOVA_WINDIR", windows.c_str(), 1);
            if (geteuid() == 0) {
                chmod(dir.Raiz().c_str(), 0777);
                // Sticky, as /tmp: the administrator's Config.ini there is not another user's to
                // replace, so it is obeyed.
                chmod(dir.Programa().c_str(), 01777);
                if (setuid(65534) != 0) return 50;
            }
            ScriptedDialogs vistos;
            ScopedDialogService s(vistos);
            TDM d;
            d.DirPrograma = dir.Programa();
            d.Escritor = true;
            d.DMCreate();
            if (!d.TerminacaoSolicitada) return 1;
            if (vistos.History().size() != 1) return 2;
            const std::string& texto = vistos.History()[0].text;
            if (texto.rfind("Erro na instalação da nova versão: não foi possível gravar " +
                                windows + "KOVA.INI",
                            0) != 0) {
                return 3;
            }
            if (texto.find("a pasta n") == std::string::npos) return 4;
            return 0;
        });
        EXPECT_EQ(Espera(filho), 0) << (existe ? "closed" : "missing") << " Windows directory";
        chmod(windows.c_str(), 0755);
    }
    std::ifstream config(dir.Programa() + "Config.ini");
    std::stringstream texto;
    texto << config.rdbuf();
    EXPECT_NE(texto.str().find("Instalação=NovaVersao"), std::string::npos);
}

// A new-version request in a Config.ini the user may not change (the administrator's, beside a
// program every user runs): carried out once for this user, recorded in their own KOVA.INI, and
// left in Config.ini for the others; nothing is told.
TEST_F(PastaCompartilhadaTest, NovaVersaoEmConfigIniQueOUsuarioNaoAlteraUmaVezPorUsuario) {
    dir.ConfigPadrao("[Opções]\r\nInstalação=NovaVersao\r\n");
    const std::string usuario = dir.Raiz() + "usuario/";
    std::filesystem::create_directories(usuario);
    // Permissions do not stop the superuser: then the starts run as nobody in a child.
    const bool trocar = geteuid() == 0;
    if (trocar) {
        chmod(dir.Raiz().c_str(), 0755);
        for (const std::string& p : {dir.Dados(), usuario}) {
            chown(p.c_str(), 65534, 65534);
            for (const auto& e : std::filesystem::recursive_directory_iterator(p))
                chown(e.path().c_str(), 65534, 65534);
        }
    }
    chmod(dir.Programa().c_str(), 0555);
    const pid_t filho = Filho([&] {
        setenv("KOVA_WINDIR", usuario.c_str(), 1);
        if (trocar && setuid(65534) != 0) return 50;
        ScriptedDialogs vistos;
        ScopedDialogService s(vistos);
        const auto inicia = [&] {
            TDM d;
            d.DirPrograma = dir.Programa();
            d.Escritor = true;
            d.DMCreate();
            return !d.TerminacaoSolicitada;
        };
        if (!inicia()) return 1;
        TIniFile ini(usuario + "KOVA.INI");
        if (ini.ReadString("KOVA", "NovaVersaoInstalada", "").empty()) return 2;
        ini.WriteString("KOVA", "Programa", "instalada antes");
        if (!inicia()) return 3;
        if (ini.ReadString("KOVA", "Programa", "") != "instalada antes") return 4;
        return vistos.History().empty() ? 0 : 5;
    });
    EXPECT_EQ(Espera(filho), 0);
    chmod(dir.Programa().c_str(), 0755);
    std::ifstream config(dir.Programa() + "Config.ini");
    std::stringstream texto;
    texto << config.rdbuf();
    EXPECT_NE(texto.str().find("Instalação=NovaVersao"), std::string::npos);
}

// The library's start (a reader) on a directory with a writer: the installation, which rewrites
// the slips file, is refused instead of overwriting the writer's slips.
TEST_F(PastaCompartilhadaTest, NovaVersaoNaoReescreveAsKOVADeOutroEscritor) {
    dir.ConfigPadrao("[Opções]\r\nInstalação=NovaVersao\r\n");
    TTrava outro = TTrava::TentarEscritor(dir.Dados(), "kovacli");
    const std::string antes = TChecksum().FileCRC(dir.Dados() + "KOVA.cds");
    TDM& d = Carrega(false);
    EXPECT_TRUE(d.TerminacaoSolicitada);
    ASSERT_EQ(Erros().size(), 1u);
    EXPECT_NE(Erros()[0].find("kovacli"), std::string::npos);
    EXPECT_EQ(TChecksum().FileCRC(dir.Dados() + "KOVA.cds"), antes);
}

}  // namespace
