#include "readers/OsmGeometry.h"

#include "readers/RingMath.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace toponyx::readers {

void LabelPoint::Clear() {
  points_.clear();
  ways_.clear();
}

void LabelPoint::AddWay(int64_t first, int64_t last, std::span<const MapPoint> points, bool inner) {
  Way way;
  way.begin = points_.size();
  points_.insert(points_.end(), points.begin(), points.end());
  way.end = points_.size();
  way.first = first;
  way.last = last;
  way.inner = inner;
  ways_.push_back(way);
}

// Length along a line, with a degree of longitude worth cos(latitude):
//   d = hypot((lon2 - lon1) cos((lat1 + lat2) / 2), lat2 - lat1)
bool LabelPoint::Line(MapPoint& out) const {
  constexpr double kRadians = std::numbers::pi / 180;
  auto length = [](MapPoint a, MapPoint b) {
    return std::hypot((b.lon - a.lon) * std::cos((a.lat + b.lat) / 2 * kRadians), b.lat - a.lat);
  };
  double total = 0;
  const MapPoint* first = nullptr;
  for (const Way& way : ways_) {
    for (size_t i = way.begin; i < way.end; ++i) {
      if (first == nullptr) first = &points_[i];
      if (i > way.begin) total += length(points_[i - 1], points_[i]);
    }
  }
  if (first == nullptr) return false;
  out = *first;
  double to_go = total / 2;
  for (const Way& way : ways_) {
    for (size_t i = way.begin + 1; i < way.end; ++i) {
      const MapPoint a = points_[i - 1], b = points_[i];
      const double d = length(a, b);
      if (d > 0 && to_go <= d) {
        const double t = to_go / d;
        out = {a.lon + t * (b.lon - a.lon), a.lat + t * (b.lat - a.lat)};
        return true;
      }
      to_go -= d;
    }
  }
  return true;
}

// The rings: closed ways as they are, open ways joined end to end at their
// shared end nodes (the way that goes on is turned round where it runs the
// other way). A chain that does not come back to its start closes no ring
// and is left out.
void LabelPoint::JoinRings() {
  ring_points_.clear();
  rings_.clear();
  ends_.clear();
  used_.assign(ways_.size(), false);
  for (size_t i = 0; i < ways_.size(); ++i) {
    const Way& way = ways_[i];
    if (way.first == way.last) {
      used_[i] = true;
      const size_t begin = ring_points_.size();
      ring_points_.insert(ring_points_.end(), points_.begin() + static_cast<ptrdiff_t>(way.begin),
                          points_.begin() + static_cast<ptrdiff_t>(way.end));
      CloseRing(begin, way.inner);
    } else {
      ends_.emplace_back(way.first, i);
      ends_.emplace_back(way.last, i);
    }
  }
  std::sort(ends_.begin(), ends_.end());
  for (size_t i = 0; i < ways_.size(); ++i) {
    if (used_[i]) continue;
    used_[i] = true;
    const size_t begin = ring_points_.size();
    ring_points_.insert(ring_points_.end(),
                        points_.begin() + static_cast<ptrdiff_t>(ways_[i].begin),
                        points_.begin() + static_cast<ptrdiff_t>(ways_[i].end));
    const int64_t start = ways_[i].first;
    int64_t end = ways_[i].last;
    while (end != start) {
      auto at = std::lower_bound(ends_.begin(), ends_.end(), std::pair<int64_t, size_t>(end, 0));
      while (at != ends_.end() && at->first == end && used_[at->second]) ++at;
      if (at == ends_.end() || at->first != end) break;
      const Way& next = ways_[at->second];
      used_[at->second] = true;
      const auto from = points_.begin() + static_cast<ptrdiff_t>(next.begin);
      const auto to = points_.begin() + static_cast<ptrdiff_t>(next.end);
      if (next.first == end) {
        ring_points_.insert(ring_points_.end(), from, to);
        end = next.last;
      } else {
        ring_points_.insert(ring_points_.end(), std::make_reverse_iterator(to),
                            std::make_reverse_iterator(from));
        end = next.first;
      }
    }
    if (end == start) {
      CloseRing(begin, ways_[i].inner);
    } else {
      ring_points_.resize(begin);
    }
  }
}

// Area and centroid of a ring of n points (the last joined to the first),
// about its first point p0 for precision (x = lon - lon0, y = lat - lat0):
//   A  = 1/2 sum (x_i y_i+1 - x_i+1 y_i)
//   Cx = 1/(6A) sum (x_i + x_i+1)(x_i y_i+1 - x_i+1 y_i), Cy likewise
void LabelPoint::CloseRing(size_t begin, bool inner) {
  const size_t end = ring_points_.size();
  if (end - begin < 3) {
    ring_points_.resize(begin);
    return;
  }
  Ring ring;
  ring.begin = begin;
  ring.end = end;
  ring.inner = inner;
  const MapPoint p0 = ring_points_[begin];
  const ring_math::RingSums sums =
      ring_math::Sums(ring_points_.data() + begin, ring_points_.data() + end);
  ring.min_lat = sums.south;
  ring.max_lat = sums.north;
  ring.area = sums.twice_area / 2;
  if (sums.twice_area != 0) {
    ring.centroid = {p0.lon + sums.cx / (3 * sums.twice_area),
                     p0.lat + sums.cy / (3 * sums.twice_area)};
  } else {
    ring.centroid = p0;
  }
  rings_.push_back(ring);
}

// Crossings of the ray from p towards east with the ring's edges.
size_t LabelPoint::Crossings(const Ring& ring, MapPoint p) const {
  if (p.lat < ring.min_lat || p.lat > ring.max_lat) return 0;
  return ring_math::CrossingsEast(ring_points_.data() + ring.begin, ring_points_.data() + ring.end,
                                  p.lon, p.lat);
}

bool LabelPoint::Inside(MapPoint p) const {
  size_t n = 0;
  for (const Ring& ring : rings_) n += Crossings(ring, p);
  return n % 2 == 1;
}

bool LabelPoint::WidestStretch(double lat, MapPoint& out) {
  crossings_.clear();
  for (const Ring& ring : rings_) {
    if (lat < ring.min_lat || lat > ring.max_lat) continue;
    ring_math::AddCrossings(ring_points_.data() + ring.begin, ring_points_.data() + ring.end, lat,
                            crossings_);
  }
  double lon = 0;
  if (!ring_math::WidestStretch(crossings_, lon)) return false;
  out = {lon, lat};
  return true;
}

// The centroid of the area: each ring's centroid weighted by its area, the
// areas of inner rings taken away.
bool LabelPoint::Area(MapPoint& out) {
  JoinRings();
  double total = 0, sum_lon = 0, sum_lat = 0;
  const Ring* largest = nullptr;
  for (const Ring& ring : rings_) {
    const double weight = (ring.inner ? -1 : 1) * std::abs(ring.area);
    total += weight;
    sum_lon += weight * ring.centroid.lon;
    sum_lat += weight * ring.centroid.lat;
    if (largest == nullptr || std::abs(ring.area) > std::abs(largest->area)) largest = &ring;
  }
  if (largest == nullptr || largest->area == 0) return Line(out);
  MapPoint centroid = largest->centroid;
  if (total > 0) centroid = {sum_lon / total, sum_lat / total};
  if (Inside(centroid)) {
    out = centroid;
    return true;
  }
  if (WidestStretch(centroid.lat, out)) return true;
  if (WidestStretch((largest->min_lat + largest->max_lat) / 2, out)) return true;
  out = ring_points_[largest->begin];
  return true;
}

}  // namespace toponyx::readers
