#!/bin/bash
# The gazetteer readers: each reader alone on one core (through the format
# dispatch into a working table), then whole builds of a GeoNames-shaped
# world dump and a GNS-shaped country file through toponyx-create, beside
# `sort` of the same file by its name column (the yardstick) and GDAL's
# ogr2ogr writing a name-sorted DBF of it (the tool a user would otherwise
# pick; left out when ogr2ogr is not installed or NO_OGR is set).
#   bench/readers.sh [build folder] [GeoNames lines] [GNS lines] [reader lines] [GNIS lines]
# MAP_MB (default 1000) sets the size of the KML, GeoJSON and table files
# that are read in bounded memory (NO_MAPS leaves them out).
# Defaults: 13 000 000 GeoNames lines (about 1.6 GB; read once alone and
# once twice over, 26 000 000 lines, unless NO_DOUBLE is set), 3 000 000 GNS
# lines, 1 000 000 lines per reader, 2 300 000 USA GNIS lines. NO_READERS
# leaves out the readers alone; ROUND1=<toponyx-create> compares outputs. Generated files go to a folder under $TMPDIR
# (or /tmp) that is removed at the end; the largest run needs about 7 GB.
set -euo pipefail
BUILD=${1:-build}
GEONAMES_LINES=${2:-13000000}
GNS_LINES=${3:-3000000}
READER_LINES=${4:-1000000}
GNIS_LINES=${5:-2300000}
here=$(cd "$(dirname "$0")/.." && pwd)
case "$BUILD" in /*) ;; *) BUILD="$here/$BUILD" ;; esac
bin="$BUILD/bin"
cmake --build "$BUILD" --target toponyx-create gen_gazetteer gen_gnis bench_readers -j2 > /dev/null
work=$(mktemp -d "${TMPDIR:-/tmp}/toponyx-bench-readers.XXXXXX")
trap 'rm -rf "$work"' EXIT
tab=$(printf '\t')

if [ -z "${NO_READERS:-}" ]; then
echo "== each reader alone ($READER_LINES lines, best of 3)"
# Each entry is a generator format and the name of the file it writes.
for kind in geonames:XX.txt gns:sk.txt gns-old:ei.txt os:50kgaz2008.txt wpt:alps.wpt \
            tpx:lookouts.tpx tpx-utm:sydney.tpx tpx-nzmg:wellington.tpx \
            domestic:DomesticNames_VA.txt gaz-csv:HI.csv osnames:SN.csv gpx:hike.gpx \
            kml:places.kml geojson:places.geojson geojsonl:places.geojsonl table:gaz_names.csv; do
  format=${kind%%:*}
  file="$work/${kind#*:}"
  "$bin/gen_gazetteer" "$format" "$READER_LINES" > "$file"
  printf '%-9s ' "$format"
  "$bin/bench_readers" "$file" 3
  rm -f "$file"
done
fi

. "$(dirname "$0")/common/time.sh"

# Maps and tables of about MAP_MB megabytes each: the reader alone and a
# whole build, each with its peak memory, which stays that of a small file
# (the readers stream; the build's index keeps its own bounded memory).
if [ -z "${NO_MAPS:-}" ]; then
  map_mb=${MAP_MB:-1000}
  echo "== maps and tables of about $map_mb MB, peak memory"
  for kind in geojson:big.geojson table:big.csv kml:big.kml; do
    format=${kind%%:*}
    file="$work/${kind#*:}"
    case $format in  # bytes a line of each
      geojson) per=245 ;; table) per=191 ;; kml) per=250 ;;
    esac
    lines=$((map_mb * 1000000 / per))
    "$bin/gen_gazetteer" "$format" "$lines" > "$file"
    printf '%-9s %6d MB  ' "$format" "$(($(stat -c %s "$file") / 1000000))"
    /usr/bin/time -f "%M" -o "$work/rss" "$bin/bench_readers" "$file" 1 | tr -d '\n'
    printf '  reader peak %6.1f MiB\n' "$(awk '{ print $1 / 1024 }' "$work/rss")"
    rm -rf "$work/out" "$work/temp" && mkdir -p "$work/out" "$work/temp"
    /usr/bin/time -f "%e %M" -o "$work/time" "$bin/toponyx-create" --quiet --name bench \
      --save "$work/out" --temp "$work/temp" "$file" > /dev/null
    read -r t rss < "$work/time"
    printf '%-9s whole build %7.2f s  peak %6.1f MiB\n' "$format" "$t" "$(awk -v r="$rss" 'BEGIN { print r / 1024 }')"
    rm -rf "$work/out" "$work/temp" "$file"
  done
fi

# whole_build LABEL LINES SEPARATOR SORT_KEY OGR_SELECT FILE...
# Best of three of `sort -s` of the files by their name column (with its
# default threads) and of toponyx-create, side by side; the peak memory is
# the largest of the three runs. With ROUND1 set to another toponyx-create
# (the first round's), its output is compared byte for byte.
whole_build() {
  local label=$1 lines=$2 sep=$3 key=$4 select=$5
  shift 5
  local files=("$@") bytes=0 t t_sort="" t_build="" rss_kb=0 t_ogr="" rss_ogr="" places rss
  for f in "${files[@]}"; do bytes=$((bytes + $(stat -L -c %s "$f"))); done
  echo "== whole build, $label: $lines lines, $((bytes / 1000000)) MB"
  cat "${files[@]}" > /dev/null  # the page cache holds it for everyone alike
  for round in 1 2 3; do
    t=$(seconds sh -c "LC_ALL=C sort -t'$sep' -k$key,$key -s $(printf "'%s' " "${files[@]}") > /dev/null")
    t_sort=$(awk -v a="$t_sort" -v b="$t" 'BEGIN { print (a == "" || b < a) ? b : a }')
    rm -rf "$work/out" "$work/temp"
    mkdir -p "$work/out" "$work/temp"
    /usr/bin/time -f "%e %M" -o "$work/time" "$bin/toponyx-create" --quiet --name bench \
      --save "$work/out" --temp "$work/temp" "${files[@]}" > /dev/null
    read -r t rss < "$work/time"
    t_build=$(awk -v a="$t_build" -v b="$t" 'BEGIN { print (a == "" || b < a) ? b : a }')
    [ "$rss" -gt "$rss_kb" ] && rss_kb=$rss
  done
  places=$(( ($(stat -c %s "$work/out/bench.names") - 194) / 146 ))
  if [ -n "${ROUND1:-}" ]; then
    mkdir -p "$work/round1"
    "$ROUND1" --quiet --name bench --save "$work/round1" --temp "$work/temp" "${files[@]}" > /dev/null
    if cmp -s <(tail -c +5 "$work/out/bench.names") <(tail -c +5 "$work/round1/bench.names") &&
       cmp -s "$work/out/bench.types" "$work/round1/bench.types"; then
      echo "output: byte-identical to $ROUND1 (but the header's date)"
    else
      echo "output: DIFFERS from $ROUND1"
    fi
    rm -rf "$work/round1"
  fi
  rm -rf "$work/out" "$work/temp"
  if [ -z "${NO_OGR:-}" ] && [ "${#files[@]}" -eq 1 ] && command -v ogr2ogr > /dev/null; then
    # GDAL reads a tab-separated file by its ".tsv" name.
    local file=${files[0]}
    local tsv="$work/$(basename "${file%.*}").tsv"
    ln -sf "$file" "$tsv"
    mkdir -p "$work/ogr"
    /usr/bin/time -f "%e %M" -o "$work/time" ogr2ogr -f "ESRI Shapefile" -lco RESIZE=YES \
      "$work/ogr/bench.dbf" "$tsv" -dialect SQLite \
      -sql "$select FROM \"$(basename "${file%.*}")\" ORDER BY NAME" > /dev/null 2>&1 || true
    read -r t_ogr rss_ogr < "$work/time" || true
    rm -rf "$work/ogr" "$tsv"
  fi
  awk -v lines="$lines" -v bytes="$bytes" -v ts="$t_sort" -v tb="$t_build" -v rss="$rss_kb" \
      -v places="$places" -v to="$t_ogr" -v ro="$rss_ogr" -v label="$label" 'BEGIN {
    printf "sort -s (yardstick, best of 3): %7.2f s\n", ts
    printf "toponyx-create (best of 3):     %7.2f s  %9.0f lines/s  %6.1f MB/s  %.1f ns/line  peak %6.1f MiB  %d places\n",
           tb, lines / tb, bytes / tb / 1e6, tb / lines * 1e9, rss / 1024, places
    if (to != "") printf "ogr2ogr (peer):                 %7.2f s  peak %6.1f MiB\n", to, ro / 1024
    printf "ratio to sort:                  %7.2f (goal: at most 1.0)\n", tb / ts
    if (to != "") printf "ogr2ogr / toponyx-create:       %7.1f (goal: at least 15)\n", to / tb
    printf "SUMMARY %s %d lines: %.2f s, sort %.2f s, ratio %.2f, %.1f ns/line, peak %.1f MiB\n",
           label, lines, tb, ts, tb / ts, tb / lines * 1e9, rss / 1024
  }' | tee -a "$work/summary"
}

geonames_select="SELECT NAME, FEATCODE AS FULL_CODE, CAST(LATITUDE AS TEXT) AS LATITUDE, CAST(LONGITUDE AS TEXT) AS LONGITUDE"
"$bin/gen_gazetteer" geonames "$GEONAMES_LINES" > "$work/allCountries.txt"
whole_build "GeoNames" "$GEONAMES_LINES" "$tab" 2 "$geonames_select" "$work/allCountries.txt"
# Twice the world: the same dump under a second name, read after the first.
if [ -z "${NO_DOUBLE:-}" ]; then
  ln -s allCountries.txt "$work/allCountries2.txt"
  whole_build "GeoNames twice" "$((2 * GEONAMES_LINES))" "$tab" 2 "$geonames_select" \
    "$work/allCountries.txt" "$work/allCountries2.txt"
  rm -f "$work/allCountries2.txt"
fi
rm -f "$work/allCountries.txt"

"$bin/gen_gazetteer" gns "$GNS_LINES" > "$work/sk.txt"
whole_build "GNS" "$GNS_LINES" "$tab" 24 \
  'SELECT FULL_NAME_ND_RO AS NAME, DSG AS FULL_CODE, CAST("LAT" AS TEXT) AS LATITUDE, CAST("LONG" AS TEXT) AS LONGITUDE' \
  "$work/sk.txt"
rm -f "$work/sk.txt"

"$bin/gen_gnis" "$GNIS_LINES" > "$work/US_National.txt"
NO_OGR=1 whole_build "GNIS" "$GNIS_LINES" "|" 2 "" "$work/US_National.txt"
rm -f "$work/US_National.txt"

echo "== summary"
cat "$work/summary" | grep SUMMARY | sed 's/^SUMMARY //'
