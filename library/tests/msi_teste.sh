#!/usr/bin/env bash
# The Windows installation package as an office uses it, under wine64, in a prefix of its own:
#
#   msi_teste.sh <KOVA-x.y.z-x64.msi> <64-bit Windows build's bin> <Linux build's bin> <wine command>
#                [<32-bit Windows build's bin>]
#
# 1. msiexec /i … /qn installs it: the files under Program Files\KOVA are the build's, the template
#    Dados holds no slip, the Start-menu shortcut (when the package has kova.exe) and the entry in
#    Add/Remove programs are there.
# 2. A standard user (Program Files and the Windows directory read-only to them) runs a host program
#    from a folder of their own against the installed kovadll.dll (and, given the 32-bit build, a
#    32-bit host against x86\kovadll.dll): the data directory is made under their profile from the
#    template, the slips are saved there, and nothing under Program Files changes. Then they start
#    kova.exe from the Start-menu shortcut's target, and the slip it imports is saved there too.
# 3. The next version (a changed table, made by scripts/msi.sh) installed over it replaces the
#    files and the entry; the user's slips stay, and their next start takes the new table.
# 4. msiexec /x … /qn removes every installed file, the shortcut and the entry, and leaves the
#    user's settings and slips, the one kova.exe saved among them.
# Exits with 77, saying why in one line, where wixl or msiinfo (msitools) is missing. KOVA_MANTER=1
# keeps the prefix and the work folder (named in the trace of bash -x) for a look afterwards.
set -euo pipefail
msi="$1"
windows="$2"
linux="$3"
wine="$4"
windows32="${5:-}"
aqui="$(cd "$(dirname "$0")" && pwd)"
raiz="$(cd "$aqui/../.." && pwd)"

falhou() {
    echo "FALHA: MSI: $*" >&2
    exit 1
}
for programa in wixl wixl-heat msiinfo; do
    if ! command -v "$programa" >/dev/null; then
        echo "-- MSI não testado: falta $programa (scripts/setup.sh msitools wixl)"
        exit 77
    fi
done
[ -f "$msi" ] || falhou "$msi não existe"
propriedade() { msiinfo export "$1" Property | tr -d '\r' | sed -n "s/^$2\t//p"; }
versao=$(propriedade "$msi" ProductVersion)
com_programa=false
# Read whole first: grep -q stops at the first match, and the writer cut short would fail the
# pipeline (pipefail) and hide kova.exe.
arquivos_do_msi="$(msiinfo export "$msi" File)"
grep -q $'\tkova.exe\t' <<< "$arquivos_do_msi" && com_programa=true

trabalho=$(mktemp -d)
# No menu entries of the host's desktop are made from the prefix's shortcuts.
export WINEPREFIX="$trabalho/prefixo" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=,winemenubuilder.exe=d"
limpa() {
    wineserver -k >/dev/null 2>&1 || true
    chmod -R u+w "$trabalho" 2>/dev/null || true
    rm -rf "$trabalho"
}
[ -n "${KOVA_MANTER:-}" ] || trap limpa EXIT

# The next version: one state's name changed, and the tables' own version, as an upgrade ships them.
IFS=. read -r maior menor correcao <<<"$versao"
proxima="$maior.$menor.$((correcao + 1))"
mkdir "$trabalho/dados"
cp "$raiz"/data/*.csv "$trabalho/dados/"
sed -i 's/^AC;Acre;/AC;Acre (revisado);/' "$trabalho/dados/UF.csv"
grep -q "^AC;Acre (revisado);" "$trabalho/dados/UF.csv" || falhou "a linha do Acre não mudou"
python3 - "$trabalho/dados/Controle.csv" <<'FIM'
import sys
linhas = open(sys.argv[1], encoding="utf-8").read().splitlines()
campos = linhas[0].split(";")
valores = linhas[1].split(";")
i = campos.index("VersaoRelease")
valores[i] = str(int(valores[i]) + 1)
open(sys.argv[1], "w", encoding="utf-8").write(linhas[0] + "\n" + ";".join(valores) + "\n")
FIM
KOVA_WINDOWS_DIR="$(dirname "$(dirname "$windows")")" KOVA_BUILD_DIR="$(dirname "$linux")" \
    "$raiz/scripts/msi.sh" --versao "$proxima" --tabelas "$trabalho/dados" --saida "$trabalho/KOVA-$proxima-x64.msi" \
    >/dev/null || falhou "a versão $proxima não foi construída"

"$wine" wineboot --init >/dev/null 2>&1 || true
wineserver -w
c="$WINEPREFIX/drive_c"
[ -d "$c/windows" ] || falhou "wine não criou o prefixo"
kova="$c/Program Files/KOVA"

# The administrator installs and removes; a standard user may write neither Program Files nor the
# Windows directory. Wine opens files in its server, started by the first program of each: as root,
# the user's server loses the right to pass over file permissions.
Usuario() {
    if [ "$(id -u)" -eq 0 ]; then
        setpriv --bounding-set=-dac_override,-dac_read_search,-fowner -- "$@"
    else
        command "$@"
    fi
}
Administrador() {
    wineserver -k >/dev/null 2>&1 || true
    wineserver -w
    chmod -R u+w "$c/Program Files" "$c/windows"
    local status=0
    "$wine" "$@" || status=$?
    wineserver -w
    return "$status"
}
UsuarioPadrao() {
    wineserver -k >/dev/null 2>&1 || true
    wineserver -w
    chmod -R a-w "$c/Program Files"
    chmod a-w "$c/windows"
    Usuario "$wine" "$@"
}
Msiexec() { Administrador msiexec "$1" "$(winepath -w "$2" 2>/dev/null)" /qn; }
# The entries of Add/Remove programs named KOVA, as "name version" lines.
Entradas() {
    "$wine" reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' /s /reg:64 2>/dev/null | tr -d '\r' |
        awk '/^HKEY/ { if (nome != "") print nome " " versao; nome = ""; versao = "" }
             $1 == "DisplayName" && $3 == "KOVA" { nome = $3 }
             $1 == "DisplayVersion" { versao = $3 }
             END { if (nome != "") print nome " " versao }'
}
Atalho() { find "$c" -iname 'KOVA.lnk' 2>/dev/null | head -n 1; }
Contagem() { sqlite3 "$1" 'select count(*) from registros'; }
Estado() { (cd "$kova" && find . -exec stat -c '%n %s %Y' {} + | LC_ALL=C sort); }

echo "-- MSI $versao instalado em silêncio"
Msiexec /i "$msi" || falhou "msiexec /i terminou com erro"
for par in kovadll.dll:x86_64 DllInscE32.Dll:x86_64 x86/kovadll.dll:i686 x86/DllInscE32.Dll:i686; do
    arquivo="${par%%:*}"
    cmp "$kova/$arquivo" "$(dirname "$(dirname "$windows")")/${par##*:}/bin/$(basename "$arquivo")" ||
        falhou "$arquivo instalado difere do construído"
done
cmp "$kova/ajuda/index.html" "$raiz/shell/ajuda/index.html" || falhou "o manual não foi instalado"
for f in "$linux"/Dados/*.cds; do
    nome=$(basename "$f")
    [ "$nome" = KOVA.cds ] || cmp "$f" "$kova/Dados/$nome" || falhou "Dados\\$nome instalado difere da tabela entregue"
done
[ "$(Contagem "$kova/Dados/KOVA.cds")" = 0 ] || falhou "o modelo instalado traz KOVA digitadas"
[ -z "$(find "$kova/Dados" -type f ! -name '*.cds')" ] || falhou "o modelo instalado traz mais que tabelas: $(ls "$kova/Dados")"
[ "$(Entradas)" = "KOVA $versao" ] || falhou "Adicionar/remover programas: \"$(Entradas)\""
if $com_programa; then
    cmp "$kova/kova.exe" "$windows/kova.exe" || falhou "kova.exe instalado difere do construído"
    [ -n "$(Atalho)" ] || falhou "o atalho do menu Iniciar não foi criado"
    grep -aqF 'C:\Program Files\KOVA\kova.exe' "$(Atalho)" || falhou "o atalho não leva ao kova.exe instalado"
    atalho="atalho no menu Iniciar, "
else
    [ -z "$(Atalho)" ] || falhou "atalho criado sem kova.exe"
    atalho="sem kova.exe nem atalho, "
fi
echo "arquivos em Program Files\\KOVA, ${atalho}entrada em Adicionar/remover programas"

# A standard user's host program, in a folder of their own, loads the installed library.
perfil() { winepath -u "$(Usuario "$wine" cmd /c echo "%$1%" | tr -d '\r')" 2>/dev/null | sed 's:/$::'; }
mkdir -p "$c/hospedeiro" "$c/hospedeiro32"
cp "$windows/kova_hospedeiro_lote.exe" "$c/hospedeiro/"
python3 "$aqui/requisicoes_lote.py" "$raiz/data" 100 "$(date +%d/%m/%Y)" >"$c/hospedeiro/requisicoes.txt"
momento="15/06/2026 10:00:00"
# Every request answered, some accepted: the data directory loaded, its checksums right.
Hospedeiro() {
    local pasta="$1" biblioteca="$2" respostas="$3"
    (cd "$c/$pasta" && UsuarioPadrao kova_hospedeiro_lote.exe "$biblioteca" 'C:\hospedeiro\requisicoes.txt' \
        "C:\\hospedeiro\\$respostas" "$momento" --entrega >/dev/null 2>"$trabalho/hospedeiro.err") ||
        falhou "o programa hospedeiro com $biblioteca: $(iconv -f cp1252 -t utf-8 "$trabalho/hospedeiro.err")"
    grep -aq ';Retorno=000;' "$c/hospedeiro/$respostas" ||
        falhou "nenhuma KOVA aceita pela $biblioteca instalada: $(grep -a -m1 '^ERRO=\|Retorno=001' "$c/hospedeiro/$respostas" | iconv -f cp1252 -t utf-8)"
}
antes=$(Estado)
Hospedeiro hospedeiro 'C:\Program Files\KOVA\kovadll.dll' respostas.txt
! Usuario sh -c "touch '$kova/gravavel' '$c/windows/gravavel' 2>/dev/null" || falhou "Program Files ficou gravável"
roaming=$(perfil APPDATA)
locais=$(perfil LOCALAPPDATA)
dados="$locais/KOVA/Dados"
[ -f "$dados/ControleCRC.cds" ] || falhou "a pasta de dados do usuário não foi feita em %LOCALAPPDATA%\\KOVA\\Dados"
grep -qx 'DirDados=.*\\KOVA\\Dados\\' <(tr -d '\r' <"$roaming/KOVA/KOVA.INI") ||
    falhou "KOVA.INI do usuário: $(cat "$roaming/KOVA/KOVA.INI" 2>/dev/null)"
for f in "$kova"/Dados/*.cds; do
    cmp -s "$f" "$dados/$(basename "$f")" || falhou "$(basename "$f") da pasta do usuário não veio do modelo instalado"
done

# The library keeps the slips it stores in memory; the programs write them to the slips file. Three
# are written into the user's directory by the Linux engine (the same files on both systems), as
# the desktop program writes them, with their checksum recorded.
mkdir -p "$trabalho/win"
printf '[KOVA]\r\nDirDados=%s/\r\n' "$dados" >"$trabalho/win/KOVA.INI"
cp "$linux/DllInscE32.Dll" "$trabalho/win/"
python3 "$raiz/bench/gera_incorporacao.py" 3 >"$trabalho/tres.txt"
KOVA_WINDIR="$trabalho/win" KOVA_SYSDIR="$trabalho/win" "$linux/kovacli" incorporar "$trabalho/tres.txt" \
    --sem-impressao >"$trabalho/incorporar.log" 2>&1 || falhou "kovacli: $(cat "$trabalho/incorporar.log")"
kovas=$(Contagem "$dados/KOVA.cds")
[ "$kovas" = 3 ] || falhou "$kovas KOVA na pasta do usuário, não 3"
cp "$dados/KOVA.cds" "$trabalho/KOVA.cds"
# The user's slips file is theirs: the installed library loads it (its checksum checked), also
# from a 32-bit host through x86\kovadll.dll, and never changes it.
Hospedeiro hospedeiro 'C:\Program Files\KOVA\kovadll.dll' respostas1.txt
if [ -n "$windows32" ]; then
    cp "$windows32/kova_hospedeiro_lote.exe" "$c/hospedeiro32/"
    Hospedeiro hospedeiro32 'C:\Program Files\KOVA\x86\kovadll.dll' respostas32.txt
    de32=", lida também por um de 32 bits com x86\\kovadll.dll"
fi
cmp "$dados/KOVA.cds" "$trabalho/KOVA.cds" || falhou "o arquivo de KOVA do usuário mudou"
[ "$(Estado)" = "$antes" ] || falhou "um usuário padrão alterou Program Files\\KOVA"
echo "usuário padrão: pasta de dados feita do modelo em %LOCALAPPDATA%\\KOVA\\Dados com $kovas KOVA${de32:-}; Program Files intocado"

# The desktop program as the Start menu starts it: the shortcut's target, run by the standard user
# with a slips file to import (shell/win32/tests/kova_instalado.py, on a display of its own). Its
# slip lands in the user's slips file under the profile; Program Files stays as it was.
if $com_programa; then
    faltam=""
    for programa in Xvfb openbox xdotool xprop import; do
        command -v "$programa" >/dev/null || faltam="$faltam $programa"
    done
    if [ -n "$faltam" ]; then
        echo "-- kova.exe instalado não testado: faltam$faltam"
    else
        alvo=$(grep -aoiE '[a-z]:\\[^[:cntrl:]]*\\kova\.exe' "$(Atalho)" | head -n 1)
        [ -n "$alvo" ] && [ -f "$(winepath -u "$alvo" 2>/dev/null)" ] || falhou "o atalho não leva a um kova.exe: \"$alvo\""
        python3 "$raiz/bench/gera_incorporacao.py" 1 >"$c/hospedeiro/uma.txt"
        wineserver -k >/dev/null 2>&1 || true
        wineserver -w
        chmod -R a-w "$c/Program Files"
        chmod a-w "$c/windows"
        python3 "$raiz/shell/win32/tests/kova_instalado.py" --wine "$wine" --programa "$alvo" \
            --arquivo 'C:\hospedeiro\uma.txt' --dados "$dados" --usuario-padrao \
            --capturas "$(dirname "$windows")/capturas/instalado" || falhou "kova.exe instalado"
        [ "$(Contagem "$dados/KOVA.cds")" = $((kovas + 1)) ] ||
            falhou "kova.exe não gravou a KOVA na pasta do usuário: $(Contagem "$dados/KOVA.cds") KOVA"
        sqlite3 "$dados/KOVA.cds" "select UFFavorecida || ':' || Situacao from registros order by IdKOVA desc limit 1" |
            grep -qx 'SP:[NA]' ||
            falhou "a KOVA incorporada pelo kova.exe: $(sqlite3 "$dados/KOVA.cds" 'select * from registros order by IdKOVA desc limit 1')"
        [ "$(Estado)" = "$antes" ] || falhou "o kova.exe de um usuário padrão alterou Program Files\\KOVA"
        kovas=$((kovas + 1))
        cp "$dados/KOVA.cds" "$trabalho/KOVA.cds"
        echo "kova.exe pelo atalho do menu Iniciar, usuário padrão: KOVA gravada em %LOCALAPPDATA%\\KOVA\\Dados; Program Files intocado"
    fi
fi

echo "-- atualização para $proxima"
Msiexec /i "$trabalho/KOVA-$proxima-x64.msi" || falhou "msiexec /i da versão $proxima terminou com erro"
[ "$(Entradas)" = "KOVA $proxima" ] || falhou "Adicionar/remover programas depois da atualização: \"$(Entradas)\""
[ "$(sqlite3 "$kova/Dados/UF.cds" "select Descricao from registros where UF='AC'")" = "Acre (revisado)" ] ||
    falhou "a atualização não substituiu as tabelas instaladas"
cmp "$kova/kovadll.dll" "$windows/kovadll.dll" || falhou "kovadll.dll depois da atualização"
if $com_programa; then [ -n "$(Atalho)" ] || falhou "o atalho sumiu com a atualização"; fi
# The older package over the newer one is refused, and leaves it as it is.
! Msiexec /i "$msi" || falhou "a versão $versao foi instalada sobre a $proxima"
[ "$(Entradas)" = "KOVA $proxima" ] || falhou "Adicionar/remover programas depois da recusa: \"$(Entradas)\""
# The user's next start takes the new table, keeping the slips.
Hospedeiro hospedeiro 'C:\Program Files\KOVA\kovadll.dll' respostas2.txt
[ "$(sqlite3 "$dados/UF.cds" "select Descricao from registros where UF='AC'")" = "Acre (revisado)" ] ||
    falhou "a tabela nova não chegou à pasta do usuário"
cmp "$dados/KOVA.cds" "$trabalho/KOVA.cds" || falhou "a atualização mudou o arquivo de KOVA do usuário"
Hospedeiro hospedeiro 'C:\Program Files\KOVA\kovadll.dll' respostas3.txt
echo "arquivos e entrada substituídos, versão anterior recusada, tabela nova na pasta do usuário, KOVA mantidas"

echo "-- remoção"
Msiexec /x "$trabalho/KOVA-$proxima-x64.msi" || falhou "msiexec /x terminou com erro"
[ -z "$(find "$kova" -type f 2>/dev/null)" ] || falhou "arquivos ficaram: $(find "$kova" -type f | head -n 3)"
[ -z "$(Entradas)" ] || falhou "a entrada ficou em Adicionar/remover programas: $(Entradas)"
[ -z "$(Atalho)" ] || falhou "o atalho ficou: $(Atalho)"
cmp "$dados/KOVA.cds" "$trabalho/KOVA.cds" || falhou "a remoção mexeu no arquivo de KOVA do usuário"
[ -f "$roaming/KOVA/KOVA.INI" ] || falhou "a remoção levou a configuração do usuário"
echo "arquivos instalados, atalho e entrada removidos; as $kovas KOVA do usuário ficaram"
