#!/bin/sh
# Throughput of N host processes on one data directory: each is a kovacli sending the same file of
# kova2 requests (the pinned requests over the shipped tables, valid and refused, repeated to R
# lines), all started at once; the figure is every process's requests over the wall time of the
# slowest.
#
#   bench/varios_hospedeiros.sh <build/bin> <N> [R]
set -eu
bin=$(cd "$1" && pwd); n=$2; linhas=${3:-20000}
fonte=$(cd "$(dirname "$0")/.." && pwd)
raiz=$(mktemp -d)
trap 'rm -rf "$raiz"' EXIT
mkdir "$raiz/windows" "$raiz/sistema"
cp -r "$bin/Dados" "$raiz/Dados"
printf '[Dados]\r\nPath=%s/Dados\r\n' "$raiz" > "$raiz/Config.ini"
# A copy of kovacli beside Config.ini: its library loads that directory.
cp "$bin/kovacli" "$raiz/"
cp -L "$bin/libkovadll.so.1" "$bin/libkovamotor.so.1" "$raiz/"
export KOVA_WINDIR="$raiz/windows/" KOVA_SYSDIR="$raiz/sistema/"
awk -F'\t' '$1 == "kova2" { print $2 }' "$fonte/library/tests/respostas_fixas.txt" > "$raiz/base.txt"
: > "$raiz/pedidos.txt"
while [ "$(wc -l < "$raiz/pedidos.txt")" -lt "$linhas" ]; do cat "$raiz/base.txt" >> "$raiz/pedidos.txt"; done
head -n "$linhas" "$raiz/pedidos.txt" > "$raiz/p.txt"
inicio=$(date +%s.%N)
i=0
while [ "$i" -lt "$n" ]; do
    "$raiz/kovacli" < "$raiz/p.txt" > "$raiz/saida$i.txt" 2>/dev/null &
    i=$((i + 1))
done
wait || true
fim=$(date +%s.%N)
respondidas=$(cat "$raiz"/saida*.txt | grep -c 'CRC=')
python3 -c "import sys; n, r, t = int(sys.argv[1]), int(sys.argv[2]), float(sys.argv[3]) - float(sys.argv[4]); print(f'{n} processo(s): {r} respostas em {t:.2f} s, {r / t:,.0f} pedidos/s')" \
    "$n" "$respondidas" "$fim" "$inicio"
