#include "readers/Shapes.h"

#include "readers/RingMath.h"

#include <algorithm>
#include <cmath>

namespace toponyx::readers {

namespace {

constexpr double kDegree = 3.14159265358979323846 / 180;

bool OnTheGlobe(double lat, double lon) {
  return std::isfinite(lat) && std::isfinite(lon) && std::fabs(lat) <= 90 && std::fabs(lon) <= 180;
}

}  // namespace

void ShapePoints::Clear() {
  points_.clear();
  rings_.clear();
  stride_ = 1;
  in_ring_ = 0;
  ring_open_ = false;
}

void ShapePoints::StartRing() {
  ring_open_ = false;  // the ring begins with its first point
}

void ShapePoints::Add(double lon, double lat) {
  if (!std::isfinite(lon) || !std::isfinite(lat)) return;
  if (!ring_open_) {
    rings_.push_back(points_.size());
    in_ring_ = 0;
    ring_open_ = true;
  }
  if (in_ring_++ % stride_ != 0) return;
  points_.push_back({lon, lat});
  if (points_.size() >= capacity_) Thin();
}

// Every second point of each ring goes (its first point stays), and from
// now on only every stride-th point of a ring is taken.
void ShapePoints::Thin() {
  size_t out = 0;
  for (size_t r = 0; r < rings_.size(); ++r) {
    const size_t first = rings_[r], end = RingEnd(r);
    rings_[r] = out;
    for (size_t i = first; i < end; i += 2) points_[out++] = points_[i];
  }
  points_.resize(out);
  stride_ *= 2;
}

size_t ShapePoints::RingEnd(size_t ring) const {
  return ring + 1 < rings_.size() ? rings_[ring + 1] : points_.size();
}

bool ShapePoints::Where(Kind kind, double& lat, double& lon) const {
  if (points_.empty()) return false;
  bool found = false;
  if (kind == Kind::kPoint) {
    lat = points_[0].lat;
    lon = points_[0].lon;
    found = true;
  } else if (kind == Kind::kLine || RingEnd(0) < 3) {
    found = Halfway(0, RingEnd(0), lat, lon);
  } else {
    found = Inside(lat, lon);
  }
  return found && OnTheGlobe(lat, lon);
}

// Lengths as on a small map of the line: degrees of longitude shrink with
// the cosine of the latitude.
bool ShapePoints::Halfway(size_t first, size_t end, double& lat, double& lon) const {
  auto length = [this](size_t i) {
    const Vertex& a = points_[i - 1];
    const Vertex& b = points_[i];
    const double dx = (b.lon - a.lon) * std::cos((a.lat + b.lat) / 2 * kDegree);
    return std::hypot(dx, b.lat - a.lat);
  };
  double total = 0;
  for (size_t i = first + 1; i < end; ++i) total += length(i);
  lat = points_[first].lat;
  lon = points_[first].lon;
  if (!(total > 0) || !std::isfinite(total)) return true;
  double left = total / 2;
  for (size_t i = first + 1; i < end; ++i) {
    const double step = length(i);
    if (step >= left && step > 0) {
      const double t = left / step;
      lat = points_[i - 1].lat + t * (points_[i].lat - points_[i - 1].lat);
      lon = points_[i - 1].lon + t * (points_[i].lon - points_[i - 1].lon);
      return true;
    }
    left -= step;
  }
  lat = points_[end - 1].lat;
  lon = points_[end - 1].lon;
  return true;
}

// The centre of the outline (the centroid of its area); when that lies
// outside the area (a crescent, a ring round a lake), the middle of the
// widest stretch inside along the parallel through it.
bool ShapePoints::Inside(double& lat, double& lon) const {
  const size_t end = RingEnd(0);
  const Vertex origin = points_[0];
  const ring_math::RingSums sums = ring_math::Sums(points_.data(), points_.data() + end);
  const double twice_area = sums.twice_area, cx = sums.cx, cy = sums.cy;
  const double south = sums.south, north = sums.north;
  double x, y;
  if (std::fabs(twice_area) > 1e-18) {
    x = origin.lon + cx / (3 * twice_area);
    y = origin.lat + cy / (3 * twice_area);
  } else {
    x = y = 0;
    for (size_t i = 0; i < end; ++i) {
      x += points_[i].lon;
      y += points_[i].lat;
    }
    x /= static_cast<double>(end);
    y /= static_cast<double>(end);
  }
  if (Covers(x, y)) {
    lat = y;
    lon = x;
    return true;
  }
  for (const double parallel : {y, (south + north) / 2}) {
    crossings_.clear();
    for (size_t r = 0; r < rings_.size(); ++r) {
      ring_math::AddCrossings(points_.data() + rings_[r], points_.data() + RingEnd(r), parallel,
                              crossings_);
    }
    if (ring_math::WidestStretch(crossings_, lon)) {
      lat = parallel;
      return true;
    }
  }
  lat = origin.lat;
  lon = origin.lon;
  return true;
}

bool ShapePoints::Covers(double x, double y) const {
  size_t n = 0;
  for (size_t r = 0; r < rings_.size(); ++r) {
    n += ring_math::CrossingsEast(points_.data() + rings_[r], points_.data() + RingEnd(r), x, y);
  }
  return n % 2 == 1;
}

}  // namespace toponyx::readers
