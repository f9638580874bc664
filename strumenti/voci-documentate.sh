#!/usr/bin/env bash
# docs/voci.md is what `scenario voci` prints from the readers' key tables:
# a table changed without the page (or the page by hand) fails here.
# Usage: voci-documentate.sh SCENARIO_BIN DOCS_VOCI_MD
# Exit 77 (skipped) without the built program.
set -u
programma=$1
pagina=$2
[ -x "$programma" ] || { echo "SALTATO: $programma non costruito"; exit 77; }
if ! diff -u "$pagina" <("$programma" voci); then
  echo "$pagina non è l'uscita di 'scenario voci': rifarla con 'scenario voci > docs/voci.md'"
  exit 1
fi
echo "docs/voci.md uguale a 'scenario voci'"
