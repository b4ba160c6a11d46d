#!/bin/sh
# kovacli incorporar on a private copy of the shipped data: five generated lines are imported and
# printed to a PDF of five pages; a line with too few fields fails with status 1 and keeps the
# slips file as it was.
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
echo ok
