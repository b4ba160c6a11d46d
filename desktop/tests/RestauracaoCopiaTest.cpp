// The desktop's restore of a copy of the slips file, without its window: what the list shows, the
// question the person answers, and the slips at the desk once the copy is in place.

#include <gtest/gtest.h>
#include <utime.h>

#include <ctime>
#include <filesystem>
#include <memory>

#include "Clock.h"
#include "Dialogs.h"
#include "DiretorioDeTeste.h"
#include "RestauracaoCopia.h"
#include "TDM.h"

using namespace kova;
using namespace kova::teste;

namespace {

void AlteradoOntem(const std::string& path) {
    std::tm t{};
    t.tm_year = 2024 - 1900;
    t.tm_mon = 2;
    t.tm_mday = 14;
    t.tm_hour = 12;
    t.tm_isdst = -1;
    const utimbuf tempos{std::mktime(&t), std::mktime(&t)};
    ASSERT_EQ(::utime(path.c_str(), &tempos), 0);
}

class RestauracaoCopiaTest : public ::testing::Test {
protected:
    void SetUp() override {
        Clock::Set(MakeDateTime(2024, 3, 15, 9, 30));
        dir.ConfigPadrao();
        // Yesterday two slips, one printed; today a third: the first save of today keeps
        // yesterday's file.
        TDM& d = Carrega();
        for (int i = 0; i < 2; ++i) {
            d.cdsKOVA.Append();
            d.cdsKOVA.Post();
        }
        d.MarcaImpressa();
        dm.reset();
        AlteradoOntem(dir.Dados() + "KOVA.cds");
        Carrega().cdsKOVA.Append();
        dm->cdsKOVA.Post();
    }
    void TearDown() override {
        dm.reset();
        Clock::Reset();
        EXPECT_TRUE(dialogs.Unexpected().empty());
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

    DiretorioDeTeste dir;
    ScriptedDialogs dialogs;
    ScopedDialogService servico{dialogs};
    std::unique_ptr<TDM> dm;
};

TEST_F(RestauracaoCopiaTest, ListaOQueCadaCopiaTemEPerguntaAntesDeRestaurar) {
    TRestauracaoCopia r(*dm);
    ASSERT_EQ(r.Copias().size(), 1u);
    EXPECT_EQ(TRestauracaoCopia::Titulos(),
              (std::vector<std::string>{"Cópia do dia", "KOVA", "Impressas", "Não impressas",
                                        "Observação"}));
    EXPECT_EQ(r.Linha(0), (std::vector<std::string>{"14/03/2024", "2", "1", "1", ""}));
    ASSERT_TRUE(r.Restauravel(0));

    // Declined: nothing changes.
    dialogs.Answer(TModalResult::mrNo);
    EXPECT_FALSE(r.Restaurar(0));
    EXPECT_EQ(dialogs.Texts(),
              std::vector<std::string>{
                  "Restaurar a cópia de segurança de 14/03/2024?\r\rEla tem 2 KOVA: 1 impressas, 1 "
                  "não impressas.\r\rO arquivo de KOVA atual será substituído por ela e guardado "
                  "na pasta das cópias. As KOVA incluídas, alteradas, impressas ou removidas "
                  "depois desse dia não estarão no arquivo restaurado."});
    EXPECT_EQ(dm->cdsKOVA.RecordCount(), 3);

    // A slip being typed is never lost to a restore.
    dm->cdsKOVA.Append();
    dialogs.Clear();
    dialogs.Answer(TModalResult::mrYes);
    EXPECT_FALSE(r.Restaurar(0));
    ASSERT_EQ(dialogs.History().size(), 2u);
    EXPECT_EQ(dialogs.History()[1].kind, TMsgDlgType::mtError);
    EXPECT_EQ(dialogs.History()[1].text,
              "Conclua ou cancele a KOVA em digitação antes de restaurar uma cópia de segurança. "
              "Nada foi restaurado.");
    dm->cdsKOVA.Cancel();

    // Restored: the desk has yesterday's slips, numbered on from them.
    dialogs.Clear();
    dialogs.Answer(TModalResult::mrYes);
    EXPECT_TRUE(r.Restaurar(0));
    ASSERT_EQ(dialogs.History().size(), 2u);
    EXPECT_EQ(dialogs.History()[1].kind, TMsgDlgType::mtInformation);
    const std::string guardado = dir.Dados() + "Copias/KOVA-substituido-2024-03-15-093000.cds";
    EXPECT_EQ(dialogs.History()[1].text,
              "Cópia de segurança de 14/03/2024 restaurada: 2 KOVA: 1 impressas, 1 não "
              "impressas.\r\rO arquivo substituído foi guardado em\r" +
                  guardado);
    EXPECT_TRUE(std::filesystem::exists(guardado));
    EXPECT_EQ(dm->cdsKOVA.RecordCount(), 2);
    EXPECT_EQ(dm->UltimoIdKOVA, 2);
    dm->cdsKOVA.SetFiltered(true);
    EXPECT_EQ(dm->cdsKOVA.RecordCount(), 1);  // the unprinted one
    dm->cdsKOVA.SetFiltered(false);
    dm->cdsKOVA.Append();
    dm->cdsKOVA.Post();
    EXPECT_EQ(dm->cdsKOVA.FieldByName("IdKOVA").AsInteger(), 3);
    // The copy is still there, the file kept aside is not listed as one.
    EXPECT_EQ(r.Copias().size(), 1u);
    EXPECT_EQ(Carrega().cdsKOVA.RecordCount(), 3);
}

}  // namespace
