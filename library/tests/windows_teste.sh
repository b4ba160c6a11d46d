#!/usr/bin/env bash
# The Windows library as a Windows host program uses it, under wine, against the Linux library:
#
#   windows_teste.sh <Linux build's bin> <Windows build's bin> <wine command> <table sources> [count]
#
# 1. A C host program built with mingw-w64 loads the tests' variant of the DLL (kovadll_teste.dll,
#    the shipped objects and the entry point that sets the clock), finds kova2 by name and by
#    ordinal 3 and sends a fixed set of requests over the shipped data, its clock set; the same
#    host built for Linux sends them to libkovadll_teste.so. The two reply files must be the same
#    byte for byte. The shipped kovadll.dll answers a host too, and has no way to set its clock.
#    The host runs as a user who may not write the system directory (a standard user of an
#    office): the registration component beside the host program is used from there, and nothing
#    is written.
#    The component beside the DLL in another folder is found too; with none anywhere, the places
#    tried are named.
#    Then three such hosts load the library 40 times each, at once, on one data directory: every
#    request is answered.
# 2. The Windows directory semantics: KOVA.INI in the real Windows directory, Config.ini beside
#    the host program with a ..\ path and a new-version request, whose KOVA.INI settings are
#    written with "\" in the user's own KOVA.INI (%APPDATA%\KOVA), never in the Windows
#    directory. A standard user of an installed program (its folder and the Windows directory
#    read-only): the machine's KOVA.INI is obeyed; a new-version request gets every call answered
#    from the user's own data directory (%LOCALAPPDATA%\KOVA\Dados, made from the installed
#    tables) and is carried out once.
# 3. One data directory on both systems: the slips file Linux wrote is rebuilt by the Windows
#    library's new-version install, with its slips kept, and the directory Windows wrote loads on
#    Linux (its CRCs match) and answers the same; the reference tables built on Windows are the
#    same files as those built on Linux.
# 4. kova shows the entry screen: typed into with xdotool and saved, then cancelled
#    (tela_hospedada.py --wine).
#    kova.exe, the desktop program, typed into the same way: main window, a slip saved, a refused
#    amount, the exit question, a file imported from the command line
#    (shell/win32/tests/kova_windows.py).
# 5. imprime through wine's print system on a private queue (windows_impressao.sh).
# 6. The crash and full-disk cases of the table files, step by step, with the files in memory
#    (kova_quedas_em_memoria.exe, the same program ctest runs on Linux).
# 6. Every kind of message box and screen dialog shown for real on a display of its own and
#    answered with keys (entry/win32/tests/dialogos_win.py; skipped where Xvfb, openbox or xdotool
#    is missing), pictures of them left in the Windows build's capturas_dialogos.
# 7. Given the installation package (KOVA_MSI, by scripts/windows.sh to the 64-bit run), it is
#    installed silently in a fresh prefix, used by a standard user, upgraded and removed
#    (msi_teste.sh; KOVA_MSI_32 names the 32-bit build whose host uses the package's x86 DLLs).
set -euo pipefail
linux="$1"
windows="$2"
wine="$3"
fontes="$4"
total="${5:-1200}"
aqui="$(cd "$(dirname "$0")" && pwd)"
momento="15/06/2026 10:00:00"

falhou() {
    echo "FALHA: $*" >&2
    exit 1
}

trabalho=$(mktemp -d)
export WINEPREFIX="$trabalho/prefixo" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
limpa() {
    wineserver -k >/dev/null 2>&1 || true
    chmod -R u+w "$trabalho" 2>/dev/null || true
    rm -rf "$trabalho"
}
trap limpa EXIT

"$wine" wineboot --init >/dev/null 2>&1 || true
wineserver -w
c="$WINEPREFIX/drive_c"
[ -d "$c/windows" ] || falhou "wine não criou o prefixo"

echo "-- quedas e disco cheio a cada passo, com os arquivos em memória"
"$wine" "$windows/kova_quedas_em_memoria.exe" || falhou "uma queda ou um disco cheio deixou as tabelas erradas"

echo "-- caixas de diálogo do Windows respondidas pelo teclado"
status=0
python3 "$aqui/../../entry/win32/tests/dialogos_win.py" --wine "$wine" \
    --programa "$windows/kova_dialogos_win_teste.exe" --capturas "$windows/capturas_dialogos" || status=$?
[ "$status" -eq 0 ] || [ "$status" -eq 77 ] || falhou "caixas de diálogo do Windows"
# The system directory of the host's kind: a 32-bit program's system32 is wine's syswow64.
sistema="$c/windows/system32"
if [ -d "$c/windows/syswow64" ] && i686-w64-mingw32-objdump -f "$windows/kovadll.dll" 2>/dev/null | grep -q 'pei-i386'; then
    sistema="$c/windows/syswow64"
fi

# From here on wine runs as a standard user, who may not write the system directory. Wine opens
# files in its server, which starts with the first program: as root, both lose the right to pass
# over file permissions.
chmod a-w "$sistema"
# The server the first program started as root is not kept for them.
wineserver -k >/dev/null 2>&1 || true
wineserver -w
Usuario() {
    if [ "$(id -u)" -eq 0 ]; then
        setpriv --bounding-set=-dac_override,-dac_read_search,-fowner -- "$@"
    else
        command "$@"
    fi
}
Wine() { Usuario "$wine" "$@"; }
! Usuario sh -c "touch '$sistema/gravavel' 2>/dev/null" || falhou "o diretório de sistema ficou gravável"
# The user's profile folders, where each user's settings and data directory are kept.
PastaDoPerfil() {
    winepath -u "$(Wine cmd /c echo "%$1%" | tr -d '\r')" 2>/dev/null | sed 's:/$::'
}
roaming=$(PastaDoPerfil APPDATA)
locais=$(PastaDoPerfil LOCALAPPDATA)
[ -d "$roaming" ] && [ -d "$locais" ] || falhou "o prefixo não tem as pastas do perfil do usuário ($roaming, $locais)"

python3 "$aqui/requisicoes_lote.py" "$fontes" "$total" >"$trabalho/requisicoes.txt"

# The Linux library's replies over a copy of a data directory, in a folder of its own with its
# KOVA.INI: RespostasLinux <data directory> <folder> <requests> <replies>.
RespostasLinux() {
    mkdir -p "$2/win"
    cp -r "$1" "$2/Dados"
    printf '[KOVA]\r\nDirDados=%s/Dados\r\n' "$2" >"$2/win/KOVA.INI"
    cp "$linux/DllInscE32.Dll" "$2/win/"
    KOVA_WINDIR="$2/win" KOVA_SYSDIR="$2/win" \
        "$linux/kova_hospedeiro_lote" "$linux/libkovadll_teste.so" "$3" "$4" "$momento" >/dev/null
}
RespostasLinux "$linux/Dados" "$trabalho/linux" "$trabalho/requisicoes.txt" "$trabalho/linux.txt"

# The Windows replies: the host program and the two DLLs in one folder, the same data copied,
# KOVA.INI in the Windows directory; the registration component is not in the system directory.
mkdir -p "$c/kova/prog"
cp "$windows/kovadll.dll" "$windows/kovadll_teste.dll" "$windows/DllInscE32.Dll" "$windows/kova_hospedeiro_lote.exe" \
    "$c/kova/prog/"
cp -r "$linux/Dados" "$c/kova/"
cp "$trabalho/requisicoes.txt" "$c/kova/"
[ ! -e "$sistema/DllInscE32.Dll" ] || falhou "o prefixo já tem DllInscE32.Dll no diretório de sistema"
printf '[KOVA]\r\nDirDados=C:\\kova\\Dados\r\n' >"$c/windows/KOVA.INI"
(cd "$c/kova/prog" && Wine kova_hospedeiro_lote.exe kovadll_teste.dll 'C:\kova\requisicoes.txt' 'C:\kova\windows.txt' \
    "$momento" | iconv -f cp1252 -t utf-8) || falhou "o programa hospedeiro no Windows"
cmp "$trabalho/linux.txt" "$c/kova/windows.txt" || falhou "as respostas do Windows diferem das do Linux"
[ "$(wc -l <"$c/kova/windows.txt")" -eq "$total" ] || falhou "respostas faltando"
aceitas=$(grep -ac ';Retorno=000;' "$c/kova/windows.txt" || true)
[ "$aceitas" -ge $((total / 20)) ] || falhou "só $aceitas KOVA aceitas: o conjunto não prova as aceitas"
[ ! -e "$sistema/DllInscE32.Dll" ] || falhou "DllInscE32.Dll foi gravada no diretório de sistema"
grep -aq 'Erro: 124\]' "$c/kova/windows.txt" || falhou "a inscrição estadual não foi conferida"
echo "respostas iguais nos dois sistemas, sem gravar no diretório de sistema: $total requisições, $aceitas aceitas"

# The shipped DLL, as a host program finds it: its calls by name and by ordinal, none of the tests'
# entry points, every reply's CRC right at the system's own clock.
head -n 40 "$trabalho/requisicoes.txt" >"$c/kova/entrega.txt"
(cd "$c/kova/prog" && Wine kova_hospedeiro_lote.exe kovadll.dll 'C:\kova\entrega.txt' 'C:\kova\entrega_respostas.txt' \
    "$momento" --entrega | iconv -f cp1252 -t utf-8) || falhou "a DLL entregue"
rm "$c/kova/prog/kovadll.dll"

# The component beside the DLL, which the host loads from another folder; then in no place.
grep -a -m 60 'INSCRICAOESTADUAL=' "$trabalho/requisicoes.txt" >"$trabalho/ie.txt"
RespostasLinux "$linux/Dados" "$trabalho/linux_ie" "$trabalho/ie.txt" "$trabalho/linux_ie.txt"
mkdir -p "$c/kova/dll"
cp "$trabalho/ie.txt" "$c/kova/"
mv "$c/kova/prog/kovadll_teste.dll" "$c/kova/prog/DllInscE32.Dll" "$c/kova/dll/"
(cd "$c/kova/prog" && Wine kova_hospedeiro_lote.exe 'C:\kova\dll\kovadll_teste.dll' 'C:\kova\ie.txt' \
    'C:\kova\windows_ie.txt' "$momento" >/dev/null) || falhou "o programa hospedeiro com a DLL em outra pasta"
cmp "$trabalho/linux_ie.txt" "$c/kova/windows_ie.txt" || falhou "as respostas com o componente ao lado da DLL diferem"
rm "$c/kova/dll/DllInscE32.Dll"
# A request whose registration the component judged.
n=$(grep -an -m 1 'Erro: 124\]' "$trabalho/linux_ie.txt" | cut -d: -f1)
sed -n "${n}p" "$trabalho/ie.txt" >"$c/kova/ie1.txt"
(cd "$c/kova/prog" && Wine kova_hospedeiro_lote.exe 'C:\kova\dll\kovadll_teste.dll' 'C:\kova\ie1.txt' \
    'C:\kova\sem.txt' "$momento" --recargas 1 >/dev/null) || falhou "o programa hospedeiro sem o componente"
# A 32-bit program is told C:\windows\system32 too: wine keeps its files in syswow64.
lugares='ERRO=DllInscE32.Dll não carregada (procurada em C:\windows\system32\, C:\kova\prog\ e C:\kova\dll\)'
[ "$(iconv -f cp1252 -t utf-8 "$c/kova/sem.txt")" = "$lugares" ] ||
    falhou "sem o componente: $(iconv -f cp1252 -t utf-8 "$c/kova/sem.txt")"
mv "$c/kova/dll/kovadll_teste.dll" "$c/kova/prog/"
cp "$windows/DllInscE32.Dll" "$c/kova/prog/"
echo "componente ao lado da DLL usado; sem ele, os lugares procurados são ditos"

# Three host programs at once on the one data directory, each loading the library 40 times: every
# load reads the tables while the others read them too, and every request is answered.
cp "$c/kova/ie1.txt" "$trabalho/cargas.txt"
head -n 4 "$trabalho/requisicoes.txt" >>"$trabalho/cargas.txt"
RespostasLinux "$linux/Dados" "$trabalho/linux_cargas" "$trabalho/cargas.txt" "$trabalho/linux_cargas.txt"
for i in $(seq 40); do cat "$trabalho/linux_cargas.txt"; done >"$trabalho/cargas_esperadas.txt"
cp "$trabalho/cargas.txt" "$c/kova/"
for h in a b c; do
    (cd "$c/kova/prog" && Wine kova_hospedeiro_lote.exe kovadll_teste.dll 'C:\kova\cargas.txt' "C:\\kova\\cargas_$h.txt" \
        "$momento" --recargas 40 >/dev/null) &
    eval "p_$h=$!"
done
for h in a b c; do
    eval "wait \$p_$h" || falhou "o programa hospedeiro $h de três ao mesmo tempo"
    cmp "$trabalho/cargas_esperadas.txt" "$c/kova/cargas_$h.txt" ||
        falhou "três programas ao mesmo tempo: $(grep -a -m1 '^ERRO=' "$c/kova/cargas_$h.txt" | iconv -f cp1252 -t utf-8)"
done
echo "três programas, 40 cargas cada, ao mesmo tempo: todas as requisições respondidas"

# Config.ini beside the host program, with a new-version request, over a slips file Linux wrote
# with three slips in it.
mkdir -p "$trabalho/escrita/win"
cp -r "$linux/Dados" "$trabalho/escrita/"
printf '[KOVA]\r\nDirDados=%s/Dados\r\n' "$trabalho/escrita" >"$trabalho/escrita/win/KOVA.INI"
python3 "$aqui/../../bench/gera_incorporacao.py" 3 >"$trabalho/incorporar.txt"
KOVA_WINDIR="$trabalho/escrita/win" KOVA_SYSDIR="$trabalho/escrita/win" \
    "$linux/kovacli" incorporar "$trabalho/incorporar.txt" --sem-impressao >/dev/null 2>&1
[ "$(sqlite3 "$trabalho/escrita/Dados/KOVA.cds" 'select count(*) from registros')" -eq 3 ] ||
    falhou "o Linux não gravou as três KOVA"
rm -rf "$c/kova/Dados2"
cp -r "$trabalho/escrita/Dados" "$c/kova/Dados2"
rm -f "$c/windows/KOVA.INI"
printf '[Op\xe7\xf5es]\r\nInstala\xe7\xe3o=Nova Vers\xe3o\r\n[Dados]\r\nPath=..\\Dados2\r\n' >"$c/kova/prog/Config.ini"
(cd "$c/kova/prog" && Wine kova_hospedeiro_lote.exe kovadll_teste.dll 'C:\kova\requisicoes.txt' 'C:\kova\windows2.txt' \
    "$momento" >/dev/null) || falhou "o programa hospedeiro com Config.ini"
cmp "$trabalho/linux.txt" "$c/kova/windows2.txt" || falhou "as respostas com Config.ini diferem"
# The installation's settings are the user's own, in their profile; the Windows directory's is the
# machine's.
[ ! -e "$c/windows/KOVA.INI" ] || falhou "a nova versão gravou o KOVA.INI do diretório do Windows"
kovaini=$(tr -d '\r' <"$roaming/KOVA/KOVA.INI")
grep -qxF 'DirExe=C:\kova\prog\' <<<"$kovaini" || falhou "KOVA.INI sem DirExe do Windows: $kovaini"
grep -qxF 'Programa=C:\kova\prog\kova_hospedeiro_lote.exe' <<<"$kovaini" || falhou "KOVA.INI sem Programa: $kovaini"
! grep -aq 'Instala' "$c/kova/prog/Config.ini" || falhou "o pedido de instalação ficou em Config.ini"
[ "$(sqlite3 "$c/kova/Dados2/KOVA.cds" 'select count(*) from registros')" -eq 3 ] ||
    falhou "a nova versão no Windows não preservou as KOVA"
cmp -s "$c/kova/Dados2/KOVA.cds" "$trabalho/escrita/Dados/KOVA.cds" &&
    falhou "a nova versão no Windows não regravou o arquivo de KOVA"
rm -rf "$roaming/KOVA" "$locais/KOVA"

# The directory Windows wrote, back on Linux: it loads (its CRCs match) and answers the same.
RespostasLinux "$c/kova/Dados2" "$trabalho/volta" "$trabalho/requisicoes.txt" "$trabalho/volta.txt"
cmp "$trabalho/linux.txt" "$trabalho/volta.txt" || falhou "a pasta gravada no Windows responde diferente no Linux"

# The reference tables built on Windows are the Linux build's files, byte for byte.
mkdir -p "$c/kova/fontes" "$c/kova/Gerados"
cp "$fontes"/*.csv "$c/kova/fontes/"
cp "$windows/kova_gera_tabelas.exe" "$c/kova/prog/"
(cd "$c/kova/prog" && Wine kova_gera_tabelas.exe 'C:\kova\fontes' 'C:\kova\Gerados' >/dev/null) ||
    falhou "kova_gera_tabelas no Windows"
for f in "$linux"/Dados/*.cds; do
    nome=$(basename "$f")
    [ "$nome" = KOVA.cds ] && continue
    cmp "$f" "$c/kova/Gerados/$nome" || falhou "$nome gerado no Windows difere do gerado no Linux"
done
echo "pasta de dados igual nos dois sistemas"

# A standard user of an installed program: the program's folder, with its tables as a template in
# Dados, and the Windows directory are read-only to them. First the machine's KOVA.INI, naming a
# data directory every user shares, is obeyed and nothing is written; then, with a Config.ini that
# asks for the new version and names no data directory, every call is answered from a data
# directory of the user's own, made from the template, with the user's KOVA.INI in their profile;
# the request is carried out once for this user and stays for the others.
cargas_vezes() { for _ in $(seq "$1"); do cat "$trabalho/linux_cargas.txt"; done; }
inst="$c/instalado"
mkdir -p "$inst/prog" "$inst/outro" "$inst/saida" "$c/comum"
cp "$windows/kovadll_teste.dll" "$windows/DllInscE32.Dll" "$windows/kova_hospedeiro_lote.exe" "$inst/prog/"
cp "$windows/kova_hospedeiro_lote.exe" "$inst/outro/"
cp -r "$linux/Dados" "$inst/prog/Dados"
cp -r "$linux/Dados" "$c/comum/Dados"
cp "$trabalho/cargas.txt" "$inst/saida/"
printf '[KOVA]\r\nDirDados=C:\\comum\\Dados\r\n' >"$c/windows/KOVA.INI"
cp "$c/windows/KOVA.INI" "$trabalho/kova_maquina.ini"
chmod -R a-w "$inst/prog"
chmod a-w "$c/windows"
! Usuario sh -c "touch '$c/windows/gravavel' '$inst/prog/Dados/gravavel' 2>/dev/null" ||
    falhou "o diretório do Windows ou o programa instalado ficou gravável"
Wine cmd /c 'echo x> C:\windows\gravavel' >/dev/null 2>&1 || true
[ ! -e "$c/windows/gravavel" ] || falhou "wine gravou no diretório do Windows: não roda como usuário padrão"
(cd "$inst/prog" && find . -exec stat -c '%n %s %Y' {} + | sort) >"$trabalho/programa_antes.txt"

(cd "$inst/outro" && Wine kova_hospedeiro_lote.exe 'C:\instalado\prog\kovadll_teste.dll' 'C:\instalado\saida\cargas.txt' \
    'C:\instalado\saida\maquina.txt' "$momento" --recargas 2 >/dev/null) ||
    falhou "usuário padrão com o KOVA.INI da máquina: $(grep -a -m1 '^ERRO=' "$inst/saida/maquina.txt" | iconv -f cp1252 -t utf-8)"
cmp <(cargas_vezes 2) "$inst/saida/maquina.txt" || falhou "usuário padrão com o KOVA.INI da máquina: respostas diferentes"
[ ! -e "$roaming/KOVA/KOVA.INI" ] || falhou "o KOVA.INI da máquina foi copiado para o do usuário"
[ ! -e "$locais/KOVA/Dados" ] || falhou "a pasta de dados da máquina não foi usada"
echo "usuário padrão: o KOVA.INI da máquina é seguido, sem gravar nada nele"

printf '[Op\xe7\xf5es]\r\nInstala\xe7\xe3o=NovaVersao\r\n' >"$trabalho/Config.ini"
chmod u+w "$inst/prog"
cp "$trabalho/Config.ini" "$inst/prog/"
chmod a-w "$inst/prog" "$inst/prog/Config.ini"
(cd "$inst/prog" && find . -exec stat -c '%n %s %Y' {} + | sort) >"$trabalho/programa_antes.txt"
(cd "$inst/prog" && Wine kova_hospedeiro_lote.exe kovadll_teste.dll 'C:\instalado\saida\cargas.txt' \
    'C:\instalado\saida\padrao.txt' "$momento" --recargas 3 >/dev/null) ||
    falhou "usuário padrão com pedido de nova versão: $(grep -a -m1 '^ERRO=' "$inst/saida/padrao.txt" | iconv -f cp1252 -t utf-8)"
cmp <(cargas_vezes 3) "$inst/saida/padrao.txt" || falhou "usuário padrão com pedido de nova versão: respostas diferentes"
grep -aq ';Retorno=000;' "$inst/saida/padrao.txt" || falhou "usuário padrão: nenhuma KOVA aceita"
dados_usuario="$locais/KOVA/Dados"
kovaini=$(tr -d '\r' <"$roaming/KOVA/KOVA.INI" 2>/dev/null) || falhou "o KOVA.INI do usuário não foi gravado em %APPDATA%\\KOVA"
dir_dados=$(sed -n 's/^DirDados=//p' <<<"$kovaini")
[ "$(winepath -u "$dir_dados" 2>/dev/null | sed 's:/$::')" = "$dados_usuario" ] ||
    falhou "a pasta de dados do usuário não é a de %LOCALAPPDATA%\\KOVA: $kovaini"
grep -qxF 'Programa=C:\instalado\prog\kova_hospedeiro_lote.exe' <<<"$kovaini" || falhou "KOVA.INI do usuário sem Programa: $kovaini"
grep -q '^NovaVersaoInstalada=.' <<<"$kovaini" || falhou "o pedido de nova versão não ficou registrado para o usuário"
for f in "$inst/prog/Dados"/*.cds; do
    [ "$(basename "$f")" = KOVA.cds ] || cmp -s "$f" "$dados_usuario/$(basename "$f")" ||
        falhou "$(basename "$f") da pasta do usuário não veio das tabelas instaladas"
done
(cd "$inst/prog" && find . -exec stat -c '%n %s %Y' {} + | sort) | cmp -s - "$trabalho/programa_antes.txt" ||
    falhou "o programa instalado foi alterado por um usuário padrão"
cmp "$trabalho/kova_maquina.ini" "$c/windows/KOVA.INI" || falhou "o KOVA.INI da máquina foi alterado"
grep -aq 'Instala' "$inst/prog/Config.ini" || falhou "o pedido saiu do Config.ini, que é de todos os usuários"

# Carried out once: a later start leaves what the installation wrote as it is.
chmod u+w "$roaming/KOVA/KOVA.INI"
sed -i 's/^Programa=.*/Programa=instalada antes/' "$roaming/KOVA/KOVA.INI"
(cd "$inst/prog" && Wine kova_hospedeiro_lote.exe kovadll_teste.dll 'C:\instalado\saida\cargas.txt' \
    'C:\instalado\saida\padrao2.txt' "$momento" --recargas 1 >/dev/null) || falhou "usuário padrão, segundo início"
cmp <(cargas_vezes 1) "$inst/saida/padrao2.txt" || falhou "usuário padrão, segundo início: respostas diferentes"
grep -q '^Programa=instalada antes' "$roaming/KOVA/KOVA.INI" || falhou "o pedido de nova versão foi atendido de novo"
chmod -R u+w "$inst" "$c/windows"
rm -rf "$inst" "$c/comum" "$roaming/KOVA" "$locais/KOVA" "$c/windows/KOVA.INI"
echo "usuário padrão com pedido de nova versão: todas as chamadas respondidas, configuração e dados no perfil, pedido atendido uma vez"

# The entry screen in a person's hands: a host program calls kova, the screen shows on a display
# of its own under a window manager, is typed into and saved, then cancelled (tela_hospedada.py,
# in a prefix of its own); then the desktop program in the same way; their pictures are kept
# beside the build. Skipped, in one line, where the display's programs are missing.
faltam=""
for programa in Xvfb openbox xdotool xprop import; do
    command -v "$programa" >/dev/null || faltam="$faltam $programa"
done
if [ -z "$faltam" ]; then
    python3 "$aqui/tela_hospedada.py" --wine "$wine" --windows "$windows" --dados "$linux/Dados" \
        --capturas "$(dirname "$windows")/capturas/hospedada" || falhou "a tela de digitação"
    # The desktop program, kova.exe: its main window, a slip typed and saved, a refused amount,
    # the exit question, a file imported from the command line (shell/win32/tests).
    python3 "$aqui/../../shell/win32/tests/kova_windows.py" --wine "$wine" --windows "$windows" \
        --dados "$linux/Dados" --capturas "$(dirname "$windows")/capturas/programa" \
        --gerador "$aqui/../../bench/gera_incorporacao.py" || falhou "o programa kova.exe"
else
    echo "-- tela de digitação não testada: faltam$faltam"
fi

# Printing through wine's print system, in this prefix (skipped where no private print
# scheduler can run).
status=0
"$aqui/windows_impressao.sh" "$linux" "$windows" "$wine" "$WINEPREFIX" || status=$?
[ "$status" -eq 0 ] || [ "$status" -eq 77 ] || falhou "impressão"

# The installation package, in a prefix of its own.
if [ -n "${KOVA_MSI:-}" ]; then
    echo "-- pacote de instalação"
    status=0
    "$aqui/msi_teste.sh" "$KOVA_MSI" "$windows" "$linux" "$wine" ${KOVA_MSI_32:+"$KOVA_MSI_32"} || status=$?
    [ "$status" -eq 0 ] || [ "$status" -eq 77 ] || falhou "pacote de instalação"
fi
