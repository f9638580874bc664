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
while IFS= read -r f; do
  case "$f" in */model/formato.*) continue ;; esac
  righe=$(sed -E 's://.*$::; s/"([^"\\]|\\.)*"/""/g' "$f" | grep -nwE '7000|7001|5121|610')
  if [ -n "$righe" ]; then
    echo "$f: numeri del formato scritti a mano:"
    echo "$righe"
    fallito=1
  fi
done < <(find "$src" -name '*.cc' -o -name '*.h')

[ "$fallito" -eq 0 ] && echo "costanti del formato: ognuna una volta sola"
exit "$fallito"
