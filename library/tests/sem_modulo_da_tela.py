#!/usr/bin/env python3
"""A library installed without its screen and printing module (a partial copy, a removed file):
kova, teste and imprime fail with the reason, as any failed call, and the host goes on; the
next call tries to load the module again. A module that another user could have put there (a
file others may write, a link) is refused the same way, and never loaded.

    sem_modulo_da_tela.py <libkovadll.so>
"""
import ctypes
import os
import shutil
import sys
import tempfile


def main():
    pasta = tempfile.mkdtemp(prefix='kova-sem-tela-')
    try:
        copia = os.path.join(pasta, 'libkovadll.so')
        shutil.copy(os.path.realpath(sys.argv[1]), copia)
        biblioteca = ctypes.CDLL(copia)
        biblioteca.teste.restype = ctypes.c_bool
        erro = ctypes.create_string_buffer(1024)

        def ultimo_erro():
            biblioteca.kova_ultimo_erro(erro, len(erro))
            return erro.value.decode('cp1252')

        falhas = []
        for vez in (1, 2):
            resultado = ctypes.create_string_buffer(64)
            biblioteca.imprime(b'a', b'b', b'c', resultado)
            if resultado.value != '001KOVA não incluida'.encode('cp1252'):
                falhas.append(f'imprime respondeu {resultado.value!r}')
            if 'libkovadll_tela.so' not in ultimo_erro():
                falhas.append(f'imprime sem o motivo: {ultimo_erro()!r}')
            if biblioteca.teste():
                falhas.append('teste salvou uma KOVA sem a tela')
            pedido = b'UFFAVORECIDA=SP;RECEITA=100013'
            requisicao = ctypes.create_string_buffer(pedido, 1500)
            biblioteca.kova(requisicao)
            if requisicao.value != pedido:
                falhas.append(f'kova mudou a requisição: {requisicao.value!r}')
            if not ultimo_erro().startswith('Não foi possível carregar a tela e a impressão'):
                falhas.append(f'{vez}ª vez, kova sem o motivo: {ultimo_erro()!r}')
        # Planted modules: a file anyone may write, then a link to the real module.
        modulo = os.path.join(pasta, 'libkovadll_tela.so')
        real = os.path.join(os.path.dirname(os.path.realpath(sys.argv[1])), 'libkovadll_tela.so')
        shutil.copy(copia, modulo)
        os.chmod(modulo, 0o666)
        for motivo in ('pode ser alterado por outros usuários', 'é um link simbólico'):
            requisicao = ctypes.create_string_buffer(b'UFFAVORECIDA=SP', 1500)
            biblioteca.kova(requisicao)
            if motivo not in ultimo_erro() or requisicao.value != b'UFFAVORECIDA=SP':
                falhas.append(f'módulo plantado ({motivo}): {ultimo_erro()!r}')
            os.remove(modulo)
            os.symlink(real, modulo)
        for falha in falhas:
            print(falha)
        sys.exit(1 if falhas else 0)
    finally:
        shutil.rmtree(pasta)


if __name__ == '__main__':
    main()
