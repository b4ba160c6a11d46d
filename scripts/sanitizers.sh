#!/usr/bin/env bash
# Builds everything with clang under AddressSanitizer and UndefinedBehaviorSanitizer, with the
# fuzz targets, into build-san/ (or $KOVA_SAN_DIR); runs every test there, then each fuzz target
# for $KOVA_FUZZ_SEGUNDOS seconds (30 by default; 0 skips them).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/setup.sh"
build="${KOVA_SAN_DIR:-$root/build-san}"
# clang cannot store literals in Windows-1252 as gcc does: it compiles a copy of the sources that
# holds them so already.
python3 "$root/tools/fonte_cp1252.py" "$root" "$build/fonte"
export CC=clang CXX=clang++
KOVA_SOURCE_DIR="$build/fonte" KOVA_BUILD_DIR="$build/obj" KOVA_BUILD_TYPE=RelWithDebInfo \
    "$root/scripts/build.sh" -DKOVA_SANITIZE=ON -DKOVA_FUZZ=ON
# The leak check at exit cannot read the dynamic TLS blocks that threads of Qt's plugins leave
# behind (it stops with "Tracer caught signal 11" after every test passed): it does not follow them.
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:intercept_tls_get_addr=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export LSAN_OPTIONS="suppressions=$root/scripts/lsan.supp:print_suppressions=0"
ctest --test-dir "$build/obj" --output-on-failure -j "$(nproc)"
KOVA_BUILD_DIR="$build/obj" "$root/scripts/fuzz.sh" "${KOVA_FUZZ_SEGUNDOS:-30}"
