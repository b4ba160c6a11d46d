#!/bin/sh
# The flags of the state rule table are spelt in store/include/RegrasDaUF.h and store/RegrasDaUF.cpp
# and nowhere else in the programs: a flag that header does not list does not compile, and no other
# source reads the rule table's rows or columns itself, where it could spell a flag of its own.
#
#   flags_de_regra.sh <C++ compiler> <source folder>
set -eu
cxx=$1
raiz=$2
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT

compila() {  # flag, file of the compiler's messages
    printf '#include "RegrasDaUF.h"\nconst auto kFlag = kova::TFlagRegra::%s;\n' "$1" > "$dir/uso.cpp"
    "$cxx" -std=c++20 -fsyntax-only -I"$raiz/store/include" "$dir/uso.cpp" 2> "$2"
}
compila EV "$dir/conhecida.txt" || { cat "$dir/conhecida.txt"; echo "FALHA: uma flag conhecida não compila"; exit 1; }
if compila EW "$dir/desconhecida.txt"; then
    echo "FALHA: a flag EW, que o cabeçalho não conhece, compilou"
    exit 1
fi
grep -q "EW" "$dir/desconhecida.txt" || { cat "$dir/desconhecida.txt"; exit 1; }

# The table's definition (its fields and index) is the data module's; any other reading of the
# rule table goes through the look-ups of RegrasDaUF.
achados=$(find "$raiz" -path "$raiz/build*" -prune -o -name tests -prune -o -name fuzz -prune -o \
        \( -name '*.cpp' -o -name '*.h' -o -name '*.c' \) -print |
    grep -v '/store/\(include/\)\{0,1\}RegrasDaUF\.' |
    xargs grep -nE 'cdsUFReceita *(\.|->) *(FindKey|Locate|Lookup|FieldByName|FindField|Fields)|"Flag"' |
    grep -v 'Campo(cdsUFReceita, "Flag"' || true)
if [ -n "$achados" ]; then
    echo "FALHA: a tabela de regras lida fora de store/RegrasDaUF.cpp (use RegraUF e TFlagRegra):"
    echo "$achados"
    exit 1
fi
echo ok
