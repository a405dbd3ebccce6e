#!/bin/bash
# The cost of choosing what goes in, on a GeoNames-shaped world dump through
# toponyx-create: the build without a choice beside the same build with an
# area, with types, with classes (each chosen so that every place passes:
# the whole cost of the choice, none of its savings), with an area that
# keeps a small part (what a user saves), and with merged duplicates. Each
# the best of its rounds; the ratio to the build without a choice (goals: at most
# 1.05 for the area, types and classes, 1.15 for merged duplicates).
#   bench/choices.sh [build folder] [GeoNames lines] [rounds]
# Default: 13 000 000 lines (about 1.6 GB under $TMPDIR or /tmp, removed at
# the end).
set -euo pipefail
BUILD=${1:-build}
LINES=${2:-13000000}
here=$(cd "$(dirname "$0")/.." && pwd)
case "$BUILD" in /*) ;; *) BUILD="$here/$BUILD" ;; esac
bin="$BUILD/bin"
cmake --build "$BUILD" --target toponyx-create gen_gazetteer -j2 > /dev/null
work=$(mktemp -d "${TMPDIR:-/tmp}/toponyx-bench-choices.XXXXXX")
trap 'rm -rf "$work"' EXIT

"$bin/gen_gazetteer" geonames "$LINES" > "$work/allCountries.txt"
echo "== choices on a GeoNames dump: $LINES lines, $(($(stat -c %s "$work/allCountries.txt") / 1000000)) MB"
cat "$work/allCountries.txt" > /dev/null  # the page cache holds it for every build alike

# The builds take turns, round after round, so that a machine that slows
# down or speeds up over the minutes does so for every build alike; each
# keeps its best wall time and its best processor time (user and system,
# which other work on a shared machine disturbs less). The wall time of a
# build this size also holds the flush of some 4 GB to the disk, which
# varies from round to round: the median of each round's ratio to the
# build without a choice of the same round is given too.
#   bench/choices.sh [build folder] [GeoNames lines] [rounds, default 3]
ROUNDS=${3:-3}

# The types file of a build without a choice lists every code.
mkdir -p "$work/types"
"$bin/toponyx-create" --quiet --name all --save "$work/types" --temp "$work/types" \
  "$work/allCountries.txt" > /dev/null

labels=("no choice" "area keeping everything" "types keeping everything"
  "classes keeping everything" "area, types and classes together" "area of the Alps"
  "merged duplicates (200 m)")
goals=("-" 1.05 1.05 1.05 1.05 "-" 1.15)
args=("" "--area -90,-180,90,180" "--types $work/types/all.types" "--classes APVLURTHS"
  "--area -90,-180,90,180 --types $work/types/all.types --classes APVLURTHS"
  "--area 45.8,5.9,47.9,10.5" "--merge-duplicates")
declare -a wall cpu said rounds
for ((round = 1; round <= ROUNDS; ++round)); do
  for i in "${!labels[@]}"; do
    rm -rf "$work/out" "$work/temp" && mkdir -p "$work/out" "$work/temp"
    # shellcheck disable=SC2086 # the arguments are words
    /usr/bin/time -f "%e %U %S" -o "$work/time" "$bin/toponyx-create" --name bench \
      --save "$work/out" --temp "$work/temp" ${args[$i]} "$work/allCountries.txt" \
      > /dev/null 2> "$work/err"
    read -r t u s < <(tail -1 "$work/time")
    if ((i == 0)); then round_base=$t; fi
    rounds[$i]="${rounds[$i]:-} $(awk -v t="$t" -v b="$round_base" 'BEGIN { print t / b }')"
    wall[$i]=$(awk -v a="${wall[$i]:-}" -v b="$t" 'BEGIN { print (a == "" || b < a) ? b : a }')
    cpu[$i]=$(awk -v a="${cpu[$i]:-}" -v b="$u" -v c="$s" \
      'BEGIN { print (a == "" || b + c < a) ? b + c : a }')
    said[$i]=$(grep -E "left out|merged|added" "$work/err" | tr '\n' ';' || true)
  done
done
for i in "${!labels[@]}"; do
  median=$(tr ' ' '\n' <<< "${rounds[$i]}" | grep . | sort -g |
    awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }')
  awk -v l="${labels[$i]}" -v t="${wall[$i]}" -v b="${wall[0]}" -v c="${cpu[$i]}" \
      -v bc="${cpu[0]}" -v g="${goals[$i]}" -v s="${said[$i]}" -v first="$i" -v m="$median" 'BEGIN {
    if (first == 0) { printf "%-36s %6.2f s  cpu %6.2f s\n", l, t, c; exit }
    printf "%-36s %6.2f s  cpu %6.2f s  ratio %.3f, cpu %.3f, median of rounds %.3f " \
           "(goal: at most %s)  %s\n", l, t, c, t / b, c / bc, m, g, s }'
done
