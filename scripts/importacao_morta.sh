#!/usr/bin/env bash
# The long form of the suite's kill test: kovacli incorporar killed N times (default 500) at random steps
# on one data directory; every slip reported imported or printed must survive.
#   scripts/importacao_morta.sh [N] [SEED]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${KOVA_BUILD_DIR:-$root/build}"
exec python3 "$root/programs/tests/importacao_morta.py" "$build/bin/kovacli" "$build/bin/Dados" \
    "$root/bench/gera_incorporacao.py" "${1:-500}" "${2:-21}"
