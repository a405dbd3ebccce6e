#!/bin/bash
# Whole builds of a USA GNIS "|" file of the national file's size through
# toponyx-create, beside `cat` and `sort` of the same file as yardsticks.
#   bench/gnis.sh [build folder] [lines]
set -euo pipefail
BUILD=${1:-build}
LINES=${2:-2300000}
here=$(cd "$(dirname "$0")/.." && pwd)
bin="$here/$BUILD/bin"
work=$(mktemp -d "${TMPDIR:-/tmp}/toponyx-bench-gnis.XXXXXX")
trap 'rm -rf "$work"' EXIT

file="$work/US_National.txt"
"$bin/gen_gnis" "$LINES" > "$file"
bytes=$(stat -c %s "$file")
echo "input: $LINES lines, $((bytes / 1000000)) MB"

. "$(dirname "$0")/common/time.sh"

cat "$file" > /dev/null  # warm the page cache for everyone alike
t_cat=$(seconds sh -c "cat '$file' > /dev/null")
t_sort=$(seconds sh -c "LC_ALL=C sort -t'|' -k2,2 -s '$file' > /dev/null")
/usr/bin/time -f "%e %M" -o "$work/time" \
  "$bin/toponyx-create" --quiet --name bench --save "$work" --temp "$work" "$file" > /dev/null
read -r t_build rss_kb < "$work/time"

places=$(( ($(stat -c %s "$work/bench.names") - 194) / 146 ))
awk -v lines="$LINES" -v bytes="$bytes" -v tc="$t_cat" -v ts="$t_sort" -v tb="$t_build" \
    -v rss="$rss_kb" -v places="$places" 'BEGIN {
  printf "cat:            %6.2f s\n", tc
  printf "sort -k2,2 -s:  %6.2f s\n", ts
  printf "toponyx-create: %6.2f s  %.0f lines/s  %.1f MB/s  peak %.1f MiB  %d places\n",
         tb, lines / tb, bytes / tb / 1e6, rss / 1024, places
  printf "ratio to sort:  %.2f (goal: at most 2)\n", tb / ts
}'
