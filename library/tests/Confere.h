/* What the C host programs of the tests share: a check that counts and tells, and the check of a
 * reply's CRC-32 against zlib. */
#ifndef KOVA_CONFERE_H
#define KOVA_CONFERE_H

#include <stdbool.h>
#include <stdio.h>
#include <string.h>
#include <zlib.h>

static int passou = 0, falhou = 0;

#define CONFERE(cond, ...)                                \
    do {                                                  \
        if (cond) {                                       \
            ++passou;                                     \
        } else {                                          \
            ++falhou;                                     \
            printf("FALHOU %s:%d: ", __FILE__, __LINE__); \
            printf(__VA_ARGS__);                          \
            printf("\n");                                 \
        }                                                 \
    } while (0)

/* The reply's checksum: the CRC-32 of the text before ";CRC=", as 8 upper-case hexadecimal
 * digits, then the end of the reply or a final ";". */
static bool CRCConfere(const char *resposta) {
    const char *p = strstr(resposta, ";CRC=");
    if (!p || strlen(p) < 13) return false;
    uLong crc = crc32(0L, (const Bytef *)resposta, (uInt)(p - resposta));
    char hex[9];
    snprintf(hex, sizeof hex, "%08lX", crc);
    return strncmp(p + 5, hex, 8) == 0 && (p[13] == '\0' || (p[13] == ';' && p[14] == '\0'));
}

#endif
