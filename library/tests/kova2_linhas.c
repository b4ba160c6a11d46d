/* A host program that calls the library from several threads at once: two, then eight threads
 * each send 10,000 unattended requests (a seventh of them refused). No call may crash or lose its
 * reply, every reply is signed, and the slips stored are numbered without a gap or a repeat, also
 * while the oldest are being released (the library here keeps at most 1,000). */

#include <dlfcn.h>
#include <pthread.h>
#include <stdbool.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <zlib.h>

#include "Confere.h"
#include "DiretorioDoTeste.h"

typedef void (*Kova)(char *);
typedef void (*Roteiro)(const char *);
typedef size_t (*KovaN)(char *, size_t);

static Kova kova, kova2;
static Roteiro roteiro;
static KovaN kova2_n, kova_ultimo_erro;

enum { kPedidosPorLinha = 10000 };

struct Linha {
    pthread_t id;
    int numero;
    int aceitas, recusadas, semAssinatura;
};

static void *Envia(void *arg) {
    struct Linha *l = arg;
    char buffer[1024];
    for (int i = 0; i < kPedidosPorLinha; ++i) {
        const bool recusada = i % 7 == 3;
        snprintf(
            buffer, sizeof buffer,
            "VERSAO=1;UFFAVORECIDA=SP;RECEITA=100013;CICCONTRIBUINTE=%s;DOCUMENTOORIGEM=1234567890;"
            "REFERENCIA=1052009;VALORPRINCIPAL=%d,%02d;JUROS=10,00;MULTA=5,00;TOTALRECOLHER=%d,%"
            "02d;"
            "DATAVENCIMENTO=15/06/2009;"
            "RAZAOSOCIAL=LINHA %d;ENDERECO=RUA A;MUNICIPIO=CAMPINAS;UF=SP;CEP=13010-000;PRODUTO=37",
            recusada ? "12345678901" : "12345678000195", 100 + l->numero, i % 100, 115 + l->numero,
            i % 100, l->numero);
        kova2(buffer);
        if (!CRCConfere(buffer)) ++l->semAssinatura;
        if (strstr(buffer, ";Retorno=000;") && strlen(buffer) > 44 && buffer[44] == ';') {
            ++l->aceitas;
        } else if (strncmp(buffer, "Retorno=001;", 12) == 0) {
            ++l->recusadas;
        }
    }
    return NULL;
}

static int Rodada(int linhas) {
    struct Linha l[8];
    memset(l, 0, sizeof l);
    for (int i = 0; i < linhas; ++i) {
        l[i].numero = i;
        pthread_create(&l[i].id, NULL, Envia, &l[i]);
    }
    int aceitas = 0;
    for (int i = 0; i < linhas; ++i) {
        pthread_join(l[i].id, NULL);
        CONFERE(l[i].semAssinatura == 0, "%d threads: thread %d had %d unsigned replies", linhas, i,
                l[i].semAssinatura);
        CONFERE(l[i].aceitas + l[i].recusadas == kPedidosPorLinha,
                "%d threads: thread %d answered %d of %d", linhas, i, l[i].aceitas + l[i].recusadas,
                kPedidosPorLinha);
        CONFERE(l[i].recusadas == (kPedidosPorLinha + 3) / 7, "%d threads: thread %d refused %d",
                linhas, i, l[i].recusadas);
        aceitas += l[i].aceitas;
    }
    return aceitas;
}

int main(void) {
    char windir[] = "/tmp/kova-linhas-XXXXXX";
    if (!DiretorioDoTeste(windir, "MaximoKOVAsGuardadas=1000\r\n")) return 2;
    setenv("QT_QPA_PLATFORM", "offscreen", 1);

    void *lib = dlopen(KOVA_BIBLIOTECA, RTLD_NOW | RTLD_LOCAL);
    if (!lib) {
        printf("%s\n", dlerror());
        return 2;
    }
    kova = (Kova)dlsym(lib, "kova");
    kova2 = (Kova)dlsym(lib, "kova2");
    roteiro = (Roteiro)dlsym(lib, "kova_roteiro_teste");
    kova2_n = (KovaN)dlsym(lib, "kova2_n");
    kova_ultimo_erro = (KovaN)dlsym(lib, "kova_ultimo_erro");
    if (!kova || !kova2 || !roteiro || !kova2_n || !kova_ultimo_erro) return 2;

    /* A buffer the length-checked form refuses says why. */
    char erro[200], curto[4] = {'A', 'B', 'C', 'D'};
    CONFERE(kova2_n(NULL, 10) == 0 && kova_ultimo_erro(erro, sizeof erro) > 1, "null buffer: %s",
            erro);
    CONFERE(kova2_n(curto, 0) == 0 && kova_ultimo_erro(erro, sizeof erro) > 1, "size 0: %s", erro);
    CONFERE(kova2_n(curto, sizeof curto) == 0 && kova_ultimo_erro(erro, sizeof erro) > 1 &&
                memcmp(curto, "ABCD", 4) == 0,
            "no zero byte: %s", erro);

    const int aceitas = Rodada(2) + Rodada(8);
    CONFERE(aceitas == 10 * (kPedidosPorLinha - (kPedidosPorLinha + 3) / 7), "accepted %d",
            aceitas);

    /* The next slip, saved on the hosted screen by the test script, takes the number after them. */
    char req[2048] =
        "UFFAVORECIDA=SP;RECEITA=100013;CICCONTRIBUINTE=12345678000195;DOCUMENTOORIGEM=1234567890;"
        "REFERENCIA=1052009;VALORPRINCIPAL=1,00;JUROS=10,00;MULTA=5,00;TOTALRECOLHER=16,00;"
        "DATAVENCIMENTO=15/06/2009;"
        "RAZAOSOCIAL=ULTIMA;ENDERECO=RUA A;MUNICIPIO=CAMPINAS;UF=SP;CEP=13010-000;PRODUTO=37";
    roteiro("confirma|salvar");
    kova(req);
    char esperado[32];
    snprintf(esperado, sizeof esperado, "IdKOVA=%d;", aceitas + 1);
    CONFERE(strncmp(req, esperado, strlen(esperado)) == 0, "after %d slips: %.60s", aceitas, req);
    CONFERE(CRCConfere(req), "hosted reply signed");

    char comando[300];
    snprintf(comando, sizeof comando, "rm -rf '%s'", windir);
    if (system(comando) != 0) return 2;
    printf("%d passed, %d failed\n", passou, falhou);
    return falhou == 0 ? 0 : 1;
}
