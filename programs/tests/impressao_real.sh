#!/bin/sh
# Printing on a real print queue. A private CUPS scheduler (its own configuration folder, spool and
# socket, never the system's) gets two cups-pdf queues, KOVA_PDF as the default. The slips go
# through the real paths: the library's imprime, the desktop's print list (its "Configurar" too),
# and the unattended "kova FILE.txt" on a virtual display. What the queues write must be one A4
# page per printed slip whose symbols read back, with zbarimg, as that slip's 44 digits; a slip is
# marked only when the queue took it, and a stopped queue prints and marks nothing.
#
# cups-pdf reads its settings from /etc/cups whatever the scheduler's ServerRoot: the scheduler
# runs in a mount namespace of its own where a private folder stands in for /etc/cups, so that the
# PDF files land in this test's folder. That needs root, as the cups-pdf backend does; elsewhere
# the test is skipped (status 77).
set -eu
bin=$1
gerador=$2

pula() {
    echo "SKIP: $*"
    exit 77
}
[ "$(id -u)" -eq 0 ] || pula "cups-pdf só imprime com o escalonador iniciado como root"
for p in cupsd lpadmin lpstat cupsenable cupsdisable unshare mount pdfinfo pdftoppm zbarimg sqlite3 Xvfb \
    openbox xdotool python3; do
    command -v "$p" >/dev/null || pula "falta $p"
done
[ -x /usr/lib/cups/backend/cups-pdf ] || pula "falta o backend cups-pdf"
ppd=/usr/share/ppd/cups-pdf/CUPS-PDF_noopt.ppd
[ -f "$ppd" ] || pula "falta $ppd"
unshare -m true 2>/dev/null || pula "sem espaço de montagem próprio (unshare -m)"

dir=$(mktemp -d /tmp/kova-fila-XXXXXX)
chmod 755 "$dir"
pids=""
limpa() {
    status=$?
    for p in $pids; do kill "$p" 2>/dev/null || true; done
    for p in $pids; do wait "$p" 2>/dev/null || true; done
    [ "$status" -eq 0 ] || { echo "--- cupsd"; tail -n 30 "$dir/log/error_log" 2>/dev/null || true; }
    rm -rf "$dir"
    exit "$status"
}
trap limpa EXIT
trap 'exit 1' INT TERM
falha() {
    echo "FALHOU: $*"
    exit 1
}

mkdir -p "$dir/spool-pdf" "$dir/conf" "$dir/etc" "$dir/spool/tmp" "$dir/cache" "$dir/state" "$dir/log" "$dir/padrao" "$dir/outra"
cat >"$dir/conf/cupsd.conf" <<EOF
Listen $dir/cups.sock
LogLevel info
WebInterface No
Browsing No
DefaultAuthType None
<Location />
  Order allow,deny
  Allow all
</Location>
<Policy default>
  <Limit All>
    Order deny,allow
  </Limit>
</Policy>
EOF
cat >"$dir/conf/cups-files.conf" <<EOF
ServerRoot $dir/conf
RequestRoot $dir/spool
TempDir $dir/spool/tmp
CacheDir $dir/cache
StateDir $dir/state
ErrorLog $dir/log/error_log
AccessLog $dir/log/access_log
PageLog $dir/log/page_log
Printcap $dir/printcap
ServerBin /usr/lib/cups
DataDir /usr/share/cups
User lp
Group lp
SystemGroup root
EOF
# What cups-pdf reads, in the scheduler's own /etc/cups: one output folder per queue (the file
# named after the queue's device, cups-pdf:/NAME).
for fila in padrao outra; do
    cat >"$dir/etc/cups-pdf-$fila.conf" <<EOF
Out $dir/$fila
AnonDirName $dir/$fila
Spool $dir/spool-pdf
Label 2
Log $dir/log
Grp root
EOF
done
mv "$dir/etc/cups-pdf-padrao.conf" "$dir/etc/cups-pdf-KOVA_PDF.conf"
mv "$dir/etc/cups-pdf-outra.conf" "$dir/etc/cups-pdf-KOVA_OUTRA.conf"
cp "$dir/etc/cups-pdf-KOVA_PDF.conf" "$dir/etc/cups-pdf.conf"

unshare -m sh -c 'mount --bind "$1" /etc/cups && exec cupsd -f -c "$2/cupsd.conf" -s "$2/cups-files.conf"' \
    - "$dir/etc" "$dir/conf" >"$dir/log/cupsd.out" 2>&1 &
pids="$pids $!"
cupsd_pid=$!
export CUPS_SERVER="$dir/cups.sock"
mkdir -m 700 "$dir/run"
export XDG_RUNTIME_DIR="$dir/run"
until lpstat -r 2>/dev/null | grep -q "is running"; do
    kill -0 $cupsd_pid 2>/dev/null || { cat "$dir/log/cupsd.out"; falha "o escalonador próprio não iniciou"; }
    sleep 0.1
done
for fila in KOVA_PDF KOVA_OUTRA; do
    lpadmin -p "$fila" -E -v "cups-pdf:/$fila" -P "$ppd" 2>/dev/null || falha "lpadmin $fila"
done
lpadmin -d KOVA_PDF || falha "lpadmin -d"

# Whether every PDF file of the folder is complete (cups-pdf writes it in place).
completos() {
    for pdf in "$1"/*.pdf; do
        [ -e "$pdf" ] || continue
        pdfinfo "$pdf" >/dev/null 2>&1 || return 1
    done
}

# Waits until the folder holds n complete PDF files and no job is left in any queue.
espera() {
    t=0
    while :; do
        feitos=$(find "$1" -name '*.pdf' | wc -l)
        if [ "$feitos" -ge "$2" ] && [ -z "$(lpstat -o 2>/dev/null)" ] && completos "$1"; then break; fi
        t=$((t + 1))
        [ $t -lt 3000 ] || falha "$1: $feitos de $2 arquivos da fila"
        sleep 0.1
    done
    [ "$feitos" -eq "$2" ] || falha "$1: $feitos arquivos, esperados $2: $(ls "$1")"
}

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

limpa_saidas() { rm -f "$dir"/padrao/*.pdf "$dir"/outra/*.pdf; }

# --- The library's imprime: the job on the default queue, no PDF file of its own.
"$bin/kova_imprime_teste" >"$dir/biblioteca.txt"
grep -q '^imprime=000$' "$dir/biblioteca.txt" || falha "imprime: $(cat "$dir/biblioteca.txt")"
sed -n 's/^codigo=//p' "$dir/biblioteca.txt" >"$dir/esperados"
pastaPDF=$(sed -n 's/^pdf=//p' "$dir/biblioteca.txt")
espera "$dir/padrao" 1
confere "$dir/padrao" "$dir/esperados"
[ ! -d "$pastaPDF" ] || [ -z "$(ls "$pastaPDF")" ] || falha "imprime gravou PDF com uma impressora instalada"
rm -rf "$(dirname "$pastaPDF")"
limpa_saidas
echo "ok: imprime da biblioteca na fila padrão"

# --- The desktop's print list, off screen: "Todos" on the default queue, then the printer chosen
# in the main window's "Configurar impressora".
KOVA_FILA_REAL=$dir KOVA_CUPS_SERVER=$CUPS_SERVER QT_QPA_PLATFORM=offscreen \
    "$bin/kova_shell_tests" --gtest_filter='ImpressaoReal.*' >"$dir/mesa.txt" 2>&1 ||
    { cat "$dir/mesa.txt"; falha "lista de impressão"; }
espera "$dir/padrao" 2
espera "$dir/outra" 1
confere "$dir/padrao" "$dir/padrao.txt"
confere "$dir/outra" "$dir/outra.txt"
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
openbox --sm-disable >"$dir/log/openbox.log" 2>&1 </dev/null &
openbox=$!
pids="$pids $openbox"
# A window the program maps while the window manager is still starting may never be shown.
until xprop -root _OPENBOX_PID 2>/dev/null | grep -q "= $openbox\$"; do
    kill -0 $openbox 2>/dev/null || { cat "$dir/log/openbox.log"; falha "o openbox terminou ao iniciar"; }
    sleep 0.1
done
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
[ -z "$(find "$dir/padrao" -name '*.pdf')" ] || falha "a fila parada imprimiu"
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
espera "$dir/padrao" 3
confere "$dir/padrao" "$dir/esperados"
echo "ok: kova ARQUIVO.txt imprime uma página por KOVA na fila padrão"
if [ -n "${KOVA_PAGINA_IMPRESSA:-}" ]; then
    pdftoppm -r 100 -png -singlefile 2>/dev/null "$(find "$dir/padrao" -name '*.pdf' | head -n 1)" "$KOVA_PAGINA_IMPRESSA"
fi
