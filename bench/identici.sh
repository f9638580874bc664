#!/usr/bin/env bash
# Byte-for-byte comparison of the files two builds write: `scenario compile`
# of generated lines (several lengths and seeds, with and without the plan)
# and of wild ones, what `generate`, `decompile` and `plot` write, and
# compattatore's built-in run.
#
# Usage: bench/identici.sh OLD_DIR NEW_DIR   (each holds scenario and compattatore)
set -euo pipefail
vecchio=$(realpath "$1")
nuovo=$(realpath "$2")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
unset DISPLAY
diversi=0
casi=0
confronta() {
  if ! diff -r "$work/a" "$work/b" >/dev/null; then
    echo "DIFFERENT: $*"
    diversi=$((diversi + 1))
  fi
  casi=$((casi + 1))
  rm -rf "$work/a" "$work/b"
}
for km in 1 2 7 37 100 333 999 1000; do
  for seed in 1 7 12345; do
    rm -rf "$work/src"
    "$vecchio/scenario" generate "$work/src" L 3 --km "$km" --seed "$seed" >/dev/null
    for opzione in "" --no-plan; do
      # The exit status tells a pending code; both must agree on it too.
      sa=0 sb=0
      "$vecchio/scenario" compile "$work/src" L 3 --out "$work/a" $opzione >/dev/null || sa=$?
      "$nuovo/scenario" compile "$work/src" L 3 --out "$work/b" $opzione >/dev/null || sb=$?
      if [ "$sa" != "$sb" ]; then echo "exit status $sa against $sb"; diversi=$((diversi + 1)); fi
      confronta "--km $km --seed $seed $opzione"
    done
  done
done
# A line cut short: the plan is not run out, its tail stays empty.
"$vecchio/scenario" generate "$work/src" L 3 --km 50 --seed 3 >/dev/null
sed -i '0,/curvas/s/curvas[1-6]/curvas7/' "$work/src/L_linea.txt"
"$vecchio/scenario" compile "$work/src" L 3 --out "$work/a" >/dev/null 2>&1 || true
"$nuovo/scenario" compile "$work/src" L 3 --out "$work/b" >/dev/null 2>&1 || true
confronta "curve without a class"
# Wild sources, the same for both (the old generator's): compiled and
# decompiled by each.
for seed in $(seq 1 ${SEMI_SELVAGGI:-60}); do
  rm -rf "$work/src"
  "$vecchio/scenario" generate "$work/src" W 1 --wild --seed "$seed" >/dev/null
  for lato in a b; do
    bin=$vecchio
    if [ $lato = b ]; then bin=$nuovo; fi
    "$bin/scenario" compile "$work/src" W 1 --out "$work/$lato/c" >/dev/null 2>&1 || true
    if [ -f "$work/$lato/c/W_1.sim" ]; then
      "$bin/scenario" decompile "$work/$lato/c" W 1 --out "$work/$lato/d" >/dev/null 2>&1 || true
    fi
  done
  confronta "wild seed $seed"
done
# The generators' own files.
for lato in a b; do
  bin=$vecchio
  if [ $lato = b ]; then bin=$nuovo; fi
  for seed in $(seq 1 ${SEMI_SELVAGGI:-60}); do
    "$bin/scenario" generate "$work/$lato/w$seed" W 1 --wild --seed "$seed" >/dev/null
  done
  "$bin/scenario" generate "$work/$lato/g" L 3 --km 37 --seed 5 >/dev/null
done
confronta "generators"
for lato in a b; do
  bin=$vecchio
  if [ $lato = b ]; then bin=$nuovo; fi
  "$bin/scenario" sources "$work/$lato/src" >/dev/null
  "$bin/scenario" plot "$work/$lato/src" FerziaPS-Calvorano 24617 -o "$work/$lato/linea.svg" >/dev/null
done
confronta "sources and plot"
for lato in a b; do
  mkdir "$work/$lato"
  if [ $lato = a ]; then cp "$vecchio/compattatore" "$work/a/"; else cp "$nuovo/compattatore" "$work/b/"; fi
  "$work/$lato/compattatore" >/dev/null
  rm "$work/$lato/compattatore"
done
confronta "compattatore"
echo "$casi cases, $diversi different"
[ "$diversi" = 0 ]
