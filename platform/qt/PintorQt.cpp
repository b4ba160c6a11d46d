#include "PintorQt.h"

#include <QFont>
#include <QFontMetricsF>
#include <QGlyphRun>
#include <QIODevice>
#include <QPageLayout>
#include <QPageSize>
#include <QPdfWriter>
#include <QTextLayout>
#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <exception>
#include <map>
#include <tuple>
#include <utility>
#include <vector>

#include "Diretorios.h"
#include "Errors.h"
#include "SistemaDeArquivos.h"
#include "Texto.h"

namespace kova {
namespace {

QString Familia(const std::string& f) {
    if (f == "Arial Narrow") return QStringLiteral("Liberation Sans Narrow");
    if (f == "Courier New") return QStringLiteral("Liberation Mono");
    return QStringLiteral("Liberation Sans");
}

QString Texto(const std::string& cp1252) { return QString::fromStdString(Cp1252ToUtf8(cp1252)); }

QImage ImagemDoBitmap(const TBitmap1& b) {
    QImage img(b.Width(), b.Height(), QImage::Format_RGB32);
    for (int y = 0; y < b.Height(); ++y) {
        const unsigned char* origem = b.Linha(y);
        auto* destino = reinterpret_cast<QRgb*>(img.scanLine(y));
        for (int x = 0; x < b.Width(); ++x) destino[x] = origem[x] ? 0xFF000000u : 0xFFFFFFFFu;
    }
    return img;
}

// Whether a text is laid out here as the painter's own drawText lays it out: plain characters on
// lines the box breaks, aligned at the top. Any other text (line breaks, tabs, mnemonics, leading
// blanks pushed against the right edge) is left to the painter.
bool TextoSimples(const QString& t, int flags) {
    for (QChar c : t) {
        if (c == u'\n' || c == u'\r' || c == u'\t' || c == u'&' || c == QChar(0x9c) ||
            c == QChar::LineSeparator) {
            return false;
        }
    }
    if ((flags & Qt::AlignRight) && !t.isEmpty() && t.front().isSpace()) return false;
    return (flags & Qt::AlignVertical_Mask) == Qt::AlignTop;
}

}  // namespace

// A text laid out once in a box of its size and font: its lines' glyphs and where each line
// begins in the box, and whether the text overflows the box (it is then clipped to it). A document
// of many slips draws the same labels on every page; laid out again each time, they cost more than
// everything else on the page.
struct TTextosDispostos::TDisposto {
    std::vector<std::pair<QPointF, QList<QGlyphRun>>> linhas;
    bool excede = false;
};

TTextosDispostos::TTextosDispostos() = default;
TTextosDispostos::~TTextosDispostos() = default;

const TTextosDispostos::TDisposto& TTextosDispostos::Dispoe(const QPainter& p, const QRectF& r,
                                                            int flags, const QString& texto,
                                                            const TFonte& fonte) {
    // A long print run of different taxpayers is not kept whole: the labels come back at once.
    if (dispostos_.size() >= 4096) dispostos_.clear();
    TChave chave{fonte.familia, fonte.tamanho, fonte.negrito, fonte.italico,
                 flags,         r.width(),     r.height(),    texto};
    auto [it, novo] = dispostos_.try_emplace(std::move(chave));
    if (!novo) return it->second;
    TDisposto& d = it->second;
    // The painter's drawText: lines as wide as the box when it breaks them, else one line; each
    // line on a whole unit below the last; the lines that reach past the box's foot not laid out.
    const QFont& daPintura = p.font();
    const QFontMetricsF fm(daPintura);
    const bool quebra = flags & Qt::TextWordWrap;
    QTextLayout layout(texto, daPintura);
    layout.setCacheEnabled(true);
    QTextOption opcao;
    opcao.setTextDirection(Qt::LeftToRight);
    opcao.setAlignment(Qt::AlignLeft);
    if (!quebra) opcao.setFlags(QTextOption::IncludeTrailingSpaces);
    layout.setTextOption(opcao);
    const qreal larguraDaLinha = quebra ? std::max<qreal>(0, r.width()) : qreal(0x01000000);
    const qreal entrelinha = fm.leading();
    qreal altura = -entrelinha;
    qreal largura = 0;
    layout.beginLayout();
    for (;;) {
        QTextLine l = layout.createLine();
        if (!l.isValid()) break;
        l.setLineWidth(larguraDaLinha);
        altura += entrelinha;
        altura = std::ceil(altura);
        l.setPosition(QPointF(0, altura));
        // The line's own height, not rounded up as QTextLine::height() gives it.
        altura += l.ascent() + l.descent();
        largura = std::max(largura, l.naturalTextWidth());
        if (altura >= r.height()) break;
    }
    layout.endLayout();
    qreal xLimites = 0;
    if (flags & Qt::AlignRight) {
        xLimites = r.width() - largura;
    } else if (flags & Qt::AlignHCenter) {
        xLimites = (r.width() - largura) / 2;
    }
    d.excede = !QRectF(0, 0, r.width(), r.height()).contains(QRectF(xLimites, 0, largura, altura));
    for (int i = 0; i < layout.lineCount(); ++i) {
        const QTextLine l = layout.lineAt(i);
        const qreal avanco = l.horizontalAdvance();
        qreal x = 0;
        if (flags & Qt::AlignRight) {
            x = r.width() - avanco;
        } else if (flags & Qt::AlignHCenter) {
            x = (r.width() - avanco) / 2;
        }
        d.linhas.emplace_back(QPointF(x, 0), l.glyphRuns());
    }
    return d;
}

void TTextosDispostos::Desenha(QPainter& p, const QRectF& r, int flags, const QString& texto,
                               const TFonte& fonte) {
    // Laid out here only left to right, as every text of a slip is.
    if (p.layoutDirection() == Qt::RightToLeft || !TextoSimples(texto, flags)) {
        p.drawText(r, flags, texto);
        return;
    }
    const TDisposto& d = Dispoe(p, r, flags, texto, fonte);
    if (d.excede) {
        p.save();
        p.setClipRect(r, Qt::IntersectClip);
    }
    for (const auto& [inicio, corridas] : d.linhas) {
        for (const QGlyphRun& g : corridas) p.drawGlyphRun(r.topLeft() + inicio, g);
    }
    if (d.excede) p.restore();
}

const QImage& TImagensGuardadas::Imagem(const TBitmap1& b) {
    const size_t n = size_t(b.Width()) * size_t(b.Height());
    const unsigned char* pixels = n ? b.Linha(0) : nullptr;
    ++vez_;
    for (TGuardada& g : guardadas_) {
        if (g.largura == b.Width() && g.altura == b.Height() &&
            (n == 0 || std::memcmp(g.pixels.data(), pixels, n) == 0)) {
            g.usada = vez_;
            return g.imagem;
        }
    }
    // A few are kept: the cut mark stays, each slip's barcode takes the place of the last.
    constexpr size_t kGuardadas = 8;
    if (guardadas_.size() >= kGuardadas) {
        auto antiga = std::min_element(
            guardadas_.begin(), guardadas_.end(),
            [](const TGuardada& a, const TGuardada& c) { return a.usada < c.usada; });
        guardadas_.erase(antiga);
    }
    TGuardada g;
    g.largura = b.Width();
    g.altura = b.Height();
    if (n) g.pixels.assign(pixels, pixels + n);
    g.imagem = ImagemDoBitmap(b);
    g.usada = vez_;
    guardadas_.push_back(std::move(g));
    return guardadas_.back().imagem;
}

void PintaPagina(QPainter& p, const TPagina& pagina, double k, TGuardadosDoDocumento* guardados) {
    p.setRenderHint(QPainter::SmoothPixmapTransform, false);
    // A picture drawn more than once on a page (the barcode of each copy) is made once: the PDF
    // then holds it once as well. A document keeps them from page to page.
    std::vector<std::pair<const TBitmap1*, QImage>> imagens;
    auto imagem = [&imagens, guardados](const TBitmap1& b) -> const QImage& {
        if (guardados) return guardados->imagens.Imagem(b);
        for (const auto& [origem, img] : imagens) {
            if (origem == &b) return img;
        }
        imagens.emplace_back(&b, ImagemDoBitmap(b));
        return imagens.back().second;
    };
    // The font and colour of the last text, set again only when they change.
    const TFonte* fonteAtual = nullptr;
    bool cinzaAtual = false;
    bool canetaDeTexto = false;
    for (const TItemDesenho& item : pagina.itens) {
        const QRectF r(item.x * k, item.y * k, item.largura * k, item.altura * k);
        if (item.tipo != TItemDesenho::Tipo::Texto && item.tipo != TItemDesenho::Tipo::Imagem)
            canetaDeTexto = false;
        switch (item.tipo) {
            case TItemDesenho::Tipo::Retangulo: {
                QPen pen(Qt::black);
                pen.setWidthF(0.2 * k);
                p.setPen(pen);
                p.setBrush(Qt::NoBrush);
                p.drawRect(r);
                break;
            }
            case TItemDesenho::Tipo::LinhaPontilhada: {
                QPen pen(Qt::black);
                pen.setWidthF(0.25 * k);
                pen.setStyle(Qt::DotLine);
                p.setPen(pen);
                p.drawLine(QPointF(r.left(), r.center().y()), QPointF(r.right(), r.center().y()));
                break;
            }
            case TItemDesenho::Tipo::Imagem:
                if (item.imagem) p.drawImage(r, imagem(*item.imagem));
                break;
            case TItemDesenho::Tipo::Texto: {
                if (item.texto.empty()) break;
                if (!fonteAtual || fonteAtual->familia != item.fonte.familia ||
                    fonteAtual->tamanho != item.fonte.tamanho ||
                    fonteAtual->negrito != item.fonte.negrito ||
                    fonteAtual->italico != item.fonte.italico) {
                    QFont fonte(Familia(item.fonte.familia));
                    fonte.setPointSizeF(item.fonte.tamanho);
                    fonte.setBold(item.fonte.negrito);
                    fonte.setItalic(item.fonte.italico);
                    p.setFont(fonte);
                    fonteAtual = &item.fonte;
                }
                if (!canetaDeTexto || cinzaAtual != item.fonte.cinza) {
                    p.setPen(item.fonte.cinza ? QColor(128, 128, 128) : QColor(Qt::black));
                    cinzaAtual = item.fonte.cinza;
                    canetaDeTexto = true;
                }
                int flags = Qt::AlignTop;
                flags |= item.alinhamento == TAlinhamento::Centro    ? Qt::AlignHCenter
                         : item.alinhamento == TAlinhamento::Direita ? Qt::AlignRight
                                                                     : Qt::AlignLeft;
                if (item.quebraLinhas) flags |= Qt::TextWordWrap;
                if (guardados) {
                    guardados->textos.Desenha(p, r, flags, Texto(item.texto), item.fonte);
                } else {
                    p.drawText(r, flags, Texto(item.texto));
                }
                break;
            }
        }
    }
}

namespace {

// What the PDF writer writes, handed to the file of the file seam 64 KB at a time. The writer does
// not look at what its writes answer, so the first failure is kept here: every later write is
// refused and Conclui throws it. A file that missed one piece is never taken for a print.
class TSaidaPDF : public QIODevice {
public:
    explicit TSaidaPDF(std::unique_ptr<IArquivoEmPartes> arquivo) : arquivo_(std::move(arquivo)) {
        open(QIODevice::WriteOnly);
    }
    bool isSequential() const override { return true; }
    // The cause of the first failure; empty while there is none.
    const std::string& Falha() const { return falha_; }
    // Writes what is held and completes the file; throws EErroGravacao.
    void Conclui() {
        Descarrega();
        if (!falha_.empty()) throw EErroGravacao(std::string(), falha_);
        try {
            arquivo_->Conclui();
        } catch (const EErroGravacao& e) {
            falha_ = e.Causa();
            throw;
        }
    }

protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char* dados, qint64 tamanho) override {
        if (!falha_.empty()) return -1;
        bloco_.append(dados, size_t(tamanho));
        if (bloco_.size() >= kBloco) Descarrega();
        return falha_.empty() ? tamanho : -1;
    }

private:
    static constexpr size_t kBloco = 64 * 1024;
    void Descarrega() {
        if (bloco_.empty() || !falha_.empty()) return;
        try {
            arquivo_->Escreve(bloco_.data(), bloco_.size());
        } catch (const EErroGravacao& e) {
            falha_ = e.Causa();
        } catch (const std::exception& e) {
            falha_ = e.what();
        }
        bloco_.clear();
    }

    std::unique_ptr<IArquivoEmPartes> arquivo_;
    std::string bloco_;
    std::string falha_;
};

}  // namespace

// The pages go to a new file of the user's beside the target, put in its place once complete: a
// link or a file another user left at the name, which is predictable, is replaced, never written
// through.
struct TArquivoPDF::Dados {
    Dados(const std::string& caminho, std::unique_ptr<IArquivoEmPartes> arquivo)
        : destino(caminho), saida(std::move(arquivo)) {}
    ~Dados() {
        if (!concluido) painter.end();
    }
    std::string destino;
    bool concluido = false;
    // Declared in this order: the painter ends before its writer goes, the writer before its file.
    TSaidaPDF saida;
    std::unique_ptr<QPdfWriter> pdf;
    QPainter painter;
    TGuardadosDoDocumento guardados;

    [[noreturn]] void Falha(const std::string& causa) {
        concluido = true;
        throw Exception("Não foi possível gravar o arquivo " + destino + ": " + causa);
    }
};

namespace {

std::unique_ptr<IArquivoEmPartes> CriaArquivo(const std::string& caminho) {
    try {
        return Arquivos().CriaEmPartes(caminho);
    } catch (const EErroGravacao& e) {
        throw Exception("Não foi possível gravar o arquivo " + caminho + ": " + e.Causa());
    }
}

}  // namespace

TArquivoPDF::TArquivoPDF(const std::string& caminho)
    : d_(std::make_unique<Dados>(caminho, CriaArquivo(caminho))) {
    d_->pdf = std::make_unique<QPdfWriter>(&d_->saida);
    d_->pdf->setResolution(1200);
    d_->pdf->setTitle(QStringLiteral("KOVA"));
    d_->pdf->setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                       QMarginsF(0, 0, 0, 0), QPageLayout::Millimeter));
    if (!d_->painter.begin(d_->pdf.get()))
        throw Exception("Não foi possível gravar o arquivo " + caminho);
}

TArquivoPDF::~TArquivoPDF() = default;

void TArquivoPDF::Acrescenta(const std::vector<TPagina>& paginas) {
    for (const TPagina& p : paginas) {
        if (paginas_ > 0) d_->pdf->newPage();
        PintaPagina(d_->painter, p, 1200 / 25.4, &d_->guardados);
        ++paginas_;
    }
}

void TArquivoPDF::Conclui() {
    Dados& d = *d_;
    if (d.concluido) return;
    const bool pintou = d.painter.end();
    if (!d.saida.Falha().empty()) d.Falha(d.saida.Falha());
    if (!pintou) d.Falha(DescricaoErroSistema(EIO));
    try {
        d.saida.Conclui();
    } catch (const EErroGravacao& e) {
        d.Falha(e.Causa());
    }
    d.concluido = true;
}

void GravaPDF(const std::vector<TPagina>& paginas, const std::string& caminho) {
    TArquivoPDF arquivo(caminho);
    arquivo.Acrescenta(paginas);
    arquivo.Conclui();
}

QImage ImagemDaPagina(const TPagina& pagina, double dpi) {
    const double k = dpi / 25.4;
    QImage img(int(210 * k), int(297 * k), QImage::Format_RGB32);
    img.fill(Qt::white);
    img.setDotsPerMeterX(int(dpi / 0.0254));
    img.setDotsPerMeterY(int(dpi / 0.0254));
    QPainter painter(&img);
    PintaPagina(painter, pagina, k);
    return img;
}

}  // namespace kova
