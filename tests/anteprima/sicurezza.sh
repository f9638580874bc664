#!/usr/bin/env bash
# `scenario preview` from a plain HTTP client: what is refused (no key, a
# foreign Host, a path outside its routes, a method other than GET and HEAD,
# an oversized request), that the server goes on serving after each, that
# connections without the key cannot keep the author's page out, that event
# streams are bounded, that it listens on 127.0.0.1 alone, that a source
# that is no file (or too large) is said on the page and never read, and
# that an interruption ends it cleanly in every state.
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

# A wrong key: the last hex digit changed to another, always a different one.
ultima=${chiave: -1}
if [ "$ultima" = 0 ]; then errata=${chiave%?}1; else errata=${chiave%?}0; fi
# name | request | the codes that pass
casi=(
  "buona|GET /dati?t=$chiave HTTP/1.1\r\n${h}\r\n|200"
  "la pagina|GET /?t=$chiave HTTP/1.1\r\n${h}\r\n|200"
  "localhost|GET /dati?t=$chiave HTTP/1.1\r\nHost: LocalHost:$porta\r\n\r\n|200"
  "senza chiave|GET /dati HTTP/1.1\r\n${h}\r\n|403"
  "chiave vuota|GET /dati?t= HTTP/1.1\r\n${h}\r\n|403"
  "chiave errata|GET /dati?t=${errata} HTTP/1.1\r\n${h}\r\n|403"
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
  "HEAD|HEAD /dati?t=$chiave HTTP/1.1\r\n${h}\r\n|200"
  "HEAD senza chiave|HEAD /dati HTTP/1.1\r\n${h}\r\n|403"
  "OPTIONS|OPTIONS /?t=$chiave HTTP/1.1\r\n${h}\r\n|405"
  "forma assoluta|GET http://127.0.0.1:$porta/dati?t=$chiave HTTP/1.1\r\n${h}\r\n|200"
  "forma assoluta localhost|GET http://localhost:$porta?t=$chiave HTTP/1.1\r\n${h}\r\n|200"
  "forma assoluta estranea|GET http://attaccante.example:$porta/dati?t=$chiave HTTP/1.1\r\n${h}\r\n|403"
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

# The whole answer (the server closes the connection after it).
risposta() {
  (
    trap '' PIPE
    exec 3<>"/dev/tcp/127.0.0.1/$porta" || exit
    printf "$1" >&3 2>/dev/null
    timeout 20 cat <&3
  )
}
for metodo in POST PUT OPTIONS; do
  r=$(risposta "$metodo /dati?t=$chiave HTTP/1.1\r\n${h}Content-Length: 0\r\n\r\n")
  echo "$r" | grep -q $'^Allow: GET, HEAD\r$' || male "$metodo: un 405 senza Allow: $(echo "$r" | head -1)"
done
# HEAD: the head of a GET, with its length, and no body.
testa=$(risposta "HEAD /dati?t=$chiave HTTP/1.1\r\n${h}Connection: close\r\n\r\n")
corpo=$(risposta "GET /dati?t=$chiave HTTP/1.1\r\n${h}Connection: close\r\n\r\n" | sed '1,/^\r$/d')
lunghezza=$(echo "$testa" | sed -n 's/^Content-Length: \([0-9]*\)\r$/\1/p')
byte_corpo=$(printf %s "$corpo" | wc -c)  # bytes, not characters: the text is UTF-8
[ "$lunghezza" = "$byte_corpo" ] || male "HEAD: Content-Length «$lunghezza», il corpo di GET è di $byte_corpo byte"
[ -z "$(echo "$testa" | sed '1,/^\r$/d')" ] || male "HEAD: la risposta ha un corpo"

# Forty connections without the key, half of them in the middle of a head:
# the author's page, its document and its event stream still load.
fd=()
for i in $(seq 40); do
  exec {f}<>"/dev/tcp/127.0.0.1/$porta" || continue
  fd+=("$f")
  if [ $((i % 2)) = 0 ]; then printf "GET /dati HTTP/1.1\r\n${h}" >&"$f" 2>/dev/null; fi
done
for percorso in "/" "/dati" "/eventi"; do
  r=$(chiedi "GET $percorso?t=$chiave HTTP/1.1\r\n${h}\r\n")
  [ "$r" = 200 ] || male "con 40 connessioni senza chiave aperte, $percorso risponde $r"
done
# One that never finished its head is closed, and soon.
timeout 20 cat <&"${fd[-1]}" >/dev/null || male "una richiesta a metà tiene la connessione oltre 20 s"
for f in "${fd[@]}"; do exec {f}>&-; done

# Event streams are bounded: the oldest are closed as new ones come.
flussi=()
for _ in $(seq 12); do
  exec {f}<>"/dev/tcp/127.0.0.1/$porta"
  printf "GET /eventi?t=$chiave HTTP/1.1\r\n${h}\r\n" >&"$f"
  IFS= read -r -t 20 riga <&"$f"
  case "$riga" in "HTTP/1.1 200"*) ;; *) male "flusso di eventi: «$riga»" ;; esac
  flussi+=("$f")
done
timeout 20 cat <&"${flussi[0]}" >/dev/null || male "il flusso più vecchio di 12 non è stato chiuso"
for f in "${flussi[@]}"; do exec {f}>&-; done
dopo=$(chiedi "GET /dati?t=$chiave HTTP/1.1\r\n${h}\r\n")
[ "$dopo" = 200 ] || male "dopo i flussi il server risponde $dopo"

# A source that is no file, or too large, is said on the page's banner and
# never read; the server answers meanwhile, and the good file is picked up
# again. (Wine shows neither a FIFO nor a device to a Windows program: for
# it they are missing files, or files it cannot read, as its version has it.)
linea="$lavoro/sorgenti/FerziaPS-Calvorano_linea.txt"
cp "$linea" "$lavoro/buona.txt"
documento() {
  risposta "GET /dati?t=$chiave HTTP/1.1\r\n${h}Connection: close\r\n\r\n" | sed '1,/^\r$/d'
}
# Polls the document until its banner says TEXT ("" for no banner; TEXT;TEXT
# for either).
attendi_errore() {
  local d
  for _ in $(seq 300); do
    d=$(documento)
    if [ -z "$1" ]; then
      case "$d" in *'"errore":null'*) return 0 ;; esac
    else
      local a
      IFS=';' read -ra alternative <<<"$1"
      for a in "${alternative[@]}"; do
        case "$d" in *"\"errore\":{"*"$a"*) return 0 ;; esac
      done
    fi
    sleep 0.1
  done
  echo "$d" | head -c 300
  return 1
}
fifo="è una FIFO" dispositivo="è un dispositivo"
if [ -n "$wine" ]; then
  fifo="non esiste;impossibile leggere" dispositivo="$fifo"
fi
sorgenti=(
  "una FIFO|mkfifo '$linea'|$fifo"
  "un collegamento a /dev/zero|ln -s /dev/zero '$linea'|$dispositivo"
  "una cartella|mkdir '$linea'|è una cartella"
  "un collegamento a una cartella|ln -s '$lavoro' '$linea'|è una cartella"
  "un file rado di 3 GB|truncate -s 3G '$linea'|è di 3221225472 byte, più dei 67108864 accettati"
  "nessun file|true|non esiste"
)
for caso in "${sorgenti[@]}"; do
  IFS='|' read -r nome fai atteso <<<"$caso"
  rm -rf "$linea"
  eval "$fai"
  attendi_errore "$atteso" || male "al posto della linea $nome: la pagina non dice «$atteso»"
  rm -rf "$linea"
  cp "$lavoro/buona.txt" "$linea"
  attendi_errore "" || male "tornata la linea dopo $nome, la pagina non si aggiorna"
done

# Nothing answers on the machine's other addresses.
for ip in $(hostname -I 2>/dev/null); do
  case "$ip" in 127.* | *:*) continue ;; esac
  if (exec 3<>"/dev/tcp/$ip/$porta") 2>/dev/null; then male "risponde anche su $ip"; fi
done

if [ -n "$wine" ]; then
  ferma_anteprima KILL
else
  # An interruption ends it while the source is no file, and while a long
  # compile is under way (some 60 MB of lines the reader passes over, which
  # take far longer than the wait below to compile).
  rm -f "$linea"
  mkfifo "$linea"
  attendi_errore "è una FIFO" || male "la FIFO non si vede sulla pagina"
  ferma_anteprima INT || male "Ctrl-C: il server non è finito bene (stato $?)"
  grep -q "Anteprima fermata" "$uscita_server" || male "Ctrl-C: nessun «Anteprima fermata»"
  rm -f "$linea"
  cp "$lavoro/buona.txt" "$linea"
  avvia_anteprima "$lavoro" "$programma" || exit 1
  h="Host: 127.0.0.1:$porta\r\n"
  { cat "$lavoro/buona.txt"; yes 'abc, 1, 2' | head -c 60000000; } >"$linea.nuova"
  mv "$linea.nuova" "$linea"
  # Under way once the server holds the file: its memory past 60 MB.
  for _ in $(seq 300); do
    [ "$(ps -o rss= -p "$pid_server" 2>/dev/null || echo 0)" -gt 60000 ] && break
    sleep 0.1
  done
  for _ in 1 2 3; do
    r=$(chiedi "GET /dati?t=$chiave HTTP/1.1\r\n${h}\r\n")
    [ "$r" = 200 ] || male "durante una compilazione lunga /dati risponde $r"
  done
  ferma_anteprima TERM || male "SIGTERM durante una compilazione: il server non è finito bene"
  grep -q "Anteprima fermata" "$uscita_server" || male "SIGTERM: nessun «Anteprima fermata»"
fi
[ "$fallito" -eq 0 ] && echo "anteprima: ${#casi[@]} richieste, rifiutate quelle da rifiutare, il server serve dopo ognuna"
exit "$fallito"
