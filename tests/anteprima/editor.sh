#!/usr/bin/env bash
# The preview opened from the language server, with the page in Chromium:
# Neovim headless as the editor (tests/neovim/anteprima.lua), then the
# VS Code extension's protocol library as the client (tests/browser/cliente-lsp.mjs).
# With WINE the server is scenario.exe under Wine, and the library's client alone.
# Usage: editor.sh SCENARIO [WINE]. Exit 77 (skipped) when a part lacks its
# program and no part ran.
set -u
programma=$1 wine=${2:-}
qui=$(cd "$(dirname "$0")" && pwd)
pagina="$qui/../browser"
. "$qui/server.sh"
pagina_possibile "$wine" "$pagina"
if [ -n "$wine" ]; then comando=("$wine" "$programma" lsp); else comando=("$programma" lsp); fi
lavoro=$(mktemp -d)
trap 'rm -rf "$lavoro"' EXIT
scrivi_sorgenti() {
  rm -rf "$lavoro/sorgenti"
  sorgenti_anteprima "$lavoro" "$programma" "$wine"
}
lsp=$(IFS=$'\t'; echo "${comando[*]}")
fatte=0 stato=0
# Neovim names the files by their Linux paths, which a Windows server cannot open.
if [ -z "$wine" ] && command -v nvim >/dev/null; then
  scrivi_sorgenti
  SCENARIO_LSP="$lsp" CARTELLA="$lavoro/sorgenti" PAGINA="$pagina" \
    timeout -k 5 240 nvim --headless --clean -n -c "luafile $qui/../neovim/anteprima.lua" </dev/null
  s=$?; echo
  [ $s -eq 77 ] || { fatte=$((fatte + 1)); [ $s -eq 0 ] || { echo "FALLITO: Neovim ($s)"; stato=1; }; }
else
  echo "SALTATO (parte): Neovim (non installato, o server sotto Wine)"
fi
if [ -d "$qui/../../editor/vscode/node_modules" ]; then
  scrivi_sorgenti
  (cd "$pagina" && SCENARIO_LSP="$lsp" CARTELLA="$lavoro/sorgenti" WINE="$wine" timeout -k 5 240 node cliente-lsp.mjs)
  s=$?
  [ $s -eq 77 ] || { fatte=$((fatte + 1)); [ $s -eq 0 ] || { echo "FALLITO: client del protocollo ($s)"; stato=1; }; }
else
  echo "SALTATO (parte): npm ci non fatto in editor/vscode"
fi
[ $fatte -gt 0 ] || exit 77
exit $stato
