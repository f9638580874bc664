#!/usr/bin/env bash
# The plain measurement of the two runs against what copying their output costs:
#  - `scenario compile` of a generated 1000 km line (`generate DIR Lunga 1 --km
#    1000 --seed 7`) into a new folder, over one `cat` of the same three
#    compiled files into one new file in a new folder;
#  - `compattatore` (built-in scenario) started in a new program folder, over
#    one `cat` of its six output files into one new file in a new folder;
#  - `scenario decompile` of the 1000 km line's compiled files with its check
#    compile, into a new folder, over `scenario compile` of the same line.
# Each pair is taken in turn, the order swapped every pair, with a warm page
# cache and no sync; the ratio is the median over the median. Folders are made
# or cleared outside the timed span. Also the peak memory of the compile
# (/usr/bin/time -v), the machine, the date and the load average.
#
# Usage: bench/rapporto.sh [BUILD_DIR]   (default build; its scenario and
#        compattatore are built there if missing)
# PAIA=N pairs per run (default 7), PROVE=N runs of the whole measurement (default 1).
set -euo pipefail
cd "$(dirname "$0")/.."

build=${1:-build}
paia=${PAIA:-7}
prove=${PROVE:-1}
riscaldo=2

if [ ! -x "$build/bin/scenario" ] || [ ! -x "$build/bin/compattatore" ]; then
  cmake -S . -B "$build" >/dev/null
  cmake --build "$build" -j2 --target scenario compattatore >/dev/null
fi
scenario=$(realpath "$build/bin/scenario")
compattatore=$(realpath "$build/bin/compattatore")
# No window: measured as on a machine without a display.
unset DISPLAY

work=$(mktemp -d)
trap 'if [ -z "${TIENI:-}" ]; then rm -rf "$work"; else echo "kept $work" >&2; fi' EXIT
"$scenario" generate "$work/src" Lunga 1 --km 1000 --seed 7 >/dev/null
"$scenario" compile "$work/src" Lunga 1 --out "$work/rif" >/dev/null
compilati=("$work/rif/Lunga_linea.dat" "$work/rif/Lunga_1.sim" "$work/rif/Lunga_1.dat")
byte=$(cat "${compilati[@]}" | wc -c)
mkdir "$work/rif_prog"
cp "$compattatore" "$work/rif_prog/"
"$work/rif_prog/compattatore" >/dev/null
uscite_prog=()
for f in "$work"/rif_prog/*; do
  if [ "$(basename "$f")" != compattatore ]; then uscite_prog+=("$f"); fi
done
byte_prog=$(cat "${uscite_prog[@]}" | wc -c)

median() { sort -n "$1" | awk '{ v[NR] = $1 } END { printf "%.2f", v[int((NR + 1) / 2)] / 1000 }'; }
t0=0
inizio() { t0=${EPOCHREALTIME//[.,]/}; }
fine() { echo $((${EPOCHREALTIME//[.,]/} - t0)) >>"$1"; }

# One side of a pair; the preparation (a clear folder, the program linked into
# a new one) is not timed.
lato() {
  local quale=$1 file=$2
  rm -rf "$work/out" "$work/copia" "$work/prog"
  case $quale in
    compile)
      inizio
      "$scenario" compile "$work/src" Lunga 1 --out "$work/out" >/dev/null
      fine "$file"
      ;;
    cat)
      mkdir "$work/copia"
      inizio
      cat "${compilati[@]}" >"$work/copia/tutto"
      fine "$file"
      ;;
    prog)
      mkdir "$work/prog"
      ln "$work/rif_prog/compattatore" "$work/prog/compattatore"
      inizio
      "$work/prog/compattatore" >/dev/null
      fine "$file"
      ;;
    cat_prog)
      mkdir "$work/copia"
      inizio
      cat "${uscite_prog[@]}" >"$work/copia/tutto"
      fine "$file"
      ;;
    decompile)
      inizio
      "$scenario" decompile "$work/rif" Lunga 1 --out "$work/out" >/dev/null
      fine "$file"
      ;;
  esac
}

# Pairs of a and b in turn, after $riscaldo pairs not counted.
coppie() {
  local a=$1 b=$2 i
  : >"$work/$a.us"
  : >"$work/$b.us"
  for i in $(seq $((paia + riscaldo))); do
    local dove=/dev/null
    if [ "$i" -gt "$riscaldo" ]; then dove=keep; fi
    local ordine=("$a" "$b")
    if [ $((i % 2)) = 0 ]; then ordine=("$b" "$a"); fi
    for q in "${ordine[@]}"; do
      if [ "$dove" = keep ]; then lato "$q" "$work/$q.us"; else lato "$q" /dev/null; fi
    done
  done
}

picco_kb() {
  local i picco=0 kb
  for i in 1 2 3; do
    rm -rf "$work/out"
    /usr/bin/time -v "$@" >/dev/null 2>"$work/time.txt"
    kb=$(awk -F': ' '/Maximum resident set size/ { print $2 }' "$work/time.txt")
    if [ "$kb" -gt "$picco" ]; then picco=$kb; fi
  done
  echo "$picco"
}

esito() { awk -v a="$1" -v b="$2" 'BEGIN { if (a <= b) print "met"; else print "MISSED" }'; }

echo "machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //'), $(free -h | awk '/^Mem:/ { print $2 }') memory, $(uname -sr)"
echo "binaries: $scenario, $compattatore"
echo "median of $paia pairs taken in turn ($riscaldo pairs of warm-up), warm cache, no sync"
for prova in $(seq "$prove"); do
  carico=$(cut -d' ' -f1-3 /proc/loadavg)
  coppie compile cat
  coppie prog cat_prog
  tc=$(median "$work/compile.us")
  tf=$(median "$work/cat.us")
  tp=$(median "$work/prog.us")
  tpf=$(median "$work/cat_prog.us")
  r=$(awk -v a="$tc" -v b="$tf" 'BEGIN { printf "%.2f", a / b }')
  rp=$(awk -v a="$tp" -v b="$tpf" 'BEGIN { printf "%.2f", a / b }')
  kb=$(picco_kb "$scenario" compile "$work/src" Lunga 1 --out "$work/out")
  coppie decompile compile
  td=$(median "$work/decompile.us")
  tc2=$(median "$work/compile.us")
  rd=$(awk -v a="$td" -v b="$tc2" 'BEGIN { printf "%.2f", a / b }')
  kbd=$(picco_kb "$scenario" decompile "$work/rif" Lunga 1 --out "$work/out")
  echo
  echo "date: $(date -u +%Y-%m-%dT%H:%M:%SZ); load average before: $carico, after: $(cut -d' ' -f1-3 /proc/loadavg)"
  echo "  compile 1000 km        $tc ms, cat of $byte bytes $tf ms"
  echo "  ratio                  $r   (goal <= 1.5: $(esito "$r" 1.5))"
  echo "  peak memory            $((kb / 1024)) MB ($kb KB)   (goal < 32 MB: $(esito "$kb" 32767))"
  echo "  compattatore built-in  $tp ms, cat of $byte_prog bytes $tpf ms"
  echo "  ratio                  $rp   (goal <= 2: $(esito "$rp" 2))"
  echo "  decompile 1000 km      $td ms with its check, compile $tc2 ms"
  echo "  ratio                  $rd   (goal <= 3: $(esito "$rd" 3))"
  echo "  peak memory            $((kbd / 1024)) MB ($kbd KB)   (goal <= 48 MB: $(esito "$kbd" 49152))"
done
