#!/usr/bin/env bash
# Configures and builds KOVA into build/ (or $KOVA_BUILD_DIR).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${KOVA_BUILD_DIR:-$root/build}"
src="${KOVA_SOURCE_DIR:-$root}"
export CCACHE_BASEDIR="$src" CCACHE_NOHASHDIR=1
cmake -S "$src" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE="${KOVA_BUILD_TYPE:-RelWithDebInfo}" "$@" >/dev/null
cmake --build "$build" -j "$(nproc)"
