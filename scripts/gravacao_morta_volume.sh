#!/usr/bin/env bash
# The long form of the suite's test of saves killed in a large slips file: N tries (default 100) on
# a file of K slips (default 100,000); the directory must load with the slips of before or after.
#   scripts/gravacao_morta_volume.sh [N] [K] [SEED]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${KOVA_BUILD_DIR:-$root/build}"
exec python3 "$root/programs/tests/gravacao_morta_volume.py" "$build/bin" "$root/bench/gera_incorporacao.py" \
    "${1:-100}" "${2:-100000}" "${3:-31}"
