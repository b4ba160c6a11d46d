#include "Janela.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

namespace kova {

void CabeNaTela(QWidget& janela, QSize desejado) {
    QScreen* tela = janela.screen() ? janela.screen() : QGuiApplication::primaryScreen();
    if (!tela) {
        janela.resize(desejado);
        return;
    }
    // The title bar and the borders the window manager adds.
    const int moldura = 32;
    const QRect livre = tela->availableGeometry();
    const QSize maximo = livre.size() - QSize(moldura, 2 * moldura);
    const QSize tamanho = desejado.boundedTo(maximo);
    janela.resize(tamanho.expandedTo(janela.minimumSizeHint().boundedTo(tamanho)));
    janela.move(livre.left() + (livre.width() - janela.width()) / 2,
                livre.top() + moldura + (livre.height() - moldura - janela.height()) / 2);
}

}  // namespace kova
