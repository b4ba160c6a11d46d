#!/usr/bin/env bash
# Sets up wine for 32-bit Windows programs (Debian's wine32, from the i386 architecture), which
# the 32-bit library's test needs. Does nothing when it is there already.
set -euo pipefail
dpkg-query -W -f='${Status}' wine32:i386 2>/dev/null | grep -q "install ok installed" && exit 0
SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"
export DEBIAN_FRONTEND=noninteractive
dpkg --print-foreign-architectures | grep -qx i386 || $SUDO dpkg --add-architecture i386
# A mirror caught mid-sync fails one list; the others still serve.
$SUDO apt-get update -qq || true
$SUDO apt-get install -y -qq --no-install-recommends wine32:i386 >/dev/null
