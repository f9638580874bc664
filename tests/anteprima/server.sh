# Sourced by the preview's tests: starts `scenario preview` on the built-in
# sources in a folder of its own and reads the address it prints.
#   avvia_anteprima CARTELLA PROGRAMMA [WINE [OPZIONE...]]: sets url, porta, chiave, pid_server
#     (the route and train: linea_anteprima, treno_anteprima, the built-in's by default)
#   leggi_indirizzo FILE: waits for the address a server started as pid_server
#     prints into FILE; sets url, porta, chiave (1 when it prints none)
#   ferma_anteprima SEGNALE: 0 when the server ended within the bound
#   pagina_possibile WINE CARTELLA_PAGINA: exits 77 (skipped) without Wine,
#     node, Chromium or the page tests' node_modules
#   sorgenti_anteprima CARTELLA PROGRAMMA [WINE]: the built-in sources in CARTELLA/sorgenti
# The waits poll with a generous bound: they fail only a run that hangs.

avvia_anteprima() {
  local cartella=$1 programma=$2 wine=${3:-}
  shift 3 2>/dev/null || shift $#
  uscita_server="$cartella/server.txt"
  # Job control on, so that the server gets SIGINT as a terminal would send it.
  set -m
  if [ -n "$wine" ]; then
    "$wine" "$programma" preview "$cartella/sorgenti" "${linea_anteprima:-FerziaPS-Calvorano}" \
      "${treno_anteprima:-24617}" "$@" >"$uscita_server" 2>&1 &
  else
    "$programma" preview "$cartella/sorgenti" "${linea_anteprima:-FerziaPS-Calvorano}" \
      "${treno_anteprima:-24617}" "$@" >"$uscita_server" 2>&1 &
  fi
  pid_server=$!
  set +m
  leggi_indirizzo "$uscita_server"
}

leggi_indirizzo() {
  url=""
  for _ in $(seq 1200); do
    url=$(grep -oE 'http://127\.0\.0\.1:[0-9]+/\?t=[0-9a-f]+' "$1" | head -1)
    [ -n "$url" ] && break
    kill -0 "$pid_server" 2>/dev/null || break
    sleep 0.1
  done
  if [ -z "$url" ]; then
    echo "FALLITO: il server non ha stampato il suo indirizzo:"
    cat "$1"
    return 1
  fi
  porta=$(echo "$url" | sed -E 's|http://127\.0\.0\.1:([0-9]+)/.*|\1|')
  chiave=${url##*t=}
}

ferma_anteprima() {
  kill "-$1" "$pid_server" 2>/dev/null
  for _ in $(seq 300); do
    kill -0 "$pid_server" 2>/dev/null || break
    sleep 0.1
  done
  if kill -0 "$pid_server" 2>/dev/null; then
    kill -9 "$pid_server" 2>/dev/null
    wait "$pid_server" 2>/dev/null
    return 1
  fi
  wait "$pid_server" 2>/dev/null
}

pagina_possibile() {
  if [ -n "$1" ]; then
    command -v "$1" >/dev/null 2>&1 || { echo "SALTATO: manca $1"; exit 77; }
    export WINEDEBUG=-all
    unset DISPLAY
  fi
  command -v node >/dev/null || { echo "SALTATO: node non installato"; exit 77; }
  [ -x "${CHROMIUM:-/usr/bin/chromium}" ] || { echo "SALTATO: ${CHROMIUM:-/usr/bin/chromium} non c'è"; exit 77; }
  [ -d "$2/node_modules" ] || { echo "SALTATO: npm ci non fatto in $2"; exit 77; }
}

sorgenti_anteprima() {
  if [ -n "${3:-}" ]; then
    "$3" "$2" sources "$1/sorgenti" >/dev/null 2>&1
  else
    "$2" sources "$1/sorgenti" >/dev/null 2>&1
  fi || { echo "FALLITO: scenario sources"; exit 1; }
}
