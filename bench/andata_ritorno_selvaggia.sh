#!/bin/sh
# Round trip of wild sources (scenario generate --wild): every value drawn
# from the whole range the readers accept. Each seed is generated, compiled,
# its compiled files decompiled alone, and the decompiled sources compiled
# again: the bytes must come back, whatever code the first compile left.
#
#   bench/andata_ritorno_selvaggia.sh [SCENARIO_BIN] [SEEDS] [FIRST_SEED]
#
# Defaults: build/bin/scenario, 2000 seeds from 1. Prints one line per
# failure, then the counts: compiles by code, traces of stopped reads and
# claims of what no source gives, by kind: numbers taken out but a code in
# brackets, a count of bits and the digits of field names (a station read
# that stopped after parametro_3). Exit 1 on any failure.
set -u
BIN=${1:-build/bin/scenario}
SEMI=${2:-2000}
PRIMO=${3:-1}
LAVORO=$(mktemp -d "${TMPDIR:-/tmp}/selvaggia-XXXXXX")
trap 'rm -rf "$LAVORO"' EXIT
: >"$LAVORO/codici"
: >"$LAVORO/note"

prove=0
falliti=0
senza_file=0
s=$PRIMO
fine=$((PRIMO + SEMI - 1))
while [ "$s" -le "$fine" ]; do
  rm -rf "$LAVORO/s" "$LAVORO/c" "$LAVORO/r" "$LAVORO/r2"
  "$BIN" generate "$LAVORO/s" sel 1 --wild --seed "$s" >/dev/null
  "$BIN" compile "$LAVORO/s" sel 1 --out "$LAVORO/c" --json >"$LAVORO/compila" 2>/dev/null
  codice=$(sed -n 's/^{"codice_errore":\(-*[0-9]*\).*/\1/p' "$LAVORO/compila")
  echo "${codice:-?}" >>"$LAVORO/codici"
  if [ ! -f "$LAVORO/c/sel_1.sim" ]; then
    # A fatal stamp code, or a read that stopped before the line length.
    senza_file=$((senza_file + 1))
    s=$((s + 1))
    continue
  fi
  prove=$((prove + 1))
  "$BIN" decompile "$LAVORO/c" sel 1 --out "$LAVORO/r" >"$LAVORO/esito" 2>&1
  stato=$?
  grep -e '^  non esprimibile: ' -e '^  non ricostruito: ' -e '^la lettura' "$LAVORO/esito" |
    sed -e 's/^  non esprimibile: /inesprimibile: /' -e 's/^  non ricostruito: /non ricostruito: /' \
      -e 's/^la lettura/traccia: la lettura/' \
      -e 's/(codice \([0-9][0-9]*\))/(codice@\1)/g' -e 's/ \([0-9][0-9]*\) bit/@\1 bit/g' \
      -e 's/\([^_@0-9]\)-*[0-9][0-9]*/\1N/g' -e 's/@/ /g' >>"$LAVORO/note"
  if [ "$stato" -eq 0 ] && grep -q -e '^  non esprimibile: ' -e '^  non ricostruito: ' "$LAVORO/esito"; then
    # Files a source gave: nothing in them is beyond a source.
    echo "seme $s (codice $codice): identica, ma con affermazioni false"
    grep -e '^  non esprimibile: ' -e '^  non ricostruito: ' "$LAVORO/esito" | sed 's/^/    /' | head -4
    falliti=$((falliti + 1))
  elif [ "$stato" -ne 0 ]; then
    echo "seme $s (codice $codice): decompile dice diverso"
    grep -v '^scritto' "$LAVORO/esito" | sed 's/^/    /' | head -8
    falliti=$((falliti + 1))
  else
    # An independent check of the verdict.
    "$BIN" compile "$LAVORO/r" sel 1 --out "$LAVORO/r2" >/dev/null 2>&1
    for f in sel_linea.dat sel_1.sim sel_1.dat; do
      if [ -f "$LAVORO/c/$f" ] && ! cmp -s "$LAVORO/c/$f" "$LAVORO/r2/$f"; then
        echo "seme $s (codice $codice): $f diverso dopo il ritorno"
        falliti=$((falliti + 1))
        break
      fi
    done
  fi
  s=$((s + 1))
done
echo "codici della prima compilazione (semi):"
sort -n "$LAVORO/codici" | uniq -c | sed 's/^/  /'
echo "tracce e affermazioni (volte):"
sort "$LAVORO/note" | uniq -c | sort -rn | sed 's/^/  /'
echo "andata e ritorno selvaggia: $((prove - falliti)) identiche su $prove," \
  "$senza_file semi senza file compilati (semi da $PRIMO a $fine)"
[ "$falliti" -eq 0 ]
