#pragma once
// Paints the report engine's pages with Qt: into a PDF file (what a print queue is also given) or
// into page images for a preview. Millimetres become device units here; Arial, Arial Narrow and
// Courier New are drawn with their metric-compatible Liberation families.

#include <QImage>
#include <QPainter>
#include <QString>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "TBitmap1.h"
#include "TRelatorio.h"

namespace kova {

// The texts of a document laid out once each, for one painter and its device: drawn again, a text
// of the same font in a box of the same size takes its glyphs from here.
class TTextosDispostos {
public:
    TTextosDispostos();
    ~TTextosDispostos();
    TTextosDispostos(const TTextosDispostos&) = delete;
    TTextosDispostos& operator=(const TTextosDispostos&) = delete;
    // Draws the text as QPainter::drawText(r, flags, texto) would, in the painter's font, which is
    // `fonte`'s.
    void Desenha(QPainter& p, const QRectF& r, int flags, const QString& texto,
                 const TFonte& fonte);

private:
    struct TDisposto;
    // The font (family, size, bold, italic), the alignment, the box's size and the text.
    using TChave = std::tuple<std::string, double, bool, bool, int, qreal, qreal, QString>;
    const TDisposto& Dispoe(const QPainter& p, const QRectF& r, int flags, const QString& texto,
                            const TFonte& fonte);
    std::map<TChave, TDisposto> dispostos_;
};

// The pictures of a document made once each: a picture drawn again with the same pixels (the cut
// mark of every slip) is the same image, which the PDF then holds once.
class TImagensGuardadas {
public:
    const QImage& Imagem(const TBitmap1& b);

private:
    struct TGuardada {
        int largura = 0, altura = 0;
        std::vector<unsigned char> pixels;
        QImage imagem;
        uint64_t usada = 0;
    };
    std::vector<TGuardada> guardadas_;
    uint64_t vez_ = 0;
};

// What a document draws again on every page, made once for it.
struct TGuardadosDoDocumento {
    TTextosDispostos textos;
    TImagensGuardadas imagens;
};

// Draws one page; the painter's device has pontosPorMm device units per millimetre. With
// `guardados`, texts and pictures drawn before in the same painter are not made again.
void PintaPagina(QPainter& painter, const TPagina& pagina, double pontosPorMm,
                 TGuardadosDoDocumento* guardados = nullptr);
// Writes the pages to an A4 PDF file, private to the user; throws kova::Exception when the file
// cannot be written.
void GravaPDF(const std::vector<TPagina>& paginas, const std::string& caminho);
// A PDF file written a few pages at a time (a long print run). The pages go to a new private file
// beside the target, which Conclui puts in the target's place whole; one that goes without
// Conclui leaves nothing behind, and whatever stood at the target's name (a link) is replaced,
// never written through.
class TArquivoPDF {
public:
    // Throws kova::Exception when the file cannot be created.
    explicit TArquivoPDF(const std::string& caminho);
    ~TArquivoPDF();
    TArquivoPDF(const TArquivoPDF&) = delete;
    TArquivoPDF& operator=(const TArquivoPDF&) = delete;
    void Acrescenta(const std::vector<TPagina>& paginas);
    // Completes the file and puts it in place; throws kova::Exception when it cannot.
    void Conclui();
    int Paginas() const { return paginas_; }

private:
    struct Dados;
    std::unique_ptr<Dados> d_;
    int paginas_ = 0;
};
// The page as a picture at the given resolution (dots per inch), for a preview.
QImage ImagemDaPagina(const TPagina& pagina, double dpi);

}  // namespace kova
