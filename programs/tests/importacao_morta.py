#!/usr/bin/env python3
"""kovacli incorporar killed with SIGKILL at random steps, over and over, on one data directory.

Each run is killed just before a step chosen at random among all the steps a whole run makes (a
step is a system call that may change a file: kova_mata_no_passo, beside kovacli, drives it), so
where the kills land does not depend on how busy the machine is.

After every kill the directory must load, and must hold every slip that a killed run had reported
imported ("N KOVA incorporadas" on its output) or printed (its PDF exists): the slips are on disk
before anyone is told of them. A number, once seen on disk or printed, never comes back on another
slip. Killed saves leave no files behind that pile up.

    importacao_morta.py KOVACLI DADOS GERADOR [MORTES] [SEMENTE]

The suite runs a short form; scripts/importacao_morta.sh runs it with as many kills as asked.
"""
import os
import random
import re
import shutil
import signal
import sqlite3
import subprocess
import sys
import tempfile


def linhas_modelo(gerador, n):
    saida = subprocess.run([sys.executable, gerador, str(n)], check=True, capture_output=True).stdout
    return [l.split(b'\t') for l in saida.split(b'\r\n') if l]


def slips(dados):
    banco = sqlite3.connect('file:%s?mode=ro' % os.path.join(dados, 'KOVA.cds'), uri=True)
    try:
        return banco.execute('select IdKOVA, Informacoes, Situacao from registros').fetchall()
    finally:
        banco.close()


def passos_de_uma_incorporacao(mata, kovacli, dados_padrao, modelo, ambiente, raiz):
    """The steps of the longest run of the test (40 lines, printed), on a copy of the directory."""
    dados = os.path.join(raiz, 'Dados')
    shutil.copytree(dados_padrao, dados)
    with open(os.path.join(raiz, 'Config.ini'), 'w') as f:
        f.write('[Dados]\r\nPath=%s\r\n' % dados)
    arquivo = os.path.join(raiz, 'm.txt')
    with open(arquivo, 'wb') as f:
        for campos in modelo:
            f.write(b'\t'.join(campos) + b'\r\n')
    relato = os.path.join(raiz, 'relato')
    r = subprocess.run([mata, relato, '-1', kovacli, 'incorporar', arquivo, '--programa', raiz, '--pdf',
                        os.path.join(raiz, 'm.pdf')], capture_output=True, env=ambiente)
    if r.returncode != 0:
        raise SystemExit('a whole traced run failed (status %d)\n%s' % (r.returncode, r.stderr.decode('utf-8', 'replace')))
    return int(open(relato).read().split()[0].split('=')[1])


def main():
    kovacli, dados_padrao, gerador = sys.argv[1:4]
    mata = os.path.join(os.path.dirname(kovacli), 'kova_mata_no_passo')
    mortes = int(sys.argv[4]) if len(sys.argv) > 4 else 40
    semente = int(sys.argv[5]) if len(sys.argv) > 5 else 21
    sorte = random.Random(semente)
    modelo = linhas_modelo(gerador, 40)
    raiz = tempfile.mkdtemp(prefix='kova-morta-')
    filho = None
    try:
        dados = os.path.join(raiz, 'Dados')
        shutil.copytree(dados_padrao, dados)
        vazio = os.path.join(raiz, 'vazio.txt')
        open(vazio, 'wb').close()
        for pasta in ('windows', 'sistema'):
            os.mkdir(os.path.join(raiz, pasta))
        with open(os.path.join(raiz, 'Config.ini'), 'w') as f:
            f.write('[Dados]\r\nPath=%s\r\n' % dados)
        ambiente = dict(os.environ, QT_QPA_PLATFORM='offscreen', KOVA_WINDIR=os.path.join(raiz, 'windows'),
                        KOVA_SYSDIR=os.path.join(raiz, 'sistema'))
        medida = os.path.join(raiz, 'medida')
        os.mkdir(medida)
        passos = passos_de_uma_incorporacao(mata, kovacli, dados_padrao, modelo, ambiente, medida)
        shutil.rmtree(medida)
        exigidas = set()     # tags reported imported or printed
        numeros = {}         # IdKOVA -> tag, as first seen
        relatadas = impressas_vistas = mortas = 0
        for rodada in range(mortes):
            quantas = sorte.randint(1, 40)
            tags = ['R%dL%d' % (rodada, j) for j in range(quantas)]
            arquivo = os.path.join(raiz, 'r.txt')
            with open(arquivo, 'wb') as f:
                for j, tag in enumerate(tags):
                    campos = list(modelo[j])
                    campos[19] = tag.encode()
                    f.write(b'\t'.join(campos) + b'\r\n')
            pdf = os.path.join(raiz, 'r.pdf')
            if os.path.exists(pdf):
                os.remove(pdf)
            comando = [kovacli, 'incorporar', arquivo, '--programa', raiz, '--pdf', pdf]
            if sorte.random() < 0.5:
                comando.append('--sem-impressao')
            relato = os.path.join(raiz, 'relato')
            with open(os.path.join(raiz, 'saida.txt'), 'wb') as saida:
                filho = subprocess.Popen([mata, relato, str(sorte.randint(0, passos))] + comando, stdout=saida,
                                         stderr=subprocess.STDOUT, env=ambiente)
                filho.wait()
                filho = None
            if 'morto=1' in open(relato).read():
                mortas += 1
            texto = open(os.path.join(raiz, 'saida.txt'), 'rb').read().decode('utf-8', 'replace')
            relatado = re.search(r'(\d+) KOVA incorporadas', texto)
            if relatado and int(relatado.group(1)) > 0:
                if int(relatado.group(1)) != quantas:
                    raise SystemExit('round %d: reported %s of %d lines\n%s' % (rodada, relatado.group(1), quantas, texto))
                exigidas.update(tags)
                relatadas += 1
            impresso = os.path.exists(pdf) and os.path.getsize(pdf) > 0
            if impresso:
                exigidas.update(tags)
                impressas_vistas += 1

            # The directory loads (the next import of nothing starts and ends well).
            carga = subprocess.run([kovacli, 'incorporar', vazio, '--programa', raiz, '--sem-impressao'],
                                   capture_output=True, env=ambiente)
            if carga.returncode != 0:
                raise SystemExit('round %d: the directory does not load (status %d)\n%s' %
                                 (rodada, carga.returncode, carga.stderr.decode('utf-8', 'replace')))
            registros = slips(dados)
            ids = [r[0] for r in registros]
            if len(ids) != len(set(ids)):
                raise SystemExit('round %d: a number twice in the slips file' % rodada)
            presentes = {r[1] for r in registros}
            faltam = exigidas - presentes
            if faltam:
                raise SystemExit('round %d: slips reported or printed are gone: %s' % (rodada, sorted(faltam)[:5]))
            for ident, tag, _ in registros:
                if numeros.setdefault(ident, tag) != tag:
                    raise SystemExit('round %d: number %d reused (%s, then %s)' % (rodada, ident, numeros[ident], tag))
            restos = [n for n in os.listdir(dados) if '.novo' in n or n.startswith('KOVA.gravacao')]
            if restos:
                raise SystemExit('round %d: left behind after a load: %s' % (rodada, restos))
        print('%d runs, %d killed (a whole run makes %d steps), %d reported imported, %d printed, %d slips on disk' %
              (mortes, mortas, passos, relatadas, impressas_vistas, len(slips(dados))))
    finally:
        if filho is not None and filho.poll() is None:
            filho.send_signal(signal.SIGKILL)
            filho.wait()
        shutil.rmtree(raiz, ignore_errors=True)


if __name__ == '__main__':
    main()
