#!/bin/sh
# A PDF of printed slips that one write error damaged is no print: the disk refuses one write of
# the file (EIO, once, every later write served) at each of its writes in turn, and every time
# `kovacli incorporar --pdf` ends with a failure status and says in Portuguese that the slips were
# not printed, marks none of them printed and leaves no PDF, and `imprime` answers "001" with the
# reason for kova_ultimo_erro. Without the failure the same runs print. The failure is made by
# kova_falha_na_escrita (ptrace), so the programs are the ones that ship.
set -eu
kovacli=$1; dados=$2; gerador=$3; falha=$4; imprime=$5
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
# No print queue anywhere: the library writes its PDF files.
export QT_QPA_PLATFORM=offscreen KOVA_WINDIR="$dir/" KOVA_SYSDIR="$dir/" CUPS_SERVER="$dir/sem-cups"
# Twenty slips: a PDF of several writes.
python3 "$gerador" 20 > "$dir/k.txt"

situacoes() {  # the situations of the slips file, one letter a slip
    python3 -c 'import sqlite3, sys
print("".join(s for (s,) in sqlite3.connect(sys.argv[1]).execute(
    "SELECT Situacao FROM registros ORDER BY IdKOVA")))' "$1"
}

importa() {  # write to fail (0: none); the program folder gets a fresh copy of the data
    rm -rf "$dir/p"
    mkdir -p "$dir/p"
    cp -r "$dados" "$dir/p/Dados"
    status=0
    "$falha" "$dir/relato" ".pdf" "$1" "$kovacli" incorporar "$dir/k.txt" --programa "$dir/p" \
        --pdf "$dir/p/saida.pdf" > "$dir/saida.txt" 2> "$dir/erro.txt" || status=$?
    [ "$status" -ne 77 ] || { echo "skipped: this processor cannot be made to fail a write"; exit 77; }
}

importa 0
[ "$status" -eq 0 ] || { echo "status $status"; cat "$dir/erro.txt"; exit 1; }
pdfinfo "$dir/p/saida.pdf" | grep -q '^Pages: *20$'
[ "$(situacoes "$dir/p/Dados/KOVA.cds")" = "IIIIIIIIIIIIIIIIIIII" ]
escritas=$(sed 's/.*escritas=\([0-9]*\).*/\1/' "$dir/relato")
[ "$escritas" -ge 3 ] || { echo "only $escritas writes: a PDF of several pieces was expected"; exit 1; }

n=1
while [ "$n" -le "$escritas" ]; do
    importa "$n"
    grep -q "falhou=1" "$dir/relato" || { echo "write $n was not failed"; exit 1; }
    [ "$status" -ne 0 ] || { echo "write $n failed, status 0"; cat "$dir/erro.txt"; exit 1; }
    grep -q "As 20 KOVA, Nº 1 a Nº 20, não foram impressas" "$dir/erro.txt" ||
        { echo "write $n: no message"; cat "$dir/erro.txt"; exit 1; }
    grep -q "Não foi possível gravar o arquivo $dir/p/saida.pdf" "$dir/erro.txt"
    grep -q "0 impressas" "$dir/erro.txt"
    ! grep -q "impressas com sucesso" "$dir/saida.txt" "$dir/erro.txt"
    ! situacoes "$dir/p/Dados/KOVA.cds" | grep -q I || { echo "write $n: slips marked"; exit 1; }
    [ ! -e "$dir/p/saida.pdf" ]
    ! ls "$dir/p" | grep -q 'saida\.pdf\.'
    n=$((n + 1))
done
echo "kovacli incorporar: each of its $escritas writes of the PDF failed in turn"

# imprime: the host stores a slip with kova2 and prints it; the data directory the host made is
# named by its "pdf=" line.
imprime_com() {  # write to fail (0: none)
    # The host writes what the library answered as it is: Windows-1252.
    "$falha" "$dir/relato" ".pdf" "$1" "$imprime" 2> /dev/null | iconv -f CP1252 -t UTF-8 \
        > "$dir/imprime.txt"
    pasta=$(sed -n 's/^pdf=//p' "$dir/imprime.txt")
}
imprime_com 0
grep -q "^imprime=000$" "$dir/imprime.txt" || { cat "$dir/imprime.txt"; exit 1; }
ls "$pasta" | grep -q '^KOVA_1\.pdf$'
rm -rf "$(dirname "$pasta")"
escritas=$(sed 's/.*escritas=\([0-9]*\).*/\1/' "$dir/relato")
n=1
while [ "$n" -le "$escritas" ]; do
    imprime_com "$n"
    grep -q "falhou=1" "$dir/relato"
    grep -q "^imprime=001KOVA não incluida$" "$dir/imprime.txt" || { echo "write $n:"; cat "$dir/imprime.txt"; exit 1; }
    grep -q "^erro=Não foi possível gravar o arquivo .*KOVA_1.pdf" "$dir/imprime.txt"
    [ -z "$(ls "$pasta" 2> /dev/null)" ]
    rm -rf "$(dirname "$pasta")"
    n=$((n + 1))
done
echo "imprime: each of its $escritas writes of the PDF failed in turn"
echo ok
