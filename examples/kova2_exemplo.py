#!/usr/bin/env python3
"""A short host program in Python: loads the library with ctypes, sends one unattended request
and checks the CRC-32 that signs the reply. Texts cross the library in Windows-1252.

    python3 kova2_exemplo.py [/path/libkovadll.so] [REQUEST]

The library finds its data directory through Config.ini beside the Python interpreter's program
or KOVA.INI in the Windows directory ($KOVA_WINDIR)."""

import ctypes
import sys
import zlib

PEDIDO = ("UFFAVORECIDA=SP;RECEITA=100013;CICCONTRIBUINTE=12345678000195;DOCUMENTOORIGEM=1234567890;"
          "REFERENCIA=1052009;VALORPRINCIPAL=100,00;JUROS=10,00;MULTA=5,00;TOTALRECOLHER=115,00;"
          "DATAVENCIMENTO=15/06/2009;RAZAOSOCIAL=EMPRESA;ENDERECO=RUA A;MUNICIPIO=CAMPINAS;UF=SP;"
          "CEP=13010-000;PRODUTO=37")


def main():
    biblioteca = sys.argv[1] if len(sys.argv) > 1 else "libkovadll.so"
    pedido = sys.argv[2] if len(sys.argv) > 2 else PEDIDO
    lib = ctypes.CDLL(biblioteca)
    lib.kova2_n.argtypes = [ctypes.c_char_p, ctypes.c_size_t]
    lib.kova2_n.restype = ctypes.c_size_t
    lib.kova_ultimo_erro.argtypes = [ctypes.c_char_p, ctypes.c_size_t]
    lib.kova_ultimo_erro.restype = ctypes.c_size_t

    # The length-checked form: the buffer is the request's, and the reply is written over it.
    buffer = ctypes.create_string_buffer(pedido.encode("cp1252"), 2048)
    if lib.kova2_n(buffer, len(buffer)) == 0:
        erro = ctypes.create_string_buffer(512)
        lib.kova_ultimo_erro(erro, len(erro))
        print("falhou:", erro.value.decode("cp1252"), file=sys.stderr)
        return 2
    resposta = buffer.value
    texto, _, assinatura = resposta.partition(b";CRC=")
    print(resposta.decode("cp1252"))
    esperado = "%08X" % zlib.crc32(texto)
    if assinatura[:8].decode() != esperado:
        print("CRC não confere:", esperado, file=sys.stderr)
        return 1
    return 0 if b";Retorno=000;" in resposta else 1


if __name__ == "__main__":
    sys.exit(main())
