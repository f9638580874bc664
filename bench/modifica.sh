#!/usr/bin/env bash
# From the end of a drag to the redrawn page on a 1000 km line: `scenario
# preview --edit` of `generate Lunga 1 --km 1000 --seed 7`, and
# tests/browser/banco-modifica.mjs dragging a station 7 times (VOLTE=N for
# more), each timed from the release to the frame after the new drawing.
# Goal: at most 300 ms.
# Usage: bench/modifica.sh [BIN_DIR] (default build/bin)
set -u
radice=$(cd "$(dirname "$0")/.." && pwd)
bin=${1:-"$radice/build/bin"}
lavoro=$(mktemp -d)
trap 'kill "${pid_server:-0}" 2>/dev/null; rm -rf "$lavoro"' EXIT
"$bin/scenario" generate "$lavoro/sorgenti" Lunga 1 --km 1000 --seed 7 >/dev/null || exit 1
. "$radice/tests/anteprima/server.sh"
linea_anteprima=Lunga treno_anteprima=1 avvia_anteprima "$lavoro" "$bin/scenario" "" --edit || exit 1
(cd "$radice/tests/browser" && ANTEPRIMA_URL="$url" node banco-modifica.mjs)
stato=$?
echo "server:"
tail -3 "$lavoro/server.txt"
exit "$stato"
