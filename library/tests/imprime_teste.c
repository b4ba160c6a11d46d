/* A host program in C that stores one slip with kova2 and prints it with imprime, as the real
 * print queue test drives it: it writes what the library answered, one item a line
 * (codigo=, imprime=, erro=), for the test to compare with what the queue printed. */

#include <dlfcn.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "DiretorioDoTeste.h"

typedef void (*Kova2)(char *);
typedef void (*Imprime)(const char *, const char *, const char *, char *);
typedef size_t (*UltimoErro)(char *, size_t);

int main(void) {
    char windir[] = "/tmp/kova-imprime-XXXXXX";
    if (!DiretorioDoTeste(windir, "PastaImpressao=%s/pdf\r\n")) return 2;

    void *lib = dlopen(KOVA_BIBLIOTECA, RTLD_NOW | RTLD_LOCAL);
    if (!lib) {
        printf("erro=%s\n", dlerror());
        return 2;
    }
    Kova2 kova2 = (Kova2)dlsym(lib, "kova2");
    Imprime imprime = (Imprime)dlsym(lib, "imprime");
    UltimoErro ultimo = (UltimoErro)dlsym(lib, "kova_ultimo_erro");
    if (!kova2 || !imprime || !ultimo) return 2;

    char req[2048] =
        "VERSAO=1;UFFAVORECIDA=SP;RECEITA=100013;CICCONTRIBUINTE=12345678000195;DOCUMENTOORIGEM="
        "1234567890;"
        "REFERENCIA=1052009;VALORPRINCIPAL=100,00;JUROS=10,00;MULTA=5,00;TOTALRECOLHER=115,00;"
        "DATAVENCIMENTO=15/06/2009;RAZAOSOCIAL=EMPRESA DE TESTE LTDA;ENDERECO=RUA DAS FLORES, 100;"
        "MUNICIPIO=CAMPINAS;UF=SP;CEP=13010-000;PRODUTO=37;TELEFONE=1999999999;CONVENIO=X;";
    kova2(req);
    printf("codigo=%.44s\n", req);
    char resultado[64] = "";
    imprime("", "", "", resultado);
    char erro[512] = "";
    ultimo(erro, sizeof erro);
    printf("imprime=%s\nerro=%s\n", resultado, erro);
    /* The folder of PDF files of a machine without printers: the queue should have had the job. */
    char pdf[300];
    snprintf(pdf, sizeof pdf, "%s/pdf", windir);
    printf("pdf=%s\n", pdf);
    return 0;
}
