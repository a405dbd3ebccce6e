#!/bin/bash
# The counts the OpenStreetMap tests compare with: for each kind of place,
# the named objects of an extract that carry its tags, as osmium-tool
# (`osmium tags-filter`, Debian's osmium-tool) finds them. Taken once and
# kept in tests/readers/OsmTest.cpp, so that the suite needs no
# osmium-tool.
#   tools/osm-counts.sh FILE.osm.pbf
# Prints one line per kind: its name and the number of objects.
set -euo pipefail
file=$1
work=$(mktemp -d "${TMPDIR:-/tmp}/osm-counts.XXXXXX")
trap 'rm -rf "$work"' EXIT

# count KIND FILTER...: the objects that pass every filter (one filter
# holds one or more expressions of `osmium tags-filter`, separated by
# blanks, any of which lets an object pass) and have a name.
count() {
  local kind=$1 from=$file step=0 total=0 n
  shift
  for filter in "$@" nwr/name; do
    step=$((step + 1))
    # shellcheck disable=SC2086
    osmium tags-filter --overwrite -R -o "$work/$step.osm.pbf" "$from" $filter
    from=$work/$step.osm.pbf
  done
  for entities in nodes ways relations; do
    n=$(osmium fileinfo -e -g "data.count.$entities" "$from")
    total=$((total + n))
  done
  echo "$kind $total"
}

places=city,town,village,hamlet,isolated_dwelling,suburb,quarter,neighbourhood,locality,farm
places=$places,island,islet,archipelago,country,state,region,province,county,municipality
count place "nwr/place=$places"
count peak "n/natural=peak"
# Areas: closed ways and multipolygon or boundary relations.
count admin-areas "a/boundary=administrative" "a/admin_level=2,3,4,5,6,7,8"
count water-areas "a/natural=water a/landuse=reservoir"
count green-areas "a/landuse=forest a/natural=wood a/leisure=park a/leisure=nature_reserve"
