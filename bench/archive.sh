#!/bin/bash
# Expansion of a deflated gazetteer of about 500 MB: the program's ZIP
# extractor beside `unzip -o -q`, and its gzip expander beside
# `gzip -dc > file`, on the same archives in the same run (best of three
# runs each). The outputs are compared with the original file.
#   bench/archive.sh [build folder] [megabytes]
set -euo pipefail
BUILD=${1:-build}
MB=${2:-500}
here=$(cd "$(dirname "$0")/.." && pwd)
bin="$here/$BUILD/bin"
for tool in zip unzip gzip; do
  command -v "$tool" > /dev/null || { echo "archive.sh: $tool is not installed" >&2; exit 1; }
done
work=$(mktemp -d "${TMPDIR:-/tmp}/toponyx-bench-archive.XXXXXX")
trap 'rm -rf "$work"' EXIT

# A USA GNIS file of the requested size (about 116 bytes a line).
lines=$((MB * 1000000 / 116))
"$bin/gen_gnis" "$lines" > "$work/US_National.txt"
bytes=$(stat -c %s "$work/US_National.txt")
(cd "$work" && zip -q -6 gazetteer.zip US_National.txt && gzip -6 -c US_National.txt > gazetteer.gz)
echo "input: $((bytes / 1000000)) MB text; zip $(( $(stat -c %s "$work/gazetteer.zip") / 1000000 )) MB," \
     "gz $(( $(stat -c %s "$work/gazetteer.gz") / 1000000 )) MB"

. "$(dirname "$0")/common/time.sh"
best() { # the smallest of the numbers given
  printf '%s\n' "$@" | sort -g | head -n 1
}

mkdir -p "$work/unzip" "$work/ours"
cat "$work/gazetteer.zip" "$work/gazetteer.gz" > /dev/null  # warm the page cache alike
t_unzip=() t_zip=() t_gzip=() t_gz=()
for run in 1 2 3; do
  rm -f "$work/unzip/US_National.txt" "$work/ours/US_National.txt"
  t_unzip+=("$(seconds unzip -o -q "$work/gazetteer.zip" -d "$work/unzip")")
  t_zip+=("$("$bin/archive_bench" zip "$work/gazetteer.zip" "$work/ours")")
  rm -f "$work/gzip.out" "$work/ours.out"
  t_gzip+=("$(seconds sh -c "gzip -dc '$work/gazetteer.gz' > '$work/gzip.out'")")
  t_gz+=("$("$bin/archive_bench" gzip "$work/gazetteer.gz" "$work/ours.out")")
done
cmp "$work/US_National.txt" "$work/ours/US_National.txt"
cmp "$work/US_National.txt" "$work/ours.out"

awk -v bytes="$bytes" -v u="$(best "${t_unzip[@]}")" -v z="$(best "${t_zip[@]}")" \
    -v g="$(best "${t_gzip[@]}")" -v o="$(best "${t_gz[@]}")" 'BEGIN {
  printf "unzip -o -q:      %6.2f s  %6.1f MB/s\n", u, bytes / u / 1e6
  printf "ZIP extractor:    %6.2f s  %6.1f MB/s  ratio %.2f (goal: at most 1.5)\n", z, bytes / z / 1e6, z / u
  printf "gzip -dc > file:  %6.2f s  %6.1f MB/s\n", g, bytes / g / 1e6
  printf "gzip expander:    %6.2f s  %6.1f MB/s  ratio %.2f (goal: at most 1.5)\n", o, bytes / o / 1e6, o / g
}'
