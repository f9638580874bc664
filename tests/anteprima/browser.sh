#!/usr/bin/env bash
# The preview page's browser tests (tests/browser) against the real
# `scenario preview` of the built-in sources, its changes made by writing the
# source files. With WINE: against scenario.exe under Wine.
# Usage: browser.sh SCENARIO [WINE]. Exit 77 (skipped) without Wine, node,
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
avvia_anteprima "$lavoro" "$programma" "$wine" || exit 1
echo "server: $url"
(cd "$pagina" && ANTEPRIMA_URL="$url" ANTEPRIMA_FORNITORE="$qui/fornitore-sorgenti.mjs" \
  ANTEPRIMA_SORGENTI="$lavoro/sorgenti" node anteprima.test.mjs)
stato=$?
if [ -n "$wine" ]; then ferma_anteprima KILL; else ferma_anteprima TERM; fi
# What the server printed: a version for each compile.
cat "$uscita_server"
exit "$stato"
