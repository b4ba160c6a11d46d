#!/usr/bin/env python3
"""Checks that the library a host loads brings neither Qt nor the print system into its process:
every library ldd lists for it, directly or through another, is neither. The screen and printing
module, given last, must list both: a check that finds Qt nowhere proves nothing.

    confere_dependencias.py <libkovadll.so>... <libkovadll_tela.so>
"""
import re
import subprocess
import sys

PROIBIDAS = re.compile(r'^lib(Qt\d|cups)', re.I)


def dependencias(biblioteca):
    saida = subprocess.run(['ldd', biblioteca], check=True, capture_output=True, text=True).stdout
    return {linha.split()[0] for linha in saida.splitlines() if linha.strip()}


def main():
    if len(sys.argv) < 3:
        sys.exit(__doc__)
    falhas = []
    for biblioteca in sys.argv[1:-1]:
        achadas = sorted(d for d in dependencias(biblioteca) if PROIBIDAS.match(d))
        if achadas:
            falhas.append(f'{biblioteca} carrega {", ".join(achadas)}')
    modulo = dependencias(sys.argv[-1])
    for prefixo in ('libQt', 'libcups'):
        if not any(d.startswith(prefixo) for d in modulo):
            falhas.append(f'{sys.argv[-1]} não carrega {prefixo}: a conferência não vê o que procura')
    for falha in falhas:
        print(falha)
    sys.exit(1 if falhas else 0)


if __name__ == '__main__':
    main()
