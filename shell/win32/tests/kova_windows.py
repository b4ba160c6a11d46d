#!/usr/bin/env python3
"""kova.exe in a clerk's hands under wine: its own display (Xvfb) under a window manager (openbox),
keys typed with xdotool, pictures taken with import, the slips read back from the slips file.

The main window and its menu; a slip typed by keyboard through "Digitar KOVA" with a refused
amount told on the way, saved and read back; the removal, the printer set-up and About; the exit
question; a file named on the command line imported unattended, the program ending by itself with
its status, the day's copy of the slips file kept on the way; that copy restored from the
Utilities menu and its slips read back, and again at a start that cannot read the slips file; a
file imported from the menu; the search page; the help without its manual; the print
list on wine's default printer, a private cups-pdf queue, its preview printing one slip and "Todos"
the rest, the symbol read back from the PDF as the slip's stored digits; the three reference
browsers.

Usage: kova_windows.py --wine WINE --windows BIN --dados DIR --capturas DIR --gerador gera_incorporacao.py
"""

import argparse
import datetime
import os
import shutil
import subprocess
import sys
import time
import signal
import tempfile

AQUI = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(AQUI, "..", "..", "tests"))
sys.path.insert(0, os.path.join(AQUI, "..", "..", "..", "library", "tests"))
import compara_paginas  # noqa: E402
import tela_com_gerenciador as gerenciador  # noqa: E402
from tela_com_gerenciador import Falha, PRINCIPAL, TELA  # noqa: E402


class KovaWine:
    """A wine prefix of the session's own on its display: kova.exe with the component and the
    manual in C:\\kova\\prog, the data directory in C:\\kova\\Dados, named by KOVA.INI in the
    Windows directory."""

    def __init__(self, s, wine, windows):
        self.s = s
        self.wine = wine
        self.env = dict(s.env)
        self.env["WINEPREFIX"] = os.path.join(s.pasta, "prefixo")
        self.env["WINEDEBUG"] = "-all"
        self.env["WINEDLLOVERRIDES"] = "mscoree,mshtml="
        # No printer until the print scenario: the machine's own print service is never reached.
        self.env["CUPS_SERVER"] = os.path.join(s.pasta, "sem-cups.sock")
        subprocess.run([wine, "wineboot", "--init"], env=self.env, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, timeout=600)
        subprocess.run(["wineserver", "-w"], env=self.env, timeout=600)
        self.c = os.path.join(self.env["WINEPREFIX"], "drive_c")
        if not os.path.isdir(os.path.join(self.c, "windows")):
            raise Falha("wine não criou o prefixo")
        self.prog = os.path.join(self.c, "kova", "prog")
        os.makedirs(self.prog)
        for arquivo in ("kova.exe", "DllInscE32.Dll"):
            shutil.copy(os.path.join(windows, arquivo), self.prog)
        shutil.copytree(os.path.join(windows, "ajuda"), os.path.join(self.prog, "ajuda"))
        # The session reads the slips the program writes here.
        s.dados = os.path.join(self.c, "kova", "Dados")
        shutil.copytree(os.path.join(s.pasta, "Dados"), s.dados)
        with open(os.path.join(self.c, "windows", "KOVA.INI"), "w") as f:
            f.write("[KOVA]\r\nDirDados=C:\\kova\\Dados\\\r\n")

    def inicia(self, *argumentos, principal=True):
        """Starts kova.exe; with principal, waits for its main window."""
        saida = open(os.path.join(self.s.pasta, "kova.log"), "ab")
        self.s.programa = subprocess.Popen([self.wine, "kova.exe", *argumentos], env=self.env, cwd=self.prog,
                                           stdout=saida, stderr=subprocess.STDOUT, start_new_session=True)
        saida.close()
        self.s.processos.append(self.s.programa)
        if not principal:
            return
        self.s.espera(lambda: self.s.programa.poll() is not None or self.s.visiveis(PRINCIPAL) > 0,
                      "a janela principal", 180)
        if self.s.programa.poll() is not None:
            raise Falha("o programa terminou ao iniciar (status %d)" % self.s.programa.returncode)

    def encerra(self):
        subprocess.run(["wineserver", "-k"], env=self.env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                       timeout=60)


class FilaPrivada:
    """A print scheduler of the test's own with one cups-pdf queue, KOVA_PDF, the default
    (programs/tests/fila_privada.sh): its PDF files land in pasta/KOVA_PDF. Stopped by its PID.
    pronta is False, with the reason in motivo, where this machine cannot run it."""

    def __init__(self):
        self.pasta = tempfile.mkdtemp(prefix="kova-fila-")
        os.chmod(self.pasta, 0o755)
        self.saida = os.path.join(self.pasta, "KOVA_PDF")
        self.socket = os.path.join(self.pasta, "cups.sock")
        script = os.path.join(AQUI, "..", "..", "..", "programs", "tests", "fila_privada.sh")
        self.sh = subprocess.Popen(
            ["sh", "-c", 'falha() { echo "$*"; exit 1; }; pula() { echo "$*"; exit 77; }; pids=""; . "$0"; '
             'fila_privada_possivel; inicia_fila_privada "$1" KOVA_PDF; echo $pids > "$1/cupsd.pid"; wait',
             script, self.pasta], stdout=subprocess.PIPE, stderr=subprocess.STDOUT, start_new_session=True)
        marca = os.path.join(self.pasta, "cupsd.pid")
        limite = time.time() + 120
        while not os.path.exists(marca) and self.sh.poll() is None and time.time() < limite:
            time.sleep(0.1)
        self.pid = int(open(marca).read().split()[0]) if os.path.exists(marca) else None
        self.pronta = self.pid is not None
        self.motivo = "" if self.pronta else self.sh.stdout.read().decode(errors="replace").strip()
        if self.sh.poll() is None and not self.pronta:
            raise Falha("o escalonador próprio não iniciou")

    def pdfs(self):
        return sorted((os.path.join(self.saida, n) for n in os.listdir(self.saida) if n.endswith(".pdf")),
                      key=os.path.getmtime)

    def espera(self, n):
        """n complete PDF files, no job left in the queue."""
        def prontos():
            pdfs = self.pdfs()
            fila = subprocess.run(["lpstat", "-o"], env=dict(os.environ, CUPS_SERVER=self.socket),
                                  stdout=subprocess.PIPE, stderr=subprocess.DEVNULL).stdout
            return len(pdfs) >= n and not fila and all(
                subprocess.run(["pdfinfo", p], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL).returncode == 0
                for p in pdfs)
        limite = time.time() + 300
        while not prontos():
            if time.time() > limite:
                raise Falha("a fila escreveu %d de %d PDF" % (len(self.pdfs()), n))
            time.sleep(0.2)
        if len(self.pdfs()) != n:
            raise Falha("a fila escreveu %d PDF, esperados %d" % (len(self.pdfs()), n))

    def encerra(self):
        if self.pid:
            try:
                os.kill(self.pid, signal.SIGTERM)
            except ProcessLookupError:
                pass
        try:
            self.sh.wait(timeout=30)
        except subprocess.TimeoutExpired:
            os.killpg(self.sh.pid, signal.SIGKILL)
            self.sh.wait()
        shutil.rmtree(self.pasta, ignore_errors=True)


def menu(s, *teclas):
    """A menu item of the main window by its keys, once the window that closed before it has let
    the keyboard go (wine hands it back to the main window a moment after)."""
    s.ativa_principal()
    time.sleep(0.5)
    s.ativa_principal()
    s.teclas(*teclas)


def sai(s):
    """Closes the main window as a person does, confirming the question, and expects a clean exit."""
    s.teclas("alt+F4")
    s.janela("Confirmação")
    s.teclas("alt+s")
    if s.fim_do_programa() != 0:
        raise Falha("o programa terminou com falha ao sair")


def dia_util(d):
    while d.weekday() >= 5 or (d.month, d.day) in ((12, 25), (1, 1)):
        d += datetime.timedelta(days=1)
    return d


def cenario_principal_e_kova(s, w, largura):
    """The main window with its menu; a slip of Acre typed and saved, its refused amount told;
    the screen closed; the removal keeping the unprinted slip; the printer set-up without
    printers; About; the exit question answered."""
    w.inicia()
    s.ativa_principal()
    s.dentro_da_tela()
    s.captura("windows%s_principal" % largura)
    s.teclas("alt+o")
    time.sleep(0.5)
    s.captura("windows%s_menu_opcao" % largura)
    s.teclas("Escape", "Escape")
    menu(s, "alt+o", "d")
    s.janela(TELA)
    s.dentro_da_tela()
    hoje = datetime.date.today()
    vencimento = dia_util(hoje + datetime.timedelta(days=7))
    s.digita("12")
    s.digita("10011")
    s.digita(vencimento.strftime("%d%m%Y"))
    s.janela("Data de Pagamento")
    s.digita(hoje.strftime("%d%m%Y"))
    s.janela(TELA)
    s.digita("52998224725")
    s.teclas("Return", "Return", "Return")  # the period as proposed
    s.digita("150")  # box 06
    s.digita("-5")  # box 07: refused
    s.janela("Erro")
    s.captura("windows%s_valor_recusado" % largura)
    s.teclas("Return")
    s.janela(TELA)
    s.teclas("Return", "Return", "Return")  # boxes 07 to 09 left at 0
    s.captura("windows%s_digitada" % largura)
    gerenciador.completa_e_salva(s)
    kovas = s.kovas()
    if len(kovas) != 1:
        raise Falha("esperava 1 KOVA gravada, há %d" % len(kovas))
    esperado = {"UFFavorecida": "AC", "Receita": "100110", "ValorPrincipal": 150.0, "TotalRecolher": 150.0,
                "CICContribuinte": "52998224725", "RazaoSocial": "EMPRESA DE TESTE LTDA", "CEP": "69900-000",
                "DataVencimento": vencimento.isoformat(), "Situacao": "N"}
    for campo, valor in esperado.items():
        if kovas[0][campo] != valor:
            raise Falha("%s gravado como %r, esperado %r" % (campo, kovas[0][campo], valor))
    # The screen closes (Fechar) and the main window takes the keys again; leaving is asked first.
    s.teclas("alt+f")
    s.ativa_principal()
    # The removal, with its forecast: the slip typed is not printed, and stays.
    menu(s, "alt+u", "r")
    s.janela("Remover KOVA impressas")
    s.dentro_da_tela()
    s.captura("windows%s_remover" % largura)
    s.teclas("alt+r")
    s.confirma("Informação")
    s.ativa_principal()
    if len(s.kovas()) != 1:
        raise Falha("a remoção levou a KOVA não impressa")
    # The printer set-up, on a machine without printers: told in Portuguese.
    menu(s, "alt+u", "c")
    s.janela("Erro")
    s.captura("windows%s_sem_impressora_configurar" % largura)
    s.teclas("Return")
    s.ativa_principal()
    menu(s, "alt+j", "s")
    s.janela("Sobre")
    s.captura("windows%s_sobre" % largura)
    s.teclas("Return")
    s.ativa_principal()
    menu(s, "alt+o", "s")
    s.janela("Confirmação")
    s.captura("windows%s_sair" % largura)
    s.teclas("alt+n")
    s.ativa_principal()
    sai(s)


def cenario_linha_de_comando(s, w, gerador, largura):
    """A file named on the command line: its path shown first, its slip imported; with no
    printer on this machine the slips stay unprinted, the person is told, and the program ends by
    itself with a failure status."""
    with open(os.path.join(w.c, "kova", "lote.txt"), "wb") as f:
        f.write(subprocess.run([sys.executable, gerador, "1"], stdout=subprocess.PIPE, check=True).stdout)
    antes = len(s.kovas())
    # The slips file last changed yesterday: the import's save keeps a copy of it first, the only
    # one offered (a copy of the data directory's own day, kept by the first scenario, goes).
    shutil.rmtree(os.path.join(s.dados, "Copias"), ignore_errors=True)
    ontem = datetime.date.today() - datetime.timedelta(days=1)
    quando = time.mktime((ontem.year, ontem.month, ontem.day, 12, 0, 0, 0, 0, -1))
    os.utime(os.path.join(s.dados, "KOVA.cds"), (quando, quando))
    w.inicia("C:\\kova\\lote.txt")
    s.espera(lambda: s.visiveis(PRINCIPAL) == 2, "a mensagem com o caminho do arquivo")
    s.captura("windows%s_linha_de_comando" % largura)
    s.teclas("Return")
    s.janela("Erro")  # no printer: the slips were not printed
    s.captura("windows%s_sem_impressora" % largura)
    s.teclas("Return")
    if s.fim_do_programa() != 1:
        raise Falha("a incorporação sem impressora não terminou com falha")
    kovas = s.kovas()
    if len(kovas) != antes + 1 or kovas[-1]["Situacao"] == "I" or kovas[-1]["UFFavorecida"] != "SP":
        raise Falha("a KOVA incorporada não foi gravada como não impressa: %r" % kovas[antes:])
    copia = os.path.join(s.dados, "Copias", "KOVA-%s.cds" % ontem.isoformat())
    if not os.path.exists(copia):
        raise Falha("a cópia de segurança de ontem não foi guardada")


def cenario_restaurar(s, w, largura):
    """Yesterday's copy restored from the Utilities menu, asked first and told after: the slips
    file holds again the one slip typed, the imported one gone."""
    if len(s.kovas()) != 2:
        raise Falha("esperava 2 KOVA antes da restauração: %r" % s.kovas())
    w.inicia()
    menu(s, "alt+u", "s")
    s.janela("Restaurar cópia de segurança")
    s.dentro_da_tela()
    time.sleep(0.5)
    s.captura("windows%s_restaurar" % largura)
    s.teclas("alt+r")
    s.janela("Confirmação")
    s.captura("windows%s_restaurar_pergunta" % largura)
    s.teclas("alt+s")
    s.confirma("Informação")
    s.ativa_principal()
    kovas = s.kovas()
    if len(kovas) != 1 or kovas[0]["UFFavorecida"] != "AC" or kovas[0]["TotalRecolher"] != 150.0:
        raise Falha("a cópia restaurada não tem só a KOVA digitada: %r" % kovas)
    sai(s)


def cenario_arquivo_ilegivel(s, w, largura):
    """A slips file that cannot be read at the start: the person is told of the copies, asked
    whether to restore one now, and restores yesterday's in the same window as the menu's; the
    main window then opens on its slip."""
    with open(os.path.join(s.dados, "KOVA.cds"), "wb") as f:
        f.write(b"isto n\xe3o \xe9 uma tabela" * 100)
    w.inicia(principal=False)
    s.janela("Erro")
    s.captura("windows%s_arquivo_ilegivel" % largura)
    s.teclas("Return")
    s.janela("Confirmação")  # restore one now?
    s.teclas("alt+s")
    s.janela("Restaurar cópia de segurança")
    s.dentro_da_tela()
    s.teclas("alt+r")
    s.janela("Confirmação")  # that copy?
    s.teclas("alt+s")
    s.confirma("Informação")
    s.espera(lambda: s.programa.poll() is not None or s.visiveis(PRINCIPAL) > 0, "a janela principal", 180)
    s.ativa_principal()
    kovas = s.kovas()
    if len(kovas) != 1 or kovas[0]["UFFavorecida"] != "AC":
        raise Falha("a cópia restaurada ao iniciar não tem só a KOVA digitada: %r" % kovas)
    sai(s)


def cenario_menu_incorporar_e_pesquisar(s, w, gerador, largura):
    """Import from the menu: the Windows file dialog, the count told, the print declined (the
    slips kept unprinted); then the search page of the entry screen, the help without the manual,
    and the exit."""
    with open(os.path.join(w.c, "kova", "menu.txt"), "wb") as f:
        f.write(subprocess.run([sys.executable, gerador, "2"], stdout=subprocess.PIPE, check=True).stdout)
    antes = len(s.kovas())
    w.inicia()
    menu(s, "alt+o", "c")
    s.janela("Incorporar arquivo")
    s.dentro_da_tela()
    time.sleep(0.5)
    s.teclas("ctrl+a")
    s.digita("C:\\kova\\menu.txt", enter=False)
    s.captura("windows%s_incorporar_arquivo" % largura)
    s.teclas("Return")
    s.confirma("Informação")  # 2 KOVA incorporadas com sucesso
    s.janela("Confirmação")  # print them all?
    s.teclas("alt+n")
    s.ativa_principal()
    kovas = s.kovas()
    if len(kovas) != antes + 2 or any(k["Situacao"] == "I" for k in kovas[antes:]):
        raise Falha("as 2 KOVA do arquivo não foram incorporadas sem imprimir: %r" % kovas[antes:])
    menu(s, "alt+o", "p")
    s.janela(TELA)
    time.sleep(0.5)
    s.captura("windows%s_pesquisar" % largura)
    s.teclas("alt+f")
    # The help (F1's item of the Help menu) looks for the manual beside the program: without it
    # the person is told where (the browser itself is not started here). Through the menu: after
    # Alt+F closed the screen, xdotool's F1 may reach wine with Alt still held.
    shutil.rmtree(os.path.join(w.prog, "ajuda"))
    menu(s, "alt+j", "a")
    s.janela("Erro")
    s.captura("windows%s_sem_manual" % largura)
    s.teclas("Return")
    s.ativa_principal()
    sai(s)


def cenario_imprimir_e_consultas(s, w, largura):
    """The print list on wine's default printer, a private cups-pdf queue: the first slip
    previewed and printed from its preview, one job, its symbol read back from the PDF as the
    stored digits; "Todos" prints the rest, one job a slip, every slip marked printed. Then the
    three reference browsers, each closed with Esc. Skipped, in one line, where the queue cannot
    run."""
    fila = FilaPrivada()
    try:
        if not fila.pronta:
            print("-- kova.exe %s bits: impressão não testada: %s" % (largura, fila.motivo))
        else:
            w.env["CUPS_SERVER"] = fila.socket
        kovas = s.kovas()
        if len(kovas) < 2 or all(k["Situacao"] == "I" for k in kovas):
            raise Falha("esperava KOVA por imprimir: %r" % kovas)
        w.inicia()
        if fila.pronta:
            menu(s, "alt+o", "i")
            s.janela("Imprimir KOVA")
            s.dentro_da_tela()
            time.sleep(0.5)
            s.captura("windows%s_imprimir" % largura)
            s.teclas("Home", "alt+v")
            s.janela("Visualizar KOVA")
            s.dentro_da_tela()
            time.sleep(1)
            s.captura("windows%s_visualizar" % largura)
            s.teclas("alt+i")
            fila.espera(1)
            primeira = fila.pdfs()[0]
            s.janela("Visualizar KOVA")
            s.teclas("alt+f")
            s.janela("Imprimir KOVA")
            s.teclas("alt+t")
            fila.espera(len(kovas))
            s.janela("Imprimir KOVA")
            time.sleep(0.5)
            s.captura("windows%s_imprimir_todas" % largura)
            s.teclas("Escape")
        # The browsers, from the Help menu (Ajuda do sistema, then the three).
        for abaixo, titulo in ((1, "Relação de Unidades da Federação"),
                               (2, "Relação de Receitas por Unidade da Federação"),
                               (3, "Relação de Produtos por Unidade da Federação")):
            menu(s, "alt+j", *(["Down"] * abaixo), "Return")
            s.janela(titulo)
            s.dentro_da_tela()
            time.sleep(0.5)
            s.captura("windows%s_consulta%d" % (largura, abaixo))
            s.teclas("Escape")
        s.ativa_principal()
        sai(s)
        if fila.pronta:
            depois = s.kovas()
            if any(k["Situacao"] != "I" for k in depois):
                raise Falha("KOVA impressas não marcadas: %r" % [(k["IdKOVA"], k["Situacao"]) for k in depois])
            with tempfile.TemporaryDirectory() as pasta:
                lidos = compara_paginas.simbolos(primeira, pasta)
            # The slip listed first, printed from the preview: copies 1 and 3 carry its symbol.
            codigo = depois[0]["CodigoBarra"]
            if lidos[0] != {codigo} or lidos[2] != {codigo}:
                raise Falha("símbolos lidos %r, esperado %s" % (lidos, codigo))
    finally:
        w.env["CUPS_SERVER"] = os.path.join(s.pasta, "sem-cups.sock")
        fila.encerra()


def main():
    argumentos = argparse.ArgumentParser()
    argumentos.add_argument("--wine", required=True)
    argumentos.add_argument("--windows", required=True, help="the Windows build's bin folder")
    argumentos.add_argument("--dados", required=True)
    argumentos.add_argument("--capturas", required=True)
    argumentos.add_argument("--gerador", required=True, help="bench/gera_incorporacao.py")
    a = argumentos.parse_args()
    for programa in ("Xvfb", "openbox", "xdotool", "xprop", "import"):
        if not shutil.which(programa):
            print("falta o programa %s (scripts/setup.sh o instala)" % programa)
            return 1
    kova = os.path.abspath(os.path.join(a.windows, "kova.exe"))
    largura = "32" if b"pei-i386" in subprocess.run(
        ["i686-w64-mingw32-objdump", "-f", kova], stdout=subprocess.PIPE, stderr=subprocess.DEVNULL).stdout else "64"
    # The windows of a 1024x768 screen.
    s = gerenciador.Sessao(kova, a.dados, a.capturas, tela=(1024, 768))
    inicio = time.time()
    etapa = "início"
    w = None
    try:
        s.inicia_tela()
        etapa = "prefixo do wine"
        w = KovaWine(s, a.wine, os.path.abspath(a.windows))
        for etapa, cenario in (
                ("janela principal, KOVA digitada e salva, valor recusado, saída",
                 lambda: cenario_principal_e_kova(s, w, largura)),
                ("incorporação pela linha de comando", lambda: cenario_linha_de_comando(s, w, a.gerador, largura)),
                ("restauração da cópia de segurança", lambda: cenario_restaurar(s, w, largura)),
                ("incorporação pelo menu e pesquisa",
                 lambda: cenario_menu_incorporar_e_pesquisar(s, w, a.gerador, largura)),
                ("lista de impressão, visualização e consultas",
                 lambda: cenario_imprimir_e_consultas(s, w, largura)),
                ("arquivo de KOVA ilegível, cópia restaurada ao iniciar",
                 lambda: cenario_arquivo_ilegivel(s, w, largura))):
            cenario()
            print("ok: kova.exe %s bits: %s (%.1f s)" % (largura, etapa, time.time() - inicio))
        return 0
    except (Falha, subprocess.TimeoutExpired) as e:
        s.relata_falha(etapa, e, "falha_kova_windows%s" % largura, "saída do kova.exe")
        return 1
    finally:
        if w:
            w.encerra()
        s.encerra()


if __name__ == "__main__":
    sys.exit(main())
