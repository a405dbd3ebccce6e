#!/bin/sh
# Screenshots of the desktop program's windows, taken from a virtual X
# display: main window, folder and file dialog, progress window, View
# window, About and help, at 100 % (<output folder>) and at 200 %
# (<output folder>/200).
#   scripts/screenshots.sh <output folder> [build folder]
set -eu
out=${1:?usage: scripts/screenshots.sh <output folder> [build folder]}
here=$(cd "$(dirname "$0")/.." && pwd)
build=${2:-$here/build}
case $build in /*) ;; *) build=$here/$build ;; esac
"$here/scripts/install-deps.sh" --bench
command -v Xvfb >/dev/null || { echo "Xvfb is needed (apt-get install xvfb)" >&2; exit 1; }

cmake --build "$build" --target toponyx-creator toponyx-creator-screens -j2 >/dev/null
mkdir -p "$out"

# A display of our own: the first free number from 90 on.
n=90
while [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ]; do n=$((n + 1)); done
Xvfb ":$n" -screen 0 2048x1536x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
trap 'kill $xvfb 2>/dev/null || true' EXIT INT TERM
i=0
while [ ! -e "/tmp/.X11-unix/X$n" ] && [ $i -lt 50 ]; do sleep 0.1; i=$((i + 1)); done

# The walk uses a copy of the program folder, so the real one keeps its settings.
work=$(mktemp -d)
trap 'kill $xvfb 2>/dev/null || true; rm -rf "$work"' EXIT INT TERM
for scale in 1 2; do
  rm -rf "$work/Toponyx" && cp -r "$build/bin/Toponyx" "$work/Toponyx"
  shots=$out
  [ "$scale" = 1 ] || { shots=$out/${scale}00 && mkdir -p "$shots"; }
  DISPLAY=":$n" QT_QPA_PLATFORM=xcb QT_SCALE_FACTOR=$scale \
    "$build/tools/toponyx-creator-screens" "$work" "$shots"
done
