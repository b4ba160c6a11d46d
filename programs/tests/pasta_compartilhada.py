#!/usr/bin/env python3
"""One data directory, several programs at once: a writer imports one slip per run, over and over
(one save of the slips file each), while library requests load the directory the whole time and a
second writer now and then tries to start beside the first.

Every run must end well: no request meets "CRC não confere" or any other load failure, no import
fails to start; a second writer is refused with its own status (3) and writes nothing; every slip
an import reported is in the slips file at the end.

    pasta_compartilhada.py KOVACLI DADOS GERADOR [GRAVACOES]
"""
import os
import shutil
import sqlite3
import subprocess
import sys
import tempfile
import threading


def main():
    kovacli, dados_padrao, gerador = sys.argv[1:4]
    gravacoes = int(sys.argv[4]) if len(sys.argv) > 4 else 200
    modelo = subprocess.run([sys.executable, gerador, '1'], check=True, capture_output=True).stdout
    campos = modelo.rstrip(b'\r\n').split(b'\t')
    raiz = tempfile.mkdtemp(prefix='kova-pasta-')
    try:
        dados = os.path.join(raiz, 'Dados')
        shutil.copytree(dados_padrao, dados)
        for pasta in ('windows', 'sistema'):
            os.mkdir(os.path.join(raiz, pasta))
        with open(os.path.join(raiz, 'Config.ini'), 'w') as f:
            f.write('[Dados]\r\nPath=%s\r\n' % dados)
        # A copy of kovacli and its library beside Config.ini: the library loads the same directory.
        for nome in ('kovacli', 'libkovadll.so.1', 'libkovamotor.so.1'):
            shutil.copy(os.path.join(os.path.dirname(kovacli), nome), raiz)
        ambiente = dict(os.environ, QT_QPA_PLATFORM='offscreen', KOVA_WINDIR=os.path.join(raiz, 'windows'),
                        KOVA_SYSDIR=os.path.join(raiz, 'sistema'))
        falhas = []
        relatadas = set()
        recusadas = []
        fim = threading.Event()
        leituras = [0, 0]

        def importa(tag):
            arquivo = os.path.join(raiz, tag + '.txt')
            linha = list(campos)
            linha[19] = tag.encode()
            with open(arquivo, 'wb') as f:
                f.write(b'\t'.join(linha) + b'\r\n')
            r = subprocess.run([kovacli, 'incorporar', arquivo, '--programa', raiz, '--sem-impressao'],
                               capture_output=True, env=ambiente)
            os.remove(arquivo)
            return r

        def escritor():
            i = 0
            while len([t for t in relatadas if t[0] == 'E']) < gravacoes and not falhas and i < 3 * gravacoes:
                i += 1
                r = importa('E%d' % i)
                saida = r.stdout.decode('utf-8', 'replace')
                if r.returncode == 3:
                    recusadas.append('E%d' % i)
                elif r.returncode != 0 or '1 KOVA incorporadas com sucesso' not in saida:
                    falhas.append('import E%d: status %d %s' % (i, r.returncode, r.stderr.decode('utf-8', 'replace')))
                else:
                    relatadas.add('E%d' % i)
            fim.set()

        def segundo_escritor():
            i = 0
            while not fim.wait(1.0):
                r = importa('S%d' % i)
                erro = r.stderr.decode('utf-8', 'replace')
                if r.returncode == 3:
                    if 'gravadas por outro programa' not in erro:
                        falhas.append('refusal S%d without its message: %s' % (i, erro))
                    recusadas.append('S%d' % i)
                elif r.returncode == 0:
                    relatadas.add('S%d' % i)
                else:
                    falhas.append('second writer S%d: status %d %s' % (i, r.returncode, erro))
                i += 1

        def leitor(k):
            while not fim.is_set():
                r = subprocess.run([os.path.join(raiz, 'kovacli'), 'UFFAVORECIDA=SP;RECEITA=100013'],
                                   capture_output=True, env=ambiente)
                leituras[k] += 1
                # Answered (accepted or refused), or it failed: a copy that did not even start
                # (its library not found) is a failure too.
                if r.returncode not in (0, 1) or b'Retorno=' not in r.stdout:
                    falhas.append('request: status %d %s' % (r.returncode, r.stderr.decode('utf-8', 'replace')))
                    fim.set()
                # A host program asks now and then, not without pause.
                fim.wait(0.1)

        linhas = [threading.Thread(target=escritor), threading.Thread(target=segundo_escritor)]
        linhas += [threading.Thread(target=leitor, args=(k,)) for k in range(2)]
        for t in linhas:
            t.start()
        for t in linhas:
            t.join()
        if falhas:
            raise SystemExit('\n'.join(falhas[:10]))
        banco = sqlite3.connect('file:%s?mode=ro' % os.path.join(dados, 'KOVA.cds'), uri=True)
        presentes = {r[0] for r in banco.execute('select Informacoes from registros')}
        banco.close()
        faltam = relatadas - presentes
        if faltam:
            raise SystemExit('reported but missing: %s' % sorted(faltam)[:10])
        sobram = set(recusadas) & presentes
        if sobram:
            raise SystemExit('a refused writer wrote: %s' % sorted(sobram)[:10])
        print('%d imports saved (save cycles), %d refused writers, %d library loads, no failure' %
              (len(relatadas), len(recusadas), sum(leituras)))
    finally:
        shutil.rmtree(raiz, ignore_errors=True)


if __name__ == '__main__':
    main()
