/* A host program of the library as bulk issuers write them, for Windows and Linux alike: it loads
 * the library by its file name, finds every export of the list (library/exportacoes.txt) by name
 * and on Windows also by its ordinal, calls kova2 by name and by ordinal in turn, sends every
 * request of a file (one a line, Windows-1252) and writes each reply as a line of another file,
 * checking every reply's CRC with zlib. Run on both systems over the same data directory and clock,
 * the two reply files must be the same byte for byte.
 *
 *   hospedeiro_lote <library> <requests> <replies> <moment "dd/mm/yyyy hh:nn:ss">
 *
 * Then four threads send the first requests again at once: each must get the reply the single
 * thread got. And the length-checked kova2_n must cut a reply to the buffer and refuse a buffer
 * it cannot read.
 *
 * The library is the tests' variant (libkovadll_teste.so, kovadll_teste.dll), whose clock the host
 * sets, except with
 *
 *   hospedeiro_lote <shipped library> <requests> <replies> <moment> --entrega
 *
 * which checks the shipped library instead: the host programs' calls are there (on Windows also by
 * ordinal), none of the tests' entry points is (neither by name nor by its ordinal), and every
 * request is answered with a right CRC at the system's own clock (the replies are not compared).
 *
 *   hospedeiro_lote <library> <requests> <replies> <moment> --imprime
 *
 * stores each request with kova2 and prints it with imprime instead, writing what was answered.
 *
 *   hospedeiro_lote <library> <requests> <replies> <moment> --recargas N
 *
 * loads the library N times instead, as an office's programs start and end all day: each time it
 * sends every request of the file (a few), writes the replies (or "ERRO=" and the reason when a
 * call failed) and frees the library, so each load reads the data directory anew.
 * Exit status: 0 when everything held, 1 when a check failed, 2 when the library did not load. */

#include <stdbool.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <zlib.h>

#include "exportacoes_lista.h"

#ifdef _WIN32
#include <windows.h>
#define KOVA_CHAMADA __stdcall
typedef HANDLE Linha;
#define LINHA_RETORNO DWORD WINAPI
static bool Inicia(Linha *l, LPTHREAD_START_ROUTINE f, void *a) {
    return (*l = CreateThread(NULL, 0, f, a, 0, NULL)) != NULL;
}
static void Espera(Linha l) {
    WaitForSingleObject(l, INFINITE);
    CloseHandle(l);
}
typedef HMODULE Biblioteca;
static Biblioteca Carrega(const char *caminho) { return LoadLibraryA(caminho); }
static void Descarrega(Biblioteca b) { FreeLibrary(b); }
static void *PorNome(Biblioteca b, const char *nome) { return (void *)GetProcAddress(b, nome); }
static void *PorOrdinal(Biblioteca b, unsigned n) {
    return (void *)GetProcAddress(b, MAKEINTRESOURCEA(n));
}
#else
#include <dlfcn.h>
#include <pthread.h>
#define KOVA_CHAMADA
typedef pthread_t Linha;
#define LINHA_RETORNO void *
static bool Inicia(Linha *l, void *(*f)(void *), void *a) {
    return pthread_create(l, NULL, f, a) == 0;
}
static void Espera(Linha l) { pthread_join(l, NULL); }
typedef void *Biblioteca;
static Biblioteca Carrega(const char *caminho) { return dlopen(caminho, RTLD_NOW); }
static void Descarrega(Biblioteca b) { dlclose(b); }
static void *PorNome(Biblioteca b, const char *nome) { return dlsym(b, nome); }
#endif

typedef void(KOVA_CHAMADA *Kova2)(char *);
typedef size_t(KOVA_CHAMADA *Kova2N)(char *, size_t);
typedef void(KOVA_CHAMADA *Imprime)(const char *, const char *, const char *, char *);
typedef size_t(KOVA_CHAMADA *UltimoErro)(char *, size_t);
typedef bool(KOVA_CHAMADA *Relogio)(const char *);

static int falhas = 0;

/* What the single thread got, for the threads to compare with. */
#define MAXIMO_COMPARADAS 200
static char *requisicoes[MAXIMO_COMPARADAS], *respostas[MAXIMO_COMPARADAS];
static int comparadas = 0;
static Kova2 kova2_das_linhas;

static LINHA_RETORNO Repete(void *contagem) {
    long *diferentes = contagem;
    char buffer[4096];
    for (int i = 0; i < comparadas; ++i) {
        strcpy(buffer, requisicoes[i]);
        kova2_das_linhas(buffer);
        /* A call that failed leaves the request; its reason may be another thread's by now. */
        if (strcmp(buffer, requisicoes[i]) != 0 && strcmp(buffer, respostas[i]) != 0) ++*diferentes;
    }
    return 0;
}

static void Falha(const char *texto, const char *detalhe) {
    fprintf(stderr, "FALHA: %s%s%s\n", texto, detalhe ? ": " : "", detalhe ? detalhe : "");
    ++falhas;
}

/* The reply's CRC-32 over the text before ";CRC=", as 8 upper-case hexadecimal digits. */
static bool CRCConfere(const char *resposta) {
    const char *marca = strstr(resposta, ";CRC=");
    if (!marca) return false;
    const size_t fim = strlen(marca + 5);
    if (fim != 8 && !(fim == 9 && marca[13] == ';')) return false;
    char esperado[9];
    snprintf(esperado, sizeof esperado, "%08lX",
             crc32(0L, (const Bytef *)resposta, (uInt)(marca - resposta)) & 0xFFFFFFFFUL);
    return strncmp(marca + 5, esperado, 8) == 0;
}

/* A request's line without its ending. */
static bool LeLinha(FILE *entrada, char *linha, size_t tamanho) {
    if (!fgets(linha, (int)tamanho, entrada)) return false;
    size_t k = strlen(linha);
    while (k > 0 && (linha[k - 1] == '\n' || linha[k - 1] == '\r')) linha[--k] = '\0';
    return true;
}

/* Writes the reply, checking its CRC, or "ERRO=" and the reason when the call failed. A value a
 * field cannot take fails the call: the buffer keeps the request, the reason is kept for
 * kova_ultimo_erro, and that reason is what both systems must agree on. True when it failed. */
static bool Escreve(FILE *saida, const char *linha, const char *buffer, bool falhou,
                    UltimoErro ultimo_erro) {
    char motivo[1024];
    ultimo_erro(motivo, sizeof motivo);
    if (falhou || (motivo[0] && strcmp(buffer, linha) == 0)) {
        if (!motivo[0] || strcmp(buffer, linha) != 0)
            Falha("chamada falhou sem motivo ou mudou o buffer", linha);
        fprintf(saida, "ERRO=%s\n", motivo);
        return true;
    }
    if (!CRCConfere(buffer)) Falha("CRC da resposta", buffer);
    fprintf(saida, "%s\n", buffer);
    return false;
}

/* The library loaded, used and freed again and again, as programs that start and end all day. */
static int Recargas(const char *caminho, const char *requisicoes, const char *respostas,
                    const char *momento, int vezes) {
    FILE *saida = fopen(respostas, "wb");
    if (!saida) return 2;
    static char linha[4096], buffer[4096];
    for (int i = 0; i < vezes; ++i) {
        Biblioteca b = Carrega(caminho);
        if (!b) {
            Falha("a biblioteca não carregou de novo", caminho);
            break;
        }
        Kova2 kova2 = (Kova2)PorNome(b, "kova2");
        Relogio relogio = (Relogio)PorNome(b, "kova_relogio_teste");
        UltimoErro ultimo_erro = (UltimoErro)PorNome(b, "kova_ultimo_erro");
        FILE *entrada = fopen(requisicoes, "rb");
        if (!kova2 || !relogio || !ultimo_erro || !entrada || !relogio(momento)) {
            Falha("recarga sem exportações, requisições ou relógio", caminho);
            break;
        }
        while (LeLinha(entrada, linha, sizeof linha)) {
            strcpy(buffer, linha);
            kova2(buffer);
            Escreve(saida, linha, buffer, false, ultimo_erro);
        }
        fclose(entrada);
        Descarrega(b);
    }
    fclose(saida);
    printf("%d cargas: %d falhas\n", vezes, falhas);
    return falhas ? 1 : 0;
}

/* Each request stored with kova2, then printed with imprime: what the library answered, one item
 * a line (codigo=, imprime=, erro=), for the test to compare with what the printer printed. */
static int ImprimeCadaUma(Biblioteca b, const char *requisicoes, const char *respostas,
                          const char *momento) {
    Kova2 kova2 = (Kova2)PorNome(b, "kova2");
    Imprime imprime = (Imprime)PorNome(b, "imprime");
    UltimoErro erro = (UltimoErro)PorNome(b, "kova_ultimo_erro");
    Relogio relogio = (Relogio)PorNome(b, "kova_relogio_teste");
    FILE *entrada = fopen(requisicoes, "rb"), *saida = fopen(respostas, "wb");
    if (!kova2 || !imprime || !erro || !relogio || !entrada || !saida || !relogio(momento))
        return 2;
    static char linha[4096], buffer[4096];
    while (LeLinha(entrada, linha, sizeof linha)) {
        strcpy(buffer, linha);
        kova2(buffer);
        char resultado[64] = "", motivo[512] = "";
        imprime("", "", "", resultado);
        erro(motivo, sizeof motivo);
        fprintf(saida, "codigo=%.44s\nimprime=%s\nerro=%s\n", buffer, resultado, motivo);
    }
    fclose(entrada);
    fclose(saida);
    return 0;
}

int main(int argc, char **argv) {
    if (argc < 5) {
        fprintf(
            stderr,
            "uso: %s <biblioteca> <requisicoes> <respostas> <momento> [--recargas N | --imprime "
            "| --entrega]\n",
            argv[0]);
        return 2;
    }
    if (argc > 6 && strcmp(argv[5], "--recargas") == 0)
        return Recargas(argv[1], argv[2], argv[3], argv[4], atoi(argv[6]));
    Biblioteca b = Carrega(argv[1]);
    if (!b) {
        fprintf(stderr, "FALHA: a biblioteca %s não carregou\n", argv[1]);
        return 2;
    }
    if (argc > 5 && strcmp(argv[5], "--imprime") == 0)
        return ImprimeCadaUma(b, argv[2], argv[3], argv[4]);
    const bool entrega = argc > 5 && strcmp(argv[5], "--entrega") == 0;
    Kova2 kova2 = (Kova2)PorNome(b, "kova2");
    Kova2N kova2_n = (Kova2N)PorNome(b, "kova2_n");
    Relogio relogio = (Relogio)PorNome(b, "kova_relogio_teste");
    UltimoErro ultimo_erro = (UltimoErro)PorNome(b, "kova_ultimo_erro");
    if (!kova2 || !kova2_n || !ultimo_erro) {
        fprintf(stderr, "FALHA: exportações não encontradas por nome\n");
        return 2;
    }
    if (!relogio && !entrega) {
        fprintf(stderr,
                "FALHA: %s não tem kova_relogio_teste: os testes usam a variante de teste "
                "da biblioteca (libkovadll_teste.so, kovadll_teste.dll)\n",
                argv[1]);
        return 2;
    }
    /* Every export of the list, by name and on Windows at its ordinal; the shipped library has
     * none of the tests' entry points. */
    for (size_t i = 0; i < sizeof kExportacoes / sizeof kExportacoes[0]; ++i) {
        const char *nome = kExportacoes[i].nome;
#ifdef _WIN32
        if (kExportacoes[i].so_linux) continue;
        if (entrega && kExportacoes[i].de_teste) {
            if (PorNome(b, nome) || PorOrdinal(b, kExportacoes[i].ordinal))
                Falha("a biblioteca entregue exporta", nome);
            continue;
        }
        if (!PorNome(b, nome) || PorOrdinal(b, kExportacoes[i].ordinal) != PorNome(b, nome))
            Falha("ordinal de", nome);
#else
        if (entrega && kExportacoes[i].de_teste) {
            if (PorNome(b, nome)) Falha("a biblioteca entregue exporta", nome);
            continue;
        }
        if (!PorNome(b, nome)) Falha("exportação não encontrada", nome);
#endif
    }
#ifdef _WIN32
    Kova2 kova2_ordinal = NULL;
    for (size_t i = 0; i < sizeof kExportacoes / sizeof kExportacoes[0]; ++i) {
        if (strcmp(kExportacoes[i].nome, "kova2") == 0)
            kova2_ordinal = (Kova2)PorOrdinal(b, kExportacoes[i].ordinal);
    }
    if (!kova2_ordinal) {
        fprintf(stderr, "FALHA: kova2 não encontrada por ordinal\n");
        return 1;
    }
#else
    Kova2 kova2_ordinal = kova2;
#endif
    if (relogio && (relogio("31/02/2026") || relogio("15/06/2026 24:00:00") || relogio("amanhã")))
        Falha("relógio aceitou um momento que não existe", NULL);
    if (relogio && !relogio(argv[4])) Falha("relógio não aceito", argv[4]);

    FILE *entrada = fopen(argv[2], "rb");
    FILE *saida = fopen(argv[3], "wb");
    if (!entrada || !saida) {
        fprintf(stderr, "FALHA: arquivos de requisições ou respostas\n");
        return 2;
    }
    static char linha[4096], buffer[4096], motivo[1024];
    long n = 0, aceitas = 0, recusadas = 0;
    while (LeLinha(entrada, linha, sizeof linha)) {
        strcpy(buffer, linha);
        /* By name, by ordinal and length-checked in turn: the same function each way. */
        bool falhou = false;
        if (n % 3 == 0) {
            kova2(buffer);
        } else if (n % 3 == 1) {
            kova2_ordinal(buffer);
        } else {
            falhou = kova2_n(buffer, sizeof buffer) == 0;
        }
        if (Escreve(saida, linha, buffer, falhou, ultimo_erro)) {
            ++recusadas;
        } else if (strstr(buffer, ";Retorno=000;")) {
            ++aceitas;
        }
        ++n;
        if (comparadas < MAXIMO_COMPARADAS) {
            requisicoes[comparadas] = strdup(linha);
            respostas[comparadas] = strdup(buffer);
            ++comparadas;
        }
    }
    fclose(entrada);
    fclose(saida);

    kova2_das_linhas = kova2;
    Linha linhas[4];
    long diferentes[4] = {0, 0, 0, 0};
    for (int i = 0; i < 4; ++i) {
        if (!Inicia(&linhas[i], Repete, &diferentes[i]))
            Falha("linha de execução não iniciou", NULL);
    }
    for (int i = 0; i < 4; ++i) Espera(linhas[i]);
    if (diferentes[0] + diferentes[1] + diferentes[2] + diferentes[3])
        Falha("respostas diferentes entre linhas de execução", NULL);

    /* The length checks: a reply cut to the buffer, with the size it needs; buffers refused. */
    if (comparadas > 0) {
        char curto[10];
        memcpy(buffer, requisicoes[0], strlen(requisicoes[0]) + 1);
        const size_t precisa = kova2_n(buffer, sizeof buffer);
        snprintf(curto, sizeof curto, "%s", "VERSAO=1");
        const size_t cortado = kova2_n(curto, sizeof curto);
        if (precisa == 0 || cortado == 0 || strlen(curto) != sizeof curto - 1)
            Falha("kova2_n com buffer curto", curto);
        char sem_fim[4] = {'V', 'E', 'R', 'S'};
        if (kova2_n(sem_fim, sizeof sem_fim) != 0 || kova2_n(NULL, 100) != 0)
            Falha("kova2_n aceitou buffer inválido", NULL);
        ultimo_erro(motivo, sizeof motivo);
        if (!motivo[0]) Falha("kova2_n recusou sem motivo", NULL);
    }
    for (int i = 0; i < comparadas; ++i) {
        free(requisicoes[i]);
        free(respostas[i]);
    }
    if (relogio) relogio(NULL);
    printf("%ld requisições: %ld aceitas, %ld com valor impossível, %d falhas\n", n, aceitas,
           recusadas, falhas);
    return falhas ? 1 : 0;
}
