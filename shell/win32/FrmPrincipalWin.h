#pragma once
// The main window of the desktop program on Windows ("KOVA - Fennolar"): the menus and toolbar
// that open the entry screen, the import and the removal; a status bar with the date, the clock
// and the hint of the item under the pointer; the exit question. The same titles, shortcuts and
// texts as the Linux window.

#include <windows.h>

#include <memory>
#include <string>

#include "JanelaWin.h"

namespace kova {

class FrmDigitarWin;
class TFluxosImpressao;
class TDM;
class TfrmDigitar;
class TqrpKOVA;

// The copies of the slips file and what each holds; "Restaurar" puts the chosen one in place
// (TRestauracaoCopia asks and tells). True when a copy was restored. Over the main window, and at
// the start when the slips file cannot be read (dono null).
bool RestaurarCopiaWin(HWND dono, TDM& dm);

class FrmPrincipalWin {
public:
    explicit FrmPrincipalWin(TqrpKOVA& relatorio);
    ~FrmPrincipalWin();
    FrmPrincipalWin(const FrmPrincipalWin&) = delete;
    FrmPrincipalWin& operator=(const FrmPrincipalWin&) = delete;

    HWND Janela() const { return janela_; }
    // Runs the program's messages until the window is gone; the status given to PostQuitMessage.
    int Executa();

    void AtualizaMenus();
    // Imports a slips file; unattended, the new slips are printed (the caller then ends the
    // program with Encerra).
    void IncorporarArquivo(const std::string& nomeArquivo, bool desassistido);
    // Ends the program without the exit question.
    void Encerra();

    // The program's commands (menu, toolbar, shortcuts).
    void Comando(int id);

private:
    static LRESULT CALLBACK ProcJanela(HWND h, UINT msg, WPARAM wp, LPARAM lp);
    LRESULT Mensagem(UINT msg, WPARAM wp, LPARAM lp);
    void Cria();
    void Fontes();
    void Dispoe();
    void Pinta();
    void Relogio();
    void Dica(const std::wstring& texto);
    void Fechar();
    TfrmDigitar& Formulario();
    FrmDigitarWin& Tela();
    void Digitar(bool pesquisa);
    void Incorporar();
    void Sobre();
    void Remover();
    int E(int medida) const { return MulDiv(medida, dpi_, 96); }

    TqrpKOVA& relatorio_;
    std::unique_ptr<TfrmDigitar> frmDigitar_;
    std::unique_ptr<FrmDigitarWin> tela_;
    std::unique_ptr<TFluxosImpressao> fluxosTela_;
    HWND janela_ = nullptr;
    HWND barra_ = nullptr;
    HWND status_ = nullptr;
    HMENU menu_ = nullptr;
    HACCEL atalhos_ = nullptr;
    HFONT fonte_ = nullptr, grande_ = nullptr;
    int dpi_ = 96;
    bool relogioParado_ = false;
    bool sairSemConfirmar_ = false;
};

}  // namespace kova
