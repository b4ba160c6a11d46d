// Any line of an import file: cut into fields and made into a slip, it is stored or refused with
// a message, never anything worse, and no slip is left half-made.

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>

#include "Dialogs.h"
#include "Errors.h"
#include "Incorporacao.h"
#include "KovaIniDeTeste.h"
#include "TDM.h"
#include "TfrmDigitar.h"
#include "TqrpKOVA.h"

namespace {

struct Ambiente {
    Ambiente() {
        PreparaKovaIni(KOVA_DADOS_TESTE);
        dm = std::make_unique<kova::TDM>();
        dm->DMCreate();
        if (dm->TerminacaoSolicitada) std::abort();
        form = std::make_unique<kova::TfrmDigitar>(*dm);
        relatorio = std::make_unique<kova::TqrpKOVA>();
        importacao = std::make_unique<kova::TIncorporacao>(*dm, *form, *relatorio);
        dm->ModoImportacao = true;
    }
    std::unique_ptr<kova::TDM> dm;
    std::unique_ptr<kova::TfrmDigitar> form;
    std::unique_ptr<kova::TqrpKOVA> relatorio;
    std::unique_ptr<kova::TIncorporacao> importacao;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* dados, size_t tamanho) {
    static Ambiente a;
    const std::string linha(reinterpret_cast<const char*>(dados), tamanho);
    kova::TDataSet& k = a.dm->cdsKOVA;
    try {
        a.importacao->Incorpora(linha, kova::SeparaCampos(linha));
    } catch (const std::exception&) {
        // A refused line: the import cancels the slip it was making.
        if (k.State() == kova::TDataSetState::dsInsert) k.Cancel();
    }
    if (k.State() != kova::TDataSetState::dsBrowse) std::abort();
    // Stored slips pile up in memory; start over now and then.
    if (k.RecordCount() > 1000) {
        while (!k.IsEmpty()) {
            k.First();
            k.Delete();
        }
    }
    return 0;
}
