#!/usr/bin/env bash
# Builds the Windows installation package of the Windows build with wixl (packaging/windows/kova.wxs):
#
#   scripts/msi.sh [--versao X.Y.Z] [--tabelas FOLDER] [--saida FILE.msi]
#
# It holds, for Program Files\KOVA, the 64-bit kova.exe (when the build made it; without it one line
# says so and the package has neither the program nor its Start-menu shortcut), kovadll.dll and
# DllInscE32.Dll, the 32-bit pair in x86\, the manual (shell/ajuda) in ajuda\ and the shipped tables,
# made afresh by the Linux build's kova_gera_tabelas, as the template Dados\: its slips file is the
# empty one the tables are made with, never one a person typed into.
#
# The version is the build's own (CMake's project version, the one the Debian packages carry) and
# the package lands in build-windows/KOVA-<version>-x64.msi; --versao, --tabelas (the CSV sources,
# by default those the Linux build made its tables from) and --saida make another (the test's next
# version). The Windows build is build-windows (or $KOVA_WINDOWS_DIR), the Linux one build (or
# $KOVA_BUILD_DIR). Exits with 77, saying why in one line, where wixl is not installed
# (scripts/setup.sh msitools wixl installs it).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
windows="${KOVA_WINDOWS_DIR:-$root/build-windows}"
linux="${KOVA_BUILD_DIR:-$root/build}"
versao=""
tabelas=""
msi=""
while [ $# -gt 0 ]; do
    case "$1" in
    --versao) versao="$2"; shift 2 ;;
    --tabelas) tabelas="$2"; shift 2 ;;
    --saida) msi="$2"; shift 2 ;;
    *) echo "uso: $0 [--versao X.Y.Z] [--tabelas PASTA] [--saida ARQUIVO.msi]" >&2; exit 2 ;;
    esac
done
falha() {
    echo "MSI: $*" >&2
    exit 1
}
if ! command -v wixl >/dev/null || ! command -v wixl-heat >/dev/null; then
    echo "MSI não construído: wixl não está instalado (scripts/setup.sh msitools wixl)"
    exit 77
fi

[ -n "$versao" ] || versao=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$windows/x86_64/CMakeCache.txt" 2>/dev/null)
# Windows Installer compares three fields, the first two up to 255, the third up to 65535.
IFS=. read -r maior menor correcao resto <<<"$versao"
[[ "$maior" =~ ^[0-9]+$ && "$menor" =~ ^[0-9]+$ && "$correcao" =~ ^[0-9]+$ && -z "$resto" ]] &&
    [ "$maior" -le 255 ] && [ "$menor" -le 255 ] && [ "$correcao" -le 65535 ] ||
    falha "versão \"$versao\" inválida para o Windows Installer (X.Y.Z, até 255.255.65535)"
[ -n "$tabelas" ] || tabelas=$(sed -n 's/^KOVA_FONTE_TABELAS:PATH=//p' "$linux/CMakeCache.txt" 2>/dev/null)
[ -n "$tabelas" ] || tabelas="$root/data"
[ -n "$msi" ] || msi="$windows/KOVA-$versao-x64.msi"
gerador="$linux/bin/kova_gera_tabelas"
[ -x "$gerador" ] || falha "$gerador não existe: construa o KOVA para Linux antes (scripts/build.sh)"
for f in x86_64/bin/kovadll.dll x86_64/bin/DllInscE32.Dll i686/bin/kovadll.dll i686/bin/DllInscE32.Dll; do
    [ -f "$windows/$f" ] || falha "$windows/$f não existe: construa o KOVA para Windows antes (scripts/windows.sh)"
done

trabalho=$(mktemp -d)
trap 'rm -rf "$trabalho"' EXIT
# Program Files\KOVA as it is installed.
pasta="$trabalho/KOVA"
mkdir -p "$pasta/x86" "$pasta/Dados"
cp "$windows/x86_64/bin/kovadll.dll" "$windows/x86_64/bin/DllInscE32.Dll" "$pasta/"
cp "$windows/i686/bin/kovadll.dll" "$windows/i686/bin/DllInscE32.Dll" "$pasta/x86/"
programa=nao
if [ -f "$windows/x86_64/bin/kova.exe" ]; then
    cp "$windows/x86_64/bin/kova.exe" "$pasta/"
    programa=sim
else
    echo "MSI sem kova.exe (o programa de mesa não foi construído): só a biblioteca, o componente, o manual e as tabelas, sem atalho"
fi
cp -r "$root/shell/ajuda" "$pasta/ajuda"
"$gerador" "$tabelas" "$pasta/Dados" >/dev/null || falha "as tabelas de $tabelas não foram geradas"
# The tables and the empty slips file they are made with; nothing else (a lock file) is shipped.
find "$pasta/Dados" -type f ! -name '*.cds' -delete
[ -f "$pasta/Dados/ControleCRC.cds" ] && [ -f "$pasta/Dados/KOVA.cds" ] || falha "tabelas incompletas em $pasta/Dados"
if command -v sqlite3 >/dev/null; then
    [ "$(sqlite3 "$pasta/Dados/KOVA.cds" 'select count(*) from registros')" = 0 ] ||
        falha "o arquivo de KOVA do modelo não está vazio"
fi

# The manual and the tables, a component a file, listed from the folder.
(cd "$trabalho" && find KOVA/ajuda KOVA/Dados -type f | LC_ALL=C sort |
    wixl-heat --var var.Fonte --directory-ref INSTALLDIR --component-group Modelo -p KOVA/ --win64) >"$trabalho/modelo.wxs"
mkdir -p "$(dirname "$msi")"
# wixl takes the files' paths from the folder it runs in, never absolute.
(cd "$trabalho" && wixl -a x64 -D Versao="$versao" -D Fonte=KOVA -D Programa="$programa" -D Win64=yes \
    -o KOVA.msi "$root/packaging/windows/kova.wxs" modelo.wxs 2>wixl.log) ||
    { cat "$trabalho/wixl.log" >&2; falha "wixl falhou"; }
mv "$trabalho/KOVA.msi" "$msi"
echo "MSI: $msi ($(find "$pasta" -type f | wc -l) arquivos, versão $versao)"
