#!/usr/bin/env python3
"""The Windows dialog service in a person's hands: kova_dialogos_win_teste.exe under wine on an X
display of its own (Xvfb) with a window manager (openbox). Each box the program opens is answered
with keys typed by xdotool, and the answers it prints are checked: Enter presses the default
button (No in a question whose Yes loses the typing), Escape gives the answer without a choice,
Alt and a letter press a button, Tab moves between buttons, a date typed is written into its
field, a picker's Enter moves its table. The error box with a long text must fit the screen.
Pictures of the boxes of each kind are kept in the folder given.

Usage: dialogos_win.py --wine WINE --programa EXE --capturas DIR
The wine prefix is WINEPREFIX's (a new one in a temporary folder when unset). Ends with 77 when
Xvfb, openbox or xdotool is missing.
"""

import argparse
import os
import random
import shutil
import subprocess
import sys
import tempfile
import time

LARGURA, ALTURA = 800, 600
ENDERECO = "https://www.sefaz.exemplo.gov.br/kova"
DONO = " dono-desabilitado dono-reabilitado"

# Each box: the step's name as the program prints it, the window's title (a regular expression),
# the keys typed ("texto:..." types a text, "espera:..." waits for a line of the program's) and the
# answer expected.
PASSOS = [
    ("pergunta-nao-padrao", "^Confirma", ["Return"], "Nao" + DONO),
    ("pergunta-escape", "^Aviso$", ["Escape"], "Cancelar" + DONO),
    ("pergunta-alt-n", "^Confirma", ["alt+n"], "Nao" + DONO),
    ("pergunta-alt-s", "^Confirma", ["alt+s"], "Sim" + DONO),
    ("pergunta-tab", "^Informa", ["Tab", "Return"], "Nao" + DONO),
    ("erro-longo", "^Erro$", ["Return"], "OK" + DONO),
    ("data-enter", "^Data de Pagamento$", ["texto:15062026", "Return"],
     "confirmado DataPagamento=15/06/2026"),
    ("data-escape", "^Data de Pagamento$", ["texto:20062026", "Escape"],
     "recusado DataPagamento=20/06/2026"),
    ("produto-enter", "^Selecione Produto$", ["Down", "Return"], "confirmado Produto=30"),
    ("produto-escape", "^Selecione Produto$", ["Up", "Escape"], "recusado Produto=30"),
    ("link", "^Aten", ["Tab", "Return", "espera:endereco " + ENDERECO, "Escape"], "confirmado"),
    ("texto", "^Outro pedido$", ["Return"], "confirmado"),
    ("ampulheta", None, [], "espera normal"),
    ("manifesto", None, [], "ativo"),
]
CAPTURAS = {"pergunta-tab": "pergunta.png", "erro-longo": "erro_longo.png", "data-enter": "data.png",
            "produto-enter": "escolha.png", "link": "aviso_link.png"}


class Falha(Exception):
    pass


class Tela:
    """A display of the test's own with its window manager, and the program under wine on it."""

    def __init__(self, wine, capturas):
        self.wine = wine
        self.capturas = os.path.abspath(capturas)
        self.pasta = tempfile.mkdtemp(prefix="kova_dialogos_")
        self.env = dict(os.environ)
        for nome in ("WAYLAND_DISPLAY", "XAUTHORITY", "SESSION_MANAGER"):
            self.env.pop(nome, None)
        self.env.setdefault("WINEPREFIX", os.path.join(self.pasta, "prefixo"))
        self.env.setdefault("WINEDEBUG", "-all")
        self.env.setdefault("WINEDLLOVERRIDES", "mscoree,mshtml=")
        self.processos = []

    def inicia(self):
        sorte = random.Random()
        for _ in range(20):
            # A number far from those programs guess; one that is taken ends Xvfb at once.
            numero = sorte.randrange(200, 30000)
            leitura, escrita = os.pipe()
            xvfb = subprocess.Popen(
                ["Xvfb", ":%d" % numero, "-displayfd", str(escrita), "-screen", "0",
                 "%dx%dx24" % (LARGURA, ALTURA), "-nolisten", "tcp"],
                pass_fds=(escrita,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                start_new_session=True)
            os.close(escrita)
            pronto = b""
            while not pronto.endswith(b"\n"):
                parte = os.read(leitura, 16)
                if not parte:
                    break
                pronto += parte
            os.close(leitura)
            if pronto.strip() == str(numero).encode() and xvfb.poll() is None:
                self.processos.append(xvfb)
                break
            xvfb.kill()
            xvfb.wait()
        else:
            raise Falha("nenhum display livre para o Xvfb")
        self.env["DISPLAY"] = ":%d" % numero
        wm = subprocess.Popen(["openbox", "--sm-disable"], env=self.env, stdout=subprocess.DEVNULL,
                              stderr=subprocess.DEVNULL, start_new_session=True)
        self.processos.append(wm)
        meu = ("= %d" % wm.pid).encode()
        self.espera(lambda: wm.poll() is not None or
                    self.x(["xprop", "-root", "_OPENBOX_PID"]).strip().endswith(meu),
                    "o gerenciador de janelas")
        if wm.poll() is not None:
            raise Falha("o openbox terminou ao iniciar")
        # Wine's server keeps the display of the program that started it: a new one for this one.
        self.wineserver(["-k"])
        self.wineserver(["-w"])

    def wineserver(self, args):
        subprocess.run(["wineserver"] + args, env=self.env, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, timeout=120)

    def termina(self):
        self.wineserver(["-k"])
        for p in reversed(self.processos):
            if p.poll() is None:
                p.terminate()
                try:
                    p.wait(10)
                except subprocess.TimeoutExpired:
                    p.kill()
                    p.wait()
        shutil.rmtree(self.pasta, ignore_errors=True)

    def x(self, comando):
        return subprocess.run(comando, env=self.env, stdout=subprocess.PIPE,
                              stderr=subprocess.DEVNULL, timeout=60).stdout

    # The waits end as soon as what they wait for is there; the bounds only turn a fault into a
    # message instead of a hang.
    def espera(self, condicao, oque, segundos=90):
        limite = time.time() + segundos
        while time.time() < limite:
            if condicao():
                return
            time.sleep(0.05)
        raise Falha("esperando " + oque)

    # Wine may make a window's X window anew as it shows it: a box is looked up by its title each
    # time, never kept by its id.
    def janela(self, titulo):
        ids = self.x(["xdotool", "search", "--onlyvisible", "--name", titulo]).split()
        return ids[-1].decode() if ids else None

    def geometria(self, titulo):
        janela = self.janela(titulo)
        campos = {}
        if janela:
            for linha in self.x(["xdotool", "getwindowgeometry", "--shell", janela]).decode().split():
                nome, _, valor = linha.partition("=")
                campos[nome] = int(valor) if valor.lstrip("-").isdigit() else valor
        return campos

    def ativa(self, titulo):
        janela = self.janela(titulo)
        if not janela:
            return False
        if self.x(["xdotool", "getactivewindow"]).strip().decode() == janela:
            return True
        self.x(["xdotool", "windowactivate", janela])
        return False

    def captura(self, titulo, nome):
        # Once the box keeps one size and place, and a moment more for its controls to paint.
        anterior = [None]

        def assentada():
            g = self.geometria(titulo)
            pronta = g == anterior[0] and g.get("WIDTH", 0) >= 100
            anterior[0] = g
            time.sleep(0.2)
            return pronta
        self.espera(assentada, "a caixa \"%s\" em seu tamanho" % titulo)
        time.sleep(0.3)
        os.makedirs(self.capturas, exist_ok=True)
        caminho = os.path.join(self.capturas, nome)
        subprocess.run(["import", "-window", self.janela(titulo), caminho], env=self.env,
                       timeout=60, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        return caminho


def roda(tela, programa):
    saida = os.path.join(tela.pasta, "saida.txt")
    with open(saida, "wb") as f:
        proc = subprocess.Popen([tela.wine, programa], env=tela.env, stdout=f,
                                stderr=subprocess.DEVNULL, start_new_session=True)
    tela.processos.append(proc)

    def linhas():
        with open(saida, "rb") as f:
            return f.read().decode(errors="replace").replace("\r", "").splitlines()

    def tem(linha):
        return lambda: linha in linhas() or proc.poll() is not None

    for numero, (nome, titulo, teclas, esperado) in enumerate(PASSOS, 1):
        tela.espera(tem("abre %d %s" % (numero, nome)), "a caixa %d (%s)" % (numero, nome))
        if titulo:
            tela.espera(lambda: proc.poll() is not None or tela.ativa(titulo),
                        "a janela \"%s\" de %s, ativa" % (titulo, nome))
            if proc.poll() is not None:
                break
            if nome in CAPTURAS:
                print("captura: " + tela.captura(titulo, CAPTURAS[nome]))
            if nome == "erro-longo":
                g = tela.geometria(titulo)
                x, largura, altura = g.get("X", -1), g.get("WIDTH", 0), g.get("HEIGHT", 0)
                if not (0 <= x and x + largura <= LARGURA and 0 < altura < ALTURA):
                    raise Falha("a caixa de texto longo não cabe na tela de %dx%d: %s"
                                % (LARGURA, ALTURA, g))
            for tecla in teclas:
                if tecla.startswith("texto:"):
                    tela.x(["xdotool", "type", "--delay", "60", tecla[len("texto:"):]])
                elif tecla.startswith("espera:"):
                    tela.espera(tem(tecla[len("espera:"):]), "\"%s\"" % tecla[len("espera:"):])
                else:
                    tela.x(["xdotool", "key", "--clearmodifiers", tecla])
        tela.espera(lambda: proc.poll() is not None or
                    any(l.startswith("%d " % numero) for l in linhas()),
                    "a resposta da caixa %d (%s)" % (numero, nome))
        resposta = next((l for l in linhas() if l.startswith("%d " % numero)), None)
        if resposta != "%d %s" % (numero, esperado):
            raise Falha("%s: esperado \"%s\", veio \"%s\"; saída:\n%s"
                        % (nome, esperado, resposta, "\n".join(linhas())))
        print("%s: %s" % (nome, esperado))
    tela.espera(lambda: proc.poll() is not None, "o fim do programa")
    if proc.returncode != 0 or "fim" not in linhas():
        raise Falha("o programa terminou com %s; saída:\n%s" % (proc.returncode, "\n".join(linhas())))


def main():
    args = argparse.ArgumentParser()
    args.add_argument("--wine", required=True)
    args.add_argument("--programa", required=True)
    args.add_argument("--capturas", required=True)
    a = args.parse_args()
    faltam = [p for p in ("Xvfb", "openbox", "xdotool", "xprop", "import") if not shutil.which(p)]
    if faltam:
        print("caixas de diálogo do Windows não testadas: faltam " + ", ".join(faltam))
        return 77
    tela = Tela(a.wine, a.capturas)
    try:
        tela.inicia()
        roda(tela, os.path.abspath(a.programa))
    except Falha as e:
        print("FALHA: %s" % e, file=sys.stderr)
        return 1
    finally:
        tela.termina()
    print("caixas de diálogo do Windows respondidas pelo teclado como esperado")
    return 0


if __name__ == "__main__":
    sys.exit(main())
