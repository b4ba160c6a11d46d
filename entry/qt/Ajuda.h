#pragma once
// The manual of KOVA: Portuguese HTML pages shipped with the program (beside it in a build, in the
// package's shared folder once installed), read in a help window of the program itself, offline.
// Each window has its topic (1 main window, 27 print list, 30 entry screen, ...); F1 opens the
// topic of the window in front, and each window's Help button opens its own.

#include <string>

class QWidget;

namespace kova {

// Topics of the manual, by number.
enum TopicoAjuda : int {
    kAjudaPrincipal = 1,
    kAjudaImpressao = 27,
    kAjudaDigitacao = 30,
    kAjudaCaixas = 31,
    kAjudaEncargos = 32,
    kAjudaIncorporacao = 40,
    kAjudaRemocao = 41,
    kAjudaConsultas = 42,
    kAjudaAdministracao = 50,
};

// The page of a topic ("digitacao.html"), or the contents page for an unknown number.
const char* PaginaDoTopico(int topico);

// The folder that holds the manual: "ajuda" beside the program when there is one, otherwise the
// installed one. Empty when neither exists.
std::string PastaDaAjuda();

// Shows a topic in the help window, over the window `janela` (which the help window follows, so
// that it also works over a modal window). Without the manual the person is told where it was
// looked for.
void AbrirAjuda(int topico, QWidget* janela = nullptr);

// Gives a window its topic: F1 anywhere in it (or in a message over it) opens that topic.
void DefineTopicoAjuda(QWidget& janela, int topico);

// Makes F1 open the topic of the window in front, for the whole program.
void InstalaTeclaDeAjuda();

}  // namespace kova
