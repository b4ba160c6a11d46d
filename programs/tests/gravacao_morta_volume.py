#!/usr/bin/env python3
"""Saves of a large slips file killed at random steps: a file of many slips (100,000 by default)
is made through the import, then, over and over, one save is killed with SIGKILL just before a
step chosen at random among all the steps it makes (kova_mata_no_passo): the import of one line
(a slip added) or the desktop's mark of a slip printed (a slip changed). After each kill the
directory must load without a word about checksums and hold the slips of before or those of after
the save, nothing else; at the end SQLite finds the file whole.

    gravacao_morta_volume.py BIN GERADOR [TENTATIVAS] [KOVAS] [SEMENTE]

BIN is the folder of kovacli, kova_volume_bench, kova_mata_no_passo and the shipped Dados. The
suite runs 20 tries; scripts/gravacao_morta_volume.sh runs as many as asked.
"""
import os
import random
import shutil
import sqlite3
import subprocess
import sys
import tempfile


def consulta(dados, sql):
    banco = sqlite3.connect('file:%s?mode=ro' % os.path.join(dados, 'KOVA.cds'), uri=True)
    try:
        return banco.execute(sql).fetchall()
    finally:
        banco.close()


def main():
    binarios, gerador = sys.argv[1:3]
    tentativas = int(sys.argv[3]) if len(sys.argv) > 3 else 20
    kovas = int(sys.argv[4]) if len(sys.argv) > 4 else 100000
    sorte = random.Random(int(sys.argv[5]) if len(sys.argv) > 5 else 31)
    kovacli = os.path.join(binarios, 'kovacli')
    bench = os.path.join(binarios, 'kova_volume_bench')
    mata = os.path.join(binarios, 'kova_mata_no_passo')
    raiz = tempfile.mkdtemp(prefix='kova-volume-morta-')
    try:
        dados = os.path.join(raiz, 'Dados')
        shutil.copytree(os.path.join(binarios, 'Dados'), dados)
        windows = os.path.join(raiz, 'windows')
        os.mkdir(windows)
        with open(os.path.join(raiz, 'Config.ini'), 'w') as f:
            f.write('[Dados]\r\nPath=%s\r\n' % dados)
        ambiente = dict(os.environ, QT_QPA_PLATFORM='offscreen', KOVA_WINDIR=windows + '/', KOVA_SYSDIR=windows + '/')
        todas = os.path.join(raiz, 'todas.txt')
        with open(todas, 'wb') as f:
            subprocess.run([sys.executable, gerador, str(kovas)], check=True, stdout=f)
        subprocess.run([kovacli, 'incorporar', todas, '--programa', raiz, '--sem-impressao'], check=True,
                       env=ambiente, capture_output=True)
        os.remove(todas)
        modelo = subprocess.run([sys.executable, gerador, '1'], check=True, capture_output=True).stdout
        campos = modelo.rstrip(b'\r\n').split(b'\t')
        vazio = os.path.join(raiz, 'vazio.txt')
        open(vazio, 'wb').close()
        relato = os.path.join(raiz, 'relato')

        def roda(comando, passo):
            r = subprocess.run([mata, relato, str(passo)] + comando, env=ambiente, capture_output=True)
            texto = open(relato).read()
            return r, int(texto.split()[0].split('=')[1]), 'morto=1' in texto

        def linha(tag):
            arquivo = os.path.join(raiz, 'uma.txt')
            c = list(campos)
            c[19] = tag.encode()
            with open(arquivo, 'wb') as f:
                f.write(b'\t'.join(c) + b'\r\n')
            return [kovacli, 'incorporar', arquivo, '--programa', raiz, '--sem-impressao']

        marcar = [bench, 'salvar', raiz]
        # The steps of each kind of save, counted on a whole one.
        passos = {'incorporar': roda(linha('MEDIDA'), -1)[1], 'marcar': roda(marcar, -1)[1]}
        mortas = antigas = novas = 0
        for t in range(tentativas):
            tipo = 'incorporar' if t % 2 == 0 else 'marcar'
            antes = consulta(dados, 'select count(*), max(DataHora) from registros')[0]
            tag = 'T%d' % t
            comando = linha(tag) if tipo == 'incorporar' else marcar
            _, _, morto = roda(comando, sorte.randint(0, passos[tipo]))
            mortas += morto
            # The next program to open the directory puts a killed save back as it was.
            carga = subprocess.run([kovacli, 'incorporar', vazio, '--programa', raiz, '--sem-impressao'],
                                   env=ambiente, capture_output=True)
            saida = (carga.stdout + carga.stderr).decode('utf-8', 'replace')
            if carga.returncode != 0 or 'CRC' in saida:
                raise SystemExit('try %d (%s): the directory does not load\n%s' % (t, tipo, saida))
            depois = consulta(dados, 'select count(*), max(DataHora) from registros')[0]
            if depois == antes:
                antigas += 1
            elif tipo == 'incorporar' and depois[0] == antes[0] + 1 and \
                    consulta(dados, "select count(*) from registros where Informacoes = '%s'" % tag)[0][0] == 1:
                novas += 1
            elif tipo == 'marcar' and depois[0] == antes[0] and depois[1] > antes[1]:
                novas += 1
            else:
                raise SystemExit('try %d (%s): neither the slips of before nor those of after: %r then %r' %
                                 (t, tipo, antes, depois))
            # A journal killed before it held anything is not taken back (it holds nothing to put
            # back) and is written over by the next save; the read above would have failed on one
            # that held a change not put back.
            restos = [n for n in os.listdir(dados) if '.novo' in n or 'gravacao' in n]
            if restos:
                raise SystemExit('try %d: left behind after a load: %s' % (t, restos))
        verificacao = consulta(dados, 'pragma integrity_check')[0][0]
        if verificacao != 'ok':
            raise SystemExit('the slips file is damaged: %s' % verificacao)
        print('%d saves of a file of %d slips, %d killed (at random among %d and %d steps): %d left the slips '
              'of before, %d those of after; the file whole' %
              (tentativas, kovas, mortas, passos['incorporar'], passos['marcar'], antigas, novas))
    finally:
        shutil.rmtree(raiz, ignore_errors=True)


if __name__ == '__main__':
    main()
