#!/usr/bin/env bash
# `scenario preview` from a plain HTTP client: what is refused (no key, a
# foreign Host, a path outside its routes, a method other than GET, an
# oversized request, too many connections), that the server goes on serving
# after each, that it listens on 127.0.0.1 alone, and that an interruption
# ends it cleanly.
# Usage: sicurezza.sh SCENARIO [WINE]. Exit 77 (skipped) when WINE is given
# but missing.
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

"$programma" sources "$lavoro/sorgenti" >/dev/null 2>&1 || "$wine" "$programma" sources "$lavoro/sorgenti" >/dev/null 2>&1
avvia_anteprima "$lavoro" "$programma" "$wine" || exit 1

# Sends the bytes (printf format) and prints the status code of the answer,
# or "nessuna" when the connection ends without one.
chiedi() {
  (
    trap '' PIPE
    exec 3<>"/dev/tcp/127.0.0.1/$porta" || { echo nessuna; exit; }
    printf "$1" >&3 2>/dev/null
    IFS= read -r -t 20 riga <&3 2>/dev/null || riga=""
    codice=$(echo "$riga" | awk '/^HTTP\/1\.[01] [0-9][0-9][0-9]/ { print $2 }')
    echo "${codice:-nessuna}"
  )
}
h="Host: 127.0.0.1:$porta\r\n"
grande=$(head -c 100000 /dev/zero | tr '\0' a)
lunga=$(head -c 20000 /dev/zero | tr '\0' b)

# name | request | the codes that pass
casi=(
  "buona|GET /dati?t=$chiave HTTP/1.1\r\n${h}\r\n|200"
  "la pagina|GET /?t=$chiave HTTP/1.1\r\n${h}\r\n|200"
  "localhost|GET /dati?t=$chiave HTTP/1.1\r\nHost: LocalHost:$porta\r\n\r\n|200"
  "senza chiave|GET /dati HTTP/1.1\r\n${h}\r\n|403"
  "chiave vuota|GET /dati?t= HTTP/1.1\r\n${h}\r\n|403"
  "chiave errata|GET /dati?t=${chiave%?}0 HTTP/1.1\r\n${h}\r\n|403"
  "chiave più lunga|GET /dati?t=${chiave}0 HTTP/1.1\r\n${h}\r\n|403"
  "pagina senza chiave|GET / HTTP/1.1\r\n${h}\r\n|403"
  "eventi senza chiave|GET /eventi HTTP/1.1\r\n${h}\r\n|403"
  "host estraneo|GET /dati?t=$chiave HTTP/1.1\r\nHost: attaccante.example:$porta\r\n\r\n|403 421"
  "host senza porta|GET /dati?t=$chiave HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n|403 421"
  "host con altra porta|GET /dati?t=$chiave HTTP/1.1\r\nHost: 127.0.0.1:1\r\n\r\n|403 421"
  "due host|GET /dati?t=$chiave HTTP/1.1\r\n${h}Host: attaccante.example\r\n\r\n|400 403 421"
  "senza host|GET /dati?t=$chiave HTTP/1.0\r\n\r\n|403 421"
  "punto punto|GET /../dati?t=$chiave HTTP/1.1\r\n${h}\r\n|404"
  "punto punto in fondo|GET /dati/..?t=$chiave HTTP/1.1\r\n${h}\r\n|404"
  "punto punto codificato|GET /%%2e%%2e/%%2e%%2e/etc/passwd?t=$chiave HTTP/1.1\r\n${h}\r\n|404"
  "file del server|GET /server.txt?t=$chiave HTTP/1.1\r\n${h}\r\n|404"
  "POST|POST /dati?t=$chiave HTTP/1.1\r\n${h}Content-Length: 3\r\n\r\nabc|405"
  "PUT|PUT /?t=$chiave HTTP/1.1\r\n${h}Content-Length: 0\r\n\r\n|405"
  "HEAD|HEAD /dati?t=$chiave HTTP/1.1\r\n${h}\r\n|405"
  "intestazione enorme|GET /dati?t=$chiave HTTP/1.1\r\n${h}X-Riempi: $grande\r\n\r\n|431"
  "riga enorme|GET /dati?t=$chiave&x=$lunga HTTP/1.1\r\n${h}\r\n|431 414"
  "corpo enorme|POST /dati?t=$chiave HTTP/1.1\r\n${h}Content-Length: 100000\r\n\r\n$grande|413"
  "non HTTP|$grande\r\n\r\n|400 431"
)
for caso in "${casi[@]}"; do
  IFS='|' read -r nome richiesta attesi <<<"$caso"
  avuto=$(chiedi "$richiesta")
  case " $attesi " in *" $avuto "*) ;; *) male "$nome: $avuto invece di $attesi" ;; esac
  dopo=$(chiedi "GET /dati?t=$chiave HTTP/1.1\r\n${h}\r\n")
  [ "$dopo" = 200 ] || male "dopo «$nome» il server risponde $dopo"
done

# Connections past the bound are closed at once; once those go, it serves.
exec {primo}<>"/dev/tcp/127.0.0.1/$porta"
fd=("$primo")
for _ in $(seq 39); do
  exec {f}<>"/dev/tcp/127.0.0.1/$porta" && fd+=("$f")
done
oltre=$(chiedi "GET /dati?t=$chiave HTTP/1.1\r\n${h}\r\n")
[ "$oltre" = nessuna ] || male "oltre 40 connessioni aperte: $oltre invece di nessuna risposta"
for f in "${fd[@]}"; do exec {f}>&-; done
servito=nessuna
for _ in $(seq 100); do
  servito=$(chiedi "GET /dati?t=$chiave HTTP/1.1\r\n${h}\r\n")
  [ "$servito" = 200 ] && break
  sleep 0.1
done
[ "$servito" = 200 ] || male "chiuse le connessioni, il server risponde $servito"

# Nothing answers on the machine's other addresses.
for ip in $(hostname -I 2>/dev/null); do
  case "$ip" in 127.* | *:*) continue ;; esac
  if (exec 3<>"/dev/tcp/$ip/$porta") 2>/dev/null; then male "risponde anche su $ip"; fi
done

if [ -n "$wine" ]; then
  ferma_anteprima KILL
else
  ferma_anteprima INT || male "Ctrl-C: il server non è finito bene (stato $?)"
  grep -q "Anteprima fermata" "$uscita_server" || male "Ctrl-C: nessun «Anteprima fermata»"
fi
[ "$fallito" -eq 0 ] && echo "anteprima: ${#casi[@]} richieste, rifiutate quelle da rifiutare, il server serve dopo ognuna"
exit "$fallito"
