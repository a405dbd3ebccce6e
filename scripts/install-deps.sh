#!/bin/sh
# Installs the Debian 12 packages the project needs, and only those that are
# missing, so that a second call costs a few milliseconds.
set -eu

PACKAGES="cmake ninja-build g++ make pkg-config zlib1g-dev libexpat1-dev rapidjson-dev libgtest-dev
  libosmium2-dev libprotozero-dev libbz2-dev
  qt6-base-dev qt6-tools-dev qt6-tools-dev-tools qt6-documentation-tools
  qt6-l10n-tools qt6-svg-dev libgl-dev python3 python3-dbfread"

# The benchmarks and the screenshots need a few tools more
# (`scripts/install-deps.sh --bench`), the Debian package and its check
# others (`--package`: dpkg-shlibdeps and file for the dependencies,
# lintian, and a virtual display with a way to click in it), continuous
# integration and fuzz/run.sh clang with its sanitizer and libFuzzer
# runtimes and the symbolizer of their reports (`--ci`).
for option in "$@"; do
  case $option in
    --bench)
      PACKAGES="$PACKAGES time gdal-bin unzip gzip libbenchmark-dev clang libclang-rt-14-dev xvfb xauth
        osmium-tool"
      ;;
    --package)
      PACKAGES="$PACKAGES dpkg-dev file lintian xvfb xauth xdotool"
      ;;
    --ci)
      PACKAGES="$PACKAGES clang libclang-rt-14-dev llvm"
      ;;
    --windows)
      # The cross compiler, Windows's zlib, wine64 to run the tests, and
      # dpkg-dev for the source packages of scripts/build-windows-deps.sh.
      PACKAGES="$PACKAGES g++-mingw-w64-x86-64-posix libz-mingw-w64-dev wine64 dpkg-dev"
      ;;
    *)
      echo "usage: scripts/install-deps.sh [--bench] [--package] [--ci] [--windows]" >&2
      exit 2
      ;;
  esac
done

missing=""
for p in $PACKAGES; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing="$missing $p"
  fi
done
[ -z "$missing" ] && exit 0

echo "Installing missing packages:$missing"
if [ "$(id -u)" -eq 0 ]; then
  SUDO=""
elif command -v sudo >/dev/null 2>&1; then
  SUDO="sudo"
else
  echo "Packages missing ($missing) and neither root nor sudo is available." >&2
  exit 1
fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -q
# shellcheck disable=SC2086
$SUDO apt-get install -y -q $missing
