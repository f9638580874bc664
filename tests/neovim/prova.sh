#!/usr/bin/env bash
# Runs `scenario lsp` under headless Neovim (0.7 API) as a real LSP client.
# Usage: prova.sh PATH/TO/scenario
set -u

scenario=${1:-}
if [[ -z "$scenario" || ! -x "$scenario" ]]; then
  echo "FALLITO: serve il percorso del programma scenario (dato: '${scenario}')" >&2
  exit 1
fi
if ! command -v nvim >/dev/null 2>&1; then
  echo "SALTATO: nvim non è installato"
  exit 77
fi

qui=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
scenario=$(cd "$(dirname "$scenario")" && pwd)/$(basename "$scenario")
cartella=$(mktemp -d "${TMPDIR:-/tmp}/scenario-nvim.XXXXXX") || exit 1
trap 'rm -rf "$cartella"' EXIT

if ! "$scenario" sources "$cartella" >"$cartella/sources.log" 2>&1; then
  echo "FALLITO: scenario sources non ha scritto i sorgenti" >&2
  cat "$cartella/sources.log" >&2
  exit 1
fi

# The script bounds itself; timeout is the last guard should nvim itself stall.
SCENARIO="$scenario" CARTELLA="$cartella" \
  timeout -k 5 240 nvim --headless --clean -n -c "luafile $qui/prova.lua" </dev/null
stato=$?
echo
if [[ $stato -ne 0 ]]; then
  echo "FALLITO: la prova con Neovim è uscita con stato $stato" >&2
  exit 1
fi
echo "SUPERATO: prova LSP con Neovim"
exit 0
