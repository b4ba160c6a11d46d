#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/setup.sh"
# Formatting first: a source off the checked-in style fails before the long build.
"$root/scripts/formato.sh"
"$root/scripts/build.sh"
build="${KOVA_BUILD_DIR:-$root/build}"
ctest --test-dir "$build" --output-on-failure -j "$(nproc)"
# The Windows library, built with mingw-w64 and run under wine against this build, 64-bit and
# 32-bit: wine32 is installed for the latter where this machine can run it.
"$root/scripts/windows.sh" --instala-wine32
