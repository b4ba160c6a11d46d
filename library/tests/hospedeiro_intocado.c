/* The host's own process state stays the host's: after every kind of call (kova2, imprime writing
 * its PDF, teste and kova shown off screen and played by the test script) the C library's locale
 * of every category, as the host's printf of 1234.5 shows it, the disposition of every signal and
 * the calling thread's signal mask are what the host set before its first call. Making the Qt
 * application sets the locale the environment names, and the print system ignores SIGPIPE: the
 * environment here always names a locale other than the host's own.
 *
 * Two hosts, each in a process of its own:
 * 1. one that kept the "C" locale, its environment naming pt_BR.UTF-8 (C.UTF-8 where pt_BR cannot
 *    be had): kova2, then imprime twice (the first makes the Qt application), teste and kova;
 * 2. one that chose decimal commas for itself (LC_NUMERIC pt_BR.UTF-8, the rest "C"), its
 *    environment naming C.UTF-8: teste first (it makes the Qt application), kova, kova2, imprime.
 *    Its kova2 reply must be the first host's, byte for byte.
 * Where the system has no pt_BR.UTF-8 it is built with localedef into a folder of the test's own;
 * where that fails too, the second host keeps its locale "C.UTF-8" and only its name is compared.
 * Exit status 77 when no locale other than "C" can be had at all. */

#include <dlfcn.h>
#include <locale.h>
#include <signal.h>
#include <stdbool.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include "Confere.h"
#include "DiretorioDoTeste.h"

typedef void (*Kova)(char *);
typedef bool (*Teste)(void);
typedef void (*Imprime)(const char *, const char *, const char *, char *);
typedef void (*Roteiro)(const char *);

static Kova kova, kova2;
static Teste teste;
static Imprime imprime;
static Roteiro roteiro;

static const char *kRequisicao =
    "VERSAO=1;UFFAVORECIDA=SP;RECEITA=100013;CICCONTRIBUINTE=12345678000195;DOCUMENTOORIGEM="
    "1234567890;"
    "REFERENCIA=1052009;VALORPRINCIPAL=100,00;JUROS=10,00;MULTA=5,00;TOTALRECOLHER=115,00;"
    "DATAVENCIMENTO=15/06/2009;RAZAOSOCIAL=EMPRESA DE TESTE LTDA;ENDERECO=RUA DAS FLORES, 100;"
    "MUNICIPIO=CAMPINAS;UF=SP;CEP=13010-000;PRODUTO=37;TELEFONE=1999999999;CONVENIO=X";

/* The host's state as it set it. */
static struct {
    char localidade[1024];
    char numero[32];
    struct sigaction sinais[NSIG];
    bool anotado[NSIG];
    sigset_t mascara;
} antes;

static void Anota(void) {
    snprintf(antes.localidade, sizeof antes.localidade, "%s", setlocale(LC_ALL, NULL));
    snprintf(antes.numero, sizeof antes.numero, "%.2f", 1234.5);
    for (int s = 1; s < NSIG; ++s) antes.anotado[s] = sigaction(s, NULL, &antes.sinais[s]) == 0;
    pthread_sigmask(SIG_SETMASK, NULL, &antes.mascara);
}

static bool MesmaMascara(const sigset_t *a, const sigset_t *b) {
    for (int s = 1; s < NSIG; ++s) {
        if (sigismember(a, s) != sigismember(b, s)) return false;
    }
    return true;
}

/* Every part of the state after the call `depois`, against the one noted. */
static void Confere(const char *depois) {
    const char *localidade = setlocale(LC_ALL, NULL);
    CONFERE(strcmp(localidade, antes.localidade) == 0, "locale after %s: %s, the host's was %s",
            depois, localidade, antes.localidade);
    char numero[32];
    snprintf(numero, sizeof numero, "%.2f", 1234.5);
    CONFERE(strcmp(numero, antes.numero) == 0, "the host's printf after %s: %s, before %s", depois,
            numero, antes.numero);
    for (int s = 1; s < NSIG; ++s) {
        struct sigaction agora;
        if (!antes.anotado[s] || sigaction(s, NULL, &agora) != 0) continue;
        CONFERE(agora.sa_handler == antes.sinais[s].sa_handler &&
                    agora.sa_flags == antes.sinais[s].sa_flags &&
                    MesmaMascara(&agora.sa_mask, &antes.sinais[s].sa_mask),
                "signal %d (%s) after %s: handler %p flags %#x, the host's %p flags %#x", s,
                strsignal(s), depois, (void *)agora.sa_handler, (unsigned)agora.sa_flags,
                (void *)antes.sinais[s].sa_handler, (unsigned)antes.sinais[s].sa_flags);
    }
    sigset_t mascara;
    pthread_sigmask(SIG_SETMASK, NULL, &mascara);
    CONFERE(MesmaMascara(&mascara, &antes.mascara), "the thread's signal mask after %s", depois);
}

static void AoSinal(int s) { (void)s; }

/* Dispositions of the host's own, besides SIGPIPE left at its default. */
static void SinaisDoHospedeiro(void) {
    struct sigaction a;
    memset(&a, 0, sizeof a);
    a.sa_handler = AoSinal;
    a.sa_flags = SA_RESTART;
    sigemptyset(&a.sa_mask);
    sigaddset(&a.sa_mask, SIGUSR2);
    sigaction(SIGUSR1, &a, NULL);
    a.sa_handler = SIG_IGN;
    a.sa_flags = 0;
    sigaction(SIGUSR2, &a, NULL);
    a.sa_handler = SIG_DFL;
    sigaction(SIGPIPE, &a, NULL);
}

static char windir[] = "/tmp/kova-intocado-XXXXXX";

static void Carrega(void) {
    if (!DiretorioDoTeste(windir, "PastaImpressao=%s/pdf\r\n")) exit(2);
    /* No print service and no display: imprime writes its PDF, the screen is drawn off screen. */
    setenv("CUPS_SERVER", "/nonexistent/kova-sem-impressora.sock", 1);
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    void *lib = dlopen(KOVA_BIBLIOTECA, RTLD_NOW | RTLD_LOCAL);
    if (!lib) {
        printf("%s\n", dlerror());
        exit(2);
    }
    kova = (Kova)dlsym(lib, "kova");
    kova2 = (Kova)dlsym(lib, "kova2");
    teste = (Teste)dlsym(lib, "teste");
    imprime = (Imprime)dlsym(lib, "imprime");
    roteiro = (Roteiro)dlsym(lib, "kova_roteiro_teste");
    if (!kova || !kova2 || !teste || !imprime || !roteiro) exit(2);
}

/* The environment a person's session would give: every category named by LC_ALL. */
static void Ambiente(const char *localidade) {
    unsetenv("LANG");
    unsetenv("LANGUAGE");
    setenv("LC_ALL", localidade, 1);
}

static void Kova2(char *resposta, size_t n) {
    snprintf(resposta, n, "%s", kRequisicao);
    kova2(resposta);
    Confere("kova2");
    CONFERE(strstr(resposta, ";Retorno=000;") != NULL && CRCConfere(resposta), "kova2: %s",
            resposta);
}

static void Imprime1(void) {
    char resultado[64] = "";
    imprime("", "", "", resultado);
    Confere("imprime");
    CONFERE(strcmp(resultado, "000") == 0, "imprime: %s", resultado);
}

static void Tela(bool comKova) {
    char req[4096];
    roteiro("desfazer");
    if (comKova) {
        snprintf(req, sizeof req, "%s", kRequisicao);
        kova(req);
        Confere("kova");
        CONFERE(strstr(req, ";Retorno=001;") != NULL && CRCConfere(req), "kova: %s", req);
    } else {
        CONFERE(!teste(), "teste cancelled returned true");
        Confere("teste");
    }
}

/* Runs a host in a process of its own; its status. */
static int Processo(void (*hospedeiro)(const char *, const char *, char *), const char *host,
                    const char *ambiente, char *resposta) {
    fflush(stdout);
    pid_t filho = fork();
    if (filho == 0) {
        hospedeiro(host, ambiente, resposta);
        char comando[128];
        snprintf(comando, sizeof comando, "rm -rf %s", windir);
        if (system(comando) != 0) printf("%s not removed\n", windir);
        printf("%s: %d checks passed, %d failed\n", host, passou, falhou);
        fflush(stdout);
        _exit(falhou ? 1 : 0);
    }
    int estado = 0;
    waitpid(filho, &estado, 0);
    return WIFEXITED(estado) ? WEXITSTATUS(estado) : 99;
}

/* 1: the host kept "C". */
static void PrimeiroHospedeiro(const char *host, const char *ambiente, char *resposta) {
    Ambiente(ambiente);
    SinaisDoHospedeiro();
    setlocale(LC_ALL, host);
    Anota();
    Carrega();
    Kova2(resposta, 4096);
    Imprime1();
    Imprime1();
    Tela(false);
    Tela(true);
}

/* 2: the host chose its own locale (host: "LC_NUMERIC locale" or "all locale"). */
static void SegundoHospedeiro(const char *host, const char *ambiente, char *resposta) {
    Ambiente(ambiente);
    SinaisDoHospedeiro();
    if (strncmp(host, "LC_NUMERIC ", 11) == 0) {
        setlocale(LC_ALL, "C");
        setlocale(LC_NUMERIC, host + 11);
    } else {
        setlocale(LC_ALL, host + 4);
    }
    Anota();
    Carrega();
    Tela(false);
    Tela(true);
    Kova2(resposta, 4096);
    Imprime1();
}

static bool Existe(const char *localidade) {
    locale_t l = newlocale(LC_ALL_MASK, localidade, (locale_t)0);
    if (l) freelocale(l);
    return l != (locale_t)0;
}

/* pt_BR.UTF-8 from the system, or built into `pasta` (LOCPATH then names it). */
static bool PtBr(char *pasta) {
    if (Existe("pt_BR.UTF-8")) return true;
    if (!mkdtemp(pasta)) return false;
    char comando[512];
    snprintf(comando, sizeof comando, "localedef -i pt_BR -f UTF-8 %s/pt_BR.UTF-8 >/dev/null 2>&1",
             pasta);
    if (system(comando) == -1) return false;
    setenv("LOCPATH", pasta, 1);
    if (Existe("pt_BR.UTF-8")) return true;
    unsetenv("LOCPATH");
    return false;
}

int main(void) {
    char pasta[] = "/tmp/kova-localidades-XXXXXX";
    const bool ptbr = PtBr(pasta);
    if (!ptbr && !Existe("C.UTF-8")) {
        printf("no locale other than C on this system: skipped\n");
        return 77;
    }
    if (!ptbr) printf("pt_BR.UTF-8 cannot be had here: the hosts use C.UTF-8\n");
    char *respostas =
        mmap(NULL, 2 * 4096, PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
    if (respostas == MAP_FAILED) return 2;
    CONFERE(Processo(PrimeiroHospedeiro, "C", ptbr ? "pt_BR.UTF-8" : "C.UTF-8", respostas) == 0,
            "the host that kept C");
    CONFERE(Processo(SegundoHospedeiro, ptbr ? "LC_NUMERIC pt_BR.UTF-8" : "all C.UTF-8",
                     ptbr ? "C.UTF-8" : "C", respostas + 4096) == 0,
            "the host that chose its own locale");
    CONFERE(strcmp(respostas, respostas + 4096) == 0,
            "kova2 answered hosts of other locales differently:\n%s\n%s", respostas,
            respostas + 4096);
    if (pasta[strlen(pasta) - 1] != 'X') {
        char comando[512];
        snprintf(comando, sizeof comando, "rm -rf %s", pasta);
        if (system(comando) != 0) printf("%s not removed\n", pasta);
    }
    printf("%d checks passed, %d failed\n", passou, falhou);
    return falhou ? 1 : 0;
}
