// Plane arithmetic on closed rings of longitude/latitude points, shared by
// the readers that place an area at one point (OpenStreetMap areas, KML and
// GeoJSON polygons). A ring is the points [first, last); its last edge runs
// from the last point back to the first. P is any type with lon and lat.
#pragma once

#include <algorithm>
#include <cstddef>
#include <vector>

namespace toponyx::readers::ring_math {

// Twice the signed area of a ring and its centroid sums, all relative to
// its first point (which keeps the products small), with its southern and
// northern bounds.
struct RingSums {
  double twice_area = 0, cx = 0, cy = 0;
  double south = 0, north = 0;
};

template <class P>
RingSums Sums(const P* first, const P* last) {
  RingSums s;
  const P origin = *first;
  s.south = s.north = origin.lat;
  for (const P* p = first; p != last; ++p) {
    const P& a = *p;
    const P& b = p + 1 != last ? p[1] : *first;
    s.south = std::min(s.south, a.lat);
    s.north = std::max(s.north, a.lat);
    const double ax = a.lon - origin.lon, ay = a.lat - origin.lat;
    const double bx = b.lon - origin.lon, by = b.lat - origin.lat;
    const double cross = ax * by - bx * ay;
    s.twice_area += cross;
    s.cx += (ax + bx) * cross;
    s.cy += (ay + by) * cross;
  }
  return s;
}

// Adds the longitudes where the ring's edges cross the parallel `lat`. An
// edge counts where it spans the parallel, lower end included and upper
// excluded, so that a vertex on the parallel counts once.
template <class P>
void AddCrossings(const P* first, const P* last, double lat, std::vector<double>& out) {
  for (const P* p = first; p != last; ++p) {
    const P& a = *p;
    const P& b = p + 1 != last ? p[1] : *first;
    if ((a.lat > lat) == (b.lat > lat)) continue;
    out.push_back(a.lon + (lat - a.lat) * (b.lon - a.lon) / (b.lat - a.lat));
  }
}

// How many of the ring's edges the ray from (lon, lat) towards the east
// crosses.
template <class P>
size_t CrossingsEast(const P* first, const P* last, double lon, double lat) {
  size_t n = 0;
  for (const P* p = first; p != last; ++p) {
    const P& a = *p;
    const P& b = p + 1 != last ? p[1] : *first;
    if ((a.lat > lat) == (b.lat > lat)) continue;
    if (a.lon + (lat - a.lat) * (b.lon - a.lon) / (b.lat - a.lat) > lon) ++n;
  }
  return n;
}

// Sorts the crossings of a parallel and gives the middle of the widest
// stretch between a crossing and the next (inside, by the even-odd rule);
// false when there is none.
inline bool WidestStretch(std::vector<double>& crossings, double& lon) {
  std::sort(crossings.begin(), crossings.end());
  double widest = -1;
  for (size_t i = 0; i + 1 < crossings.size(); i += 2) {
    const double width = crossings[i + 1] - crossings[i];
    if (width > widest) {
      widest = width;
      lon = (crossings[i] + crossings[i + 1]) / 2;
    }
  }
  return widest >= 0;
}

}  // namespace toponyx::readers::ring_math
