#!/usr/bin/env python3
"""Checks a built library's exports against the one list of them (library/exportacoes.txt, or a
module-definition file such as the component's): every export of the list is there, by name and
on Windows at its ordinal, undecorated, and nothing else is exported (no C++ symbol either).
The shipped library exports the list's calls for host programs (ordinals below 101) and nothing
more; with --variante-de-teste, the tests' variant of the library exports the tests' entry points
(from 101 on) too. With --cabecalhos, checks that the public header declares exactly the calls for
host programs and the tests' header exactly the others.

    confere_exportacoes.py [--variante-de-teste] <exportacoes.txt> <libkovadll.so>            Linux (nm -D)
    confere_exportacoes.py [--variante-de-teste] <exportacoes.txt> <kovadll.dll> <objdump>    Windows (the mingw objdump)
    confere_exportacoes.py --cabecalhos <exportacoes.txt> <kovadll.h> <kovadll_teste.h>
"""
import re
import subprocess
import sys


def lista(caminho, windows, de_teste=True):
    esperadas = {}
    for linha in open(caminho, encoding='utf-8'):
        # "name @N" in a module-definition file.
        partes = linha.replace('@', '').split()
        if len(partes) < 2 or partes[0].startswith('#') or not partes[1].isdigit():
            continue
        if windows and 'linux' in partes[2:]:
            continue
        if not de_teste and int(partes[1]) >= PRIMEIRO_DE_TESTE:
            continue
        esperadas[partes[0]] = int(partes[1])
    return esperadas


# What the linker itself marks in every shared object.
DO_LINKER = {'_init', '_fini', '_edata', '_end', '__bss_start'}

# Ordinals from here on are the project's own tests' entry points.
PRIMEIRO_DE_TESTE = 101


def exportado(tipo):
    # nm writes a local symbol's type in lower case; "u" (unique), "v", "w" (weak) and "i"
    # (indirect) are global all the same. The dynamic table may keep local symbols no one can bind.
    return tipo.isupper() or tipo in 'uvwi'


def do_linux(biblioteca):
    saida = subprocess.run(['nm', '-D', '--defined-only', biblioteca], check=True, capture_output=True,
                           text=True).stdout
    return {c[-1]: None for c in (l.split() for l in saida.splitlines())
            if len(c) >= 2 and exportado(c[-2]) and c[-1] not in DO_LINKER}


def declaradas(cabecalho):
    texto = open(cabecalho, encoding='utf-8').read()
    return set(re.findall(r'^KOVADLL_API\s[^;(]*?\bKOVADLL_CALL\s+(\w+)\s*\(', texto, re.M))


def confere_cabecalhos(lista_, publico, de_teste):
    esperadas = lista(lista_, False)
    falhas = []
    for cabecalho, nomes in ((publico, {n for n, o in esperadas.items() if o < PRIMEIRO_DE_TESTE}),
                             (de_teste, {n for n, o in esperadas.items() if o >= PRIMEIRO_DE_TESTE})):
        achadas = declaradas(cabecalho)
        falhas += ['%s: %s não é declarada' % (cabecalho, n) for n in sorted(nomes - achadas)]
        falhas += ['%s: %s é declarada sem estar na lista (ou no outro cabeçalho)' % (cabecalho, n)
                   for n in sorted(achadas - nomes)]
    for f in falhas:
        print('FALHA: %s' % f, file=sys.stderr)
    return 1 if falhas else 0


def do_windows(biblioteca, objdump):
    saida = subprocess.run([objdump, '-p', biblioteca], check=True, capture_output=True, text=True).stdout
    base = int(re.search(r'^Ordinal Base\s+(\d+)', saida, re.M).group(1))
    tabela = saida[saida.index('[Ordinal/Name Pointer] Table'):].split('\n\n')[0]
    return {m.group(2): int(m.group(1)) + base for m in re.finditer(r'^\s+\[\s*(\d+)\] (\S+)$', tabela, re.M)}


def main():
    argumentos = sys.argv[1:]
    if argumentos[0] == '--cabecalhos':
        return confere_cabecalhos(*argumentos[1:4])
    variante = argumentos[0] == '--variante-de-teste'
    if variante:
        argumentos = argumentos[1:]
    windows = len(argumentos) == 3
    esperadas = lista(argumentos[0], windows, de_teste=variante)
    achadas = do_windows(argumentos[1], argumentos[2]) if windows else do_linux(argumentos[1])
    falhas = []
    for nome, ordinal in esperadas.items():
        if nome not in achadas:
            falhas.append('%s não é exportada' % nome)
        elif windows and achadas[nome] != ordinal:
            falhas.append('%s é a exportação %d, não a %d' % (nome, achadas[nome], ordinal))
    de_teste = lista(argumentos[0], windows)
    for nome in achadas:
        if nome in esperadas:
            continue
        if nome in de_teste:
            falhas.append('%s é entrada dos testes, que a biblioteca entregue não exporta' % nome)
        else:
            falhas.append('%s é exportada sem estar na lista' % nome)
    for f in falhas:
        print('FALHA: %s: %s' % (argumentos[1], f), file=sys.stderr)
    return 1 if falhas else 0


if __name__ == '__main__':
    sys.exit(main())
