#include "PintorGDI.h"

#include <windows.h>
#include <winspool.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>
#include <type_traits>
#include <vector>

#include "Errors.h"
#include "TextoLargo.h"

namespace kova {
namespace {

std::string Aspas(const std::string& nome) { return "\"" + nome + "\""; }

// Device units of the millimetres of the paper: the device's origin is the corner of the area the
// printer can reach, some way into the paper.
struct TEscala {
    double kx, ky;  // device units per millimetre
    int ox, oy;     // the device origin's offset from the paper's corner, in device units
    int X(double mm) const { return int(std::lround(mm * kx)) - ox; }
    int Y(double mm) const { return int(std::lround(mm * ky)) - oy; }
};

// A GDI object chosen into the device while it lives, then released.
class TEscolhido {
public:
    TEscolhido(HDC dc, HGDIOBJ objeto)
        : dc_(dc), objeto_(objeto), anterior_(SelectObject(dc, objeto)) {}
    ~TEscolhido() {
        SelectObject(dc_, anterior_);
        DeleteObject(objeto_);
    }
    TEscolhido(const TEscolhido&) = delete;
    TEscolhido& operator=(const TEscolhido&) = delete;

private:
    HDC dc_;
    HGDIOBJ objeto_, anterior_;
};

const wchar_t* Familia(const std::string& f) {
    if (f == "Arial Narrow") return L"Arial Narrow";
    if (f == "Courier New") return L"Courier New";
    return L"Arial";
}

// Drawn pixel for pixel, without smoothing, as the symbol's bars must stay sharp.
void PintaImagem(HDC dc, const TBitmap1& b, const RECT& r) {
    if (b.Width() <= 0 || b.Height() <= 0) return;
    struct {
        BITMAPINFOHEADER cabecalho;
        RGBQUAD cores[2];
    } info{};
    info.cabecalho.biSize = sizeof(BITMAPINFOHEADER);
    info.cabecalho.biWidth = b.Width();
    info.cabecalho.biHeight = -b.Height();  // top row first
    info.cabecalho.biPlanes = 1;
    info.cabecalho.biBitCount = 1;
    info.cabecalho.biCompression = BI_RGB;
    info.cores[0] = RGBQUAD{255, 255, 255, 0};
    info.cores[1] = RGBQUAD{0, 0, 0, 0};
    const size_t linha = size_t((b.Width() + 31) / 32 * 4);
    std::vector<uint8_t> bits(linha * size_t(b.Height()), 0);
    for (int y = 0; y < b.Height(); ++y) {
        for (int x = 0; x < b.Width(); ++x) {
            if (b.Pixel(x, y)) bits[size_t(y) * linha + size_t(x / 8)] |= uint8_t(0x80 >> (x % 8));
        }
    }
    SetStretchBltMode(dc, COLORONCOLOR);
    StretchDIBits(dc, r.left, r.top, r.right - r.left, r.bottom - r.top, 0, 0, b.Width(),
                  b.Height(), bits.data(), reinterpret_cast<const BITMAPINFO*>(&info),
                  DIB_RGB_COLORS, SRCCOPY);
}

void PintaTexto(HDC dc, const TItemDesenho& item, RECT r, const TEscala& e) {
    if (item.texto.empty()) return;
    LOGFONTW f{};
    f.lfHeight =
        -int(std::lround(item.fonte.tamanho * 25.4 / 72.0 * e.ky));  // the em, as points give it
    f.lfWeight = item.fonte.negrito ? FW_BOLD : FW_NORMAL;
    f.lfItalic = item.fonte.italico ? TRUE : FALSE;
    f.lfCharSet = DEFAULT_CHARSET;
    f.lfOutPrecision = OUT_TT_PRECIS;
    lstrcpynW(f.lfFaceName, Familia(item.fonte.familia), LF_FACESIZE);
    TEscolhido fonte(dc, CreateFontIndirectW(&f));
    SetTextColor(dc, item.fonte.cinza ? RGB(128, 128, 128) : RGB(0, 0, 0));
    UINT modo = DT_TOP | DT_NOPREFIX | (item.quebraLinhas ? DT_WORDBREAK : DT_SINGLELINE);
    modo |= item.alinhamento == TAlinhamento::Centro    ? DT_CENTER
            : item.alinhamento == TAlinhamento::Direita ? DT_RIGHT
                                                        : DT_LEFT;
    const std::wstring texto = Largo(item.texto);
    DrawTextW(dc, texto.c_str(), int(texto.size()), &r, modo);
}

void PintaPagina(HDC dc, const TPagina& pagina, const TEscala& e) {
    SetBkMode(dc, TRANSPARENT);
    const HBRUSH preto = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    for (const TItemDesenho& item : pagina.itens) {
        const RECT r{e.X(item.x), e.Y(item.y), e.X(item.x + item.largura),
                     e.Y(item.y + item.altura)};
        switch (item.tipo) {
            case TItemDesenho::Tipo::Retangulo: {
                // A thin pen (0.2 mm) along the edges, nothing inside.
                TEscolhido caneta(dc, CreatePen(PS_SOLID, std::max(1, int(std::lround(0.2 * e.kx))),
                                                RGB(0, 0, 0)));
                const HGDIOBJ pincel = SelectObject(dc, GetStockObject(NULL_BRUSH));
                Rectangle(dc, r.left, r.top, r.right, r.bottom);
                SelectObject(dc, pincel);
                break;
            }
            case TItemDesenho::Tipo::LinhaPontilhada: {
                // Dots of 0.25 mm every 0.75 mm, across the middle: drawn one by one, as a dotted
                // pen wider than one device unit draws differently on every printer.
                const int alto = std::max(1, int(std::lround(0.25 * e.ky)));
                const int meio = e.Y(item.y + item.altura / 2) - alto / 2;
                for (double x = item.x; x + 0.25 <= item.x + item.largura + 1e-9; x += 0.75) {
                    const RECT ponto{e.X(x), meio, std::max(e.X(x + 0.25), e.X(x) + 1),
                                     meio + alto};
                    FillRect(dc, &ponto, preto);
                }
                break;
            }
            case TItemDesenho::Tipo::Imagem:
                if (item.imagem) PintaImagem(dc, *item.imagem, r);
                break;
            case TItemDesenho::Tipo::Texto:
                PintaTexto(dc, item, r, e);
                break;
        }
    }
}

struct FechaImpressora {
    void operator()(HANDLE h) const { ClosePrinter(h); }
};
using Impressora = std::unique_ptr<std::remove_pointer_t<HANDLE>, FechaImpressora>;

struct ApagaDispositivo {
    void operator()(HDC dc) const { DeleteDC(dc); }
};
using Dispositivo = std::unique_ptr<std::remove_pointer_t<HDC>, ApagaDispositivo>;

// Why a printer cannot take a job now, or empty. A paused printer would keep the job and print it
// some day, long after the slip was left unprinted: it gets nothing, as one offline.
std::string Impedimento(HANDLE h, const std::string& nome) {
    DWORD n = 0;
    GetPrinterW(h, 2, nullptr, 0, &n);
    if (n == 0) return {};
    std::vector<BYTE> dados(n);
    if (!GetPrinterW(h, 2, dados.data(), n, &n)) return {};
    const auto* p = reinterpret_cast<const PRINTER_INFO_2W*>(dados.data());
    if (p->Status & PRINTER_STATUS_PAUSED) return "A impressora " + Aspas(nome) + " está parada";
    if (p->Status & PRINTER_STATUS_PENDING_DELETION)
        return "A impressora " + Aspas(nome) + " está sendo removida";
    if ((p->Status & (PRINTER_STATUS_OFFLINE | PRINTER_STATUS_NOT_AVAILABLE)) ||
        (p->Attributes & PRINTER_ATTRIBUTE_WORK_OFFLINE)) {
        return "A impressora " + Aspas(nome) + " está desligada ou indisponível";
    }
    return {};
}

// The printer's own settings with A4 paper, portrait, one copy; empty when the driver gives none.
std::vector<BYTE> ConfiguracaoA4(HANDLE h, std::wstring& nome) {
    const LONG tamanho = DocumentPropertiesW(nullptr, h, nome.data(), nullptr, nullptr, 0);
    if (tamanho <= 0) return {};
    std::vector<BYTE> dados(static_cast<size_t>(tamanho));
    auto* dm = reinterpret_cast<DEVMODEW*>(dados.data());
    if (DocumentPropertiesW(nullptr, h, nome.data(), dm, nullptr, DM_OUT_BUFFER) < 0) return {};
    dm->dmFields |= DM_PAPERSIZE | DM_ORIENTATION | DM_COPIES;
    dm->dmPaperSize = DMPAPER_A4;
    dm->dmOrientation = DMORIENT_PORTRAIT;
    dm->dmCopies = 1;
    if (DocumentPropertiesW(nullptr, h, nome.data(), dm, dm, DM_IN_BUFFER | DM_OUT_BUFFER) < 0)
        return {};
    return dados;
}

}  // namespace

std::string ImpressoraPadrao() {
    DWORD n = 0;
    GetDefaultPrinterW(nullptr, &n);
    if (n == 0) return {};
    std::wstring nome(n, L'\0');
    if (!GetDefaultPrinterW(nome.data(), &n)) return {};
    return Estreito(nome.c_str());
}

void PintaPaginaEm(HDC dc, const TPagina& pagina, double pontosPorMilimetro, int x, int y) {
    PintaPagina(dc, pagina, TEscala{pontosPorMilimetro, pontosPorMilimetro, -x, -y});
}

void ImprimeNaImpressora(const std::string& impressora, const std::vector<TPagina>& paginas,
                         const std::string& titulo) {
    std::wstring nome = Largo(impressora);
    HANDLE aberta = nullptr;
    if (!OpenPrinterW(nome.data(), &aberta, nullptr)) {
        throw Exception("A impressora " + Aspas(impressora) + " não foi encontrada");
    }
    const Impressora h(aberta);
    const std::string impedimento = Impedimento(h.get(), impressora);
    if (!impedimento.empty()) throw Exception(impedimento);

    std::vector<BYTE> configuracao = ConfiguracaoA4(h.get(), nome);
    const Dispositivo dc(CreateDCW(
        L"WINSPOOL", nome.c_str(), nullptr,
        configuracao.empty() ? nullptr : reinterpret_cast<DEVMODEW*>(configuracao.data())));
    if (!dc)
        throw Exception("A impressora " + Aspas(impressora) +
                        " não pôde ser preparada para imprimir");
    const auto recusou = [&](bool iniciado) {
        const DWORD erro = GetLastError();
        if (iniciado) AbortDoc(dc.get());
        throw Exception("A impressora " + Aspas(impressora) + " recusou a impressão (erro " +
                        std::to_string(erro) + " do Windows)");
    };

    const std::wstring documento = Largo(titulo);
    DOCINFOW info{};
    info.cbSize = sizeof info;
    info.lpszDocName = documento.c_str();
    if (StartDocW(dc.get(), &info) <= 0) recusou(false);
    const TEscala escala{
        GetDeviceCaps(dc.get(), LOGPIXELSX) / 25.4, GetDeviceCaps(dc.get(), LOGPIXELSY) / 25.4,
        GetDeviceCaps(dc.get(), PHYSICALOFFSETX), GetDeviceCaps(dc.get(), PHYSICALOFFSETY)};
    for (const TPagina& pagina : paginas) {
        if (StartPage(dc.get()) <= 0) recusou(true);
        PintaPagina(dc.get(), pagina, escala);
        if (EndPage(dc.get()) <= 0) recusou(true);
    }
    // The spooler holds the whole job once this returns.
    if (EndDoc(dc.get()) <= 0) recusou(false);
}

}  // namespace kova
