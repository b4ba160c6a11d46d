#!/usr/bin/env bash
# Sets up wine for 32-bit Windows programs (Debian's wine32, from the i386 architecture), which
# the 32-bit library's test needs. Does nothing when it is there already. When it cannot be
# installed (the i386 halves of the system's libraries must be at the same versions as the amd64
# ones, so a mirror missing an i386 list stops it), the machine is left as it was.
set -euo pipefail
dpkg-query -W -f='${Status}' wine32:i386 2>/dev/null | grep -q "install ok installed" && exit 0
SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"
export DEBIAN_FRONTEND=noninteractive
acrescentada=""
if ! dpkg --print-foreign-architectures | grep -qx i386; then
    $SUDO dpkg --add-architecture i386
    acrescentada=1
fi
# A mirror caught mid-sync fails one list; the others still serve.
$SUDO apt-get update -qq || true
if ! $SUDO apt-get install -y -qq --no-install-recommends wine32:i386 >/dev/null; then
    echo "wine32 não pôde ser instalado: o teste de 32 bits não roda nesta máquina" >&2
    if [ -n "$acrescentada" ]; then
        $SUDO dpkg --remove-architecture i386
        $SUDO apt-get update -qq || true
    fi
    exit 1
fi
