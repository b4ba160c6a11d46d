#pragma once
// The size of a window on the screen.

#include <QSize>

class QWidget;

namespace kova {

// Sizes a window to what it asks for within the free area of its screen, less room for its frame,
// and centres it there: on a small or scaled screen every part of it stays reachable (a window
// that is to shrink this far scrolls its contents).
void CabeNaTela(QWidget& janela, QSize desejado);

}  // namespace kova
