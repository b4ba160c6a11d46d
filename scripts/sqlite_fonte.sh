#!/usr/bin/env bash
# Fetches Debian's source package of SQLite and makes its single-file form (sqlite3.c and
# sqlite3.h) in the folder given, for the Windows build, which has no SQLite package to link.
# Nothing of it is kept in the repository. Usage: scripts/sqlite_fonte.sh <folder>
set -euo pipefail
destino="$1"
[ -f "$destino/sqlite3.c" ] && [ -f "$destino/sqlite3.h" ] && exit 0
SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"

# The source package needs the archive's source lists beside its package lists.
if ! apt-get source --download-only --print-uris sqlite3 >/dev/null 2>&1; then
    lista=/etc/apt/sources.list.d/kova-fontes.sources
    # The same archive named twice must name the same key.
    chave=$(grep -h -m1 '^Signed-By:' /etc/apt/sources.list.d/*.sources 2>/dev/null | awk '{print $2}' || true)
    [ -n "$chave" ] || chave=$(grep -ho 'signed-by=[^] ]*' /etc/apt/sources.list 2>/dev/null | head -1 | cut -d= -f2 || true)
    {
        for suite in "bookworm bookworm-updates|http://deb.debian.org/debian" "bookworm-security|http://deb.debian.org/debian-security"; do
            echo "Types: deb-src"
            echo "URIs: ${suite#*|}"
            echo "Suites: ${suite%|*}"
            echo "Components: main"
            [ -n "$chave" ] && echo "Signed-By: $chave"
            echo
        done
    } | $SUDO tee "$lista" >/dev/null
    # A mirror caught mid-sync may fail some other list; the source lists are what count here.
    $SUDO apt-get update -qq || true
fi

trabalho=$(mktemp -d)
trap 'rm -rf "$trabalho"' EXIT
cd "$trabalho"
apt-get source --download-only sqlite3 >/dev/null 2>&1 || apt-get source --download-only sqlite3
tar xJf sqlite3_*.orig.tar.xz
fonte=$(find . -maxdepth 1 -type d -name 'sqlite3-*' | head -1)
mkdir bld
cd bld
"../$fonte/configure" --quiet >/dev/null
make -s sqlite3.c >/dev/null
mkdir -p "$destino"
cp sqlite3.c sqlite3.h "$destino/"
