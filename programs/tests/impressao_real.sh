#!/bin/sh
# Printing on a real print queue. A private CUPS scheduler (its own configuration folder, spool and
# socket, never the system's) gets two cups-pdf queues, KOVA_PDF as the default. The slips go
# through the real paths: the library's imprime, the desktop's print list (its "Configurar" too),
# and the unattended "kova FILE.txt" on a virtual display. What the queues write must be one A4
# page per printed slip whose symbols read back, with zbarimg, as that slip's 44 digits; a slip is
# marked only when the queue took it, and a stopped queue prints and marks nothing.
#
# The scheduler is that of fila_privada.sh, which needs root: elsewhere the test is skipped
# (status 77).
set -eu
bin=$1
gerador=$2

pula() {
    echo "SKIP: $*"
    exit 77
}
. "$(dirname "$0")/fila_privada.sh"
fila_privada_possivel
for p in pdftoppm zbarimg sqlite3 Xvfb openbox xdotool python3; do
    command -v "$p" >/dev/null || pula "falta $p"
done

dir=$(mktemp -d /tmp/kova-fila-XXXXXX)
chmod 755 "$dir"
pids=""
limpa() {
    status=$?
    encerra_fila_privada "$status" "$dir"
    exit "$status"
}
trap limpa EXIT
trap 'exit 1' INT TERM
falha() {
    echo "FALHOU: $*"
    exit 1
}

inicia_fila_privada "$dir" KOVA_PDF KOVA_OUTRA

# Every file of the folder is one A4 page whose symbols all read as one of the expected contents,
# and every expected content was printed: checks a folder against a file of contents.
confere() {
    pasta=$1
    esperados=$2
    : >"$dir/lidos"
    for pdf in "$pasta"/*.pdf; do
        info=$(pdfinfo "$pdf")
        echo "$info" | grep -q '^Pages: *1$' || falha "$pdf: não é uma página"
        echo "$info" | grep -Eq '^Page size: *595(\.[0-9]+)? x 841(\.[0-9]+)?|^Page size: *595(\.[0-9]+)? x 842' ||
            falha "$pdf: não é A4 ($(echo "$info" | grep 'Page size'))"
        pdftoppm -r 200 -gray -png "$pdf" "$dir/pagina" 2>/dev/null
        lidos=$(zbarimg -q --raw -Sdisable -Si25.enable "$dir"/pagina*.png | sort -u)
        rm -f "$dir"/pagina*.png
        [ -n "$lidos" ] || falha "$pdf: nenhum símbolo lido"
        [ "$(echo "$lidos" | wc -l)" -eq 1 ] || falha "$pdf: símbolos diferentes na mesma página: $lidos"
        echo "$lidos" | grep -Eq '^[0-9]{44}$' || falha "$pdf: símbolo lido não tem 44 dígitos: $lidos"
        echo "$lidos" >>"$dir/lidos"
    done
    sort "$dir/lidos" >"$dir/lidos.ord"
    sort "$esperados" >"$dir/esperados.ord"
    cmp -s "$dir/lidos.ord" "$dir/esperados.ord" ||
        falha "$pasta: símbolos lidos $(tr '\n' ' ' <"$dir/lidos.ord"), impressos $(tr '\n' ' ' <"$dir/esperados.ord")"
}

limpa_saidas() { rm -f "$dir"/KOVA_PDF/*.pdf "$dir"/KOVA_OUTRA/*.pdf; }

# --- The library's imprime: the job on the default queue, no PDF file of its own.
"$bin/kova_imprime_teste" >"$dir/biblioteca.txt"
grep -q '^imprime=000$' "$dir/biblioteca.txt" || falha "imprime: $(cat "$dir/biblioteca.txt")"
sed -n 's/^codigo=//p' "$dir/biblioteca.txt" >"$dir/esperados"
pastaPDF=$(sed -n 's/^pdf=//p' "$dir/biblioteca.txt")
espera "$dir/KOVA_PDF" 1
confere "$dir/KOVA_PDF" "$dir/esperados"
[ ! -d "$pastaPDF" ] || [ -z "$(ls "$pastaPDF")" ] || falha "imprime gravou PDF com uma impressora instalada"
rm -rf "$(dirname "$pastaPDF")"
limpa_saidas
echo "ok: imprime da biblioteca na fila padrão"

# --- The desktop's print list, off screen: "Todos" on the default queue, then the printer chosen
# in the main window's "Configurar impressora".
KOVA_FILA_REAL=$dir KOVA_CUPS_SERVER=$CUPS_SERVER QT_QPA_PLATFORM=offscreen \
    "$bin/kova_shell_tests" --gtest_filter='ImpressaoReal.*' >"$dir/mesa.txt" 2>&1 ||
    { cat "$dir/mesa.txt"; falha "lista de impressão"; }
espera "$dir/KOVA_PDF" 2
espera "$dir/KOVA_OUTRA" 1
confere "$dir/KOVA_PDF" "$dir/padrao.txt"
confere "$dir/KOVA_OUTRA" "$dir/outra.txt"
limpa_saidas
echo "ok: lista de impressão na fila padrão e na escolhida em Configurar"

# --- The unattended import of the desktop program, on a virtual display: its messages are
# answered with Enter as a person would.
mkdir -p "$dir/win" "$dir/imp"
cp -r "$bin/Dados" "$dir/Dados"
printf '[KOVA]\r\nDirDados=%s/Dados/\r\n' "$dir" >"$dir/win/KOVA.INI"
# Slips for Acre, a state whose copies carry the symbol (Sao Paulo's print without it).
tab=$(printf '\t')
gera() { python3 "$gerador" 3 | sed "s/^SP$tab/AC$tab/" >"$dir/imp/k.txt"; }
gera
# A display and a window manager of this test's own: a number far from the ones programs guess,
# another one tried when it is taken; the window manager is ours when it names its process on the
# root window.
for tentativa in 1 2 3 4 5 6 7 8 9 10; do
    numero=$(( $(od -An -N2 -tu2 /dev/urandom) % 29800 + 200 ))
    : >"$dir/display"
    exec 3>"$dir/display"
    Xvfb ":$numero" -displayfd 3 -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
    xvfb=$!
    exec 3>&-
    while [ ! -s "$dir/display" ] && kill -0 $xvfb 2>/dev/null; do sleep 0.1; done
    if [ -s "$dir/display" ]; then
        pids="$pids $xvfb"
        break
    fi
    wait $xvfb 2>/dev/null || true
done
[ -s "$dir/display" ] || falha "nenhum display livre para o Xvfb"
export DISPLAY=":$numero"
unset SESSION_MANAGER DBUS_SESSION_BUS_ADDRESS XAUTHORITY
# A window the program maps while the window manager is still starting may never be shown. On a
# busy machine openbox may give up on a display that has just started: it is started again.
for tentativa in 1 2 3; do
    openbox --sm-disable >>"$dir/log/openbox.log" 2>&1 </dev/null &
    openbox=$!
    until xprop -root _OPENBOX_PID 2>/dev/null | grep -q "= $openbox\$"; do
        kill -0 $openbox 2>/dev/null || break
        sleep 0.1
    done
    kill -0 $openbox 2>/dev/null && break
    wait $openbox 2>/dev/null || true
    kill -0 $xvfb 2>/dev/null || falha "o Xvfb terminou"
done
kill -0 $openbox 2>/dev/null || { cat "$dir/log/openbox.log"; falha "o openbox terminou ao iniciar"; }
pids="$pids $openbox"
importa() {
    KOVA_WINDIR="$dir/win/" KOVA_SYSDIR="$dir/win/" "$bin/kova" "$dir/imp/k.txt" >"$dir/kova.out" 2>&1 &
    kova=$!
    : >"$dir/caixas"
    t=0
    caminho=""
    while kill -0 $kova 2>/dev/null; do
        # The program shows first which file it imports, in a box titled like its main window:
        # the narrower of the two.
        if [ -z "$caminho" ]; then
            janelas=$(xdotool search --onlyvisible --name '^KOVA - Fennolar$' 2>/dev/null || true)
            if [ "$(echo "$janelas" | grep -c .)" -ge 2 ]; then
                caixa=$(for w in $janelas; do
                    echo "$(xdotool getwindowgeometry "$w" | sed -n 's/.*Geometry: \([0-9]*\)x.*/\1/p') $w"
                done | sort -n | head -1 | cut -d' ' -f2)
                xdotool windowactivate --sync "$caixa" key Return 2>/dev/null || true
                caminho=1
            fi
        fi
        for w in $(xdotool search --onlyvisible --name '^(Informação|Erro|Aviso|Confirmação)$' 2>/dev/null); do
            echo "$(xdotool getwindowname "$w")" >>"$dir/caixas"
            xdotool windowactivate --sync "$w" key Return 2>/dev/null || true
        done
        t=$((t + 1))
        if [ $t -ge 3000 ]; then
            for w in $(xdotool search --name '.' 2>/dev/null); do
                echo "janela: $(xdotool getwindowname "$w") $(xdotool getwindowgeometry "$w" | tr '\n' ' ')" >&2
            done
            echo "caminho=$caminho caixas: $(cat "$dir/caixas" | tr '\n' ' ')" >&2
            ps -o pid,stat,etime,cmd -C openbox -C Xvfb -C kova >&2 || true
            cat "$dir/kova.out" >&2
            kill $kova
            falha "kova ARQUIVO.txt não terminou"
        fi
        sleep 0.1
    done
    set +e
    wait $kova
    echo $? >"$dir/kova.status"
    set -e
}
situacoes() { sqlite3 "$dir/Dados/KOVA.cds" "select Situacao from registros order by IdKOVA" | tr -d '\n'; }

# A stopped queue first: nothing printed, nothing marked, the reason told.
cupsdisable KOVA_PDF
importa
[ "$(cat "$dir/kova.status")" -ne 0 ] || falha "kova com a fila parada terminou como se tivesse impresso"
# (the first one was re-encoded by the refused run: changed, not printed)
situacoes | grep -q I && falha "com a fila parada as KOVA ficaram '$(situacoes)'"
grep -q '^Erro$' "$dir/caixas" || falha "com a fila parada nenhuma mensagem de erro"
[ -z "$(find "$dir/KOVA_PDF" -name '*.pdf')" ] || falha "a fila parada imprimiu"
"$bin/kova_imprime_teste" >"$dir/biblioteca.txt"
grep -q '^imprime=001KOVA n' "$dir/biblioteca.txt" || falha "imprime com a fila parada: $(cat "$dir/biblioteca.txt")"
grep -q '^erro=A impressora "KOVA_PDF" est' "$dir/biblioteca.txt" || falha "imprime: $(cat "$dir/biblioteca.txt")"
rm -rf "$(dirname "$(sed -n 's/^pdf=//p' "$dir/biblioteca.txt")")"
KOVA_FILA_REAL=$dir KOVA_FILA_PARADA=1 KOVA_CUPS_SERVER=$CUPS_SERVER QT_QPA_PLATFORM=offscreen \
    "$bin/kova_shell_tests" --gtest_filter='ImpressaoReal.*' >"$dir/mesa.txt" 2>&1 ||
    { cat "$dir/mesa.txt"; falha "lista de impressão com a fila parada"; }
lpstat -o | grep -q . && falha "a fila parada ficou com trabalhos: $(lpstat -o)"
cupsenable KOVA_PDF
echo "ok: fila parada não imprime nem marca"

# Then the queue running: the slips of that import are still unprinted; a new import prints its
# own three, one page each, and marks them.
gera
importa
[ "$(cat "$dir/kova.status")" -eq 0 ] || { cat "$dir/kova.out"; falha "kova ARQUIVO.txt: status $(cat "$dir/kova.status")"; }
situacoes | grep -Eq '^[NA]{3}III$' || falha "depois da impressão as KOVA ficaram '$(situacoes)'"
[ ! -e "$dir/imp/k.pdf" ] || falha "com impressora, a importação gravou k.pdf"
sqlite3 "$dir/Dados/KOVA.cds" "select CodigoBarra from registros where Situacao = 'I'" >"$dir/esperados"
espera "$dir/KOVA_PDF" 3
confere "$dir/KOVA_PDF" "$dir/esperados"
echo "ok: kova ARQUIVO.txt imprime uma página por KOVA na fila padrão"
if [ -n "${KOVA_PAGINA_IMPRESSA:-}" ]; then
    pdftoppm -r 100 -png -singlefile 2>/dev/null "$(find "$dir/KOVA_PDF" -name '*.pdf' | head -n 1)" "$KOVA_PAGINA_IMPRESSA"
fi
