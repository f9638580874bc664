#!/usr/bin/env bash
# Installs what the builds and tests of this project need and the machine
# lacks: Debian packages with apt-get, npm folders with `npm ci`. With
# everything present it only reads dpkg's database once and compares a few
# timestamps (no network), so the test command runs it every time.
#
#   bash strumenti/installa-dipendenze.sh              install what is missing
#   bash strumenti/installa-dipendenze.sh --controlla  only list it (status 1 if anything is)
#
# INSTALLA_DIPENDENZE_EXTRA="pkg ..." adds Debian packages to the list for one
# run: a way to try a package before it goes into the list below.
set -euo pipefail

# Debian packages, for all four configurations of strumenti/prova-tutto.sh.
pacchetti=(
  g++ cmake libgtest-dev googletest        # build, GoogleTest suite
  libbenchmark-dev                         # benchmarks
  libx11-dev                               # the real window (headers; libX11 is dlopened)
  xvfb x11-apps imagemagick xdotool        # window tests on a private display
  clang libclang-rt-14-dev                 # libFuzzer harnesses
  g++-mingw-w64-x86-64-posix mingw-w64     # Windows programs
  wine64                                   # their tests
  clang-tidy                               # the function size check
  nlohmann-json3-dev libboost-dev         # the servers of the tool (header-only)
  libosmium2-dev libprotozero-dev zlib1g-dev  # scenario draft: OpenStreetMap maps (PBF)
  libexpat1-dev libbz2-dev                 # ... and XML ones, plain, .gz or .bz2
  libz-mingw-w64-dev                       # ... and PBF maps in the Windows build
  osmium-tool                              # bench/bozza_regione.sh: the padded map, tags-filter
  neovim                                   # a real client of the language server
  chromium                                 # the preview page's browser tests
  nodejs                                   # the editor extension's and the page's tests
)

# Folders (from the repository root) holding a package-lock.json: `npm ci`
# runs in each one whose node_modules is missing or older than its lockfile.
cartelle_npm=(editor/vscode tests/browser)

radice=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd -P)

solo_controllo=0
case "${1:-}" in
  "") ;;
  --controlla) solo_controllo=1 ;;
  *) echo "uso: bash strumenti/installa-dipendenze.sh [--controlla]" >&2; exit 2 ;;
esac

read -r -a extra <<<"${INSTALLA_DIPENDENZE_EXTRA:-}"
pacchetti+=("${extra[@]}")

# Prints the packages among the arguments that are not installed. One
# dpkg-query for the whole list keeps the check in milliseconds; names dpkg
# has never seen are left out of its output (status 1, a line on stderr), and
# a package removed but with its configuration kept shows up as not
# "installed", so only the lines saying "installed" count as present.
mancanti_fra() {
  local -A presenti=()
  local nome stato p
  while IFS=$'\t' read -r nome stato; do
    if [ "$stato" = installed ]; then presenti[$nome]=1; fi
  done < <(dpkg-query -W -f '${Package}\t${db:Status-Status}\n' "$@" 2>/dev/null || true)
  for p in "$@"; do
    if [ -z "${presenti[$p]:-}" ]; then echo "$p"; fi
  done
}

mapfile -t mancanti < <(mancanti_fra "${pacchetti[@]}")

npm_da_fare=()
for d in "${cartelle_npm[@]}"; do
  blocco="$radice/$d/package-lock.json"
  if [ ! -f "$blocco" ]; then
    echo "installa-dipendenze: $d/package-lock.json non esiste (togliere $d dall'elenco?)" >&2
    exit 1
  fi
  if [ ! -d "$radice/$d/node_modules" ] || [ "$blocco" -nt "$radice/$d/node_modules" ]; then
    npm_da_fare+=("$d")
  fi
done
# npm is checked as a command, not as a package: it may come from elsewhere
# than Debian, and then the Debian package is not needed.
if [ ${#npm_da_fare[@]} -gt 0 ] && ! command -v npm >/dev/null 2>&1; then
  mancanti+=(npm)
fi

if [ ${#mancanti[@]} -eq 0 ] && [ ${#npm_da_fare[@]} -eq 0 ]; then
  echo "Dipendenze: tutto presente."
  exit 0
fi

if [ $solo_controllo -eq 1 ]; then
  for p in "${mancanti[@]}"; do echo "manca il pacchetto Debian: $p"; done
  for d in "${npm_da_fare[@]}"; do echo "manca npm ci in: $d"; done
  exit 1
fi

# Only apt-get needs root; npm ci runs as whoever calls, so that its files
# belong to them. Without root, stop before installing anything at all, so
# that no half-installed state is left behind.
if [ ${#mancanti[@]} -gt 0 ] && [ "$(id -u)" -ne 0 ]; then
  if [ "$PWD" = "$radice" ]; then
    comando="sudo bash strumenti/installa-dipendenze.sh"
  else
    comando="sudo bash $radice/strumenti/installa-dipendenze.sh"
  fi
  {
    echo "Mancano questi pacchetti Debian: ${mancanti[*]}"
    echo "Per installarli servono i permessi di root. Esegui:"
    echo
    echo "    $comando"
    echo
    echo "poi ripeti il comando di prima."
  } >&2
  exit 1
fi

if [ ${#mancanti[@]} -gt 0 ]; then
  echo "Installo con apt-get: ${mancanti[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq </dev/null
  apt-get install -y -qq "${mancanti[@]}" </dev/null
  # A name that apt satisfies with another package (a virtual one) would
  # never show as installed and be installed again on every run: say so now.
  mapfile -t restano < <(mancanti_fra "${mancanti[@]}")
  if [ ${#restano[@]} -gt 0 ]; then
    echo "installa-dipendenze: dopo apt-get non risultano installati: ${restano[*]}" >&2
    exit 1
  fi
fi

for d in "${npm_da_fare[@]}"; do
  echo "Installo con npm ci in: $d"
  (cd "$radice/$d" && npm ci --no-audit --no-fund </dev/null)
  # A lockfile with no dependencies leaves no node_modules behind; make one,
  # newer than the lockfile, so that the next run finds the folder done.
  mkdir -p "$radice/$d/node_modules"
  touch "$radice/$d/node_modules"
done

echo "Dipendenze: installato quanto mancava."
