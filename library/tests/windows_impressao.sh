#!/bin/sh
# The Windows library's imprime as a Windows host program uses it, under wine, on a real print
# queue: wine hands the GDI job to a private CUPS scheduler (programs/tests/fila_privada.sh), whose
# cups-pdf queue is wine's default printer once CUPS_SERVER names its socket.
#
#   windows_impressao.sh <Linux build's bin> <Windows build's bin> <wine command> [wine prefix]
#
# A wine prefix already made (the other Windows test's) saves making one.
#
# The host (through the tests' variant of the DLL, whose clock it sets) stores a slip with kova2 and
# prints it: imprime answers 000 and the queue writes one A4
# page. The Linux library lays out the same slip, and the two pages must be the same
# (library/tests/compara_paginas.py): the symbol of copies 1 and 3 read by zbarimg as the
# stored 44 digits, the typeable line and the amounts in the text, every word at the same place.
# Then a queue that takes no jobs, and a machine without printers: 001 and the reason, nothing
# printed. Needs root, as the scheduler does (status 77 elsewhere).
set -eu
linux=$1
windows=$2
wine=$3
prefixo=${4:-}
aqui=$(cd "$(dirname "$0")" && pwd)
momento="15/06/2026 10:00:00"

pula() {
    echo "impressão no Windows: pulada ($*)"
    exit 77
}
falha() {
    echo "FALHA: impressão no Windows: $*" >&2
    exit 1
}
. "$aqui/../../programs/tests/fila_privada.sh"
fila_privada_possivel
for p in zbarimg pdftotext pdftoppm python3 iconv; do
    command -v "$p" >/dev/null || pula "falta $p"
done

dir=$(mktemp -d /tmp/kova-windows-fila-XXXXXX)
chmod 755 "$dir"
pids=""
limpa() {
    status=$?
    [ -z "${WINEPREFIX:-}" ] || wineserver -k >/dev/null 2>&1 || true
    encerra_fila_privada "$status" "$dir"
    exit "$status"
}
trap limpa EXIT
trap 'exit 1' INT TERM

inicia_fila_privada "$dir" KOVA_PDF

export WINEPREFIX="${prefixo:-$dir/prefixo}" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
[ -n "$prefixo" ] || "$wine" wineboot --init >/dev/null 2>&1 || true
c="$WINEPREFIX/drive_c"
[ -d "$c/windows" ] || falha "wine não criou o prefixo"
# The page's fonts, which Windows has: wine draws them with their metric twins, as Linux does.
printf 'REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Wine\\Fonts\\Replacements]\r\n%s\r\n%s\r\n%s\r\n' \
    '"Arial"="Liberation Sans"' '"Arial Narrow"="Liberation Sans Narrow"' '"Courier New"="Liberation Mono"' >"$dir/fontes.reg"
"$wine" regedit "$(winepath -w "$dir/fontes.reg" 2>/dev/null)" >/dev/null 2>&1 || falha "fontes no registro"

rm -rf "$c/kova"
mkdir -p "$c/kova/prog" "$dir/linux/win"
cp "$windows/kovadll_teste.dll" "$windows/DllInscE32.Dll" "$windows/kova_hospedeiro_lote.exe" "$c/kova/prog/"
cp -r "$linux/Dados" "$c/kova/"
cp -r "$linux/Dados" "$dir/linux/"
printf '[KOVA]\r\nDirDados=C:\\kova\\Dados\r\n' >"$c/windows/KOVA.INI"
printf '[KOVA]\r\nDirDados=%s/linux/Dados\r\n' "$dir" >"$dir/linux/win/KOVA.INI"
# A slip of a state whose copies 1 and 3 carry the symbol, with accented texts.
printf '%s\r\n' "VERSAO=1;UFFAVORECIDA=AC;RECEITA=600016;CICCONTRIBUINTE=84310384000139;DOCUMENTOORIGEM=7961450662;REFERENCIA=1052026;VALORPRINCIPAL=12004,83;DATAVENCIMENTO=06/05/2026;RAZAOSOCIAL=COMÉRCIO ÍNDIO ÔMEGA;ENDERECO=RUA DAS FLORES, 943;MUNICIPIO=São Paulo;UF=SP;CEP=90712-378;TELEFONE=7139888287;JUROS=5859,46;MULTA=1152,60;TOTALRECOLHER=19016,89" |
    iconv -f utf-8 -t cp1252 >"$c/kova/imprimir.txt"

# ImprimeWindows <replies>: the host prints the slip under wine.
ImprimeWindows() {
    (cd "$c/kova/prog" && "$wine" kova_hospedeiro_lote.exe kovadll_teste.dll 'C:\kova\imprimir.txt' "C:\\kova\\$1" \
        "$momento" --imprime >/dev/null) || falha "o programa hospedeiro não imprimiu"
    iconv -f cp1252 -t utf-8 "$c/kova/$1"
}
# The page the queue wrote, moved to the given name.
Pagina() {
    espera "$dir/KOVA_PDF" 1
    mv "$dir"/KOVA_PDF/*.pdf "$dir/$1"
}

resposta=$(ImprimeWindows impresso.txt)
echo "$resposta" | grep -qx 'imprime=000' || falha "imprime: $resposta"
codigo=$(echo "$resposta" | sed -n 's/^codigo=//p')
echo "$codigo" | grep -Eqx '[0-9]{44}' || falha "kova2 não guardou a KOVA: $resposta"
Pagina windows.pdf

# The Linux library's page of the same slip as its painter writes it, on a machine without a
# printer (a queue's own conversions would leave its text unreadable to pdftotext).
KOVA_WINDIR="$dir/linux/win" KOVA_SYSDIR="$dir/linux/win" CUPS_SERVER="$dir/nenhum.sock" QT_QPA_PLATFORM=offscreen \
    "$linux/kova_hospedeiro_lote" "$linux/libkovadll_teste.so" "$c/kova/imprimir.txt" "$dir/linux.txt" "$momento" \
    --imprime >/dev/null || falha "o programa hospedeiro no Linux"
grep -qx 'imprime=000' "$dir/linux.txt" || falha "imprime no Linux: $(cat "$dir/linux.txt")"
grep -qx "codigo=$codigo" "$dir/linux.txt" || falha "as KOVA diferem: $(cat "$dir/linux.txt")"
python3 "$aqui/compara_paginas.py" "$dir/windows.pdf" "$dir"/linux/Dados/Impressoes/KOVA_*.pdf "$codigo" ||
    falha "a página difere da do Linux"

# A queue that takes no jobs, then no printer at all: nothing printed, the reason told.
cupsreject KOVA_PDF
resposta=$(ImprimeWindows recusada.txt)
echo "$resposta" | grep -qx 'imprime=001KOVA não incluida' || falha "imprime com a fila recusando: $resposta"
echo "$resposta" | grep -q '^erro=A impressora "KOVA_PDF" recusou a impressão' || falha "motivo: $resposta"
lpadmin -x KOVA_PDF
resposta=$(ImprimeWindows sem_impressora.txt)
echo "$resposta" | grep -qx 'imprime=001KOVA não incluida' || falha "imprime sem impressora: $resposta"
echo "$resposta" | grep -qx 'erro=Não há impressora instalada: a KOVA não foi impressa' || falha "motivo: $resposta"
[ -z "$(find "$dir/KOVA_PDF" -name '*.pdf')" ] || falha "a fila que recusava imprimiu"
echo "impressão no Windows: fila recusando e máquina sem impressora respondem 001 com o motivo"
