// The C interface of the library. Every export creates what is missing on its first call, runs
// its request and turns any failure into a result the host can read: nothing thrown crosses here.

#include <cstring>
#include <deque>
#include <memory>
#include <mutex>
#include <string>

#include "Conversoes.h"
#include "Dialogs.h"
#include "Errors.h"
#include "FluxosImpressao.h"
#include "Interface.h"
#include "Requisicao.h"
#include "TDM.h"
#include "TIniFile.h"
#include "TelaBiblioteca.h"
#include "TfrmDigitar.h"
#include "TqrpKOVA.h"

namespace kova {
namespace {

// Messages of the unattended path have no one to show them to: the last error is kept as the
// reason of a failed start; questions take their first answer.
class DialogosBiblioteca : public IDialogService {
public:
    TModalResult MessageDlg(const std::string& texto, TMsgDlgType tipo, TMsgDlgButtons botoes) override {
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
    const int n = TIniFile(dm.DirWindows + "KOVA.INI").ReadInteger("KOVA", "MaximoKOVAsGuardadas", kMaximoGuardadasPadrao);
    return n >= 1 ? n : kMaximoGuardadasPadrao;
}

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
        modulo->DMCreate();
        if (modulo->TerminacaoSolicitada) {
            std::string motivo = dialogos.ultimoErro.empty() ? "DM não assinalado" : dialogos.ultimoErro;
            modulo.reset();
            throw Exception(motivo);
        }
        maximoGuardadas = MaximoGuardadas(*modulo);
        guardadas.clear();
    }
    if (!frmDigitar) formulario = std::make_unique<TfrmDigitar>(*DM);
    return *frmDigitar;
}

template <typename F>
bool Protegido(F&& corpo) {
    try {
        ultimoErro.clear();
        corpo();
        return true;
    } catch (const std::exception& e) {
        // The host's program shows this to a person too: the engine's conversion texts in Portuguese.
        ultimoErro = TextoEmPortugues(e.what());
    } catch (...) {
        ultimoErro = "Falha inesperada";
    }
    return false;
}

std::string resposta;
std::unique_ptr<TqrpKOVA> relatorio;
// The script that stands in for the person in tests, and what it saw.
std::unique_ptr<std::string> roteiro;
std::string relato;

// The hosted request: the person sees the screen and its dialogs (or the script acts for them).
bool Hospedada(TfrmDigitar& frm) {
    relato.clear();
    std::unique_ptr<TRoteiro> pessoa = roteiro ? std::make_unique<TRoteiro>(*roteiro) : nullptr;
    GarantirAplicacao(true, pessoa != nullptr);
    ScopedDialogService servico(pessoa ? pessoa->Dialogos() : DialogosDaTela());
    frm.OnExibirModal = [&frm, &pessoa] { ExibirTela(frm, pessoa.get()); };
    auto conclui = [&] {
        frm.OnExibirModal = nullptr;
        if (pessoa) {
            pessoa->Conclui();
            relato = pessoa->Relato;
        }
    };
    bool salvo = false;
    try {
        salvo = ProcessaRequisicao(frm);
    } catch (...) {
        conclui();
        throw;
    }
    conclui();
    return salvo;
}

}  // namespace
}  // namespace kova

namespace kovadll {

using namespace kova;

bool Teste() {
    bool salvo = false;
    Protegido([&] {
        salvo = Hospedada(Objetos());
        if (salvo) Guarda(DM->cdsKOVA);
    });
    return salvo;
}

bool Kova(const char* requisicao, const char** texto, size_t* tamanho) {
    const bool ok = Protegido([&] {
        TfrmDigitar& frm = Objetos();
        frm.Requisicao = requisicao;
        if (Hospedada(frm)) Guarda(DM->cdsKOVA);
        resposta = frm.Requisicao;
    });
    *texto = resposta.c_str();
    *tamanho = resposta.size();
    return ok;
}

bool Kova2(const char* requisicao, const char** texto, size_t* tamanho) {
    const bool ok = Protegido([&] {
        TfrmDigitar& frm = Objetos();
        frm.Requisicao = requisicao;
        if (ValidaRequisicao(frm)) Guarda(DM->cdsKOVA);
        resposta = frm.Requisicao;
    });
    *texto = resposta.c_str();
    *tamanho = resposta.size();
    return ok;
}

bool Imprime(const char* texto1, const char* texto2, const char* texto3) {
    return Protegido([&] {
        Objetos();
        GarantirAplicacao(false, false);
        if (!relatorio) relatorio = std::make_unique<TqrpKOVA>();
        relatorio->Textos[0] = texto1 ? texto1 : "";
        relatorio->Textos[1] = texto2 ? texto2 : "";
        relatorio->Textos[2] = texto3 ? texto3 : "";
        TDM& dm = *DM;
        dm.ModoBiblioteca = true;
        if (dm.cdsKOVA.IsEmpty()) throw Exception("Não há KOVA para imprimir");
        // The three copies of a desktop print; the slip is not marked printed.
        const auto paginas = relatorio->Executa(3);
        ConfereViasNaPagina(relatorio->Relatorio, paginas);
        const std::string pasta = dm.PastaImpressao.empty() ? dm.DirDados + "Impressoes/" : dm.PastaImpressao;
        ImprimirOuGravar(paginas, pasta);
    });
}

const char* UltimoErro() { return ultimoErro.c_str(); }

void DefineErro(const char* texto) { ultimoErro = texto; }

namespace {
std::mutex umaChamada;
thread_local bool nestaLinha = false;
}  // namespace

TChamada::TChamada() : aceita_(!nestaLinha) {
    if (!aceita_) return;
    umaChamada.lock();
    nestaLinha = true;
}

TChamada::~TChamada() {
    if (!aceita_) return;
    nestaLinha = false;
    umaChamada.unlock();
}

void DefineRoteiro(const char* texto) {
    if (texto && *texto) {
        roteiro = std::make_unique<std::string>(texto);
    } else {
        roteiro.reset();
    }
}

const char* Relato() { return relato.c_str(); }

}  // namespace kovadll
