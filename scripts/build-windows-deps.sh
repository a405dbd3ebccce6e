#!/bin/sh
# Builds the libraries the Windows programs link statically and that Debian
# ships no Windows build of, from Debian's own source packages, into
# build-windows-deps/install (zlib comes built from Debian's
# libz-mingw-w64-dev; header-only libraries are taken from their Debian
# packages as they are). Adds a deb-src entry for Debian's archive once.
# Quick when everything is there.
set -eu
here=$(cd "$(dirname "$0")/.." && pwd)
deps=$here/build-windows-deps
install=$deps/install
mkdir -p "$deps" "$install/include" "$install/lib"
host=x86_64-w64-mingw32

if [ "$(id -u)" -eq 0 ]; then SUDO=""; else SUDO="sudo"; fi

# Source packages: a deb-src entry of the archive the machine installs from.
need_sources() {
  if ! grep -rqs '^Types:.*deb-src' /etc/apt/sources.list.d/ &&
     ! grep -qs '^deb-src ' /etc/apt/sources.list; then
    $SUDO sh -c 'cat > /etc/apt/sources.list.d/toponyx-deb-src.sources' <<SRC
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: bookworm bookworm-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SRC
    $SUDO apt-get update -q
  fi
}

# expat: GPX, KML and OpenStreetMap XML.
if [ ! -f "$install/lib/libexpat.a" ]; then
  need_sources
  rm -rf "$deps/expat-src" && mkdir -p "$deps/expat-src"
  (cd "$deps/expat-src" && apt-get source -q expat >/dev/null)
  src=$(find "$deps/expat-src" -mindepth 1 -maxdepth 1 -type d | head -1)
  cmake -S "$src/expat" -B "$deps/expat-build" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$here/cmake/mingw-w64-x86_64.cmake" \
    -DCMAKE_CROSSCOMPILING_EMULATOR= \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$install" \
    -DEXPAT_SHARED_LIBS=OFF -DEXPAT_BUILD_TOOLS=OFF -DEXPAT_BUILD_EXAMPLES=OFF \
    -DEXPAT_BUILD_TESTS=OFF -DEXPAT_BUILD_DOCS=OFF -DEXPAT_BUILD_PKGCONFIG=OFF >/dev/null
  # Debian's patches test "XML_DTD == 1", as its configure script defines
  # it; the CMake build defines it without a value.
  sed -i 's/^#define XML_DTD$/#define XML_DTD 1/' "$deps/expat-build/expat_config.h"
  cmake --build "$deps/expat-build" -j2 >/dev/null
  cmake --install "$deps/expat-build" >/dev/null
  rm -rf "$deps/expat-src" "$deps/expat-build"
fi
# RapidJSON: the GeoJSON reader's SAX parser, header only, as Debian's
# rapidjson-dev has it, with a package file that finds it here.
if [ ! -f "$install/share/cmake/RapidJSON/RapidJSONConfig.cmake" ]; then
  [ -f /usr/include/rapidjson/reader.h ] || "$here/scripts/install-deps.sh"
  cp -r /usr/include/rapidjson "$install/include/"
  mkdir -p "$install/share/cmake/RapidJSON"
  echo 'get_filename_component(RAPIDJSON_INCLUDE_DIRS "${CMAKE_CURRENT_LIST_DIR}/../../../include" ABSOLUTE)' \
    > "$install/share/cmake/RapidJSON/RapidJSONConfig.cmake"
fi
# libosmium and protozero: the OpenStreetMap reader, header only, as
# Debian's packages have them.
if [ ! -f "$install/include/osmium/osm.hpp" ] || [ ! -f "$install/include/protozero/pbf_reader.hpp" ]; then
  [ -f /usr/include/osmium/osm.hpp ] || "$here/scripts/install-deps.sh"
  cp -r /usr/include/osmium /usr/include/protozero "$install/include/"
fi
# bzip2: OpenStreetMap XML packed as .osm.bz2, from Debian's source package
# (its seven library files, as its own makefile builds libbz2.a).
if [ ! -f "$install/lib/libbz2.a" ]; then
  need_sources
  rm -rf "$deps/bzip2-src" && mkdir -p "$deps/bzip2-src"
  (cd "$deps/bzip2-src" && apt-get source -q bzip2 >/dev/null)
  src=$(find "$deps/bzip2-src" -mindepth 1 -maxdepth 1 -type d | head -1)
  (cd "$src" &&
    for f in blocksort huffman crctable randtable compress decompress bzlib; do
      $host-gcc-posix -O2 -D_FILE_OFFSET_BITS=64 -c "$f.c" -o "$f.o"
    done &&
    $host-ar rcs "$install/lib/libbz2.a" blocksort.o huffman.o crctable.o randtable.o \
      compress.o decompress.o bzlib.o &&
    cp bzlib.h "$install/include/")
  rm -rf "$deps/bzip2-src"
fi
echo "Windows dependencies in $install"
