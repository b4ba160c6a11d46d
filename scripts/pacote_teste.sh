#!/usr/bin/env bash
# Builds the Debian packages, installs them on this machine and uses them as two new users would
# (the library through kovacli, an import, a C host built against pkg-config kovadll); then builds
# the next version with a changed table row, upgrades to it and checks that each user's tables
# were updated, their slips kept and the notice given once; a new-version request beside the
# installed program is carried out in each user's own folder; the packages are removed and each
# user's slips are still there. It installs and removes system packages and adds users: it runs
# only as root, with KOVA_TESTE_PACOTE=1 or in CI; otherwise it is skipped.
#   pacote_teste.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
build="$(cd "$1" && pwd)"
fonte="$(cd "$2" && pwd)"
if [ "$(id -u)" -ne 0 ] || { [ "${KOVA_TESTE_PACOTE:-}" != 1 ] && [ "${CI:-}" != true ]; }; then
    echo "pacote: ignorado (precisa de root e KOVA_TESTE_PACOTE=1 ou CI=true)"
    exit 77
fi
# The machine's package database and its users are one for every copy of this test (another clone's
# suite may run beside this one): one copy at a time.
exec 9>/var/lock/kova-pacote-teste.lock
flock 9
trabalho="$(mktemp -d)"
# The next version is built beside the build folder, at the same depth, so that the compiler cache
# serves it.
seguinte="${build}-pacote"
usuarios=(kovateste1 kovateste2)
pacotes=(kova kova-comum libkovadll1 libkovadll-dev)
# apt waits for the package database while another program installs (a developer's own apt beside the
# suite) instead of failing at once.
remove() { DEBIAN_FRONTEND=noninteractive apt-get remove -o DPkg::Lock::Timeout=600 -y -qq "${pacotes[@]}"; }
limpa() {
    for u in "${usuarios[@]}"; do userdel -r "$u" >/dev/null 2>&1 || true; done
    remove >/dev/null 2>&1 || true
    rm -f /usr/bin/Config.ini
    rm -rf "$trabalho"
}
trap limpa EXIT
falha() { echo "pacote: $*" >&2; exit 1; }
# A program run as a user of the installed package, in their own home, with nothing of the tests'
# environment.
como() {
    local u="$1"
    shift
    local casa
    casa="$(getent passwd "$u" | cut -d: -f6)"
    runuser -u "$u" -- env -u KOVA_WINDIR -u KOVA_SYSDIR -u XDG_DATA_HOME -u XDG_CONFIG_HOME HOME="$casa" "$@"
}
contagem() { sqlite3 "$1" 'select count(*) from registros'; }
# The user's folders 0700, their settings and slips 0600.
privados() {
    local casa="$1" f
    for f in .config/kova .local/share/kova .local/share/kova/Dados; do
        [ "$(stat -c %a "$casa/$f")" = 700 ] || falha "$casa/$f: modo $(stat -c %a "$casa/$f")"
    done
    for f in .config/kova/KOVA.INI .local/share/kova/Dados/KOVA.cds; do
        [ "$(stat -c %a "$casa/$f")" = 600 ] || falha "$casa/$f: modo $(stat -c %a "$casa/$f")"
    done
}
instala() {
    DEBIAN_FRONTEND=noninteractive apt-get install -o DPkg::Lock::Timeout=600 -y -qq --no-install-recommends "$@" >/dev/null
}

# The packages of this build (version N), made one making at a time with the lintian test.
exec 8>"$build/.pacotes.lock"
flock 8
(cd "$build" && cpack -G DEB >"$trabalho/cpack.log" 2>&1) || { cat "$trabalho/cpack.log"; falha "cpack"; }
versao="$(dpkg-deb -f "$build"/kova_*_*.deb Version)"
debs=()
for p in "${pacotes[@]}"; do debs+=("$(ls "$build/${p}_${versao}_"*.deb)"); done
flock -u 8
instala "${debs[@]}"
multiarch="$(dpkg-architecture -qDEB_HOST_MULTIARCH 2>/dev/null || gcc -print-multiarch)"
[ -x /usr/bin/kova ] && [ -x /usr/bin/kovacli ] || falha "programas não instalados"
[ -e "/usr/lib/$multiarch/libkovadll.so.1" ] || falha "libkovadll.so.1 não instalada"
# The packaged library exports the host programs' calls and nothing else; the tests' variant,
# which sets the clock the rules of dates read, is in no package.
python3 "$fonte/library/tests/confere_exportacoes.py" "$fonte/library/exportacoes.txt" \
    "/usr/lib/$multiarch/libkovadll.so.1" || falha "libkovadll.so.1 exporta mais que as chamadas dos programas"
# It loads neither Qt nor the print system until a call needs the screen or a printer: then it
# loads its module from the folder kova beside it.
python3 "$fonte/library/tests/confere_dependencias.py" "/usr/lib/$multiarch/libkovadll.so.1" \
    "/usr/lib/$multiarch/kova/libkovadll_tela.so" || falha "libkovadll.so.1 carrega o Qt ou a impressão"
! dpkg -L "${pacotes[@]}" | grep -q kovadll_teste || falha "um pacote traz a variante de teste da biblioteca"
[ -e /usr/share/man/man1/kova.1.gz ] && [ -e /usr/share/man/man1/kovacli.1.gz ] || falha "páginas de manual"
[ -e /usr/share/kova/ajuda/digitacao.html ] || falha "o manual não foi instalado"
[ "$(kovacli --versao)" = "kovacli (KOVA) $versao" ] || falha "versão do kovacli: $(kovacli --versao)"
[ "$(pkg-config --modversion kovadll)" = "$versao" ] || falha "versão do pkg-config"
cc "$fonte/examples/kova2_ligado.c" $(pkg-config --cflags --libs kovadll) -lz -o "$trabalho/kova2_ligado"
python3 "$fonte/bench/gera_incorporacao.py" 3 > "$trabalho/tres.txt"
chmod -R a+rX "$trabalho"
antes="$(cd /usr/share/kova/Dados && md5sum ./*)"
# An import printed to a PDF file, on a copy of the shipped tables: the installed kovacli finds the
# printing module where the package put it.
mkdir "$trabalho/impressa" && cp -r /usr/share/kova/Dados "$trabalho/impressa/"
kovacli incorporar "$trabalho/tres.txt" --programa "$trabalho/impressa" --pdf "$trabalho/impressa/tres.pdf" >/dev/null 2>&1 ||
    falha "importação impressa falhou"
[ "$(head -c 5 "$trabalho/impressa/tres.pdf")" = "%PDF-" ] || falha "o PDF da importação não foi escrito"
[ "$(pdfinfo "$trabalho/impressa/tres.pdf" | awk '/^Pages:/ {print $2}')" = 3 ] || falha "o PDF da importação não tem as 3 KOVA"

for u in "${usuarios[@]}"; do
    useradd -m "$u"
    casa="$(getent passwd "$u" | cut -d: -f6)"
    # The first start makes the user's own data directory from the shipped tables.
    como "$u" kovacli incorporar "$trabalho/tres.txt" --sem-impressao >/dev/null 2>&1 || falha "$u: importação falhou"
    [ "$(contagem "$casa/.local/share/kova/Dados/KOVA.cds")" = 3 ] || falha "$u: as 3 KOVA não estão na pasta de dados do usuário"
    grep -q "DirDados=$casa/.local/share/kova/Dados/" "$casa/.config/kova/KOVA.INI" || falha "$u: KOVA.INI"
    privados "$casa"
    # The library in a host built against the installed header and library: a refusal, signed.
    saida="$(como "$u" "$trabalho/kova2_ligado" || true)"
    case "$saida" in Retorno=001\;*\;CRC=*) ;; *) falha "$u: resposta da biblioteca: $saida" ;; esac
done
# A program built elsewhere (a developer's build, another copy's tests) keeps to its own folders
# beside the installed package: with no settings and no tables beside it, it finds none, and takes
# neither the package's tables nor its component.
mkdir -p "$trabalho/construcao/casa"
cp "$build/bin/kovacli" "$trabalho/construcao/"
cp -L "$build/bin/libkovadll.so.1" "$build/bin/libkovamotor.so.1" "$trabalho/construcao/"
if saida="$(env -u KOVA_WINDIR -u KOVA_SYSDIR -u XDG_DATA_HOME -u XDG_CONFIG_HOME LD_LIBRARY_PATH="$trabalho/construcao" \
    HOME="$trabalho/construcao/casa" "$trabalho/construcao/kovacli" incorporar "$trabalho/tres.txt" --sem-impressao 2>&1)"; then
    falha "um kovacli fora do pacote usou as tabelas instaladas"
fi
case "$saida" in *"$trabalho/construcao/Dados/ControleCRC.cds"*) ;; *) falha "kovacli fora do pacote: $saida" ;; esac
[ ! -e "$trabalho/construcao/casa/.local/share/kova/Dados" ] || falha "um kovacli fora do pacote fez dados do usuário"
# Nothing of a user's is written under /usr.
[ "$(cd /usr/share/kova/Dados && md5sum ./*)" = "$antes" ] || falha "as tabelas instaladas mudaram"
[ ! -e /usr/bin/Dados ] && [ ! -e /usr/bin/KOVA.INI ] || falha "algo gravado em /usr/bin"

# Version N+1: one state's name changed, and the tables' own version.
IFS=. read -r maior menor correcao <<< "$versao"
proxima="$maior.$menor.$((${correcao:-0} + 1))"
mkdir "$trabalho/dados"
cp "$fonte"/data/*.csv "$trabalho/dados/"
sed -i 's/^AC;Acre;/AC;Acre (revisado);/' "$trabalho/dados/UF.csv"
grep -q "^AC;Acre (revisado);" "$trabalho/dados/UF.csv" || falha "a linha do Acre não mudou"
python3 - "$trabalho/dados/Controle.csv" <<'FIM'
import sys
linhas = open(sys.argv[1], encoding="utf-8").read().splitlines()
campos = linhas[0].split(";")
valores = linhas[1].split(";")
i = campos.index("VersaoRelease")
valores[i] = str(int(valores[i]) + 1)
open(sys.argv[1], "w", encoding="utf-8").write(linhas[0] + "\n" + ";".join(valores) + "\n")
FIM
export CCACHE_BASEDIR="$fonte" CCACHE_NOHASHDIR=1
cmake -S "$fonte" -B "$seguinte" -G Ninja -DCMAKE_BUILD_TYPE="$(sed -n 's/^CMAKE_BUILD_TYPE:STRING=//p' "$build/CMakeCache.txt")" \
    -DKOVA_VERSAO="$proxima" -DKOVA_FONTE_TABELAS="$trabalho/dados" >/dev/null
cmake --build "$seguinte" --target kova kovacli kovadll DllInscE32 kova_dados kova_ajuda kova_docs_pacote >/dev/null
(cd "$seguinte" && cpack -G DEB >"$trabalho/cpack.log" 2>&1) || { cat "$trabalho/cpack.log"; falha "cpack da versão $proxima"; }
novos=()
for p in "${pacotes[@]}"; do novos+=("$(ls "$seguinte/${p}_${proxima}_"*.deb)"); done
instala "${novos[@]}"
[ "$(dpkg-query -W -f '${Version}' kova)" = "$proxima" ] || falha "a atualização para $proxima não foi instalada"

for u in "${usuarios[@]}"; do
    casa="$(getent passwd "$u" | cut -d: -f6)"
    dados="$casa/.local/share/kova/Dados"
    # As the version before this one left them, open to everyone: the next start closes them.
    chmod 755 "$casa/.config/kova" "$casa/.local/share/kova" "$dados"
    chmod 644 "$casa/.config/kova/KOVA.INI" "$dados/KOVA.cds"
    # The first start after the upgrade replaces the user's tables and says so once.
    aviso="$(como "$u" kovacli 'UFFAVORECIDA=AC' 2>&1 >/dev/null || true)"
    privados "$casa"
    case "$aviso" in *"tabelas de referência foram atualizadas"*"Tabelas alteradas: "*UF.cds*) ;;
        *) falha "$u: o aviso da atualização das tabelas não veio: $aviso" ;; esac
    case "$aviso" in *"Versão das tabelas: 1.04 (antes: 1.03)"*) ;; *) falha "$u: versões no aviso: $aviso" ;; esac
    [ "$(sqlite3 "$dados/UF.cds" "select Descricao from registros where UF='AC'")" = "Acre (revisado)" ] ||
        falha "$u: a tabela de Estados não foi atualizada"
    [ "$(contagem "$dados/KOVA.cds")" = 3 ] || falha "$u: as KOVA não foram mantidas"
    aviso="$(como "$u" kovacli 'UFFAVORECIDA=AC' 2>&1 >/dev/null || true)"
    case "$aviso" in *"foram atualizadas"*) falha "$u: o aviso veio de novo" ;; esac
    # The checksums recorded match: the next writer loads the updated directory and saves.
    como "$u" kovacli incorporar "$trabalho/tres.txt" --sem-impressao >/dev/null 2>&1 || falha "$u: importação depois da atualização"
    [ "$(contagem "$dados/KOVA.cds")" = 6 ] || falha "$u: as KOVA depois da atualização"
done

# A new-version request beside the installed program (written as the programs read their
# settings, in Windows-1252): each user's slips file is rebuilt in their own folder, once.
printf '[Op\xe7\xf5es]\r\nInstala\xe7\xe3o=NovaVersao\r\n' > /usr/bin/Config.ini
for u in "${usuarios[@]}"; do
    casa="$(getent passwd "$u" | cut -d: -f6)"
    saida="$(como "$u" kovacli incorporar "$trabalho/tres.txt" --sem-impressao 2>&1)" ||
        falha "$u: início com o pedido de nova versão: $saida"
    case "$saida" in *"preservar as KOVA"*) ;; *) falha "$u: a nova versão não foi instalada: $saida" ;; esac
    grep -q "DirDados=$casa/.local/share/kova/Dados/" "$casa/.config/kova/KOVA.INI" ||
        falha "$u: KOVA.INI aponta para outra pasta: $(cat "$casa/.config/kova/KOVA.INI")"
    [ "$(contagem "$casa/.local/share/kova/Dados/KOVA.cds")" = 9 ] || falha "$u: as KOVA com a nova versão"
    saida="$(como "$u" kovacli incorporar "$trabalho/tres.txt" --sem-impressao 2>&1)" || falha "$u: segundo início: $saida"
    case "$saida" in *"preservar as KOVA"*) falha "$u: a nova versão foi instalada de novo" ;; esac
done
grep -q "Instala" /usr/bin/Config.ini || falha "o pedido foi retirado do Config.ini de todos"
rm -f /usr/bin/Config.ini
[ ! -e /usr/bin/Dados ] && [ ! -e /usr/bin/KOVA.INI ] || falha "algo gravado em /usr/bin"

remove >/dev/null
[ ! -e /usr/bin/kova ] || falha "kova ficou instalado"
for u in "${usuarios[@]}"; do
    casa="$(getent passwd "$u" | cut -d: -f6)"
    [ "$(contagem "$casa/.local/share/kova/Dados/KOVA.cds")" = 12 ] ||
        falha "$u: as KOVA do usuário sumiram com a remoção"
done
echo "1 passed, 0 failed"
