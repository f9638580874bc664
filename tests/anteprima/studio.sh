#!/usr/bin/env bash
# `scenario studio DIR` from a plain HTTP client: it lists every pair of
# sources in DIR with its check's verdict, runs check as the page asks it,
# and refuses every request without the key or from a foreign Origin, and
# an action on names that are no pair of DIR, without a file of DIR changed.
# Usage: studio.sh SCENARIO [WINE]. Exit 77 (skipped) when WINE is given but missing.
set -u
programma=$1 wine=${2:-}
if [ -n "$wine" ]; then
  command -v "$wine" >/dev/null 2>&1 || { echo "SALTATO: manca $wine"; exit 77; }
  export WINEDEBUG=-all
  unset DISPLAY
fi
qui=$(cd "$(dirname "$0")" && pwd)
. "$qui/server.sh"
lavoro=$(mktemp -d)
trap 'kill -9 "${pid_server:-0}" 2>/dev/null; rm -rf "$lavoro"' EXIT
fallito=0
male() { echo "FALLITO: $*"; fallito=1; }
lancia() { if [ -n "$wine" ]; then "$wine" "$programma" "$@"; else "$programma" "$@"; fi; }

dir="$lavoro/scenari"
lancia sources "$dir" >/dev/null 2>&1 || { echo "FALLITO: scenario sources"; exit 1; }
cp "$dir/FerziaPS-Calvorano_24617-.txt" "$dir/FerziaPS-Calvorano_9999-.txt"
set -m
# The program itself in the background, not a function's subshell: the
# interruption below must reach it.
if [ -n "$wine" ]; then
  "$wine" "$programma" studio "$dir" --port 0 >"$lavoro/server.txt" 2>&1 &
else
  "$programma" studio "$dir" --port 0 >"$lavoro/server.txt" 2>&1 &
fi
pid_server=$!
set +m
leggi_indirizzo "$lavoro/server.txt" || exit 1
origine="http://127.0.0.1:$porta"

# METHOD TARGET ORIGIN BODY: the whole answer (status line first).
chiedi() {
  (
    trap '' PIPE
    exec 3<>"/dev/tcp/127.0.0.1/$porta" || exit
    local testa="$1 $2 HTTP/1.1\r\nHost: 127.0.0.1:$porta\r\nConnection: close\r\n"
    [ -n "$3" ] && testa+="Origin: $3\r\n"
    [ "$1" = POST ] && testa+="Content-Type: application/json\r\nContent-Length: ${#4}\r\n"
    printf "$testa\r\n%s" "$4" >&3 2>/dev/null
    timeout 20 cat <&3
  )
}
stato() { chiedi "$@" | head -1 | awk '{ print $2 }'; }
istantanea() { (cd "$dir" && ls -la --time-style=full-iso && cat ./*) | md5sum; }

elenco=$(chiedi GET "/dati?t=$chiave" "" "")
for treno in 24617 9999; do
  echo "$elenco" | grep -q "\"codice\":0,\"errore_io\":\"\",\"linea\":\"FerziaPS-Calvorano\",\"treno\":\"$treno\"" ||
    male "l'elenco non ha FerziaPS-Calvorano $treno senza errori: $elenco"
done
check=$(chiedi POST "/modifica?t=$chiave" "$origine" \
  '{"azione":"check","linea":"FerziaPS-Calvorano","treno":"9999"}')
echo "$check" | head -1 | grep -q ' 200 ' && echo "$check" | grep -q 'nessun errore' ||
  male "check dalla pagina: $check"

prima=$(istantanea)
compila='{"azione":"compile","linea":"FerziaPS-Calvorano","treno":"24617"}'
# name | method | target | origin | body | the status that passes
casi=(
  "elenco senza chiave|GET|/dati|||403"
  "pagina senza chiave|GET|/|||403"
  "compile senza chiave|POST|/modifica|$origine|$compila|403"
  "compile con chiave errata|POST|/modifica?t=${chiave}0|$origine|$compila|403"
  "compile da un'altra origine|POST|/modifica?t=$chiave|http://attaccante.example|$compila|403"
  "compile senza origine|POST|/modifica?t=$chiave||$compila|403"
  "compile di una coppia assente|POST|/modifica?t=$chiave|$origine|{\"azione\":\"compile\",\"linea\":\"..\",\"treno\":\"x\"}|400"
)
for c in "${casi[@]}"; do
  IFS='|' read -r nome metodo bersaglio orig corpo atteso <<<"$c"
  s=$(stato "$metodo" "$bersaglio" "$orig" "$corpo")
  [ "$s" = "$atteso" ] || male "$nome: $s invece di $atteso"
done
[ "$(istantanea)" = "$prima" ] || male "una richiesta rifiutata ha cambiato la cartella"
# The same compile from the page writes: the look above would see it.
[ "$(stato POST "/modifica?t=$chiave" "$origine" "$compila")" = 200 ] || male "compile dalla pagina rifiutato"
[ "$(istantanea)" != "$prima" ] || male "compile dalla pagina non ha scritto nulla"

ferma_anteprima INT || male "lo studio non si è fermato dopo Ctrl-C"
[ $fallito = 0 ] && echo "studio: tutto bene"
exit $fallito
