#!/usr/bin/env bash
# The editor's protocol conversation with `scenario.exe lsp` under Wine, and
# the same with the Linux build's server: both must pass and give the same
# answers. Usage: lsp_wine.sh WINE SCENARIO_EXE LINUX_BIN_DIR
set -u
wine=$1 exe=$2 linux=$3
cartella=$(cd "$(dirname "$0")/../../editor/vscode" && pwd)
command -v node >/dev/null || { echo "SALTATO: node non installato"; exit 77; }
[ -d "$cartella/node_modules" ] || { echo "SALTATO: npm ci non fatto in $cartella"; exit 77; }
[ -x "$linux/scenario" ] || { echo "SALTATO: manca $linux/scenario"; exit 77; }
lavoro=$(mktemp -d)
trap 'rm -rf "$lavoro"' EXIT
cd "$cartella"
SCENARIO_LSP="[\"$wine\",\"$exe\"]" SCENARIO_LSP_WINE=1 SCENARIO_LSP_RISPOSTE="$lavoro/wine.json" \
  node --test test/protocollo.test.js || { echo "FALLITO: la conversazione sotto Wine"; exit 1; }
SCENARIO_LSP="[\"$linux/scenario\"]" SCENARIO_LSP_RISPOSTE="$lavoro/linux.json" \
  node --test test/protocollo.test.js || { echo "FALLITO: la conversazione con la build Linux"; exit 1; }
diff -u "$lavoro/linux.json" "$lavoro/wine.json" || { echo "FALLITO: risposte diverse"; exit 1; }
echo "stesse risposte da scenario.exe sotto Wine e da scenario su Linux"
