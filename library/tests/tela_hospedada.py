#!/usr/bin/env python3
"""The hosted screen in a person's hands: a host program calls kova on its own X display (Xvfb)
under a window manager (openbox), the person's keys are typed with xdotool, pictures of the screen
are taken with import, and the host's reply is read back.

On Linux the host is this script run again with --hospede: it loads the tests' variant of the
library, sets its clock to a fixed day (so the request's due date lies ahead) and calls kova once.
With --wine the host is the Windows build's kova_hospedeiro_tela.exe, run under wine in a prefix of
its own: it loads kovadll_teste.dll by name, sets the same clock and calls kova (a slip saved, then
cancelled ones), checking each reply's CRC and the guard after its buffer.

Usage: tela_hospedada.py --biblioteca LIB --dados DIR --capturas DIR
       tela_hospedada.py --wine WINE --windows DIR --dados DIR --capturas DIR
"""

import argparse
import copy
import ctypes
import os
import shutil
import subprocess
import sys
import time

# The display, its window manager and the waits are those of the desktop program's test.
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "shell", "tests"))
import tela_com_gerenciador as gerenciador  # noqa: E402
from tela_com_gerenciador import Falha, TELA  # noqa: E402

MOMENTO = b"15/06/2026 10:00:00"
REQUISICAO = ("UFFAVORECIDA=SP;RECEITA=100013;CICCONTRIBUINTE=48842766000140;REFERENCIA=1052026;"
              "VALORPRINCIPAL=634,64;RAZAOSOCIAL=EMPRESA 298 LTDA;ENDERECO=RUA A, 745;MUNICIPIO=CIDADE;"
              "UF=RJ;CEP=13010-000;DOCUMENTOORIGEM=1234567890;DATAVENCIMENTO=22/06/2026")


def hospede(biblioteca, saida, requisicao):
    """The host program: one kova call, its reply written to a file."""
    lib = ctypes.CDLL(biblioteca)
    if not lib.kova_relogio_teste(MOMENTO):
        return 2
    buffer = ctypes.create_string_buffer(requisicao.encode("cp1252"), 1500)
    lib.kova(buffer)
    with open(saida, "wb") as f:
        f.write(buffer.value)
    return 0


class Hospedagem:
    """One kova call of a host on the session's display (with wine, the host program given)."""

    def __init__(self, s, biblioteca, requisicao, wine=None):
        self.s = s
        if wine:
            comando, self.saida, env, pasta = wine.hospede(requisicao)
        else:
            self.saida = os.path.join(s.pasta, "resposta")
            env = dict(s.env)
            env["KOVA_WINDIR"] = s.windir + "/"
            env["KOVA_SYSDIR"] = s.sysdir + "/"
            env["CUPS_SERVER"] = os.path.join(s.pasta, "sem-cups.sock")
            comando = [sys.executable, os.path.abspath(__file__), "--hospede", biblioteca, self.saida, requisicao]
            pasta = None
        if os.path.exists(self.saida):
            os.remove(self.saida)
        log = open(os.path.join(s.pasta, "kova.log"), "ab")
        self.processo = subprocess.Popen(comando, env=env, cwd=pasta, stdout=log, stderr=subprocess.STDOUT,
                                         start_new_session=True)
        log.close()
        s.processos.append(self.processo)
        s.espera(lambda: self.processo.poll() is not None or s.visiveis(TELA) > 0, "a tela da KOVA", 180)
        if self.processo.poll() is not None:
            raise Falha("o hospedeiro terminou sem mostrar a tela (status %d)" % self.processo.returncode)
        s.janela(TELA)

    def resposta(self):
        try:
            if self.processo.wait(timeout=120) != 0:
                raise Falha("o hospedeiro terminou com falha")
        except subprocess.TimeoutExpired:
            raise Falha("a tela não devolveu a chamada ao hospedeiro (janelas: %s)" % self.s.janelas())
        with open(self.saida, "rb") as f:
            return f.read().decode("cp1252")

    def respostas_escritas(self):
        try:
            with open(self.saida, "rb") as f:
                return f.read().decode("cp1252").splitlines()
        except OSError:
            return []


class Wine:
    """A wine prefix of the session's own, on its display: the Windows host program, the DLLs and
    the data directory in C:\\kova, KOVA.INI in the Windows directory."""

    def __init__(self, s, wine, windows):
        self.s = s
        self.wine = wine
        self.env = dict(s.env)
        self.env["WINEPREFIX"] = os.path.join(s.pasta, "prefixo")
        self.env["WINEDEBUG"] = "-all"
        self.env["WINEDLLOVERRIDES"] = "mscoree,mshtml="
        subprocess.run([wine, "wineboot", "--init"], env=self.env, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, timeout=600)
        subprocess.run(["wineserver", "-w"], env=self.env, timeout=600)
        c = os.path.join(self.env["WINEPREFIX"], "drive_c")
        if not os.path.isdir(os.path.join(c, "windows")):
            raise Falha("wine não criou o prefixo")
        self.prog = os.path.join(c, "kova", "prog")
        os.makedirs(self.prog)
        for arquivo in ("kovadll_teste.dll", "DllInscE32.Dll", "kova_hospedeiro_tela.exe"):
            shutil.copy(os.path.join(windows, arquivo), self.prog)
        shutil.copytree(s.dados, os.path.join(c, "kova", "Dados"))
        with open(os.path.join(c, "windows", "KOVA.INI"), "w") as f:
            f.write("[KOVA]\r\nDirDados=C:\\kova\\Dados\\\r\n")
        self.respostas = os.path.join(c, "kova", "respostas.txt")

    def com_chamadas(self, chamadas, janela=False):
        """The same prefix, its host calling kova this many times (from a window of its own)."""
        outro = copy.copy(self)
        outro.chamadas = chamadas
        outro.janela = janela
        return outro

    def hospede(self, requisicao):
        chamadas = getattr(self, "chamadas", 2)
        comando = [self.wine, "kova_hospedeiro_tela.exe", "kovadll_teste.dll", MOMENTO.decode(), requisicao,
                   "C:\\kova\\respostas.txt", str(chamadas)] + (["--janela"] if getattr(self, "janela", False) else [])
        return comando, self.respostas, self.env, self.prog

    def encerra(self):
        subprocess.run(["wineserver", "-k"], env=self.env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                       timeout=60)


def campo(resposta, nome):
    for item in resposta.split(";"):
        if item.startswith(nome + "="):
            return item[len(nome) + 1:]
    return None


def ate_o_valor_principal(s):
    """From box 01, where the screen puts the focus, to box 06: box 02 and the period pickers."""
    s.teclas("Tab", "Tab", "Tab", "Tab", "Tab")


def cenario_foco_e_data_de_pagamento(s, biblioteca):
    """Keys typed as soon as the screen appears go into the slip; box 14 left asks the payment date
    once; the save asks it again, as for every request with a due date, and the host gets the slip."""
    h = Hospedagem(s, biblioteca, REQUISICAO)
    ate_o_valor_principal(s)
    s.digita("700", enter=False)
    s.teclas("Tab", "Tab", "Tab", "Tab")  # boxes 07 to 09, then 14
    s.digita("23062026", enter=False)
    s.captura("hospedada_vencimento")
    s.teclas("Tab")
    s.confirma("Data de Pagamento")
    s.janela(TELA)
    s.nenhum_dialogo(1.5)
    s.captura("hospedada_depois_da_14")
    s.teclas("alt+s")
    s.confirma("Data de Pagamento")
    r = h.resposta()
    if campo(r, "Retorno") != "000":
        raise Falha("a KOVA não foi incluída: %s" % r)
    for nome, valor in (("ValorPrincipal", "700"), ("DataVencimento", "23/06/2026"),
                        ("UFFavorecida", "SP"), ("RazaoSocial", "EMPRESA 298 LTDA")):
        if campo(r, nome) != valor:
            raise Falha("%s=%r na resposta, esperado %r: %s" % (nome, campo(r, nome), valor, r))


def cenario_escape_pergunta(s, biblioteca):
    """Escape with what the person typed asks first; No (the default) keeps the screen and the
    slip, Yes discards it and the host gets its request back with the failure."""
    h = Hospedagem(s, biblioteca, REQUISICAO)
    ate_o_valor_principal(s)
    s.digita("55", enter=False)
    s.teclas("Tab")
    s.teclas("Escape")
    s.janela("Confirmação")
    s.captura("hospedada_descartar_pergunta")
    s.teclas("Return")
    s.janela(TELA)
    s.nenhum_dialogo(0.6)
    s.teclas("Escape")
    s.janela("Confirmação")
    s.teclas("alt+s")
    r = h.resposta()
    if not r.startswith(REQUISICAO + ";Retorno=001;"):
        raise Falha("a KOVA descartada não deu a resposta de falha: %s" % r)


def cenario_escape_sem_digitar(s, biblioteca):
    """Only the request's values: Escape closes the screen at once."""
    h = Hospedagem(s, biblioteca, REQUISICAO)
    s.teclas("Escape")
    r = h.resposta()
    if not r.startswith(REQUISICAO + ";Retorno=001;"):
        raise Falha("Escape sem nada digitado: %s" % r)


def cenario_windows(s, wine, largura):
    """The Windows screen: it shows the request's values with the focus in box 01; the amounts
    typed in boxes 06 and 07 (Enter moving on as Tab does), a due date typed in box 14's mask
    (Backspace taking its last digit back) and Alt+S give the host the slip saved. The same host
    calls again twice: Escape over a typed amount discards it once confirmed, Escape with nothing
    typed closes at once, and both give the failure reply."""
    h = Hospedagem(s, None, REQUISICAO, wine.com_chamadas(3))
    time.sleep(1.0)
    s.captura("windows%s_aberta" % largura)
    ate_o_valor_principal(s)
    s.digita("700", enter=False)
    s.teclas("Return")
    s.digita("12,50", enter=False)
    # Boxes 08 and 09, then box 14, whose mask lays out the digits typed over the request's date.
    s.teclas("Tab", "Tab", "Tab")
    s.digita("23062027", enter=False)
    s.teclas("BackSpace")
    s.digita("6", enter=False)
    s.captura("windows%s_digitada" % largura)
    s.teclas("alt+s")
    # The payment date is asked before the save where the screen has its own dialogs.
    limite = time.time() + 120
    while not h.respostas_escritas():
        if time.time() > limite:
            raise Falha("a KOVA salva não voltou ao hospedeiro (janelas: %s)" % s.janelas())
        if s.ativa() == "Data de Pagamento":
            s.teclas("Return")
        time.sleep(0.1)
    r = h.respostas_escritas()[0]
    if not r.startswith("IdKOVA=") or campo(r, "Retorno") != "000":
        raise Falha("a KOVA não foi incluída: %s" % r)
    for nome, valor in (("ValorPrincipal", "700"), ("AtualizacaoMonetaria", "12,5"),
                        ("UFFavorecida", "SP"), ("Receita", "100013"), ("RazaoSocial", "EMPRESA 298 LTDA"),
                        ("CICContribuinte", "48842766000140"), ("DataVencimento", "23/06/2026"),
                        ("CEP", "13010-000")):
        if campo(r, nome) != valor:
            raise Falha("%s=%r na resposta, esperado %r: %s" % (nome, campo(r, nome), valor, r))

    # The second call: an amount typed, then Escape, confirmed where the screen asks.
    s.espera(lambda: h.processo.poll() is not None or s.visiveis(TELA) > 0, "a tela da segunda chamada", 120)
    s.janela(TELA)
    ate_o_valor_principal(s)
    s.digita("55", enter=False)
    s.teclas("Tab", "Escape")
    limite = time.time() + 60
    while len(h.respostas_escritas()) < 2:
        if time.time() > limite:
            raise Falha("Escape não descartou a KOVA digitada (janelas: %s)" % s.janelas())
        if s.ativa() == "Confirmação":
            s.teclas("alt+s")
        time.sleep(0.1)
    # The third: nothing typed, Escape closes at once.
    s.espera(lambda: h.processo.poll() is not None or s.visiveis(TELA) > 0, "a tela da terceira chamada", 120)
    s.janela(TELA)
    s.teclas("Escape")
    respostas = h.resposta().splitlines()
    if len(respostas) != 3 or not all(r.startswith(REQUISICAO + ";Retorno=001;") for r in respostas[1:]):
        raise Falha("as KOVA canceladas não deram a resposta de falha: %s" % respostas[1:])


def sai_da_14(s):
    """Tab out of box 14: where the screen has its own dialogs, the payment date is asked."""
    s.teclas("Tab")
    limite = time.time() + 1.5
    while time.time() < limite:
        if s.ativa() == "Data de Pagamento":
            s.teclas("Return")
            s.janela(TELA)
            return
        time.sleep(0.05)


def cenario_windows_caixas(s, wine, largura):
    """What the open boxes of the slip take: boxes 15 and 23 are typed in capitals, box 15 holds no
    more than its field's 50 characters, and Tab goes through the open boxes in the screen's order
    (after box 15 the request leaves only box 23 open). The host has a window of its own, in front
    when it calls: the screen takes the focus over it, and the host's window takes no input while
    the screen is shown (the host checks it)."""
    h = Hospedagem(s, None, REQUISICAO, wine.com_chamadas(1, janela=True))
    ate_o_valor_principal(s)
    s.teclas("Tab", "Tab", "Tab", "Tab")  # boxes 07 to 09, box 14
    sai_da_14(s)  # box 15
    s.digita("protocolo " + "1234567890" * 5, enter=False)
    s.teclas("Tab")  # box 23
    s.digita("pago a vista", enter=False)
    s.captura("windows%s_caixas" % largura)
    # The search page has no tab while a slip is edited: Ctrl+Tab leaves the slip in front.
    s.teclas("ctrl+Tab")
    s.teclas("alt+s")
    # The save asks the payment date: yesterday's is refused (told once) and the box stays until
    # a date passes.
    s.janela("Data de Pagamento")
    s.digita("14062026", enter=False)
    s.confirma("Erro")
    s.janela("Data de Pagamento")
    s.teclas("Return")
    s.janela("Data de Pagamento")
    s.captura("windows%s_pagamento_recusado" % largura)
    s.digita("16062026")
    limite = time.time() + 120
    while h.processo.poll() is None:
        if time.time() > limite:
            raise Falha("a KOVA salva não voltou ao hospedeiro (janelas: %s)" % s.janelas())
        time.sleep(0.1)
    r = h.resposta()
    if campo(r, "Retorno") != "000":
        raise Falha("a KOVA não foi incluída: %s" % r)
    for nome, valor in (("Convenio", "PROTOCOLO " + "1234567890" * 4), ("Informacoes", "PAGO A VISTA"),
                        ("Receita", "100013"), ("ValorPrincipal", "634,64"),
                        ("DataPagamento", "16/06/2026")):
        if campo(r, nome) != valor:
            raise Falha("%s=%r na resposta, esperado %r: %s" % (nome, campo(r, nome), valor, r))


def main():
    if len(sys.argv) == 5 and sys.argv[1] == "--hospede":
        return hospede(*sys.argv[2:])
    argumentos = argparse.ArgumentParser()
    argumentos.add_argument("--biblioteca", help="the tests' variant of the library")
    argumentos.add_argument("--wine", help="the wine command: the Windows screen instead")
    argumentos.add_argument("--windows", help="with --wine, the Windows build's bin folder")
    argumentos.add_argument("--dados", required=True)
    argumentos.add_argument("--capturas", required=True)
    a = argumentos.parse_args()
    if not a.biblioteca and not (a.wine and a.windows):
        argumentos.error("--biblioteca, ou --wine e --windows")
    for programa in ("Xvfb", "openbox", "xdotool", "xprop", "import"):
        if not shutil.which(programa):
            print("falta o programa %s (scripts/setup.sh o instala)" % programa)
            return 1
    biblioteca = os.path.abspath(a.biblioteca or os.path.join(a.windows, "kovadll_teste.dll"))
    s = gerenciador.Sessao(biblioteca, a.dados, a.capturas)
    inicio = time.time()
    etapa = "início"
    wine = None
    try:
        s.inicia_tela()
        if a.wine:
            etapa = "prefixo do wine"
            wine = Wine(s, a.wine, os.path.abspath(a.windows))
            largura = "32" if b"pei-i386" in subprocess.run(
                ["i686-w64-mingw32-objdump", "-f", biblioteca], stdout=subprocess.PIPE,
                stderr=subprocess.DEVNULL).stdout else "64"
            cenarios = (("tela do Windows: salva e cancelada", lambda s, b: cenario_windows(s, wine, largura)),
                        ("tela do Windows: maiúsculas e limites das caixas abertas",
                         lambda s, b: cenario_windows_caixas(s, wine, largura)))
        else:
            cenarios = (("foco e data de pagamento uma vez", cenario_foco_e_data_de_pagamento),
                        ("Escape pergunta antes de descartar", cenario_escape_pergunta),
                        ("Escape sem nada digitado", cenario_escape_sem_digitar))
        for etapa, cenario in cenarios:
            cenario(s, biblioteca)
            print("ok: %s (%.1f s)" % (etapa, time.time() - inicio))
        return 0
    except (Falha, subprocess.TimeoutExpired) as e:
        s.relata_falha(etapa, e, "falha_hospedada", "saída do hospedeiro")
        return 1
    finally:
        if wine:
            wine.encerra()
        s.encerra()


if __name__ == "__main__":
    sys.exit(main())
