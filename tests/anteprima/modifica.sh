#!/usr/bin/env bash
# The page's edits (tests/browser/modifica.test.mjs) against the real
# `scenario preview --edit` of the built-in sources. With WINE: against
# scenario.exe under Wine.
# Usage: modifica.sh SCENARIO [WINE]. Exit 77 (skipped) without Wine, node,
# Chromium or tests/browser/node_modules.
set -u
programma=$1 wine=${2:-}
qui=$(cd "$(dirname "$0")" && pwd)
pagina="$qui/../browser"
. "$qui/server.sh"
pagina_possibile "$wine" "$pagina"
lavoro=$(mktemp -d)
trap 'kill -9 "${pid_server:-0}" 2>/dev/null; rm -rf "$lavoro"' EXIT

sorgenti_anteprima "$lavoro" "$programma" "$wine"
# Only the two sources are served: the documents beside them must stay as written.
avvia_anteprima "$lavoro" "$programma" "$wine" --edit || exit 1
echo "server: $url"
(cd "$pagina" && ANTEPRIMA_URL="$url" ANTEPRIMA_SORGENTI="$lavoro/sorgenti" \
  ANTEPRIMA_PROGRAMMA="$programma" ANTEPRIMA_WINE="$wine" node --test-concurrency=1 modifica.test.mjs)
stato=$?
if [ -n "$wine" ]; then ferma_anteprima KILL; else ferma_anteprima TERM; fi
cat "$uscita_server"
exit "$stato"
