#!/usr/bin/env bash
# End-to-end measurements:
#  - `scenario compile` on a generated 1000 km line: median wall time and peak
#    memory, beside the I/O floor, one plain copy of the same output files with
#    cat into a new folder;
#  - `compattatore` on the built-in scenario: median wall time and peak memory.
# The compile and the copy take turns and both start from a new output folder
# with dirty pages flushed (sync, not timed). compattatore is timed by
# hyperfine when it is installed, otherwise by a loop. Peak memory comes from
# /usr/bin/time -v.
#
# Usage: bench/misura.sh [BUILD_DIR]   (default build-bench; configured and built here)
# RUNS=N sets the number of timed runs (default 21 for the compile, 5x that for compattatore).
set -euo pipefail
cd "$(dirname "$0")/.."

build=${1:-build-bench}
runs=${RUNS:-21}
runs_prog=$((runs * 5))

cmake -S . -B "$build" -DCOMPATTATORE_BENCH=ON -DCOMPATTATORE_TESTS=OFF >/dev/null
cmake --build "$build" -j2 >/dev/null

if [ ! -x /usr/bin/time ]; then
  echo "misura: /usr/bin/time missing, installing the 'time' package" >&2
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq time >/dev/null
fi

load=$(cut -d' ' -f1-3 /proc/loadavg)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
scenario="$PWD/$build/bin/scenario"
"$scenario" generate "$work/src" linea treno --km 1000 --seed 1 >/dev/null
# A reference output, the bytes the floor copies.
"$scenario" compile "$work/src" linea treno --out "$work/rif" >/dev/null
files=(linea_linea.dat linea_treno.sim linea_treno.dat)
total=0
for f in "${files[@]}"; do total=$((total + $(stat -c %s "$work/rif/$f"))); done

mkdir "$work/prog"
cp "$build/bin/compattatore" "$work/prog/"
# No window: measured as on a machine without a display.
prog=(env -u DISPLAY "$work/prog/compattatore")

median() { sort -n "$1" | awk '{ v[NR] = $1 } END { printf "%.2f", v[int((NR + 1) / 2)] / 1000 }'; }

run_compile() { "$scenario" compile "$work/src" linea treno --out "$work/out" >/dev/null; }
run_copy() {
  mkdir "$work/copia"
  for f in "${files[@]}"; do cat "$work/rif/$f" >"$work/copia/$f"; done
}
# The compile and the copy take turns, so that both meet the same load; each
# starts from a new folder with the cache flushed. Three rounds warm up.
: >"$work/compile.us"
: >"$work/copia.us"
for i in $(seq $((runs + 3))); do
  if [ $((i % 2)) = 1 ]; then turni=(compile copia); else turni=(copia compile); fi
  for which in "${turni[@]}"; do
    rm -rf "$work/out" "$work/copia"
    sync
    t0=${EPOCHREALTIME//[.,]/}
    if [ "$which" = compile ]; then run_compile; else run_copy; fi
    t1=${EPOCHREALTIME//[.,]/}
    if [ "$i" -gt 3 ]; then echo $((t1 - t0)) >>"$work/$which.us"; fi
  done
done
t_compile=$(median "$work/compile.us")
t_copy=$(median "$work/copia.us")

# Peak resident set over five runs, from /usr/bin/time -v.
peak_kb() {
  local i peak=0 kb
  for i in $(seq 5); do
    rm -rf "$work/out"
    /usr/bin/time -v "$@" >/dev/null 2>"$work/time.txt"
    kb=$(awk -F': ' '/Maximum resident set size/ { print $2 }' "$work/time.txt")
    if [ "$kb" -gt "$peak" ]; then peak=$kb; fi
  done
  echo "$peak"
}
m_compile=$(peak_kb "$scenario" compile "$work/src" linea treno --out "$work/out")
m_prog=$(peak_kb "${prog[@]}")

# compattatore alone: hyperfine when installed, else the same kind of loop.
if command -v hyperfine >/dev/null; then
  timer=$(hyperfine --version)
  hyperfine -N --style none --warmup 5 --runs "$runs_prog" --export-csv "$work/prog.csv" \
    "${prog[*]}" >/dev/null 2>&1
  # command,mean,stddev,median,... in seconds
  t_prog=$(tail -n 1 "$work/prog.csv" | awk -F, '{ printf "%.2f", $4 * 1000 }')
else
  timer="a bash loop"
  : >"$work/prog.us"
  for i in $(seq $((runs_prog + 5))); do
    t0=${EPOCHREALTIME//[.,]/}
    "${prog[@]}" >/dev/null
    t1=${EPOCHREALTIME//[.,]/}
    if [ "$i" -gt 5 ]; then echo $((t1 - t0)) >>"$work/prog.us"; fi
  done
  t_prog=$(median "$work/prog.us")
fi

ratio=$(awk -v a="$t_compile" -v b="$t_copy" 'BEGIN { printf "%.2f", a / b }')
verdict() { if [ "$1" = 1 ]; then echo met; else echo MISSED; fi; }
ok_ratio=$(awk -v r="$ratio" 'BEGIN { print (r <= 2.0) }')
ok_mem=$(awk -v m="$m_compile" 'BEGIN { print (m < 65536) }')
ok_prog=$(awk -v t="$t_prog" 'BEGIN { print (t < 10.0) }')

cat <<EOF
machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //'), $(free -h | awk '/^Mem:/ { print $2 }') memory
date: $(date -u +%Y-%m-%dT%H:%MZ); load average before: $load
compile and copy: $runs turns each, timed in bash; compattatore: $runs_prog runs, timed by $timer

scenario compile, generated 1000 km line ($total bytes written):
  median wall time          $t_compile ms
  I/O floor (cat copy)      $t_copy ms
  ratio                     $ratio   (goal <= 2: $(verdict "$ok_ratio"))
  peak memory               $((m_compile / 1024)) MB ($m_compile KB)   (goal < 64 MB: $(verdict "$ok_mem"))
compattatore, built-in scenario:
  median wall time          $t_prog ms   (goal < 10 ms: $(verdict "$ok_prog"))
  peak memory               $((m_prog / 1024)) MB ($m_prog KB)
EOF
