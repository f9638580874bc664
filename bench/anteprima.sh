#!/usr/bin/env bash
# Redraw after a save of a 1000 km line: `scenario preview` of
# `generate Lunga 1 --km 1000 --seed 7`, and tests/browser/banco-reale.mjs
# writing a station's time 7 times (VOLTE=N for more), each timed from the
# write to the page showing it. Goal: at most 300 ms.
# Usage: bench/anteprima.sh [BIN_DIR] (default build/bin)
set -u
radice=$(cd "$(dirname "$0")/.." && pwd)
bin=${1:-"$radice/build/bin"}
lavoro=$(mktemp -d)
trap 'kill "${pid_server:-0}" 2>/dev/null; rm -rf "$lavoro"' EXIT
"$bin/scenario" generate "$lavoro/sorgenti" Lunga 1 --km 1000 --seed 7 >/dev/null || exit 1
. "$radice/tests/anteprima/server.sh"
linea_anteprima=Lunga treno_anteprima=1 avvia_anteprima "$lavoro" "$bin/scenario" "" || exit 1
(cd "$radice/tests/browser" && ANTEPRIMA_URL="$url" ANTEPRIMA_SORGENTI="$lavoro/sorgenti" \
  ANTEPRIMA_LINEA=Lunga ANTEPRIMA_TRENO=1 node banco-reale.mjs)
stato=$?
echo "server:"
tail -3 "$lavoro/server.txt"
exit "$stato"
