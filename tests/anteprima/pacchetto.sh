#!/usr/bin/env bash
# The page's "pacchetto" against the real `scenario preview --edit`: the six
# files `scenario pack` writes, in the folder --pacchetto names; a source
# with a code is refused and nothing is written.
# Usage: pacchetto.sh SCENARIO. Exit 77 (skipped) without curl.
set -u
programma=$1
command -v curl >/dev/null || { echo "SALTATO: curl non installato"; exit 77; }
qui=$(cd "$(dirname "$0")" && pwd)
. "$qui/server.sh"
lavoro=$(mktemp -d)
trap 'kill -9 "${pid_server:-0}" 2>/dev/null; rm -rf "$lavoro"' EXIT
fallito=0
male() { echo "FALLITO: $*"; fallito=1; }

sorgenti_anteprima "$lavoro" "$programma"
avvia_anteprima "$lavoro" "$programma" "" --edit --pacchetto "$lavoro/pacco" || exit 1
# The intent as the page sends it; prints the status, the answer in $lavoro/risposta.
chiedi() {
  curl -s -o "$lavoro/risposta" -w '%{http_code}' -X POST -H "Origin: http://127.0.0.1:$porta" \
    -H 'Content-Type: application/json' --data '{"intento":"pacchetto","versione":1}' \
    "http://127.0.0.1:$porta/modifica?t=$chiave"
}
curl -s "http://127.0.0.1:$porta/dati?t=$chiave" | grep -q "\"pacchetto\":\"$lavoro/pacco\"" ||
  male "il documento non dice dove va il pacchetto"
[ "$(chiedi)" = 200 ] || male "pacchetto: $(cat "$lavoro/risposta")"
"$programma" pack "$lavoro/sorgenti" FerziaPS-Calvorano 24617 --out "$lavoro/atteso" >/dev/null ||
  male "scenario pack"
diff -r "$lavoro/atteso" "$lavoro/pacco" >/dev/null || male "il pacchetto della pagina non è quello di pack"

sed -i 's/lunghezza percorso,    37000/lunghezza percorso,    3000/' \
  "$lavoro/sorgenti/FerziaPS-Calvorano_linea.txt"
rm -r "$lavoro/pacco"
stato=$(chiedi)
[ "$stato" = 422 ] || male "con un codice: $stato $(cat "$lavoro/risposta")"
grep -q 'errore 15' "$lavoro/risposta" || male "con un codice: $(cat "$lavoro/risposta")"
[ -e "$lavoro/pacco" ] && male "con un codice il pacchetto è stato scritto"
ferma_anteprima TERM || male "il server non si è fermato"
[ "$fallito" = 0 ] && echo "pacchetto della pagina: come pack, e nulla con un codice"
exit "$fallito"
