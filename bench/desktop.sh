#!/bin/sh
# How often the desktop program repaints during a Create run.
#   bench/desktop.sh [build folder] [lines]
set -eu
here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$here/build}
case $build in /*) ;; *) build=$here/$build ;; esac
cmake --build "$build" --target bench_repaint_gaps -j2 >/dev/null
data=${TOPONYX_BENCH_DATA:-$build/bench-data/desktop}
mkdir -p "$data"
"$build/src/main/bench_repaint_gaps" "$data" "${2:-3000000}"
