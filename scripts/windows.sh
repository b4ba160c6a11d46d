#!/usr/bin/env bash
# Builds the library for Windows with Debian's mingw-w64, 64-bit and 32-bit, and proves it under
# wine against the Linux build:
#
#   scripts/windows.sh                   build both, then test the 64-bit one under wine64 and
#                                        the 32-bit one under wine32 where it is installed
#   scripts/windows.sh --instala-wine32  the same, installing wine32 first where it is missing
#                                        (scripts/wine32.sh): what scripts/test.sh, and so CI, runs
#   scripts/windows.sh --sem-teste       build only
#
# Both then build the installation package build-windows/KOVA-<version>-x64.msi (scripts/msi.sh,
# with wixl; the build-only run where the Linux build it takes the tables from is there), which
# the 64-bit test installs, upgrades and removes under wine64.
#
# Where the 32-bit DLLs cannot be tested (no wine32, or a machine that cannot run 32-bit programs),
# one line says why and the 64-bit test decides alone.
#
# The DLLs land in build-windows/x86_64/bin and build-windows/i686/bin (or $KOVA_WINDOWS_DIR):
# kovadll.dll (the one shipped: the host programs' calls only), kovadll_teste.dll (the tests'
# variant, linked from the same objects, which also sets the clock), DllInscE32.Dll,
# kova_gera_tabelas.exe, the test host kova_hospedeiro_lote.exe, kova_quedas_em_memoria.exe (the
# crash and full-disk cases of the table files, run under wine), kova_dialogos_win_teste.exe
# (every kind of dialog box, answered with keys on a display of the test's own) and kova.exe, the
# desktop program, with the manual beside it in ajuda\.
# SQLite is built from Debian's source package (scripts/sqlite_fonte.sh), zlib for the host comes
# from Debian's mingw package; the DLLs are linked statically and need only the system's own DLLs.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
saida="${KOVA_WINDOWS_DIR:-$root/build-windows}"

"$root/scripts/setup.sh" cmake ninja-build ccache python3 sqlite3 tcl xz-utils build-essential \
    g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix mingw-w64-tools libz-mingw-w64-dev wine wine64 \
    xvfb openbox xdotool x11-utils imagemagick msitools wixl

"$root/scripts/sqlite_fonte.sh" "$saida/sqlite"

# The 32-bit DLLs are tested where wine32 is installed and this machine runs 32-bit programs
# (scripts/wine32.sh checks both). Asked to install it, it does so while the DLLs build: apt waits
# on the network and on dpkg, the build on the cores (apt is done with SQLite's sources by now).
espera32=""
if [ "${1:-}" = "--instala-wine32" ] || { [ "${1:-}" != "--sem-teste" ] &&
    dpkg-query -W -f='${Status}' wine32:i386 2>/dev/null | grep -q "install ok installed"; }; then
    espera32=$(mktemp)
    trap 'rm -f "$espera32"' EXIT
    inicio32=$SECONDS
    "$root/scripts/wine32.sh" >/dev/null 2>"$espera32" &
    wine32=$!
fi

export CCACHE_BASEDIR="$root" CCACHE_NOHASHDIR=1
for arq in x86_64 i686; do
    cmake -S "$root" -B "$saida/$arq" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-$arq.cmake" \
        -DCMAKE_BUILD_TYPE=Release -DKOVA_SQLITE_FONTE="$saida/sqlite" >/dev/null
    cmake --build "$saida/$arq" -j "$(nproc)"
done

# The exports a host program looks up, by name and by ordinal, undecorated also where __stdcall
# decorates them: the library's from its one list of exports (the shipped DLL the host programs'
# calls and nothing else, the tests' variant those and the tests' entry points), the component's
# one function.
for arq in x86_64 i686; do
    python3 "$root/library/tests/confere_exportacoes.py" "$root/library/exportacoes.txt" \
        "$saida/$arq/bin/kovadll.dll" "$arq-w64-mingw32-objdump"
    python3 "$root/library/tests/confere_exportacoes.py" --variante-de-teste "$root/library/exportacoes.txt" \
        "$saida/$arq/bin/kovadll_teste.dll" "$arq-w64-mingw32-objdump"
    python3 "$root/library/tests/confere_exportacoes.py" "$root/inscricao/DllInscE32.def" \
        "$saida/$arq/bin/DllInscE32.Dll" "$arq-w64-mingw32-objdump"
done

linux="${KOVA_BUILD_DIR:-$root/build}"
if [ "${1:-}" = "--sem-teste" ]; then
    if [ -x "$linux/bin/kova_gera_tabelas" ]; then
        KOVA_WINDOWS_DIR="$saida" KOVA_BUILD_DIR="$linux" "$root/scripts/msi.sh" || [ $? -eq 77 ]
    else
        echo "MSI não construído: falta a construção para Linux ($linux), de que vêm as tabelas"
    fi
    exit 0
fi
[ -f "$linux/bin/libkovadll_teste.so" ] && [ -x "$linux/bin/kova_hospedeiro_lote" ] || "$root/scripts/build.sh"
# The installation package, which the 64-bit test installs (where wixl is missing, one line says so
# and it is neither built nor tested).
msi=""
status=0
KOVA_WINDOWS_DIR="$saida" KOVA_BUILD_DIR="$linux" "$root/scripts/msi.sh" || status=$?
if [ "$status" -eq 0 ]; then
    msi="$saida/KOVA-$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$saida/x86_64/CMakeCache.txt")-x64.msi"
elif [ "$status" -ne 77 ]; then
    exit "$status"
fi
motivo="wine32 não está instalado aqui (scripts/wine32.sh o instala)"
if [ -n "$espera32" ]; then
    # Done before any test starts, so that no wine program runs while wine changes.
    antes=$SECONDS
    if wait "$wine32"; then
        motivo=""
        esperou=$((SECONDS - antes))
        [ "$esperou" -lt 1 ] ||
            echo "wine32 instalado em $((SECONDS - inicio32)) s, $esperou s deles depois da construção"
    else
        motivo=$(tail -n 1 "$espera32")
        motivo=${motivo:-wine32 não pôde ser instalado}
    fi
fi
echo "== 64 bits (wine64)"
# Where wine32 runs, a 32-bit host uses the package's x86 DLLs too.
hospedeiro32=""
[ -n "$motivo" ] || hospedeiro32="$saida/i686/bin"
KOVA_MSI="$msi" KOVA_MSI_32="$hospedeiro32" \
    "$root/library/tests/windows_teste.sh" "$linux/bin" "$saida/x86_64/bin" wine "$root/data"
if [ -z "$motivo" ]; then
    echo "== 32 bits (wine32)"
    "$root/library/tests/windows_teste.sh" "$linux/bin" "$saida/i686/bin" wine "$root/data"
else
    echo "== 32 bits: DLLs construídas, não testadas: $motivo"
fi
