#!/usr/bin/env bash
# The Windows programs under Wine against the Linux ones, byte for byte:
# compattatore.exe in a fresh folder (with blanks and "ù" in its path),
# `scenario.exe compile` and `decompile` of generated scenarios, and `scenario.exe
# draft` of the map extract of the tests (PBF, with its tile; once from a
# folder with "è", "ö" and "ő" in its name).
# Usage: confronto_linux.sh WINE WIN_BIN_DIR LINUX_BIN_DIR
set -u
wine=$1 win=$2 lin=$3
export WINEDEBUG=-all
unset DISPLAY
lavoro=$(mktemp -d)
trap 'rm -rf "$lavoro"' EXIT
fallito=0
male() { echo "FALLITO: $*"; fallito=1; }
uguali() {  # folder A, folder B: the same names and bytes
  local a=$1 b=$2
  [ "$(ls "$a")" = "$(ls "$b")" ] || { male "file diversi: $(ls "$a" | tr '\n' ' ') / $(ls "$b" | tr '\n' ' ')"; return; }
  for f in "$a"/*; do cmp -s "$f" "$b/$(basename "$f")" || male "differisce: $(basename "$f") ($a, $b)"; done
}

w="$lavoro/Scenari di prova/Linea più lunga" l="$lavoro/linux"
mkdir -p "$w" "$l"
cp "$win/compattatore.exe" "$w/" && cp "$lin/compattatore" "$l/"
"$wine" "$w/compattatore.exe" >/dev/null 2>&1 || male "compattatore.exe: stato $?"
"$l/compattatore" >/dev/null 2>&1 || male "compattatore: stato $?"
rm "$w/compattatore.exe" "$l/compattatore"
[ "$(ls "$w" | wc -l)" -eq 6 ] || male "compattatore.exe ha lasciato: $(ls "$w" | tr '\n' ' ')"
uguali "$w" "$l"

n=0
for km in 1 5 37 120 400; do
  for seme in 1 2 3; do
    s="$lavoro/src-$km-$seme"
    "$lin/scenario" generate "$s" Linea 9 --km "$km" --seed "$seme" >/dev/null || male "generate $km $seme"
    for piano in "" --no-plan; do
      rm -rf "$lavoro/a" "$lavoro/b"
      "$lin/scenario" compile "$s" Linea 9 --out "$lavoro/a" $piano >/dev/null
      "$wine" "$win/scenario.exe" compile "$s" Linea 9 --out "$lavoro/b" $piano >/dev/null
      uguali "$lavoro/a" "$lavoro/b"
      # The sources back from the compiled files, with the check compile.
      rm -rf "$lavoro/da" "$lavoro/db"
      "$lin/scenario" decompile "$lavoro/a" Linea 9 --out "$lavoro/da" >/dev/null || male "decompile $km $seme $piano"
      "$wine" "$win/scenario.exe" decompile "$lavoro/a" Linea 9 --out "$lavoro/db" >/dev/null || male "decompile.exe $km $seme $piano"
      uguali "$lavoro/da" "$lavoro/db"
      n=$((n + 1))
    done
  done
done
# The draft, where both builds have it: its arithmetic is its own (no sine or
# arc tangent of a system library), so both write the same sources.
mappe=$(cd "$(dirname "$0")/../dati/mappe" && pwd)
bozze=0
if "$lin/scenario" draft --help >/dev/null 2>&1 && "$wine" "$win/scenario.exe" draft --help >/dev/null 2>&1; then
  vie_ew=(--from "Erfurt Hbf" --to Weimar)
  vie_eh=(--from "Erfurt Hbf" --via Weimar --via "Naumburg (Saale) Hauptbahnhof"
    --to "Halle (Saale) Hauptbahnhof")
  for caso in ew eh; do
    declare -n vie="vie_$caso"
    rm -rf "$lavoro/ba" "$lavoro/bb"
    "$lin/scenario" draft "$mappe/vde8.2-rail.osm.pbf" "$lavoro/ba" B 1 "${vie[@]}" \
      --dem "$mappe/N50E011.hgt.zip" >/dev/null || male "draft $caso"
    "$wine" "$win/scenario.exe" draft "$mappe/vde8.2-rail.osm.pbf" "$lavoro/bb" B 1 "${vie[@]}" \
      --dem "$mappe/N50E011.hgt.zip" >/dev/null || male "draft.exe $caso"
    uguali "$lavoro/ba" "$lavoro/bb"
    bozze=$((bozze + 1))
  done
  # The map and the tile in a folder of letters beyond ASCII, one ("ő")
  # beyond Windows-1252 too: a name opened narrow would go through the ANSI
  # code page.
  accenti="$lavoro/Mappe è ö ő"
  mkdir -p "$accenti"
  cp "$mappe/vde8.2-rail.osm.pbf" "$accenti/Erfurt è ö.osm.pbf"
  cp "$mappe/N50E011.hgt.zip" "$accenti/"
  rm -rf "$lavoro/bb"
  "$wine" "$win/scenario.exe" draft "$accenti/Erfurt è ö.osm.pbf" "$lavoro/bb" B 1 "${vie_ew[@]}" \
    --dem "$accenti/N50E011.hgt.zip" >/dev/null || male "draft.exe da $accenti"
  rm -rf "$lavoro/ba"
  "$lin/scenario" draft "$mappe/vde8.2-rail.osm.pbf" "$lavoro/ba" B 1 "${vie_ew[@]}" \
    --dem "$mappe/N50E011.hgt.zip" >/dev/null
  uguali "$lavoro/ba" "$lavoro/bb"
  bozze=$((bozze + 1))
  # An XML map is refused in words, with nothing written, where expat is missing.
  "$wine" "$win/scenario.exe" draft "$mappe/esse.osm" "$lavoro/bx" B 1 --from Inizio --to Fine \
    >"$lavoro/bx.txt" 2>&1
  stato=$?
  if [ "$stato" -ne 0 ]; then
    [ "$stato" -eq 2 ] && grep -q "solo in PBF" "$lavoro/bx.txt" && [ ! -e "$lavoro/bx" ] ||
      male "draft.exe di una mappa XML: stato $stato, $(cat "$lavoro/bx.txt")"
  fi
else
  echo "SALTATO (parte): draft, che una delle due build non ha"
fi

[ "$fallito" -eq 0 ] && echo "Windows e Linux: stessi byte (compattatore, $n compilazioni e decompilazioni, $bozze bozze)"
exit "$fallito"
