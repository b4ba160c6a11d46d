# A private CUPS scheduler with cups-pdf queues, for the tests that print on a real queue (sourced
# by sh scripts). Its configuration, spool, socket and output folders live in one folder of the
# test, never the system's; CUPS_SERVER points the programs at it.
#
# cups-pdf reads its settings from /etc/cups whatever the scheduler's ServerRoot: the scheduler
# runs in a mount namespace of its own where a private folder stands in for /etc/cups, so that the
# PDF files land in the test's folder. That needs root, as the cups-pdf backend does.
#
# The caller defines falha (fails the test) and pula (skips it, status 77) and a variable pids,
# the processes its exit trap ends.

# Whether this machine can run the private scheduler; skips the test otherwise.
fila_privada_possivel() {
    [ "$(id -u)" -eq 0 ] || pula "cups-pdf só imprime com o escalonador iniciado como root"
    for p in cupsd lpadmin lpstat cupsenable cupsdisable unshare mount pdfinfo; do
        command -v "$p" >/dev/null || pula "falta $p"
    done
    [ -x /usr/lib/cups/backend/cups-pdf ] || pula "falta o backend cups-pdf"
    [ -f /usr/share/ppd/cups-pdf/CUPS-PDF_noopt.ppd ] || pula "falta o PPD do cups-pdf"
    unshare -m true 2>/dev/null || pula "sem espaço de montagem próprio (unshare -m)"
}

# inicia_fila_privada <folder> <queue>...: the scheduler in <folder> with one cups-pdf queue per
# name, each writing its PDF files into <folder>/<queue>; the first is the default.
inicia_fila_privada() {
    _d=$1
    shift
    mkdir -p "$_d/conf" "$_d/etc" "$_d/spool/tmp" "$_d/cache" "$_d/state" "$_d/log"
    cat >"$_d/conf/cupsd.conf" <<FIM
Listen $_d/cups.sock
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
FIM
    cat >"$_d/conf/cups-files.conf" <<FIM
ServerRoot $_d/conf
RequestRoot $_d/spool
TempDir $_d/spool/tmp
CacheDir $_d/cache
StateDir $_d/state
ErrorLog $_d/log/error_log
AccessLog $_d/log/access_log
PageLog $_d/log/page_log
Printcap $_d/printcap
ServerBin /usr/lib/cups
DataDir /usr/share/cups
User lp
Group lp
SystemGroup root
FIM
    # What cups-pdf reads, in the scheduler's own /etc/cups: one output folder per queue (the file
    # named after the queue's device, cups-pdf:/NAME), and a spool of its own: another copy of the
    # test beside this one numbers its jobs from 1 too.
    mkdir -p "$_d/spool-pdf"
    for _f in "$@"; do
        mkdir -p "$_d/$_f"
        printf 'Out %s\nAnonDirName %s\nSpool %s\nLabel 2\nLog %s\nGrp root\n' "$_d/$_f" "$_d/$_f" \
            "$_d/spool-pdf" "$_d/log" >"$_d/etc/cups-pdf-$_f.conf"
    done
    cp "$_d/etc/cups-pdf-$1.conf" "$_d/etc/cups-pdf.conf"
    unshare -m sh -c 'mount --bind "$1" /etc/cups && exec cupsd -f -c "$2/cupsd.conf" -s "$2/cups-files.conf"' \
        - "$_d/etc" "$_d/conf" >"$_d/log/cupsd.out" 2>&1 &
    _cupsd=$!
    pids="$pids $_cupsd"
    export CUPS_SERVER="$_d/cups.sock"
    # However slow the machine, the scheduler is waited for while it lives.
    until lpstat -r 2>/dev/null | grep -q "is running"; do
        kill -0 "$_cupsd" 2>/dev/null || { cat "$_d/log/cupsd.out"; falha "o escalonador próprio não iniciou"; }
        sleep 0.1
    done
    for _f in "$@"; do
        lpadmin -p "$_f" -E -v "cups-pdf:/$_f" -P /usr/share/ppd/cups-pdf/CUPS-PDF_noopt.ppd 2>/dev/null ||
            falha "lpadmin $_f"
    done
    lpadmin -d "$1" || falha "lpadmin -d"
    # Programs that print (Qt's) want a private runtime folder.
    mkdir -m 700 "$_d/run"
    export XDG_RUNTIME_DIR="$_d/run"
}

# encerra_fila_privada <exit status> <folder>: for the test's exit trap. Ends the scheduler and
# the other processes in pids, shows the scheduler's log when the test failed, removes the folder.
encerra_fila_privada() {
    for p in $pids; do kill "$p" 2>/dev/null || true; done
    for p in $pids; do wait "$p" 2>/dev/null || true; done
    [ "$1" -eq 0 ] || { echo "--- cupsd"; tail -n 30 "$2/log/error_log" 2>/dev/null || true; }
    rm -rf "$2"
}

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
