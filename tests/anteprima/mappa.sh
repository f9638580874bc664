#!/usr/bin/env bash
# `scenario preview --map` of a line drafted from the test extract: the page's
# document carries the map's rails near the line, in the plan's frame (the one
# that passes through the line's first station among them); once the line
# source no longer says where it lies on the map the next document has none;
# a map that cannot be read stops the preview before it starts.
# Usage: mappa.sh SCENARIO [WINE]. Exit 77 (skipped) when WINE is given but
# missing.
set -u
programma=$1 wine=${2:-}
if [ -n "$wine" ]; then
  command -v "$wine" >/dev/null 2>&1 || { echo "SALTATO: manca $wine"; exit 77; }
  export WINEDEBUG=-all
  unset DISPLAY
fi
# The program itself (exec: a signal to a background run reaches it).
scenario() { if [ -n "$wine" ]; then exec "$wine" "$programma" "$@"; else exec "$programma" "$@"; fi; }
scenario_qui() { (scenario "$@"); }
mappa=$(cd "$(dirname "$0")/../dati/mappe" && pwd)/vde8.2-rail.osm.pbf
lavoro=$(mktemp -d)
trap 'kill -9 "${pid_server:-0}" 2>/dev/null; rm -rf "$lavoro"' EXIT
fallito=0
male() { echo "FALLITO: $*"; fallito=1; }

scenario_qui draft "$mappa" "$lavoro/sorgenti" L 1 --from "Erfurt Hbf" --to Weimar >/dev/null ||
  { echo "FALLITO: draft"; exit 1; }

printf 'nessuna mappa\n' >"$lavoro/no.pbf"
scenario_qui preview "$lavoro/sorgenti" L 1 --map "$lavoro/no.pbf" >"$lavoro/no.txt" 2>&1
stato=$?
[ "$stato" -eq 2 ] && grep -q "non è una mappa OpenStreetMap" "$lavoro/no.txt" ||
  male "una mappa illeggibile: stato $stato, $(cat "$lavoro/no.txt")"

. "$(dirname "$0")/server.sh"
# With --edit as well: the page that edits the sources draws the map too.
linea_anteprima=L treno_anteprima=1 avvia_anteprima "$lavoro" "$programma" "$wine" --map "$mappa" --edit ||
  exit 1

# The document the page reads, its body alone.
documento() {
  (
    exec 3<>"/dev/tcp/127.0.0.1/$porta" || exit
    printf 'GET /dati?t=%s HTTP/1.1\r\nHost: 127.0.0.1:%s\r\nConnection: close\r\n\r\n' "$chiave" "$porta" >&3
    timeout 20 cat <&3 | sed '1,/^\r$/d'
  )
}

d=$(documento)
vie=$(printf '%s' "$d" | grep -o '"mappa":\[\[.*\]\]' | grep -o '\],\[' | wc -l)
[ "$vie" -ge 10 ] || male "il documento non ha i binari della mappa (${#d} byte, $vie vie)"
case $d in *'"modifica":{"modo":"disco"'*) ;; *) male "il documento non dice che la pagina modifica" ;; esac
# Plan point 0 is the first station's stop: some rail passes within a metre
# of the plan's origin.
vicino=$(printf '%s' "$d" | grep -oE '"mappa":\[\[[^"]*\]\]' | grep -oE '(-?[0-9.]+,-?[0-9.]+)' |
  awk -F, '{ d = $1 * $1 + $2 * $2; if (d < 1.0) n++ } END { print n + 0 }')
[ "$vicino" -ge 1 ] || male "nessun binario passa per l'origine della planimetria"

# The line source without the line that places it: the next document has no map.
sed -i '/^origine mappa,/d' "$lavoro/sorgenti/L_linea.txt"
for _ in $(seq 200); do
  d=$(documento)
  case $d in *'"versione":1,'*) sleep 0.1 ;; *) break ;; esac
done
case $d in
  *'"versione":1,'*) male "nessun documento nuovo dopo il cambio del sorgente" ;;
  *'"mappa"'*) male "la mappa resta senza l'origine nel sorgente" ;;
esac
grep -q "non dice dove sta sulla mappa" "$lavoro/server.txt" || male "il server non dice perché la mappa manca"

ferma_anteprima INT || male "il server non si ferma con Ctrl-C"
[ "$fallito" -eq 0 ] && echo "preview --map: $vie vie vicino alla linea, e nessuna senza il suo posto"
exit "$fallito"
