#!/usr/bin/env bash
# Seeds of the compiled-file harness: real compiled files (the built-in
# scenario, generated lines, one compiled without a plan) and truncated ones.
# Usage: fuzz/semi_compilati.sh BUILD_DIR   (writes fuzz/corpus/compilati/)
set -euo pipefail
cd "$(dirname "$0")/.."
bin=$1/bin
out=fuzz/corpus/compilati
mkdir -p "$out"
lavoro=$(mktemp -d)
trap 'rm -rf "$lavoro"' EXIT

# One seed: options byte, three lengths, the three files (a missing one: 0xFFFFFFFF).
impacchetta() {  # name sim dat plan [cut]
  python3 - "$out/$1" "$2" "$3" "$4" "${5:-1.0}" <<'PY'
import os, struct, sys
dest, files, cut = sys.argv[1], sys.argv[2:5], float(sys.argv[5])
parts, lens = [], []
for f in files:
    if not os.path.exists(f):
        lens.append(0xFFFFFFFF); continue
    b = open(f, 'rb').read()
    b = b[:int(len(b) * cut)]
    lens.append(len(b)); parts.append(b)
open(dest, 'wb').write(bytes([0]) + struct.pack('<3I', *lens) + b''.join(parts))
PY
}

"$bin/scenario" sources "$lavoro/p" >/dev/null
"$bin/scenario" compile "$lavoro/p" FerziaPS-Calvorano 24617 >/dev/null
p=$lavoro/p/FerziaPS-Calvorano
impacchetta predefinito "${p}_24617.sim" "${p}_24617.dat" "${p}_linea.dat"
"$bin/scenario" compile "$lavoro/p" FerziaPS-Calvorano 24617 --no-plan --out "$lavoro/np" >/dev/null
q=$lavoro/np/FerziaPS-Calvorano
impacchetta senza-pianta "${q}_24617.sim" "${q}_24617.dat" "$q-niente"
for seme in 1 2 3; do
  "$bin/scenario" generate "$lavoro/g$seme" L 7 --km 1 --seed "$seme" >/dev/null
  "$bin/scenario" compile "$lavoro/g$seme" L 7 >/dev/null
  g=$lavoro/g$seme/L
  impacchetta "generato-$seme" "${g}_7.sim" "${g}_7.dat" "${g}_linea.dat"
done
g=$lavoro/g1/L
impacchetta troncato-meta "${g}_7.sim" "${g}_7.dat" "${g}_linea.dat" 0.5
impacchetta troncato-quasi "${g}_7.sim" "${g}_7.dat" "${g}_linea.dat" 0.999
ls -la "$out"
