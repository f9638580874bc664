#!/usr/bin/env bash
# compattatore.exe killed outright under Wine while one of its temporary files
# exists, by `taskkill /f` and by killing the Wine process: the file stays
# (nothing of a killed program runs), its name carries the owner's number, and
# the next run in the folder removes it and leaves what a run in a clean
# folder leaves.
# Usage: uccisione_wine.sh WINE COMPATTATORE_PROVA_EXE
# Exit 77 (skipped) without Wine.
set -u
wine=$1 exe=$2
command -v "$wine" >/dev/null 2>&1 || { echo "manca $wine"; exit 77; }
export WINEDEBUG=-all
unset DISPLAY
lavoro=$(mktemp -d)
trap 'rm -rf "$lavoro"' EXIT
fallito=0
male() { echo "FALLITO: $*"; fallito=1; }

rif="$lavoro/rif"
mkdir "$rif"
cp "$exe" "$rif/compattatore.exe"
"$wine" "$rif/compattatore.exe" >/dev/null 2>&1 || male "corsa di riferimento: stato $?"

for modo in taskkill kill; do
  d="$lavoro/$modo"
  mkdir "$d"
  cp "$exe" "$d/compattatore.exe"
  # The sixth file (the plan) stops a minute with its temporary file there.
  COMPATTATORE_TEST_FERMA=6 "$wine" "$d/compattatore.exe" >/dev/null 2>&1 &
  run=$!
  avanzo=""
  for _ in $(seq 600); do
    avanzo=$(ls "$d" | grep -E '\.tmp-[0-9]+-[0-9a-z]{6}$' | head -1)
    [ -n "$avanzo" ] && break
    sleep 0.1
  done
  if [ -z "$avanzo" ]; then
    male "$modo: nessun file temporaneo in 60 s"
    kill -9 "$run" 2>/dev/null
    wait "$run"
    continue
  fi
  numero=$(echo "$avanzo" | sed -E 's/.*\.tmp-([0-9]+)-.*/\1/')
  if [ "$modo" = taskkill ]; then
    "$wine" taskkill /f /pid "$numero" >/dev/null 2>&1 || male "taskkill /pid $numero: stato $?"
  else
    kill -9 "$run"
  fi
  wait "$run" 2>/dev/null
  [ -e "$d/$avanzo" ] || male "$modo: il file temporaneo non c'è più dopo l'uccisione"
  "$wine" "$d/compattatore.exe" >/dev/null 2>&1 || male "$modo: la corsa dopo: stato $?"
  [ -e "$d/$avanzo" ] && male "$modo: la corsa dopo ha lasciato $avanzo"
  [ "$(ls "$d")" = "$(ls "$rif")" ] || male "$modo: file $(ls "$d" | tr '\n' ' ')"
  for f in "$rif"/*; do
    cmp -s "$f" "$d/$(basename "$f")" || male "$modo: differisce $(basename "$f")"
  done
done

[ "$fallito" -eq 0 ] && echo "uccisioni sotto Wine: il file lasciato è tolto dalla corsa dopo"
exit "$fallito"
