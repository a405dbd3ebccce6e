#!/bin/sh
# The View window over a big name database: time to the first rows, to
# jumps and scrolling, and the records read; the map pane's first paint while
# the grid is in use, the Find box, and the map's repaint after zoom and pan.
#   bench/view.sh [build folder] [places]
set -eu
here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$here/build}
case $build in /*) ;; *) build=$here/$build ;; esac
places=${2:-13000000}
cmake --build "$build" --target bench_view_open -j2 >/dev/null
data=${TOPONYX_BENCH_DATA:-$build/bench-data/view}
mkdir -p "$data"
"$build/src/view/bench_view_open" "$data" "$places"
