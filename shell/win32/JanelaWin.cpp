#include "JanelaWin.h"

#include <commctrl.h>
#include <commdlg.h>
#include <shellapi.h>

#include <algorithm>

#include "ControladorDigitar.h"
#include "Errors.h"
#include "FluxosImpressao.h"
#include "PintorGDI.h"

namespace kova {
namespace {

const wchar_t* const kClasseJanela = L"KOVAJanela";

// The pages of the manual this program opens by topic.
const char* PaginaDoTopico(int topico) {
    switch (topico) {
        case kAjudaPrincipal:
            return "principal.html";
        case kAjudaImpressao:
            return "impressao.html";
        case kAjudaIncorporacao:
            return "incorporacao.html";
        case kAjudaRemocao:
            return "remocao.html";
        case kAjudaConsultas:
            return "consultas.html";
        case kAjudaAdministracao:
            return "administracao.html";
        default:
            return "index.html";
    }
}

std::wstring PastaDoPrograma() {
    std::wstring caminho(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = GetModuleFileNameW(nullptr, caminho.data(), DWORD(caminho.size()));
        if (n < caminho.size()) {
            caminho.resize(n);
            break;
        }
        caminho.resize(caminho.size() * 2);
    }
    return caminho.substr(0, caminho.find_last_of(L"\\/"));
}

// The printer chosen with "Configurar impressora" for the next prints; empty for the default.
std::string& ImpressoraEscolhida() {
    static std::string escolhida;
    return escolhida;
}

// The slips printed on the chosen printer, else the user's default one, one job each, accepted by
// the spooler.
class SaidaImpressora : public TSaidaImpressao {
public:
    explicit SaidaImpressora(std::string impressora) : impressora_(std::move(impressora)) {}
    bool Envia(const std::vector<TPagina>& paginas) override {
        ImprimeNaImpressora(impressora_, paginas, "KOVA");
        return true;
    }

private:
    std::string impressora_;
};

// The print set-up dialog speaks the system's language; its title is the program's.
UINT_PTR CALLBACK TituloDaConfiguracao(HWND h, UINT msg, WPARAM, LPARAM) {
    if (msg == WM_INITDIALOG) SetWindowTextW(h, Largo("Configurar impressora").c_str());
    return 0;
}

// The window of the program's own that holds a window (itself or a control in it), or null.
JanelaModal* JanelaDe(HWND h) {
    HWND raiz = h ? GetAncestor(h, GA_ROOT) : nullptr;
    if (!raiz) return nullptr;
    wchar_t classe[32];
    if (!GetClassNameW(raiz, classe, 32) || lstrcmpW(classe, kClasseJanela) != 0) return nullptr;
    return reinterpret_cast<JanelaModal*>(GetWindowLongPtrW(raiz, GWLP_USERDATA));
}

}  // namespace

// The monitor's scale of a window, where Windows tells it (10 and later), else the system's.
int DpiDe(HWND h) {
    using Funcao = UINT(WINAPI*)(HWND);
    static const auto f = reinterpret_cast<Funcao>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"user32.dll"), "GetDpiForWindow")));
    if (f && h) {
        const UINT dpi = f(h);
        if (dpi) return int(dpi);
    }
    HDC dc = GetDC(nullptr);
    const int dpi = GetDeviceCaps(dc, LOGPIXELSY);
    ReleaseDC(nullptr, dc);
    return dpi > 0 ? dpi : 96;
}

HFONT FonteDaInterface(int dpi, int pontos, bool negrito) {
    NONCLIENTMETRICSW m{};
    m.cbSize = sizeof m;
    SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof m, &m, 0);
    LOGFONTW f = m.lfMessageFont;
    const int sistema = DpiDe(nullptr);
    f.lfHeight = pontos ? -MulDiv(pontos, dpi, 72) : MulDiv(f.lfHeight, dpi, sistema);
    if (negrito) f.lfWeight = FW_BOLD;
    return CreateFontIndirectW(&f);
}

// The rectangle of the work area of the window's monitor.
RECT AreaDeTrabalho(HWND h) {
    MONITORINFO mi{};
    mi.cbSize = sizeof mi;
    GetMonitorInfoW(MonitorFromWindow(h, MONITOR_DEFAULTTOPRIMARY), &mi);
    return mi.rcWork;
}

JanelaModal::JanelaModal(HWND dono, const std::string& titulo, int largura, int altura,
                         bool redimensionavel)
    : dono_(dono) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = Proc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = kClasseJanela;
    wc.hIcon = LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(1));
    RegisterClassExW(&wc);
    dpi_ = DpiDe(dono);
    RECT r{0, 0, E(largura), E(altura)};
    DWORD estilo = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
    if (redimensionavel) estilo |= WS_THICKFRAME | WS_MAXIMIZEBOX;
    AdjustWindowRectEx(&r, estilo, FALSE, WS_EX_DLGMODALFRAME);
    // Within the screen, centred over the owner.
    const RECT area = AreaDeTrabalho(dono);
    RECT d{};
    GetWindowRect(dono, &d);
    const int l = std::min<int>(r.right - r.left, area.right - area.left);
    const int a = std::min<int>(r.bottom - r.top, area.bottom - area.top);
    const int x =
        std::max<int>(area.left, std::min<int>(area.right - l, (d.left + d.right - l) / 2));
    const int y =
        std::max<int>(area.top, std::min<int>(area.bottom - a, (d.top + d.bottom - a) / 2));
    janela_ = CreateWindowExW(WS_EX_DLGMODALFRAME, kClasseJanela, Largo(titulo).c_str(), estilo, x,
                              y, l, a, dono, nullptr, GetModuleHandleW(nullptr), this);
    fonte_ = FonteDaInterface(dpi_);
}

JanelaModal::~JanelaModal() {
    if (janela_) {
        SetWindowLongPtrW(janela_, GWLP_USERDATA, 0);
        DestroyWindow(janela_);
    }
    for (HFONT f : fontes_) DeleteObject(f);
    DeleteObject(fonte_);
}

HWND JanelaModal::Cria(const wchar_t* classe, const std::string& texto, DWORD estilo, int id, int x,
                       int y, int l, int a, HFONT fonte) {
    HWND h =
        CreateWindowExW(0, classe, Largo(texto).c_str(), WS_CHILD | WS_VISIBLE | estilo, E(x), E(y),
                        E(l), E(a), janela_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                        GetModuleHandleW(nullptr), nullptr);
    SendMessageW(h, WM_SETFONT, reinterpret_cast<WPARAM>(fonte ? fonte : fonte_), TRUE);
    return h;
}

HFONT JanelaModal::Fonte(int pontos, bool negrito) {
    fontes_.push_back(FonteDaInterface(dpi_, pontos, negrito));
    return fontes_.back();
}

HWND JanelaModal::Barra(const std::vector<Botao>& botoes, bool embaixo) {
    botoes_ = botoes;
    barra_ = CreateWindowExW(0, TOOLBARCLASSNAMEW, nullptr,
                             WS_CHILD | WS_VISIBLE | TBSTYLE_FLAT | TBSTYLE_LIST |
                                 TBSTYLE_TOOLTIPS | (embaixo ? CCS_BOTTOM : CCS_TOP),
                             0, 0, 0, 0, janela_, nullptr, GetModuleHandleW(nullptr), nullptr);
    SendMessageW(barra_, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
    SendMessageW(barra_, TB_SETBITMAPSIZE, 0, MAKELPARAM(0, 0));
    SendMessageW(barra_, TB_SETEXTENDEDSTYLE, 0, TBSTYLE_EX_MIXEDBUTTONS);
    std::vector<std::wstring> legendas;
    legendas.reserve(botoes.size());
    std::vector<TBBUTTON> b(botoes.size());
    for (size_t i = 0; i < botoes.size(); ++i) {
        b[i].idCommand = botoes[i].id;
        b[i].iBitmap = I_IMAGENONE;
        if (botoes[i].id == 0) {
            b[i].fsStyle = BTNS_SEP;
            continue;
        }
        legendas.push_back(Largo(botoes[i].legenda));
        b[i].fsState = TBSTATE_ENABLED;
        b[i].fsStyle = BTNS_BUTTON | BTNS_AUTOSIZE | BTNS_SHOWTEXT;
        b[i].iString = reinterpret_cast<INT_PTR>(legendas.back().c_str());
    }
    SendMessageW(barra_, TB_ADDBUTTONSW, b.size(), reinterpret_cast<LPARAM>(b.data()));
    SendMessageW(barra_, WM_SETFONT, reinterpret_cast<WPARAM>(fonte_), TRUE);
    SendMessageW(barra_, TB_AUTOSIZE, 0, 0);
    return barra_;
}

void JanelaModal::HabilitaBotao(int id, bool habilitado) {
    if (barra_) SendMessageW(barra_, TB_ENABLEBUTTON, WPARAM(id), habilitado ? TRUE : FALSE);
}

int JanelaModal::AlturaDaBarra() const {
    if (!barra_) return 0;
    RECT r;
    GetWindowRect(barra_, &r);
    return r.bottom - r.top;
}

void JanelaModal::Fecha() {
    if (fechada_) return;
    fechada_ = true;
    if (!modal_) ShowWindow(janela_, SW_HIDE);
    if (AoFechar) AoFechar();
}

void JanelaModal::Mostra(HWND foco) {
    RECT r;
    GetClientRect(janela_, &r);
    if (Dispoe) Dispoe(r.right, r.bottom);
    ShowWindow(janela_, SW_SHOWNORMAL);
    SetForegroundWindow(janela_);
    SetFocus(foco);
}

bool JanelaModal::Atalho(const MSG& m) {
    // Alt and a button's underlined letter presses it, as in a menu.
    if (!barra_ || m.message != WM_SYSKEYDOWN || m.wParam < 'A' || m.wParam > 'Z') return false;
    UINT id = 0;
    if (!SendMessageW(barra_, TB_MAPACCELERATORW, towlower(wchar_t(m.wParam)),
                      reinterpret_cast<LPARAM>(&id)))
        return false;
    if (SendMessageW(barra_, TB_ISBUTTONENABLED, id, 0))
        PostMessageW(janela_, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                     reinterpret_cast<LPARAM>(barra_));
    return true;
}

void JanelaModal::Exibe(HWND foco) {
    modal_ = true;
    EnableWindow(dono_, FALSE);
    Mostra(foco);
    MSG m;
    bool sair = false;
    WPARAM codigo = 0;
    while (!fechada_) {
        const BOOL r = GetMessageW(&m, nullptr, 0, 0);
        if (r <= 0) {
            sair = r == 0;
            codigo = m.wParam;
            break;
        }
        // The window the message is for: this one, or one shown with Mostra over it.
        JanelaModal* j = JanelaDe(m.hwnd);
        if (m.message == WM_KEYDOWN && m.wParam == VK_F1 && j && j->Topico) {
            Protege([j] { AbrirAjudaWin(j->Topico); });
        } else if (!(j && (j->Atalho(m) || IsDialogMessageW(j->janela_, &m)))) {
            TranslateMessage(&m);
            DispatchMessageW(&m);
        }
        if (AposMensagem) AposMensagem();
    }
    EnableWindow(dono_, TRUE);
    ShowWindow(janela_, SW_HIDE);
    SetActiveWindow(dono_);
    if (sair) PostQuitMessage(int(codigo));
}

LRESULT CALLBACK JanelaModal::Proc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_NCCREATE) {
        auto* cs = reinterpret_cast<CREATESTRUCTW*>(lp);
        SetWindowLongPtrW(h, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(cs->lpCreateParams));
    }
    auto* j = reinterpret_cast<JanelaModal*>(GetWindowLongPtrW(h, GWLP_USERDATA));
    if (j) {
        switch (msg) {
            case WM_COMMAND:
                if (LOWORD(wp) == IDCANCEL) {
                    j->Fecha();
                    return 0;
                }
                if (j->Comando) {
                    Protege([&] { j->Comando(LOWORD(wp), HIWORD(wp)); });
                    return 0;
                }
                break;
            case WM_NOTIFY: {
                auto* n = reinterpret_cast<NMHDR*>(lp);
                if (n->code == TTN_GETDISPINFOW && j->barra_) {
                    // The hint of the toolbar button under the pointer.
                    for (const Botao& b : j->botoes_) {
                        if (b.id != 0 && UINT_PTR(b.id) == n->idFrom) {
                            j->dica_ = Largo(b.dica ? b.dica : "");
                            reinterpret_cast<NMTTDISPINFOW*>(lp)->lpszText = j->dica_.data();
                        }
                    }
                    return 0;
                }
                if (j->Notificacao) return j->Notificacao(*n);
                break;
            }
            case WM_SIZE:
                if (j->barra_) SendMessageW(j->barra_, TB_AUTOSIZE, 0, 0);
                if (j->Dispoe) j->Dispoe(LOWORD(lp), HIWORD(lp));
                return 0;
            case WM_CLOSE:
                j->Fecha();
                return 0;
            default:
                break;
        }
    }
    return DefWindowProcW(h, msg, wp, lp);
}

GradeWin::GradeWin(JanelaModal& janela, int id, TDataSet& tabela, std::vector<Coluna> colunas)
    : tabela_(tabela), colunas_(std::move(colunas)) {
    h_ = janela.Cria(
        WC_LISTVIEWW, "",
        WS_TABSTOP | WS_BORDER | LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS | LVS_OWNERDATA, id,
        0, 0, 10, 10);
    SendMessageW(h_, LVM_SETEXTENDEDLISTVIEWSTYLE, 0,
                 LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES | LVS_EX_DOUBLEBUFFER);
    for (size_t i = 0; i < colunas_.size(); ++i) {
        std::wstring titulo = Largo(colunas_[i].titulo);
        LVCOLUMNW col{};
        col.mask = LVCF_TEXT | LVCF_FMT | LVCF_WIDTH;
        col.fmt = colunas_[i].formato;
        col.pszText = titulo.data();
        col.cx = janela.E(100);
        SendMessageW(h_, LVM_INSERTCOLUMNW, i, reinterpret_cast<LPARAM>(&col));
    }
    margem_ = janela.E(8);
}

void GradeWin::Mostra(std::vector<TBookmark> linhas, int larguraMaxima) {
    linhas_ = std::move(linhas);
    SendMessageW(h_, LVM_SETITEMCOUNT, linhas_.size(), 0);
    // Columns as wide as their titles and contents; a long name is cut. The title is measured
    // apart: a list of this kind measures only its rows.
    for (size_t i = 0; i < colunas_.size(); ++i) {
        SendMessageW(h_, LVM_SETCOLUMNWIDTH, i, LVSCW_AUTOSIZE);
        const std::wstring titulo = Largo(colunas_[i].titulo);
        const auto titulos =
            SendMessageW(h_, LVM_GETSTRINGWIDTHW, 0, reinterpret_cast<LPARAM>(titulo.c_str())) +
            2 * margem_;
        auto largura = std::max(SendMessageW(h_, LVM_GETCOLUMNWIDTH, i, 0), titulos);
        if (larguraMaxima > 0) largura = std::min<LRESULT>(largura, larguraMaxima);
        SendMessageW(h_, LVM_SETCOLUMNWIDTH, i, largura);
    }
    LVITEMW item{};
    item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageW(h_, LVM_SETITEMSTATE, WPARAM(-1), reinterpret_cast<LPARAM>(&item));
    const TBookmark atual = tabela_.GetBookmark();
    for (size_t i = 0; i < linhas_.size(); ++i) {
        if (linhas_[i] != atual) continue;
        item.state = LVIS_SELECTED | LVIS_FOCUSED;
        SendMessageW(h_, LVM_SETITEMSTATE, i, reinterpret_cast<LPARAM>(&item));
        SendMessageW(h_, LVM_ENSUREVISIBLE, i, FALSE);
        break;
    }
    InvalidateRect(h_, nullptr, FALSE);
}

bool GradeWin::IrParaSelecionada() {
    const auto linha = SendMessageW(h_, LVM_GETNEXTITEM, WPARAM(-1), LVNI_SELECTED);
    if (linha < 0 || size_t(linha) >= linhas_.size()) return false;
    if (linhas_[size_t(linha)] != tabela_.GetBookmark())
        tabela_.GotoBookmark(linhas_[size_t(linha)]);
    return true;
}

bool GradeWin::Notificacao(NMHDR& n) {
    if (n.hwndFrom != h_ || n.code != LVN_GETDISPINFOW) return false;
    auto& d = reinterpret_cast<NMLVDISPINFOW&>(n);
    const size_t linha = size_t(d.item.iItem), coluna = size_t(d.item.iSubItem);
    if ((d.item.mask & LVIF_TEXT) && linha < linhas_.size() && coluna < colunas_.size() &&
        d.item.cchTextMax > 0) {
        TField* f = tabela_.FindField(colunas_[coluna].campo);
        std::string texto = f ? tabela_.DisplayTextAt(linhas_[linha], f->Index()) : std::string();
        if (colunas_[coluna].formata) texto = colunas_[coluna].formata(texto);
        texto_ = Largo(texto);
        lstrcpynW(d.item.pszText, texto_.c_str(), d.item.cchTextMax);
    }
    return true;
}

std::unique_ptr<TSaidaImpressao> AbreImpressora() {
    std::string impressora = ImpressoraEscolhida();
    if (impressora.empty()) impressora = ImpressoraPadrao();
    if (impressora.empty())
        throw Exception("Não há impressora instalada: as KOVA não foram impressas");
    return std::make_unique<SaidaImpressora>(std::move(impressora));
}

// The Windows print set-up on the printer of the next prints.
void ConfigurarImpressora(HWND dono) {
    // Without printers Windows would tell so in its own language.
    if (ImpressoraPadrao().empty()) throw Exception("Não há impressora instalada");
    PRINTDLGW pd{};
    pd.lStructSize = sizeof pd;
    pd.hwndOwner = dono;
    pd.Flags = PD_PRINTSETUP | PD_ENABLESETUPHOOK | PD_NOWARNING;
    pd.lpfnSetupHook = TituloDaConfiguracao;
    if (!PrintDlgW(&pd)) {
        if (CommDlgExtendedError() == PDERR_NODEFAULTPRN)
            throw Exception("Não há impressora instalada");
        return;
    }
    if (pd.hDevNames) {
        auto* nomes = static_cast<DEVNAMES*>(GlobalLock(pd.hDevNames));
        if (nomes) {
            ImpressoraEscolhida() =
                Estreito(reinterpret_cast<const wchar_t*>(nomes) + nomes->wDeviceOffset);
            GlobalUnlock(pd.hDevNames);
        }
        GlobalFree(pd.hDevNames);
    }
    if (pd.hDevMode) GlobalFree(pd.hDevMode);
}

void AbrirAjudaWin(int topico) {
    const std::wstring pagina = PastaDoPrograma() + L"\\ajuda\\" + Largo(PaginaDoTopico(topico));
    if (GetFileAttributesW(pagina.c_str()) == INVALID_FILE_ATTRIBUTES) {
        throw Exception("O manual do KOVA não foi encontrado:\r\r" + Estreito(pagina));
    }
    const auto r = reinterpret_cast<INT_PTR>(
        ShellExecuteW(nullptr, L"open", pagina.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
    if (r <= 32) throw Exception("Não foi possível abrir o manual do KOVA:\r\r" + Estreito(pagina));
}

}  // namespace kova
