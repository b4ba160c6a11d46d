// Runs a program and kills it with SIGKILL just before its N-th step (a system call that may change
// a file), for crash tests of the real programs that must not depend on timing:
//
//   kova_mata_no_passo RELATO N programa [argumentos...]
//
// RELATO receives "passos=<steps made> morto=<1|0>"; with N < 0 the program runs to its end and
// its steps are counted. The exit status is the program's, 137 when it was killed.

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "MorteNoPasso.h"

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "uso: %s RELATO PASSO PROGRAMA [ARGUMENTOS...]\n", argv[0]);
        return 2;
    }
    const int passo = std::atoi(argv[2]);
    const pid_t filho = fork();
    if (filho < 0) return 2;
    if (filho == 0) {
        // The leak checker of sanitizer builds cannot run under a tracer: it would fail the
        // program.
        std::string opcoes = std::getenv("ASAN_OPTIONS") ? std::getenv("ASAN_OPTIONS") : "";
        opcoes += opcoes.empty() ? "detect_leaks=0" : ":detect_leaks=0";
        setenv("ASAN_OPTIONS", opcoes.c_str(), 1);
        if (!kova::teste::ComecaPassos()) _exit(126);
        execvp(argv[3], argv + 3);
        _exit(127);
    }
    const kova::teste::TFimDoPasso fim = kova::teste::MataNoPasso(filho, passo);
    if (FILE* relato = std::fopen(argv[1], "w")) {
        std::fprintf(relato, "passos=%d morto=%d\n", fim.passos, fim.morto ? 1 : 0);
        std::fclose(relato);
    }
    if (!fim.rastreou) return 2;
    if (WIFSIGNALED(fim.estado)) return 128 + WTERMSIG(fim.estado);
    return WIFEXITED(fim.estado) ? WEXITSTATUS(fim.estado) : 2;
}
