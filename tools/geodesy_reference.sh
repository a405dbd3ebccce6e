#!/bin/sh
# Reference values for the geodesy tests, computed by independent programs:
# PROJ's cs2cs and cct (datum shifts through geocentric coordinates, UTM, UPS,
# NZMG) and GeographicLib's GeoConvert, TransverseMercatorProj and GeodSolve
# (UTM, UPS, the exact transverse Mercator, meridian distances). It writes a
# C++ header:
#
#   tools/geodesy_reference.sh > tests/geodesy/GeodesyReference.h
#
# and prints the largest ellipsoidal height the 3-D shift gives a point that
# starts at height 0 (what the two-dimensional shift drops) to stderr.
# Needs cs2cs, cct, GeoConvert, TransverseMercatorProj and GeodSolve (proj-bin,
# geographiclib-tools); the tests themselves need neither.
set -eu
export LC_ALL=C

for tool in cs2cs cct GeoConvert TransverseMercatorProj GeodSolve; do
  command -v "$tool" >/dev/null || { echo "$tool not found" >&2; exit 1; }
done

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# Datum index, its ellipsoid (a, 1/f), the translation to WGS 84, and a
# region: centre latitude and longitude and half extents in degrees.
cat >"$tmp/datums" <<'DATUMS'
0 6378137 298.257223563 0 0 0 10 10 5 5
1 6378249.145 293.465 -162 -12 206 12 35 4 4
2 6378245 298.3 -43 -163 45 4 46 3 3
3 6378388 297 -150 -251 -2 26 50.5 1 1
4 6378160 298.25 -491 -22 435 -12.2 96.9 0.2 0.2
5 6378249.145 293.465 -143 -90 -294 -17 28 5 5
6 6378249.145 293.465 -160 -8 -300 -3 37 4 4
7 6378388 297 -207 107 52 -7.95 -14.37 0.1 0.1
8 6378388 297 114 -116 -333 8.15 140.4 0.2 0.2
9 6378388 297 145 75 -272 24.78 141.32 0.1 0.1
10 6378388 297 -320 550 -494 -15.95 -5.7 0.1 0.1
11 6378388 297 124 -234 -25 24.3 153.97 0.1 0.1
12 6378160 298.25 -133 -48 148 -25 134 10 15
13 6378160 298.25 -134 -48 149 -25 134 10 15
14 6378137 298.257222101 0 0 0 -25 134 10 15
15 6377397.155 299.1528128 594 84 471 47.5 14 1.5 3
16 6378388 297 -127 -769 472 -17.7 168.3 0.3 0.3
17 6378206.4 294.9786982 -73 213 296 32.3 -64.75 0.1 0.1
18 6378388 297 307 304 -318 4.6 -74 4 3
19 6378388 297 -148 136 90 -35 -64 12 5
20 6378388 297 298 -304 -375 -2.8 -171.7 0.2 0.2
21 6378249.145 293.465 -136 -108 -292 -29 25 5 6
22 6378206.4 294.9786982 -2 150 181 28.4 -80.6 0.3 0.3
23 6378249.145 293.465 -263 6 431 34 9.5 3 1.5
24 6377397.155 299.1528128 674 15 405 46.8 8.2 0.8 1.5
25 6378388 297 175 -38 113 -44 -176.5 0.3 0.3
26 6378388 297 -134 229 -29 -23.4 -58 3 3
27 6378388 297 -206 172 -6 -20 -48 8 8
28 6377397.155 299.1528128 -377 681 -50 -6.2 106.8 2 4
29 6378388 297 230 -199 -752 -8.1 156.8 0.2 0.2
30 6378388 297 211 147 111 -27.1 -109.35 0.1 0.1
31 6378388 297 -130 -117 -151 27 30 4 4
32 6378388 297 -87 -98 -121 50 10 10 15
33 6378388 296.959263 -87 -96 -120 46.5 2.5 4 5
34 6378388 297 -84 -107 -120 40 -4 3 4
35 6378388 297 -86 -98 -119 50 10 10 15
36 6378388 297 -78 -231 -97 63 26 4 4
37 6378388 297 -133 -321 50 -0.7 73.15 0.3 0.3
38 6378388 297 84 -22 209 -41 173 5 5
39 6378206.4 294.9786982 -100 -248 259 13.45 144.78 0.1 0.1
40 6378388 297 252 -209 -751 -9.5 160 0.3 0.3
41 6378137 298.257223563 0 0 0 -29 25 5 6
42 6377397.155 299.1528128 653 -212 449 44 20 3 3
43 6378388 297 -73 46 -86 65 -18 1.5 4
44 6378388 297 -156 -271 -189 22.3 114.15 0.2 0.2
45 6378388 297 -634 -549 -201 23.7 121 1.5 1
46 6377276.345 300.8017 289 734 257 23.7 90.4 2 2
47 6377276.345 300.8017 214 836 303 15 101 5 3
48 6378300.789 293.466 -235 -85 264 31.5 35 1.5 0.8
49 6377340.189 299.3249646 506 -122 611 53.4 -8 1.5 2
50 6378388 297 208 -435 -229 -7.3 72.4 0.1 0.1
51 6378388 297 191 -77 -204 16.75 -169.52 0.1 0.1
52 6377276.345 300.8017 -97 787 86 7.8 80.7 1.5 1
53 6378388 297 145 -187 103 -49.35 70.2 0.3 0.5
54 6377304.063 300.8017 -11 851 5 3.5 102 2 2
55 6378206.4 294.9786982 42 124 147 19.7 -79.8 0.1 0.1
56 6378249.145 293.465 -90 40 88 6.4 -9.4 2 2
57 6378206.4 294.9786982 -133 -79 -72 7.5 125 2 2
58 6378206.4 294.9786982 -133 -77 -51 14 121 3 2
59 6378249.145 293.465 41 -220 -134 -4.65 55.45 0.1 0.1
60 6378388 297 -289 -124 60 30.1 -15.9 0.1 0.1
61 6377397.155 299.1528128 639 405 60 15.5 39 2 2
62 6378249.145 293.465 31 146 47 32 -6 3 3
63 6378388 297 912 -58 1227 28.2 -177.37 0.1 0.1
64 6378249.145 293.465 -92 -93 122 9 8 4 5
65 6378206.4 294.9786982 -5 135 172 64 -150 6 12
66 6378206.4 294.9786982 -4 154 178 24.5 -77 2 2
67 6378206.4 294.9786982 -10 158 187 55 -100 10 30
68 6378206.4 294.9786982 0 125 201 9 -79.6 0.5 0.5
69 6378206.4 294.9786982 -7 152 178 17 -62 2 2
70 6378206.4 294.9786982 0 125 194 14 -87 4 5
71 6378206.4 294.9786982 -8 160 176 39 -98 9 22
72 6378206.4 294.9786982 -9 152 178 22 -79.5 1.5 4
73 6378206.4 294.9786982 11 114 195 77 -68 1 4
74 6378206.4 294.9786982 -12 130 190 23 -102 8 10
75 6378206.4 294.9786982 1 140 165 24 -74.5 0.2 0.2
76 6378137 298.257222101 0 0 0 40 -100 10 25
77 6378249.145 293.465 -247 -148 369 20.4 58.8 0.2 0.2
78 6378249.145 293.465 -231 -196 482 24 45 6 8
79 6378249.145 293.465 -249 -156 381 24 54 1.5 2
80 6378388 297 -2 374 172 10.5 -61.3 0.3 0.3
81 6377492.0176 299.1528 315 -217 528 61 9 4 5
82 6378249.2 293.466021 -168 -60 320 46.5 2.5 4 5
83 6377492.0176 299.1528 278 93 474 61 9 4 5
84 6378388 297 -425 -169 81 39.5 -31.2 0.2 0.2
85 6378200 298.3 -130 110 -13 27 30 4 4
86 6378206.4 294.9786982 61 -285 -181 20.5 -157 1.5 2
87 6378249.145 293.465 -346 -1 224 21 57 3 3
88 6377563.396 299.3249646 375 -111 431 54 -2 4 4
89 6378388 297 -307 -92 127 28 -15.6 0.5 1.5
90 6378388 297 185 165 42 -25.07 -130.1 0.1 0.1
91 6377397.155 299.1528128 606 23 413 51 10 3 4
92 6378388 297 -288 175 -376 5 -66 5 5
93 6378388 297 16 196 93 -53 -70 2 3
94 6378206.4 294.9786982 11 72 -101 18.2 -66.5 0.2 0.8
95 6378245 298.3 28 -130 -95 55 37 10 25
96 6378245 298.3 28 -130 -95 55 37 10 25
97 6378388 297 -128 -283 22 25.3 51.2 0.5 0.3
98 6378388 297 164 138 -189 64 -51 3 3
99 6378388 297 94 -948 -1262 -21.1 55.5 0.2 0.2
100 6377397.155 299.1528128 593 26 478 52.2 5.4 1 1.5
101 6378388 297 -225 -65 9 40 9 1 0.8
102 6377397.155 299.1528128 498 -36 568 62 15 6 4
103 6378245 298.3 28 -121 -77 47 19 1.5 3
104 6378388 297 170 42 84 -15.4 167 0.3 0.3
105 6378388 297 -203 141 53 37.8 -25.5 0.2 0.5
106 6378388 297 -355 16 74 -51.7 -59 0.5 1
107 6377483.865 299.1528128 616 97 -251 -22 17 5 5
108 6378160 298.25 -57 1 -41 -15 -55 15 15
109 6378155 298.3 7 -10 -26 1.35 103.8 0.1 0.2
110 6378388 297 -499 -249 314 32.7 -16.9 0.2 0.3
111 6378388 297 -104 167 -38 38.6 -28 0.5 1
112 6377276.345 300.8017 -689 691 -46 5 115 2 2
113 6377397.155 299.1528128 -128 481 664 36 138 6 6
114 6378388 297 -632 438 -609 -37.1 -12.3 0.1 0.1
115 6378249.145 293.465 51 391 -36 -17.8 177.5 0.8 1.5
116 6378270 297 101 52 -39 9 168 2 3
117 6378135 298.26 0 0 5 30 0 30 60
119 6378388 297 -155 171 37 -33 -56 2 2
120 6378388 297 -265 120 -358 4.5 -55.5 1.5 1.5
DATUMS

WGS84="+a=6378137 +rf=298.257223563"

echo "// Reference values for the geodesy tests. Generated by tools/geodesy_reference.sh"
echo "// with $(cs2cs 2>&1 | head -n 1 | sed 's/^Rel\./PROJ/'), $(GeoConvert --version 2>&1 | head -n 1)."
echo "// Do not edit; run the script again instead."
echo "#pragma once"
echo ""
echo "namespace toponyx::geo::reference {"
echo ""
echo "struct ShiftPoint {"
echo "  int datum;"
echo "  double lat, lon;          // on the source datum"
echo "  double ref_lat, ref_lon;  // 3-D shift of the point at height 0"
echo "};"
echo ""
echo "struct GridPoint {"
echo "  const char* zone;"
echo "  const char* hemisphere;"
echo "  int datum;"
echo "  double easting, northing;"
echo "  double ref_lat, ref_lon;"
echo "};"
echo ""
echo "struct TmPoint {"
echo "  int datum;"
echo "  double x, y, central_meridian;  // scale 0.9996, origin latitude 0"
echo "  double ref_lat, ref_lon;"
echo "};"
echo ""
echo "struct ArcPoint {"
echo "  int datum;"
echo "  double lat;  // degrees"
echo "  double ref_distance;"
echo "};"
echo ""
echo "struct NzmgPoint {"
echo "  double easting, northing;"
echo "  double ref_lat, ref_lon;"
echo "};"
echo ""

# --- Datum shift ------------------------------------------------------------
# cs2cs carries the ellipsoidal height through the shift; cct shows it.
shift_rows() {  # direction: to (datum -> WGS 84) or from (WGS 84 -> datum)
  while read -r idx a rf dx dy dz lat lon dlat dlon; do
    if [ "$1" = to ]; then
      printf '%s %s\n%s %s\n%s %s\n' "$lon" "$lat" \
        "$(echo "$lon + $dlon" | bc -l)" "$(echo "$lat + $dlat" | bc -l)" \
        "$(echo "$lon - $dlon" | bc -l)" "$(echo "$lat - $dlat" | bc -l)" >"$tmp/in"
      src="+proj=longlat +a=$a +rf=$rf +towgs84=$dx,$dy,$dz"
      dst="+proj=longlat $WGS84 +towgs84=0,0,0"
      cart1="+ellps=WGS84 +a=$a +rf=$rf"; cart2="$WGS84"; sx=$dx; sy=$dy; sz=$dz
    else
      printf '%s %s\n%s %s\n' "$lon" "$lat" \
        "$(echo "$lon - $dlon" | bc -l)" "$(echo "$lat + $dlat" | bc -l)" >"$tmp/in"
      src="+proj=longlat $WGS84 +towgs84=0,0,0"
      dst="+proj=longlat +a=$a +rf=$rf +towgs84=$dx,$dy,$dz"
      cart1="$WGS84"; cart2="+a=$a +rf=$rf"; sx=$((-dx)); sy=$((-dy)); sz=$((-dz))
    fi
    # shellcheck disable=SC2086
    cs2cs -f %.10f $src +to $dst <"$tmp/in" >"$tmp/out"
    # shellcheck disable=SC2086
    awk '{print $1, $2, 0}' "$tmp/in" | cct -d 6 +proj=pipeline \
      +step +proj=unitconvert +xy_in=deg +xy_out=rad \
      +step +proj=cart $cart1 +step +proj=helmert +x=$sx +y=$sy +z=$sz \
      +step +inv +proj=cart $cart2 \
      +step +proj=unitconvert +xy_in=rad +xy_out=deg >>"$tmp/heights"
    paste "$tmp/in" "$tmp/out" | awk -v d="$idx" \
      '{ printf "    {%d, %s, %s, %s, %s},\n", d, $2, $1, $4, $3 }'
  done <"$tmp/datums"
}

: >"$tmp/heights"
echo "// ConvertDatum(datum, WGS 84): centre and two corners of each datum's region."
echo "inline constexpr ShiftPoint kToWgs84[] = {"
shift_rows to
echo "};"
echo ""
awk '{ h = $3 < 0 ? -$3 : $3; if (h > m) m = h } END { printf "to WGS 84: largest height %.1f m\n", m }' \
  "$tmp/heights" >&2
: >"$tmp/heights"
echo "// ConvertDatum(WGS 84, datum)."
echo "inline constexpr ShiftPoint kFromWgs84[] = {"
shift_rows from
echo "};"
echo ""
awk '{ h = $3 < 0 ? -$3 : $3; if (h > m) m = h } END { printf "from WGS 84: largest height %.1f m\n", m }' \
  "$tmp/heights" >&2

# --- UTM ----------------------------------------------------------------------
# WGS 84 through GeoConvert: zones round the world, eastings across each zone,
# northings from the equator to 84 N and 80 S.
: >"$tmp/utm"
zone=1
k=0
while [ "$zone" -le 60 ]; do
  for e in 166100 250000 330000 420000 500000 580000 670000 750000 833900; do
    k=$((k + 1))
    case $((k % 5)) in
      0) n=0; s=1200000 ;;
      1) n=2200000; s=3500000 ;;
      2) n=4600000; s=6100000 ;;
      3) n=7100000; s=8300000 ;;
      4) n=9300000; s=9999000 ;;
    esac
    echo "$zone N $e $n" >>"$tmp/utm"
    echo "$zone S $e $s" >>"$tmp/utm"
  done
  zone=$((zone + 7))
done
awk '{ print $1 tolower($2), $3, $4 }' "$tmp/utm" | GeoConvert -g -p 5 >"$tmp/utm.out"
echo "// UtmToLatLong on WGS 84 (GeoConvert)."
echo "inline constexpr GridPoint kUtmWgs84[] = {"
# Only points inside their zone (3.5 degrees either side of the central
# meridian, the zone and its usual overlap) are kept.
paste -d ' ' "$tmp/utm" "$tmp/utm.out" | awk '
  function inzone(lon, cm) { d = lon - cm; while (d > 180) d -= 360; while (d < -180) d += 360
    return d <= 3.5 && d >= -3.5 }
  inzone($6, 6 * $1 - 183) {
    printf "    {\"%s\", \"%s\", 118, %s, %s, %s, %s},\n", $1, $2, $3, $4, $5, $6 }'
echo "};"
echo ""

# Other ellipsoids through cs2cs: datum index, zone, hemisphere, points.
cat >"$tmp/utm_datums" <<'UTM'
88 30 N 6377563.396 299.3249646
32 32 N 6378388 297
71 14 N 6378206.4 294.9786982
113 54 N 6377397.155 299.1528128
12 55 S 6378160 298.25
95 37 N 6378245 298.3
5 35 S 6378249.145 293.465
38 59 S 6378388 297
UTM
echo "// UtmToLatLong on other ellipsoids (cs2cs)."
echo "inline constexpr GridPoint kUtmOther[] = {"
while read -r d zone hemi a rf; do
  if [ "$hemi" = N ]; then south=""; set -- 3900000 5300000 6700000 4400000 5900000
  else south="+south"; set -- 6000000 7200000 8400000 5500000 6600000; fi
  printf '200000 %s\n350000 %s\n500000 %s\n650000 %s\n800000 %s\n' "$@" >"$tmp/in"
  # shellcheck disable=SC2086
  cs2cs -f %.10f +proj=utm +zone="$zone" $south +a="$a" +rf="$rf" \
    +to +proj=longlat +a="$a" +rf="$rf" <"$tmp/in" >"$tmp/out"
  paste "$tmp/in" "$tmp/out" | awk -v d="$d" -v z="$zone" -v h="$hemi" \
    '{ printf "    {\"%s\", \"%s\", %d, %s, %s, %s, %s},\n", z, h, d, $1, $2, $4, $3 }'
done <"$tmp/utm_datums"
echo "};"
echo ""

# --- Transverse Mercator, not rounded -------------------------------------------
echo "// TmToLatLong (TransverseMercatorProj, the exact projection)."
echo "inline constexpr TmPoint kTransverseMercator[] = {"
for row in "118 6378137 298.257223563 15" "88 6377563.396 299.3249646 -3" \
    "32 6378388 297 9" "71 6378206.4 294.9786982 -99"; do
  # shellcheck disable=SC2086
  set -- $row
  printf '%s\n' "-333000 100000" "-250000 1500000" "-100000 3000000" "0 4500000" \
    "120000 5600000" "250000 6600000" "333000 7300000" "-300000 -4000000" \
    "200000 -2500000" "330000 -800000" "0 9300000" "150000 -8800000" >"$tmp/in"
  TransverseMercatorProj -r -e "$2" "1/$3" -l "$4" -k 0.9996 -p 10 <"$tmp/in" >"$tmp/out"
  paste -d ' ' "$tmp/in" "$tmp/out" | awk -v d="$1" -v c="$4" \
    '$4 - c <= 3.5 && $4 - c >= -3.5 { printf "    {%d, %s, %s, %s, %s, %s},\n", d, $1, $2, c, $3, $4 }'
done
echo "};"
echo ""

# --- Meridian arc ---------------------------------------------------------------
echo "// MeridianArc: geodesic distance from the equator along the meridian (GeodSolve)."
echo "inline constexpr ArcPoint kMeridianArc[] = {"
for row in "118 6378137 298.257223563" "88 6377563.396 299.3249646" "71 6378206.4 294.9786982"; do
  # shellcheck disable=SC2086
  set -- $row
  for lat in 1 15 30 45 60 75 89 90; do
    dist=$(echo "0 0 $lat 0" | GeodSolve -i -e "$2" "1/$3" -p 6 | awk '{ print $3 }')
    echo "    {$1, $lat, $dist},"
  done
done
echo "};"
echo ""

# --- UPS ----------------------------------------------------------------------
# North within 700 km of the pole (84 N and beyond), south within 1 120 km
# (80 S and beyond). Zone texts without digits: "Z" and "Y" are northern
# bands, "A" and "B" southern ones; the hemisphere text is left empty.
: >"$tmp/ups"
for dx in -600000 -300000 0 300000 600000; do
  for dy in -600000 -300000 0 300000 600000; do
    kx=$((dx / 1000)); ky=$((dy / 1000)); r2=$((kx * kx + ky * ky))  # km²
    [ "$r2" -le 490000 ] && echo "n $((2000000 + dx)) $((2000000 + dy))" >>"$tmp/ups"
  done
done
for dx in -1000000 -500000 0 500000 1000000; do
  for dy in -1000000 -500000 0 500000 1000000; do
    kx=$((dx / 1000)); ky=$((dy / 1000)); r2=$((kx * kx + ky * ky))  # km²
    [ "$r2" -le 1254400 ] && echo "s $((2000000 + dx)) $((2000000 + dy))" >>"$tmp/ups"
  done
done
GeoConvert -g -p 5 <"$tmp/ups" >"$tmp/ups.out"
echo "// UtmToLatLong for UPS on WGS 84 (GeoConvert)."
echo "inline constexpr GridPoint kUpsWgs84[] = {"
paste -d ' ' "$tmp/ups" "$tmp/ups.out" | awk '{
  band = ($1 == "n") ? (($2 < 2000000) ? "Y" : "Z") : (($2 < 2000000) ? "A" : "B")
  printf "    {\"%s\", \"\", 118, %s, %s, %s, %s},\n", band, $2, $3, $4, $5 }'
echo "};"
echo ""
echo "// UtmToLatLong for UPS on the International ellipsoid (cs2cs)."
echo "inline constexpr GridPoint kUpsOther[] = {"
for hemi in N S; do
  if [ "$hemi" = N ]; then south=""; else south="+south"; fi
  printf '%s\n' "2000000 2000000" "1500000 2300000" "2400000 1700000" "2100000 2500000" \
    >"$tmp/in"
  # shellcheck disable=SC2086
  cs2cs -f %.10f +proj=ups $south +ellps=intl +to +proj=longlat +ellps=intl \
    <"$tmp/in" >"$tmp/out"
  paste "$tmp/in" "$tmp/out" | awk -v h="$hemi" \
    '{ printf "    {\"\", \"%s\", 32, %s, %s, %s, %s},\n", h, $1, $2, $4, $3 }'
done
echo "};"
echo ""

# --- NZ Map Grid ------------------------------------------------------------------
# A 100 km lattice over the two main islands' grid extent.
: >"$tmp/nzmg"
e=2100000
while [ "$e" -le 3100000 ]; do
  n=5300000
  while [ "$n" -le 6700000 ]; do
    echo "$e $n" >>"$tmp/nzmg"
    n=$((n + 200000))
  done
  e=$((e + 200000))
done
echo "2700000 6300000" >>"$tmp/nzmg"
cs2cs -f %.10f +proj=nzmg +ellps=intl +lat_0=-41 +lon_0=173 +x_0=2510000 +y_0=6023150 \
  +to +proj=longlat +ellps=intl <"$tmp/nzmg" >"$tmp/nzmg.out"
echo "// NzmgToLatLong (cs2cs +proj=nzmg)."
echo "inline constexpr NzmgPoint kNzmg[] = {"
paste "$tmp/nzmg" "$tmp/nzmg.out" | awk '{ printf "    {%s, %s, %s, %s},\n", $1, $2, $4, $3 }'
echo "};"
echo ""
echo "}  // namespace toponyx::geo::reference"
