// KOVA, the desktop program on Windows: splash, data module, main window, message loop; the slips
// file is written after every change and once more at the end.

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "ControladorDigitar.h"
#include "DialogosWin.h"
#include "Dialogs.h"
#include "FrmPrincipalWin.h"
#include "Inicio.h"
#include "TDM.h"
#include "TqrpKOVA.h"

using namespace kova;

namespace {

const wchar_t* const kClasseAbertura = L"KOVAAbertura";

LRESULT CALLBACK ProcAbertura(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg != WM_PAINT) return DefWindowProcW(h, msg, wp, lp);
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(h, &ps);
    RECT r;
    GetClientRect(h, &r);
    const int dpi = GetDeviceCaps(dc, LOGPIXELSY);
    HFONT grande = CreateFontW(-MulDiv(36, dpi, 72), 0, 0, 0, FW_BOLD, 0, 0, 0, DEFAULT_CHARSET, 0,
                               0, CLEARTYPE_QUALITY, 0, L"Segoe UI");
    HFONT normal = CreateFontW(-MulDiv(10, dpi, 72), 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET,
                               0, 0, CLEARTYPE_QUALITY, 0, L"Segoe UI");
    SetBkMode(dc, TRANSPARENT);
    HGDIOBJ antes = SelectObject(dc, grande);
    RECT linha = r;
    linha.bottom = r.top + (r.bottom - r.top) / 2;
    DrawTextW(dc, L"KOVA", -1, &linha, DT_CENTER | DT_BOTTOM | DT_SINGLELINE);
    SelectObject(dc, normal);
    linha.top = linha.bottom + MulDiv(8, dpi, 96);
    linha.bottom = linha.top + MulDiv(24, dpi, 96);
    DrawTextW(dc, L"Fennolar", -1, &linha, DT_CENTER | DT_SINGLELINE);
    OffsetRect(&linha, 0, MulDiv(24, dpi, 96));
    DrawTextW(dc, L"Carregando...", -1, &linha, DT_CENTER | DT_SINGLELINE);
    SelectObject(dc, antes);
    DeleteObject(grande);
    DeleteObject(normal);
    EndPaint(h, &ps);
    return 0;
}

// The window shown while the data module loads.
HWND MostraAbertura() {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = ProcAbertura;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hCursor = LoadCursorW(nullptr, IDC_WAIT);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = kClasseAbertura;
    RegisterClassExW(&wc);
    HDC dc = GetDC(nullptr);
    const int dpi = GetDeviceCaps(dc, LOGPIXELSY);
    ReleaseDC(nullptr, dc);
    const int l = MulDiv(320, dpi, 96), a = MulDiv(200, dpi, 96);
    RECT area;
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
    HWND h = CreateWindowExW(WS_EX_TOOLWINDOW, kClasseAbertura, L"KOVA", WS_POPUP | WS_BORDER,
                             area.left + (area.right - area.left - l) / 2,
                             area.top + (area.bottom - area.top - a) / 2, l, a, nullptr, nullptr,
                             GetModuleHandleW(nullptr), nullptr);
    ShowWindow(h, SW_SHOWNORMAL);
    UpdateWindow(h);
    return h;
}

// The command line's arguments in the system's text (Windows-1252).
std::vector<std::string> Argumentos() {
    int n = 0;
    LPWSTR* largos = CommandLineToArgvW(GetCommandLineW(), &n);
    std::vector<std::string> args;
    for (int i = 0; i < n; ++i) args.push_back(Estreito(largos[i]));
    LocalFree(largos);
    return args;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    DialogosWin dialogos;
    SetDialogService(&dialogos);

    HWND abertura = MostraAbertura();
    // A slips file that cannot be read offers the restore of one of its copies.
    std::unique_ptr<TDM> dm = CriaModuloDeDados([abertura](TDM& configurado) {
        ShowWindow(abertura, SW_HIDE);
        return RestaurarCopiaWin(nullptr, configurado);
    });
    DestroyWindow(abertura);
    if (!dm) return 1;

    TqrpKOVA relatorio;
    if (dm->TopMargin >= 0) relatorio.Relatorio.margemSuperior = dm->TopMargin;
    int resultado = 0;
    {
        FrmPrincipalWin principal(relatorio);
        ShowWindow(principal.Janela(), SW_SHOWNORMAL);
        UpdateWindow(principal.Janela());
        SetForegroundWindow(principal.Janela());

        std::vector<std::string> args = Argumentos();
        std::vector<char*> argv;
        for (std::string& a : args) argv.push_back(a.data());
        if (ArgumentoDeImportacao(int(argv.size()), argv.data())) {
            // A file named on the command line is imported and printed unattended; the program
            // then ends by itself, with a failure status when the import stopped. The person sees
            // first which file is being imported.
            MessageBoxW(principal.Janela(), Largo(args[1]).c_str(), L"KOVA - Fennolar", MB_OK);
            bool ok = false;
            Protege([&] {
                principal.IncorporarArquivo(args[1], true);
                ok = true;
            });
            if (!ok) resultado = 1;
            principal.Encerra();
        }
        const int fim = principal.Executa();
        if (resultado == 0) resultado = fim;
    }
    Protege([&] { dm->DMDestroy(); });
    SetDialogService(nullptr);
    return resultado;
}
