#!/usr/bin/env bash
# Sets up wine for 32-bit Windows programs (Debian's wine32, from the i386 architecture, with the
# i386 half of the print system's library, without which 32-bit programs see no printer), which the
# 32-bit library's test needs. Does nothing when it is there already.
#
# Exits 1 with one line on standard error saying why, leaving the machine as it was, when this
# machine cannot run 32-bit programs (a kernel built without them, or with them turned off) or
# wine32 cannot be installed (the i386 halves of the system's libraries must be at the same
# versions as the amd64 ones, so a mirror missing an i386 list stops it).
set -euo pipefail
pacotes=(wine32:i386 libcups2:i386)

# A 32-bit program of nine instructions' bytes that only ends: whether the kernel runs it.
sonda=$(mktemp)
trap 'rm -f "$sonda"' EXIT
python3 - "$sonda" <<'EOF'
import struct, sys
codigo = bytes([0xB8, 1, 0, 0, 0, 0x31, 0xDB, 0xCD, 0x80])  # exit(0) through int 0x80
base, inicio = 0x08048000, 52 + 32
tamanho = inicio + len(codigo)
cabecalho = b"\x7fELF" + bytes([1, 1, 1, 0]) + bytes(8)
cabecalho += struct.pack("<HHIIIIIHHHHHH", 2, 3, 1, base + inicio, 52, 0, 0, 52, 32, 1, 0, 0, 0)
programa = struct.pack("<IIIIIIII", 1, 0, base, base, tamanho, tamanho, 5, 0x1000)
open(sys.argv[1], "wb").write(cabecalho + programa + codigo)
EOF
chmod +x "$sonda"
if ! "$sonda" 2>/dev/null; then
    echo "esta máquina não roda programas de 32 bits" >&2
    exit 1
fi

faltam=()
for p in "${pacotes[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || faltam+=("$p")
done
[ ${#faltam[@]} -eq 0 ] && exit 0
SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"
export DEBIAN_FRONTEND=noninteractive
acrescentada=""
if ! dpkg --print-foreign-architectures | grep -qx i386; then
    $SUDO dpkg --add-architecture i386
    acrescentada=1
fi
# A mirror caught mid-sync fails one list; the others still serve.
$SUDO apt-get update -qq >/dev/null 2>&1 || true
if ! $SUDO apt-get install -y -qq --no-install-recommends "${faltam[@]}" >/dev/null 2>&1; then
    echo "wine32 não pôde ser instalado (apt-get install ${faltam[*]} falhou)" >&2
    if [ -n "$acrescentada" ]; then
        $SUDO dpkg --remove-architecture i386
        $SUDO apt-get update -qq >/dev/null 2>&1 || true
    fi
    exit 1
fi
