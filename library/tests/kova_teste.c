/* The hosted request (kova, teste) and the print request (imprime) through the library's C
 * exports, as a host program written in C uses them. The person at the screen is played by the
 * library's test script (kova_roteiro_teste); the screen itself is drawn off screen. */

#include <dirent.h>
#include <dlfcn.h>
#include <stdbool.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>

#include "Confere.h"

typedef void (*Kova)(char *);
typedef bool (*Teste)(void);
typedef void (*Imprime)(const char *, const char *, const char *, char *);
typedef void (*Roteiro)(const char *);
typedef size_t (*Texto)(char *, size_t);

static Kova kova, kova2;
static Teste teste;
static Imprime imprime;
static Roteiro roteiro;
static Texto relato_teste, ultimo_erro;

/* Whether the last "abertas" line of the script's record names a box. */
static bool Aberta(const char *relato, const char *caixa) {
    const char *linha = strstr(relato, "abertas=");
    if (!linha) return false;
    linha += 8;
    size_t n = strlen(caixa);
    for (const char *p = linha; *p && *p != '\n';) {
        if (strncmp(p, caixa, n) == 0 && (p[n] == ',' || p[n] == '\n' || p[n] == '\0')) return true;
        while (*p && *p != ',' && *p != '\n') ++p;
        if (*p == ',') ++p;
    }
    return false;
}

/* How many times a text occurs in another. */
static int Ocorrencias(const char *texto, const char *procurado) {
    int n = 0;
    for (const char *p = strstr(texto, procurado); p; p = strstr(p + 1, procurado)) ++n;
    return n;
}

static char relato[8192];

static const char *Relato(void) {
    relato_teste(relato, sizeof relato);
    return relato;
}

static const char *kRequisicao =
    "VERSAO=1;UFFAVORECIDA=SP;RECEITA=100013;CICCONTRIBUINTE=12345678000195;DOCUMENTOORIGEM="
    "1234567890;"
    "REFERENCIA=1052009;VALORPRINCIPAL=100,00;JUROS=10,00;MULTA=5,00;TOTALRECOLHER=115,00;"
    "DATAVENCIMENTO=15/06/2009;RAZAOSOCIAL=EMPRESA DE TESTE LTDA;ENDERECO=RUA DAS FLORES, 100;"
    "MUNICIPIO=CAMPINAS;UF=SP;CEP=13010-000;PRODUTO=37;TELEFONE=1999999999;CONVENIO=X";

static void *Carrega(const char *windir, const char *pasta) {
    setenv("KOVA_WINDIR", windir, 1);
    setenv("KOVA_SYSDIR", windir, 1);
    /* No print service for this run: imprime takes the way of a machine without printers. */
    setenv("CUPS_SERVER", "/nonexistent/kova-sem-impressora.sock", 1);
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    char ini[512];
    snprintf(ini, sizeof ini, "%s/KOVA.INI", windir);
    FILE *f = fopen(ini, "w");
    fprintf(f, "[KOVA]\r\nDirDados=%s\r\nPastaImpressao=%s\r\n", KOVA_DADOS_TESTE, pasta);
    fclose(f);
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
    relato_teste = (Texto)dlsym(lib, "kova_relato_teste");
    ultimo_erro = (Texto)dlsym(lib, "kova_ultimo_erro");
    if (!kova || !kova2 || !teste || !imprime || !roteiro || !relato_teste || !ultimo_erro) exit(2);
    return lib;
}

/* A print that cannot take place: its folder cannot be made. Run in a process of its own, since
 * the settings are read once per process. */
static int ImpressaoQueFalha(const char *windir) {
    pid_t filho = fork();
    if (filho == 0) {
        Carrega(windir, "/proc/kova-nao-pode");
        char req[2048], resultado[64] = "";
        snprintf(req, sizeof req, "%s", kRequisicao);
        kova2(req);
        imprime("a", "b", "c", resultado);
        _exit(strcmp(resultado, "001KOVA n\xe3o incluida") == 0 ? 0 : 1);
    }
    int estado = 0;
    waitpid(filho, &estado, 0);
    return WIFEXITED(estado) ? WEXITSTATUS(estado) : 99;
}

/* A buffer of exactly `tamanho` bytes whose next byte is on a page that may not be touched: a
 * write past its end stops the program. */
static char *BufferGuardado(size_t tamanho) {
    const size_t pagina = (size_t)sysconf(_SC_PAGESIZE);
    const size_t total = ((tamanho + pagina - 1) / pagina + 1) * pagina;
    char *p = mmap(NULL, total, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (p == MAP_FAILED || mprotect(p + total - pagina, pagina, PROT_NONE) != 0) exit(2);
    return p + total - pagina - tamanho;
}

/* A cancelled request of strlen `n` (the base request, its information padded with X). */
static void RequisicaoDe(char *destino, size_t n) {
    int k = snprintf(destino, n + 1, "%s;INFORMACOES=", kRequisicao);
    memset(destino + k, 'X', n - (size_t)k);
    destino[n] = '\0';
}

int main(void) {
    char windir[] = "/tmp/kova-hospedada-XXXXXX";
    if (!mkdtemp(windir)) return 2;
    CONFERE(ImpressaoQueFalha(windir) == 0, "a failed print answers the failure text");

    char pasta[512];
    snprintf(pasta, sizeof pasta, "%s/pdf", windir);
    Carrega(windir, pasta);
    char req[4096];

    /* teste before any kova: an empty screen; cancelled, nothing saved. */
    roteiro("abertas|desfazer");
    CONFERE(!teste(), "teste cancelled returns false");
    CONFERE(Aberta(Relato(), "dblcUFFavorecida") && !Aberta(relato, "dbeCICContribuinte"),
            "empty screen: %s", relato);

    /* Cancelled: the request, then the failure reply and its CRC. */
    roteiro("desfazer");
    snprintf(req, sizeof req, "%s", kRequisicao);
    kova(req);
    const char *falha =
        ";Retorno=001;Mensagem_Retorno=KOVA n\xe3o inclu\xed"
        "da;CRC=";
    CONFERE(strncmp(req, kRequisicao, strlen(kRequisicao)) == 0 &&
                strncmp(req + strlen(kRequisicao), falha, strlen(falha)) == 0 && CRCConfere(req),
            "cancelled: %s", req);

    /* The header promises a reply of at most 1,500 bytes, the zero byte included. A cancel answers
     * the request and 61 bytes more: one of 1,449 characters keeps its request and says why,
     * never touching the byte after the 1,500; one of 1,400 gets its reply. */
    char *guardado = BufferGuardado(1500);
    char pedido[1500];
    RequisicaoDe(pedido, 1449);
    memcpy(guardado, pedido, 1450);
    roteiro("desfazer");
    kova(guardado);
    char motivo[512];
    ultimo_erro(motivo, sizeof motivo);
    CONFERE(strcmp(guardado, pedido) == 0, "a reply past 1,500 bytes was written: %.80s", guardado);
    CONFERE(strstr(motivo, "passa do tamanho de 1500 bytes") != NULL, "why not written: %s",
            motivo);
    RequisicaoDe(pedido, 1400);
    memcpy(guardado, pedido, 1401);
    roteiro("desfazer");
    kova(guardado);
    CONFERE(strncmp(guardado, pedido, 1400) == 0 &&
                strstr(guardado + 1400, ";Retorno=001;") == guardado + 1400 &&
                strlen(guardado) < 1500 && CRCConfere(guardado),
            "the cancel that fits: %s", guardado + 1400);

    /* A due date in the request: the save asks for the payment date; declining it cancels. Only
     * the amounts, the due date, the agreement and the two selectors are left to the person. */
    roteiro("abertas|recusa|salvar");
    snprintf(req, sizeof req, "%s", kRequisicao);
    kova(req);
    CONFERE(strstr(req, ";Retorno=001;") != NULL && CRCConfere(req), "declined payment date: %s",
            req);
    CONFERE(strstr(Relato(), "dialogo=TfrmDataPagamento") != NULL, "payment date asked: %s",
            relato);
    const char *livres[] = {"dblcUFFavorecida", "dblcReceita", "dbeValorPrincipal",
                            "dbeJuros",         "dbeMulta",    "dbeDataVencimento",
                            "dbeConvenio"};
    const char *presos[] = {"dbeCICContribuinte",
                            "dbeRazaoSocial",
                            "dbeInscricaoEstadual",
                            "dbeEndereco",
                            "dbeMunicipio",
                            "dblcUF",
                            "dbeCEP",
                            "dbeTelefone",
                            "dblcUFFavorecida2"};
    for (size_t i = 0; i < sizeof livres / sizeof *livres; ++i) {
        CONFERE(Aberta(relato, livres[i]), "%s open: %s", livres[i], relato);
    }
    for (size_t i = 0; i < sizeof presos / sizeof *presos; ++i) {
        CONFERE(!Aberta(relato, presos[i]), "%s closed: %s", presos[i], relato);
    }

    /* The screen appears with the focus in its first open box, so that keys typed at once go
     * into the slip. */
    roteiro("foco|desfazer");
    snprintf(req, sizeof req, "%s", kRequisicao);
    kova(req);
    CONFERE(strstr(Relato(), "foco=dblcUFFavorecida\n") != NULL, "focus on showing: %s", relato);

    /* Box 14 left twice with one due date asks the payment date once; the save asks it again, as
     * for every request with a due date. */
    roteiro(
        "confirma|confirma|confirma|clica dbeDataVencimento|tab|clica dbeDataVencimento|tab|"
        "salvar");
    snprintf(req, sizeof req, "%s", kRequisicao);
    kova(req);
    CONFERE(Ocorrencias(Relato(), "dialogo=TfrmDataPagamento\n") == 2,
            "payment date asked once on leaving box 14, once at the save: %s", relato);
    CONFERE(strstr(req, ";Retorno=000;") != NULL && CRCConfere(req), "saved after box 14: %s", req);

    /* Escape with what the person typed asks first, as at the desktop: No keeps the screen and
     * the slip, Yes discards them and the host gets the failure reply. */
    roteiro("nao|sim|clica dbeConvenio|digita Y|tab|escape|abertas|escape");
    snprintf(req, sizeof req, "%s", kRequisicao);
    kova(req);
    CONFERE(Ocorrencias(
                Relato(),
                "mensagem=Esta KOVA tem informa\xe7\xf5"
                "es digitadas que ainda n\xe3o foram salvas.\r\rDeseja descart\xe1-las?\n") == 2 &&
                strstr(relato, "abertas=") != NULL,
            "Escape asks before discarding: %s", relato);
    CONFERE(strstr(req, ";Retorno=001;") != NULL && CRCConfere(req), "discarded: %s", req);

    /* Saved: every field of the slip, the product's description, the success text, the CRC. */
    roteiro("confirma|salvar");
    snprintf(req, sizeof req, "%s", kRequisicao);
    kova(req);
    CONFERE(strncmp(req, "IdKOVA=", 7) == 0 &&
                strstr(req, ";UFFavorecida=SP;Receita=100013;") != NULL &&
                strstr(req, ";Produto_Descricao=CERVEJA EM LATA;") != NULL &&
                strstr(req,
                       ";Retorno=000;Mensagem_Retorno=KOVA inclu\xed"
                       "da com sucesso;CRC=") != NULL &&
                CRCConfere(req),
            "saved: %s", req);
    const long salvo = atol(req + 7);
    CONFERE(strstr(req, ";Situacao=N;") != NULL && strstr(req, ";DataHora=;") != NULL,
            "stored by the barcode build: %s", req);

    /* A value the field cannot take ends the call; the slip stays open for the next one. */
    roteiro("desfazer");
    snprintf(req, sizeof req,
             "UFFAVORECIDA=SP;RECEITA=100013;RAZAOSOCIAL=FICA ABERTA;DATAVENCIMENTO=32/13/2009");
    kova(req);
    char erro[512];
    ultimo_erro(erro, sizeof erro);
    CONFERE(
        strcmp(
            req,
            "UFFAVORECIDA=SP;RECEITA=100013;RAZAOSOCIAL=FICA ABERTA;DATAVENCIMENTO=32/13/2009") ==
                0 &&
            erro[0] != '\0',
        "raised failure keeps the request: %s / %s", req, erro);
    roteiro("abertas|desfazer");
    CONFERE(!teste(), "open slip shown and cancelled");
    /* The half-filled slip, not a new one: its revenue code opened the amounts. */
    CONFERE(Aberta(Relato(), "dbeValorPrincipal") && !Aberta(relato, "dbeRazaoSocial"),
            "open slip: %s", relato);

    /* imprime after kova2: three copies of the current slip, "000". */
    roteiro(NULL);
    snprintf(req, sizeof req, "%s", kRequisicao);
    kova2(req);
    CONFERE(strstr(req, ";Retorno=000;") != NULL, "kova2: %s", req);
    /* Someone left links at the next printed slips' names, which are predictable: the printed slip
     * replaces its link, and what the links point to stays as it was. */
    const long proximo = salvo + 1;
    char alvo[600], link[1024];
    snprintf(alvo, sizeof alvo, "%s/alvo", windir);
    FILE *a = fopen(alvo, "w");
    fputs("intacto", a);
    fclose(a);
    mkdir(pasta, 0755);
    for (long n = proximo; n < proximo + 20; ++n) {
        snprintf(link, sizeof link, "%s/KOVA_%ld.pdf", pasta, n);
        symlink(alvo, link);
    }
    char resultado[64] = "xxxxxxxxxxxxxxxxxxxx";
    imprime("um", "dois", "tres", resultado);
    CONFERE(strcmp(resultado, "000") == 0, "imprime: %s", resultado);
    DIR *d = opendir(pasta);
    char pdf[1024] = "";
    int links = 0;
    for (struct dirent *e; d && (e = readdir(d));) {
        if (strncmp(e->d_name, "KOVA_", 5) != 0) continue;
        snprintf(link, sizeof link, "%s/%s", pasta, e->d_name);
        struct stat st;
        if (lstat(link, &st) == 0 && S_ISLNK(st.st_mode)) {
            ++links;
        } else {
            snprintf(pdf, sizeof pdf, "%s", link);
            CONFERE(S_ISREG(st.st_mode) && (st.st_mode & 0777) == 0600, "%s: mode %o", link,
                    st.st_mode);
        }
    }
    if (d) closedir(d);
    CONFERE(pdf[0] != '\0', "no PDF in %s", pasta);
    CONFERE(links == 19, "the printed slip took the place of a planted link: %d links left", links);
    a = fopen(alvo, "r");
    char conteudo[16] = "";
    fgets(conteudo, sizeof conteudo, a);
    fclose(a);
    CONFERE(strcmp(conteudo, "intacto") == 0, "a link was written through: %s", conteudo);
    char comando[1200], texto[65536] = "";
    snprintf(comando, sizeof comando, "pdftotext -layout '%s' - 2>/dev/null", pdf);
    FILE *p = popen(comando, "r");
    size_t lidos = p ? fread(texto, 1, sizeof texto - 1, p) : 0;
    texto[lidos] = '\0';
    if (p) pclose(p);
    CONFERE(strstr(texto, "PRIMEIRA VIA") && strstr(texto, "SEGUNDA VIA") &&
                strstr(texto, "TERCEIRA VIA"),
            "three copies in %s", pdf);

    printf("%d passed, %d failed\n", passou, falhou);
    return falhou == 0 ? 0 : 1;
}
