#include "FrmPrincipalWin.h"

#include <commctrl.h>
#include <commdlg.h>
#include <shellapi.h>

#include <algorithm>
#include <functional>
#include <map>
#include <vector>

#include "Clock.h"
#include "ContextoVisual.h"
#include "ControladorDigitar.h"
#include "CopiasDeSeguranca.h"
#include "DadosDoUsuario.h"
#include "Dialogs.h"
#include "Diretorios.h"
#include "Errors.h"
#include "FluxosImpressao.h"
#include "FrmConsultaWin.h"
#include "FrmDigitarWin.h"
#include "FrmImprimirWin.h"
#include "Incorporacao.h"
#include "PintorGDI.h"
#include "RestauracaoCopia.h"
#include "TDM.h"
#include "TfrmDigitar.h"
#include "TqrpKOVA.h"
#include "Utilitarios.h"
#include "VersaoKOVA.h"

namespace kova {
namespace {

const wchar_t* const kClasse = L"KOVAPrincipal";
constexpr UINT_PTR kTimerRelogio = 1;

enum Comandos : int {
    kDigitar = 100,
    kImprimir,
    kPesquisar,
    kIncorporar,
    kSair,
    kRemover,
    kRestaurar,
    kConfigurar,
    kAjuda,
    kConsultaUF,
    kConsultaReceitas,
    kConsultaProdutos,
    kSobre,
};

// The hint each command shows in the status bar while it is under the pointer.
const std::map<int, const char*>& Dicas() {
    static const std::map<int, const char*> dicas{
        {kDigitar, "Digitar KOVA"},
        {kImprimir, "Imprimir KOVA"},
        {kPesquisar, "Relação de KOVA para pesquisar ou alterar"},
        {kSair, "Sair do programa"},
        {kRemover, "Remover as KOVA's já impressas"},
        {kRestaurar, "Pôr uma cópia de segurança do arquivo de KOVA no lugar dele"},
        {kConfigurar, "Configurar impressora padrão para impressão do Windows"},
        {kAjuda, "Ajuda do sistema"},
        {kSobre, "Sobre o sistema"},
    };
    return dicas;
}

// The toolbar's hints differ from the menu's where the Linux program's do.
const char* DicaDoBotao(int id) {
    switch (id) {
        case kDigitar:
            return "Digitação de KOVA";
        case kImprimir:
            return "Imprimir KOVA";
        default:
            return "Sair da aplicação";
    }
}

}  // namespace

FrmPrincipalWin::FrmPrincipalWin(TqrpKOVA& relatorio) : relatorio_(relatorio) { Cria(); }

FrmPrincipalWin::~FrmPrincipalWin() {
    // The screen goes before the form it draws.
    tela_.reset();
    if (janela_) {
        SetWindowLongPtrW(janela_, GWLP_USERDATA, 0);
        DestroyWindow(janela_);
    }
    if (atalhos_) DestroyAcceleratorTable(atalhos_);
    if (fonte_) DeleteObject(fonte_);
    if (grande_) DeleteObject(grande_);
}

void FrmPrincipalWin::Cria() {
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_BAR_CLASSES | ICC_DATE_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&icc);
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = ProcJanela;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = kClasse;
    wc.hIcon = LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(1));
    RegisterClassExW(&wc);

    menu_ = CreateMenu();
    auto item = [](HMENU m, int id, const char* legenda) {
        AppendMenuW(m, MF_STRING, UINT_PTR(id), Largo(legenda).c_str());
    };
    HMENU opcao = CreatePopupMenu();
    item(opcao, kDigitar, "&Digitar KOVA");
    item(opcao, kImprimir, "&Imprimir KOVA");
    item(opcao, kPesquisar, "&Pesquisar ou alterar KOVA");
    AppendMenuW(opcao, MF_SEPARATOR, 0, nullptr);
    item(opcao, kIncorporar, "In&corporar Arquivo");
    AppendMenuW(opcao, MF_SEPARATOR, 0, nullptr);
    item(opcao, kSair, "&Sair\tAlt+F4");
    HMENU utilitarios = CreatePopupMenu();
    item(utilitarios, kRemover, "&Remover KOVA impressas");
    item(utilitarios, kRestaurar, "Restaurar cópia de &segurança");
    AppendMenuW(utilitarios, MF_SEPARATOR, 0, nullptr);
    item(utilitarios, kConfigurar, "&Configurar impressora");
    HMENU ajuda = CreatePopupMenu();
    item(ajuda, kAjuda, "&Ajuda do sistema\tF1");
    item(ajuda, kConsultaUF, "Relação de Unidades da Federação");
    item(ajuda, kConsultaReceitas, "Relação de Receitas por Unidade da Federação");
    item(ajuda, kConsultaProdutos, "Relação de Produtos por Unidade da Federação");
    AppendMenuW(ajuda, MF_SEPARATOR, 0, nullptr);
    item(ajuda, kSobre, "&Sobre");
    AppendMenuW(menu_, MF_POPUP, reinterpret_cast<UINT_PTR>(opcao), Largo("&Opção").c_str());
    AppendMenuW(menu_, MF_POPUP, reinterpret_cast<UINT_PTR>(utilitarios),
                Largo("&Utilitários").c_str());
    AppendMenuW(menu_, MF_POPUP, reinterpret_cast<UINT_PTR>(ajuda), Largo("A&juda").c_str());

    // The toolbar's buttons answer Alt and their underlined letter, as the Linux ones do.
    ACCEL teclas[] = {
        {FVIRTKEY, VK_F1, kAjuda},
        {FVIRTKEY | FALT, 'D', kDigitar},
        {FVIRTKEY | FALT, 'I', kImprimir},
        {FVIRTKEY | FALT, 'S', kSair},
    };
    atalhos_ = CreateAcceleratorTableW(teclas, int(std::size(teclas)));

    janela_ = CreateWindowExW(0, kClasse, L"KOVA - Fennolar", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN,
                              CW_USEDEFAULT, CW_USEDEFAULT, 760, 480, nullptr, menu_,
                              GetModuleHandleW(nullptr), this);
    dpi_ = DpiDe(janela_);
    Fontes();

    barra_ = CreateWindowExW(0, TOOLBARCLASSNAMEW, nullptr,
                             WS_CHILD | WS_VISIBLE | TBSTYLE_FLAT | TBSTYLE_LIST | CCS_TOP, 0, 0, 0,
                             0, janela_, nullptr, GetModuleHandleW(nullptr), nullptr);
    SendMessageW(barra_, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
    SendMessageW(barra_, TB_SETBITMAPSIZE, 0, MAKELPARAM(0, 0));
    SendMessageW(barra_, TB_SETEXTENDEDSTYLE, 0, TBSTYLE_EX_MIXEDBUTTONS);
    static const wchar_t* const legendas[] = {L"&Digitar", L"&Imprimir", L"&Sair"};
    TBBUTTON botoes[4]{};
    const int ids[] = {kDigitar, kImprimir, 0, kSair};
    for (int i = 0, texto = 0; i < 4; ++i) {
        botoes[i].idCommand = ids[i];
        botoes[i].iBitmap = I_IMAGENONE;
        if (ids[i] == 0) {
            botoes[i].fsStyle = BTNS_SEP;
            continue;
        }
        botoes[i].fsState = TBSTATE_ENABLED;
        botoes[i].fsStyle = BTNS_BUTTON | BTNS_AUTOSIZE | BTNS_SHOWTEXT;
        botoes[i].iString = reinterpret_cast<INT_PTR>(legendas[texto++]);
    }
    SendMessageW(barra_, TB_ADDBUTTONSW, 4, reinterpret_cast<LPARAM>(botoes));
    SendMessageW(barra_, WM_SETFONT, reinterpret_cast<WPARAM>(fonte_), TRUE);
    SendMessageW(barra_, TB_AUTOSIZE, 0, 0);

    status_ = CreateWindowExW(0, STATUSCLASSNAMEW, nullptr, WS_CHILD | WS_VISIBLE | SBARS_SIZEGRIP,
                              0, 0, 0, 0, janela_, nullptr, GetModuleHandleW(nullptr), nullptr);
    SendMessageW(status_, WM_SETFONT, reinterpret_cast<WPARAM>(fonte_), TRUE);

    // Its size on the monitor's scale, within the screen (every window fits 1024x768).
    const RECT area = AreaDeTrabalho(janela_);
    const int l = std::min<int>(E(760), area.right - area.left);
    const int a = std::min<int>(E(480), area.bottom - area.top);
    SetWindowPos(janela_, nullptr, area.left + (area.right - area.left - l) / 2,
                 area.top + (area.bottom - area.top - a) / 2, l, a, SWP_NOZORDER);
    Dispoe();
    SetTimer(janela_, kTimerRelogio, 1000, nullptr);
    Relogio();
    AtualizaMenus();
}

void FrmPrincipalWin::Fontes() {
    if (fonte_) DeleteObject(fonte_);
    if (grande_) DeleteObject(grande_);
    fonte_ = FonteDaInterface(dpi_);
    grande_ = FonteDaInterface(dpi_, 48, true);
}

void FrmPrincipalWin::Dispoe() {
    if (!barra_ || !status_) return;
    SendMessageW(barra_, TB_AUTOSIZE, 0, 0);
    SendMessageW(status_, WM_SIZE, 0, 0);
    const int partes[] = {E(75), E(150), -1};
    SendMessageW(status_, SB_SETPARTS, 3, reinterpret_cast<LPARAM>(partes));
    InvalidateRect(janela_, nullptr, TRUE);
}

void FrmPrincipalWin::Pinta() {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(janela_, &ps);
    RECT r, barra, status;
    GetClientRect(janela_, &r);
    GetWindowRect(barra_, &barra);
    GetWindowRect(status_, &status);
    r.top += barra.bottom - barra.top;
    r.bottom -= status.bottom - status.top;
    r.right -= E(12);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
    // "KOVA" over the program's version and, apart from it, the version of its reference tables,
    // at the bottom right.
    const std::wstring versao = Largo(std::string("Versão: ") + VersaoKOVA());
    const std::wstring tabelas = Largo(
        "Tabelas: versão " + VersaoDasTabelas(DM->Versao, DM->VersaoRelease, DM->VersaoTestes));
    HGDIOBJ antes = SelectObject(dc, fonte_);
    TEXTMETRICW tm;
    GetTextMetricsW(dc, &tm);
    RECT linha = r;
    linha.bottom -= E(8);
    linha.top = linha.bottom - tm.tmHeight;
    DrawTextW(dc, tabelas.c_str(), -1, &linha, DT_RIGHT | DT_SINGLELINE | DT_NOPREFIX | DT_NOCLIP);
    OffsetRect(&linha, 0, -tm.tmHeight);
    DrawTextW(dc, versao.c_str(), -1, &linha, DT_RIGHT | DT_SINGLELINE | DT_NOPREFIX | DT_NOCLIP);
    SelectObject(dc, grande_);
    GetTextMetricsW(dc, &tm);
    linha.bottom = linha.top;
    linha.top = linha.bottom - tm.tmHeight;
    DrawTextW(dc, L"KOVA", -1, &linha, DT_RIGHT | DT_SINGLELINE | DT_NOPREFIX | DT_NOCLIP);
    SelectObject(dc, antes);
    EndPaint(janela_, &ps);
}

void FrmPrincipalWin::Relogio() {
    const TDateTime agora = Clock::Now();
    SendMessageW(status_, SB_SETTEXTW, 0 | SBT_NOBORDERS,
                 reinterpret_cast<LPARAM>(Largo(DateToStr(DateOf(agora))).c_str()));
    SendMessageW(status_, SB_SETTEXTW, 1,
                 reinterpret_cast<LPARAM>(Largo(TimeToStr(agora)).c_str()));
}

void FrmPrincipalWin::Dica(const std::wstring& texto) {
    SendMessageW(status_, SB_SETTEXTW, 2, reinterpret_cast<LPARAM>(texto.c_str()));
}

void FrmPrincipalWin::AtualizaMenus() {
    // Printing is offered while there is a slip to print.
    const bool temKOVA = DM->cdsKOVA.Active() && DM->cdsKOVA.RecordCount() > 0;
    EnableMenuItem(menu_, kImprimir, MF_BYCOMMAND | (temKOVA ? MF_ENABLED : MF_GRAYED));
    SendMessageW(barra_, TB_ENABLEBUTTON, kImprimir, temKOVA ? TRUE : FALSE);
    DrawMenuBar(janela_);
}

int FrmPrincipalWin::Executa() {
    MSG m;
    while (GetMessageW(&m, nullptr, 0, 0) > 0) {
        if (janela_ && TranslateAcceleratorW(janela_, atalhos_, &m)) continue;
        TranslateMessage(&m);
        DispatchMessageW(&m);
    }
    return int(m.wParam);
}

LRESULT CALLBACK FrmPrincipalWin::ProcJanela(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_NCCREATE) {
        auto* cs = reinterpret_cast<CREATESTRUCTW*>(lp);
        auto* self = static_cast<FrmPrincipalWin*>(cs->lpCreateParams);
        self->janela_ = h;
        SetWindowLongPtrW(h, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto* self = reinterpret_cast<FrmPrincipalWin*>(GetWindowLongPtrW(h, GWLP_USERDATA));
    if (!self) return DefWindowProcW(h, msg, wp, lp);
    return self->Mensagem(msg, wp, lp);
}

LRESULT FrmPrincipalWin::Mensagem(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_SIZE:
            Dispoe();
            return 0;
        case WM_PAINT:
            Pinta();
            return 0;
        case WM_TIMER:
            if (wp == kTimerRelogio && !relogioParado_) Relogio();
            return 0;
        case WM_COMMAND:
            if (HIWORD(wp) == 0 || HIWORD(wp) == 1 || reinterpret_cast<HWND>(lp) == barra_) {
                const int id = LOWORD(wp);
                // A disabled command reached by its shortcut does nothing, as its menu item.
                if (GetMenuState(menu_, UINT(id), MF_BYCOMMAND) & (MF_GRAYED | MF_DISABLED))
                    return 0;
                Protege([&] { Comando(id); });
            }
            return 0;
        case WM_MENUSELECT: {
            const auto d = Dicas().find(LOWORD(wp));
            Dica(d != Dicas().end() && !(HIWORD(wp) & MF_POPUP) ? Largo(d->second) : L"");
            return 0;
        }
        case WM_NOTIFY: {
            auto* n = reinterpret_cast<NMHDR*>(lp);
            if (n->hwndFrom == barra_ && n->code == TBN_HOTITEMCHANGE) {
                auto* q = reinterpret_cast<NMTBHOTITEM*>(lp);
                Dica(q->dwFlags & HICF_LEAVING ? L"" : Largo(DicaDoBotao(q->idNew)));
            } else if (n->hwndFrom == status_ && n->code == NM_DBLCLK) {
                // A double click on the status bar stops and restarts the clock.
                relogioParado_ = !relogioParado_;
            }
            return 0;
        }
        case WM_DPICHANGED: {
            dpi_ = HIWORD(wp);
            Fontes();
            SendMessageW(barra_, WM_SETFONT, reinterpret_cast<WPARAM>(fonte_), TRUE);
            SendMessageW(status_, WM_SETFONT, reinterpret_cast<WPARAM>(fonte_), TRUE);
            const RECT* r = reinterpret_cast<RECT*>(lp);
            SetWindowPos(janela_, nullptr, r->left, r->top, r->right - r->left, r->bottom - r->top,
                         SWP_NOZORDER | SWP_NOACTIVATE);
            Dispoe();
            return 0;
        }
        case WM_CLOSE:
            Protege([this] { Fechar(); });
            return 0;
        case WM_DESTROY:
            KillTimer(janela_, kTimerRelogio);
            janela_ = nullptr;
            PostQuitMessage(0);
            return 0;
        default:
            break;
    }
    return DefWindowProcW(janela_, msg, wp, lp);
}

void FrmPrincipalWin::Comando(int id) {
    switch (id) {
        case kDigitar:
            Digitar(false);
            break;
        case kImprimir:
            ImprimirKOVAWin(janela_, relatorio_);
            AtualizaMenus();
            break;
        case kPesquisar:
            Digitar(true);
            break;
        case kIncorporar:
            Incorporar();
            break;
        case kSair:
            PostMessageW(janela_, WM_CLOSE, 0, 0);
            break;
        case kRemover:
            Remover();
            break;
        case kRestaurar:
            RestaurarCopiaWin(janela_, *DM);
            AtualizaMenus();
            break;
        case kConfigurar:
            ConfigurarImpressora(janela_);
            break;
        case kAjuda:
            AbrirAjudaWin(kAjudaPrincipal);
            break;
        case kConsultaUF:
            ConsultaWin(janela_, TipoConsulta::UF);
            break;
        case kConsultaReceitas:
            ConsultaWin(janela_, TipoConsulta::UFReceita);
            break;
        case kConsultaProdutos:
            ConsultaWin(janela_, TipoConsulta::UFProduto);
            break;
        case kSobre:
            Sobre();
            break;
        default:
            break;
    }
}

void FrmPrincipalWin::Fechar() {
    if (!sairSemConfirmar_ &&
        MessageDlg("\rDeseja sair do programa KOVA?", TMsgDlgType::mtConfirmation,
                   TMsgDlgButtons::mbYesNo) != TModalResult::mrYes) {
        return;
    }
    DestroyWindow(janela_);
}

void FrmPrincipalWin::Encerra() {
    sairSemConfirmar_ = true;
    if (janela_) PostMessageW(janela_, WM_CLOSE, 0, 0);
}

TfrmDigitar& FrmPrincipalWin::Formulario() {
    if (!frmDigitar_) frmDigitar_ = std::make_unique<TfrmDigitar>(*DM);
    return *frmDigitar_;
}

FrmDigitarWin& FrmPrincipalWin::Tela() {
    if (!tela_) {
        TfrmDigitar& form = Formulario();
        tela_ = std::make_unique<FrmDigitarWin>(form, *DM);
        // The screen's Print button prints the three copies of the slip in front on the chosen
        // printer, else the default one.
        fluxosTela_ = std::make_unique<TFluxosImpressao>(relatorio_);
        fluxosTela_->AbrirSaida = AbreImpressora;
        form.OnImprimir = [this] { fluxosTela_->Imprimir(); };
    }
    return *tela_;
}

void FrmPrincipalWin::Digitar(bool pesquisa) {
    FrmDigitarWin& tela = Tela();
    TfrmDigitar& form = Formulario();
    if (pesquisa) {
        form.AbrirPesquisa();
    } else {
        form.IniciarNovaKOVA();
    }
    // The screen is modal over this window until the person closes it.
    tela.ExibirModal();
    AtualizaMenus();
}

void FrmPrincipalWin::Incorporar() {
    wchar_t nome[MAX_PATH * 4] = L"KOVA.txt";
    OPENFILENAMEW ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = janela_;
    ofn.lpstrFilter = L"KOVA (*.txt)\0*.txt\0Todos (*.*)\0*.*\0";
    ofn.lpstrFile = nome;
    ofn.nMaxFile = DWORD(std::size(nome));
    ofn.lpstrDefExt = L"txt";
    const std::wstring titulo = Largo("Incorporar arquivo");
    ofn.lpstrTitle = titulo.c_str();
    ofn.Flags = OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_EXPLORER;
    if (!GetOpenFileNameW(&ofn)) return;
    const std::string arquivo = Estreito(nome);
    if (!ExisteArquivoDisco(arquivo))
        throw Exception("Arquivo de incorporação não encontrado\r\r" + arquivo);
    IncorporarArquivo(arquivo, false);
}

void FrmPrincipalWin::IncorporarArquivo(const std::string& nomeArquivo, bool desassistido) {
    TIncorporacao importacao(*DM, Formulario(), relatorio_);
    importacao.AbrirSaida = AbreImpressora;
    importacao.AtualizaMenus = [this] { AtualizaMenus(); };
    // Unattended, the program ends once the person has been told how the import went (main).
    importacao.FecharPrincipal = [this] { sairSemConfirmar_ = true; };
    importacao.IntervaloProgresso = 500;
    importacao.Progresso = [this](int linhas) {
        Dica(Largo("Incorporando: " + std::to_string(linhas) + " linhas lidas"));
        UpdateWindow(status_);
    };
    BusyCursor ocupado;
    importacao.IncorporarArquivo(nomeArquivo, desassistido);
    Dica(L"");
}

void FrmPrincipalWin::Sobre() {
    JanelaModal sobre(janela_, "Sobre", 280, 190);
    HFONT grande = sobre.Fonte(28, true);
    sobre.Cria(WC_STATICW, "KOVA", SS_CENTER, 0, 10, 10, 260, 50, grande);
    sobre.Cria(WC_STATICW, "Fennolar", SS_CENTER, 0, 10, 62, 260, 20);
    sobre.Cria(WC_STATICW, std::string("Versão: ") + VersaoKOVA(), SS_CENTER, 0, 10, 84, 260, 20);
    sobre.Cria(
        WC_STATICW,
        "Tabelas: versão " + VersaoDasTabelas(DM->Versao, DM->VersaoRelease, DM->VersaoTestes),
        SS_CENTER, 0, 10, 106, 260, 20);
    HWND fechar =
        sobre.Cria(WC_BUTTONW, "Fechar", WS_TABSTOP | BS_DEFPUSHBUTTON, IDCANCEL, 95, 145, 90, 28);
    sobre.Topico = kAjudaPrincipal;
    sobre.Exibe(fechar);
}

bool RestaurarCopiaWin(HWND dono, TDM& dm) {
    constexpr int kCopias = 10, kRestaurar = 11;
    TRestauracaoCopia restauracao(dm);
    JanelaModal janela(dono, "Restaurar cópia de segurança", 640, 320);
    janela.Topico = kAjudaAdministracao;
    janela.Cria(WC_STATICW,
                "O KOVA guarda uma cópia do arquivo de KOVA de cada dia em que ele mudou (as sete "
                "mais recentes), em " +
                    PastaDasCopias(dm.DirDados) +
                    ". Escolha a cópia que deve voltar a ser o arquivo de KOVA.",
                SS_LEFT | SS_NOPREFIX, 0, 12, 10, 616, 48);
    HWND lista = janela.Cria(
        WC_LISTVIEWW, "",
        WS_TABSTOP | WS_BORDER | LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS | LVS_NOSORTHEADER,
        kCopias, 12, 62, 616, 206);
    SendMessageW(lista, LVM_SETEXTENDEDLISTVIEWSTYLE, 0,
                 LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES | LVS_EX_DOUBLEBUFFER);
    const auto& titulos = TRestauracaoCopia::Titulos();
    for (size_t c = 0; c < titulos.size(); ++c) {
        std::wstring titulo = Largo(titulos[c]);
        LVCOLUMNW col{};
        col.mask = LVCF_TEXT | LVCF_FMT | LVCF_WIDTH;
        // The day and the remark read from the left, the counts from the right.
        col.fmt = c == 0 || c == 4 ? LVCFMT_LEFT : LVCFMT_RIGHT;
        col.pszText = titulo.data();
        col.cx = janela.E(100);
        SendMessageW(lista, LVM_INSERTCOLUMNW, c, reinterpret_cast<LPARAM>(&col));
    }
    HWND restaurar = janela.Cria(WC_BUTTONW, "&Restaurar", WS_TABSTOP | BS_DEFPUSHBUTTON,
                                 kRestaurar, 438, 282, 90, 28);
    janela.Cria(WC_BUTTONW, "&Fechar", WS_TABSTOP | BS_PUSHBUTTON, IDCANCEL, 538, 282, 90, 28);
    auto selecionada = [lista] {
        return SendMessageW(lista, LVM_GETNEXTITEM, WPARAM(-1), LVNI_SELECTED);
    };
    auto habilita = [&] {
        const auto linha = selecionada();
        EnableWindow(restaurar, linha >= 0 && restauracao.Restauravel(size_t(linha)));
    };
    auto mostra = [&] {
        SendMessageW(lista, LVM_DELETEALLITEMS, 0, 0);
        for (size_t i = 0; i < restauracao.Copias().size(); ++i) {
            const std::vector<std::string> linha = restauracao.Linha(i);
            for (size_t c = 0; c < linha.size(); ++c) {
                std::wstring texto = Largo(linha[c]);
                LVITEMW item{};
                item.mask = LVIF_TEXT;
                item.iItem = int(i);
                item.iSubItem = int(c);
                item.pszText = texto.data();
                SendMessageW(lista, c == 0 ? LVM_INSERTITEMW : LVM_SETITEMW, 0,
                             reinterpret_cast<LPARAM>(&item));
            }
        }
        // Columns as wide as their titles and contents, the remark taking what is left; titles
        // measured apart, as a list of this kind may measure only its rows.
        for (size_t c = 0; c + 1 < titulos.size(); ++c) {
            SendMessageW(lista, LVM_SETCOLUMNWIDTH, c, LVSCW_AUTOSIZE);
            const std::wstring titulo = Largo(titulos[c]);
            const auto largura = std::max(SendMessageW(lista, LVM_GETCOLUMNWIDTH, c, 0),
                                          SendMessageW(lista, LVM_GETSTRINGWIDTHW, 0,
                                                       reinterpret_cast<LPARAM>(titulo.c_str())) +
                                              2 * janela.E(8));
            SendMessageW(lista, LVM_SETCOLUMNWIDTH, c, largura);
        }
        SendMessageW(lista, LVM_SETCOLUMNWIDTH, titulos.size() - 1, LVSCW_AUTOSIZE_USEHEADER);
        if (!restauracao.Copias().empty()) {
            LVITEMW item{};
            item.stateMask = item.state = LVIS_SELECTED | LVIS_FOCUSED;
            SendMessageW(lista, LVM_SETITEMSTATE, 0, reinterpret_cast<LPARAM>(&item));
        }
        habilita();
    };
    mostra();
    bool restaurada = false;
    janela.Notificacao = [&](NMHDR& n) -> LRESULT {
        if (n.hwndFrom == lista && n.code == LVN_ITEMCHANGED) habilita();
        return 0;
    };
    janela.Comando = [&](int id, int) {
        if (id != kRestaurar) return;
        const auto linha = selecionada();
        if (linha < 0) return;
        if (restauracao.Restaurar(size_t(linha))) {
            restaurada = true;
            janela.Fecha();
        } else {
            mostra();
        }
    };
    janela.Exibe(lista);
    return restaurada;
}

void FrmPrincipalWin::Remover() {
    constexpr int kData = 10, kRemover = 11;
    JanelaModal janela(janela_, "Remover KOVA impressas", 400, 170);
    janela.Topico = kAjudaRemocao;
    janela.Cria(WC_STATICW, "Remover KOVA impressas até o dia:", SS_LEFT, 0, 12, 16, 220, 20);
    HWND data = janela.Cria(DATETIMEPICK_CLASSW, "", WS_TABSTOP | DTS_SHORTDATEFORMAT, kData, 236,
                            12, 150, 24);
    SendMessageW(data, DTM_SETFORMATW, 0, reinterpret_cast<LPARAM>(L"dd/MM/yyyy"));
    const TDate ontem = Clock::Today() - std::chrono::days(1);
    SYSTEMTIME st{};
    st.wYear = WORD(YearOf(ontem));
    st.wMonth = WORD(MonthOf(ontem));
    st.wDay = WORD(DayOf(ontem));
    SendMessageW(data, DTM_SETSYSTEMTIME, GDT_VALID, reinterpret_cast<LPARAM>(&st));
    HWND previsao = janela.Cria(WC_STATICW, "", SS_LEFT, 0, 12, 48, 376, 60);
    HWND remover = janela.Cria(WC_BUTTONW, "&Remover", WS_TABSTOP | BS_DEFPUSHBUTTON, kRemover, 196,
                               128, 90, 28);
    janela.Cria(WC_BUTTONW, "Cancelar", WS_TABSTOP | BS_PUSHBUTTON, IDCANCEL, 296, 128, 90, 28);
    auto escolhida = [data] {
        SYSTEMTIME s{};
        SendMessageW(data, DTM_GETSYSTEMTIME, 0, reinterpret_cast<LPARAM>(&s));
        return MakeDate(s.wYear, s.wMonth, s.wDay);
    };
    // What the removal would take, before the person removes anything.
    auto preve = [&] {
        SetWindowTextW(previsao,
                       Largo(TextoPrevisaoRemocao(PrevisaoRemocao(*DM, escolhida()))).c_str());
    };
    Protege(preve);
    janela.Notificacao = [&](NMHDR& n) -> LRESULT {
        if (n.hwndFrom == data && n.code == DTN_DATETIMECHANGE) Protege(preve);
        return 0;
    };
    janela.Comando = [&](int id, int) {
        if (id != kRemover) return;
        EnableWindow(remover, FALSE);
        TResultadoRemocao r;
        try {
            BusyCursor ampulheta;
            r = RemoverKOVAImpressas(*DM, escolhida());
        } catch (...) {
            EnableWindow(remover, TRUE);
            throw;
        }
        MessageDlg(MensagemRemocao(r), TMsgDlgType::mtInformation);
        janela.Fecha();
    };
    janela.Exibe(data);
    AtualizaMenus();
}

}  // namespace kova
