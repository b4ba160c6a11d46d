/* A Windows host program that hands a person a half-filled slip: it loads the tests' variant of
 * the DLL by name, sets its clock, and calls kova through its stdcall pointer with the request in a
 * buffer of 1500 bytes followed by a guard. The reply goes to a file; the program fails when the
 * reply's CRC is wrong or anything was written past the buffer.
 *
 *   kova_hospedeiro_tela.exe <dll> <moment> <request> <reply file> [calls [--janela]]
 *
 * With calls > 1 the same request is sent again after each reply, the replies one a line. With
 * --janela the host shows a window of its own first, as most hosts do: while the screen is shown
 * that window must take no input (a timer of the host looks at it), and afterwards it must take
 * input again. */

#include <stdbool.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <windows.h>

#include "Confere.h"

typedef void(__stdcall *Kova)(char *);
typedef bool(__stdcall *Relogio)(const char *);

enum { kBuffer = 1500, kGuarda = 64 };

/* The host's window and what its timer saw while kova ran. */
static HWND janela;
static int olhadas, habilitada;

static void CALLBACK Olha(HWND h, UINT msg, UINT_PTR id, DWORD quando) {
    (void)h, (void)msg, (void)id, (void)quando;
    ++olhadas;
    if (IsWindowEnabled(janela)) ++habilitada;
}

static void AbreJanela(void) {
    janela = CreateWindowExW(0, L"STATIC", L"Hospedeiro", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 40, 40,
                             300, 200, NULL, NULL, GetModuleHandleW(NULL), NULL);
    SetForegroundWindow(janela);
    MSG m;
    while (PeekMessageW(&m, NULL, 0, 0, PM_REMOVE)) DispatchMessageW(&m);
    SetTimer(janela, 1, 100, Olha);
}

int main(int argc, char **argv) {
    if (argc < 5) {
        printf("uso: %s <dll> <momento> <requisicao> <resposta> [chamadas]\n", argv[0]);
        return 2;
    }
    HMODULE b = LoadLibraryA(argv[1]);
    if (!b) {
        printf("%s não carregou (erro %lu)\n", argv[1], GetLastError());
        return 2;
    }
    Kova kova = (Kova)(void *)GetProcAddress(b, "kova");
    Relogio relogio = (Relogio)(void *)GetProcAddress(b, "kova_relogio_teste");
    if (!kova || !relogio || !relogio(argv[2])) {
        printf("kova ou o relógio dos testes faltando\n");
        return 2;
    }
    FILE *saida = fopen(argv[4], "wb");
    if (!saida) return 2;
    const int chamadas = argc > 5 ? atoi(argv[5]) : 1;
    if (argc > 6 && strcmp(argv[6], "--janela") == 0) AbreJanela();
    for (int i = 0; i < chamadas; ++i) {
        static char buffer[kBuffer + kGuarda];
        memset(buffer, 0, kBuffer);
        memset(buffer + kBuffer, 0xA5, kGuarda);
        snprintf(buffer, kBuffer, "%s", argv[3]);
        kova(buffer);
        bool guarda = true;
        for (int g = 0; g < kGuarda; ++g)
            guarda = guarda && (unsigned char)buffer[kBuffer + g] == 0xA5;
        CONFERE(guarda, "chamada %d: a resposta passou do buffer de %d bytes", i + 1, kBuffer);
        CONFERE(memchr(buffer, '\0', kBuffer) != NULL, "chamada %d: resposta sem fim", i + 1);
        CONFERE(CRCConfere(buffer), "chamada %d: CRC errado: %.1500s", i + 1, buffer);
        if (janela) {
            CONFERE(
                olhadas > 0 && habilitada == 0,
                "chamada %d: a janela do hospedeiro aceitou entrada com a tela aberta (%d de %d)",
                i + 1, habilitada, olhadas);
            CONFERE(IsWindowEnabled(janela),
                    "chamada %d: a janela do hospedeiro ficou desabilitada", i + 1);
        }
        fprintf(saida, "%.1500s\n", buffer);
        fflush(saida);
    }
    fclose(saida);
    FreeLibrary(b);
    return falhou == 0 ? 0 : 1;
}
