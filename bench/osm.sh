#!/bin/bash
# OpenStreetMap extracts: a whole build from a generated PBF (bench/osm/
# gen_osm.cpp: NODES nodes, WAYS ways, a quarter of them named) beside
# osmium-tool on the same file:
#   - `osmium fileinfo -e`, which decodes every object once (goal: the
#     build takes at most 2.0 times as long);
#   - `osmium tags-filter` of the code list's tags, then `osmium export -f
#     geojsonseq` of what it kept, the way to the same places with
#     osmium-tool (goal: the build is at least 2 times faster);
# and the build's peak memory (goal: under 512 MiB), then the same for a
# file with twice the nodes and the same chosen objects (longer unnamed
# ways; goal: the same peak within 10 %).
#   bench/osm.sh [build folder] [NODES] [WAYS] [ROUNDS]
# Defaults: 50 000 000 nodes, 5 000 000 ways (a PBF of about 400 MB; the
# doubled one about 750 MB), best of 2 rounds. Needs osmium-tool
# (scripts/install-deps.sh --bench). Generated files go to a folder under
# $TMPDIR (or /tmp) that is removed at the end; about 3 GB at the defaults.
set -euo pipefail
BUILD=${1:-build}
NODES=${2:-50000000}
WAYS=${3:-5000000}
ROUNDS=${4:-2}
here=$(cd "$(dirname "$0")/.." && pwd)
case "$BUILD" in /*) ;; *) BUILD="$here/$BUILD" ;; esac
bin="$BUILD/bin"
command -v osmium > /dev/null || { echo "bench/osm.sh: needs osmium-tool" >&2; exit 1; }
cmake --build "$BUILD" --target toponyx-create gen_osm -j2 > /dev/null
work=$(mktemp -d "${TMPDIR:-/tmp}/toponyx-bench-osm.XXXXXX")
trap 'rm -rf "$work"' EXIT

# The code list's tags as tags-filter expressions, one per key.
filters=$(awk -F, '{ sub(/\r$/, ""); split($1, t, ";"); split(t[1], kv, "=");
                     v[kv[1]] = (kv[1] in v) ? v[kv[1]] "," kv[2] : kv[2] }
                   END { for (k in v) printf "nwr/%s=%s ", k, v[k] }' "$here/resources/OsmCodes.list")

# run OUT CMD...: wall seconds and peak resident KiB of the command, best
# time and largest peak of ROUNDS rounds, into $OUT_s and $OUT_kb.
run() {
  local out=$1 t kb best="" peak=0
  shift
  for ((round = 1; round <= ROUNDS; round++)); do
    /usr/bin/time -f "%e %M" -o "$work/time" "$@" > /dev/null
    read -r t kb < "$work/time"
    best=$(awk -v a="$best" -v b="$t" 'BEGIN { print (a == "" || b < a) ? b : a }')
    [ "$kb" -gt "$peak" ] && peak=$kb
  done
  printf -v "${out}_s" '%s' "$best"
  printf -v "${out}_kb" '%s' "$peak"
}

# The osmium-tool way, as one command.
osmium_pipeline=("sh" "-c" "osmium tags-filter --overwrite -o '$work/kept.osm.pbf' \"\$0\" $filters &&
  osmium export --overwrite -f geojsonseq -o '$work/kept.geojsonseq' '$work/kept.osm.pbf'")

# measure LABEL FILE: the three side by side.
measure() {
  local label=$1 file=$2 places
  cat "$file" > /dev/null  # the page cache holds it for everyone alike
  run info osmium fileinfo -e "$file"
  mkdir -p "$work/out" "$work/temp"
  run create "$bin/toponyx-create" --quiet --name bench --save "$work/out" --temp "$work/temp" "$file"
  places=$(( ($(stat -c %s "$work/out/bench.names") - 194) / 146 ))
  run tools "${osmium_pipeline[@]}" "$file"
  echo "== $label: $(($(stat -c %s "$file") / 1000000)) MB, $places places"
  printf '  osmium fileinfo -e          %7.2f s  %7d MiB\n' "$info_s" $((info_kb / 1024))
  printf '  toponyx-create              %7.2f s  %7d MiB  (%.2f x fileinfo; goal <= 2.0)\n' \
    "$create_s" $((create_kb / 1024)) "$(awk -v a="$create_s" -v b="$info_s" 'BEGIN { print a / b }')"
  printf '  tags-filter + export        %7.2f s  %7d MiB  (%.2f x toponyx-create; goal >= 2)\n' \
    "$tools_s" $((tools_kb / 1024)) "$(awk -v a="$tools_s" -v b="$create_s" 'BEGIN { print a / b }')"
}

# The same chosen objects with twice the nodes: the unnamed ways get longer
# and the tagged points stay those of the first file.
standalone=$((NODES - WAYS * 9))
[ "$standalone" -gt 0 ] || { echo "bench/osm.sh: NODES must exceed 9 x WAYS" >&2; exit 2; }
longer=$(((2 * NODES - standalone - WAYS / 4 * 9) / (WAYS - WAYS / 4)))

t=$( { /usr/bin/time -f "%e" "$bin/gen_osm" "$work/base.osm.pbf" "$NODES" "$WAYS" > /dev/null; } 2>&1)
echo "generated $NODES nodes, $WAYS ways in $t s"
measure "$NODES nodes, $WAYS ways" "$work/base.osm.pbf"
base_kb=$create_kb
rm -f "$work/kept.osm.pbf" "$work/kept.geojsonseq"

"$bin/gen_osm" "$work/double.osm.pbf" "$((2 * NODES))" "$WAYS" "$longer" "$standalone"
rm -f "$work/base.osm.pbf"
measure "$((2 * NODES)) nodes, the same chosen objects" "$work/double.osm.pbf"
printf '  peak memory, twice the nodes: %.1f %% of the first (goal: within 10 %%)\n' \
  "$(awk -v a="$create_kb" -v b="$base_kb" 'BEGIN { print 100 * a / b }')"
