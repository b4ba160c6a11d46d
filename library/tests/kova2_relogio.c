/* A host that runs across the end of a month and of a year answers every request as a host started
 * at that moment would: the library reads the clock (set with kova_relogio_teste) for each request,
 * not once when it was first called. Over the shipped tables, the same host process is walked from
 * November to the next January; at each moment its reply is compared with the one a fresh host
 * process gives (this program run again with --uma), and with what the rules ask.
 *
 *   kova2_relogio              the walk
 *   kova2_relogio --uma M R    a fresh host: sets the clock to M, sends R, prints the reply */

#include <dlfcn.h>
#include <stdbool.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <zlib.h>

#include "Confere.h"

typedef void (*Kova2)(char *);
typedef bool (*Relogio)(const char *);

static Kova2 kova2;
static Relogio relogio;

static bool Carrega(void) {
    void *lib = dlopen(KOVA_BIBLIOTECA, RTLD_NOW | RTLD_LOCAL);
    if (!lib) {
        printf("%s\n", dlerror());
        return false;
    }
    kova2 = (Kova2)dlsym(lib, "kova2");
    relogio = (Relogio)dlsym(lib, "kova_relogio_teste");
    return kova2 && relogio;
}

static void Pede(const char *requisicao, char *resposta, size_t n) {
    snprintf(resposta, n, "%s", requisicao);
    kova2(resposta);
}

/* The slip of a state and revenue with the reference, the document and the due date given. */
static void Requisicao(char *destino, size_t n, const char *uf, const char *receita,
                       const char *referencia, const char *documento, const char *vencimento) {
    snprintf(destino, n,
             "UFFAVORECIDA=%s;RECEITA=%s;CICCONTRIBUINTE=11222333000181;DOCUMENTOORIGEM=%s;"
             "REFERENCIA=%s;"
             "VALORPRINCIPAL=100,00;TOTALRECOLHER=100,00;DATAVENCIMENTO=%s;RAZAOSOCIAL=EMPRESA;"
             "ENDERECO=RUA A;"
             "MUNICIPIO=CIDADE;UF=%s;CEP=13010-000",
             uf, receita, documento, referencia, vencimento, strcmp(uf, "SP") == 0 ? "RJ" : "SP");
}

static const char *programa;

/* The reply a fresh host process gives at that moment. */
static void Fresco(const char *momento, const char *requisicao, char *resposta, size_t n) {
    char comando[4096];
    snprintf(comando, sizeof comando, "'%s' --uma '%s' '%s'", programa, momento, requisicao);
    FILE *p = popen(comando, "r");
    resposta[0] = '\0';
    if (p) {
        if (!fgets(resposta, (int)n, p)) resposta[0] = '\0';
        pclose(p);
    }
    resposta[strcspn(resposta, "\n")] = '\0';
}

/* At this moment the long-lived host answers as a fresh one, and as the rules ask. */
static void Confere(const char *momento, const char *requisicao, const char *esperado) {
    char aqui[2048], fresco[2048];
    CONFERE(relogio(momento), "clock %s", momento);
    Pede(requisicao, aqui, sizeof aqui);
    Fresco(momento, requisicao, fresco, sizeof fresco);
    CONFERE(CRCConfere(aqui), "CRC of %s", aqui);
    CONFERE(strcmp(aqui, fresco) == 0, "%s %s\n  long-lived: %s\n  fresh:      %s", momento,
            requisicao, aqui, fresco);
    CONFERE(strstr(aqui, esperado) != NULL, "%s %s: %s, expected %s", momento, requisicao, aqui,
            esperado);
}

int main(int argc, char **argv) {
    programa = argv[0];
    if (argc == 4 && strcmp(argv[1], "--uma") == 0) {
        char resposta[2048];
        if (!Carrega() || !relogio(argv[2])) return 2;
        Pede(argv[3], resposta, sizeof resposta);
        printf("%s\n", resposta);
        return 0;
    }

    /* The fresh hosts run with this Windows directory too, over a copy of the shipped tables. */
    char windir[] = "/tmp/kova-relogio-XXXXXX";
    if (!mkdtemp(windir)) return 2;
    char comando[1024], caminho[512];
    snprintf(comando, sizeof comando, "cp -r '%s' '%s/Dados'", KOVA_DADOS_DISTRIBUIDOS, windir);
    if (system(comando) != 0) return 2;
    snprintf(caminho, sizeof caminho, "%s/KOVA.INI", windir);
    FILE *ini = fopen(caminho, "w");
    if (!ini) return 2;
    fprintf(ini, "[KOVA]\r\nDirDados=%s/Dados\r\n", windir);
    fclose(ini);
    setenv("KOVA_WINDIR", windir, 1);
    setenv("KOVA_SYSDIR", windir, 1);
    if (!Carrega()) return 2;

    char cearaJaneiro[1024], spJaneiro2028[1024], di2028[1024];
    /* Ceará's notice refuses a period still to come; its year is listed from December on. */
    Requisicao(cearaJaneiro, sizeof cearaJaneiro, "CE", "100013", "1012027", "1234567890",
               "11/01/2027");
    /* A period of January 2028 is at most next year's from 2027 on. */
    Requisicao(spJaneiro2028, sizeof spJaneiro2028, "SP", "100013", "1012028", "1234567890",
               "03/01/2028");
    /* An import declaration of 2028 (2800000006: Modulo11 of 2280000000 is 6) and its reference. */
    Requisicao(di2028, sizeof di2028, "SP", "100056", "1012028", "2800000006", "03/01/2028");
    const char *aceita = ";Retorno=000;";
    const char *aviso =
        "Mensagem_Retorno=KOVA vencida: os encargos devem ser calculados conforme a legislação do "
        "Ceará.";
    const char *ano2027 = "Mensagem_Retorno=[Erro: 79] ";
    const char *declaracao2027 = "AA=ano (entre 1970 e 2027)";

    /* The host starts at the end of November. */
    Confere("30/11/2026 23:59:00", cearaJaneiro, aceita);
    Confere("30/11/2026 23:59:00", spJaneiro2028, ano2027);
    /* Past midnight it is December: next year is listed, and January is a period still to come. */
    Confere("01/12/2026 00:01:00", cearaJaneiro, aviso);
    Confere("31/12/2026 23:59:00", cearaJaneiro, aviso);
    Confere("31/12/2026 23:59:00", spJaneiro2028, ano2027);
    Confere("31/12/2026 23:59:00", di2028, declaracao2027);
    /* Past midnight of the year: January is this month, and 2028 is next year. */
    Confere("01/01/2027 00:01:00", cearaJaneiro, aceita);
    Confere("01/01/2027 00:01:00", spJaneiro2028, aceita);
    Confere("01/01/2027 00:01:00", di2028, aceita);

    relogio(NULL);
    snprintf(comando, sizeof comando, "rm -rf '%s'", windir);
    if (system(comando) != 0) printf("could not remove %s\n", windir);
    printf("%d checks passed, %d failed\n", passou, falhou);
    return falhou ? 1 : 0;
}
