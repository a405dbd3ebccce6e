#!/bin/sh
# The program's main job: a name database built from the sample downloads.
set -eu
BUILD=${1:-build}
here=$(cd "$(dirname "$0")/.." && pwd)
out="$here/$BUILD/samples-database"
mkdir -p "$out"
"$here/$BUILD/bin/toponyx-create" --name samples --save "$out" --all "$here/samples"
echo "The name database went to $out:"
ls -l "$out"
