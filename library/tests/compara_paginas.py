#!/usr/bin/env python3
"""Compares a printed slip page with the Linux library's page of the same slip, both PDF files as a
print queue wrote them:

    compara_paginas.py <page to check.pdf> <Linux page.pdf> <the slip's 44 digits>

The page must be one A4 page; the symbols of copies 1 and 3 must read (zbarimg) as the 44 digits,
and each copy must carry the symbol exactly when the Linux page's copy does; its text (pdftotext)
must hold the typeable line of those digits and the Linux page's amounts, and every word of the Linux page must stand at the
same place, within TOLERANCIA_MM (the two systems' fonts round their glyphs differently)."""
import collections
import os
import re
import subprocess
import sys
import tempfile

TOLERANCIA_MM = 1.5
PT_POR_MM = 72 / 25.4
# Where each copy lies on the page, in millimetres from the top: three copies of about 97 mm.
VIAS = [(0, 99), (99, 198), (198, 297)]

falhas = []


def falha(texto):
    falhas.append(texto)


def executa(*args):
    return subprocess.run(args, check=True, capture_output=True).stdout


def confere_pagina(pdf):
    info = executa('pdfinfo', pdf).decode('utf-8', 'replace')
    if not re.search(r'^Pages:\s+1$', info, re.M):
        falha('%s: não é uma página' % pdf)
    tamanho = re.search(r'^Page size:\s+([\d.]+) x ([\d.]+)', info, re.M)
    if not tamanho or abs(float(tamanho.group(1)) - 595.3) > 1 or abs(float(tamanho.group(2)) - 841.9) > 1:
        falha('%s: não é A4 (%s)' % (pdf, tamanho.group(0) if tamanho else '?'))


def simbolos(pdf, pasta):
    """What zbarimg reads in each copy: a set of contents per copy."""
    lidos = []
    dpi = 200
    for i, (topo, fundo) in enumerate(VIAS):
        base = os.path.join(pasta, 'via%d' % i)
        executa('pdftoppm', '-r', str(dpi), '-gray', '-png', '-singlefile', '-x', '0',
                '-y', str(round(topo * dpi / 25.4)), '-W', str(round(210 * dpi / 25.4)),
                '-H', str(round((fundo - topo) * dpi / 25.4)), pdf, base)
        r = subprocess.run(['zbarimg', '-q', '--raw', '--nodbus', '-Sdisable', '-Si25.enable', base + '.png'],
                           capture_output=True, text=True)
        lidos.append(set(r.stdout.split()))
    return lidos


def palavras(pdf, pasta):
    """Each word with the middle of its box, in millimetres."""
    html = os.path.join(pasta, os.path.basename(pdf) + '.html')
    executa('pdftotext', '-bbox', pdf, html)
    texto = open(html, encoding='utf-8').read()
    achadas = []
    for m in re.finditer(r'<word xMin="([\d.]+)" yMin="([\d.]+)" xMax="([\d.]+)" yMax="([\d.]+)">([^<]*)</word>', texto):
        x0, y0, x1, y1 = (float(m.group(k)) / PT_POR_MM for k in range(1, 5))
        achadas.append((m.group(5), (x0 + x1) / 2, (y0 + y1) / 2))
    return achadas


def main():
    pagina, referencia, digitos = sys.argv[1:4]
    with tempfile.TemporaryDirectory() as pasta:
        for pdf in (pagina, referencia):
            confere_pagina(pdf)

        lidos, esperados = simbolos(pagina, pasta), simbolos(referencia, pasta)
        for via in (0, 2):
            if lidos[via] != {digitos}:
                falha('via %d: símbolo lido %s, esperado %s' % (via + 1, sorted(lidos[via]) or 'nenhum', digitos))
        if lidos != esperados:
            falha('símbolos por via %s, no Linux %s' % (lidos, esperados))

        texto = executa('pdftotext', '-layout', pagina, '-').decode('utf-8')
        # The typeable line: the 44 digits in four blocks of eleven, each with its check digit.
        linhas = re.findall(r'(\d{11})-\d (\d{11})-\d (\d{11})-\d (\d{11})-\d', texto)
        if not any(''.join(blocos) == digitos for blocos in linhas):
            falha('linha digitável de %s ausente do texto' % digitos)
        texto_linux = executa('pdftotext', '-layout', referencia, '-').decode('utf-8')
        for trecho in set(re.findall(r'\d{11}-\d \d{11}-\d \d{11}-\d \d{11}-\d|R\$ [\d.]+,\d\d', texto_linux)):
            if trecho not in texto:
                falha('"%s" do Linux ausente do texto' % trecho)

        nossas, do_linux = palavras(pagina, pasta), palavras(referencia, pasta)
        por_texto = collections.defaultdict(list)
        for p in nossas:
            por_texto[p[0]].append(p)
        if sorted(p[0] for p in nossas) != sorted(p[0] for p in do_linux):
            falha('as palavras diferem: %s' % sorted(set(p[0] for p in nossas) ^ set(p[0] for p in do_linux)))
        pior = 0.0
        for texto_p, x, y in do_linux:
            gemeas = por_texto.get(texto_p)
            if not gemeas:
                continue
            d = min(max(abs(g[1] - x), abs(g[2] - y)) for g in gemeas)
            if d > TOLERANCIA_MM:
                falha('"%s" a %.2f mm de onde o Linux o põe (%.1f, %.1f)' % (texto_p, d, x, y))
            pior = max(pior, d)

    for f in falhas:
        print('FALHA: %s' % f, file=sys.stderr)
    if not falhas:
        print('página igual à do Linux: %d palavras, a mais distante a %.2f mm; símbolo das vias 1 e 3 lido'
              % (len(do_linux), pior))
    return 1 if falhas else 0


if __name__ == '__main__':
    sys.exit(main())
