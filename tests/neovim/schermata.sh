#!/usr/bin/env bash
# Captures docs/lsp-neovim.png: Neovim in a terminal on a private Xvfb, the
# line source open with the server's code-25 diagnostic shown.
# Run by hand: tests/neovim/schermata.sh PATH/TO/scenario
# Needs: Xvfb, a terminal emulator (xterm or zutty), nvim, ImageMagick import.
set -u

scenario=${1:-}
if [[ -z "$scenario" || ! -x "$scenario" ]]; then
  echo "uso: $0 PERCORSO/DI/scenario" >&2
  exit 1
fi
for p in Xvfb nvim import; do
  if ! command -v "$p" >/dev/null 2>&1; then
    echo "SALTATO: manca $p"
    exit 77
  fi
done
if command -v xterm >/dev/null 2>&1; then
  terminale=xterm
elif command -v zutty >/dev/null 2>&1; then
  terminale=zutty
else
  echo "SALTATO: nessun emulatore di terminale (xterm o zutty)"
  exit 77
fi

qui=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
radice=$(cd "$qui/../.." && pwd)
scenario=$(cd "$(dirname "$scenario")" && pwd)/$(basename "$scenario")
uscita="$radice/docs/lsp-neovim.png"
schermo=${SCHERMO:-57}

cartella=$(mktemp -d "${TMPDIR:-/tmp}/scenario-schermata.XXXXXX") || exit 1
xvfb=""
term_pid=""
pulisci() {
  [[ -n "$term_pid" ]] && kill "$term_pid" 2>/dev/null
  [[ -n "$xvfb" ]] && kill "$xvfb" 2>/dev/null
  rm -rf "$cartella"
}
trap pulisci EXIT

"$scenario" sources "$cartella/sorgenti" >/dev/null || exit 1

if [[ -e /tmp/.X11-unix/X$schermo ]]; then
  echo "lo schermo :$schermo è già in uso (scegline un altro con SCHERMO=N)" >&2
  exit 1
fi
Xvfb ":$schermo" -screen 0 1100x700x24 -nolisten tcp >"$cartella/xvfb.log" 2>&1 &
xvfb=$!
for _ in $(seq 100); do
  [[ -e /tmp/.X11-unix/X$schermo ]] && break
  sleep 0.1
done
export DISPLAY=":$schermo"

segnale="$cartella/pronto"
comando=(env SCENARIO="$scenario" FILE_LINEA="$cartella/sorgenti/FerziaPS-Calvorano_linea.txt"
  SEGNALE="$segnale" nvim --clean -n -c "luafile $qui/schermata.lua")
if [[ $terminale == xterm ]]; then
  xterm -geometry 120x36+0+0 -fa 'DejaVu Sans Mono' -fs 12 -bg black -fg white -e "${comando[@]}" &
else
  zutty -quiet -geometry 120x36 -font DejaVuSansMono -fontsize 16 -border 0 -e "${comando[@]}" &
fi
term_pid=$!

# Bounded wait for the Lua side to report the diagnostic on screen.
for _ in $(seq 300); do
  [[ -e "$segnale" ]] && break
  sleep 0.1
done
if [[ "$(cat "$segnale" 2>/dev/null)" != pronto ]]; then
  echo "la diagnostica non è comparsa (segnale: $(cat "$segnale" 2>/dev/null || echo assente))" >&2
  exit 1
fi

# The terminal paints after nvim writes: take frames until two agree.
prima=""
for _ in $(seq 20); do
  import -window root "$cartella/quadro.png" || exit 1
  ora=$(md5sum <"$cartella/quadro.png")
  [[ "$ora" == "$prima" ]] && break
  prima=$ora
  sleep 0.3
done
mkdir -p "$(dirname "$uscita")"
# Only the terminal's window, which sits at the top left corner.
finestra=$(xdotool search --onlyvisible --class "$terminale" 2>/dev/null | head -n 1)
if [[ -n "$finestra" ]]; then
  eval "$(xdotool getwindowgeometry --shell "$finestra")"
  convert "$cartella/quadro.png" -crop "${WIDTH}x${HEIGHT}+0+0" +repage "$uscita"
else
  cp "$cartella/quadro.png" "$uscita"
fi
echo "scritto $uscita"
