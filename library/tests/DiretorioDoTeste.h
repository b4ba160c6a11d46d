/* The Windows directory that each C host of the tests runs with. */
#ifndef KOVA_DIRETORIO_DO_TESTE_H
#define KOVA_DIRETORIO_DO_TESTE_H

#include <stdbool.h>
#include <stdio.h>
#include <stdlib.h>

/* A Windows directory of this run's own (the template receives its name) holding a KOVA.INI that
 * names the test data, then the lines of `extra`, where %s stands for the directory itself;
 * KOVA_WINDIR and KOVA_SYSDIR point at it. False when it cannot be made. */
static inline bool DiretorioDoTeste(char *windir, const char *extra) {
    if (!mkdtemp(windir)) return false;
    setenv("KOVA_WINDIR", windir, 1);
    setenv("KOVA_SYSDIR", windir, 1);
    char ini[256];
    snprintf(ini, sizeof ini, "%s/KOVA.INI", windir);
    FILE *f = fopen(ini, "w");
    if (!f) return false;
    fprintf(f, "[KOVA]\r\nDirDados=%s\r\n", KOVA_DADOS_TESTE);
    fprintf(f, extra, windir);
    fclose(f);
    return true;
}

#endif
