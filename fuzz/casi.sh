#!/usr/bin/env bash
# The bad-input cases: each one is the built-in scenario with one change (or a
# source made from scratch). Every case is compiled with `scenario compile
# --json`; the script prints a Markdown table of what each gave and, with
# --semi, also writes each case as a seed of the compile harness.
#
# Usage: fuzz/casi.sh BUILD_DIR [--semi]    (BUILD_DIR/bin/scenario must exist)
set -euo pipefail
export LC_ALL=C  # bytes stay bytes in awk, sed and tr

qui=$(cd "$(dirname "$0")" && pwd)
scenario=$1/bin/scenario
semi=${2:-}
lavoro=$(mktemp -d)
trap 'rm -rf "$lavoro"' EXIT

R=FerziaPS-Calvorano
T=24617
L=${R}_linea.txt
N=${R}_${T}-.txt
"$scenario" sources "$lavoro/base" >/dev/null

# Line helpers over CR LF text. `metti FILE TEXT` adds a line before "[fine]";
# `cambia FILE OLD NEW` swaps a line that starts with OLD (sed pattern) for NEW.
metti() {
  printf '%s\r\n' "$2" >"$lavoro/riga"
  awk -v r="$lavoro/riga" '/^\[fine\]/ { while ((getline x <r) > 0) print x; close(r) } { print }' "$1" >"$1.n"
  mv "$1.n" "$1"
}
cambia() { sed -i "s/^$2.*\r\$/$3\r/" "$1"; }
togli() { sed -i "/^$2/d" "$1"; }
ripeti() { # FILE COUNT FORMAT STEP START: COUNT lines; the printf format gets the
  # position START + i * STEP, then i, for i = 0, 1, ...
  awk -v n="$2" -v f="$3" -v a="$4" -v b="$5" \
    '/^\[fine\]/ { for (i = 0; i < n; i++) printf f "\r\n", b + i * a, i } { print }' "$1" >"$1.n" &&
    mv "$1.n" "$1"
}
spazzatura() { # COUNT SEED: deterministic bytes of every value
  awk -v n="$1" -v s="$2" 'BEGIN { for (i = 0; i < n; i++) { s = (s * 1103515245 + 12345) % 2147483648; printf "%c", int(s / 65536) % 256 } }'
}

printf '| Case | What was tried | Code | Position (m) | Compiled files | Exit |\n'
printf '|---|---|---|---|---|---|\n'

# caso NAME DESCRIPTION: the sources of the case are in $d (copies of the
# built-in ones) once `prepara` ran; `esegui` compiles them and adds the row.
prepara() {
  d=$lavoro/$1
  mkdir -p "$d"
  cp "$lavoro/base/$L" "$lavoro/base/$N" "$d/"
}
esegui() {
  local nome=$1 descrizione=$2 json stato=0
  json=$("$scenario" compile "$d" "$R" "$T" --json --out "$d/out" 2>/dev/null) || stato=$?
  local codice posizione files
  codice=$(sed -n 's/.*"codice_errore":\([0-9-]*\).*/\1/p' <<<"$json")
  posizione=$(sed -n 's/.*"posizione_errore":\([0-9-]*\).*/\1/p' <<<"$json")
  files=$(sed -n 's/.*"files":\[\([^]]*\)\].*/\1/p' <<<"$json" | tr -d '"' | sed 's/,/, /g')
  [ -n "$files" ] || files="none"
  if [ "$files" = "${R}_linea.dat, ${R}_${T}.sim, ${R}_${T}.dat" ]; then files="all three"; fi
  printf '| `%s` | %s | %s | %s | %s | %s |\n' "$nome" "$descrizione" "$codice" "$posizione" "$files" "$stato"
  if [ "$semi" = --semi ]; then
    local seme=$qui/corpus/compila/caso-$nome
    {
      [ -f "$d/$L" ] || printf '\xfe'
      [ -f "$d/$L" ] && cat "$d/$L"
      [ -f "$d/$N" ] && printf '\xff' && cat "$d/$N"
      true
    } >"$seme"
    # Inputs past the harness's length limit would only be cut.
    if [ "$(stat -c %s "$seme")" -gt 65536 ]; then rm -f "$seme"; fi
  fi
}

prepara predefinito
esegui predefinito "the built-in scenario, unchanged"

# Error codes raised by the line source.
prepara linea-mancante; rm "$d/$L"
esegui linea-mancante "no line source at all"
prepara linea-vuota; : >"$d/$L"
esegui linea-vuota "empty line source"
prepara senza-generale; cambia "$d/$L" '\[generale\]' '[generalita]'
esegui senza-generale "line source without a \"[generale]\" section"
prepara generale-ultimo; printf 'commento\r\n[generale]' >"$d/$L"
esegui generale-ultimo "\"[generale]\" as the last field of the file"
prepara lunghezza-eccessiva; cambia "$d/$L" 'lunghezza percorso' 'lunghezza percorso, 1000001'
esegui lunghezza-eccessiva "line length 1000001"
prepara seconda-lunghezza-eccessiva; sed -i 's/^sfondo uno.*/lunghezza percorso, 2000000\r/' "$d/$L"
esegui seconda-lunghezza-eccessiva "a second length line of 2000000 after a valid one"
prepara ripetizione-inizio; cambia "$d/$L" 'ripetizione segnali' 'ripetizione segnali 4 codici, 7525, 35600'
esegui ripetizione-inizio "repetition zone starting at 7525"
prepara ripetizione-fine; cambia "$d/$L" 'ripetizione segnali' 'ripetizione segnali 4 codici, 7500, 35610'
esegui ripetizione-fine "repetition zone ending at 35610"
prepara ripetizione-codici; cambia "$d/$L" 'ripetizione segnali' 'ripetizione segnali codici, 7500, 35600'
esegui ripetizione-codici "repetition key naming neither 4 nor 9"
prepara cartello-occupato; metti "$d/$L" 'cartello_indicatore, 16250, (doppio)'
esegui cartello-occupato "two named signs at 16250"
prepara indicatori-occupati; metti "$d/$L" 'indicatori_vmax, 900, 60, 60, 60, 0, , , , 0'
esegui indicatori-occupati "two speed boards at 900"
prepara curva-senza-classe; cambia "$d/$L" 'curvad5' 'curvad7,  900,  100'
esegui curva-senza-classe "curve token \"curvad7\" (no class 1 to 6)"
prepara curva-oltre-milione; cambia "$d/$L" 'lunghezza percorso' 'lunghezza percorso, 1000000'
metti "$d/$L" 'curvad1, 999000, 5000'
esegui curva-oltre-milione "1000000 m line with a curve carrying the plan past 1000000"
prepara pendenza-oltre; metti "$d/$L" 'pendenza, 43901, 3'
esegui pendenza-oltre "gradient point at 43901 (one metre past the last cell)"
prepara progressiva-non-multipla; cambia "$d/$L" 'progressiva chilometrica uno' 'progressiva chilometrica uno, 3525, 9450, 1'
esegui progressiva-non-multipla "kilometric point at 3525"

# Error codes raised by the train source.
prepara treno-mancante; rm "$d/$N"
esegui treno-mancante "no train source"
prepara treno-vuoto; : >"$d/$N"
esegui treno-vuoto "empty train source"
prepara abbattimento-occupato; metti "$d/$N" 'abbattimento, 900, 60'
esegui abbattimento-occupato "speed-reduction point on the cell of the signal at 850"
prepara stazione-posizione; cambia "$d/$N" 'stazione,    2050' 'stazione,    2075, 25,  200,  0, 0, 0,  0,0,0,  0,0,0,    0,   0, 0, 0, BIVIO'
esegui stazione-posizione "station at 2075"
prepara stazione-lunghezza; cambia "$d/$N" 'stazione,    2050' 'stazione,    2050, 25,  250,  0, 0, 0,  0,0,0,  0,0,0,    0,   0, 0, 0, BIVIO'
esegui stazione-lunghezza "station 250 m long"
prepara troppe-stazioni; togli "$d/$N" 'stazione,'; togli "$d/$L" 'cartello_indicatore'
ripeti "$d/$N" 79 'stazione, %d, 25, 100, 0,0,0, 0,0,0, 0,0,0, 0, 0,0,0, S%d' 450 500
esegui troppe-stazioni "79 stations on a line without named signs"
prepara velocita-oltre; metti "$d/$N" 'velocita, 45000, 100'
esegui velocita-oltre "speed point at 45000"
prepara segnale-occupato; metti "$d/$N" 'segnale, 850, 2, 5, 6, 1, 0, 0, 0,0,0, 0'
esegui segnale-occupato "two signals at 850"
prepara avviso-occupato; metti "$d/$N" 'rallentamento, 2050, 60, 500, 1, 1, 0'
esegui avviso-occupato "slowdown at 2050: its warning cell holds the signal at 850"
prepara inizio-occupato; metti "$d/$N" 'rallentamento, 850, 60, 500, 1, 1, 0'
esegui inizio-occupato "slowdown starting on the signal at 850"
prepara fine-occupata; metti "$d/$N" 'rallentamento, 450, 60, 400, 1, 1, 0'
esegui fine-occupata "slowdown from 450 ending on the signal at 850"
prepara avvicinamento-occupato; metti "$d/$N" 'rallentamento, 2200, 60, 500, 1, 1, 0'
esegui avvicinamento-occupato "slowdown at 2200: the board at 900 is among its approach cells"
prepara stazioni-vicine; cambia "$d/$N" 'stazione,    2050' 'stazione,     600, 25,  200,  0, 0, 0,  0,0,0,  0,0,0,    0,   0, 0, 0, BIVIO'
esegui stazioni-vicine "second station zone starting at 500, the first ends at 500"
prepara fermata-iniziale; cambia "$d/$N" 'stazione,       0' 'stazione,       0,  4,  200,  1, 1, 0,  4,1,0,  2,1,1,    1,  14,25, 0, PRIMA'
esegui fermata-iniziale "first station of kind 4, 200 m long, at 0"
prepara regola-segnale; metti "$d/$N" 'segnale, 18000, 2, 4, 0, 0, 0, 0, 0,0,0, 0'
metti "$d/$N" 'abbattimento, 18000, 0'; metti "$d/$N" 'rallentamento, 20000, 60, 1000, 1, 1, 0'
esegui regola-segnale "signal before a slowdown warning with both cells before it taken"
prepara regola-avvicinamento; metti "$d/$N" 'rallentamento, 20000, 60, 1000, 1, 1, 0'
for p in 19700 19750 19800; do metti "$d/$N" "abbattimento, $p, 0"; done
esegui regola-avvicinamento "slowdown at 20000 with the cells 250 to 350 m before it taken"
prepara regola-interno; metti "$d/$N" 'rallentamento, 20000, 60, 1000, 1, 1, 0'
for p in 20400 20450 20500; do metti "$d/$N" "abbattimento, $p, 0"; done
esegui regola-interno "slow slowdown with the cells of its first check point taken"
prepara timbri-occupati; metti "$d/$N" 'segnale, 0, 2, 2, 0, 0, 0, 0, 1,0,0, 0'
esegui timbri-occupati "signal at 0: cell 1 holds a value in the stamp slot"
prepara codici-occupati; metti "$d/$N" 'segnale, 0, 2, 0, 5, 0, 0, 0, 0,0,0, 0'
esegui codici-occupati "signal at 0 with only its second value set: check-code slot taken"

# Malformed numbers.
prepara numero-lettere; cambia "$d/$L" 'lunghezza percorso' 'lunghezza percorso, 37km'
esegui numero-lettere "line length \"37km\""
prepara numero-decimale; metti "$d/$N" 'velocita, 20000, 80.5'
esegui numero-decimale "speed \"80.5\""
prepara numero-esadecimale; metti "$d/$L" 'pendenza, 0x7D00, 3'
esegui numero-esadecimale "gradient position \"0x7D00\""
prepara numero-solo-segno; metti "$d/$N" 'velocita, 20000, -'
esegui numero-solo-segno "speed \"-\" alone"
prepara numero-33-bit; metti "$d/$N" 'velocita, 20000, 2147483648'
esegui numero-33-bit "speed 2147483648 (past 32 bits)"
prepara numero-negativo-minimo; metti "$d/$N" 'aderenza, 20000, -2147483648'
esegui numero-negativo-minimo "adhesion -2147483648 (the smallest 32-bit value)"
prepara zeri-iniziali; cambia "$d/$L" 'lunghezza percorso' 'lunghezza percorso, 0000000000000000000037000'
esegui zeri-iniziali "line length with 19 leading zeros"
prepara numero-con-piu; cambia "$d/$L" 'lunghezza percorso' 'lunghezza percorso, +37000'
esegui numero-con-piu "line length \"+37000\""
prepara numero-tra-virgolette; cambia "$d/$L" 'lunghezza percorso' 'lunghezza percorso, " 37000 "'
esegui numero-tra-virgolette "line length in double quotes"
prepara numero-vuoto; cambia "$d/$L" 'lunghezza percorso' 'lunghezza percorso, ,'
esegui numero-vuoto "empty line length (reads as 0)"
prepara lunghezza-negativa; cambia "$d/$L" 'lunghezza percorso' 'lunghezza percorso, -1'
esegui lunghezza-negativa "line length -1"
prepara velocita-eccessiva; metti "$d/$N" 'velocita, 20000, 1280'
esegui velocita-eccessiva "speed 1280 km/h (quotient above 255)"
prepara cartello-16-bit; metti "$d/$L" 'indicatori_vmax, 30000, 1639, 0, 0, 0, , , , 0'
esegui cartello-16-bit "board speed 1639 (packed value past 16 bits)"
prepara orologio-16-bit; cambia "$d/$N" 'orologio' 'orologio, 14, 24, 70000'
esegui orologio-16-bit "clock seconds 70000"
prepara stazione-8-bit; cambia "$d/$N" 'stazione,    2050' 'stazione,    2050, 256,  200,  0, 0, 0,  0,0,0,  0,0,0,    0,   0, 0, 0, BIVIO'
esegui stazione-8-bit "station kind 256"

# Cut-off entries, line ends, quotes, overlong lines and fields.
prepara voce-troncata; printf 'pendenza, 500' >>"$d/$L"
esegui voce-troncata "line source ending inside a gradient entry, after \"[fine]\""
prepara treno-troncato; head -c 700 "$lavoro/base/$N" >"$d/$N"
esegui treno-troncato "train source cut in the middle of a station entry"
prepara senza-lunghezza; togli "$d/$L" 'lunghezza percorso'
esegui senza-lunghezza "line source without a length line"
prepara solo-generale; printf '[generale]\r\n' >"$d/$L"
esegui solo-generale "line source holding only \"[generale]\""
prepara solo-lf; sed -i 's/\r$//' "$d/$L" "$d/$N"
esegui solo-lf "both sources with LF line ends"
prepara solo-cr; sed -i 's/\r$//' "$d/$L" "$d/$N"; tr '\n' '\r' <"$d/$L" >"$d/x" && mv "$d/x" "$d/$L"
tr '\n' '\r' <"$d/$N" >"$d/x" && mv "$d/x" "$d/$N"
esegui solo-cr "both sources with CR line ends"
prepara senza-fine; togli "$d/$L" '\[fine\]'
esegui senza-fine "line source without the closing \"[fine]\": its last sign is lost"
prepara trattini; sed -i 's/^\[curve\]/-,--,---,[curve]/' "$d/$L"
esegui trattini "three dash tokens in a row before \"[curve]\""
prepara virgolette; metti "$d/$L" 'cartello_indicatore, 30000, "(A, B)(C)" dopo'
esegui virgolette "quoted sign text holding a comma"
prepara virgolette-aperte; metti "$d/$L" 'cartello_indicatore, 30000, "(aperte'
esegui virgolette-aperte "sign text with an unclosed quote"
prepara riga-lunga; metti "$d/$L" "$(head -c 1000000 /dev/zero | tr '\0' 'x')"
esegui riga-lunga "a line of 1000000 letters with no key"
prepara cartello-lungo; metti "$d/$L" "cartello_indicatore, 30000, $(head -c 70000 /dev/zero | tr '\0' 'x')"
esegui cartello-lungo "a named sign text of 70000 characters"
prepara nome-lungo; cambia "$d/$N" 'stazione,    2050' "stazione,    2050, 25,  200,  0, 0, 0,  0,0,0,  0,0,0,    0,   0, 0, 0, $(head -c 70000 /dev/zero | tr '\0' 'y')"
esegui nome-lungo "a station name of 70000 characters"
prepara chiavi-maiuscole; sed -i 's/^pendenza/PENDENZA/; s/^segnale/SEGNALE/' "$d/$L" "$d/$N"
esegui chiavi-maiuscole "gradient and signal keys in capitals"
prepara byte-nulli; sed -i 's/^\[curve\]/\x00\x00[curve]\x00/' "$d/$L"
esegui byte-nulli "NUL bytes around \"[curve]\""
prepara testo-1252; metti "$d/$L" "$(printf 'cartello_indicatore, 30000, (citt\xe0)(\x80)')"
esegui testo-1252 "sign text with Windows-1252 bytes"

# Binary garbage.
prepara spazzatura-linea; spazzatura 4096 7 >"$d/$L"
esegui spazzatura-linea "4096 bytes of garbage as the line source"
prepara spazzatura-dopo-generale; { printf '[generale]\r\n'; spazzatura 4096 11; } >"$d/$L"
esegui spazzatura-dopo-generale "\"[generale]\" followed by 4096 bytes of garbage"
prepara spazzatura-treno; spazzatura 4096 13 >"$d/$N"
esegui spazzatura-treno "4096 bytes of garbage as the train source"
prepara spazzatura-in-mezzo; { head -c 1500 "$lavoro/base/$L"; spazzatura 2000 17; tail -c 900 "$lavoro/base/$L"; } >"$d/$L"
esegui spazzatura-in-mezzo "2000 bytes of garbage in the middle of the line source"

# Huge counts of entries.
prepara molte-pendenze; ripeti "$d/$L" 100000 'pendenza, %d, %d' 0 30000
esegui molte-pendenze "100000 gradient points at one position"
prepara molte-aderenze; ripeti "$d/$N" 100000 'aderenza, %d, %d' 0 30000
esegui molte-aderenze "100000 adhesion points at one position"
prepara molti-cartelli; togli "$d/$L" 'cartello_indicatore'
ripeti "$d/$L" 82 'cartello_indicatore, %d, (S%d)' 250 11100
esegui molti-cartelli "82 named signs"
prepara ottanta-cartelli; togli "$d/$L" 'cartello_indicatore'
ripeti "$d/$L" 80 'cartello_indicatore, %d, (S%d)' 250 11100
esegui ottanta-cartelli "80 named signs: no room left for a station"
prepara molte-montagne; ripeti "$d/$L" 81 'montagna, %d, 100000, 2' 100 0
esegui molte-montagne "81 mountain spans"
prepara molti-segnali; togli "$d/$N" 'segnale,'; ripeti "$d/$N" 800 'segnale, %d, 2, 4, 0, 0, 0, 0, 0,0,0, 0' 50 100
esegui molti-segnali "a signal every 50 m from 100 m on: stops at the first taken cell"
prepara molte-curve; ripeti "$d/$L" 20000 'curvad1, %d, 1' 1 0
esegui molte-curve "20000 one-metre curves, most behind the plan point"
prepara lunghezza-massima; cambia "$d/$L" 'lunghezza percorso' 'lunghezza percorso, 1000000'
esegui lunghezza-massima "line length 1000000, the largest allowed"
prepara lunghezza-zero; cambia "$d/$L" 'lunghezza percorso' 'lunghezza percorso, 0'
esegui lunghezza-zero "line length 0 with the built-in entries beyond it"
