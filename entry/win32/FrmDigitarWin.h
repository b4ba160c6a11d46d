#pragma once
// The entry screen drawn with the Windows API ("Digitação de KOVA"). The entry form object
// decides everything: this window mirrors its control model into Windows controls and passes the
// person's input on to the screen's controller, as the Linux view does.

#include <windows.h>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "ControladorDigitar.h"
#include "MascaraCaixa.h"
#include "TDataSet.h"
#include "TDataSource.h"

namespace kova {

class AmbienteDaTela;
class TDM;
class TField;
class TfrmDigitar;
struct TControlState;

class FrmDigitarWin : private IVistaDigitar {
public:
    FrmDigitarWin(TfrmDigitar& form, TDM& dm);
    ~FrmDigitarWin() override;
    FrmDigitarWin(const FrmDigitarWin&) = delete;
    FrmDigitarWin& operator=(const FrmDigitarWin&) = delete;

    // The hosted request: shows the screen modally on this thread, the caller's windows disabled
    // meanwhile, until the form closes it (save, cancel, close).
    void ExibirModal();

    // The window, for tests and for the dialogs shown over it.
    HWND Janela() const { return janela_; }

private:
    struct Controle {
        std::string nome;
        HWND h = nullptr;
        // The page that shows it ("" for the window's own: toolbar and footer).
        std::string pagina;
        // Part of the form's control model (its visibility and state come from there).
        bool doModelo = true;
        std::unique_ptr<TMascaraCaixa> mascara;
    };

    static LRESULT CALLBACK ProcJanela(HWND h, UINT msg, WPARAM wp, LPARAM lp);
    static LRESULT CALLBACK ProcControle(HWND h, UINT msg, WPARAM wp, LPARAM lp);
    LRESULT Mensagem(UINT msg, WPARAM wp, LPARAM lp);
    LRESULT MensagemDoControle(Controle& c, WNDPROC anterior, UINT msg, WPARAM wp, LPARAM lp);

    // Building.
    void Cria();
    void MontaBarra();
    void MontaPaginaKOVA();
    void MontaPesquisa();
    HWND Novo(const std::string& nome, const wchar_t* classe, DWORD estilo,
              const std::string& pagina, bool doModelo = true, const std::wstring& texto = L"");
    void Fontes();
    void Dispoe();
    int E(int medida) const { return MulDiv(medida, dpi_, 96); }
    void Coloca(const std::string& nome, int x, int y, int l, int a);

    Controle* Acha(const std::string& nome);
    const Controle* Acha(const std::string& nome) const;
    Controle* De(HWND h);
    // A control's place in the form's creation order (the order of Tab).
    int OrdemDe(HWND h) const;
    std::string NomeDe(HWND h) const;
    // Runs something of the person's later, out of the message being handled.
    void Depois(std::function<void()> acao);

    // Model to controls.
    void Aplica(const TControlState& c);
    void RefazAbas();
    void Visibilidade();
    void DadosMudaram(TField* campo);
    void EstadoMudou();
    void RefrescaCaixa(const TControlState& c);
    void RefrescaLista(const std::string& nome);
    void RefrescaLogos();
    void RefrescaGrade(bool reler);
    void RefrescaNavegador();
    void Fechou();

    // The person to the form.
    bool Teclado(const MSG& m);
    // A letter typed in a closed list: the entry that begins with the letters typed in a row.
    bool BuscaNaLista(Controle& c, wchar_t letra);
    void Comando(int id);
    void FocoEntrou(HWND novo, HWND antigo);
    // The person turned the page (a click on its tab, Ctrl+Tab).
    void MudouPagina();
    void PedeFechar();
    void Cancela();
    void MoveNaGrade(int passo);
    void EscolheNaGrade();

    // What the controller asks of this view.
    std::string Texto(const std::string& caixa) const override;
    void MostraTexto(const std::string& caixa, const std::string& texto) override;
    void SelecionaTudo(const std::string& caixa) override;
    int Indice(const std::string& lista) const override;
    std::string Chave(const std::string& lista) const override;
    bool Aberta(const std::string& caixa) const override;
    void Foca(const std::string& caixa) override;
    std::string CaixaComFoco() const override;
    bool Visivel() const override;
    void SincronizaPagina() override;

    TfrmDigitar& form_;
    TDM& dm_;
    // The visual style and the monitor's scale, while the screen exists.
    std::unique_ptr<AmbienteDaTela> contexto_;
    TDataSource vinculo_{"dtsTela"};
    TControladorDigitar controlador_{form_, dm_, *this};
    HWND janela_ = nullptr;
    // The host's window that was in front, which the screen stays over.
    HWND dono_ = nullptr;
    HWND barra_ = nullptr;
    HWND abas_ = nullptr;
    // The pages whose tabs are shown, in order (the search page has none while a slip is edited).
    std::vector<std::string> abasMostradas_;
    std::wstring legendasAbas_;
    HWND grade_ = nullptr;
    HWND pesquisa_ = nullptr;
    int dpi_ = 96;
    HFONT fonte_ = nullptr, negrito_ = nullptr, titulo_ = nullptr;
    std::vector<std::unique_ptr<Controle>> controles_;
    std::map<HWND, Controle*> porJanela_;
    std::map<HWND, WNDPROC> procs_;
    // The keys of each lookup list's entries, and what told the table's visible records apart
    // when they were read.
    std::map<std::string, std::vector<std::string>> chaves_;
    std::map<std::string, TDataSet::TVisiveis> visiveisListas_;
    // The slips the search page lists.
    std::vector<TBookmark> linhas_;
    std::vector<HBITMAP> logos_;
    // The logos' windows with their place in the banks' strip, which starts at bancos_.
    std::vector<std::pair<HWND, int>> janelasLogos_;
    POINT bancos_{0, 0};
    uint64_t versaoGrade_ = 0;
    // The text of the grid's cell being drawn.
    std::wstring textoGrade_;
    // The hint of the toolbar button under the mouse.
    std::wstring textoDica_;
    std::string logosMostrados_;
    std::vector<std::function<void()>> depois_;
    // The control that last had the focus, given back when the window is active again.
    HWND ultimoFoco_ = nullptr;
    // The lists whose entries are open on screen (a click there is a choice).
    std::string listaAberta_;
    bool fechada_ = false;
    bool atualizandoGrade_ = false;
    // The letters typed in a row in a closed list, and when the last came.
    HWND listaDigitada_ = nullptr;
    std::wstring digitadoNaLista_;
    DWORD instanteDigitado_ = 0;
};

}  // namespace kova
