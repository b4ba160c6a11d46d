#!/bin/sh
# kovacli incorporar on a private copy of the shipped data: five generated lines are imported and
# printed to a PDF of five pages; a line with too few fields fails with status 1 and keeps the
# slips file as it was; without the printing module the slips are kept unprinted, with the reason. A slips file whose seal no longer matches its rows (a slip removed by other
# means) is refused by the import and by the library's requests as the desktop refuses it, and
# nothing is added to it.
set -eu
kovacli=$1; dados=$2; gerador=$3
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
# The settings folders of the test's own, never the home of whoever runs it.
export KOVA_WINDIR="$dir/" KOVA_SYSDIR="$dir/"
cp -r "$dados" "$dir/Dados"
python3 "$gerador" 5 > "$dir/k.txt"
QT_QPA_PLATFORM=offscreen "$kovacli" incorporar "$dir/k.txt" --programa "$dir" 2> "$dir/erro.txt"
grep -q "5 KOVA incorporadas, 5 impressas" "$dir/erro.txt"
[ -s "$dir/k.pdf" ]
pdfinfo "$dir/k.pdf" | grep -q '^Pages: *5$'
antes=$(cksum < "$dir/Dados/KOVA.cds")
printf 'SP\t100013\r\n' > "$dir/ruim.txt"
status=0
"$kovacli" incorporar "$dir/ruim.txt" --programa "$dir" 2> "$dir/erro.txt" || status=$?
[ "$status" -eq 1 ]
grep -q "campos inv" "$dir/erro.txt"
[ "$(cksum < "$dir/Dados/KOVA.cds")" = "$antes" ]

# A copy of kovacli with its library and engine but without the screen and printing module: the
# import keeps its slips, unprinted, and says why nothing was printed.
cp "$kovacli" "$dir/kovacli"
cp -P "$(dirname "$kovacli")"/libkovadll.so* "$(dirname "$kovacli")"/libkovamotor.so* "$dir/"
python3 "$gerador" 2 > "$dir/dois.txt"
status=0
"$dir/kovacli" incorporar "$dir/dois.txt" --programa "$dir" 2> "$dir/erro.txt" || status=$?
[ "$status" -eq 1 ] || { echo "status $status"; cat "$dir/erro.txt"; exit 1; }
grep -q "Não foi possível carregar a tela e a impressão da biblioteca (libkovadll_tela.so)" "$dir/erro.txt"
grep -q "2 KOVA incorporadas, 0 impressas" "$dir/erro.txt"
[ "$(sqlite3 "$dir/Dados/KOVA.cds" "select count(*) from registros where Situacao = 'N'")" = 2 ]

python3 -c 'import sqlite3, sys
db = sqlite3.connect(sys.argv[1]); db.execute("DELETE FROM registros WHERE IdKOVA = 3"); db.commit()' \
    "$dir/Dados/KOVA.cds"
antes=$(cksum < "$dir/Dados/KOVA.cds")
status=0
"$kovacli" incorporar "$dir/k.txt" --programa "$dir" > "$dir/saida.txt" 2> "$dir/erro.txt" || status=$?
[ "$status" -eq 2 ] || { echo "status $status"; cat "$dir/erro.txt"; exit 1; }
grep -q "CRC não confere" "$dir/erro.txt"
grep -q "Dados/KOVA.cds" "$dir/erro.txt"
[ "$(cksum < "$dir/Dados/KOVA.cds")" = "$antes" ]
status=0
"$dir/kovacli" "UFFAVORECIDA=SP;RECEITA=100048;CICCONTRIBUINTE=11222333000181;REFERENCIA=001;VALORPRINCIPAL=1,00;TOTALRECOLHER=1,00" \
    > "$dir/saida.txt" 2> "$dir/erro.txt" || status=$?
[ "$status" -eq 2 ] || { echo "status $status"; cat "$dir/saida.txt" "$dir/erro.txt"; exit 1; }
grep -q "CRC não confere" "$dir/erro.txt"
echo ok
