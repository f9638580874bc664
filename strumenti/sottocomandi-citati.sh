#!/usr/bin/env bash
# Every subcommand `scenario --help` lists is named in the Windows package's
# LEGGIMI.txt and in the README (as `scenario NAME` or `scenario.exe NAME`),
# so a new one cannot ship unmentioned; and LEGGIMI.txt stays as Notepad
# reads it: Windows-1252 with CR LF.
# Usage: sottocomandi-citati.sh SCENARIO_BIN LEGGIMI_TXT README_MD
# Exit 77 (skipped) without the built program.
set -u
export LC_ALL=C
programma=$1
shift
[ -x "$programma" ] || { echo "SALTATO: $programma non costruito"; exit 77; }
aiuto=$("$programma" --help) || { echo "scenario --help è fallito"; exit 1; }
nomi=$(printf '%s\n' "$aiuto" | sed -nE 's/^  scenario ([a-z][a-z0-9_-]*).*/\1/p' | sort -u)
# A changed layout of the help would otherwise pass with nothing to look for.
[ -n "$nomi" ] || { echo "scenario --help non elenca sottocomandi (forma cambiata?)"; exit 1; }

fallito=0
for file in "$@"; do
  for nome in $nomi; do
    if ! grep -aqE "scenario(\.exe)? $nome([^a-z0-9_-]|$)" "$file"; then
      echo "$file: manca il sottocomando $nome"
      fallito=1
    fi
  done
done

leggimi=$1
if grep -aqv $'\r$' "$leggimi"; then
  echo "$leggimi: righe senza CR LF: $(grep -anv $'\r$' "$leggimi" | cut -d: -f1 | head -5 | tr '\n' ' ')"
  fallito=1
fi
# An accented letter in Windows-1252 is a lone high byte, which UTF-8 never has.
if grep -aqP '[\x80-\xff]' "$leggimi" && iconv -f UTF-8 -t UTF-8 "$leggimi" >/dev/null 2>&1; then
  echo "$leggimi: salvato in UTF-8, non in Windows-1252"
  fallito=1
fi
[ "$fallito" = 0 ] && echo "sottocomandi citati: $(echo $nomi)"
exit $fallito
