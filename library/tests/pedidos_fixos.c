/* The host of the pinned replies (respostas_fixas.py): loads the library's test variant, sets its
 * clock, and sends the requests of a file one by one, writing what each got.
 *
 *   pedidos_fixos <moment "dd/mm/yyyy hh:nn:ss"> <requests> <replies>
 *
 * A request line is "kova2", a tab and the request, or "kova", a tab, the test script playing the
 * person, a tab and the request (Windows-1252, no tab or line end inside). Each reply line is the
 * reply, a tab, and what else the call left: for kova2 the reason kova_ultimo_erro gives when the
 * call failed, for kova what the script saw; a backslash, tab, carriage return and line feed inside
 * them are written \\, \t, \r and \n. The data directory and the settings are the caller's
 * (KOVA_WINDIR). Exit status: 0, or 2 when the library or a line could not be used. */

#include <dlfcn.h>
#include <stdbool.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

typedef void (*Pedido)(char *);
typedef bool (*Relogio)(const char *);
typedef void (*Roteiro)(const char *);
typedef size_t (*Texto)(char *, size_t);

static void Escreve(FILE *f, const char *texto) {
    for (const char *p = texto; *p; ++p) {
        switch (*p) {
            case '\\':
                fputs("\\\\", f);
                break;
            case '\t':
                fputs("\\t", f);
                break;
            case '\r':
                fputs("\\r", f);
                break;
            case '\n':
                fputs("\\n", f);
                break;
            default:
                fputc(*p, f);
        }
    }
}

int main(int argc, char **argv) {
    if (argc != 4) {
        fprintf(stderr, "uso: pedidos_fixos <momento> <pedidos> <respostas>\n");
        return 2;
    }
    void *lib = dlopen(KOVA_BIBLIOTECA, RTLD_NOW | RTLD_LOCAL);
    if (!lib) {
        fprintf(stderr, "%s\n", dlerror());
        return 2;
    }
    Pedido kova = (Pedido)dlsym(lib, "kova"), kova2 = (Pedido)dlsym(lib, "kova2");
    Relogio relogio = (Relogio)dlsym(lib, "kova_relogio_teste");
    Roteiro roteiro = (Roteiro)dlsym(lib, "kova_roteiro_teste");
    Texto relato = (Texto)dlsym(lib, "kova_relato_teste");
    Texto ultimo_erro = (Texto)dlsym(lib, "kova_ultimo_erro");
    if (!kova || !kova2 || !relogio || !roteiro || !relato || !ultimo_erro) return 2;
    if (!relogio(argv[1])) {
        fprintf(stderr, "o relógio não aceitou %s\n", argv[1]);
        return 2;
    }
    FILE *entrada = fopen(argv[2], "rb"), *saida = fopen(argv[3], "wb");
    if (!entrada || !saida) return 2;
    static char linha[8192], buffer[8192], extra[8192];
    while (fgets(linha, sizeof linha, entrada)) {
        linha[strcspn(linha, "\n")] = '\0';
        char *pedido = strchr(linha, '\t');
        if (!pedido) return 2;
        *pedido++ = '\0';
        extra[0] = '\0';
        if (strcmp(linha, "kova2") == 0) {
            snprintf(buffer, sizeof buffer, "%s", pedido);
            kova2(buffer);
            if (!strstr(buffer, ";CRC=")) ultimo_erro(extra, sizeof extra);
        } else if (strcmp(linha, "kova") == 0) {
            char *resto = strchr(pedido, '\t');
            if (!resto) return 2;
            *resto++ = '\0';
            roteiro(pedido);
            snprintf(buffer, sizeof buffer, "%s", resto);
            kova(buffer);
            relato(extra, sizeof extra);
        } else {
            return 2;
        }
        Escreve(saida, buffer);
        fputc('\t', saida);
        Escreve(saida, extra);
        fputc('\n', saida);
    }
    fclose(entrada);
    return fclose(saida) == 0 ? 0 : 2;
}
