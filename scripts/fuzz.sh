#!/usr/bin/env bash
# Runs each fuzz target built in $KOVA_BUILD_DIR (build-san/obj/ by default) for the given number of
# seconds (30 by default), on a copy of its seed corpus; a crash stops the script with the input
# that caused it in fuzz-falhas/.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${KOVA_BUILD_DIR:-$root/build-san/obj}"
segundos="${1:-30}"
[ "$segundos" -gt 0 ] || exit 0
falhas="$root/fuzz-falhas"
mkdir -p "$falhas"
for alvo in kova_fuzz_kova2:library kova_fuzz_linha:desktop kova_fuzz_tabela:store kova_fuzz_ini:platform \
    kova_fuzz_esquema:platform; do
    nome="${alvo%%:*}"
    pasta="${alvo##*:}"
    corpus="$(mktemp -d)"
    cp "$root/$pasta/fuzz/sementes/$nome/"* "$corpus/"
    echo "== $nome: $segundos s"
    registro="$falhas/$nome.log"
    status=0
    "$build/bin/$nome" -max_total_time="$segundos" -max_len=16384 -timeout=10 -rss_limit_mb=4096 \
        -artifact_prefix="$falhas/$nome-" -print_final_stats=1 "$corpus" >"$registro" 2>&1 || status=$?
    grep -E "^(stat::number_of_executed_units|stat::peak_rss_mb)|ERROR|SUMMARY" "$registro" || true
    rm -rf "$corpus"
    if [ "$status" -ne 0 ]; then
        tail -40 "$registro"
        echo "$nome found a failure; the input is in $falhas"
        exit 1
    fi
done
