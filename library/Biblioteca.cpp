// The C interface of the library. Every export creates what is missing on its first call, runs
// its request and turns any failure into a result the host can read: nothing thrown crosses here.

#include <cstring>
#include <memory>
#include <string>

#include "Dialogs.h"
#include "Errors.h"
#include "Requisicao.h"
#include "TDM.h"
#include "TfrmDigitar.h"
#include "Interface.h"

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
        ultimoErro = e.what();
    } catch (...) {
        ultimoErro = "Falha inesperada";
    }
    return false;
}

std::string RespostaIndisponivel(TfrmDigitar& frm) {
    return AssinaResposta(frm, "Retorno=001;Mensagem_Retorno=Função não disponível nesta versão");
}

std::string resposta;

}  // namespace
}  // namespace kova

namespace kovadll {

using namespace kova;

bool Teste() {
    bool salvo = false;
    Protegido([&] {
        Objetos();
        salvo = false;
    });
    return salvo;
}

bool Kova(const char* requisicao, const char** texto, size_t* tamanho) {
    const bool ok = Protegido([&] {
        TfrmDigitar& frm = Objetos();
        frm.Requisicao = requisicao;
        frm.Requisicao = RespostaIndisponivel(frm);
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
        ValidaRequisicao(frm);
        resposta = frm.Requisicao;
    });
    *texto = resposta.c_str();
    *tamanho = resposta.size();
    return ok;
}

bool Imprime(const char*, const char*, const char*) {
    return Protegido([&] { throw Exception("Função não disponível nesta versão"); });
}

const char* UltimoErro() { return ultimoErro.c_str(); }

}  // namespace kovadll
