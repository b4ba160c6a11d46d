#!/bin/sh
# kovacli incorporar when the slips cannot be written: the failure is told once, in Portuguese, as
# not saved (nothing says "incorporadas com sucesso"), the status is 4, the slips file on disk is
# the previous one and the directory loads. Two ways: the file size limited below what the save
# needs (everywhere), and a really full disk (a small tmpfs, where this machine lets us mount one).
set -eu
kovacli=$1; dados=$2; gerador=$3
dir=$(mktemp -d)
montado=""
trap 'if [ -n "$montado" ]; then umount "$montado"; fi; rm -rf "$dir"' EXIT
export QT_QPA_PLATFORM=offscreen KOVA_WINDIR="$dir" KOVA_SYSDIR="$dir"
: > "$dir/vazio.txt"

confere() {  # program folder, expected cause[, largest file in blocks of 512 bytes]
    prog=$1; causa=$2; limite=${3:-unlimited}
    antes=$(cksum < "$prog/Dados/KOVA.cds")
    status=0
    (
        trap '' XFSZ
        ulimit -f "$limite"
        exec "$kovacli" incorporar "$dir/k.txt" --programa "$prog" --sem-impressao
    ) > "$dir/saida.txt" 2> "$dir/erro.txt" || status=$?
    [ "$status" -eq 4 ] || { echo "status $status"; cat "$dir/saida.txt" "$dir/erro.txt"; exit 1; }
    [ "$(grep -c 'Erro ao gravar' "$dir/erro.txt")" -eq 1 ] || { echo "told more than once"; cat "$dir/erro.txt"; exit 1; }
    grep -q "KOVA.cds: $causa" "$dir/erro.txt" || { echo "expected '$causa'"; cat "$dir/erro.txt"; exit 1; }
    grep -q "KOVA deste arquivo não foram incorporadas" "$dir/erro.txt"
    ! grep -q "incorporadas com sucesso" "$dir/saida.txt" "$dir/erro.txt"
    ! grep -qi "no space\|such file\|denied" "$dir/erro.txt"
    grep -q "0 KOVA incorporadas" "$dir/erro.txt"
    [ "$(cksum < "$prog/Dados/KOVA.cds")" = "$antes" ]
    ! ls "$prog/Dados" | grep -q '\.novo'
}

python3 "$gerador" 3 > "$dir/k.txt"
mkdir -p "$dir/a"
cp -r "$dados" "$dir/a/Dados"
confere "$dir/a" "falha de gravação no disco" $(( $(wc -c < "$dir/a/Dados/KOVA.cds") / 512 ))
"$kovacli" incorporar "$dir/k.txt" --programa "$dir/a" --sem-impressao > /dev/null 2>&1

mkdir -p "$dir/cheio"
if [ "$(id -u)" -eq 0 ] && mount -t tmpfs -o size=320k tmpfs "$dir/cheio" 2> /dev/null; then
    montado="$dir/cheio"
    cp -r "$dados" "$dir/cheio/Dados"
    python3 "$gerador" 3000 > "$dir/k.txt"
    confere "$dir/cheio" "o disco está cheio"
    "$kovacli" incorporar "$dir/vazio.txt" --programa "$dir/cheio" --sem-impressao > /dev/null 2>&1
    echo "ok (full disk on a tmpfs of 320 KiB)"
else
    echo "ok (no tmpfs could be mounted here: the full-disk part was not run)"
fi
