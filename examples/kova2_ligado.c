/* The same host as kova2_exemplo.c, linked against the installed library instead of loading it:
 *     cc kova2_ligado.c $(pkg-config --cflags --libs kovadll) -lz -o kova2_ligado
 * It sends the request given (or a short one) and checks the CRC-32 that signs the reply. */

#include <kovadll.h>
#include <stdio.h>
#include <string.h>
#include <zlib.h>

int main(int argc, char **argv) {
    char buffer[2048];
    snprintf(buffer, sizeof buffer, "%s",
             argc > 1
                 ? argv[1]
                 : "UFFAVORECIDA=SP;RECEITA=100013;CICCONTRIBUINTE=12345678000195;UF=SP;CEP=1");
    if (kova2_n(buffer, sizeof buffer) == 0) {
        char erro[512];
        kova_ultimo_erro(erro, sizeof erro);
        fprintf(stderr, "falhou: %s\n", erro);
        return 2;
    }
    const char *crc = strstr(buffer, ";CRC=");
    char esperado[9];
    snprintf(esperado, sizeof esperado, "%08lX",
             crc ? crc32(0L, (const Bytef *)buffer, (uInt)(crc - buffer)) : 0UL);
    printf("%s\n", buffer);
    return crc && strncmp(crc + 5, esperado, 8) == 0 ? 0 : 1;
}
