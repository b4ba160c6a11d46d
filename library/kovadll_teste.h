/*
 * Entry points of KOVADll that exist for the project's own tests, not for host programs. They are
 * not part of the library's contract (kovadll.h), are not installed with it, and may change or go
 * at any time. The shipped library does not have them: only its tests' variant
 * (libkovadll_teste.so, kovadll_teste.dll, linked from the same objects) exports them, by name, for
 * the test programs, which find them with dlsym or GetProcAddress; on Windows their ordinals lie
 * apart from those host programs use (the list is library/exportacoes.txt).
 */
#ifndef KOVADLL_TESTE_H
#define KOVADLL_TESTE_H

#include "kovadll.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Sets the library's clock, which every rule of dates reads, to momento ("dd/mm/yyyy" or
 * "dd/mm/yyyy hh:nn:ss"); NULL or "" gives it the system's clock again. False when the text is not
 * such a moment (the clock stays as it was). */
KOVADLL_API bool KOVADLL_CALL kova_relogio_teste(const char *momento);

/* Only in the Linux build. With a script set, kova and teste do not wait for a person: the script
 * answers the dialogs and acts on the screen (drawn off screen). Steps separated by "|": sim, nao,
 * cancela (the next question), confirma, recusa (the next dialog of the screen: payment date,
 * pickers), then, in order once the screen is shown, salvar, desfazer, fechar, escape, clica <box>
 * (the focus put in a box), digita <text> and tab (keys typed where the focus is), abertas (writes
 * down the boxes a person could type in) and foco (writes down the box the keys go to). NULL or ""
 * gives the screen back to a person. */
KOVADLL_API void KOVADLL_CALL kova_roteiro_teste(const char *roteiro);

/* Only in the Linux build. What the last scripted request saw, one line each: "abertas=<boxes>",
 * "dialogo=<dialog>", "mensagem=<text>". Returns the size the whole text needs. */
KOVADLL_API size_t KOVADLL_CALL kova_relato_teste(char *texto, size_t tamanho);

#ifdef __cplusplus
}
#endif

#endif /* KOVADLL_TESTE_H */
