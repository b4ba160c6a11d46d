#!/bin/sh
# Years of slips outlive a damaged slips file. The first save of a day keeps a copy of the file as
# the last day it changed left it (Copias/ of the data directory, private); `kovacli restaurar`
# lists the copies with what each holds and puts one back, the replaced file kept aside. Then an
# import is killed before each of its steps in turn and the journal it leaves is deleted, as a
# person tidying the folder would: whenever that leaves a file the programs cannot read, the
# message says where the copies are and how to restore one, and the restore gives the directory
# back with yesterday's slips.
set -eu
kovacli=$1; dados=$2; gerador=$3; mata=$4
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
export QT_QPA_PLATFORM=offscreen KOVA_WINDIR="$dir/" KOVA_SYSDIR="$dir/"
mkdir -p "$dir/p"
cp -r "$dados" "$dir/p/Dados"
python3 "$gerador" 5 > "$dir/cinco.txt"
python3 "$gerador" 1 > "$dir/uma.txt"
: > "$dir/vazio.txt"

kovas() {  # the number of slips of a slips file
    python3 -c 'import sqlite3, sys
print(sqlite3.connect(sys.argv[1]).execute("SELECT count(*) FROM registros").fetchone()[0])' "$1"
}

"$kovacli" incorporar "$dir/cinco.txt" --programa "$dir/p" --sem-impressao 2> /dev/null
[ ! -e "$dir/p/Dados/Copias" ]
# The five slips were imported yesterday; today's first save copies the file as it was then.
touch -d "yesterday 12:00" "$dir/p/Dados/KOVA.cds"
ontem=$(date -d yesterday +%d/%m/%Y)
copia="$dir/p/Dados/Copias/KOVA-$(date -d yesterday +%Y-%m-%d).cds"
"$kovacli" incorporar "$dir/uma.txt" --programa "$dir/p" --sem-impressao 2> /dev/null
[ -f "$copia" ] || { echo "no copy of $ontem"; ls -la "$dir/p/Dados"; exit 1; }
[ "$(stat -c %a "$copia")" = 600 ]
[ "$(stat -c %a "$dir/p/Dados/Copias")" = 700 ]
[ "$(kovas "$copia")" = 5 ]
"$kovacli" incorporar "$dir/uma.txt" --programa "$dir/p" --sem-impressao 2> /dev/null
[ "$(ls "$dir/p/Dados/Copias" | wc -l)" -eq 1 ]  # one copy a day
"$kovacli" restaurar --programa "$dir/p" > "$dir/lista.txt"
grep -q "^  $ontem  5 KOVA: 0 impressas, 5 não impressas$" "$dir/lista.txt" || { cat "$dir/lista.txt"; exit 1; }
status=0
"$kovacli" restaurar 01/01/2001 --programa "$dir/p" 2> "$dir/erro.txt" || status=$?
[ "$status" -eq 1 ]
grep -q "não há cópia de segurança de 01/01/2001" "$dir/erro.txt"
cp -r "$dir/p" "$dir/modelo"

"$mata" "$dir/relato" -1 "$kovacli" incorporar "$dir/uma.txt" --programa "$dir/p" --sem-impressao 2> /dev/null
passos=$(sed 's/passos=\([0-9]*\).*/\1/' "$dir/relato")
[ "$passos" -gt 5 ]
danificados=0
k=0
while [ "$k" -lt "$passos" ]; do
    rm -rf "$dir/p"
    cp -r "$dir/modelo" "$dir/p"
    "$mata" "$dir/relato" "$k" "$kovacli" incorporar "$dir/uma.txt" --programa "$dir/p" \
        --sem-impressao > /dev/null 2>&1 || true
    rm -f "$dir/p/Dados/KOVA.cds-journal"
    status=0
    "$kovacli" incorporar "$dir/vazio.txt" --programa "$dir/p" --sem-impressao 2> "$dir/erro.txt" || status=$?
    if [ "$status" -ne 0 ]; then
        [ "$status" -eq 2 ] || { echo "step $k: status $status"; cat "$dir/erro.txt"; exit 1; }
        grep -q "Há cópias de segurança do arquivo de KOVA em" "$dir/erro.txt" ||
            { echo "step $k: the copies are not named"; cat "$dir/erro.txt"; exit 1; }
        grep -q "a mais recente é de $ontem" "$dir/erro.txt"
        grep -q '"kovacli restaurar"' "$dir/erro.txt"
        "$kovacli" restaurar "$ontem" --programa "$dir/p" > "$dir/saida.txt" ||
            { echo "step $k: not restored"; cat "$dir/saida.txt"; exit 1; }
        grep -q "O arquivo substituído foi guardado em $dir/p/Dados/Copias/KOVA-substituido-" "$dir/saida.txt"
        "$kovacli" incorporar "$dir/vazio.txt" --programa "$dir/p" --sem-impressao 2> /dev/null
        [ "$(kovas "$dir/p/Dados/KOVA.cds")" = 5 ]
        danificados=$((danificados + 1))
    fi
    k=$((k + 1))
done
echo "killed before each of $passos steps, the journal deleted: $danificados files unreadable, each restored"
echo ok
