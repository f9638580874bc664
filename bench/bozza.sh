#!/usr/bin/env bash
# `scenario draft` of the test extract (tests/dati/mappe: the rail map around
# Erfurt, Weimar, Naumburg and Halle, and the SRTM tile N50E011), end to end as
# an author runs it, into a new folder each time:
#   - Erfurt Hbf to Weimar (21 km, within the tile);
#   - Erfurt Hbf to Halle (Saale) Hauptbahnhof, the shortest way (92 km, the
#     high-speed line, past the tile);
#   - the same through Weimar and Naumburg (108 km, 20 stations).
# Each draft is run VOLTE times (default 7) in turn with the others; the median
# and the slowest, the peak memory (/usr/bin/time -v), the machine, the date
# and the load average. Goal: at most 2 s a draft.
# Usage: bench/bozza.sh [BUILD_DIR]   (default build)
set -euo pipefail
cd "$(dirname "$0")/.."

build=${1:-build}
volte=${VOLTE:-7}
scenario=$(realpath "$build/bin/scenario")
mappe=tests/dati/mappe
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

nomi=("Erfurt-Weimar" "Erfurt-Halle" "Erfurt-Weimar-Naumburg-Halle")
argomenti=(
  "--from 'Erfurt Hbf' --to Weimar"
  "--from 'Erfurt Hbf' --to 'Halle (Saale) Hauptbahnhof'"
  "--from 'Erfurt Hbf' --via Weimar --via 'Naumburg (Saale) Hauptbahnhof' --to 'Halle (Saale) Hauptbahnhof'"
)
bozza() {  # index, output folder
  eval "\"$scenario\" draft $mappe/vde8.2-rail.osm.pbf \"$2\" Bozza 1 ${argomenti[$1]} \
    --dem $mappe/N50E011.hgt.zip" >/dev/null
}

for i in "${!nomi[@]}"; do : >"$work/tempi-$i"; done
for _ in $(seq "$volte"); do
  for i in "${!nomi[@]}"; do
    rm -rf "$work/out"
    t0=${EPOCHREALTIME//[.,]/}
    bozza "$i" "$work/out"
    echo $((${EPOCHREALTIME//[.,]/} - t0)) >>"$work/tempi-$i"
  done
done

echo "scenario draft, $volte volte ciascuna (ms: mediana, la più lenta; memoria di picco)"
for i in "${!nomi[@]}"; do
  mediana=$(sort -n "$work/tempi-$i" | awk '{ v[NR] = $1 } END { printf "%.0f", v[int((NR + 1) / 2)] / 1000 }')
  lenta=$(sort -n "$work/tempi-$i" | tail -1 | awk '{ printf "%.0f", $1 / 1000 }')
  rm -rf "$work/out"
  picco=$( { /usr/bin/time -v bash -c "$(declare -f bozza); scenario='$scenario' mappe='$mappe' \
    argomenti=(\"\${@}\"); bozza $i '$work/out'" _ "${argomenti[@]}"; } 2>&1 >/dev/null |
    sed -n 's/.*Maximum resident set size (kbytes): //p')
  printf '  %-30s %6s ms  %6s ms  %6s kB\n' "${nomi[$i]}" "$mediana" "$lenta" "$picco"
done
echo "macchina: $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //'), $(nproc) core"
echo "data: $(date -I), carico: $(cut -d' ' -f1-3 /proc/loadavg)"
