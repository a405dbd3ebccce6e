#!/bin/sh
# Stores N generated places (default 10 million) into the working name
# index as a Create run does, finishes it and copies them in name order into
# a name database, and times LC_ALL=C sort -s on the same keys beside it.
#   bench/dbf-index.sh [build folder] [N]      (either order; default build)
# Sort and the pipeline run REPEAT times in turn (default 3), and the best
# times are compared too, since the machine may be shared. Files go to a
# temporary folder under $TMPDIR (else /tmp) and are removed; 10 million
# records need about 4 GB there while the run lasts.
set -eu
BUILD=build
N=10000000
for arg in "$@"; do
  case $arg in
    *[!0-9]*|'') BUILD=$arg ;;
    *) N=$arg ;;
  esac
done
here=$(cd "$(dirname "$0")/.." && pwd)
if [ ! -f "$BUILD/build.ninja" ] && [ ! -f "$BUILD/Makefile" ]; then
  cmake -S "$here" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
cmake --build "$BUILD" --target toponyx_dbf_bench -j2 >/dev/null
exec "$BUILD/bin/toponyx_dbf_bench" "$N" --repeat "${REPEAT:-3}"
