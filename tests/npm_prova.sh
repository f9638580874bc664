#!/usr/bin/env bash
# `npm test` in a folder of JavaScript tests, for ctest.
# Usage: npm_prova.sh DIR. Exit 77 (skipped) without node or its node_modules.
set -u
cd "$1" || exit 1
command -v node >/dev/null || { echo "SALTATO: node non installato"; exit 77; }
[ -d node_modules ] || { echo "SALTATO: npm ci non fatto in $1"; exit 77; }
exec npm test --silent
