#!/bin/sh
# kova_gera_tabelas on a data directory in use: a good run keeps the slips already there; every
# refused source (Latin-1 file, a character outside Windows-1252, an empty file, an unknown column,
# a rule row with a flag the system does not know) names its file and line and changes nothing;
# --substituir-kova empties the slips file, but not while another program writes slips there. Rule
# rows that contradict each other are warned about (the shipped ones agree) and written all the same.
set -eu
tool=$1; kovacli=$2; gerador=$3; fontes=$4
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
mkdir -p "$dir/Dados"
"$tool" "$fontes" "$dir/Dados" 2> "$dir/avisos.txt"
[ ! -s "$dir/avisos.txt" ] || { cat "$dir/avisos.txt"; exit 1; }
python3 "$gerador" 3 > "$dir/k.txt"
QT_QPA_PLATFORM=offscreen "$kovacli" incorporar "$dir/k.txt" --programa "$dir" --sem-impressao > /dev/null 2>&1
conta() { sqlite3 "$dir/Dados/KOVA.cds" "select count(*) from registros"; }
# The library of a copy of kovacli in the folder loads Dados beside it for a request: status 2
# only when the data do not load.
cp "$kovacli" "$(dirname "$kovacli")/libkovadll.so" "$dir/"
carrega() {
    status=0
    "$dir/kovacli" "UFFAVORECIDA=SP" > /dev/null 2> "$dir/carga.txt" || status=$?
    [ "$status" -ne 2 ] || { cat "$dir/carga.txt"; exit 1; }
}
[ "$(conta)" -eq 3 ]

"$tool" "$fontes" "$dir/Dados"
[ "$(conta)" -eq 3 ]
retrato() { (cd "$dir/Dados" && ls -1 && cksum *.cds); }
antes=$(retrato)

recusa() {  # file, expected text in the message
    status=0
    "$tool" "$dir/f" "$dir/Dados" 2> "$dir/erro.txt" || status=$?
    [ "$status" -eq 1 ] || { echo "status $status for $1"; cat "$dir/erro.txt"; exit 1; }
    grep -q "$1" "$dir/erro.txt" || { echo "expected '$1'"; cat "$dir/erro.txt"; exit 1; }
    [ "$(retrato)" = "$antes" ] || { echo "the directory changed after '$1'"; exit 1; }
}
novas_fontes() { rm -rf "$dir/f"; cp -r "$fontes" "$dir/f"; }

novas_fontes
printf 'UF;Descricao;Codigo;CodigoBarra;Conveniada;CodigoBarraVencidos;Periodicidade;UFEndIgual;DataPagamentoIgual\nAC;Acre\351;124;12;S;S;M;S;N\n' > "$dir/f/UF.csv"
recusa "UF.csv, linha 2: o texto não está em UTF-8"
novas_fontes
printf 'ID;Nome\n001;Banco \305\202\303\263d\305\272\n' > "$dir/f/Banco.csv"
recusa "Banco.csv, linha 2: o caractere U+0142 não existe em Windows-1252"
novas_fontes
: > "$dir/f/Feriado.csv"
recusa "Feriado.csv: arquivo vazio"
novas_fontes
sed -i '1s/Nome/Nome;Apelido/; 2,$s/$/;x/' "$dir/f/EmpresaCourier.csv"
recusa 'EmpresaCourier.csv, linha 1: campo desconhecido "Apelido"'
# A source refused late (the last table) leaves the earlier ones unwritten too.
novas_fontes
printf 'UFID;BancoID\nSPX;001\n' > "$dir/f/UFBanco.csv"
recusa "UFBanco.csv, linha 2"
carrega

# A rule row whose flag the system does not know (a typing slip of "EV") would never be read.
novas_fontes
printf 'SP;100048;EW;Pague em dia\n' >> "$dir/f/UFReceita.csv"
linha=$(wc -l < "$dir/f/UFReceita.csv")
recusa "UFReceita.csv, linha $linha: flag desconhecida \"EW\""

# A format of the document that no document beginning with 16000 passes, beside the rule that
# demands that beginning, and a rule given twice: warned, naming the lines, and written.
novas_fontes
sed -i 's/^ES;100064;DO;.*/ES;100064;DO;010 007 S S S/' "$dir/f/UFReceita.csv"
printf 'AC;100064;DO;012 001 S S S\n' >> "$dir/f/UFReceita.csv"
"$tool" "$dir/f" "$dir/Dados" 2> "$dir/avisos.txt"
grep -q "aviso: UFReceita.csv, linhas [0-9]* e [0-9]*: regras contraditórias para ES 100064: o formato 7 da regra DO" "$dir/avisos.txt"
grep -q "a regra DO de AC 100064 aparece duas vezes com textos diferentes" "$dir/avisos.txt"
[ "$(retrato)" != "$antes" ]
"$tool" "$fontes" "$dir/Dados"
[ "$(conta)" -eq 3 ]

# Emptying the slips file waits for no writer: it is refused while one runs.
flock "$dir/Dados/KOVA.escritor" -c "status=0; '$tool' --substituir-kova '$fontes' '$dir/Dados' 2> '$dir/erro.txt' || status=\$?; [ \$status -eq 3 ]"
grep -q "gravadas por outro programa" "$dir/erro.txt"
[ "$(conta)" -eq 3 ]
"$tool" --substituir-kova "$fontes" "$dir/Dados"
[ "$(conta)" -eq 0 ]
carrega
echo ok
