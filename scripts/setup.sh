#!/usr/bin/env bash
# Installs the Debian packages that building and testing KOVA need, or those named as arguments.
# Runs apt-get update once, and only when something is missing.
set -euo pipefail

packages=(
    build-essential cmake ninja-build ccache pkg-config
    libgtest-dev libgmock-dev libbenchmark-dev
    libsqlite3-dev sqlite3 zlib1g-dev
    zint zbar-tools imagemagick python3
    qt6-base-dev qt6-translations-l10n fonts-liberation fonts-liberation2 fonts-dejavu-core
    xvfb xauth openbox xdotool x11-utils faketime libfaketime poppler-utils
    clang clang-format libclang-rt-14-dev
    libcups2-dev cups printer-driver-cups-pdf qt6-qpa-plugins
    lintian
)

[ $# -gt 0 ] && packages=("$@")

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    SUDO=""
    [ "$(id -u)" -eq 0 ] || SUDO="sudo"
    export DEBIAN_FRONTEND=noninteractive
    $SUDO apt-get update -qq
    $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
