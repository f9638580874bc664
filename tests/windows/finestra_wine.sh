#!/usr/bin/env bash
# The Windows window under Wine on a private Xvfb: compattatore.exe shows Form1
# while it works and ends by itself; the box of a fatal error shows
# " Errore n. 1250" and closes on Enter; the in-process window test runs with a
# desktop. With SCREENSHOTS=DIR it leaves both screenshots there.
# Usage: finestra_wine.sh WINE COMPATTATORE_EXE FINESTRA_DEMO_EXE TESTS_EXE
# Exit 77 (skipped) without Xvfb, xdotool or Wine.
set -u
wine=$1 compattatore=$2 demo=$3 prove=$4
for p in Xvfb xdotool "$wine"; do command -v "$p" >/dev/null 2>&1 || { echo "manca $p"; exit 77; }; done
export WINEDEBUG=-all
# Wine's desktop belongs to its server: one started by a run without a display
# would have no windows for us. Wait until every earlier Wine process is gone.
wineserver=$(dirname "$(command -v "$wine")")/wineserver
[ -x "$wineserver" ] || wineserver=wineserver
"$wineserver" -w 2>/dev/null

lavoro=$(mktemp -d)
xvfb=""
pulisci() {
  jobs -p | xargs -r kill 2>/dev/null
  [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null
  rm -rf "$lavoro"
}
trap pulisci EXIT

exec 3>"$lavoro/display"
Xvfb -displayfd 3 -screen 0 640x480x24 >/dev/null 2>&1 &
xvfb=$!
for _ in $(seq 50); do [ -s "$lavoro/display" ] && break; sleep 0.1; done
export DISPLAY=":$(head -1 "$lavoro/display")"
[ "$DISPLAY" != ":" ] || { echo "Xvfb non partito"; exit 1; }
# For the screenshots, a window manager draws the title bars; it places new
# windows itself, never asking for a click.
if [ -n "${SCREENSHOTS:-}" ] && command -v twm >/dev/null; then
  printf 'RandomPlacement\nUsePPosition "on"\nNoGrabServer\n' >"$lavoro/twmrc"
  twm -f "$lavoro/twmrc" >/dev/null 2>&1 &
  sleep 0.5
fi

fallito=0
male() { echo "FALLITO: $*"; fallito=1; }
aspetta_finestra() {  # name, seconds
  for _ in $(seq $(($2 * 10))); do
    id=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -1)
    [ -n "$id" ] && { echo "$id"; return 0; }
    sleep 0.1
  done
  return 1
}
# OK on a box once it has the focus: a key sent to a box still being mapped
# under a loaded machine is lost, and the box then waits for ever.
premi_ok() {  # window id
  for _ in $(seq 200); do
    xdotool windowfocus "$1" 2>/dev/null
    [ "$(xdotool getwindowfocus 2>/dev/null)" = "$1" ] && break
    sleep 0.1
  done
  xdotool key Return
}
foto() { [ -n "${SCREENSHOTS:-}" ] && import -window root "$SCREENSHOTS/$1" 2>/dev/null; }

# 1. The run's window, in a folder with blanks and a letter outside ASCII.
cartella="$lavoro/Scenari di prova/Linea più lunga"
mkdir -p "$cartella"
cp "$compattatore" "$cartella/compattatore.exe"
COMPATTATORE_TEST_ATTESA_MS=3000 timeout 60 "$wine" "$cartella/compattatore.exe" >/dev/null 2>&1 &
run=$!
if aspetta_finestra '^Form1$' 20 >/dev/null; then
  sleep 0.5
  foto finestra-attendere-windows.png
else
  male "nessuna finestra Form1"
fi
wait "$run"
stato=$?
[ "$stato" -eq 0 ] || male "compattatore.exe uscito con $stato"
[ "$(ls "$cartella" | wc -l)" -eq 7 ] || male "attesi 7 file in $cartella: $(ls "$cartella")"
xdotool search --name '^Form1$' >/dev/null 2>&1 && male "Form1 ancora aperta a fine lavoro"

# 2. The box of a fatal error, closed by Enter.
timeout 60 "$wine" "$demo" errore >"$lavoro/uscita" 2>&1 &
run=$!
if id=$(aspetta_finestra '^finestra_demo$' 20); then
  sleep 0.5
  foto finestra-errore-windows.png
  premi_ok "$id"
else
  male "nessuna scatola del messaggio"
fi
for _ in $(seq 100); do kill -0 "$run" 2>/dev/null || break; sleep 0.1; done
if kill -0 "$run" 2>/dev/null; then
  male "la scatola non si chiude con Invio"
  kill "$run"
fi
wait "$run"
stato=$?
[ "$stato" -eq 1 ] || male "finestra_demo.exe uscito con $stato, atteso 1"
grep -q " Errore n. 1250" "$lavoro/uscita" || male "messaggio: $(cat "$lavoro/uscita")"

# 3. A failed write: a box names the file, and the program ends with status 1
# once it is closed; the files written before it stay.
guasto="$lavoro/guasto"
mkdir -p "$guasto/FerziaPS-Calvorano_24617_note.txt"
cp "$compattatore" "$guasto/compattatore.exe"
timeout 60 "$wine" "$guasto/compattatore.exe" >/dev/null 2>"$lavoro/errori" &
run=$!
if id=$(aspetta_finestra '^compattatore$' 20); then
  premi_ok "$id"
else
  male "nessuna scatola per la scrittura fallita"
fi
wait "$run"
stato=$?
[ "$stato" -eq 1 ] || male "scrittura fallita: stato $stato, atteso 1"
grep -q "FerziaPS-Calvorano_24617_note.txt" "$lavoro/errori" || male "motivo: $(cat "$lavoro/errori")"
[ -f "$guasto/FerziaPS-Calvorano_linea.txt" ] || male "la descrizione della linea scritta prima non c'è più"

# 4. The in-process test of the window and its label, with a desktop.
timeout 60 "$wine" "$prove" --gtest_filter='Windows.Window*' >"$lavoro/prove" 2>&1 || male "$(cat "$lavoro/prove")"
grep -q "SKIPPED" "$lavoro/prove" && male "il test della finestra non ha trovato il desktop"

[ "$fallito" -eq 0 ] && echo "finestra Windows: tutto come atteso"
exit "$fallito"
