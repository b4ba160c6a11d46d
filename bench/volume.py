#!/usr/bin/env python3
"""What a person's actions cost as the slips file grows: slips files of several sizes are made
through the product's own import (kovacli incorporar), then each action is run as it runs for a
person and measured (CPU of the process, its peak memory, the bytes it wrote):

  importar 1 linha   kovacli incorporar of a file of one line
  salvar 1 KOVA      the desktop loaded, one slip marked printed and saved (the save alone)
  início             the desktop's start up to its main window (offscreen)
  1ª chamada         a host program's first kova2 call (examples/kova2_exemplo)
  remover todas      "Remover KOVA impressas" of every slip, all marked printed first (alone)

Each figure is the median of three runs (removal: one). The ratios the work set are printed
against the 1,000-slip file (the library's first call against an empty one, the removal of
100,000 against 10,000).

    bench/volume.py [--build build] [--tamanhos 0,1000,10000,100000,300000]
"""
import argparse
import datetime
import os
import shutil
import statistics
import subprocess
import sys
import tempfile

RAIZ = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))


def medir(comando, ambiente, saida):
    """Runs the command; returns (CPU s, peak memory MB, bytes written, its output)."""
    with open(saida, 'wb') as s:
        p = subprocess.Popen(comando, env=ambiente, stdout=s, stderr=subprocess.STDOUT)
        # The child stays until its counters are read.
        os.waitid(os.P_PID, p.pid, os.WEXITED | os.WNOWAIT)
        escrito = 0
        with open('/proc/%d/io' % p.pid) as io:
            for linha in io:
                chave, valor = linha.split(':')
                if chave == 'wchar':
                    escrito = int(valor)
        _, estado, uso = os.wait4(p.pid, 0)
        p.returncode = os.waitstatus_to_exitcode(estado)
    texto = open(saida, 'rb').read().decode('utf-8', 'replace')
    if p.returncode != 0:
        raise SystemExit('%s: status %d\n%s' % (' '.join(comando), p.returncode, texto))
    return uso.ru_utime + uso.ru_stime, uso.ru_maxrss / 1024.0, escrito, texto


def pedido_valido():
    """A request the shipped tables accept today: the import's first line as kova2 items."""
    hoje = datetime.date.today()
    vencimento = (hoje + datetime.timedelta(days=7)).strftime('%d/%m/%Y')
    mes = hoje.replace(day=1) - datetime.timedelta(days=1)
    return ('UFFAVORECIDA=SP;RECEITA=100013;CICCONTRIBUINTE=10000000000145;DOCUMENTOORIGEM=1234567890;'
            'REFERENCIA=1%02d%04d;VALORPRINCIPAL=100,00;JUROS=10,00;MULTA=5,00;TOTALRECOLHER=115,00;'
            'DATAVENCIMENTO=%s;RAZAOSOCIAL=EMPRESA;ENDERECO=RUA A;MUNICIPIO=CAMPINAS;UF=SP;CEP=13010-000;'
            'PRODUTO=37' % (mes.month, mes.year, vencimento))


def da_acao(texto):
    """cpu= and escrito= as the benchmark program prints them for an action alone."""
    campos = dict(c.split('=') for c in texto.split() if '=' in c)
    return float(campos['cpu']), int(campos['escrito'])


def main():
    argumentos = argparse.ArgumentParser()
    argumentos.add_argument('--build', default=os.path.join(RAIZ, 'build'))
    argumentos.add_argument('--tamanhos', default='0,1000,10000,100000,300000')
    a = argumentos.parse_args()
    binarios = os.path.join(os.path.abspath(a.build), 'bin')
    tamanhos = [int(t) for t in a.tamanhos.split(',')]
    gerador = os.path.join(RAIZ, 'bench', 'gera_incorporacao.py')
    raiz = tempfile.mkdtemp(prefix='kova-volume-')
    figuras = {}
    try:
        for n in tamanhos:
            pasta = os.path.join(raiz, str(n))
            dados = os.path.join(pasta, 'Dados')
            windows = os.path.join(pasta, 'windows')
            os.makedirs(windows)
            shutil.copytree(os.path.join(binarios, 'Dados'), dados)
            with open(os.path.join(pasta, 'Config.ini'), 'w') as f:
                f.write('[Dados]\r\nPath=%s\r\n' % dados)
            with open(os.path.join(windows, 'KOVA.INI'), 'w') as f:
                f.write('[KOVA]\r\nDirDados=%s/\r\n' % dados)
            ambiente = dict(os.environ, QT_QPA_PLATFORM='offscreen', KOVA_WINDIR=windows + '/',
                            KOVA_SYSDIR=windows + '/')
            linhas = os.path.join(pasta, 'linhas.txt')
            um = os.path.join(pasta, 'um.txt')
            # Straight to the files: a measured program inherits this one's size until it starts.
            with open(linhas, 'wb') as f:
                subprocess.run([sys.executable, gerador, str(n)], check=True, stdout=f)
            with open(um, 'wb') as f:
                subprocess.run([sys.executable, gerador, '1'], check=True, stdout=f)
            kovacli = os.path.join(binarios, 'kovacli')
            if n:
                medir([kovacli, 'incorporar', linhas, '--programa', pasta, '--sem-impressao'], ambiente,
                      os.path.join(pasta, 'saida'))
            saida = os.path.join(pasta, 'saida')
            f = {}
            m = [medir([kovacli, 'incorporar', um, '--programa', pasta, '--sem-impressao'], ambiente, saida)
                 for _ in range(3)]
            f['importar'] = (statistics.median(x[0] for x in m), statistics.median(x[1] for x in m),
                             statistics.median(x[2] for x in m))
            bench = os.path.join(binarios, 'kova_volume_bench')
            m = [medir([bench, 'salvar', pasta], ambiente, saida) for _ in range(3)]
            acoes = [da_acao(x[3]) for x in m]
            f['salvar'] = (statistics.median(x[0] for x in acoes), statistics.median(x[1] for x in m),
                           statistics.median(x[1] for x in acoes))
            m = [medir([bench, 'inicio', pasta], ambiente, saida) for _ in range(3)]
            acoes = [da_acao(x[3]) for x in m]
            f['inicio'] = (statistics.median(x[0] for x in acoes), statistics.median(x[1] for x in m),
                           statistics.median(x[1] for x in acoes))
            exemplo = os.path.join(binarios, 'kova2_exemplo')
            m = [medir([exemplo, os.path.join(binarios, 'libkovadll.so'), pedido_valido()], ambiente, saida)
                 for _ in range(3)]
            f['biblioteca'] = (statistics.median(x[0] for x in m), statistics.median(x[1] for x in m),
                               statistics.median(x[2] for x in m))
            m = medir([bench, 'remover', pasta], ambiente, saida)
            cpu, escrito = da_acao(m[3])
            f['remover'] = (cpu, m[1], escrito)
            tamanho = os.path.getsize(os.path.join(dados, 'KOVA.cds'))
            figuras[n] = f
            print('%7d KOVA (%.1f MB antes da remoção)' % (n, tamanho / 1e6), flush=True)
            for acao in ('importar', 'salvar', 'inicio', 'biblioteca', 'remover'):
                cpu, memoria, escrito = f[acao]
                print('   %-10s CPU %8.3f s   memória %7.1f MB   gravados %10d bytes' % (acao, cpu, memoria, escrito),
                      flush=True)
            shutil.rmtree(pasta)

        def razao(acao, i, n, base):
            if n in figuras and base in figuras and figuras[base][acao][i]:
                return '%.2f×' % (figuras[n][acao][i] / figuras[base][acao][i])
            return '—'
        print('\nRazões:')
        for n in tamanhos:
            if n < 10000:
                continue
            print('  %d KOVA: importar CPU %s bytes %s; salvar CPU %s bytes %s; início CPU %s memória %s; '
                  '1ª chamada (contra vazio) CPU %s memória %s' % (
                      n, razao('importar', 0, n, 1000), razao('importar', 2, n, 1000), razao('salvar', 0, n, 1000),
                      razao('salvar', 2, n, 1000), razao('inicio', 0, n, 1000), razao('inicio', 1, n, 1000),
                      razao('biblioteca', 0, n, 0), razao('biblioteca', 1, n, 0)))
        if 100000 in figuras and 10000 in figuras:
            print('  remoção de 100.000 contra 10.000: CPU %s' % razao('remover', 0, 100000, 10000))
    finally:
        shutil.rmtree(raiz, ignore_errors=True)


if __name__ == '__main__':
    main()
