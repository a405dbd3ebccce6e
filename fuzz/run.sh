#!/bin/bash
# Builds the libFuzzer targets (clang, AddressSanitizer and UBSan) and runs
# them on their corpora.
#   fuzz/run.sh TARGET SECONDS   one target
#   fuzz/run.sh all SECONDS      every target, one after another
#   fuzz/run.sh list             the targets
# Targets: archive (ZIP and gzip expanders), readers (each reader through
# the format dispatch), gpx, csv (today's downloads), kml, geojson, tables
# (delimited tables with a header row), osm (OpenStreetMap extracts), table
# (a .names file), index (the name index a run builds and walks), datums
# (datums.dat), ini (TOPONYX.INI).
#
# Each run starts from the seeds of fuzz/corpus/<target>/ and from what
# earlier runs found, which it keeps in the work folder (default
# build-fuzz/work, or $TOPONYX_FUZZ_WORK): <target>/corpus, and any input
# that crashed, leaked, hung or ran out of memory as <target>/crash-...
# with the fuzzer's log. It runs at the lowest priority. A line per target
# gives the seconds, CPU seconds, executions and the outcome (also appended
# to <work>/runs.tsv); the exit status is 1 when any target had a finding.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${TOPONYX_FUZZ_BUILD:-$here/build-fuzz}
work=${TOPONYX_FUZZ_WORK:-$build/work}
targets=(archive readers gpx csv kml geojson tables osm table index datums ini)

usage() {
  echo "usage: fuzz/run.sh TARGET|all SECONDS   (targets: ${targets[*]})" >&2
  exit 2
}
[ "${1:-}" = list ] && { printf '%s\n' "${targets[@]}"; exit 0; }
[ $# -eq 2 ] || usage
case $2 in '' | *[!0-9]*) usage ;; esac
seconds=$2
if [ "$1" = all ]; then
  chosen=("${targets[@]}")
else
  [[ " ${targets[*]} " == *" $1 "* ]] || usage
  chosen=("$1")
fi

# The longest input of each target: whole archives need room, lines and
# headers far less.
max_len() {
  case $1 in
    archive) echo 70000 ;;
    datums | ini) echo 4096 ;;
    *) echo 16384 ;;
  esac
}

if [ ! -f "$build/build.ninja" ]; then
  mkdir -p "$build"
  cmake -S "$here" -B "$build" -G Ninja -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTOPONYX_BUILD_FUZZ=ON -DTOPONYX_BUILD_GUI=OFF \
    -DTOPONYX_BUILD_TESTS=OFF -DTOPONYX_BUILD_BENCH=OFF > "$build/configure.log" 2>&1 || {
    cat "$build/configure.log" >&2
    exit 1
  }
fi
cmake --build "$build" -j2 --target "${chosen[@]/#/fuzz_}" > "$build/build.log" 2>&1 || {
  cat "$build/build.log" >&2
  exit 1
}

status=0
for target in "${chosen[@]}"; do
  dir="$work/$target"
  mkdir -p "$dir/corpus"
  log="$dir/fuzz.log"
  cpu_file="$dir/cpu"
  dict=()
  [ -f "$here/fuzz/$target.dict" ] && dict=(-dict="$here/fuzz/$target.dict")
  started=$(date +%s)
  outcome=clean
  # The first folder takes what the run finds; the seeds are only read.
  { TIMEFORMAT='%U %S'; time nice -n 19 "$build/bin/fuzz_$target" \
    -max_total_time="$seconds" -max_len="$(max_len "$target")" -timeout=10 \
    -rss_limit_mb=2048 -print_final_stats=1 "${dict[@]}" -artifact_prefix="$dir/" \
    "$dir/corpus" "$here/fuzz/corpus/$target" > "$log" 2>&1; } 2> "$cpu_file" || outcome=finding
  wall=$(($(date +%s) - started))
  cpu=$(awk '{ printf "%.1f", $1 + $2 }' "$cpu_file")
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
  corpus_size=$(find "$dir/corpus" -type f | wc -l)
  if [ "$outcome" = finding ]; then
    status=1
    tail -n 40 "$log" >&2
    found=$(ls -t "$dir"/crash-* "$dir"/leak-* "$dir"/timeout-* "$dir"/oom-* 2> /dev/null | head -n 1 || true)
    echo "fuzz/run.sh: $target has a finding: ${found:-see $log}" >&2
  fi
  printf '%-8s %5ss %7s CPU s %10s runs %6s inputs  %s\n' \
    "$target" "$wall" "$cpu" "${runs:-?}" "$corpus_size" "$outcome"
  printf '%s\t%s\t%s\t%s\t%s\t%s\n' "$(date -u +%FT%TZ)" "$target" "$wall" "$cpu" "${runs:-?}" \
    "$outcome" >> "$work/runs.tsv"
done
exit $status
