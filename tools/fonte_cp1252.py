#!/usr/bin/env python3
"""Copies the source tree with its narrow string and character literals stored as Windows-1252.

gcc stores narrow literals that way itself (-fexec-charset=CP1252); clang cannot, but it keeps the
bytes of a literal as they stand in the file. So the clang builds (sanitizers, fuzzing) compile this
copy. UTF-16 literals (u"", QStringLiteral), u8 literals and comments stay UTF-8. Files that did not
change keep their time, so a rebuild compiles only what changed.

    fonte_cp1252.py ORIGEM DESTINO
"""
import os
import re
import shutil
import sys

FONTES = ('.cpp', '.h', '.c')
IGNORAR = {'.git', 'fuzz-falhas'}
LARGO = re.compile(r'(?:\b(?:u8|u|U|L)|QStringLiteral\(\s*)$')


def converte(texto, nome):
    """The file's bytes: narrow literals in Windows-1252, the rest in UTF-8."""
    saida = []
    recente = ''
    i, n = 0, len(texto)

    def poe(trecho, dados):
        nonlocal recente
        saida.append(dados)
        recente = (recente + trecho)[-40:]

    while i < n:
        if texto.startswith('//', i) or texto.startswith('/*', i):
            fim = texto.find('\n' if texto[i + 1] == '/' else '*/', i + 2)
            fim = n if fim < 0 else (fim if texto[i + 1] == '/' else fim + 2)
            poe(' ', texto[i:fim].encode('utf-8'))
            i = fim
        elif texto[i] in '"\'':
            aspa = texto[i]
            j = i + 1
            while j < n and texto[j] != aspa and texto[j] != '\n':
                j += 2 if texto[j] == '\\' else 1
            literal = texto[i:j + 1]
            if LARGO.search(recente) or all(ord(ch) < 128 for ch in literal):
                poe(literal, literal.encode('utf-8'))
            else:
                try:
                    poe(literal, literal.encode('cp1252'))
                except UnicodeEncodeError as erro:
                    sys.exit(f'{nome}: literal fora do Windows-1252: {erro}')
            i = j + 1
        else:
            poe(texto[i], texto[i].encode('utf-8'))
            i += 1
    return b''.join(saida)


def main():
    origem, destino = sys.argv[1], sys.argv[2]
    for raiz, pastas, arquivos in os.walk(origem):
        relativo = os.path.relpath(raiz, origem)
        pastas[:] = [p for p in pastas
                     if p not in IGNORAR and not (relativo == '.' and p.startswith('build'))]
        alvo = os.path.join(destino, relativo)
        os.makedirs(alvo, exist_ok=True)
        for a in arquivos:
            de, para = os.path.join(raiz, a), os.path.join(alvo, a)
            if a.endswith(FONTES):
                with open(de, encoding='utf-8') as f:
                    dados = converte(f.read(), de)
                if not os.path.exists(para) or open(para, 'rb').read() != dados:
                    with open(para, 'wb') as f:
                        f.write(dados)
            elif not os.path.exists(para) or os.path.getmtime(de) > os.path.getmtime(para):
                shutil.copy2(de, para)
    open(os.path.join(destino, 'FONTE_CP1252'), 'a').close()


if __name__ == '__main__':
    main()
