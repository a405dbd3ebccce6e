#!/bin/bash
# The gazetteer readers: each reader alone on one core (through the format
# dispatch into a working table), then whole builds of a GeoNames-shaped
# world dump and a GNS-shaped country file through toponyx-create, beside
# `sort` of the same file by its name column (the yardstick) and GDAL's
# ogr2ogr writing a name-sorted DBF of it (the tool a user would otherwise
# pick; left out when ogr2ogr is not installed or NO_OGR is set).
#   bench/readers.sh [build folder] [GeoNames lines] [GNS lines] [reader lines]
# Defaults: 13 000 000 GeoNames lines (about 1.6 GB), 3 000 000 GNS lines,
# 1 000 000 lines per reader. Generated files go to a folder under $TMPDIR
# (or /tmp) that is removed at the end; the largest run needs about 7 GB.
set -euo pipefail
BUILD=${1:-build}
GEONAMES_LINES=${2:-13000000}
GNS_LINES=${3:-3000000}
READER_LINES=${4:-1000000}
here=$(cd "$(dirname "$0")/.." && pwd)
case "$BUILD" in /*) ;; *) BUILD="$here/$BUILD" ;; esac
bin="$BUILD/bin"
cmake --build "$BUILD" --target toponyx-create gen_gazetteer bench_readers -j2 > /dev/null
work=$(mktemp -d "${TMPDIR:-/tmp}/toponyx-bench-readers.XXXXXX")
trap 'rm -rf "$work"' EXIT
tab=$(printf '\t')

echo "== each reader alone ($READER_LINES lines, best of 3)"
# Each entry is a generator format and the name of the file it writes.
for kind in geonames:XX.txt gns:sk.txt gns-old:ei.txt os:50kgaz2008.txt wpt:alps.wpt \
            tpx:lookouts.tpx tpx-utm:sydney.tpx tpx-nzmg:wellington.tpx \
            domestic:DomesticNames_VA.txt gaz-csv:HI.csv osnames:SN.csv gpx:hike.gpx; do
  format=${kind%%:*}
  file="$work/${kind#*:}"
  "$bin/gen_gazetteer" "$format" "$READER_LINES" > "$file"
  printf '%-9s ' "$format"
  "$bin/bench_readers" "$file" 3
  rm -f "$file"
done

. "$(dirname "$0")/common/time.sh"

# whole_build LABEL FILE LINES SORT_KEY OGR_SELECT
whole_build() {
  local label=$1 file=$2 lines=$3 key=$4 select=$5
  local bytes t_sort t_build rss_kb t_ogr="" rss_ogr="" places
  bytes=$(stat -c %s "$file")
  echo "== whole build, $label: $lines lines, $((bytes / 1000000)) MB"
  cat "$file" > /dev/null  # the page cache holds it for everyone alike
  t_sort=$(seconds sh -c "LC_ALL=C sort -t'$tab' -k$key,$key -s '$file' > /dev/null")
  mkdir -p "$work/out" "$work/temp"
  /usr/bin/time -f "%e %M" -o "$work/time" "$bin/toponyx-create" --quiet --name bench \
    --save "$work/out" --temp "$work/temp" "$file" > /dev/null
  read -r t_build rss_kb < "$work/time"
  places=$(( ($(stat -c %s "$work/out/bench.names") - 194) / 146 ))
  rm -rf "$work/out" "$work/temp"
  if [ -z "${NO_OGR:-}" ] && command -v ogr2ogr > /dev/null; then
    # GDAL reads a tab-separated file by its ".tsv" name.
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
      -v places="$places" -v to="$t_ogr" -v ro="$rss_ogr" 'BEGIN {
    printf "sort -k (yardstick): %7.2f s\n", ts
    printf "toponyx-create:      %7.2f s  %9.0f lines/s  %6.1f MB/s  peak %6.1f MiB  %d places\n",
           tb, lines / tb, bytes / tb / 1e6, rss / 1024, places
    if (to != "") printf "ogr2ogr (peer):      %7.2f s  peak %6.1f MiB\n", to, ro / 1024
    printf "ratio to sort:       %7.2f (goal: at most 2)\n", tb / ts
    if (to != "") printf "ogr2ogr / toponyx-create: %.1f\n", to / tb
  }'
}

"$bin/gen_gazetteer" geonames "$GEONAMES_LINES" > "$work/allCountries.txt"
whole_build "GeoNames" "$work/allCountries.txt" "$GEONAMES_LINES" 2 \
  "SELECT NAME, FEATCODE AS FULL_CODE, CAST(LATITUDE AS TEXT) AS LATITUDE, CAST(LONGITUDE AS TEXT) AS LONGITUDE"
rm -f "$work/allCountries.txt"

"$bin/gen_gazetteer" gns "$GNS_LINES" > "$work/sk.txt"
whole_build "GNS" "$work/sk.txt" "$GNS_LINES" 24 \
  'SELECT FULL_NAME_ND_RO AS NAME, DSG AS FULL_CODE, CAST("LAT" AS TEXT) AS LATITUDE, CAST("LONG" AS TEXT) AS LONGITUDE'
rm -f "$work/sk.txt"
