#!/bin/sh
# Runs every benchmark script in bench/ against the build folder given.
set -eu
BUILD=${1:-build}
here=$(dirname "$0")
for s in "$here"/*.sh; do
  [ "$(basename "$s")" = run-all.sh ] && continue
  echo "== $(basename "$s")"
  "$s" "$BUILD"
done
