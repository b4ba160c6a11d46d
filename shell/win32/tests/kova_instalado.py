#!/usr/bin/env python3
"""kova.exe as the installation package leaves it, started by a standard user, on a display of
its own (Xvfb, openbox): the program at the Start-menu shortcut's target, given a slips file on
its command line, imports it unattended; the file's path is shown first, and with no printer on
the machine the person is told so and the program ends by itself with a failure status, the slip
kept unprinted in the user's slips file (which the caller reads back).

Usage: kova_instalado.py --wine WINE --programa 'C:\\Program Files\\KOVA\\kova.exe' --arquivo 'C:\\lote.txt'
                         --dados DIR --capturas DIR [--usuario-padrao]

The wine prefix is the one WINEPREFIX names. --usuario-padrao runs it without the rights that pass
over file permissions, as a standard user (root keeps them otherwise).
"""

import argparse
import os
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tests"))
import tela_com_gerenciador as gerenciador  # noqa: E402
from tela_com_gerenciador import Falha, PRINCIPAL  # noqa: E402


def main():
    argumentos = argparse.ArgumentParser()
    argumentos.add_argument("--wine", required=True)
    argumentos.add_argument("--programa", required=True)
    argumentos.add_argument("--arquivo", required=True)
    argumentos.add_argument("--dados", required=True, help="any data directory (the session's copy)")
    argumentos.add_argument("--capturas", required=True)
    argumentos.add_argument("--usuario-padrao", action="store_true")
    a = argumentos.parse_args()
    s = gerenciador.Sessao(a.programa, a.dados, a.capturas, tela=(1024, 768))
    try:
        s.inicia_tela()
        env = dict(s.env)
        for nome in ("WINEPREFIX", "WINEDLLOVERRIDES", "WINEDEBUG"):
            if nome in os.environ:
                env[nome] = os.environ[nome]
        env["CUPS_SERVER"] = os.path.join(s.pasta, "sem-cups.sock")
        comando = [a.wine, a.programa, a.arquivo]
        if a.usuario_padrao and os.getuid() == 0:
            comando = ["setpriv", "--bounding-set=-dac_override,-dac_read_search,-fowner", "--"] + comando
        saida = open(os.path.join(s.pasta, "kova.log"), "ab")
        s.programa = subprocess.Popen(comando, env=env, cwd=s.pasta, stdout=saida, stderr=subprocess.STDOUT,
                                      start_new_session=True)
        saida.close()
        s.processos.append(s.programa)
        s.espera(lambda: s.programa.poll() is not None or s.visiveis(PRINCIPAL) == 2,
                 "a mensagem com o caminho do arquivo", 180)
        if s.programa.poll() is not None:
            raise Falha("o programa terminou ao iniciar (status %d)" % s.programa.returncode)
        time.sleep(0.5)
        s.captura("instalado_linha_de_comando")
        s.teclas("Return")
        s.janela("Erro")  # no printer: the slip was kept, not printed
        s.captura("instalado_sem_impressora")
        s.teclas("Return")
        status = s.fim_do_programa()
        if status != 1:
            raise Falha("a incorporação sem impressora terminou com status %d, não 1" % status)
        return 0
    except (Falha, subprocess.TimeoutExpired) as e:
        s.relata_falha("kova.exe instalado", e, "falha_kova_instalado", "saída do kova.exe")
        return 1
    finally:
        s.encerra()


if __name__ == "__main__":
    sys.exit(main())
