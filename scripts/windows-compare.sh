#!/bin/sh
# Builds a database with the Linux program and with toponyx-create.exe
# under wine64 from the same files, and compares the two byte for byte (the
# .names file after its date of last update): the samples folder, then each
# file of ../shared/realdata when it is there. Prints one line per input
# and exits 1 when any pair differs.
#   scripts/windows-compare.sh [LINUX_BUILD] [WINDOWS_BUILD]
set -eu
here=$(cd "$(dirname "$0")/.." && pwd)
linux=${1:-$here/build}/bin/toponyx-create
windows=${2:-$here/build-windows}/bin/toponyx-create.exe
realdata=$here/../shared/realdata
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT INT TERM

failed=0
same=0
compare() {  # label, then the arguments after --name/--save
  label=$1
  shift
  rm -rf "$work/l" "$work/w"
  "$linux" --name db --save "$work/l" --temp "$work/lt" --quiet "$@" > /dev/null 2>&1 || true
  "$here/scripts/wine-run.sh" "$windows" --name db --save "$work/w" --temp "$work/wt" --quiet "$@" \
    > /dev/null 2>&1 || true
  if [ ! -f "$work/l/db.names" ] && [ ! -f "$work/w/db.names" ]; then
    echo "same (no database): $label"
    same=$((same + 1))
  elif [ -f "$work/l/db.names" ] && [ -f "$work/w/db.names" ] &&
     cmp -s "$work/l/db.types" "$work/w/db.types" &&
     [ "$(tail -c +5 "$work/l/db.names" | md5sum)" = "$(tail -c +5 "$work/w/db.names" | md5sum)" ]; then
    echo "same ($(stat -c %s "$work/l/db.names") bytes): $label"
    same=$((same + 1))
  else
    echo "DIFFERENT: $label"
    failed=1
  fi
}

compare samples --all "$here/samples"
if [ -d "$realdata" ]; then
  find "$realdata" -type f ! -name '*.md' | sort > "$work/list"
  while read -r f; do compare "${f#"$realdata"/}" "$f"; done < "$work/list"
fi
echo "$same the same"
exit $failed
