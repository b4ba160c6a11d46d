/* Another program holds the data directory's lock (a program stopped in the middle of its work, or
 * someone holding it on purpose) while a host's threads call kova2: every call answers within the
 * bound of the wait (ten seconds), with a signed refusal that says the file is in use, instead of
 * hanging the host. The next call after the lock is released loads the directory and is served.
 * Four threads calling at once take the bound once, not once each. */

#include <dlfcn.h>
#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <stdbool.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include "Confere.h"

typedef void (*Kova)(char *);
typedef size_t (*KovaN)(char *, size_t);

static Kova kova2;
static KovaN kova_ultimo_erro;

enum { kLinhas = 4 };
/* The bound of the wait, and what a loaded machine may add to it. */
static const double kLimite = 10.0, kFolga = 4.0;

static const char *kPedido =
    "VERSAO=1;UFFAVORECIDA=SP;RECEITA=100013;CICCONTRIBUINTE=12345678000195;"
    "DOCUMENTOORIGEM=1234567890;REFERENCIA=1052009;VALORPRINCIPAL=100,00;JUROS=10,00;MULTA=5,00;"
    "TOTALRECOLHER=115,00;DATAVENCIMENTO=15/06/2009;RAZAOSOCIAL=LINHA;ENDERECO=RUA A;"
    "MUNICIPIO=CAMPINAS;UF=SP;CEP=13010-000;PRODUTO=37";

struct Linha {
    pthread_t id;
    char resposta[400];
    char erro[600];
    double segundos;
};

static double Agora(void) {
    struct timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return (double)t.tv_sec + (double)t.tv_nsec / 1e9;
}

static void *Chama(void *arg) {
    struct Linha *l = arg;
    snprintf(l->resposta, sizeof l->resposta, "%s", kPedido);
    const double inicio = Agora();
    kova2(l->resposta);
    l->segundos = Agora() - inicio;
    kova_ultimo_erro(l->erro, sizeof l->erro);
    return NULL;
}

int main(void) {
    /* A hang is a failure, not a stuck suite. */
    alarm(60);
    char raiz[] = "/tmp/kova-presa-XXXXXX";
    if (!mkdtemp(raiz)) return 2;
    char comando[600], caminho[300];
    snprintf(comando, sizeof comando, "cp -r '%s' '%s/Dados'", KOVA_DADOS_TESTE, raiz);
    if (system(comando) != 0) return 2;
    setenv("KOVA_WINDIR", raiz, 1);
    setenv("KOVA_SYSDIR", raiz, 1);
    snprintf(caminho, sizeof caminho, "%s/KOVA.INI", raiz);
    FILE *ini = fopen(caminho, "w");
    if (!ini) return 2;
    fprintf(ini, "[KOVA]\r\nDirDados=%s/Dados/\r\n", raiz);
    fclose(ini);

    /* Another process takes the lock and keeps it. */
    int pronto[2];
    if (pipe(pronto) != 0) return 2;
    snprintf(caminho, sizeof caminho, "%s/Dados/KOVA.trava", raiz);
    const pid_t outro = fork();
    if (outro == 0) {
        const int fd = open(caminho, O_RDWR | O_CREAT, 0600);
        const char r = fd >= 0 && flock(fd, LOCK_EX) == 0 ? '1' : '0';
        if (write(pronto[1], &r, 1) != 1) _exit(2);
        for (;;) pause();
    }
    char r = 0;
    if (read(pronto[0], &r, 1) != 1 || r != '1') return 2;

    void *lib = dlopen(KOVA_BIBLIOTECA, RTLD_NOW | RTLD_LOCAL);
    if (!lib) {
        printf("%s\n", dlerror());
        return 2;
    }
    kova2 = (Kova)dlsym(lib, "kova2");
    kova_ultimo_erro = (KovaN)dlsym(lib, "kova_ultimo_erro");
    if (!kova2 || !kova_ultimo_erro) return 2;

    struct Linha l[kLinhas];
    memset(l, 0, sizeof l);
    const double inicio = Agora();
    for (int i = 0; i < kLinhas; ++i) pthread_create(&l[i].id, NULL, Chama, &l[i]);
    for (int i = 0; i < kLinhas; ++i) pthread_join(l[i].id, NULL);
    const double total = Agora() - inicio;
    for (int i = 0; i < kLinhas; ++i) {
        CONFERE(l[i].segundos < kLimite + kFolga, "thread %d answered after %.1f s", i,
                l[i].segundos);
        CONFERE(strncmp(l[i].resposta, "Retorno=001;Mensagem_Retorno=KOVA n", 35) == 0 &&
                    strstr(l[i].resposta, "em uso por outro programa;CRC=") != NULL,
                "thread %d: %s", i, l[i].resposta);
        CONFERE(CRCConfere(l[i].resposta), "thread %d: reply not signed", i);
        CONFERE(strstr(l[i].erro, "em uso por outro programa") != NULL &&
                    strstr(l[i].erro, "KOVA.trava") != NULL,
                "thread %d: kova_ultimo_erro gives %s", i, l[i].erro);
    }
    CONFERE(total < kLimite + kFolga, "the %d threads took %.1f s in all", kLinhas, total);

    /* Released, the next call loads the directory and is served. */
    kill(outro, SIGKILL);
    waitpid(outro, NULL, 0);
    char resposta[400];
    snprintf(resposta, sizeof resposta, "%s", kPedido);
    kova2(resposta);
    CONFERE(strstr(resposta, ";Retorno=000;") != NULL, "after the release: %s", resposta);

    snprintf(comando, sizeof comando, "rm -rf '%s'", raiz);
    if (system(comando) != 0) return 2;
    printf("%d passed, %d failed (%d threads answered in %.1f s)\n", passou, falhou, kLinhas,
           total);
    return falhou == 0 ? 0 : 1;
}
