// The library's core in every build: the objects made on the first call, the unattended request,
// the slips kept in memory and the one-call-at-a-time lock. Every export creates what is missing
// on its first call, runs its request and turns any failure into a result the host can read.

#include <deque>
#include <memory>
#include <mutex>
#include <string>

#include "Clock.h"
#include "Conversoes.h"
#include "Dialogs.h"
#include "Errors.h"
#include "Espera.h"
#include "Interface.h"
#include "Nucleo.h"
#include "Requisicao.h"
#include "TChecksum.h"
#include "TDM.h"
#include "TIniFile.h"
#include "TfrmDigitar.h"

namespace kova {
namespace {

// Messages of the unattended path have no one to show them to: the last error is kept as the
// reason of a failed start; questions take their first answer.
class DialogosBiblioteca : public IDialogService {
public:
    TModalResult MessageDlg(const std::string& texto, TMsgDlgType tipo,
                            TMsgDlgButtons botoes) override {
        if (tipo == TMsgDlgType::mtError) ultimoErro = texto;
        return botoes == TMsgDlgButtons::mbOK ? TModalResult::mrOk : TModalResult::mrYes;
    }
    bool Executar(const TPedidoDialogo&) override { return true; }
    std::string ultimoErro;
};

DialogosBiblioteca dialogos;
std::string ultimoErro;
std::unique_ptr<TDM> modulo;
std::unique_ptr<TfrmDigitar> formulario;

// The slips the library stored, oldest first. A host that issues slips all day would otherwise
// hold every one of them: past the limit the oldest are released, a tenth of the limit at a time,
// so the cost of releasing is spread over many requests. The newest (the current slip, the one
// imprime prints) is always kept; the numbering goes on.
constexpr int kMaximoGuardadasPadrao = 10000;
int maximoGuardadas = kMaximoGuardadasPadrao;
std::deque<TBookmark> guardadas;

int MaximoGuardadas(const TDM& dm) {
    const int n = TIniFile(dm.KovaIni, dm.KovaIniMaquina)
                      .ReadInteger("KOVA", "MaximoKOVAsGuardadas", kMaximoGuardadasPadrao);
    return n >= 1 ? n : kMaximoGuardadasPadrao;
}

}  // namespace

void Guarda(TDataSet& k) {
    if (k.State() != TDataSetState::dsBrowse || k.IsEmpty()) return;
    guardadas.push_back(k.GetBookmark());
    if (int(guardadas.size()) <= maximoGuardadas) return;
    const size_t ficam = size_t(maximoGuardadas - maximoGuardadas / 10);
    std::vector<TBookmark> liberadas(guardadas.begin(), guardadas.end() - std::ptrdiff_t(ficam));
    guardadas.erase(guardadas.begin(), guardadas.end() - std::ptrdiff_t(ficam));
    k.ReleaseRecords(liberadas);
}

// The data module and the entry form, created on the first call. A data directory that does not
// load leaves nothing behind, so that the next call tries again.
TfrmDigitar& Objetos() {
    if (!DM) {
        SetDialogService(&dialogos);
        dialogos.ultimoErro.clear();
        modulo = std::make_unique<TDM>();
        FormatSettings().CurrencyString = "R$";
        // A request only adds slips: of the stored ones it needs the last number, nothing more.
        modulo->CargaKOVA = TDM::TCargaKOVA::SoNumeracao;
        modulo->DMCreate();
        if (modulo->TerminacaoSolicitada) {
            std::string motivo =
                dialogos.ultimoErro.empty() ? "DM não assinalado" : dialogos.ultimoErro;
            const bool emUso = modulo->DadosEmUso;
            modulo.reset();
            if (emUso) throw EPastaEmUso(motivo);
            throw Exception(motivo);
        }
        maximoGuardadas = MaximoGuardadas(*modulo);
        guardadas.clear();
    }
    if (!frmDigitar) formulario = std::make_unique<TfrmDigitar>(*DM);
    return *frmDigitar;
}

TfrmDigitar* ObjetosOuEmUso(const std::string& pedido) {
    try {
        return &Objetos();
    } catch (const EPastaEmUso& e) {
        const std::string texto =
            pedido + "Retorno=001;Mensagem_Retorno=KOVA não incluída: " + kEmUsoPorOutroPrograma;
        Resposta() = texto + ";CRC=" + TChecksum().StringCRC(texto);
        ultimoErro = e.what();
        return nullptr;
    }
}

bool Protegido(const std::function<void()>& corpo) {
    try {
        ultimoErro.clear();
        corpo();
        return true;
    } catch (const std::exception& e) {
        ultimoErro = e.what();
    } catch (...) {
        ultimoErro = "Falha inesperada";
    }
    return false;
}

std::string& Resposta() {
    static std::string resposta;
    return resposta;
}

}  // namespace kova

namespace kovadll {

using namespace kova;

bool Kova2(const char* requisicao, const char** texto, size_t* tamanho) {
    const bool ok = Protegido([&] {
        TfrmDigitar* frm = ObjetosOuEmUso("");
        if (!frm) return;
        frm->Requisicao = requisicao;
        if (ValidaRequisicao(*frm)) Guarda(DM->cdsKOVA);
        Resposta() = frm->Requisicao;
    });
    *texto = Resposta().c_str();
    *tamanho = Resposta().size();
    return ok;
}

bool DefineRelogio(const char* momento) {
    if (!momento || !*momento) {
        Clock::Reset();
        return true;
    }
    TDateTime instante;
    if (!TryStrToDateTime(momento, instante)) return false;
    Clock::Set(instante);
    return true;
}

const char* UltimoErro() { return ultimoErro.c_str(); }

void DefineErro(const char* texto) { ultimoErro = texto; }

namespace {
std::mutex umaChamada;
thread_local bool nestaLinha = false;
}  // namespace

TChamada::TChamada() : aceita_(!nestaLinha) {
    if (!aceita_) return;
    // From the moment the call is made: waiting for its turn counts against the bound of its
    // waits for the data directory.
    IniciaPrazoDaChamada();
    umaChamada.lock();
    nestaLinha = true;
}

TChamada::~TChamada() {
    if (!aceita_) return;
    nestaLinha = false;
    umaChamada.unlock();
    EncerraPrazoDaChamada();
}

}  // namespace kovadll
