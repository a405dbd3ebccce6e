#!/bin/sh
# The View window's grid over a big name database: time to the first rows,
# to jumps and scrolling, and the records read.
#   bench/view.sh [build folder] [places]
set -eu
here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$here/build}
case $build in /*) ;; *) build=$here/$build ;; esac
places=${2:-10000000}
cmake --build "$build" --target bench_view_open -j2 >/dev/null
data=${TOPONYX_BENCH_DATA:-$build/bench-data/view}
mkdir -p "$data"
"$build/src/view/bench_view_open" "$data" "$places"
