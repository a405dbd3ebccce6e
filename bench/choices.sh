#!/bin/bash
# The cost of choosing what goes in, on a GeoNames-shaped world dump through
# toponyx-create: the build without a choice beside the same build with an
# area, with types, with classes (each chosen so that every place passes:
# the whole cost of the choice, none of its savings), with an area that
# keeps a small part (what a user saves), and with merged duplicates. Each
# best of three; the ratio to the build without a choice (goals: at most
# 1.05 for the area, types and classes, 1.15 for merged duplicates).
#   bench/choices.sh [build folder] [GeoNames lines]
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

# build ARGS...: the best of three wall times of toponyx-create with ARGS,
# and the best of its processor times (user and system, which other work
# on a shared machine disturbs less).
build() {
  local best="" cpu="" t u s
  for round in 1 2 3; do
    rm -rf "$work/out" "$work/temp" && mkdir -p "$work/out" "$work/temp"
    /usr/bin/time -f "%e %U %S" -o "$work/time" "$bin/toponyx-create" --name bench \
      --save "$work/out" --temp "$work/temp" "$@" "$work/allCountries.txt" > /dev/null 2> "$work/err"
    read -r t u s < <(tail -1 "$work/time")
    best=$(awk -v a="$best" -v b="$t" 'BEGIN { print (a == "" || b < a) ? b : a }')
    cpu=$(awk -v a="$cpu" -v b="$u" -v c="$s" 'BEGIN { print (a == "" || b + c < a) ? b + c : a }')
  done
  echo "$best $cpu"
}

# The types file of a build without a choice lists every code.
mkdir -p "$work/types"
"$bin/toponyx-create" --quiet --name all --save "$work/types" --temp "$work/types" \
  "$work/allCountries.txt" > /dev/null

read -r base base_cpu <<< "$(build)"
printf '%-36s %6.2f s  cpu %6.2f s\n' "no choice" "$base" "$base_cpu"
report() {  # LABEL GOAL ARGS...
  local label=$1 goal=$2 t cpu said
  shift 2
  read -r t cpu <<< "$(build "$@")"
  said=$(grep -E "left out|merged|added" "$work/err" | tr '\n' ';' || true)
  awk -v l="$label" -v t="$t" -v b="$base" -v c="$cpu" -v bc="$base_cpu" -v g="$goal" \
      -v s="$said" 'BEGIN {
    printf "%-36s %6.2f s  cpu %6.2f s  ratio %.3f, cpu %.3f (goal: at most %s)  %s\n",
           l, t, c, t / b, c / bc, g, s }'
}
report "area keeping everything" 1.05 --area -90,-180,90,180
report "types keeping everything" 1.05 --types "$work/types/all.types"
report "classes keeping everything" 1.05 --classes APVLURTHS
report "area, types and classes together" 1.05 --area -90,-180,90,180 \
  --types "$work/types/all.types" --classes APVLURTHS
report "area of the Alps" "-" --area 45.8,5.9,47.9,10.5
report "merged duplicates (200 m)" 1.15 --merge-duplicates
