#include "PintorQt.h"

#include <unistd.h>

#include <QFile>
#include <QFont>
#include <QPageLayout>
#include <QPageSize>
#include <QPdfWriter>
#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "Diretorios.h"
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
        for (int x = 0; x < b.Width(); ++x)
            img.setPixel(x, y, b.Pixel(x, y) ? 0xFF000000u : 0xFFFFFFFFu);
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

// The pages go to a new file of the user's beside the target (mkstemp: private, never through a
// link), renamed over the target once complete: a link or a file another user left at the name,
// which is predictable, is replaced, never written through.
struct TArquivoPDF::Dados {
    explicit Dados(std::string caminho)
        : destino(std::move(caminho)), temporario(destino + ".XXXXXX") {}
    ~Dados() {
        if (concluido) return;
        painter.end();
        arquivo.close();
        ::unlink(temporario.c_str());
    }
    std::string destino;
    std::string temporario;
    bool concluido = false;
    // Declared in this order: the painter ends before its writer goes, the writer before its file.
    QFile arquivo;
    std::unique_ptr<QPdfWriter> pdf;
    QPainter painter;
};

TArquivoPDF::TArquivoPDF(const std::string& caminho) : d_(std::make_unique<Dados>(caminho)) {
    const int fd = ::mkstemp(d_->temporario.data());
    if (fd < 0)
        throw Exception("Não foi possível gravar o arquivo " + caminho + ": " +
                        DescricaoErroSistema(errno));
    if (!d_->arquivo.open(fd, QIODevice::WriteOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        throw Exception("Não foi possível gravar o arquivo " + caminho);
    }
    d_->pdf = std::make_unique<QPdfWriter>(&d_->arquivo);
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
        PintaPagina(d_->painter, p, 1200 / 25.4);
        ++paginas_;
    }
}

void TArquivoPDF::Conclui() {
    Dados& d = *d_;
    if (d.concluido) return;
    const bool pintou = d.painter.end();
    int erro = 0;
    errno = 0;
    if (!d.arquivo.flush()) {
        erro = errno ? errno : EIO;
    } else if (::fsync(d.arquivo.handle()) != 0) {
        erro = errno;
    }
    d.arquivo.close();
    if (!erro && !pintou) erro = EIO;
    if (!erro && std::rename(d.temporario.c_str(), d.destino.c_str()) != 0) erro = errno;
    if (erro) {
        ::unlink(d.temporario.c_str());
        d.concluido = true;
        throw Exception("Não foi possível gravar o arquivo " + d.destino + ": " +
                        DescricaoErroSistema(erro));
    }
    d.concluido = true;
    const std::string pasta = PastaDe(d.destino);
    SincronizarCaminho(pasta.empty() ? std::string(".") : pasta);
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
