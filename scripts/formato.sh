#!/usr/bin/env bash
# Checks that every C and C++ source follows .clang-format; with --corrige, reformats them instead.
# The formatter's version is pinned: another version lays some lines out differently.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
formatador="$(command -v clang-format-14 || command -v clang-format || true)"
if [ -z "$formatador" ]; then
    echo "clang-format não está instalado (scripts/setup.sh o instala)" >&2
    exit 1
fi
mapfile -t fontes < <(git ls-files '*.c' '*.cpp' '*.h' 2>/dev/null)
# Without the file list (not a git clone) the formatter would wait on its standard input.
if [ ${#fontes[@]} -eq 0 ]; then
    echo "nenhum fonte listado: scripts/formato.sh precisa de um clone git do projeto" >&2
    exit 1
fi
if [ "${1:-}" = "--corrige" ]; then
    "$formatador" -i "${fontes[@]}"
else
    "$formatador" --dry-run -Werror "${fontes[@]}"
    echo "Formatação conferida: ${#fontes[@]} arquivos"
fi
