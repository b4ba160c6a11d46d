#!/usr/bin/env bash
# Installs what is missing, builds and starts the desktop program on the shipped data.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/setup.sh"
"$root/scripts/build.sh"
build="${KOVA_BUILD_DIR:-$root/build}"
exec "$build/bin/kova" "$@"
