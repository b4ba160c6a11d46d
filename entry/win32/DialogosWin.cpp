#include "DialogosWin.h"

#include <windows.h>
// After windows.h, which they need.
#include <commctrl.h>
#include <shellapi.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <memory>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "ContextoVisual.h"
#include "ControladorDigitar.h"
#include "DialogosDigitar.h"
#include "Errors.h"
#include "TDataSet.h"
#include "TDataSource.h"
#include "TextoLargo.h"
#include "TfrmDigitar.h"

namespace kova {
namespace {

// A text of several lines as a static control draws it: the engine breaks its lines with "\r",
// "\n" or both.
std::wstring Paragrafos(const std::string& texto) {
    const std::wstring largo = Largo(texto);
    std::wstring w;
    for (size_t i = 0; i < largo.size(); ++i) {
        const wchar_t c = largo[i];
        if (c != L'\r' && c != L'\n') {
            w += c;
            continue;
        }
        w += L"\r\n";
        if (c == L'\r' && i + 1 < largo.size() && largo[i + 1] == L'\n') ++i;
    }
    return w;
}

std::wstring TextoDe(HWND controle) {
    std::wstring w(size_t(GetWindowTextLengthW(controle)) + 1, L'\0');
    w.resize(size_t(GetWindowTextW(controle, w.data(), int(w.size()))));
    return w;
}

struct Botao {
    std::string texto;
    int id;
};

// A modal dialog made in memory, in the system's message font; its subclass creates and places
// the controls when it opens and answers their commands.
class Dialogo {
public:
    virtual ~Dialogo() = default;

protected:
    // Shows the dialog over the thread's active window until Fecha. A failure inside it ends the
    // dialog and is raised here.
    void Abre(const std::string& titulo);
    void Fecha() { EndDialog(janela_, 0); }

    // Creates the controls and sizes the dialog (Tamanho); returns the control given the focus.
    virtual HWND Monta() = 0;
    // Escape and the close box come as IDCANCEL.
    virtual void Comando(int id, int codigo) = 0;
    virtual bool Notificacao(const NMHDR&) { return false; }
    // An owner-drawn control's picture; the pointer over a control.
    virtual bool Desenha(const DRAWITEMSTRUCT&) { return false; }
    virtual bool Ponteiro(HWND) { return false; }

    // A control of the dialog, in its font.
    HWND Cria(const wchar_t* classe, const std::wstring& texto, DWORD estilo, int id, const RECT& r,
              DWORD estiloEstendido = 0);
    // The room a text takes in the dialog's font, its lines broken to fit the width given.
    SIZE Mede(const std::wstring& texto, int largura) const;
    // Dialog units and pixels at 96 dots per inch, in the screen's pixels.
    int X(int unidades) const;
    int Y(int unidades) const;
    int Px(int pixels) const;
    // The work area of the monitor the dialog shows on.
    RECT Area() const;
    // What the frame and the title bar add to the dialog's inside.
    SIZE Moldura() const;
    // The inside made as large as given, never beyond the work area, and the dialog centred over
    // its owner.
    void Tamanho(int largura, int altura);
    // A row of buttons of one width: how wide it is, and the row made from (x, y) with the default
    // button given.
    int LarguraDaFila(const std::vector<Botao>& botoes) const;
    void CriaFila(const std::vector<Botao>& botoes, int padrao, int x, int y);
    int AlturaDoBotao() const { return Y(14); }

    HWND janela_ = nullptr;
    HFONT fonte_ = nullptr;

private:
    int LarguraDoBotao(const std::vector<Botao>& botoes) const;
    static INT_PTR CALLBACK Procedimento(HWND janela, UINT mensagem, WPARAM w, LPARAM l);
    std::exception_ptr falha_;
};

void Dialogo::Abre(const std::string& titulo) {
    const ContextoVisual visual;
    NONCLIENTMETRICSW metricas{};
    metricas.cbSize = sizeof metricas;
    SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metricas, &metricas, 0);
    const HDC tela = GetDC(nullptr);
    const int dpi = GetDeviceCaps(tela, LOGPIXELSY);
    ReleaseDC(nullptr, tela);
    const LOGFONTW& fonte = metricas.lfMessageFont;
    const WORD pontos = WORD(std::max(8, MulDiv(std::abs(fonte.lfHeight), 72, dpi > 0 ? dpi : 96)));
    const std::wstring face = fonte.lfFaceName[0] ? fonte.lfFaceName : L"MS Shell Dlg";

    DLGTEMPLATE cabeca{};
    cabeca.style =
        WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT | DS_SETFOREGROUND;
    // After the header, in words: no menu, the system's dialog class, the title, the font.
    std::vector<WORD> modelo((sizeof cabeca + 1) / sizeof(WORD));
    std::memcpy(modelo.data(), &cabeca, sizeof cabeca);
    modelo.push_back(0);
    modelo.push_back(0);
    for (const wchar_t c : Largo(titulo)) modelo.push_back(WORD(c));
    modelo.push_back(0);
    modelo.push_back(pontos);
    for (const wchar_t c : face) modelo.push_back(WORD(c));
    modelo.push_back(0);

    const INT_PTR r =
        DialogBoxIndirectParamW(static_cast<HINSTANCE>(ContextoVisual::Modulo()),
                                reinterpret_cast<LPCDLGTEMPLATEW>(modelo.data()), GetActiveWindow(),
                                Procedimento, reinterpret_cast<LPARAM>(this));
    if (falha_) std::rethrow_exception(falha_);
    if (r == -1) throw Exception("Não foi possível mostrar a janela \"" + titulo + "\"");
}

INT_PTR CALLBACK Dialogo::Procedimento(HWND janela, UINT mensagem, WPARAM w, LPARAM l) {
    Dialogo* d = mensagem == WM_INITDIALOG
                     ? reinterpret_cast<Dialogo*>(l)
                     : reinterpret_cast<Dialogo*>(GetWindowLongPtrW(janela, DWLP_USER));
    if (!d) return FALSE;
    // Nothing may unwind through the system's frames: a failure ends the dialog and is raised
    // where it was shown.
    try {
        switch (mensagem) {
            case WM_INITDIALOG: {
                SetWindowLongPtrW(janela, DWLP_USER, l);
                d->janela_ = janela;
                d->fonte_ = reinterpret_cast<HFONT>(SendMessageW(janela, WM_GETFONT, 0, 0));
                const HWND foco = d->Monta();
                if (!foco) return TRUE;
                SetFocus(foco);
                return FALSE;
            }
            case WM_COMMAND:
                d->Comando(LOWORD(w), HIWORD(w));
                return TRUE;
            case WM_NOTIFY:
                return d->Notificacao(*reinterpret_cast<const NMHDR*>(l)) ? TRUE : FALSE;
            case WM_DRAWITEM:
                return d->Desenha(*reinterpret_cast<const DRAWITEMSTRUCT*>(l)) ? TRUE : FALSE;
            case WM_SETCURSOR:
                if (!d->Ponteiro(reinterpret_cast<HWND>(w))) return FALSE;
                SetWindowLongPtrW(janela, DWLP_MSGRESULT, TRUE);
                return TRUE;
            case WM_CLOSE:
                d->Comando(IDCANCEL, BN_CLICKED);
                return TRUE;
            default:
                return FALSE;
        }
    } catch (...) {
        if (!d->falha_) d->falha_ = std::current_exception();
        EndDialog(janela, 0);
        return TRUE;
    }
}

HWND Dialogo::Cria(const wchar_t* classe, const std::wstring& texto, DWORD estilo, int id,
                   const RECT& r, DWORD estiloEstendido) {
    const HWND controle =
        CreateWindowExW(estiloEstendido, classe, texto.c_str(), WS_CHILD | WS_VISIBLE | estilo,
                        r.left, r.top, r.right - r.left, r.bottom - r.top, janela_,
                        reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                        static_cast<HINSTANCE>(ContextoVisual::Modulo()), nullptr);
    if (!controle) {
        throw Exception("Não foi possível criar um controle da janela (erro " +
                        std::to_string(GetLastError()) + ")");
    }
    SendMessageW(controle, WM_SETFONT, reinterpret_cast<WPARAM>(fonte_), FALSE);
    return controle;
}

SIZE Dialogo::Mede(const std::wstring& texto, int largura) const {
    const HDC dc = GetDC(janela_);
    const HGDIOBJ antes = SelectObject(dc, fonte_);
    const UINT modo = DT_CALCRECT | DT_EXPANDTABS | DT_NOPREFIX;
    // Its longest line first: a text of short lines is as narrow as they are.
    RECT r{0, 0, largura, 0};
    DrawTextW(dc, texto.c_str(), int(texto.size()), &r, modo);
    const int natural = std::min<int>(r.right - r.left, largura);
    r = RECT{0, 0, natural, 0};
    DrawTextW(dc, texto.c_str(), int(texto.size()), &r, modo | DT_WORDBREAK);
    SelectObject(dc, antes);
    ReleaseDC(janela_, dc);
    // A word longer than the line is cut rather than widening the dialog.
    return SIZE{std::min<LONG>(r.right - r.left, largura), r.bottom - r.top};
}

int Dialogo::X(int unidades) const {
    RECT r{0, 0, unidades, 0};
    MapDialogRect(janela_, &r);
    return r.right;
}

int Dialogo::Y(int unidades) const {
    RECT r{0, 0, 0, unidades};
    MapDialogRect(janela_, &r);
    return r.bottom;
}

int Dialogo::Px(int pixels) const {
    const HDC dc = GetDC(janela_);
    const int dpi = GetDeviceCaps(dc, LOGPIXELSX);
    ReleaseDC(janela_, dc);
    return MulDiv(pixels, dpi > 0 ? dpi : 96, 96);
}

RECT Dialogo::Area() const {
    const HWND dono = GetWindow(janela_, GW_OWNER);
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    if (!GetMonitorInfoW(MonitorFromWindow(dono ? dono : janela_, MONITOR_DEFAULTTOPRIMARY),
                         &monitor)) {
        SystemParametersInfoW(SPI_GETWORKAREA, 0, &monitor.rcWork, 0);
    }
    return monitor.rcWork;
}

SIZE Dialogo::Moldura() const {
    RECT r{0, 0, 0, 0};
    AdjustWindowRectEx(&r, DWORD(GetWindowLongPtrW(janela_, GWL_STYLE)), FALSE,
                       DWORD(GetWindowLongPtrW(janela_, GWL_EXSTYLE)));
    return SIZE{r.right - r.left, r.bottom - r.top};
}

void Dialogo::Tamanho(int largura, int altura) {
    const RECT area = Area();
    const SIZE moldura = Moldura();
    const int l = std::min<int>(largura + moldura.cx, area.right - area.left);
    const int a = std::min<int>(altura + moldura.cy, area.bottom - area.top);
    RECT sobre = area;
    const HWND dono = GetWindow(janela_, GW_OWNER);
    if (dono && IsWindowVisible(dono) && !IsIconic(dono)) GetWindowRect(dono, &sobre);
    const int x = std::clamp<int>((sobre.left + sobre.right - l) / 2, area.left, area.right - l);
    const int y = std::clamp<int>((sobre.top + sobre.bottom - a) / 2, area.top, area.bottom - a);
    SetWindowPos(janela_, nullptr, x, y, l, a, SWP_NOZORDER | SWP_NOACTIVATE);
}

int Dialogo::LarguraDoBotao(const std::vector<Botao>& botoes) const {
    int largura = X(50);
    for (const Botao& b : botoes) {
        largura = std::max<int>(largura, Mede(Largo(b.texto), 10000).cx + X(12));
    }
    return largura;
}

int Dialogo::LarguraDaFila(const std::vector<Botao>& botoes) const {
    const int n = int(botoes.size());
    return n * LarguraDoBotao(botoes) + (n - 1) * X(4);
}

void Dialogo::CriaFila(const std::vector<Botao>& botoes, int padrao, int x, int y) {
    const int largura = LarguraDoBotao(botoes);
    for (const Botao& b : botoes) {
        const DWORD estilo = WS_TABSTOP | (b.id == padrao ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON) |
                             (&b == &botoes.front() ? WS_GROUP : 0);
        Cria(L"BUTTON", Largo(b.texto), estilo, b.id, RECT{x, y, x + largura, y + AlturaDoBotao()});
        x += largura + X(4);
    }
    SendMessageW(janela_, DM_SETDEFID, WPARAM(padrao), 0);
}

constexpr int kLink = 90;

struct ApagaFonte {
    void operator()(HFONT f) const { DeleteObject(f); }
};
using Fonte = std::unique_ptr<std::remove_pointer_t<HFONT>, ApagaFonte>;

// A message: the kind's icon, the text, a link below it when there is one, and a row of buttons.
// Its answer is the id of the button pressed, or 0 when it was closed without one.
class CaixaMensagem : public Dialogo {
public:
    CaixaMensagem(LPCWSTR icone, const std::string& texto, std::vector<Botao> botoes, int padrao,
                  std::string link = {})
        : icone_(icone),
          texto_(Paragrafos(texto)),
          botoes_(std::move(botoes)),
          padrao_(padrao),
          link_(std::move(link)) {}

    int Mostra(const std::string& titulo) {
        Abre(titulo);
        return resposta_;
    }

private:
    HWND Monta() override {
        const int margem = X(7);
        const RECT area = Area();
        const int lIcone = icone_ ? GetSystemMetrics(SM_CXICON) : 0;
        const int aIcone = icone_ ? GetSystemMetrics(SM_CYICON) : 0;
        const int x = margem + (icone_ ? lIcone + X(8) : 0);
        const int fila = LarguraDaFila(botoes_);
        // Lines of a comfortable length, and never longer than the screen allows.
        const int livre = area.right - area.left - Moldura().cx - x - margem;
        const int limite = std::max(X(40), std::min(X(330), livre));
        const SIZE texto = Mede(texto_, limite);
        // A little room beyond the measure: the control breaks its lines at the same places.
        const int lTexto = texto.cx + X(2);
        const int largura = std::max<int>(x + lTexto + margem, fila + 2 * margem);

        if (icone_) {
            const HWND figura = Cria(L"STATIC", L"", SS_ICON, 0,
                                     RECT{margem, margem, margem + lIcone, margem + aIcone});
            SendMessageW(figura, STM_SETICON, reinterpret_cast<WPARAM>(LoadIconW(nullptr, icone_)),
                         0);
        }
        // A short text stands level with the middle of the icon.
        const int topo = margem + std::max<int>(0, (aIcone - texto.cy) / 2);
        Cria(L"STATIC", texto_, SS_LEFT | SS_NOPREFIX, 0,
             RECT{x, topo, x + lTexto, topo + texto.cy});
        int y = std::max<int>(topo + texto.cy, margem + aIcone);
        if (!link_.empty()) y = CriaLink(y + Y(7), largura, margem);
        y += Y(10);
        CriaFila(botoes_, padrao_, (largura - fila) / 2, y);
        Tamanho(largura, y + AlturaDoBotao() + margem);
        return GetDlgItem(janela_, padrao_);
    }

    // The address, centred, navy and underlined, with the hand pointer: a button drawn as a link,
    // reached with Tab like the others. Returns its bottom.
    int CriaLink(int y, int largura, int margem) {
        LOGFONTW sublinhada{};
        GetObjectW(fonte_, sizeof sublinhada, &sublinhada);
        sublinhada.lfUnderline = TRUE;
        fonteLink_.reset(CreateFontIndirectW(&sublinhada));
        const std::wstring endereco = Largo(link_);
        const SIZE texto = Mede(endereco, largura - 2 * margem);
        const int l = std::min<int>(texto.cx + X(6), largura - 2 * margem);
        const int a = texto.cy + Y(4);
        linkJanela_ = Cria(L"BUTTON", endereco, BS_OWNERDRAW | WS_TABSTOP, kLink,
                           RECT{(largura - l) / 2, y, (largura + l) / 2, y + a});
        return y + a;
    }

    bool Desenha(const DRAWITEMSTRUCT& item) override {
        if (item.hwndItem != linkJanela_) return false;
        RECT r = item.rcItem;
        FillRect(item.hDC, &r, GetSysColorBrush(COLOR_BTNFACE));
        const HGDIOBJ antes = SelectObject(item.hDC, fonteLink_ ? fonteLink_.get() : fonte_);
        SetTextColor(item.hDC, RGB(0, 0, 128));
        SetBkMode(item.hDC, TRANSPARENT);
        const std::wstring endereco = Largo(link_);
        DrawTextW(item.hDC, endereco.c_str(), int(endereco.size()), &r,
                  DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
        SelectObject(item.hDC, antes);
        if (item.itemState & ODS_FOCUS) DrawFocusRect(item.hDC, &item.rcItem);
        return true;
    }

    bool Ponteiro(HWND controle) override {
        if (!controle || controle != linkJanela_) return false;
        SetCursor(LoadCursorW(nullptr, IDC_HAND));
        return true;
    }

    void Comando(int id, int codigo) override {
        if (codigo != BN_CLICKED) return;
        // Enter presses the default button, also on the link: there it opens the page.
        if (id == kLink || (id == padrao_ && linkJanela_ && GetFocus() == linkJanela_)) {
            AbreLink();
            return;
        }
        if (id == IDCANCEL) {
            resposta_ = 0;
            Fecha();
            return;
        }
        for (const Botao& b : botoes_) {
            if (b.id == id) {
                resposta_ = id;
                Fecha();
            }
        }
    }

    // The page opens and the notice stays.
    void AbreLink() {
        const std::string endereco = link_;
        Protege([&] { AbrirPagina(endereco); });
    }

    LPCWSTR icone_;
    std::wstring texto_;
    std::vector<Botao> botoes_;
    int padrao_;
    std::string link_;
    HWND linkJanela_ = nullptr;
    Fonte fonteLink_;
    int resposta_ = 0;
};

constexpr int kLista = 91;

// A picker: the rows of a table in a list with the columns given, the table's current record
// chosen. Enter or a double click confirms; the table then stands on the row chosen.
class CaixaEscolha : public Dialogo {
public:
    CaixaEscolha(TDataSet& tabela, std::vector<TColunaEscolha> colunas)
        : tabela_(tabela), colunas_(std::move(colunas)) {}

    bool Mostra(const std::string& titulo) {
        linhas_ = tabela_.VisibleRecords();
        Abre(titulo);
        if (!confirmado_) return false;
        if (escolhida_ >= 0 && escolhida_ < int(linhas_.size()) &&
            linhas_[size_t(escolhida_)] != tabela_.GetBookmark()) {
            tabela_.GotoBookmark(linhas_[size_t(escolhida_)]);
        }
        return true;
    }

private:
    HWND Monta() override {
        const int margem = X(7);
        lista_ = Cria(WC_LISTVIEWW, L"",
                      LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS | WS_TABSTOP | WS_GROUP,
                      kLista, RECT{margem, margem, margem + 100, margem + 100}, WS_EX_CLIENTEDGE);
        SendMessageW(lista_, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT,
                     LVS_EX_FULLROWSELECT);
        std::vector<int> larguras = Colunas();
        Linhas(larguras);

        // As wide as the columns need, between a sensible least and the screen.
        const RECT area = Area();
        const SIZE moldura = Moldura();
        int necessaria = 2 * margem + GetSystemMetrics(SM_CXVSCROLL) + Px(8);
        for (const int l : larguras) necessaria += l;
        const int maxima = std::max<int>(Px(520), area.right - area.left - moldura.cx - Px(40));
        const int largura = std::clamp(necessaria, Px(520), maxima);
        const int altura = std::max<int>(Px(360) - moldura.cy, Y(60));
        const int yBotoes = altura - margem - AlturaDoBotao();
        MoveWindow(lista_, margem, margem, largura - 2 * margem, yBotoes - Y(7) - margem, FALSE);
        const std::vector<Botao> botoes{{"&Selecionar", IDOK}, {"&Fechar", IDCANCEL}};
        CriaFila(botoes, IDOK, largura - margem - LarguraDaFila(botoes), yBotoes);

        // The first column takes the room the others leave.
        RECT dentro;
        GetClientRect(lista_, &dentro);
        int outras = 0;
        for (size_t c = 1; c < larguras.size(); ++c) outras += larguras[c];
        larguras[0] = std::max<int>(dentro.right - outras, Px(80));
        for (size_t c = 0; c < larguras.size(); ++c) {
            SendMessageW(lista_, LVM_SETCOLUMNWIDTH, c, larguras[c]);
        }

        const TBookmark atual = tabela_.GetBookmark();
        for (size_t i = 0; i < linhas_.size(); ++i) {
            if (linhas_[i] != atual) continue;
            LVITEMW estado{};
            estado.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
            estado.state = LVIS_SELECTED | LVIS_FOCUSED;
            SendMessageW(lista_, LVM_SETITEMSTATE, i, reinterpret_cast<LPARAM>(&estado));
            SendMessageW(lista_, LVM_ENSUREVISIBLE, i, FALSE);
        }
        Tamanho(largura, altura);
        return lista_;
    }

    // The columns with their titles; the width each title needs.
    std::vector<int> Colunas() {
        std::vector<int> larguras;
        for (size_t c = 0; c < colunas_.size(); ++c) {
            std::wstring titulo = Largo(colunas_[c].titulo);
            LVCOLUMNW coluna{};
            coluna.mask = LVCF_TEXT | LVCF_FMT | LVCF_WIDTH | LVCF_SUBITEM;
            coluna.fmt = colunas_[c].centrada ? LVCFMT_CENTER : LVCFMT_LEFT;
            coluna.cx = Px(60);
            coluna.pszText = titulo.data();
            coluna.iSubItem = int(c);
            SendMessageW(lista_, LVM_INSERTCOLUMNW, c, reinterpret_cast<LPARAM>(&coluna));
            larguras.push_back(LarguraDoTexto(titulo) + Px(20));
        }
        return larguras;
    }

    // The rows; each column widened to its longest text.
    void Linhas(std::vector<int>& larguras) {
        std::vector<int> campos;
        for (const TColunaEscolha& c : colunas_) {
            const TField* campo = tabela_.FindField(c.campo);
            campos.push_back(campo ? campo->Index() : -1);
        }
        SendMessageW(lista_, LVM_SETITEMCOUNT, linhas_.size(), 0);
        for (size_t i = 0; i < linhas_.size(); ++i) {
            for (size_t c = 0; c < campos.size(); ++c) {
                std::wstring texto =
                    campos[c] < 0 ? L"" : Largo(tabela_.DisplayTextAt(linhas_[i], campos[c]));
                LVITEMW item{};
                item.mask = LVIF_TEXT;
                item.iItem = int(i);
                item.iSubItem = int(c);
                item.pszText = texto.data();
                SendMessageW(lista_, c == 0 ? LVM_INSERTITEMW : LVM_SETITEMTEXTW, c == 0 ? 0 : i,
                             reinterpret_cast<LPARAM>(&item));
                larguras[c] = std::max(larguras[c], LarguraDoTexto(texto) + Px(14));
            }
        }
    }

    int LarguraDoTexto(const std::wstring& texto) const {
        return int(
            SendMessageW(lista_, LVM_GETSTRINGWIDTHW, 0, reinterpret_cast<LPARAM>(texto.c_str())));
    }

    void Comando(int id, int codigo) override {
        if (codigo != BN_CLICKED) return;
        if (id == IDOK) {
            escolhida_ = int(SendMessageW(lista_, LVM_GETNEXTITEM, WPARAM(-1), LVNI_SELECTED));
            confirmado_ = true;
            Fecha();
        } else if (id == IDCANCEL) {
            Fecha();
        }
    }

    bool Notificacao(const NMHDR& n) override {
        if (n.idFrom != kLista || n.code != NM_DBLCLK) return false;
        if (reinterpret_cast<const NMITEMACTIVATE&>(n).iItem >= 0) Comando(IDOK, BN_CLICKED);
        return true;
    }

    TDataSet& tabela_;
    std::vector<TColunaEscolha> colunas_;
    std::vector<TBookmark> linhas_;
    HWND lista_ = nullptr;
    int escolhida_ = -1;
    bool confirmado_ = false;
};

constexpr int kData = 92;

// The payment-date box: a date box bound to the field, each complete date typed written into it
// at once (and checked there); Enter confirms.
class CaixaData : public Dialogo {
public:
    CaixaData(TField& campo, std::string rotulo) : campo_(campo), rotulo_(std::move(rotulo)) {}

    bool Mostra(const std::string& titulo) {
        Abre(titulo);
        return confirmado_;
    }

    // Only digits, with the slashes of "dd/mm/aaaa" put in as they are typed.
    static std::wstring ComoData(const std::wstring& texto) {
        std::wstring data;
        int digitos = 0;
        for (const wchar_t c : texto) {
            if (c < L'0' || c > L'9' || digitos == 8) continue;
            if (digitos == 2 || digitos == 4) data += L'/';
            data += c;
            ++digitos;
        }
        return data;
    }

private:
    HWND Monta() override {
        const int margem = X(7);
        const std::wstring rotulo = Largo(rotulo_);
        const SIZE r = Mede(rotulo, 10000);
        const int aCaixa = Y(12);
        // The date and the box's own margins and border.
        const int lCaixa = Mede(L"00/00/0000", 10000).cx + X(16);
        const int linha = std::max<int>(r.cy, aCaixa);
        Cria(L"STATIC", rotulo, SS_LEFT | SS_NOPREFIX, 0,
             RECT{margem, margem + (linha - r.cy) / 2, margem + r.cx, margem + (linha + r.cy) / 2});
        const int x = margem + r.cx + X(4);
        caixa_ =
            Cria(L"EDIT", L"", ES_AUTOHSCROLL | WS_TABSTOP | WS_GROUP, kData,
                 RECT{x, margem + (linha - aCaixa) / 2, x + lCaixa, margem + (linha + aCaixa) / 2},
                 WS_EX_CLIENTEDGE);
        SendMessageW(caixa_, EM_SETLIMITTEXT, 10, 0);
        SendMessageW(caixa_, EM_SETMARGINS, EC_LEFTMARGIN | EC_RIGHTMARGIN, MAKELONG(Px(2), Px(2)));
        // The text once the box has its font: given at creation, it would stay scrolled as the
        // system font measured it.
        const std::wstring data = ComoData(Largo(campo_.Text()));
        SetWindowTextW(caixa_, data.c_str());
        // All of it chosen, so that a date typed takes its place; the caret at its start keeps
        // the box from scrolling.
        SendMessageW(caixa_, EM_SETSEL, data.size(), 0);

        const std::vector<Botao> botoes{{"&Ok", IDOK}, {"&Cancelar", IDCANCEL}};
        const int fila = LarguraDaFila(botoes);
        const int largura = std::max(x + lCaixa, fila + margem) + margem;
        const int y = margem + linha + Y(10);
        CriaFila(botoes, IDOK, largura - margem - fila, y);
        Tamanho(largura, y + AlturaDoBotao() + margem);
        return caixa_;
    }

    void Comando(int id, int codigo) override {
        if (id == kData && codigo == EN_CHANGE) {
            Mascara();
            Grava();
        } else if (id == IDOK && codigo == BN_CLICKED) {
            Grava();
            confirmado_ = true;
            Fecha();
        } else if (id == IDCANCEL && codigo == BN_CLICKED) {
            Fecha();
        }
    }

    void Mascara() {
        const std::wstring texto = TextoDe(caixa_);
        const std::wstring data = ComoData(texto);
        if (data == texto) return;
        SetWindowTextW(caixa_, data.c_str());
        SendMessageW(caixa_, EM_SETSEL, data.size(), LPARAM(data.size()));
    }

    void Grava() {
        const std::string texto = Estreito(TextoDe(caixa_));
        if (texto.size() != 10 || texto == campo_.Text()) return;
        Protege([&] { campo_.SetText(texto); });
    }

    TField& campo_;
    std::string rotulo_;
    HWND caixa_ = nullptr;
    bool confirmado_ = false;
};

constexpr int kPrimeiroBotao = 100;

}  // namespace

TModalResult DialogosWin::MessageDlg(const std::string& text, TMsgDlgType kind,
                                     TMsgDlgButtons buttons) {
    const TFormaMensagem forma = FormaDaMensagem(kind, buttons);
    std::vector<Botao> botoes;
    int padrao = kPrimeiroBotao;
    for (size_t i = 0; i < forma.botoes.size(); ++i) {
        const TModalResult b = forma.botoes[i];
        const int id = kPrimeiroBotao + int(i);
        botoes.push_back({b == TModalResult::mrOk    ? "OK"
                          : b == TModalResult::mrYes ? "&Sim"
                          : b == TModalResult::mrNo  ? "&Não"
                                                     : "&Cancelar",
                          id});
        if (b == forma.padrao) padrao = id;
    }
    const LPCWSTR icone = kind == TMsgDlgType::mtError          ? IDI_ERROR
                          : kind == TMsgDlgType::mtWarning      ? IDI_WARNING
                          : kind == TMsgDlgType::mtConfirmation ? IDI_QUESTION
                                                                : IDI_INFORMATION;
    const int resposta = CaixaMensagem(icone, text, std::move(botoes), padrao).Mostra(forma.titulo);
    const size_t i = size_t(resposta - kPrimeiroBotao);
    return resposta >= kPrimeiroBotao && i < forma.botoes.size() ? forma.botoes[i]
                                                                 : forma.semEscolha;
}

bool DialogosWin::Executar(const TPedidoDialogo& pedido) {
    const TDialogoDigitar d = DialogoDigitar(pedido);
    switch (d.forma) {
        case TFormaDialogo::Escolha:
            return CaixaEscolha(*pedido.fonte->DataSet(), d.colunas).Mostra(pedido.titulo);
        case TFormaDialogo::DataPagamento:
            return CaixaData(pedido.fonte->DataSet()->FieldByName("DataPagamento"), pedido.texto)
                .Mostra(pedido.titulo);
        case TFormaDialogo::AvisoComLink:
            CaixaMensagem(IDI_INFORMATION, pedido.texto, {{"Ok", IDOK}}, IDOK, pedido.link)
                .Mostra(pedido.titulo);
            return true;
        case TFormaDialogo::Texto:
            break;
    }
    // Any other request: its text and OK / Cancelar.
    return CaixaMensagem(nullptr, pedido.texto, {{"OK", IDOK}, {"Cancelar", IDCANCEL}}, IDOK)
               .Mostra(pedido.titulo) == IDOK;
}

bool DialogosWin::AbrirEndereco(const std::string& endereco) {
    // The system's opener for the address; it returns at once.
    return reinterpret_cast<INT_PTR>(ShellExecuteW(nullptr, L"open", Largo(endereco).c_str(),
                                                   nullptr, nullptr, SW_SHOWNORMAL)) > 32;
}

void DialogosWin::SetBusy(bool busy) {
    if (busy) {
        if (ocupado_++ == 0) cursorAnterior_ = SetCursor(LoadCursorW(nullptr, IDC_WAIT));
    } else if (ocupado_ > 0 && --ocupado_ == 0) {
        const HCURSOR anterior = static_cast<HCURSOR>(cursorAnterior_);
        SetCursor(anterior ? anterior : LoadCursorW(nullptr, IDC_ARROW));
    }
}

}  // namespace kova
