#!/usr/bin/env bash
# `scenario draft` on a map of a region's size, against `osmium tags-filter`
# on the same file in the same run. The map is the test extract
# (tests/dati/mappe/vde8.2-rail.osm.pbf) padded with synthetic roads,
# buildings and fields to NODI nodes (default 20 million, eight a way,
# scattered about; a few of them tagged: benches, house numbers, shops, bus
# stops), their ids spread among the extract's so that the rail nodes stand
# in every block, as in a real region's file. It is written as OPL and sorted into PBF with `osmium
# sort`, once, into BUILD_DIR/bench-regione (never into the sources).
#
# Each run, VOLTE times (default 3), in turn:
#   - osmium tags-filter MAP nwr/railway -o OUT.pbf
#   - scenario draft MAP, Erfurt Hbf to Weimar, with the tile
#   - scenario draft MAP, Erfurt Hbf to Halle (Saale) Hauptbahnhof, with the tile
# with /usr/bin/time -v: wall time and peak resident memory. The goals: each
# draft at most 1.5 times the tags-filter of its run, at most 512 MB resident,
# and its sources byte for byte those of the same draft from the extract.
# Usage: bench/bozza_regione.sh [BUILD_DIR]   (default build)
set -euo pipefail
cd "$(dirname "$0")/.."

build=${1:-build}
volte=${VOLTE:-3}
nodi=${NODI:-20000000}
scenario=$(realpath "$build/bin/scenario")
mappe=tests/dati/mappe
estratto=$mappe/vde8.2-rail.osm.pbf
tessera=$mappe/N50E011.hgt.zip

for c in osmium awk; do
  command -v "$c" >/dev/null || {
    echo "manca $c: il pacchetto osmium-tool (strumenti/installa-dipendenze.sh lo installa)" >&2
    exit 1
  }
done
[ -x /usr/bin/time ] || { echo "manca /usr/bin/time (il pacchetto time)" >&2; exit 1; }

lavoro=$(realpath "$build")/bench-regione
mkdir -p "$lavoro"
mappa=$lavoro/regione-$nodi.osm.pbf
if [ ! -s "$mappa" ] || [ "$mappa" -ot "$estratto" ] || [ "$mappa" -ot "$0" ]; then
  echo "preparo $mappa (una volta sola)..."
  # The extract's ids, so that the synthetic ones stay clear of them.
  osmium cat "$estratto" -f opl | awk '{ print substr($1, 1, 1), substr($1, 2) }' >"$lavoro/id.txt"
  # Ids past 2^31 are written whole (CONVFMT), not as 2.1e+09.
  awk -v nodi="$nodi" -v CONVFMT=%.0f -f - "$lavoro/id.txt" >"$lavoro/sintetica.opl" <<'AWK'
    { if ($1 == "n") usato_n[$2] = 1; else if ($1 == "w") usato_w[$2] = 1
      if ($1 == "n" && $2 > max_n) max_n = $2; if ($1 == "w" && $2 > max_w) max_w = $2 }
    function libero(id, usati) { while (id in usati) id++; return id }
    END {
      srand(1)
      vie = int(nodi / 8); passo_n = max_n / nodi; passo_w = max_w / vie
      # Nodes: eight a way, scattered within some 70 m about a point of the
      # extract's area; ids with gaps of any size up to twice the mean.
      id = 0
      for (i = 0; i < nodi; i++) {
        if (i % 8 == 0) { lat = 50.8 + rand() * 0.8; lon = 10.8 + rand() * 1.3 }
        id = libero(id + 1 + int(rand() * 2 * passo_n), usato_n)
        r = rand(); t = ""
        if (r < 0.02) t = "addr:housenumber=" int(rand() * 200)
        else if (r < 0.025) t = "amenity=bench"
        else if (r < 0.03) t = "shop=bakery,name=Forno%20%" int(i / 8) "%20%"
        else if (r < 0.031) t = "highway=bus_stop,name=Fermata%20%" int(i / 8)
        printf "n%s v1 dV c0 t i0 u T%s x%.7f y%.7f\n", id, t, lon + (rand() - 0.5) * 0.001,
          lat + (rand() - 0.5) * 0.0006
        node[i % 8] = id
        if (i % 8 == 7) rifs[int(i / 8)] = node[0] "," node[1] "," node[2] "," node[3] "," \
          node[4] "," node[5] "," node[6] "," node[7]
      }
      # Ways: roads, buildings and fields by turns, the last two closed.
      split("residential tertiary service track", strade, " ")
      split("farmland meadow forest grass", usi, " ")
      id = 0
      for (k = 0; k < vie; k++) {
        id = libero(id + 1 + int(rand() * 2 * passo_w), usato_w)
        n = split(rifs[k], pezzi, ","); delete rifs[k]
        rif = ""
        for (j = 1; j <= n; j++) rif = rif (j > 1 ? "," : "") "n" pezzi[j]
        tipo = k % 3
        if (tipo) rif = rif ",n" pezzi[1]
        if (tipo == 0)
          t = "highway=" strade[1 + k % 4] ",name=Via%20%" int(k / 7) ",surface=asphalt,maxspeed=50"
        else if (tipo == 1)
          t = "building=yes" (k % 2 ? ",addr:street=Via%20%" int(k / 7) ",addr:housenumber=" k % 90 : "")
        else
          t = "landuse=" usi[1 + k % 4]
        printf "w%s v1 dV c0 t i0 u T%s N%s\n", id, t, rif
      }
    }
AWK
  osmium sort "$estratto" "$lavoro/sintetica.opl" -o "$mappa" --overwrite
  rm -f "$lavoro/sintetica.opl" "$lavoro/id.txt"
fi

# Seconds of wall time, kB resident and seconds of CPU (user and system)
# from /usr/bin/time -v's report. The CPU time is the steadier figure while
# other jobs share the cores: the wall time waits for them too.
misura() {  # report file -> "seconds kB cpu"
  awk -F': ' '/Elapsed \(wall clock\)/ { n = split($2, p, ":"); s = 0
                for (i = 1; i <= n; i++) s = s * 60 + p[i] }
              /Maximum resident set size/ { kb = $2 }
              /(User|System) time \(seconds\)/ { c += $2 }
              END { printf "%.2f %d %.2f\n", s, kb, c }' "$1"
}

nomi=(Erfurt-Weimar Erfurt-Halle)
vie=("--from|Erfurt Hbf|--to|Weimar" "--from|Erfurt Hbf|--to|Halle (Saale) Hauptbahnhof")
bozza() {  # index, map, output folder
  local -a a
  IFS='|' read -r -a a <<<"${vie[$1]}"
  rm -rf "$3"
  "$scenario" draft "$2" "$3" R 1 "${a[@]}" --dem "$tessera" >/dev/null
}
for i in "${!nomi[@]}"; do bozza "$i" "$estratto" "$lavoro/piccola-$i"; done

: >"$lavoro/righe"
for v in $(seq "$volte"); do
  /usr/bin/time -v osmium tags-filter "$mappa" nwr/railway -o "$lavoro/filtro.osm.pbf" \
    --overwrite 2>"$lavoro/tempo" >/dev/null
  read -r tf kf cf < <(misura "$lavoro/tempo")
  for i in "${!nomi[@]}"; do
    /usr/bin/time -v bash -c "$(declare -f bozza); scenario='$scenario' tessera='$tessera'; \
      vie=(\"\${@}\"); bozza $i '$mappa' '$lavoro/grande-$i'" _ "${vie[@]}" 2>"$lavoro/tempo"
    read -r tb kb cb < <(misura "$lavoro/tempo")
    uguali=si
    diff -r "$lavoro/piccola-$i" "$lavoro/grande-$i" >/dev/null || uguali=NO
    echo "$v ${nomi[$i]} $tf $kf $tb $kb $uguali $cf $cb" >>"$lavoro/righe"
  done
done

echo "mappa: $(du -m "$mappa" | cut -f1) MB, $(osmium fileinfo -e "$mappa" |
  awk '/Number of nodes/ { n = $NF } /Number of ways/ { w = $NF } END { print n " nodi, " w " vie" }')"
echo "giro  bozza           tags-filter s  MB   bozza s  MB   rapporto  cpu: filtro s  bozza s  rapporto  sorgenti uguali"
awk '{ printf "%4d  %-14s %13.2f %4d %9.2f %4d %9.2f  %13.2f %8.2f %9.2f  %s\n", $1, $2, $3, $4 / 1024, $5,
         $6 / 1024, $5 / $3, $8, $9, $9 / $8, $7 }' \
  "$lavoro/righe"
awk '{ r = $5 / $3; k = $2; n[k]++; v[k, n[k]] = r; m[k] = ($6 > m[k] ? $6 : m[k])
       c[k] += $9 / $8; if ($7 != "si") diversi++ }
     END { for (k in n) { lo = hi = v[k, 1]; s = 0
             for (i = 1; i <= n[k]; i++) { x = v[k, i]; s += x; if (x < lo) lo = x; if (x > hi) hi = x }
             printf "%s: rapporto medio %.2f (da %.2f a %.2f; obiettivo 1.5; di cpu %.2f), picco %d MB (obiettivo 512)\n",
               k, s / n[k], lo, hi, c[k] / n[k], m[k] / 1024 }
           if (diversi) print "SORGENTI DIVERSI in " diversi " giri" }' "$lavoro/righe"
echo "macchina: $(lscpu | sed -n 's/^Model name: *//p'), $(nproc) core"
echo "data: $(date -u '+%F %H:%M UTC'), carico: $(cut -d' ' -f1-3 /proc/loadavg)"
