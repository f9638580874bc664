#!/usr/bin/env bash
# The tool's rooms form a one-way graph. Each folder of src/tool (and of
# src/tool/server) is a room; the rest of src is the core. From the includes:
# no room includes one that includes it back, however far round, and the core
# includes no room. From CMakeLists.txt: a room includes only rooms its library
# links (its `dipende_` list, followed through), so the link graph is the
# include graph and has no circle either.
# Usage: stanze-senza-cerchi.sh [REPOSITORY]
set -u
radice=${1:-"$(dirname "$0")/.."}
cd "$radice" || exit 1

# One awk over every include: a path under src/ gives its room, or "core".
archi=$(
  grep -rE --include='*.h' --include='*.cc' '^#include "' src | awk -F: '
    function stanza(p, parti, n) {
      n = split(p, parti, "/")
      if (parti[1] == "tool" && parti[2] == "server" && n >= 4) return "server_" parti[3]
      if (parti[1] == "tool" && n >= 3) return parti[2]
      return "core"
    }
    {
      file = $1
      incluso = $0; sub(/^[^:]*:#include "/, "", incluso); sub(/".*/, "", incluso)
      da = file; sub(/^src\//, "", da)
      a = stanza(da); b = stanza(incluso)
      if (a != b) print a, b, file
    }' | sort -u
)

fallito=0
# tsort reads "from to" pairs and names the loops it finds.
cerchi=$(echo "$archi" | awk 'NF {print $1, $2}' | sort -u | tsort 2>&1 >/dev/null)
if [ -n "$cerchi" ]; then
  echo "inclusioni in cerchio fra le stanze:"
  echo "$cerchi"
  fallito=1
fi
nel_core=$(echo "$archi" | awk '$1 == "core" {print "  " $3 " include " $2}')
if [ -n "$nel_core" ]; then
  echo "il nucleo include stanze dello strumento:"
  echo "$nel_core"
  fallito=1
fi

# The libraries each room's library links, from the `set(dipende_ROOM ...)`
# lists (a list may run over several lines).
dipendenze=$(awk '
  /^set\(dipende_/ { dentro = 1; sub(/^set\(dipende_/, ""); nome = $1; $1 = ""; riga = $0 }
  dentro && !/^set\(/ { riga = riga " " $0 }
  dentro && /\)/ { gsub(/[()]/, "", riga); gsub(/compattatore_/, "", riga); print nome, riga; dentro = 0 }
' CMakeLists.txt)
raggiunge() { # room, room: whether the first links the second, however far
  local da=$1 a=$2 visti=" " coda=$1 x d
  while [ -n "$coda" ]; do
    x=${coda%% *}
    coda=${coda#"$x"}
    coda=${coda# }
    [[ "$visti" == *" $x "* ]] && continue
    visti="$visti$x "
    # The servers' interface library stands for all of them.
    for d in $(echo "$dipendenze" | awk -v n="$x" '$1 == n {$1 = ""; print}' |
      sed 's/\bserver\b/server_lsp server_anteprima server_studio/'); do
      [ "$d" = "$a" ] && return 0
      coda="$coda $d"
    done
  done
  [ "$da" = "$a" ]
}
while read -r a b file; do
  [ -z "$a" ] || [ "$a" = core ] || [ "$b" = core ] && continue
  if ! raggiunge "$a" "$b"; then
    echo "$file include la stanza $b, che la libreria di $a non collega"
    fallito=1
  fi
done <<<"$archi"

[ "$fallito" = 0 ] && echo "stanze: $(echo "$archi" | awk 'NF {print $1}' | sort -u | wc -l) con inclusioni, nessun cerchio"
exit "$fallito"
