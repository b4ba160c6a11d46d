// The texts of a print run laid out once and drawn again from their glyphs: each must land where
// the painter's own drawText puts it, pixel for pixel, whatever its alignment, its breaking into
// lines, its blanks, or its overflowing the box; and a text drawn again in a box of another size or
// another font is laid out anew.

#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <cmath>
#include <cstdlib>
#include <string>

#include "PintorQt.h"

using namespace kova;

namespace {

class TextosDispostosTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        setenv("QT_QPA_PLATFORM", "offscreen", 0);
        static int argc = 1;
        static char nome[] = "teste";
        static char* argv[] = {nome, nullptr};
        if (!QGuiApplication::instance()) app = new QGuiApplication(argc, argv);
    }
    static void TearDownTestSuite() {
        delete app;
        app = nullptr;
    }
    static QImage Folha() {
        QImage img(2400, 900, QImage::Format_RGB32);
        img.fill(Qt::white);
        // The printer's resolution scale: fonts are sized as on a page.
        img.setDotsPerMeterX(int(600 / 0.0254));
        img.setDotsPerMeterY(int(600 / 0.0254));
        return img;
    }
    static QFont Fonte(const TFonte& f) {
        QFont q(f.familia == "Courier New"    ? QStringLiteral("Liberation Mono")
                : f.familia == "Arial Narrow" ? QStringLiteral("Liberation Sans Narrow")
                                              : QStringLiteral("Liberation Sans"));
        q.setPointSizeF(f.tamanho);
        q.setBold(f.negrito);
        return q;
    }
    // Where anything is drawn.
    static QRect Tinta(const QImage& img) {
        QRect r;
        for (int y = 0; y < img.height(); ++y) {
            const auto* linha = reinterpret_cast<const QRgb*>(img.constScanLine(y));
            for (int x = 0; x < img.width(); ++x) {
                if (linha[x] != 0xFFFFFFFFu) r |= QRect(x, y, 1, 1);
            }
        }
        return r;
    }
    // The text drawn by the painter and through the laid-out texts (twice: the second from what
    // the first kept), in the same box.
    static void ConfereIgual(const QString& texto, int flags, const QRectF& caixa, const TFonte& f,
                             TTextosDispostos& dispostos) {
        QImage esperada = Folha();
        {
            QPainter p(&esperada);
            p.setFont(Fonte(f));
            p.drawText(caixa, flags, texto);
        }
        for (int vez = 0; vez < 2; ++vez) {
            QImage obtida = Folha();
            {
                QPainter p(&obtida);
                p.setFont(Fonte(f));
                dispostos.Desenha(p, caixa, flags, texto, f);
            }
            const std::string caso =
                "\"" + texto.toStdString() + "\" flags " + std::to_string(flags);
            if (!(flags & Qt::AlignHCenter)) {
                EXPECT_TRUE(obtida == esperada) << caso << " vez " << vez;
                continue;
            }
            // Centred, a line may begin half a glyph unit off (the glyphs' places are kept in
            // 64ths of a unit, the half of a width in 128ths), which no print shows: the ink covers
            // the same place to the pixel.
            const QRect a = Tinta(esperada), b = Tinta(obtida);
            EXPECT_FALSE(a.isNull()) << caso;
            for (int d : {a.left() - b.left(), a.right() - b.right(), a.top() - b.top(),
                          a.bottom() - b.bottom()}) {
                EXPECT_LE(std::abs(d), 1) << caso << " vez " << vez;
            }
        }
    }
    static inline QGuiApplication* app = nullptr;
};

TEST_F(TextosDispostosTest, DesenhaOndeODrawTextDesenha) {
    TTextosDispostos dispostos;
    const TFonte normal{"Arial", 8, false, false, false};
    const TFonte negrito{"Arial", 10, true, false, false};
    const TFonte estreita{"Arial Narrow", 7, false, false, false};
    const TFonte mono{"Courier New", 9, false, false, false};
    const QRectF caixa(100.5, 80.25, 1500, 400);
    const QString textos[] = {
        QStringLiteral("Valor Principal"),
        QStringLiteral("Número de Controle  "),
        QStringLiteral("Identificação do Contribuinte — São José"),
        QStringLiteral("fi fl ffi: ligaduras"),
        QStringLiteral("Informações complementares que não cabem numa só linha da caixa e por ") +
            QStringLiteral(
                "isso seguem em outras linhas, quantas a caixa deixar, e o resto além dela"),
    };
    for (const QString& t : textos) {
        for (int alinhamento : {int(Qt::AlignLeft), int(Qt::AlignHCenter), int(Qt::AlignRight)}) {
            for (int quebra : {0, int(Qt::TextWordWrap)}) {
                const int flags = Qt::AlignTop | alinhamento | quebra;
                for (const TFonte& f : {normal, negrito, estreita, mono})
                    ConfereIgual(t, flags, caixa, f, dispostos);
            }
        }
    }
}

TEST_F(TextosDispostosTest, TextoMaiorQueACaixaEhCortadoComoNoDrawText) {
    TTextosDispostos dispostos;
    const TFonte f{"Arial", 12, false, false, false};
    // Too wide for one line, and too tall for the lines it breaks into.
    const QString longo = QStringLiteral("Um texto que passa da largura da caixa de um lado");
    ConfereIgual(longo, Qt::AlignTop | Qt::AlignHCenter, QRectF(300, 100, 600, 200), f, dispostos);
    ConfereIgual(longo, Qt::AlignTop | Qt::AlignRight, QRectF(300, 100, 600, 200), f, dispostos);
    ConfereIgual(longo + longo, Qt::AlignTop | Qt::AlignLeft | Qt::TextWordWrap,
                 QRectF(300, 100, 900, 160), f, dispostos);
}

TEST_F(TextosDispostosTest, OutraCaixaOuOutraFonteDispoeDeNovo) {
    TTextosDispostos dispostos;
    const TFonte f{"Arial", 8, false, false, false};
    const TFonte g{"Arial", 8, true, false, false};
    const QString t = QStringLiteral("Total a Recolher");
    // The same text centred in boxes of other widths, and in another font, each where it belongs.
    ConfereIgual(t, Qt::AlignTop | Qt::AlignHCenter, QRectF(10, 10, 800, 200), f, dispostos);
    ConfereIgual(t, Qt::AlignTop | Qt::AlignHCenter, QRectF(10, 10, 1600, 200), f, dispostos);
    ConfereIgual(t, Qt::AlignTop | Qt::AlignHCenter, QRectF(400, 300, 800, 200), f, dispostos);
    ConfereIgual(t, Qt::AlignTop | Qt::AlignHCenter, QRectF(10, 10, 800, 200), g, dispostos);
}

TEST_F(TextosDispostosTest, TextoQueOPintorDispoeFicaComEle) {
    // Line breaks, tabs and mnemonics are the painter's own: drawn by it as they always were.
    TTextosDispostos dispostos;
    const TFonte f{"Arial", 8, false, false, false};
    for (const QString& t : {QStringLiteral("duas\nlinhas"), QStringLiteral("com\ttab"),
                             QStringLiteral("A & B"), QStringLiteral("   à direita")}) {
        ConfereIgual(t, Qt::AlignTop | Qt::AlignRight, QRectF(50, 50, 1200, 300), f, dispostos);
    }
}

}  // namespace
