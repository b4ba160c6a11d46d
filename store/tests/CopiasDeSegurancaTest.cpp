// The copies of the slips file by day and their restore, on a real data directory: when a copy is
// made and what it holds, the seven kept, the modes, the message of a file that cannot be read,
// and the restore that keeps the replaced file aside, waits for the directory's lock and is
// refused while another program writes slips.

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <utime.h>

#include <chrono>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "Clock.h"
#include "CopiasDeSeguranca.h"
#include "Dialogs.h"
#include "DiretorioDeTeste.h"
#include "Errors.h"
#include "TDM.h"
#include "TTrava.h"

using namespace kova;
using namespace kova::teste;

namespace {

std::string Ler(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

unsigned Modo(const std::string& path) {
    struct stat st {};
    ::stat(path.c_str(), &st);
    return st.st_mode & 0777;
}

// The file as last changed at noon of that day (local time), as the clock of the machine had it.
void AlteradoEm(const std::string& path, int ano, unsigned mes, unsigned dia) {
    std::tm t{};
    t.tm_year = ano - 1900;
    t.tm_mon = int(mes) - 1;
    t.tm_mday = int(dia);
    t.tm_hour = 12;
    t.tm_isdst = -1;
    const utimbuf tempos{std::mktime(&t), std::mktime(&t)};
    ASSERT_EQ(::utime(path.c_str(), &tempos), 0);
}

class CopiasTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir.ConfigPadrao();
        Hoje(2024, 3, 15);
    }
    void TearDown() override {
        dm.reset();
        Clock::Reset();
        EXPECT_TRUE(dialogs.Unexpected().empty());
    }
    void Hoje(int ano, unsigned mes, unsigned dia) {
        Clock::Set(MakeDateTime(ano, mes, dia, 10, 0));
    }
    TDM& Carrega() {
        dm.reset();
        dm = std::make_unique<TDM>();
        dm->DirPrograma = dir.Programa();
        dm->Escritor = true;
        dm->DMCreate();
        dm->GravarAposAlteracao = true;
        return *dm;
    }
    // Today's session at the desk: a slip added (and saved at once), perhaps printed.
    void UmaKOVA(bool impressa = false) {
        TDM& d = Carrega();
        ASSERT_FALSE(d.TerminacaoSolicitada);
        d.cdsKOVA.Append();
        d.cdsKOVA.Post();
        if (impressa) d.MarcaImpressa();
        dm.reset();
    }
    // The slips table of the module at hand (one module at a time), whose fields a copy has.
    std::vector<TCopiaKOVA> Copias() {
        if (dm) return ListaCopias(dir.Dados(), dm->cdsKOVA);
        TDM definicao;
        return ListaCopias(dir.Dados(), definicao.cdsKOVA);
    }
    std::string Kova() const { return dir.Dados() + "KOVA.cds"; }
    std::string Pasta() const { return dir.Dados() + "Copias/"; }

    DiretorioDeTeste dir;
    ScriptedDialogs dialogs;
    ScopedDialogService servico{dialogs};
    std::unique_ptr<TDM> dm;
};

// The first save of a day copies the file as the last day it changed left it; later saves of the
// day, and a day without changes, make none. Seven copies stay, the newest.
TEST_F(CopiasTest, PrimeiraGravacaoDoDiaCopiaOArquivoDoUltimoDiaAlterado) {
    UmaKOVA();
    UmaKOVA(true);
    // Made today: nothing to copy yet.
    EXPECT_FALSE(std::filesystem::exists(Pasta()));

    AlteradoEm(Kova(), 2024, 3, 15);
    const std::string doDia15 = Ler(Kova());
    Hoje(2024, 3, 18);  // nothing changed on the 16th and 17th
    UmaKOVA();
    auto copias = Copias();
    ASSERT_EQ(copias.size(), 1u);
    EXPECT_EQ(copias[0].caminho, Pasta() + "KOVA-2024-03-15.cds");
    EXPECT_EQ(copias[0].dia, MakeDate(2024, 3, 15));
    EXPECT_EQ(copias[0].problema, "");
    EXPECT_EQ(copias[0].kovas, 2);
    EXPECT_EQ(copias[0].impressas, 1);
    EXPECT_EQ(copias[0].naoImpressas, 1);
    EXPECT_EQ(ConteudoDaCopia(copias[0]), "2 KOVA: 1 impressas, 1 não impressas");
    EXPECT_EQ(Modo(Pasta()), 0700u);
    EXPECT_EQ(Modo(copias[0].caminho), 0600u);
    // A whole table file of its own, with the slips of the 15th: the same rows as the file had.
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open_v2(copias[0].caminho.c_str(), &db, SQLITE_OPEN_READONLY, nullptr),
              SQLITE_OK);
    sqlite3_stmt* s = nullptr;
    sqlite3_prepare_v2(db, "SELECT count(*), max(IdKOVA) FROM registros", -1, &s, nullptr);
    ASSERT_EQ(sqlite3_step(s), SQLITE_ROW);
    EXPECT_EQ(sqlite3_column_int(s, 0), 2);
    EXPECT_EQ(sqlite3_column_int(s, 1), 2);
    sqlite3_finalize(s);
    sqlite3_close(db);
    EXPECT_NE(Ler(Kova()), doDia15);

    // The day's later saves: the copy of the 15th stays as it was, no copy of today.
    const std::string copia15 = Ler(copias[0].caminho);
    AlteradoEm(Kova(), 2024, 3, 18);
    UmaKOVA();
    EXPECT_EQ(Copias().size(), 1u);
    EXPECT_EQ(Ler(copias[0].caminho), copia15);

    // Ten more days, each changed: the seven newest stay.
    for (unsigned dia = 18; dia < 28; ++dia) {
        AlteradoEm(Kova(), 2024, 3, dia);
        Hoje(2024, 3, dia + 1);
        UmaKOVA();
    }
    copias = Copias();
    ASSERT_EQ(copias.size(), 7u);
    EXPECT_EQ(copias.front().dia, MakeDate(2024, 3, 27));
    EXPECT_EQ(copias.back().dia, MakeDate(2024, 3, 21));
    EXPECT_EQ(copias.front().kovas, 13);
    EXPECT_EQ(copias.back().kovas, 7);
}

// A slips file that cannot be read says where its copies are; the restore puts the chosen one in
// its place, keeps the damaged file (and the journal a killed program left it) aside, and the
// directory loads with the copy's slips and numbering.
TEST_F(CopiasTest, ArquivoIlegivelApontaAsCopiasERestaurarGuardaOAnterior) {
    UmaKOVA();
    UmaKOVA();
    AlteradoEm(Kova(), 2024, 3, 14);
    UmaKOVA(true);
    ASSERT_EQ(Copias().size(), 1u);

    DiretorioDeTeste::Escreve(Kova(), "isto não é uma tabela");
    EXPECT_TRUE(Carrega().TerminacaoSolicitada);
    EXPECT_TRUE(dm->FalhaNoArquivoDeKOVA);
    ASSERT_EQ(dialogs.Texts().size(), 1u);
    const std::string m = dialogs.Texts()[0];
    EXPECT_EQ(m.rfind("Erro na abertura da tabela: KOVA.cds\r\r", 0), 0u) << m;
    EXPECT_NE(m.find("\r\rHá cópias de segurança do arquivo de KOVA em\r" + Pasta() +
                     "\r(a mais recente é de 14/03/2024). Para restaurar uma delas: Utilitários | "
                     "Restaurar cópia de segurança, no KOVA, ou \"kovacli restaurar\"."),
              std::string::npos)
        << m;
    dialogs.Clear();

    // The restore needs the configuration only: the file does not load.
    dm.reset();
    DiretorioDeTeste::Escreve(Kova() + "-journal", "diário de um programa morto");
    dm = std::make_unique<TDM>();
    dm->DirPrograma = dir.Programa();
    ASSERT_TRUE(dm->DMConfigura());
    Hoje(2024, 3, 15);
    const std::string guardado = dm->RestaurarCopia(Copias()[0].caminho);
    EXPECT_EQ(guardado, Pasta() + "KOVA-substituido-2024-03-15-100000.cds");
    EXPECT_EQ(Ler(guardado), "isto não é uma tabela");
    EXPECT_EQ(Ler(guardado + "-journal"), "diário de um programa morto");
    EXPECT_FALSE(std::filesystem::exists(Kova() + "-journal"));
    EXPECT_FALSE(std::filesystem::exists(Kova() + ".novo"));
    EXPECT_EQ(Modo(Kova()), 0600u);
    dm.reset();

    TDM& d = Carrega();
    EXPECT_FALSE(d.TerminacaoSolicitada);
    EXPECT_EQ(d.cdsKOVA.RecordCount(), 2);
    EXPECT_EQ(d.UltimoIdKOVA, 2);
    // The copy stays for another restore; the file kept aside is no copy.
    EXPECT_EQ(Copias().size(), 1u);
}

// At the desk the slips in memory are read again from the restored copy. The restore waits for a
// load or save of another program, and is refused while another program writes slips here or a
// slip is being typed; a copy changed by other means is never restored.
TEST_F(CopiasTest, RestaurarComAsKOVAsCarregadasEsperaATravaERecusaOutroEscritor) {
    UmaKOVA();
    AlteradoEm(Kova(), 2024, 3, 14);
    UmaKOVA();
    UmaKOVA();
    const std::string copia = Copias()[0].caminho;
    TDM& d = Carrega();
    ASSERT_EQ(d.cdsKOVA.RecordCount(), 3);

    d.cdsKOVA.Append();
    try {
        d.RestaurarCopia(copia);
        ADD_FAILURE() << "restored while a slip was being typed";
    } catch (const Exception& e) {
        EXPECT_EQ(std::string(e.what()),
                  "Conclua ou cancele a KOVA em digitação antes de restaurar uma cópia de "
                  "segurança. Nada foi restaurado.");
    }
    d.cdsKOVA.Cancel();

    const std::string antes = Ler(Kova());
    {
        // Another program reading the directory: the restore waits for it.
        TTrava leitura = TTrava::Aguardar(dir.Dados(), TTrava::TModo::Compartilhada);
        std::string guardado;
        std::thread restauracao([&] { guardado = d.RestaurarCopia(copia); });
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        EXPECT_EQ(Ler(Kova()), antes);
        leitura.Liberar();
        restauracao.join();
        EXPECT_EQ(Ler(guardado), antes);
    }
    EXPECT_EQ(d.cdsKOVA.RecordCount(), 1);
    EXPECT_EQ(d.UltimoIdKOVA, 1);
    d.cdsKOVA.Append();
    EXPECT_EQ(d.cdsKOVA.FieldByName("IdKOVA").AsInteger(), 2);
    d.cdsKOVA.Post();
    dm.reset();

    // Another program writing slips in the directory.
    TDM& outro = [&]() -> TDM& {
        dm = std::make_unique<TDM>();
        dm->DirPrograma = dir.Programa();
        EXPECT_TRUE(dm->DMConfigura());
        return *dm;
    }();
    const std::string agora = Ler(Kova());
    {
        TTrava escritor = TTrava::TentarEscritor(dir.Dados(), "kova");
        ASSERT_TRUE(escritor.Travada());
        try {
            outro.RestaurarCopia(copia);
            ADD_FAILURE() << "restored while another program writes";
        } catch (const Exception& e) {
            EXPECT_EQ(std::string(e.what()).rfind("As KOVA da pasta de dados\r" + dir.Dados() +
                                                      "\restão sendo gravadas por outro programa",
                                                  0),
                      0u)
                << e.what();
            EXPECT_NE(std::string(e.what()).find("Nada foi restaurado."), std::string::npos);
        }
        EXPECT_EQ(Ler(Kova()), agora);
    }

    // A copy whose rows no longer match its seal.
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(copia.c_str(), &db), SQLITE_OK);
    sqlite3_exec(db, "DELETE FROM registros WHERE IdKOVA = 1", nullptr, nullptr, nullptr);
    sqlite3_close(db);
    EXPECT_NE(Copias()[0].problema, "");
    EXPECT_EQ(ConteudoDaCopia(Copias()[0]),
              "não pode ser restaurada: o selo não confere com as KOVA: a cópia foi alterada por "
              "outros meios");
    EXPECT_THROW(outro.RestaurarCopia(copia), Exception);
    EXPECT_EQ(Ler(Kova()), agora);
}

}  // namespace
