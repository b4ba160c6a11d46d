#!/usr/bin/env bash
# Builds the Debian package, installs it on this machine, uses it as two new users would (the
# library through kovacli, an import, a C host built against pkg-config kovadll), removes it and
# checks that each user's slips are still there. It installs and removes a system package and
# adds users: it runs only as root, with KOVA_TESTE_PACOTE=1 or in CI; otherwise it is skipped.
#   pacote_teste.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
build="$1"
fonte="$2"
if [ "$(id -u)" -ne 0 ] || { [ "${KOVA_TESTE_PACOTE:-}" != 1 ] && [ "${CI:-}" != true ]; }; then
    echo "pacote: ignorado (precisa de root e KOVA_TESTE_PACOTE=1 ou CI=true)"
    exit 77
fi
# The machine's package database and its users are one for every copy of this test (another clone's
# suite may run beside this one): one copy at a time.
exec 9>/var/lock/kova-pacote-teste.lock
flock 9
trabalho="$(mktemp -d)"
usuarios=(kovateste1 kovateste2)
limpa() {
    for u in "${usuarios[@]}"; do userdel -r "$u" >/dev/null 2>&1 || true; done
    dpkg -r kova >/dev/null 2>&1 || true
    rm -rf "$trabalho"
}
trap limpa EXIT
falha() { echo "pacote: $*" >&2; exit 1; }

(cd "$build" && cpack -G DEB >/dev/null)
deb="$(ls "$build"/kova_*.deb | head -1)"
DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "$deb" >/dev/null
[ -x /usr/bin/kova ] && [ -x /usr/bin/kovacli ] || falha "programas não instalados"
[ -e /usr/lib/libkovadll.so.1 ] || falha "libkovadll.so.1 não instalada"
pkg-config --exists kovadll || falha "pkg-config não acha kovadll"
cc "$fonte/examples/kova2_ligado.c" $(pkg-config --cflags --libs kovadll) -lz -o "$trabalho/kova2_ligado"
python3 "$fonte/bench/gera_incorporacao.py" 3 > "$trabalho/tres.txt"
chmod -R a+rX "$trabalho"
antes="$(cd /usr/share/kova/Dados && md5sum ./*)"

for u in "${usuarios[@]}"; do
    useradd -m "$u"
    casa="$(getent passwd "$u" | cut -d: -f6)"
    # The first start makes the user's own data directory from the shipped tables.
    runuser -u "$u" -- env -u KOVA_WINDIR -u KOVA_SYSDIR -u XDG_DATA_HOME -u XDG_CONFIG_HOME HOME="$casa" \
        kovacli incorporar "$trabalho/tres.txt" --sem-impressao >/dev/null || falha "$u: importação falhou"
    [ "$(sqlite3 "$casa/.local/share/kova/Dados/KOVA.cds" 'select count(*) from registros')" = 3 ] ||
        falha "$u: as 3 KOVA não estão na pasta de dados do usuário"
    grep -q "DirDados=$casa/.local/share/kova/Dados/" "$casa/.config/kova/KOVA.INI" || falha "$u: KOVA.INI"
    # The library in a host built against the installed header and library: a refusal, signed.
    saida="$(runuser -u "$u" -- env -u KOVA_WINDIR -u KOVA_SYSDIR HOME="$casa" "$trabalho/kova2_ligado" || true)"
    case "$saida" in Retorno=001\;*\;CRC=*) ;; *) falha "$u: resposta da biblioteca: $saida" ;; esac
done
# Nothing of a user's is written under /usr.
[ "$(cd /usr/share/kova/Dados && md5sum ./*)" = "$antes" ] || falha "as tabelas instaladas mudaram"
[ ! -e /usr/bin/Dados ] && [ ! -e /usr/bin/Config.ini ] && [ ! -e /usr/bin/KOVA.INI ] || falha "algo gravado em /usr/bin"

dpkg -r kova >/dev/null
[ ! -e /usr/bin/kova ] || falha "kova ficou instalado"
for u in "${usuarios[@]}"; do
    casa="$(getent passwd "$u" | cut -d: -f6)"
    [ "$(sqlite3 "$casa/.local/share/kova/Dados/KOVA.cds" 'select count(*) from registros')" = 3 ] ||
        falha "$u: as KOVA do usuário sumiram com a remoção"
done
echo "1 passed, 0 failed"
