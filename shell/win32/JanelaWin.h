#pragma once
// What the windows of the desktop program on Windows share: the monitor's scale and fonts, a
// window of the program's own shown over another (modal, or not), a toolbar of captioned buttons,
// a grid over a table, and the printer of the next prints.

#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "TDataSet.h"
#include "TextoLargo.h"

namespace kova {

class TSaidaImpressao;

// The monitor's scale of a window, where Windows tells it (10 and later), else the system's.
int DpiDe(HWND h);
HFONT FonteDaInterface(int dpi, int pontos = 0, bool negrito = false);
// The rectangle of the work area of the window's monitor.
RECT AreaDeTrabalho(HWND h);

// A window of the program's own over another until it is closed: its controls are made by the
// caller, its buttons answered by Comando; Tab and Enter move and press as in a dialog box, Esc
// closes it, and Alt with a toolbar button's underlined letter presses it. Shown with Exibe it is
// modal (the owner disabled until it closes); with Mostra it is not, and the loop of the window
// shown modally under it runs it.
class JanelaModal {
public:
    // Its client area of largura x altura (at 96 dots an inch), within the screen; redimensionavel
    // lets the person resize it (Dispoe then places the controls).
    JanelaModal(HWND dono, const std::string& titulo, int largura, int altura,
                bool redimensionavel = false);
    ~JanelaModal();
    JanelaModal(const JanelaModal&) = delete;
    JanelaModal& operator=(const JanelaModal&) = delete;

    int E(int medida) const { return MulDiv(medida, dpi_, 96); }
    HWND Janela() const { return janela_; }

    HWND Cria(const wchar_t* classe, const std::string& texto, DWORD estilo, int id, int x, int y,
              int l, int a, HFONT fonte = nullptr);
    HFONT Fonte(int pontos, bool negrito);

    struct Botao {
        int id;  // 0: a separator
        const char* legenda;
        const char* dica;
    };
    // A toolbar of captioned buttons along the top (or the bottom); its hints show when the
    // pointer rests on them.
    HWND Barra(const std::vector<Botao>& botoes, bool embaixo = false);
    void HabilitaBotao(int id, bool habilitado);
    // The height of the toolbar, or 0.
    int AlturaDaBarra() const;

    std::function<void(int id, int notificacao)> Comando;
    std::function<LRESULT(NMHDR&)> Notificacao;
    // Places the controls in the client area (at creation and on every resize).
    std::function<void(int largura, int altura)> Dispoe;
    // Runs after each message of the modal loop (a window shown with Mostra over this one closed).
    std::function<void()> AposMensagem;
    // Runs when the window closes (its close box, Esc, a button that closes it).
    std::function<void()> AoFechar;
    int Topico = 0;

    void Fecha();
    bool Fechada() const { return fechada_; }
    void Exibe(HWND foco);
    void Mostra(HWND foco);

private:
    static LRESULT CALLBACK Proc(HWND h, UINT msg, WPARAM wp, LPARAM lp);
    bool Atalho(const MSG& m);

    HWND dono_;
    HWND janela_ = nullptr;
    HWND barra_ = nullptr;
    HFONT fonte_ = nullptr;
    std::vector<HFONT> fontes_;
    std::vector<Botao> botoes_;
    std::wstring dica_;
    int dpi_ = 96;
    bool fechada_ = false;
    bool modal_ = false;
};

// A grid over a table (a list view in report mode, whole-row selection): chosen columns with
// titles, the rows given, each cell the field's displayed text.
class GradeWin {
public:
    struct Coluna {
        const char* campo;
        const char* titulo;
        int formato;  // LVCFMT_LEFT, LVCFMT_CENTER, LVCFMT_RIGHT
        // What a person reads instead of the stored text, or null.
        std::string (*formata)(const std::string&) = nullptr;
    };
    GradeWin(JanelaModal& janela, int id, TDataSet& tabela, std::vector<Coluna> colunas);
    HWND Janela() const { return h_; }
    // Shows these rows; the table's current record selected when it is one of them.
    void Mostra(std::vector<TBookmark> linhas, int larguraMaxima = 0);
    const std::vector<TBookmark>& Linhas() const { return linhas_; }
    // The selected row's record, made the table's current one; false without a selection.
    bool IrParaSelecionada();
    // The list view's notifications of this grid; true when handled.
    bool Notificacao(NMHDR& n);

private:
    HWND h_;
    TDataSet& tabela_;
    std::vector<Coluna> colunas_;
    std::vector<TBookmark> linhas_;
    std::wstring texto_;
    int margem_ = 8;
};

// The slips printed on the printer chosen with "Configurar impressora", else the user's default
// one, one job each, accepted by the spooler; throws where there is no printer.
std::unique_ptr<TSaidaImpressao> AbreImpressora();
// The Windows print set-up on the printer of the next prints.
void ConfigurarImpressora(HWND dono);

// Opens a topic of the manual (ajuda\<page>.html beside the program) in the browser of Windows;
// without the manual the person is told where it was looked for.
void AbrirAjudaWin(int topico);
constexpr int kAjudaPrincipal = 1;
constexpr int kAjudaImpressao = 27;
constexpr int kAjudaIncorporacao = 40;
constexpr int kAjudaRemocao = 41;
constexpr int kAjudaConsultas = 42;
constexpr int kAjudaAdministracao = 50;

}  // namespace kova
