#!/usr/bin/env bash
# How ctest runs a Windows test program: under Wine. On a loaded machine Wine
# now and then fails to start a program at all: it ends at once, with an
# error status and nothing written. Only such a start is tried again (twice at
# most); a program that started (GoogleTest always writes its first line)
# keeps its status, whether it passed or failed.
# Usage: avvio_wine.sh WINE PROGRAM [ARGUMENTS...]
set -u
wine=$1
shift
uscita=$(mktemp)
errori=$(mktemp)
trap 'rm -f "$uscita" "$errori"' EXIT
for tentativo in 1 2 3; do
  "$wine" "$@" >"$uscita" 2>"$errori"
  stato=$?
  [ "$stato" -eq 0 ] || [ -s "$uscita" ] || [ -s "$errori" ] && break
  echo "avvio_wine: Wine non ha avviato $1 (stato $stato, nessuna uscita), tentativo $tentativo" >&2
done
cat "$uscita"
cat "$errori" >&2
exit "$stato"
