#include "FrmDigitarWin.h"

#include <commctrl.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <cwctype>

#include "CaixasDigitar.h"
#include "ColunasKOVA.h"
#include "Errors.h"
#include "PesquisaKOVA.h"
#include "TDM.h"
#include "Texto.h"
#include "TextoLargo.h"
#include "TfrmDigitar.h"

namespace kova {
namespace {

constexpr wchar_t kClasse[] = L"KovaDigitacao";
constexpr UINT kDepois = WM_APP + 1;
constexpr UINT_PTR kTimerDaTela = 1;
// The toolbar's command identifiers: this plus the button's position in kBotoes.
constexpr int kPrimeiroComando = 1000;

// The toolbar's buttons in order ("" a separator); the navigator's four carry their own captions.
constexpr const char* kBotoes[] = {"btnIncluir",
                                   "btnAlterar",
                                   "btnNovaAPartir",
                                   "btnExcluir",
                                   "",
                                   "btnSalvar",
                                   "btnDesfazer",
                                   "",
                                   "navPrimeiro",
                                   "navAnterior",
                                   "navProximo",
                                   "navUltimo",
                                   "",
                                   "btnImprimir",
                                   "btnAjuda",
                                   "btnFechar"};

// The navigator's buttons, which are not the form's controls.
struct TBotaoNavegador {
    const char* nome;
    const char* legenda;
    const char* dica;
};
constexpr TBotaoNavegador kNavegador[] = {{"navPrimeiro", "|<", "Primeiro"},
                                          {"navAnterior", "<", "Anterior"},
                                          {"navProximo", ">", "Próximo"},
                                          {"navUltimo", ">|", "Último"}};

const TBotaoNavegador* BotaoNavegador(const std::string& nome) {
    for (const TBotaoNavegador& n : kNavegador) {
        if (nome == n.nome) return &n;
    }
    return nullptr;
}

// The search page's columns, those of every grid of slips (ColunasGradeKOVA), as a list view
// aligns them.
int FormatoDaColuna(const TColunaKOVA& c) {
    switch (c.alinhamento) {
        case TColunaKOVA::Alinhamento::Centro:
            return LVCFMT_CENTER;
        case TColunaKOVA::Alinhamento::Direita:
            return LVCFMT_RIGHT;
        default:
            return LVCFMT_LEFT;
    }
}

std::wstring TextoDe(HWND h) {
    std::wstring w(size_t(GetWindowTextLengthW(h)) + 1, L'\0');
    w.resize(size_t(GetWindowTextW(h, w.data(), int(w.size()))));
    return w;
}

// A typed character as the engine keeps it; '\0' for one Windows-1252 lacks.
char Caractere(wchar_t w) {
    char c = '\0';
    BOOL perdido = FALSE;
    if (WideCharToMultiByte(1252, 0, &w, 1, &c, 1, nullptr, &perdido) != 1 || perdido) return '\0';
    return c;
}

bool Editando(const TDataSet& t) {
    return t.State() == TDataSetState::dsEdit || t.State() == TDataSetState::dsInsert;
}

bool EhCaixa(const TControlState& c) {
    return c.kind == TControlKind::Edit || c.kind == TControlKind::LookupCombo ||
           c.kind == TControlKind::ComboBox || c.name == "btnProduto";
}

HMODULE EsteModulo() {
    HMODULE m = nullptr;
    GetModuleHandleExW(
        GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
        reinterpret_cast<LPCWSTR>(&EsteModulo), &m);
    return m;
}

int DpiDe(HWND h) {
    using Dpi = UINT(WINAPI*)(HWND);
    if (auto dpi = reinterpret_cast<Dpi>(reinterpret_cast<void*>(
            GetProcAddress(GetModuleHandleW(L"user32.dll"), "GetDpiForWindow")))) {
        if (const UINT d = dpi(h)) return int(d);
    }
    HDC dc = GetDC(nullptr);
    const int d = GetDeviceCaps(dc, LOGPIXELSY);
    ReleaseDC(nullptr, dc);
    return d > 0 ? d : 96;
}

// A bank's logo kept as the bytes of a BMP file.
HBITMAP Bitmap(const TBytes& bytes) {
    BITMAPFILEHEADER arquivo;
    if (bytes.size() < sizeof arquivo + sizeof(BITMAPINFOHEADER)) return nullptr;
    std::memcpy(&arquivo, bytes.data(), sizeof arquivo);
    if (arquivo.bfType != 0x4D42 || arquivo.bfOffBits >= bytes.size() ||
        arquivo.bfOffBits < sizeof arquivo + sizeof(BITMAPINFOHEADER)) {
        return nullptr;
    }
    // The header and the colour table, aligned.
    std::vector<DWORD> info((arquivo.bfOffBits - sizeof arquivo) / sizeof(DWORD) + 1);
    std::memcpy(info.data(), bytes.data() + sizeof arquivo, arquivo.bfOffBits - sizeof arquivo);
    const auto* bi = reinterpret_cast<const BITMAPINFO*>(info.data());
    HDC dc = GetDC(nullptr);
    HBITMAP b = CreateDIBitmap(dc, &bi->bmiHeader, CBM_INIT, bytes.data() + arquivo.bfOffBits, bi,
                               DIB_RGB_COLORS);
    ReleaseDC(nullptr, dc);
    return b;
}

// The folder of this module, ending in "\".
std::string PastaDoModulo() {
    wchar_t caminho[MAX_PATH] = {};
    GetModuleFileNameW(EsteModulo(), caminho, MAX_PATH);
    std::wstring p(caminho);
    p.resize(p.find_last_of(L"\\/") + 1);
    return Estreito(p);
}

}  // namespace

// The screen's surroundings while it lives: the common controls of version 6 (themed), through
// the manifest kept as resource 2 of this module (ContextoVisual.rc: a DLL's manifest is not used
// for the windows it makes unless its context is active), and the monitor's own scale.
class AmbienteDaTela {
public:
    AmbienteDaTela() {
        ACTCTXW a{};
        a.cbSize = sizeof a;
        a.dwFlags = ACTCTX_FLAG_HMODULE_VALID | ACTCTX_FLAG_RESOURCE_NAME_VALID;
        a.hModule = EsteModulo();
        a.lpResourceName = MAKEINTRESOURCEW(2);
        contexto_ = CreateActCtxW(&a);
        if (contexto_ != INVALID_HANDLE_VALUE && !ActivateActCtx(contexto_, &cookie_)) {
            ReleaseActCtx(contexto_);
            contexto_ = INVALID_HANDLE_VALUE;
        }
        // Loaded inside the context: the version the manifest names.
        comctl_ = LoadLibraryW(L"comctl32.dll");
        using Inicia = BOOL(WINAPI*)(const INITCOMMONCONTROLSEX*);
        if (auto inicia = reinterpret_cast<Inicia>(
                reinterpret_cast<void*>(GetProcAddress(comctl_, "InitCommonControlsEx")))) {
            INITCOMMONCONTROLSEX i{sizeof i, ICC_BAR_CLASSES | ICC_TAB_CLASSES |
                                                 ICC_LISTVIEW_CLASSES | ICC_STANDARD_CLASSES};
            inicia(&i);
        }
        // Sharp text on a high-resolution monitor: the window follows its monitor's scale.
        if (auto define = reinterpret_cast<Consciencia>(reinterpret_cast<void*>(
                GetProcAddress(GetModuleHandleW(L"user32.dll"), "SetThreadDpiAwarenessContext")))) {
            definida_ = define;
            anterior_ = define(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2);
            if (!anterior_) anterior_ = define(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE);
        }
    }
    ~AmbienteDaTela() {
        if (definida_ && anterior_) definida_(anterior_);
        if (comctl_) FreeLibrary(comctl_);
        if (contexto_ != INVALID_HANDLE_VALUE) {
            DeactivateActCtx(0, cookie_);
            ReleaseActCtx(contexto_);
        }
    }
    AmbienteDaTela(const AmbienteDaTela&) = delete;
    AmbienteDaTela& operator=(const AmbienteDaTela&) = delete;

private:
    HANDLE contexto_ = INVALID_HANDLE_VALUE;
    ULONG_PTR cookie_ = 0;
    HMODULE comctl_ = nullptr;
    using Consciencia = DPI_AWARENESS_CONTEXT(WINAPI*)(DPI_AWARENESS_CONTEXT);
    Consciencia definida_ = nullptr;
    DPI_AWARENESS_CONTEXT anterior_ = nullptr;
};

// ------------------------------------------------------------------ building

FrmDigitarWin::FrmDigitarWin(TfrmDigitar& form, TDM& dm) : form_(form), dm_(dm) {
    contexto_ = std::make_unique<AmbienteDaTela>();
    Cria();
    for (const auto& c : form_.Controles.Controls()) Aplica(*c);
    form_.Controles.OnChange = [this](const TControlState& c) { Aplica(c); };
    form_.OnFechar = [this] { Fechou(); };
    form_.OnTrazerParaFrente = [this] {
        SetForegroundWindow(janela_);
        BringWindowToTop(janela_);
    };
    vinculo_.SetDataSet(&dm_.cdsKOVA);
    vinculo_.OnDataChange = [this](TDataSource&, TField* campo) { DadosMudaram(campo); };
    vinculo_.OnStateChange = [this](TDataSource&) { EstadoMudou(); };
    EstadoMudou();
    DadosMudaram(nullptr);
}

FrmDigitarWin::~FrmDigitarWin() {
    form_.Controles.OnChange = nullptr;
    form_.Controles.OnFocus = nullptr;
    form_.OnFechar = nullptr;
    form_.OnTrazerParaFrente = nullptr;
    vinculo_.SetDataSet(nullptr);
    if (janela_) {
        SetWindowLongPtrW(janela_, GWLP_USERDATA, 0);
        for (const auto& [h, proc] : procs_) {
            SetWindowLongPtrW(h, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(proc));
        }
        DestroyWindow(janela_);
    }
    UnregisterClassW(kClasse, EsteModulo());
    for (HBITMAP b : logos_) DeleteObject(b);
    for (HFONT f : {fonte_, negrito_, titulo_}) {
        if (f) DeleteObject(f);
    }
}

void FrmDigitarWin::Cria() {
    const HINSTANCE inst = EsteModulo();
    // The class lives while the screen does: a host may unload the library and load it again
    // elsewhere, and a class left behind would call into the old place. One a crash left is
    // replaced.
    UnregisterClassW(kClasse, inst);
    WNDCLASSEXW c{};
    c.cbSize = sizeof c;
    c.lpfnWndProc = ProcJanela;
    c.hInstance = inst;
    c.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));
    c.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    c.hIcon = LoadIconW(nullptr, MAKEINTRESOURCEW(32512));
    c.lpszClassName = kClasse;
    if (!RegisterClassExW(&c)) throw Exception("Não foi possível criar a tela de digitação");
    // The host's window in front, if it has one, owns the screen once shown (ExibirModal).
    HWND dono = GetActiveWindow();
    dono_ = dono;
    janela_ = CreateWindowExW(WS_EX_CONTROLPARENT, kClasse, Largo("Digitação de KOVA").c_str(),
                              WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, CW_USEDEFAULT, CW_USEDEFAULT,
                              980, 660, nullptr, nullptr, inst, this);
    if (!janela_) throw Exception("Não foi possível criar a tela de digitação");
    dpi_ = DpiDe(janela_);
    MontaBarra();
    abas_ = CreateWindowExW(0, WC_TABCONTROLW, L"", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, 0, 0,
                            0, 0, janela_, nullptr, inst, nullptr);
    RefazAbas();
    MontaPaginaKOVA();
    MontaPesquisa();
    Novo("dbtRegistro", L"STATIC", SS_LEFT | SS_NOPREFIX, "");
    Novo("lblState", L"STATIC", SS_RIGHT | SS_NOPREFIX, "");
    // The groups and the pages lie under the boxes (the authentication group over the guide's).
    for (const char* g : {"GBAutenticacao", "GBGuia", "GBValores", "GBBancos", "#titulo"}) {
        SetWindowPos(Acha(g)->h, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    }
    SetWindowPos(abas_, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    Fontes();

    // The window and its footer inside the monitor's free area, centred on it.
    MONITORINFO m{};
    m.cbSize = sizeof m;
    GetMonitorInfoW(MonitorFromWindow(dono ? dono : janela_, MONITOR_DEFAULTTOPRIMARY), &m);
    const RECT livre = m.rcWork;
    const int largura = std::min(E(980), int(livre.right - livre.left));
    const int altura = std::min(E(660), int(livre.bottom - livre.top));
    SetWindowPos(janela_, nullptr, livre.left + (livre.right - livre.left - largura) / 2,
                 livre.top + (livre.bottom - livre.top - altura) / 2, largura, altura,
                 SWP_NOZORDER | SWP_NOACTIVATE);
    Dispoe();
}

void FrmDigitarWin::MontaBarra() {
    barra_ = CreateWindowExW(0, TOOLBARCLASSNAMEW, nullptr,
                             WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | TBSTYLE_FLAT | TBSTYLE_LIST |
                                 CCS_NODIVIDER | CCS_TOP | TBSTYLE_TOOLTIPS,
                             0, 0, 0, 0, janela_, nullptr, EsteModulo(), nullptr);
    SendMessageW(barra_, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
    SendMessageW(barra_, TB_SETBITMAPSIZE, 0, MAKELPARAM(0, 0));
    for (size_t i = 0; i < std::size(kBotoes); ++i) {
        const std::string nome = kBotoes[i];
        std::wstring texto;
        if (const TBotaoNavegador* n = BotaoNavegador(nome)) {
            texto = Largo(n->legenda);
        } else if (!nome.empty()) {
            texto = Largo(form_.Controles.Get(nome).caption);
        }
        TBBUTTON b{};
        b.iBitmap = I_IMAGENONE;
        b.idCommand = kPrimeiroComando + int(i);
        b.fsState = TBSTATE_ENABLED;
        b.fsStyle = nome.empty() ? BTNS_SEP : BTNS_BUTTON | BTNS_AUTOSIZE | BTNS_SHOWTEXT;
        b.iString = reinterpret_cast<INT_PTR>(texto.c_str());
        SendMessageW(barra_, TB_ADDBUTTONSW, 1, reinterpret_cast<LPARAM>(&b));
    }
}

HWND FrmDigitarWin::Novo(const std::string& nome, const wchar_t* classe, DWORD estilo,
                         const std::string& pagina, bool doModelo, const std::wstring& texto) {
    const bool edicao = std::wcscmp(classe, L"EDIT") == 0;
    HWND h = CreateWindowExW(edicao ? WS_EX_CLIENTEDGE : 0, classe, texto.c_str(),
                             WS_CHILD | WS_CLIPSIBLINGS | estilo, 0, 0, 0, 0, janela_, nullptr,
                             EsteModulo(), nullptr);
    auto c = std::make_unique<Controle>();
    c->nome = nome;
    c->h = h;
    c->pagina = pagina;
    c->doModelo = doModelo;
    porJanela_[h] = c.get();
    controles_.push_back(std::move(c));
    // Every control of the screen tells the window where the focus goes and what is typed.
    procs_[h] = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(h, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(ProcControle)));
    return h;
}

void FrmDigitarWin::MontaPaginaKOVA() {
    const std::string p = "tbsKOVA";
    // The slip's name, with the accredited banks' logos over it once a state is chosen.
    Novo("#titulo", L"BUTTON", BS_GROUPBOX, p, false);
    Novo("#nome", L"STATIC", SS_CENTER | SS_CENTERIMAGE | SS_NOPREFIX, p, false,
         Largo("FENNOLAR - KOVA"));
    Novo("GBBancos", L"BUTTON", BS_GROUPBOX, p);
    for (const char* g : {"GBGuia", "GBValores", "GBAutenticacao"}) {
        Novo(g, L"BUTTON", BS_GROUPBOX, p);
    }
    for (const auto& c : form_.Controles.Controls()) {
        if (c->parent != "GBGuia" && c->parent != "GBValores" && c->parent != "pnlProduto")
            continue;
        switch (c->kind) {
            case TControlKind::Label:
                Novo(c->name, L"STATIC", SS_LEFT | SS_NOPREFIX, p);
                break;
            case TControlKind::Edit: {
                const TRegraCaixa regra = RegraDaCaixa(*c, dm_.cdsKOVA);
                HWND h =
                    Novo(c->name, L"EDIT",
                         WS_TABSTOP | ES_AUTOHSCROLL | (regra.maiusculas ? ES_UPPERCASE : 0), p);
                if (!regra.mascara.empty()) {
                    auto mascara = std::make_unique<TMascaraCaixa>(regra.mascara);
                    SendMessageW(h, EM_LIMITTEXT, mascara->Formata(std::string(64, '0')).size(), 0);
                    Acha(c->name)->mascara = std::move(mascara);
                } else if (regra.comprimento > 0) {
                    SendMessageW(h, EM_LIMITTEXT, WPARAM(regra.comprimento), 0);
                }
                break;
            }
            case TControlKind::LookupCombo:
            case TControlKind::ComboBox:
                Novo(c->name, L"COMBOBOX", WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST, p);
                break;
            case TControlKind::Button:
                Novo(c->name, L"BUTTON", WS_TABSTOP | BS_PUSHBUTTON, p, true, L"...");
                break;
            default:
                break;
        }
    }
    // The lists open wide enough for their descriptions.
    for (const TListaDigitar& l : ListasDigitar()) {
        if (Controle* c = Acha(l.nome)) SendMessageW(c->h, CB_SETDROPPEDWIDTH, E(420), 0);
    }
}

void FrmDigitarWin::MontaPesquisa() {
    const std::string p = "tbsPesquisar";
    Novo("#localizar", L"STATIC", SS_LEFT, p, false, Largo("&Localizar:"));
    pesquisa_ = Novo("edtPesquisa", L"EDIT", WS_TABSTOP | ES_AUTOHSCROLL, p, false);
    SendMessageW(pesquisa_, EM_SETCUEBANNER, TRUE,
                 reinterpret_cast<LPARAM>(Largo("Nº da KOVA, CNPJ/CPF, nome ou UF").c_str()));
    grade_ = Novo(
        "dbgSolicitacaoKOVA", WC_LISTVIEWW,
        WS_TABSTOP | WS_BORDER | LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS | LVS_OWNERDATA, p);
    SendMessageW(grade_, LVM_SETEXTENDEDLISTVIEWSTYLE, 0,
                 LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES | LVS_EX_DOUBLEBUFFER);
    const std::vector<TColunaKOVA>& colunas = ColunasGradeKOVA();
    for (size_t i = 0; i < colunas.size(); ++i) {
        std::wstring titulo = Largo(colunas[i].titulo);
        LVCOLUMNW col{};
        col.mask = LVCF_TEXT | LVCF_FMT | LVCF_WIDTH;
        col.fmt = FormatoDaColuna(colunas[i]);
        col.pszText = titulo.data();
        col.cx = E(100);
        SendMessageW(grade_, LVM_INSERTCOLUMNW, i, reinterpret_cast<LPARAM>(&col));
    }
    Novo("#classificar", L"STATIC", SS_LEFT | SS_NOPREFIX, p, false, Largo("Classificar por:"));
    Novo("rdbKOVA", L"BUTTON", WS_TABSTOP | WS_GROUP | BS_AUTORADIOBUTTON, p);
    Novo("RDGCICContribuinte", L"BUTTON", WS_TABSTOP | BS_AUTORADIOBUTTON, p);
}

void FrmDigitarWin::Fontes() {
    NONCLIENTMETRICSW m{};
    m.cbSize = sizeof m;
    SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof m, &m, 0);
    LOGFONTW f = m.lfMessageFont;
    f.lfHeight = -MulDiv(9, dpi_, 72);
    for (HFONT h : {fonte_, negrito_, titulo_}) {
        if (h) DeleteObject(h);
    }
    fonte_ = CreateFontIndirectW(&f);
    f.lfWeight = FW_BOLD;
    negrito_ = CreateFontIndirectW(&f);
    f.lfHeight = -MulDiv(15, dpi_, 72);
    titulo_ = CreateFontIndirectW(&f);
    SendMessageW(barra_, WM_SETFONT, reinterpret_cast<WPARAM>(fonte_), TRUE);
    SendMessageW(abas_, WM_SETFONT, reinterpret_cast<WPARAM>(fonte_), TRUE);
    for (const auto& c : controles_) {
        HFONT fonte = c->nome == "#nome" ? titulo_ : c->nome == "dbtRegistro" ? negrito_ : fonte_;
        SendMessageW(c->h, WM_SETFONT, reinterpret_cast<WPARAM>(fonte), TRUE);
    }
    SendMessageW(barra_, TB_AUTOSIZE, 0, 0);
}

void FrmDigitarWin::Coloca(const std::string& nome, int x, int y, int l, int a) {
    Controle* c = Acha(nome);
    if (!c) return;
    wchar_t classe[16] = {};
    GetClassNameW(c->h, classe, 16);
    // A list's height is that of its open entries.
    if (_wcsicmp(classe, L"ComboBox") == 0) a = E(320);
    MoveWindow(c->h, x, y, std::max(l, 1), std::max(a, 1), TRUE);
}

void FrmDigitarWin::Dispoe() {
    if (!barra_) return;
    RECT cliente;
    GetClientRect(janela_, &cliente);
    const int largura = cliente.right, altura = cliente.bottom;
    SendMessageW(barra_, TB_AUTOSIZE, 0, 0);
    RECT rb;
    GetWindowRect(barra_, &rb);
    const int topo = rb.bottom - rb.top;
    const int rodape = altura - E(22);
    Coloca("dbtRegistro", E(8), rodape + E(2), E(320), E(18));
    Coloca("lblState", largura - E(328), rodape + E(2), E(320), E(18));
    MoveWindow(abas_, E(6), topo + E(2), largura - E(12), rodape - topo - E(4), TRUE);
    RECT area{0, 0, largura - E(12), rodape - topo - E(4)};
    SendMessageW(abas_, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&area));
    const int x0 = E(6) + area.left, y0 = topo + E(2) + area.top;
    const int w = area.right - area.left, h = area.bottom - area.top;

    // The slip page: the title (or the banks), the guide on the left, the amounts on the right.
    const int alturaTopo = E(46);
    Coloca("#titulo", x0 + E(4), y0, w - E(8), alturaTopo);
    Coloca("#nome", x0 + E(12), y0 + E(12), w - E(24), alturaTopo - E(16));
    Coloca("GBBancos", x0 + E(4), y0, w - E(8), alturaTopo);
    bancos_ = {x0 + E(12), y0 + E(14)};
    for (const auto& [logo, esquerda] : janelasLogos_) {
        SetWindowPos(logo, nullptr, bancos_.x + E(esquerda), bancos_.y, 0, 0,
                     SWP_NOSIZE | SWP_NOZORDER);
    }
    const int y1 = y0 + alturaTopo + E(2);
    const int corpo = y0 + h - y1 - E(4);
    const int lg = (w - E(12)) * 3 / 5, ld = w - E(12) - lg;
    const int xg = x0 + E(4), xd = xg + lg + E(4);
    Coloca("GBGuia", xg, y1, lg, corpo);
    Coloca("GBValores", xd, y1, ld, corpo);
    const int linha = E(40);
    auto caixa = [&](const char* nome, int x, int y, int l) {
        Coloca(std::string("lbl") + nome, x, y, l, E(15));
        Coloca(nome, x, y + E(16), l, E(22));
    };
    int xi = xg + E(8), wi = lg - E(16), y = y1 + E(16);
    const int metade = (wi - E(8)) / 2, quarto = (wi - E(18)) / 4;
    caixa("dblcUFFavorecida2", xi, y, metade);
    caixa("dbeDataVencimento", xi + metade + E(8), y, metade);
    y += linha;
    for (const char* nome : {"dbeConvenio", "dbeRazaoSocial"}) {
        caixa(nome, xi, y, wi);
        y += linha;
    }
    caixa("dbeInscricaoEstadual", xi, y, metade);
    y += linha;
    caixa("dbeEndereco", xi, y, wi);
    y += linha;
    int x = xi;
    for (const char* nome : {"dbeMunicipio", "dblcUF", "dbeCEP", "dbeTelefone"}) {
        caixa(nome, x, y, quarto);
        x += quarto + E(6);
    }
    y += linha;
    caixa("dbeInformacoes", xi, y, wi);
    y += linha;
    Coloca("lblProduto", xi, y + E(4), E(130), E(16));
    Coloca("dblcProduto", xi + E(134), y, wi - E(134) - E(36), E(22));
    Coloca("btnProduto", xi + wi - E(30), y, E(30), E(23));
    y += E(30);
    Coloca("GBAutenticacao", xi, y, wi, std::max(E(40), y1 + corpo - y - E(8)));

    xi = xd + E(8), wi = ld - E(16), y = y1 + E(16);
    for (const char* nome : {"dblcUFFavorecida", "dblcReceita", "dbeCICContribuinte",
                             "dbeDocumentoOrigem", "dbeReferencia"}) {
        caixa(nome, xi, y, wi);
        y += linha;
    }
    // The period pickers stand in box 05's place.
    const int dia = (wi - E(8)) / 2, mes = (wi - E(8)) / 4;
    Coloca("cbxPeriodoDia", xi, y - linha + E(16), dia, E(22));
    Coloca("cbxPeriodoMes", xi + dia + E(4), y - linha + E(16), mes, E(22));
    Coloca("cbxPeriodoAno", xi + dia + mes + E(8), y - linha + E(16), wi - dia - mes - E(8), E(22));
    for (const char* nome : kCaixasDeValor) {
        caixa(nome, xi, y, wi);
        y += linha;
    }

    // The search page: the search box, the grid, the two orders.
    Coloca("#localizar", x0 + E(8), y0 + E(10), E(70), E(18));
    Coloca("edtPesquisa", x0 + E(80), y0 + E(6), w - E(88), E(22));
    Coloca("dbgSolicitacaoKOVA", x0 + E(8), y0 + E(34), w - E(16), h - E(70));
    Coloca("#classificar", x0 + E(8), y0 + h - E(28), E(100), E(18));
    Coloca("rdbKOVA", x0 + E(112), y0 + h - E(30), E(90), E(22));
    Coloca("RDGCICContribuinte", x0 + E(210), y0 + h - E(30), E(260), E(22));
    InvalidateRect(janela_, nullptr, TRUE);
}

FrmDigitarWin::Controle* FrmDigitarWin::Acha(const std::string& nome) {
    for (const auto& c : controles_) {
        if (c->nome == nome) return c.get();
    }
    return nullptr;
}

const FrmDigitarWin::Controle* FrmDigitarWin::Acha(const std::string& nome) const {
    return const_cast<FrmDigitarWin*>(this)->Acha(nome);
}

FrmDigitarWin::Controle* FrmDigitarWin::De(HWND h) {
    auto it = porJanela_.find(h);
    return it == porJanela_.end() ? nullptr : it->second;
}

std::string FrmDigitarWin::NomeDe(HWND h) const {
    auto it = porJanela_.find(h);
    return it == porJanela_.end() || !it->second->doModelo ? std::string() : it->second->nome;
}

void FrmDigitarWin::Depois(std::function<void()> acao) {
    depois_.push_back(std::move(acao));
    PostMessageW(janela_, kDepois, 0, 0);
}

// ------------------------------------------------------------------ model to controls

void FrmDigitarWin::Aplica(const TControlState& c) {
    if (c.parent == "PanelBancos") {
        RefrescaLogos();
        return;
    }
    for (size_t i = 0; i < std::size(kBotoes); ++i) {
        if (c.name != kBotoes[i]) continue;
        const int id = kPrimeiroComando + int(i);
        SendMessageW(barra_, TB_ENABLEBUTTON, id, c.enabled);
        SendMessageW(barra_, TB_HIDEBUTTON, id, !c.visible);
        std::wstring texto = Largo(c.caption);
        TBBUTTONINFOW info{};
        info.cbSize = sizeof info;
        info.dwMask = TBIF_TEXT;
        info.pszText = texto.data();
        SendMessageW(barra_, TB_SETBUTTONINFOW, id, reinterpret_cast<LPARAM>(&info));
        return;
    }
    if (c.name == "dbnNavegador") {
        RefrescaNavegador();
        return;
    }
    if (c.kind == TControlKind::Tab) {
        RefazAbas();
        Visibilidade();
        return;
    }
    Controle* w = Acha(c.name);
    if (!w) return;
    EnableWindow(w->h, c.enabled);
    if ((c.kind == TControlKind::Label && c.field.empty()) || c.kind == TControlKind::Group) {
        SetWindowTextW(w->h, Largo(c.caption).c_str());
    }
    if (c.name == "rdbKOVA" || c.name == "RDGCICContribuinte") {
        SetWindowTextW(w->h, Largo(c.caption).c_str());
        const TControladorDigitar::Ocupado ocupado(controlador_);
        SendMessageW(w->h, BM_SETCHECK, c.itemIndex == 1 ? BST_CHECKED : BST_UNCHECKED, 0);
    }
    if (c.kind == TControlKind::ComboBox) {
        bool iguais = int(c.items.size()) == int(SendMessageW(w->h, CB_GETCOUNT, 0, 0));
        for (size_t i = 0; iguais && i < c.items.size(); ++i) {
            std::wstring item(size_t(SendMessageW(w->h, CB_GETLBTEXTLEN, i, 0)) + 1, L'\0');
            item.resize(
                size_t(SendMessageW(w->h, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(item.data()))));
            iguais = item == Largo(c.items[i]);
        }
        if (!iguais) {
            SendMessageW(w->h, CB_RESETCONTENT, 0, 0);
            for (const std::string& i : c.items) {
                SendMessageW(w->h, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Largo(i).c_str()));
            }
        }
        SendMessageW(w->h, CB_SETCURSEL, c.itemIndex < int(c.items.size()) ? c.itemIndex : -1, 0);
    } else if (c.kind == TControlKind::LookupCombo && c.itemIndex < 0 &&
               SendMessageW(w->h, CB_GETCURSEL, 0, 0) >= 0 && dm_.cdsKOVA.Active()) {
        // The form cleared the shown choice: it stays clear until the field takes another value.
        SendMessageW(w->h, CB_SETCURSEL, WPARAM(-1), 0);
        controlador_.Escolhas().Limpa(c.name, dm_.cdsKOVA.FieldByName(c.field).AsString());
    }
    // The colour is asked when the box is drawn.
    InvalidateRect(w->h, nullptr, TRUE);
    Visibilidade();
}

void FrmDigitarWin::RefazAbas() {
    // A tab control cannot hide a tab: the tabs shown are made again when they change.
    std::vector<std::string> mostradas;
    std::wstring legendas;
    for (const char* pagina : {"tbsKOVA", "tbsPesquisar"}) {
        const TControlState& c = form_.Controles.Get(pagina);
        if (!c.visible) continue;
        mostradas.push_back(pagina);
        legendas += Largo(c.caption) + L'\n';
    }
    if (mostradas == abasMostradas_ && legendas == legendasAbas_) return;
    abasMostradas_ = mostradas;
    legendasAbas_ = legendas;
    SendMessageW(abas_, TCM_DELETEALLITEMS, 0, 0);
    for (const std::string& pagina : mostradas) {
        std::wstring texto = Largo(form_.Controles.Get(pagina).caption);
        TCITEMW item{};
        item.mask = TCIF_TEXT;
        item.pszText = texto.data();
        SendMessageW(abas_, TCM_INSERTITEMW, SendMessageW(abas_, TCM_GETITEMCOUNT, 0, 0),
                     reinterpret_cast<LPARAM>(&item));
    }
    const auto it = std::find(mostradas.begin(), mostradas.end(), form_.PaginaAtiva);
    SendMessageW(abas_, TCM_SETCURSEL, it == mostradas.end() ? 0 : it - mostradas.begin(), 0);
}

void FrmDigitarWin::Visibilidade() {
    const TControlState* bancos = form_.Controles.Find("GBBancos");
    const bool comBancos = bancos && bancos->visible;
    for (const auto& c : controles_) {
        bool mostra = c->pagina.empty() || c->pagina == form_.PaginaAtiva;
        if (c->doModelo) mostra = mostra && form_.Controles.Showing(c->nome);
        // The period pickers cover box 05 (its caption stays over them).
        if (c->nome == "dbeReferencia")
            mostra = mostra && !form_.Controles.Showing("cbxPeriodoDia");
        if (c->nome == "#titulo" || c->nome == "#nome") mostra = mostra && !comBancos;
        const bool visivel = (GetWindowLongW(c->h, GWL_STYLE) & WS_VISIBLE) != 0;
        if (mostra != visivel) ShowWindow(c->h, mostra ? SW_SHOWNA : SW_HIDE);
    }
    const bool logos = comBancos && form_.PaginaAtiva == "tbsKOVA";
    for (const auto& l : janelasLogos_) ShowWindow(l.first, logos ? SW_SHOWNA : SW_HIDE);
}

void FrmDigitarWin::DadosMudaram(TField* campo) {
    for (const auto& c : form_.Controles.Controls()) {
        if (c->field.empty() || c->parent == "PanelBancos") continue;
        if (!campo || SameText(c->field, campo->FieldName())) RefrescaCaixa(*c);
    }
    for (const TListaDigitar& l : ListasDigitar()) RefrescaLista(l.nome);
    RefrescaLogos();
    if (!campo) {
        RefrescaNavegador();
        RefrescaGrade(false);
    }
}

void FrmDigitarWin::EstadoMudou() {
    RefrescaGrade(true);
    RefrescaNavegador();
    SincronizaPagina();
}

void FrmDigitarWin::RefrescaCaixa(const TControlState& c) {
    Controle* w = Acha(c.name);
    if (!w || !dm_.cdsKOVA.Active()) return;
    const TField& f = dm_.cdsKOVA.FieldByName(c.field);
    if (c.kind == TControlKind::Edit) {
        const std::wstring texto =
            Largo(Editando(dm_.cdsKOVA) || GetFocus() == w->h ? f.Text() : f.DisplayText());
        if (TextoDe(w->h) != texto) SetWindowTextW(w->h, texto.c_str());
    } else if (c.kind == TControlKind::Label) {
        SetWindowTextW(w->h, Largo(f.DisplayText()).c_str());
    } else if (c.kind == TControlKind::LookupCombo) {
        RefrescaLista(c.name);
    }
}

void FrmDigitarWin::RefrescaLista(const std::string& nome) {
    const TListaDigitar* l = ListaDigitar(nome);
    Controle* w = Acha(nome);
    if (!l || !w) return;
    TDataSet& tabela = dm_.*(l->tabela);
    if (!tabela.Active()) return;
    std::vector<std::string>& chaves = chaves_[nome];
    // Rebuilt when its rows differ: a filter switched off and on again leaves them as they were.
    if (auto [v, nova] = visiveisListas_.try_emplace(nome);
        nova || v->second != tabela.Visiveis()) {
        v->second = tabela.Visiveis();
        SendMessageW(w->h, CB_RESETCONTENT, 0, 0);
        chaves.clear();
        const int chave = tabela.FieldByName(l->chave).Index();
        std::vector<int> colunas;
        for (const char* coluna : l->colunas) colunas.push_back(tabela.FieldByName(coluna).Index());
        for (TBookmark b : tabela.VisibleRecords()) {
            std::string texto;
            for (const int coluna : colunas) {
                if (!texto.empty()) texto += " - ";
                texto += tabela.DisplayTextAt(b, coluna);
            }
            SendMessageW(w->h, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Largo(texto).c_str()));
            chaves.push_back(ValueToString(tabela.ValueAt(b, chave)));
        }
        SendMessageW(w->h, CB_SETMINVISIBLE, WPARAM(std::max(1, l->linhas)), 0);
    }
    TControlState& c = form_.Controles.Get(nome);
    const std::string atual =
        dm_.cdsKOVA.Active() ? dm_.cdsKOVA.FieldByName(c.field).AsString() : std::string();
    int indice = -1;
    if (controlador_.Escolhas().Mostra(nome, atual)) {
        auto it = std::find(chaves.begin(), chaves.end(), atual);
        if (it != chaves.end()) indice = int(it - chaves.begin());
    }
    SendMessageW(w->h, CB_SETCURSEL, WPARAM(indice), 0);
    // The model knows the shown choice, so that the form clearing it is told apart.
    c.itemIndex = indice;
}

void FrmDigitarWin::RefrescaLogos() {
    std::string assinatura;
    std::vector<const TControlState*> logos;
    for (const auto& c : form_.Controles.Controls()) {
        if (c->parent != "PanelBancos") continue;
        logos.push_back(c.get());
        assinatura += c->name + "=" + c->caption + ";";
    }
    if (assinatura == logosMostrados_ || !janela_) return;
    logosMostrados_ = assinatura;
    for (const auto& l : janelasLogos_) DestroyWindow(l.first);
    janelasLogos_.clear();
    for (HBITMAP b : logos_) DeleteObject(b);
    logos_.clear();
    TDataSet& bancos = dm_.cdsBanco;
    if (bancos.Active()) {
        const int id = bancos.FieldByName("ID").Index();
        const int logo = bancos.FieldByName("LogoTipo").Index();
        for (const TControlState* c : logos) {
            for (TBookmark b : bancos.VisibleRecords()) {
                if (ValueToString(bancos.ValueAt(b, id)) != c->caption) continue;
                const auto* bytes = std::get_if<TBytes>(&bancos.ValueAt(b, logo));
                HBITMAP imagem = bytes ? Bitmap(*bytes) : nullptr;
                if (!imagem) break;
                logos_.push_back(imagem);
                HWND h = CreateWindowExW(0, L"STATIC", L"", WS_CHILD | SS_BITMAP, 0, 0, 0, 0,
                                         janela_, nullptr, EsteModulo(), nullptr);
                SendMessageW(h, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(imagem));
                SetWindowPos(h, HWND_TOP, bancos_.x + E(c->left), bancos_.y, 0, 0, SWP_NOSIZE);
                janelasLogos_.emplace_back(h, c->left);
                break;
            }
        }
    }
    Visibilidade();
}

void FrmDigitarWin::RefrescaGrade(bool reler) {
    if (!dm_.cdsKOVA.Active() || !grade_) return;
    // A search shows some of the slips: its rows are read again only when the slips change.
    if (reler || versaoGrade_ != dm_.cdsKOVA.Versao() ||
        (TextoDe(pesquisa_).empty() && int(linhas_.size()) != dm_.cdsKOVA.RecordCount())) {
        linhas_ = PesquisaKOVA(dm_, Estreito(TextoDe(pesquisa_)));
        versaoGrade_ = dm_.cdsKOVA.Versao();
        SendMessageW(grade_, LVM_SETITEMCOUNT, linhas_.size(), LVSICF_NOSCROLL);
        if (!Editando(dm_.cdsKOVA)) {
            // As wide as their titles and contents, a long name cut as on Linux. The title is
            // measured apart: a list of this kind may measure only its rows.
            const std::vector<TColunaKOVA>& colunas = ColunasGradeKOVA();
            for (size_t i = 0; i < colunas.size(); ++i) {
                SendMessageW(grade_, LVM_SETCOLUMNWIDTH, i, LVSCW_AUTOSIZE);
                const std::wstring titulo = Largo(colunas[i].titulo);
                const LRESULT largura = std::min<LRESULT>(
                    std::max(SendMessageW(grade_, LVM_GETCOLUMNWIDTH, i, 0),
                             SendMessageW(grade_, LVM_GETSTRINGWIDTHW, 0,
                                          reinterpret_cast<LPARAM>(titulo.c_str())) +
                                 E(16)),
                    E(240));
                SendMessageW(grade_, LVM_SETCOLUMNWIDTH, i, largura);
            }
        }
    }
    atualizandoGrade_ = true;
    const TBookmark atual = dm_.cdsKOVA.GetBookmark();
    LVITEMW item{};
    item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageW(grade_, LVM_SETITEMSTATE, WPARAM(-1), reinterpret_cast<LPARAM>(&item));
    for (size_t i = 0; i < linhas_.size(); ++i) {
        if (linhas_[i] != atual) continue;
        item.state = LVIS_SELECTED | LVIS_FOCUSED;
        SendMessageW(grade_, LVM_SETITEMSTATE, i, reinterpret_cast<LPARAM>(&item));
        SendMessageW(grade_, LVM_ENSUREVISIBLE, i, FALSE);
        break;
    }
    atualizandoGrade_ = false;
    InvalidateRect(grade_, nullptr, FALSE);
}

void FrmDigitarWin::RefrescaNavegador() {
    if (!barra_) return;
    const TControlState* modelo = form_.Controles.Find("dbnNavegador");
    const bool ligado = !modelo || modelo->enabled;
    const int n = dm_.cdsKOVA.Active() ? dm_.cdsKOVA.RecordCount() : 0;
    const int posicao = dm_.cdsKOVA.Active() ? dm_.cdsKOVA.RecNo() : 0;
    for (size_t i = 0; i < std::size(kBotoes); ++i) {
        const std::string nome = kBotoes[i];
        if (nome.rfind("nav", 0) != 0) continue;
        const bool frente = nome == "navProximo" || nome == "navUltimo";
        const bool pode = ligado && n > 0 && (frente ? posicao < n : posicao > 1);
        SendMessageW(barra_, TB_ENABLEBUTTON, kPrimeiroComando + int(i), pode);
    }
}

void FrmDigitarWin::SincronizaPagina() {
    const auto it = std::find(abasMostradas_.begin(), abasMostradas_.end(), form_.PaginaAtiva);
    const int pagina = it == abasMostradas_.end() ? 0 : int(it - abasMostradas_.begin());
    if (SendMessageW(abas_, TCM_GETCURSEL, 0, 0) != pagina) {
        SendMessageW(abas_, TCM_SETCURSEL, pagina, 0);
    }
    Visibilidade();
}

void FrmDigitarWin::Fechou() {
    const TControladorDigitar::Ocupado ocupado(controlador_);
    fechada_ = true;
    PostMessageW(janela_, WM_NULL, 0, 0);
}

// ------------------------------------------------------------------ the person to the form

LRESULT CALLBACK FrmDigitarWin::ProcJanela(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_NCCREATE) {
        auto* tela =
            static_cast<FrmDigitarWin*>(reinterpret_cast<CREATESTRUCTW*>(lp)->lpCreateParams);
        SetWindowLongPtrW(h, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(tela));
        tela->janela_ = h;
    }
    auto* tela = reinterpret_cast<FrmDigitarWin*>(GetWindowLongPtrW(h, GWLP_USERDATA));
    if (!tela) return DefWindowProcW(h, msg, wp, lp);
    // No failure of the screen's may cross the system's code that called this.
    LRESULT r = 0;
    bool tratada = false;
    Protege([&] {
        r = tela->Mensagem(msg, wp, lp);
        tratada = true;
    });
    return tratada ? r : 0;
}

LRESULT CALLBACK FrmDigitarWin::ProcControle(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    auto* tela = reinterpret_cast<FrmDigitarWin*>(GetWindowLongPtrW(GetParent(h), GWLP_USERDATA));
    Controle* c = tela ? tela->De(h) : nullptr;
    WNDPROC anterior = c ? tela->procs_[h] : nullptr;
    if (!anterior) return DefWindowProcW(h, msg, wp, lp);
    LRESULT r = 0;
    bool tratada = false;
    Protege([&] {
        r = tela->MensagemDoControle(*c, anterior, msg, wp, lp);
        tratada = true;
    });
    return tratada ? r : 0;
}

LRESULT FrmDigitarWin::MensagemDoControle(Controle& c, WNDPROC anterior, UINT msg, WPARAM wp,
                                          LPARAM lp) {
    if (msg == WM_SETFOCUS) {
        const LRESULT r = CallWindowProcW(anterior, c.h, msg, wp, lp);
        FocoEntrou(c.h, reinterpret_cast<HWND>(wp));
        return r;
    }
    if (msg == WM_ERASEBKGND && (c.nome.rfind("GB", 0) == 0 || c.nome == "#titulo")) {
        // A group draws only its frame: what lies inside it, between its boxes, is filled here, as
        // the window draws nothing under its controls.
        RECT r;
        GetClientRect(c.h, &r);
        FillRect(reinterpret_cast<HDC>(wp), &r, GetSysColorBrush(COLOR_BTNFACE));
        return 1;
    }
    if (msg == WM_PASTE && c.mascara) {
        // A pasted text is laid out by the mask as if typed.
        const LRESULT r = CallWindowProcW(anterior, c.h, msg, wp, lp);
        const std::string texto = c.mascara->Formata(c.mascara->Digitados(Estreito(TextoDe(c.h))));
        SetWindowTextW(c.h, Largo(texto).c_str());
        SendMessageW(c.h, EM_SETSEL, texto.size(), texto.size());
        return r;
    }
    if (msg == WM_CHAR && c.mascara && (wp == VK_BACK || wp >= L' ')) {
        // The mask lays out what is typed: a character replaces a selected text or is added at the
        // end; Backspace takes the last one back.
        const std::string texto = Estreito(TextoDe(c.h));
        DWORD inicio = 0, fim = 0;
        SendMessageW(c.h, EM_GETSEL, reinterpret_cast<WPARAM>(&inicio),
                     reinterpret_cast<LPARAM>(&fim));
        const bool selecionado = fim > inicio;
        std::string novo;
        if (wp == VK_BACK) {
            novo = selecionado ? std::string() : c.mascara->Apaga(texto);
        } else if (const char ch = Caractere(wchar_t(wp))) {
            novo = c.mascara->Digita(selecionado ? std::string() : texto, ch);
            if (selecionado && novo.empty()) novo = texto;
        } else {
            novo = texto;
        }
        if (novo != texto) {
            SetWindowTextW(c.h, Largo(novo).c_str());
        } else if (wp != VK_BACK) {
            MessageBeep(MB_OK);
        }
        SendMessageW(c.h, EM_SETSEL, novo.size(), novo.size());
        return 0;
    }
    return CallWindowProcW(anterior, c.h, msg, wp, lp);
}

void FrmDigitarWin::FocoEntrou(HWND novo, HWND antigo) {
    Controle* n = De(novo);
    if (!n) return;
    ultimoFoco_ = novo;
    // Only moves inside this window are the person's: a dialog or another window giving the
    // focus back is no exit.
    const bool deFora = De(antigo) == nullptr;
    const std::string saiu = deFora ? std::string() : NomeDe(antigo);
    const std::string entrou = NomeDe(novo);
    if (controlador_.EstaOcupado()) {
        controlador_.FocoMudou(saiu, entrou, deFora);
        return;
    }
    // The exit and the entry may show dialogs: they run once the focus has settled.
    Depois([this, saiu, entrou, deFora] { controlador_.FocoMudou(saiu, entrou, deFora); });
}

LRESULT FrmDigitarWin::Mensagem(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case kDepois: {
            std::vector<std::function<void()>> acoes;
            acoes.swap(depois_);
            for (const auto& a : acoes) Protege(a);
            return 0;
        }
        case WM_SIZE:
            Dispoe();
            return 0;
        case WM_GETMINMAXINFO: {
            auto* m = reinterpret_cast<MINMAXINFO*>(lp);
            m->ptMinTrackSize = {E(760), E(560)};
            return 0;
        }
        case WM_DPICHANGED: {
            dpi_ = HIWORD(wp);
            Fontes();
            const auto* r = reinterpret_cast<const RECT*>(lp);
            SetWindowPos(janela_, nullptr, r->left, r->top, r->right - r->left, r->bottom - r->top,
                         SWP_NOZORDER | SWP_NOACTIVATE);
            Dispoe();
            return 0;
        }
        case WM_CLOSE:
            PedeFechar();
            return 0;
        case WM_ACTIVATE:
            if (LOWORD(wp) == WA_INACTIVE && De(GetFocus())) ultimoFoco_ = GetFocus();
            break;
        case WM_SETFOCUS:
            // The window itself takes no keys: they go to the box the person was in.
            if (ultimoFoco_ && IsWindowVisible(ultimoFoco_) && IsWindowEnabled(ultimoFoco_)) {
                SetFocus(ultimoFoco_);
            }
            return 0;
        case WM_TIMER:
            if (wp == kTimerDaTela) {
                KillTimer(janela_, kTimerDaTela);
                if (form_.TimerAtivo) Protege([this] { form_.TimerTimer(); });
            }
            return 0;
        case WM_CTLCOLOREDIT:
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLORLISTBOX: {
            // The boxes the form greys are drawn in the buttons' colour.
            const std::string nome = NomeDe(reinterpret_cast<HWND>(lp));
            const TControlState* c = nome.empty() ? nullptr : form_.Controles.Find(nome);
            if (c && (c->kind == TControlKind::Edit || c->kind == TControlKind::LookupCombo ||
                      c->kind == TControlKind::ComboBox)) {
                const int cor =
                    c->color == TColor::Window && IsWindowEnabled(reinterpret_cast<HWND>(lp))
                        ? COLOR_WINDOW
                        : COLOR_BTNFACE;
                SetBkColor(reinterpret_cast<HDC>(wp), GetSysColor(cor));
                SetTextColor(reinterpret_cast<HDC>(wp), GetSysColor(COLOR_WINDOWTEXT));
                return reinterpret_cast<LRESULT>(GetSysColorBrush(cor));
            }
            break;
        }
        case WM_COMMAND: {
            const HWND de = reinterpret_cast<HWND>(lp);
            if (de == barra_ || de == nullptr) {
                Comando(LOWORD(wp));
                return 0;
            }
            Controle* c = De(de);
            if (!c) break;
            const UINT codigo = HIWORD(wp);
            if (codigo == CBN_DROPDOWN) listaAberta_ = c->nome;
            if (codigo == CBN_CLOSEUP) listaAberta_.clear();
            if (codigo == CBN_SELENDOK && listaAberta_ == c->nome) {
                // A choice confirmed in the open list; the highlight moved by the arrows of a
                // closed list is taken when the person leaves it.
                const std::string nome = c->nome;
                const int i = int(SendMessageW(c->h, CB_GETCURSEL, 0, 0));
                if (nome.rfind("cbxPeriodo", 0) == 0) {
                    Depois([this, nome, i] { controlador_.EscolheuPeriodo(nome, i); });
                } else {
                    Depois([this, nome] { controlador_.Escolheu(nome, Chave(nome)); });
                }
            }
            if (codigo == BN_CLICKED && c->nome == "btnProduto") {
                controlador_.Executa([this] { form_.btnProdutoClick(); });
            }
            if (codigo == BN_CLICKED && (c->nome == "rdbKOVA" || c->nome == "RDGCICContribuinte") &&
                SendMessageW(c->h, BM_GETCHECK, 0, 0) == BST_CHECKED &&
                !controlador_.EstaOcupado()) {
                if (c->nome == "rdbKOVA") {
                    controlador_.OrdenaPorKOVA();
                } else {
                    controlador_.OrdenaPorContribuinte();
                }
                RefrescaGrade(true);
            }
            if (codigo == EN_CHANGE && c->h == pesquisa_) {
                // The rows found change; the current slip does not until the clerk takes one.
                const TControladorDigitar::Ocupado ocupado(controlador_);
                RefrescaGrade(true);
            }
            return 0;
        }
        case WM_NOTIFY: {
            const auto* n = reinterpret_cast<const NMHDR*>(lp);
            if (n->hwndFrom == abas_ && n->code == TCN_SELCHANGE) {
                MudouPagina();
                return 0;
            }
            if (n->code == TTN_GETDISPINFOW && n->idFrom >= UINT_PTR(kPrimeiroComando) &&
                n->idFrom < UINT_PTR(kPrimeiroComando) + std::size(kBotoes)) {
                // A toolbar button's hint.
                const char* nome = kBotoes[n->idFrom - kPrimeiroComando];
                const TControlState* b = *nome ? form_.Controles.Find(nome) : nullptr;
                const TBotaoNavegador* v = BotaoNavegador(nome);
                textoDica_ = Largo(b ? b->hint : v ? v->dica : "");
                reinterpret_cast<NMTTDISPINFOW*>(lp)->lpszText = textoDica_.data();
                return 0;
            }
            if (n->hwndFrom != grade_) break;
            if (n->code == LVN_GETDISPINFOW) {
                auto* d = reinterpret_cast<NMLVDISPINFOW*>(lp);
                const size_t linha = size_t(d->item.iItem), coluna = size_t(d->item.iSubItem);
                if ((d->item.mask & LVIF_TEXT) && linha < linhas_.size() &&
                    coluna < ColunasGradeKOVA().size() && d->item.cchTextMax > 0) {
                    const TColunaKOVA& c = ColunasGradeKOVA()[coluna];
                    TField* f = dm_.cdsKOVA.FindField(c.campo);
                    textoGrade_ =
                        f ? Largo(c.Texto(dm_.cdsKOVA.DisplayTextAt(linhas_[linha], f->Index())))
                          : std::wstring();
                    lstrcpynW(d->item.pszText, textoGrade_.c_str(), d->item.cchTextMax);
                }
                return 0;
            }
            if (n->code == LVN_ITEMCHANGED) {
                const auto* v = reinterpret_cast<const NMLISTVIEW*>(lp);
                if (!atualizandoGrade_ && !controlador_.EstaOcupado() &&
                    (v->uNewState & LVIS_SELECTED) && !(v->uOldState & LVIS_SELECTED) &&
                    v->iItem >= 0 && size_t(v->iItem) < linhas_.size()) {
                    const TBookmark b = linhas_[size_t(v->iItem)];
                    controlador_.Executa([this, b] {
                        if (b != dm_.cdsKOVA.GetBookmark()) dm_.cdsKOVA.GotoBookmark(b);
                    });
                }
                return 0;
            }
            if (n->code == NM_DBLCLK) {
                controlador_.Executa([this] { form_.dbgSolicitacaoKOVADblClick(); });
                return 0;
            }
            break;
        }
        default:
            break;
    }
    return DefWindowProcW(janela_, msg, wp, lp);
}

void FrmDigitarWin::Comando(int id) {
    const size_t i = size_t(id - kPrimeiroComando);
    if (id < kPrimeiroComando || i >= std::size(kBotoes)) return;
    const std::string nome = kBotoes[i];
    if (!SendMessageW(barra_, TB_ISBUTTONENABLED, id, 0)) return;
    auto executa = [this](void (TfrmDigitar::*operacao)()) {
        controlador_.Executa([this, operacao] { (form_.*operacao)(); });
    };
    if (nome == "btnIncluir") executa(&TfrmDigitar::btnIncluirClick);
    if (nome == "btnAlterar") executa(&TfrmDigitar::btnAlterarClick);
    if (nome == "btnNovaAPartir") executa(&TfrmDigitar::btnNovaAPartirClick);
    if (nome == "btnExcluir") executa(&TfrmDigitar::btnExcluirClick);
    if (nome == "btnSalvar") controlador_.Salvar();
    if (nome == "btnDesfazer") controlador_.Cancelar();
    if (nome == "btnImprimir") executa(&TfrmDigitar::btnImprimirClick);
    if (nome == "btnFechar") PedeFechar();
    if (nome == "btnAjuda") {
        controlador_.Executa([] {
            const std::string pagina = PastaDoModulo() + "ajuda\\digitacao.html";
            if (GetFileAttributesW(Largo(pagina).c_str()) == INVALID_FILE_ATTRIBUTES)
                throw Exception("O manual não foi encontrado: " + pagina);
            AbrirPagina(pagina);
        });
    }
    if (nome.rfind("nav", 0) == 0) {
        TDataSet& t = dm_.cdsKOVA;
        Protege([&] {
            if (nome == "navPrimeiro") t.First();
            if (nome == "navAnterior") t.Prior();
            if (nome == "navProximo") t.Next();
            if (nome == "navUltimo") t.Last();
        });
        RefrescaNavegador();
    }
}

void FrmDigitarWin::MudouPagina() {
    const size_t i = size_t(SendMessageW(abas_, TCM_GETCURSEL, 0, 0));
    if (i >= abasMostradas_.size()) return;
    form_.PaginaAtiva = abasMostradas_[i];
    Visibilidade();
    // The keys go to the page in front: the search box, or the box the form last chose.
    if (form_.PaginaAtiva == "tbsPesquisar") {
        SetFocus(pesquisa_);
        SendMessageW(pesquisa_, EM_SETSEL, 0, -1);
    } else {
        controlador_.SegueFocoDoForm();
    }
}

void FrmDigitarWin::PedeFechar() {
    if (controlador_.Fechar()) Fechou();
}

void FrmDigitarWin::MoveNaGrade(int passo) {
    const int n = int(linhas_.size());
    if (n == 0) return;
    const int atual = int(SendMessageW(grade_, LVM_GETNEXTITEM, WPARAM(-1), LVNI_SELECTED));
    const int linha = atual < 0 ? 0 : std::clamp(atual + passo, 0, n - 1);
    LVITEMW item{};
    item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    item.state = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageW(grade_, LVM_SETITEMSTATE, WPARAM(linha), reinterpret_cast<LPARAM>(&item));
    SendMessageW(grade_, LVM_ENSUREVISIBLE, WPARAM(linha), FALSE);
}

void FrmDigitarWin::EscolheNaGrade() {
    if (linhas_.empty()) return;
    const int atual = int(SendMessageW(grade_, LVM_GETNEXTITEM, WPARAM(-1), LVNI_SELECTED));
    const TBookmark b = linhas_[size_t(std::max(atual, 0))];
    controlador_.Executa([this, b] {
        if (b != dm_.cdsKOVA.GetBookmark()) dm_.cdsKOVA.GotoBookmark(b);
        form_.dbgSolicitacaoKOVADblClick();
    });
    RefrescaGrade(false);
}

bool FrmDigitarWin::Teclado(const MSG& m) {
    if (m.hwnd != janela_ && !IsChild(janela_, m.hwnd)) return false;
    Controle* c = De(m.hwnd);
    const std::string nome = c ? c->nome : std::string();
    const TControlState* estado = c && c->doModelo ? form_.Controles.Find(nome) : nullptr;
    const bool caixa = estado && EhCaixa(*estado);
    // An open list keeps its own keys (Enter and Escape close it); other controls answer 0.
    if (c && SendMessageW(c->h, CB_GETDROPPEDSTATE, 0, 0)) return false;
    const bool shift = GetKeyState(VK_SHIFT) < 0, ctrl = GetKeyState(VK_CONTROL) < 0;
    if (m.message == WM_KEYDOWN) {
        switch (m.wParam) {
            case VK_ESCAPE:
                if (m.hwnd == pesquisa_ && GetWindowTextLengthW(pesquisa_) > 0) {
                    SetWindowTextW(pesquisa_, L"");
                } else {
                    controlador_.Cancelar();
                }
                return true;
            case VK_RETURN:
                if (m.hwnd == grade_) {
                    controlador_.EnterNaGrade();
                    RefrescaGrade(false);
                } else if (m.hwnd == pesquisa_) {
                    EscolheNaGrade();
                } else if (caixa) {
                    controlador_.Tecla(nome, TTeclaDigitar::Enter);
                } else {
                    return false;
                }
                return true;
            case VK_TAB: {
                if (ctrl) {
                    // Ctrl+Tab turns the page, as in a tabbed dialog.
                    const int n = int(abasMostradas_.size());
                    const int i = int(SendMessageW(abas_, TCM_GETCURSEL, 0, 0));
                    if (n < 2) return true;
                    SendMessageW(abas_, TCM_SETCURSEL, (i + (shift ? n - 1 : 1)) % n, 0);
                    MudouPagina();
                    return true;
                }
                if (caixa && !shift) {
                    controlador_.Tecla(nome, TTeclaDigitar::Tab);
                    return true;
                }
                // Back, or on the search page: the next open control in the screen's order.
                std::vector<HWND> ordem;
                for (const auto& k : controles_) {
                    const TControlState* s = k->doModelo ? form_.Controles.Find(k->nome) : nullptr;
                    const bool alvo =
                        (s && (EhCaixa(*s) || s->kind == TControlKind::Grid ||
                               k->nome == "rdbKOVA" || k->nome == "RDGCICContribuinte")) ||
                        k->h == pesquisa_;
                    if (alvo && IsWindowVisible(k->h) && IsWindowEnabled(k->h))
                        ordem.push_back(k->h);
                }
                // The slip's boxes in the form's creation order.
                std::stable_sort(ordem.begin(), ordem.end(),
                                 [this](HWND a, HWND b) { return OrdemDe(a) < OrdemDe(b); });
                if (ordem.empty()) return true;
                auto it = std::find(ordem.begin(), ordem.end(), m.hwnd);
                size_t i = it == ordem.end() ? 0 : size_t(it - ordem.begin());
                i = shift ? (i + ordem.size() - 1) % ordem.size() : (i + 1) % ordem.size();
                SetFocus(ordem[i]);
                return true;
            }
            case VK_UP:
            case VK_DOWN:
                if (m.hwnd != pesquisa_) return false;
                MoveNaGrade(m.wParam == VK_UP ? -1 : 1);
                return true;
            default:
                return false;
        }
    }
    if (m.message == WM_SYSKEYDOWN) {
        if (m.wParam == VK_DOWN && nome == "btnProduto") {
            return controlador_.Tecla(nome, TTeclaDigitar::AltBaixo);
        }
        // Alt and the underlined letter of a toolbar button, or of the search box's caption.
        const wchar_t letra = wchar_t(MapVirtualKeyW(UINT(m.wParam), MAPVK_VK_TO_CHAR));
        if (!letra) return false;
        for (size_t i = 0; i < std::size(kBotoes); ++i) {
            const TControlState* b = *kBotoes[i] ? form_.Controles.Find(kBotoes[i]) : nullptr;
            if (!b) continue;
            const size_t e = b->caption.find('&');
            if (e == std::string::npos || e + 1 >= b->caption.size() ||
                std::toupper(static_cast<unsigned char>(b->caption[e + 1])) != std::towupper(letra))
                continue;
            if (b->enabled && b->visible) Comando(kPrimeiroComando + int(i));
            return true;
        }
        if (std::towupper(letra) == L'L' && form_.PaginaAtiva == "tbsPesquisar") {
            SetFocus(pesquisa_);
            SendMessageW(pesquisa_, EM_SETSEL, 0, -1);
            return true;
        }
        return false;
    }
    if (m.message == WM_CHAR && caixa) {
        const char ch = Caractere(wchar_t(m.wParam));
        if (ch != '\0' && controlador_.Tecla(nome, TTeclaDigitar::Outra, ch)) return true;
        return m.wParam >= L' ' && BuscaNaLista(*c, wchar_t(m.wParam));
    }
    return false;
}

bool FrmDigitarWin::BuscaNaLista(Controle& c, wchar_t letra) {
    wchar_t classe[16] = L"";
    GetClassNameW(c.h, classe, int(std::size(classe)));
    if (_wcsicmp(classe, L"ComboBox") != 0) return false;
    // The letters typed in a row (less than a second apart) find the entry that begins with them
    // all, "12" the state of code 12 as well as "B" the first state of that letter, whichever
    // Windows keeps the list; the highlight is taken when the person leaves the box.
    const DWORD agora = GetTickCount();
    if (c.h != listaDigitada_ || agora - instanteDigitado_ > 1000) digitadoNaLista_.clear();
    listaDigitada_ = c.h;
    instanteDigitado_ = agora;
    digitadoNaLista_ += letra;
    LRESULT i = SendMessageW(c.h, CB_FINDSTRING, WPARAM(-1),
                             reinterpret_cast<LPARAM>(digitadoNaLista_.c_str()));
    if (i == CB_ERR && digitadoNaLista_.size() > 1) {
        digitadoNaLista_.assign(1, letra);
        i = SendMessageW(c.h, CB_FINDSTRING, WPARAM(-1),
                         reinterpret_cast<LPARAM>(digitadoNaLista_.c_str()));
    }
    if (i != CB_ERR) SendMessageW(c.h, CB_SETCURSEL, WPARAM(i), 0);
    return true;
}

int FrmDigitarWin::OrdemDe(HWND h) const {
    const std::string nome = NomeDe(h);
    int i = 0;
    for (const auto& c : form_.Controles.Controls()) {
        if (c->name == nome) return i;
        ++i;
    }
    // The search box comes just before the grid it narrows.
    return h == pesquisa_ && h != grade_ ? OrdemDe(grade_) : i;
}

// ------------------------------------------------------------------ what the controller asks

std::string FrmDigitarWin::Texto(const std::string& caixa) const {
    const Controle* c = Acha(caixa);
    return c ? Estreito(TextoDe(c->h)) : std::string();
}

void FrmDigitarWin::MostraTexto(const std::string& caixa, const std::string& texto) {
    if (Controle* c = Acha(caixa)) SetWindowTextW(c->h, Largo(texto).c_str());
}

void FrmDigitarWin::SelecionaTudo(const std::string& caixa) {
    if (Controle* c = Acha(caixa)) SendMessageW(c->h, EM_SETSEL, 0, -1);
}

int FrmDigitarWin::Indice(const std::string& lista) const {
    const Controle* c = Acha(lista);
    return c ? int(SendMessageW(c->h, CB_GETCURSEL, 0, 0)) : -1;
}

std::string FrmDigitarWin::Chave(const std::string& lista) const {
    const int i = Indice(lista);
    auto it = chaves_.find(lista);
    if (i < 0 || it == chaves_.end() || size_t(i) >= it->second.size()) return std::string();
    return it->second[size_t(i)];
}

bool FrmDigitarWin::Aberta(const std::string& caixa) const {
    const Controle* c = Acha(caixa);
    return c && IsWindowEnabled(c->h) && IsWindowVisible(c->h);
}

void FrmDigitarWin::Foca(const std::string& nome) {
    Controle* c = Acha(nome);
    if (!c || GetFocus() == c->h) return;
    if (GetActiveWindow() == janela_) {
        const TControladorDigitar::Ocupado ocupado(controlador_);
        SetFocus(c->h);
    }
    // While a dialog is in front the focus waits for the window to be active again: the box is
    // where the person stands all the same, and the focus coming back to it is no move of theirs.
    ultimoFoco_ = c->h;
    controlador_.Focou(nome);
    // What is typed replaces the box's text; an empty masked box is typed from its start.
    if (c->mascara) {
        const std::string t = Estreito(TextoDe(c->h));
        if (std::none_of(t.begin(), t.end(), [](unsigned char ch) { return std::isalnum(ch); })) {
            SendMessageW(c->h, EM_SETSEL, 0, 0);
            return;
        }
    }
    SendMessageW(c->h, EM_SETSEL, 0, -1);
}

std::string FrmDigitarWin::CaixaComFoco() const { return NomeDe(GetFocus()); }

bool FrmDigitarWin::Visivel() const { return janela_ && IsWindowVisible(janela_); }

// ------------------------------------------------------------------ showing and closing

namespace {

BOOL CALLBACK JanelaDoHospedeiro(HWND h, LPARAM lp) {
    auto* janelas = reinterpret_cast<std::vector<HWND>*>(lp);
    if (h != janelas->front() && IsWindowVisible(h) && IsWindowEnabled(h)) janelas->push_back(h);
    return TRUE;
}

}  // namespace

void FrmDigitarWin::ExibirModal() {
    if (form_.TimerAtivo) SetTimer(janela_, kTimerDaTela, 500, nullptr);
    SincronizaPagina();
    DadosMudaram(nullptr);
    // The box left when the screen last closed belongs to that showing.
    controlador_.Reabre();
    // The host's windows on this thread take no input while the screen is shown, as under a
    // modal dialog.
    std::vector<HWND> hospedeiro{janela_};
    EnumThreadWindows(GetCurrentThreadId(), JanelaDoHospedeiro,
                      reinterpret_cast<LPARAM>(&hospedeiro));
    hospedeiro.erase(hospedeiro.begin());
    ShowWindow(janela_, SW_SHOWNORMAL);
    // A host without windows of its own (a service, a console program) gets the screen in front.
    AllowSetForegroundWindow(GetCurrentProcessId());
    SetForegroundWindow(janela_);
    BringWindowToTop(janela_);
    SetActiveWindow(janela_);
    UpdateWindow(janela_);
    // Owned by the host's window only now, and that disabled: a window manager may refuse the
    // focus to a window made over the one it has focused.
    if (dono_) SetWindowLongPtrW(janela_, GWLP_HWNDPARENT, reinterpret_cast<LONG_PTR>(dono_));
    for (HWND h : hospedeiro) EnableWindow(h, FALSE);
    // The box the form chose has the focus as the window appears: keys typed at once go into it.
    Foca(form_.Controles.Focused());
    Depois([this] { Foca(form_.Controles.Focused()); });

    bool sair = false;
    WPARAM codigo = 0;
    MSG m;
    while (!fechada_) {
        const BOOL r = GetMessageW(&m, nullptr, 0, 0);
        if (r <= 0) {
            // The host is ending: the screen closes and the request is answered as cancelled.
            sair = r == 0;
            codigo = m.wParam;
            break;
        }
        bool tomada = false;
        Protege([&] { tomada = Teclado(m); });
        if (!tomada) {
            TranslateMessage(&m);
            DispatchMessageW(&m);
        }
    }
    KillTimer(janela_, kTimerDaTela);
    for (HWND h : hospedeiro) EnableWindow(h, TRUE);
    ShowWindow(janela_, SW_HIDE);
    if (dono_) SetActiveWindow(dono_);
    if (sair) PostQuitMessage(int(codigo));
}

}  // namespace kova
