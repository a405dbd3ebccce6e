#!/bin/sh
# Conversions per second of the geodesy functions: bench/geodesy.sh <build folder>
# (builds bench_geodesy there first). Extra arguments go to the benchmark
# program, e.g. --benchmark_filter=Nzmg.
set -eu
BUILD=${1:-build}
[ $# -gt 0 ] && shift
cmake --build "$BUILD" --target bench_geodesy -j2 >/dev/null
exec "$BUILD/bin/bench_geodesy" --benchmark_counters_tabular=true "$@"
