#!/bin/sh
# Round trip of generated lines: generate, compile, decompile the compiled
# files alone, compile the decompiled sources again and compare the bytes.
#
#   bench/andata_ritorno.sh [SCENARIO_BIN] [SEEDS] [KM...]
#
# Defaults: build/bin/scenario, 300 seeds, each with its own length from 1 to
# 1000 km (the first 1 km, the last 1000 km); given lengths are taken in turn.
# Prints one line per failure and a summary; exit 1 on any failure.
set -u
BIN=${1:-build/bin/scenario}
SEMI=${2:-300}
shift 2 2>/dev/null || shift $#
LUNGHEZZE=${*:-}
LAVORO=$(mktemp -d "${TMPDIR:-/tmp}/andata-ritorno-XXXXXX")
trap 'rm -rf "$LAVORO"' EXIT

prove=0
falliti=0
s=1
while [ "$s" -le "$SEMI" ]; do
  if [ -n "$LUNGHEZZE" ]; then
    # Each seed takes one length, in turn, so every length meets many seeds.
    set -- $LUNGHEZZE
    i=$(( (s - 1) % $# + 1 ))
    eval km=\${$i}
  elif [ "$s" -eq "$SEMI" ]; then
    km=1000
  else
    km=$(( 1 + (s - 1) * 337 % 1000 ))
  fi
  rm -rf "$LAVORO"/*
  mkdir -p "$LAVORO/sorgenti" "$LAVORO/compilati" "$LAVORO/ritorno"
  "$BIN" generate "$LAVORO/sorgenti" gen 1 --km "$km" --seed "$s" >/dev/null &&
    "$BIN" compile "$LAVORO/sorgenti" gen 1 --out "$LAVORO/compilati" >/dev/null
  if [ $? -ne 0 ]; then
    echo "seme $s, $km km: la compilazione del generato fallisce"
    falliti=$((falliti + 1))
  elif ! "$BIN" decompile "$LAVORO/compilati" gen 1 --out "$LAVORO/ritorno" >"$LAVORO/esito" 2>&1; then
    echo "seme $s, $km km: decompile dice diverso"
    sed 's/^/    /' "$LAVORO/esito" | head -15
    falliti=$((falliti + 1))
  else
    # An independent check of the verdict.
    "$BIN" compile "$LAVORO/ritorno" gen 1 --out "$LAVORO/ritorno" >/dev/null
    for f in gen_linea.dat gen_1.sim gen_1.dat; do
      if ! cmp -s "$LAVORO/compilati/$f" "$LAVORO/ritorno/$f"; then
        echo "seme $s, $km km: $f diverso dopo il ritorno"
        falliti=$((falliti + 1))
        break
      fi
    done
  fi
  prove=$((prove + 1))
  s=$((s + 1))
done
echo "andata e ritorno: $((prove - falliti)) identiche su $prove (${LUNGHEZZE:-da 1 a 1000} km)"
[ "$falliti" -eq 0 ]
