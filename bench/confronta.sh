#!/usr/bin/env bash
# Compares builds of `scenario compile` on the generated 1000 km line (the line
# of rapporto.sh) and the I/O floor, in turn: every round runs each build and
# the floor once, in an order rotated round by round, each into a new folder,
# warm cache, no sync. Prints the median and the lowest time of each, and the
# ratio of the medians to the floor's.
#
# Usage: bench/confronta.sh DIR...   (each DIR holds a `scenario` binary)
# GIRI=N rounds (default 15).
set -euo pipefail

giri=${GIRI:-15}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
nomi=()
for d in "$@"; do nomi+=("$(realpath "$d")/scenario"); done
"${nomi[0]}" generate "$work/src" Lunga 1 --km 1000 --seed 7 >/dev/null
"${nomi[0]}" compile "$work/src" Lunga 1 --out "$work/rif" >/dev/null
compilati=("$work/rif/Lunga_linea.dat" "$work/rif/Lunga_1.sim" "$work/rif/Lunga_1.dat")
lati=("${nomi[@]}" cat)
n=${#lati[@]}

uno() {
  local k=$1 t0 t1
  rm -rf "$work/out"
  if [ "${lati[k]}" = cat ]; then
    mkdir "$work/out"
    t0=${EPOCHREALTIME//[.,]/}
    cat "${compilati[@]}" >"$work/out/tutto"
  else
    t0=${EPOCHREALTIME//[.,]/}
    "${lati[k]}" compile "$work/src" Lunga 1 --out "$work/out" >/dev/null
  fi
  t1=${EPOCHREALTIME//[.,]/}
  echo $((t1 - t0)) >>"$work/$k.us"
}

echo "load average before: $(cut -d' ' -f1-3 /proc/loadavg)"
for i in $(seq $((giri + 2))); do
  for j in $(seq 0 $((n - 1))); do
    uno $(((i + j) % n))
  done
  if [ "$i" = 2 ]; then rm -f "$work"/*.us; fi  # two rounds of warm-up
done
mediana() { sort -n "$1" | awk '{ v[NR] = $1 } END { printf "%.2f", v[int((NR + 1) / 2)] / 1000 }'; }
minimo() { sort -n "$1" | head -1 | awk '{ printf "%.2f", $1 / 1000 }'; }
base=$(mediana "$work/$((n - 1)).us")
for k in $(seq 0 $((n - 1))); do
  m=$(mediana "$work/$k.us")
  printf '%-40s median %7s ms  min %7s ms  ratio %s\n' "${lati[k]}" "$m" "$(minimo "$work/$k.us")" \
    "$(awk -v a="$m" -v b="$base" 'BEGIN { printf "%.2f", a / b }')"
done
echo "load average after: $(cut -d' ' -f1-3 /proc/loadavg)"
