#!/usr/bin/env bash
# Makes the Debian packages of a build and checks them with lintian: no error and no warning may
# remain. Skipped (77) where lintian is not installed (scripts/setup.sh installs it).
#   lintian_pacotes.sh BUILD_DIR
set -euo pipefail
build="$1"
if ! command -v lintian >/dev/null; then
    echo "lintian: ignorado (lintian não está instalado)"
    exit 77
fi
# The packages are made in the build folder, one making at a time (the package test makes them too).
exec 9>"$build/.pacotes.lock"
flock 9
saida="$(cd "$build" && cpack -G DEB 2>&1)" || { echo "$saida"; exit 1; }
mapfile -t pacotes < <(ls "$build"/kova_*.deb "$build"/kova-comum_*.deb "$build"/libkovadll*.deb)
[ "${#pacotes[@]}" -eq 4 ] || { echo "esperava 4 pacotes, há ${#pacotes[@]}: ${pacotes[*]}"; exit 1; }
# Root may run lintian here (CI runs as root); it says so, and that is no finding about the packages.
if lintian --allow-root --fail-on error,warning --display-level '>=warning' "${pacotes[@]}"; then
    echo "1 passed, 0 failed"
else
    echo "lintian achou erros ou avisos nos pacotes"
    exit 1
fi
