#!/usr/bin/env bash
# Runs an example host on a data directory of its own: a Windows directory with a KOVA.INI that
# names a copy of DADOS, so the example leaves the original as it was.
#   roda_exemplo.sh DADOS COMMAND [ARGS...]
set -euo pipefail
dados="$1"
shift
raiz="$(mktemp -d)"
trap 'rm -rf "$raiz"' EXIT
cp -r "$dados" "$raiz/Dados"
printf '[KOVA]\r\nDirDados=%s/Dados/\r\n' "$raiz" > "$raiz/KOVA.INI"
KOVA_WINDIR="$raiz" KOVA_SYSDIR="$raiz" "$@"
