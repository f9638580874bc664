#!/usr/bin/env bash
# The README's first command on a machine that has only the compiler, make,
# cmake and GoogleTest: every optional library ignored (COMPATTATORE_SOLO_
# ESSENZIALE). The compactor must build, run with status 0 and write its six
# files; the tests that need no optional library must build and pass; and no
# object may have read a header of an optional library (the host's
# /usr/include is still visible to the compiler, so only the dependency
# files can tell).
#   bash strumenti/prova-essenziale.sh [BUILD_DIR [CMAKE_OPTION...]]
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${1:-build-essenziale}
shift || true

cmake -S . -B "$dir" -DCOMPATTATORE_SOLO_ESSENZIALE=ON "$@"
cmake --build "$dir" -j2

facoltative='/(nlohmann|boost|osmium|protozero|X11)/|/zlib\.h|/zconf\.h|/bzlib\.h|/expat\.h'
lette=$(find "$dir" -name '*.o.d' -print0 | xargs -0 -r grep -l -E "$facoltative" || true)
if [ -n "$lette" ]; then
  echo "FALLITO: oggetti costruiti su intestazioni facoltative:" >&2
  echo "$lette" >&2
  exit 1
fi

rm -f "$dir"/bin/FerziaPS-Calvorano_*
"$dir"/bin/compattatore
for coda in 24617_note.txt 24617_rallentamenti.txt 24617_scheda_treno.txt linea.dat 24617.sim \
  24617.dat; do
  [ -s "$dir/bin/FerziaPS-Calvorano_$coda" ] || {
    echo "FALLITO: manca FerziaPS-Calvorano_$coda" >&2
    exit 1
  }
done

# The checks of the sources and the JavaScript tests read no build: the full
# configuration runs them.
ctest --test-dir "$dir" -j2 --output-on-failure -E '^(FunzioniBrevi|CostantiUniche|npm_.*)$'
