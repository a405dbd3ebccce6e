#!/bin/sh
# Starts the desktop program from the build folder. Its program folder is
# <build>/bin, where the build placed the sample downloads (bin/Toponyx):
# a first start shows them as the download folder and saves beside them.
# Exits with status 3, starting nothing, when there is no display.
#   scripts/run-desktop.sh [build folder]
set -eu
BUILD=${1:-build}
here=$(cd "$(dirname "$0")/.." && pwd)
case $BUILD in /*) build=$BUILD ;; *) build=$here/$BUILD ;; esac
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No display: the desktop program cannot start here." >&2
  exit 3
fi
if [ ! -x "$build/bin/toponyx-creator" ]; then
  echo "No desktop program in $build/bin (built with TOPONYX_BUILD_GUI=OFF?)." >&2
  exit 3
fi
exec "$build/bin/toponyx-creator"
