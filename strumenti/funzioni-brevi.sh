#!/usr/bin/env bash
# No function in src/ is longer than about 80 lines: clang-tidy's function
# size check over every source the build compiles (its compile_commands.json).
# Usage: funzioni-brevi.sh BUILD_DIR [SRC_DIR]
# Exit 77 (skipped) without clang-tidy.
set -u
build=$1
src=$(cd "${2:-"$(dirname "$0")/../src"}" && pwd)
command -v clang-tidy >/dev/null || { echo "SALTATO: clang-tidy non installato"; exit 77; }
[ -f "$build/compile_commands.json" ] || { echo "manca $build/compile_commands.json"; exit 1; }
file=$(grep -oE '"file": *"[^"]*"' "$build/compile_commands.json" | sed -E 's/.*"([^"]*)"$/\1/' |
  grep -F "$src/" | sort -u)
[ -n "$file" ] || { echo "nessun sorgente di $src in $build"; exit 1; }
config='{CheckOptions: [{key: readability-function-size.LineThreshold, value: 80}]}'
# The build's warning options are GCC's: clang is told to pass over the ones
# it does not know.
uscita=$(mktemp)
trap 'rm -f "$uscita"' EXIT
# A source clang-tidy cannot compile is a failure, not a pass.
if ! printf '%s\n' $file | xargs -P2 -n4 clang-tidy -p "$build" --quiet \
  --extra-arg=-Wno-unknown-warning-option --checks='-*,readability-function-size' \
  --config="$config" >"$uscita" 2>&1; then
  grep -E 'error:' "$uscita" | head -20
  echo "clang-tidy non ha potuto leggere ogni sorgente"
  exit 1
fi
lunghe=$(grep 'warning: function' "$uscita" | sort -u)
if [ -n "$lunghe" ]; then
  echo "funzioni oltre 80 righe:"
  echo "$lunghe"
  exit 1
fi
echo "funzioni: nessuna oltre 80 righe ($(printf '%s\n' $file | wc -l) file)"
