#include "PintorQt.h"

#include <QFont>
#include <QPageLayout>
#include <QPageSize>
#include <QPdfWriter>

#include "Errors.h"
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
        for (int x = 0; x < b.Width(); ++x) img.setPixel(x, y, b.Pixel(x, y) ? 0xFF000000u : 0xFFFFFFFFu);
    }
    return img;
}

}  // namespace

void PintaPagina(QPainter& p, const TPagina& pagina, double k) {
    p.setRenderHint(QPainter::SmoothPixmapTransform, false);
    for (const TItemDesenho& item : pagina.itens) {
        const QRectF r(item.x * k, item.y * k, item.largura * k, item.altura * k);
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
                if (item.imagem) p.drawImage(r, ImagemDoBitmap(*item.imagem));
                break;
            case TItemDesenho::Tipo::Texto: {
                if (item.texto.empty()) break;
                QFont fonte(Familia(item.fonte.familia));
                fonte.setPointSizeF(item.fonte.tamanho);
                fonte.setBold(item.fonte.negrito);
                fonte.setItalic(item.fonte.italico);
                p.setFont(fonte);
                p.setPen(item.fonte.cinza ? QColor(128, 128, 128) : QColor(Qt::black));
                int flags = Qt::AlignTop;
                flags |= item.alinhamento == TAlinhamento::Centro    ? Qt::AlignHCenter
                         : item.alinhamento == TAlinhamento::Direita ? Qt::AlignRight
                                                                     : Qt::AlignLeft;
                if (item.quebraLinhas) flags |= Qt::TextWordWrap;
                p.drawText(r, flags, Texto(item.texto));
                break;
            }
        }
    }
}

struct TArquivoPDF::Dados {
    explicit Dados(const std::string& caminho) : pdf(QString::fromStdString(caminho)) {}
    QPdfWriter pdf;
    QPainter painter;
};

TArquivoPDF::TArquivoPDF(const std::string& caminho) : d_(std::make_unique<Dados>(caminho)) {
    d_->pdf.setResolution(1200);
    d_->pdf.setTitle(QStringLiteral("KOVA"));
    d_->pdf.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(0, 0, 0, 0),
                                      QPageLayout::Millimeter));
    if (!d_->painter.begin(&d_->pdf)) throw Exception("Não foi possível gravar o arquivo " + caminho);
}

TArquivoPDF::~TArquivoPDF() { d_->painter.end(); }

void TArquivoPDF::Acrescenta(const std::vector<TPagina>& paginas) {
    for (const TPagina& p : paginas) {
        if (paginas_ > 0) d_->pdf.newPage();
        PintaPagina(d_->painter, p, 1200 / 25.4);
        ++paginas_;
    }
}

void GravaPDF(const std::vector<TPagina>& paginas, const std::string& caminho) {
    TArquivoPDF(caminho).Acrescenta(paginas);
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
