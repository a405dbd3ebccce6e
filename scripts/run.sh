#!/bin/sh
# The program's main job: a name database built from the sample downloads.
set -eu
BUILD=${1:-build}
here=$(cd "$(dirname "$0")/.." && pwd)
# With a display the desktop program starts; without one (status 3) the
# samples are built headless below.
status=0
"$here/scripts/run-desktop.sh" "$BUILD" || status=$?
[ "$status" -eq 3 ] || exit "$status"
echo "Running the headless build of the samples instead."
out="$here/$BUILD/samples-database"
mkdir -p "$out"
"$here/$BUILD/bin/toponyx-create" --name samples --save "$out" --all "$here/samples"
echo "The name database went to $out:"
ls -l "$out"
