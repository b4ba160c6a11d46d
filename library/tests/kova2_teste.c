/* The unattended request through the library's C exports, as a host program written in C uses
 * them: loaded with dlopen, every reply's CRC checked with zlib. */

#include <dlfcn.h>
#include <stdbool.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>
#include <zlib.h>

#include "Confere.h"
#include "DiretorioDoTeste.h"

typedef void (*Kova2)(char *);
typedef size_t (*Kova2N)(char *, size_t);
typedef size_t (*UltimoErro)(char *, size_t);

static Kova2 kova2;
static Kova2N kova2_n;
static UltimoErro kova_ultimo_erro;

static char buffer[4096];

static const char *Pede(const char *requisicao) {
    snprintf(buffer, sizeof buffer, "%s", requisicao);
    kova2(buffer);
    return buffer;
}

/* A valid slip of the test data, with the layout of the revenue given. */
static void Requisicao(char *destino, size_t n, const char *receita, const char *extra) {
    snprintf(
        destino, n,
        "VERSAO=1;UFFAVORECIDA=SP;RECEITA=%s;CICCONTRIBUINTE=12345678000195;DOCUMENTOORIGEM="
        "1234567890;"
        "REFERENCIA=1052009;VALORPRINCIPAL=100,00;JUROS=10,00;MULTA=5,00;TOTALRECOLHER=115,00;"
        "DATAVENCIMENTO=15/06/2009;RAZAOSOCIAL=EMPRESA DE TESTE LTDA;ENDERECO=RUA DAS FLORES, 100;"
        "MUNICIPIO=CAMPINAS;UF=SP;CEP=13010-000;PRODUTO=37;TELEFONE=1999999999;CONVENIO=X;%s",
        receita, extra);
}

/* The general check digit, worked out here apart from the library. */
static void ComDigito(const char *sem43, char *com44) {
    int soma = 0, peso = 2;
    for (int i = 42; i >= 0; --i) {
        soma += (sem43[i] - '0') * peso;
        peso = peso == 9 ? 2 : peso + 1;
    }
    int r = soma % 11;
    memcpy(com44, sem43, 3);
    com44[3] = (char)('0' + (r < 2 ? 0 : 11 - r));
    memcpy(com44 + 4, sem43 + 3, 40);
    com44[44] = '\0';
}

int main(void) {
    /* The library finds its data through KOVA.INI in the Windows directory of this run. */
    char windir[] = "/tmp/kova-c-XXXXXX";
    if (!DiretorioDoTeste(windir, "")) return 2;

    void *lib = dlopen(KOVA_BIBLIOTECA, RTLD_NOW | RTLD_LOCAL);
    if (!lib) {
        printf("%s\n", dlerror());
        return 2;
    }
    kova2 = (Kova2)dlsym(lib, "kova2");
    kova2_n = (Kova2N)dlsym(lib, "kova2_n");
    kova_ultimo_erro = (UltimoErro)dlsym(lib, "kova_ultimo_erro");
    CONFERE(kova2 && kova2_n && kova_ultimo_erro && dlsym(lib, "kova") && dlsym(lib, "teste") &&
                dlsym(lib, "imprime"),
            "exports");

    char req[2048];
    /* Accepted slips, checked against the hand-worked digits of the barcode layouts. */
    struct {
        const char *receita, *campo;
    } casos[] = {{"100013", "1661123456780001105137"},
                 {"100021", "1123456780001105108695"},
                 {"100030", "0000012345678908690804"},
                 {"100048", "1661123456780001000000"},
                 {"100064", "1661123456780001567890"}};
    for (int i = 0; i < 5; ++i) {
        Requisicao(req, sizeof req, casos[i].receita, "");
        const char *r = Pede(req);
        char sem[64], esperado[64];
        snprintf(sem, sizeof sem, "858000000115000035501%s", casos[i].campo);
        ComDigito(sem, esperado);
        CONFERE(
            strncmp(r, esperado, 44) == 0 &&
                strstr(r, ";Retorno=000;Mensagem_Retorno=KOVA Validada com sucesso;CRC=") == r + 44,
            "%s: %s (esperado %s)", casos[i].receita, r, esperado);
        CONFERE(CRCConfere(r), "CRC of %s", r);
    }

    /* Keys in any case; a blank before a key hides the item. */
    Requisicao(req, sizeof req, "100013", "");
    char *uf = strstr(req, "UFFAVORECIDA=");
    memcpy(uf, "uffavorecida=", 13);
    CONFERE(strstr(Pede(req), ";Retorno=000;") != NULL, "lower-case key: %s", buffer);
    memcpy(uf - 1, " ", 1);
    const char *r = Pede(req);
    CONFERE(strstr(r, "Retorno=001;Mensagem_Retorno=[Erro: 1] Informe UF Favorecida;CRC=") == r &&
                CRCConfere(r),
            "blank before the key: %s", r);

    /* An empty value leaves the field as it was. */
    Requisicao(req, sizeof req, "100013", "JUROS=");
    CONFERE(strstr(Pede(req), ";Retorno=000;") != NULL, "JUROS= empty: %s", buffer);

    /* Item counts: 4 and 26 are refused, 5 and 25 accepted; a final ";" adds none. */
    const char *invalido =
        "Retorno=001;Mensagem_Retorno=N\xFAmero de Campos Inv\xE1lido - KOVA Rejeitada;CRC=";
    r = Pede("A=1;B=2;C=3;D=4;");
    CONFERE(strncmp(r, invalido, strlen(invalido)) == 0 && CRCConfere(r), "4 items: %s", r);
    r = Pede("A=1;B=2;C=3;D=4;E=5");
    CONFERE(strncmp(r, invalido, strlen(invalido)) != 0 && CRCConfere(r), "5 items: %s", r);
    char muitos[1024] = "";
    for (int i = 0; i < 26; ++i) strcat(muitos, "X=1;");
    r = Pede(muitos);
    CONFERE(strncmp(r, invalido, strlen(invalido)) == 0, "26 items: %s", r);
    muitos[strlen(muitos) - 4] = '\0';
    r = Pede(muitos);
    CONFERE(strncmp(r, invalido, strlen(invalido)) != 0, "25 items: %s", r);

    /* The first failing item ends the request: a wrong CPF in third place. */
    r = Pede("UFFAVORECIDA=SP;RECEITA=100013;CICCONTRIBUINTE=12345678901;RAZAOSOCIAL=X;UF=ZZ");
    CONFERE(strncmp(r, "Retorno=001;Mensagem_Retorno=[Erro: 9] CPF inv\xE1lido;CRC=", 54) == 0 &&
                r[strlen(r) - 1] == ';' && CRCConfere(r),
            "CPF: %s", r);

    /* A courier code that is not a number. */
    r = Pede("UFFAVORECIDA=SP;RECEITA=100013;EMPRESACOURIER=XX;A=1;B=2");
    CONFERE(
        strstr(r,
               "O campo COURIER n\xE3o est\xE1 preenchido ou o valor informado \xE9 inv\xE1lido") !=
            NULL,
        "courier: %s", r);

    /* A value the field cannot take: the buffer keeps the request and the reason is kept. */
    Requisicao(req, sizeof req, "100013", "");
    char *venc = strstr(req, "15/06/2009");
    memcpy(venc, "31/02/2009", 10);
    char copia[2048];
    strcpy(copia, req);
    strcpy(buffer, req);
    kova2(buffer);
    CONFERE(strcmp(buffer, copia) == 0, "buffer keeps the request");
    char erro[256];
    kova_ultimo_erro(erro, sizeof erro);
    CONFERE(strstr(erro, "'31/02/2009' n\xe3o \xe9 uma data v\xe1lida") != NULL,
            "failure text in Portuguese: %s", erro);

    /* The length-checked form never writes past its size and tells what it needs. */
    Requisicao(req, sizeof req, "100013", "");
    char pequeno[40];
    memset(pequeno, 'Z', sizeof pequeno);
    char grande[1024];
    strcpy(grande, req);
    size_t precisa = kova2_n(grande, sizeof grande);
    CONFERE(precisa == strlen(grande) + 1 && CRCConfere(grande), "kova2_n: %zu %s", precisa,
            grande);
    strncpy(pequeno, "A=1;B=2;C=3;D=4", sizeof pequeno - 1);
    pequeno[sizeof pequeno - 1] = '\0';
    char guarda[48];
    memcpy(guarda, pequeno, sizeof pequeno);
    precisa = kova2_n(pequeno, 20);
    CONFERE(precisa > 20 && strlen(pequeno) == 19 &&
                memcmp(pequeno + 20, guarda + 20, sizeof pequeno - 20) == 0,
            "small buffer: %zu", precisa);

    printf("%d passed, %d failed\n", passou, falhou);
    /* The library stays loaded to the end, as in a host program: the libraries it brings keep
     * their own start-up allocations until then. */
    (void)lib;
    char comando[300];
    snprintf(comando, sizeof comando, "rm -rf %s", windir);
    if (system(comando) != 0) return 2;
    return falhou == 0 ? 0 : 1;
}
