#!/bin/sh
# Reference positions for the OS Open Names reader's test: National Grid
# eastings and northings over Great Britain and what PROJ gives for them in
# WGS 84 (EPSG:27700 to EPSG:4326, the published Helmert transformation where
# no grid file is installed). The values are kept in
# tests/readers/TodaysDownloadsTest.cpp, so the suite needs no PROJ.
#   tools/os_grid_reference.sh    (needs cs2cs, Debian's proj-bin)
set -eu
printf '%s\n' "428119 265114" "530000 180000" "326000 673000" "258000 665000" "145000 20000" \
  "180000 40000" "337917 503214" "465000 1115000" "390000 1200000" "200000 860000" \
  "240000 640000" "300000 400000" "350000 300000" "600000 250000" "640000 310000" \
  "260000 220000" "320000 150000" "450000 550000" "350000 800000" "100000 850000" \
  "90000 900000" "215000 770000" "430000 430000" "520000 105000" "290000 920000" |
  while read -r e n; do
    printf '%s %s ' "$e" "$n"
    echo "$e $n" | cs2cs -f %.9f EPSG:27700 EPSG:4326 | awk '{print $1, $2}'
  done
