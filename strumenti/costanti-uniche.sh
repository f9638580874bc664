#!/usr/bin/env bash
# The compiled format's constants are stated once, in src/model/formato.*:
# no constant at file scope has its name defined in two source files, and
# the layout's own values (the 7000 m past the end, 7001 points, the stamps
# 5121 and 610) are nowhere else written as bare numbers in code.
# Usage: costanti-uniche.sh [SRC_DIR]
set -u
src=${1:-"$(dirname "$0")/../src"}
fallito=0

# clang-format leaves file-scope and namespace-scope declarations at the margin.
doppi=$(grep -roE --include='*.h' --include='*.cc' \
  '^(static |inline )*constexpr [^=;(]*[ *&]k[A-Z][A-Za-z0-9_]*( =|\[|\{| *;)' "$src" |
  sed -E 's/^([^:]*):.*[ *&](k[A-Z][A-Za-z0-9_]*).*/\2 \1/' | sort -u |
  awk '{n[$1]++; f[$1] = f[$1] " " $2} END {for (k in n) if (n[k] > 1) print k ":" f[k]}')
if [ -n "$doppi" ]; then
  echo "costanti definite in più file:"
  echo "$doppi"
  fallito=1
fi

# Comments and quoted texts are left out: a message may well say "7000 m".
# The numbers of the rules (the 78 entries of stations and signs, the
# gradients up to 155, zones 350 m apart, limits to 1275 and boards to 1635
# km/h, the curve classes' curvatures) and the 50 m cell where it is
# multiplied, divided or rounded by are written only in src/model.
regola='\b(78|155|350|1275|1635)\b|\b0\.000[124]\b|\b0\.00[123]\b'
cella='[*/%] *50\b|\b50 *[*/]|arrotonda\([^()]*, *50\)'
while IFS= read -r f; do
  case "$f" in */model/*) continue ;; esac
  testo=$(sed -E 's://.*$::; s/"([^"\\]|\\.)*"/""/g' "$f")
  righe=$(grep -nwE '7000|7001|5121|610' <<<"$testo")
  if [ -n "$righe" ]; then
    echo "$f: numeri del formato scritti a mano:"
    echo "$righe"
    fallito=1
  fi
  righe=$(grep -nE "$regola|$cella" <<<"$testo")
  if [ -n "$righe" ]; then
    echo "$f: regole scritte di nuovo fuori da src/model:"
    echo "$righe"
    fallito=1
  fi
done < <(find "$src" -name '*.cc' -o -name '*.h')

[ "$fallito" -eq 0 ] && echo "costanti e regole del formato: ognuna una volta sola, in src/model"
exit "$fallito"
