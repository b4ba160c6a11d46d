/* A short host program in C: it loads the library with dlopen, sends one unattended request and
 * checks the CRC-32 that signs the reply.
 *     cc kova2_exemplo.c -ldl -lz -o kova2_exemplo && ./kova2_exemplo /path/libkovadll.so [REQUEST]
 * The library finds its data directory through Config.ini beside this program or KOVA.INI. */

#include <dlfcn.h>
#include <stdio.h>
#include <string.h>
#include <zlib.h>

typedef void (*Kova2)(char *);
typedef size_t (*UltimoErro)(char *, size_t);

int main(int argc, char **argv) {
    const char *biblioteca = argc > 1 ? argv[1] : "libkovadll.so";
    const char *pedido =
        argc > 2 ? argv[2]
                 : "UFFAVORECIDA=SP;RECEITA=100013;CICCONTRIBUINTE=12345678000195;"
                   "DOCUMENTOORIGEM=1234567890;REFERENCIA=1052009;VALORPRINCIPAL=100,00;"
                   "JUROS=10,00;MULTA=5,00;TOTALRECOLHER=115,00;DATAVENCIMENTO=15/06/2009;"
                   "RAZAOSOCIAL=EMPRESA;ENDERECO=RUA A;MUNICIPIO=CAMPINAS;UF=SP;CEP=13010-000;"
                   "PRODUTO=37";
    void *lib = dlopen(biblioteca, RTLD_NOW);
    if (!lib) {
        fprintf(stderr, "%s\n", dlerror());
        return 2;
    }
    Kova2 kova2 = (Kova2)dlsym(lib, "kova2");
    UltimoErro ultimo_erro = (UltimoErro)dlsym(lib, "kova_ultimo_erro");
    if (!kova2 || !ultimo_erro) return 2;

    /* The reply is written over the request: every kova2 reply fits in 400 bytes. */
    char buffer[2048];
    snprintf(buffer, sizeof buffer, "%s", pedido);
    kova2(buffer);
    const char *crc = strstr(buffer, ";CRC=");
    if (!crc) {
        char erro[512];
        ultimo_erro(erro, sizeof erro);
        fprintf(stderr, "falhou: %s\n", erro);
        return 2;
    }
    char esperado[9];
    snprintf(esperado, sizeof esperado, "%08lX",
             crc32(0L, (const Bytef *)buffer, (uInt)(crc - buffer)));
    printf("%s\n", buffer);
    if (strncmp(crc + 5, esperado, 8) != 0) {
        fprintf(stderr, "CRC não confere: %s\n", esperado);
        return 1;
    }
    return strstr(buffer, ";Retorno=000;") ? 0 : 1;
}
