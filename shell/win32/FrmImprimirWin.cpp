#include "FrmImprimirWin.h"

#include <commctrl.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "ColunasKOVA.h"
#include "ControladorDigitar.h"
#include "FluxosImpressao.h"
#include "JanelaWin.h"
#include "PintorGDI.h"
#include "TDM.h"

namespace kova {
namespace {

const wchar_t* const kClasseFolhas = L"KOVAFolhas";
// The paper the slips are laid out on, in millimetres.
constexpr double kLarguraPapel = 210, kAlturaPapel = 297;

// The pages of a print run at 120 % of the paper (96 dots an inch on a screen of normal scale,
// times 1.2), one under the other on grey, scrolled with the bars, the wheel and the keys.
class Folhas {
public:
    Folhas(JanelaModal& janela, const std::vector<TPagina>& paginas)
        : paginas_(paginas), escala_(janela.E(96) * 1.2 / 25.4), margem_(janela.E(12)) {
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = Proc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        wc.lpszClassName = kClasseFolhas;
        RegisterClassExW(&wc);
        h_ = CreateWindowExW(WS_EX_CLIENTEDGE, kClasseFolhas, nullptr,
                             WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | WS_HSCROLL, 0, 0, 10,
                             10, janela.Janela(), nullptr, GetModuleHandleW(nullptr), this);
    }
    HWND Janela() const { return h_; }

private:
    int LarguraFolha() const { return int(kLarguraPapel * escala_); }
    int AlturaFolha() const { return int(kAlturaPapel * escala_); }
    int Largura() const { return LarguraFolha() + 2 * margem_; }
    int Altura() const { return int(paginas_.size()) * (AlturaFolha() + margem_) + margem_; }

    static LRESULT CALLBACK Proc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
        if (msg == WM_NCCREATE) {
            auto* cs = reinterpret_cast<CREATESTRUCTW*>(lp);
            SetWindowLongPtrW(h, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(cs->lpCreateParams));
        }
        auto* f = reinterpret_cast<Folhas*>(GetWindowLongPtrW(h, GWLP_USERDATA));
        if (!f) return DefWindowProcW(h, msg, wp, lp);
        switch (msg) {
            case WM_SIZE:
                f->Barras();
                return 0;
            case WM_ERASEBKGND:
                return 1;
            case WM_PAINT:
                f->Pinta();
                return 0;
            case WM_VSCROLL:
                f->Rola(SB_VERT, LOWORD(wp));
                return 0;
            case WM_HSCROLL:
                f->Rola(SB_HORZ, LOWORD(wp));
                return 0;
            case WM_MOUSEWHEEL:
                f->Move(SB_VERT, -GET_WHEEL_DELTA_WPARAM(wp) * f->margem_ * 4 / WHEEL_DELTA);
                return 0;
            case WM_LBUTTONDOWN:
                SetFocus(h);
                return 0;
            case WM_GETDLGCODE:
                return DLGC_WANTARROWS;
            case WM_KEYDOWN:
                f->Tecla(wp);
                return 0;
            default:
                return DefWindowProcW(h, msg, wp, lp);
        }
    }

    void Barras() {
        RECT r;
        GetClientRect(h_, &r);
        SCROLLINFO si{};
        si.cbSize = sizeof si;
        si.fMask = SIF_RANGE | SIF_PAGE;
        si.nMax = Altura() - 1;
        si.nPage = UINT(std::max<LONG>(r.bottom, 1));
        SetScrollInfo(h_, SB_VERT, &si, TRUE);
        si.nMax = Largura() - 1;
        si.nPage = UINT(std::max<LONG>(r.right, 1));
        SetScrollInfo(h_, SB_HORZ, &si, TRUE);
        InvalidateRect(h_, nullptr, FALSE);
    }

    int Posicao(int barra) const { return GetScrollPos(h_, barra); }

    void Move(int barra, int passo) {
        SetScrollPos(h_, barra, Posicao(barra) + passo, TRUE);
        InvalidateRect(h_, nullptr, FALSE);
    }

    void Rola(int barra, int como) {
        SCROLLINFO si{};
        si.cbSize = sizeof si;
        si.fMask = SIF_ALL;
        GetScrollInfo(h_, barra, &si);
        const int linha = margem_ * 2;
        switch (como) {
            case SB_LINEUP:
                si.nPos -= linha;
                break;
            case SB_LINEDOWN:
                si.nPos += linha;
                break;
            case SB_PAGEUP:
                si.nPos -= int(si.nPage);
                break;
            case SB_PAGEDOWN:
                si.nPos += int(si.nPage);
                break;
            case SB_THUMBTRACK:
            case SB_THUMBPOSITION:
                si.nPos = si.nTrackPos;
                break;
            case SB_TOP:
                si.nPos = 0;
                break;
            case SB_BOTTOM:
                si.nPos = si.nMax;
                break;
            default:
                return;
        }
        SetScrollPos(h_, barra, si.nPos, TRUE);
        InvalidateRect(h_, nullptr, FALSE);
    }

    void Tecla(WPARAM tecla) {
        switch (tecla) {
            case VK_UP:
                Rola(SB_VERT, SB_LINEUP);
                break;
            case VK_DOWN:
                Rola(SB_VERT, SB_LINEDOWN);
                break;
            case VK_PRIOR:
                Rola(SB_VERT, SB_PAGEUP);
                break;
            case VK_NEXT:
                Rola(SB_VERT, SB_PAGEDOWN);
                break;
            case VK_HOME:
                Rola(SB_VERT, SB_TOP);
                break;
            case VK_END:
                Rola(SB_VERT, SB_BOTTOM);
                break;
            case VK_LEFT:
                Rola(SB_HORZ, SB_LINEUP);
                break;
            case VK_RIGHT:
                Rola(SB_HORZ, SB_LINEDOWN);
                break;
            default:
                break;
        }
    }

    // Drawn in memory first, then shown at once.
    void Pinta() {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(h_, &ps);
        RECT r;
        GetClientRect(h_, &r);
        HDC memoria = CreateCompatibleDC(dc);
        HBITMAP quadro =
            CreateCompatibleBitmap(dc, std::max<LONG>(r.right, 1), std::max<LONG>(r.bottom, 1));
        const HGDIOBJ antes = SelectObject(memoria, quadro);
        FillRect(memoria, &r, GetSysColorBrush(COLOR_APPWORKSPACE));
        const int x = margem_ - Posicao(SB_HORZ);
        int y = margem_ - Posicao(SB_VERT);
        for (const TPagina& p : paginas_) {
            const RECT folha{x, y, x + LarguraFolha(), y + AlturaFolha()};
            if (folha.bottom >= 0 && folha.top <= r.bottom) {
                FillRect(memoria, &folha, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
                PintaPaginaEm(memoria, p, escala_, x, y);
            }
            y += AlturaFolha() + margem_;
        }
        BitBlt(dc, 0, 0, r.right, r.bottom, memoria, 0, 0, SRCCOPY);
        SelectObject(memoria, antes);
        DeleteObject(quadro);
        DeleteDC(memoria);
        EndPaint(h_, &ps);
    }

    const std::vector<TPagina> paginas_;
    const double escala_;  // screen dots per millimetre of paper
    const int margem_;
    HWND h_ = nullptr;
};

enum : int { kImprimirPrevia = 10 };

// The preview window: not modal, over the print list; its Imprimir prints the slip that is
// current then.
class FrmVisualizarWin {
public:
    FrmVisualizarWin(HWND dono, const std::vector<TPagina>& paginas, TFluxosImpressao& fluxos)
        : janela_(dono, "Visualizar KOVA", 1040, 760, true), folhas_(janela_, paginas) {
        janela_.Topico = kAjudaImpressao;
        janela_.Barra({{kImprimirPrevia, "&Imprimir", "Imprimir esta KOVA na impressora"},
                       {IDCANCEL, "&Fechar", "Fechar a visualização desta KOVA"}},
                      true);
        janela_.Dispoe = [this](int l, int a) {
            MoveWindow(folhas_.Janela(), 0, 0, l, a - janela_.AlturaDaBarra(), TRUE);
        };
        janela_.Comando = [this, &fluxos](int id, int) {
            if (id != kImprimirPrevia) return;
            janela_.HabilitaBotao(kImprimirPrevia, false);
            Protege([&] { fluxos.Imprimir(); });
            janela_.HabilitaBotao(kImprimirPrevia, true);
            if (AposImprimir) AposImprimir();
        };
        janela_.Mostra(folhas_.Janela());
    }
    bool Fechada() const { return janela_.Fechada(); }
    std::function<void()> AposImprimir;

private:
    JanelaModal janela_;
    Folhas folhas_;
};

enum : int { kGrade = 10, kNaoImpressos, kVisualizar, kImprimir, kTodos, kConfigurar, kAjuda };

// The columns of the slips' grids (ColunasGradeKOVA), as a list view aligns them.
std::vector<GradeWin::Coluna> ColunasDaKOVA() {
    std::vector<GradeWin::Coluna> colunas;
    for (const TColunaKOVA& c : ColunasGradeKOVA()) {
        const int formato = c.alinhamento == TColunaKOVA::Alinhamento::Centro    ? LVCFMT_CENTER
                            : c.alinhamento == TColunaKOVA::Alinhamento::Direita ? LVCFMT_RIGHT
                                                                                 : LVCFMT_LEFT;
        colunas.push_back({c.campo, c.titulo, formato, c.formata});
    }
    return colunas;
}

}  // namespace

void ImprimirKOVAWin(HWND dono, TqrpKOVA& relatorio) {
    TFluxosImpressao fluxos(relatorio);
    fluxos.AbrirSaida = AbreImpressora;
    JanelaModal janela(dono, "Imprimir KOVA", 1000, 520, true);
    std::unique_ptr<FrmVisualizarWin> previa;
    janela.Topico = kAjudaImpressao;
    janela.Barra({{kVisualizar, "&Visualizar", nullptr},
                  {kImprimir, "&Imprimir", "Imprimir KOVA"},
                  {kTodos, "&Todos", "Imprimir todos os KOVAs não impressos"},
                  {0, nullptr, nullptr},
                  {kConfigurar, "&Configurar", nullptr},
                  {0, nullptr, nullptr},
                  {kAjuda, "&Ajuda", nullptr},
                  {IDCANCEL, "&Fechar", "Fechar"}});
    GradeWin grade(janela, kGrade, DM->cdsKOVA, ColunasDaKOVA());
    HWND naoImpressos = janela.Cria(WC_BUTTONW, "Visualizar apenas as KOVA's não impressas",
                                    WS_TABSTOP | BS_AUTOCHECKBOX, kNaoImpressos, 0, 0, 10, 10);
    janela.Dispoe = [&](int l, int a) {
        const int topo = janela.AlturaDaBarra(), m = janela.E(8), caixa = janela.E(22);
        MoveWindow(grade.Janela(), m, topo + m / 2, l - 2 * m, a - topo - caixa - 2 * m, TRUE);
        MoveWindow(naoImpressos, m, a - caixa - m / 2, l - 2 * m, caixa, TRUE);
    };
    // The list again, standing on the current slip (the first one when that left the list); its
    // commands enabled exactly when it lists a slip.
    bool atualizando = false;
    auto atualizar = [&] {
        std::vector<TBookmark> linhas = DM->cdsKOVA.VisibleRecords();
        if (!linhas.empty() &&
            std::find(linhas.begin(), linhas.end(), DM->cdsKOVA.GetBookmark()) == linhas.end())
            DM->cdsKOVA.GotoBookmark(linhas.front());
        const bool tem = !linhas.empty();
        atualizando = true;
        grade.Mostra(std::move(linhas), janela.E(240));
        atualizando = false;
        for (int id : {kVisualizar, kImprimir, kTodos}) janela.HabilitaBotao(id, tem);
    };
    auto naoImpressosClick = [&] {
        DM->cdsKOVA.SetFiltered(SendMessageW(naoImpressos, BM_GETCHECK, 0, 0) == BST_CHECKED);
        atualizar();
    };
    fluxos.AbrirVisualizacao = [&](const std::vector<TPagina>& paginas) {
        previa.reset();
        previa = std::make_unique<FrmVisualizarWin>(janela.Janela(), paginas, fluxos);
        previa->AposImprimir = atualizar;
    };
    // A preview the person closed goes once its message is handled.
    janela.AposMensagem = [&] {
        if (previa && previa->Fechada()) {
            previa.reset();
            SetActiveWindow(janela.Janela());
        }
    };
    janela.Notificacao = [&](NMHDR& n) -> LRESULT {
        if (grade.Notificacao(n)) return 0;
        if (n.hwndFrom == grade.Janela() && n.code == LVN_ITEMCHANGED && !atualizando) {
            const auto& v = reinterpret_cast<const NMLISTVIEW&>(n);
            if ((v.uNewState & LVIS_SELECTED) && !(v.uOldState & LVIS_SELECTED))
                Protege([&] { grade.IrParaSelecionada(); });
        }
        return 0;
    };
    janela.Comando = [&](int id, int notificacao) {
        switch (id) {
            case kNaoImpressos:
                if (notificacao == BN_CLICKED) naoImpressosClick();
                break;
            case kVisualizar:
                janela.HabilitaBotao(kVisualizar, false);
                Protege([&] { fluxos.Visualizar(); });
                atualizar();
                break;
            case kImprimir:
                janela.HabilitaBotao(kImprimir, false);
                Protege([&] { fluxos.Imprimir(); });
                atualizar();
                break;
            case kTodos:
                Protege([&] { fluxos.ImprimirTodos(); });
                atualizar();
                break;
            case kConfigurar:
                ConfigurarImpressora(janela.Janela());
                break;
            case kAjuda:
                AbrirAjudaWin(kAjudaImpressao);
                break;
            default:
                break;
        }
    };
    SendMessageW(naoImpressos, BM_SETCHECK, BST_CHECKED, 0);
    try {
        naoImpressosClick();
        janela.Exibe(grade.Janela());
    } catch (...) {
        DM->cdsKOVA.SetFiltered(false);
        throw;
    }
    previa.reset();
    // The list leaves the slips table as it found it: unfiltered.
    DM->cdsKOVA.SetFiltered(false);
}

}  // namespace kova
