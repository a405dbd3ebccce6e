// Where the shapes of map files (KML, GeoJSON) stand as one place: a point
// where it is, a line at the point halfway along it, an area at a point
// inside it. The points of one shape are collected as they stream past, in
// memory that does not grow without end: a shape of more points than the
// collection holds keeps every second one, then every fourth, and so on,
// which moves the halfway point or the inner point by little.
#pragma once

#include <cstddef>
#include <vector>

namespace toponyx::readers {

class ShapePoints {
 public:
  enum class Kind { kPoint, kLine, kArea };

  // At most this many points are held (16 bytes each).
  static constexpr size_t kDefaultCapacity = size_t{1} << 20;
  explicit ShapePoints(size_t capacity = kDefaultCapacity)
      : capacity_(capacity < 4 ? 4 : capacity) {}

  void Clear();
  // The next ring of an area (the first is its outline, the others its
  // holes), or the next part of a line. The first Add starts one by itself.
  void StartRing();
  // A point in WGS 84 degrees; points that are no finite numbers are
  // passed over.
  void Add(double lon, double lat);
  bool empty() const { return points_.empty(); }
  size_t size() const { return points_.size(); }

  // The place's position: a point's first point, the point halfway along a
  // line's first part, a point inside an area (its centre when that lies
  // inside it, else the middle of the widest stretch inside it along the
  // parallel through the centre). False when there is no point, or the
  // position lies outside -90..90 and -180..180.
  bool Where(Kind kind, double& lat, double& lon) const;

 private:
  struct Vertex {
    double lon, lat;
  };
  bool Halfway(size_t first, size_t end, double& lat, double& lon) const;
  bool Inside(double& lat, double& lon) const;
  bool Covers(double x, double y) const;  // even-odd over every ring
  size_t RingEnd(size_t ring) const;
  void Thin();

  size_t capacity_;
  std::vector<Vertex> points_;
  std::vector<size_t> rings_;  // index of each ring's first point
  size_t stride_ = 1;          // every stride-th point of a ring is kept
  size_t in_ring_ = 0;         // points of the current ring met so far
  bool ring_open_ = false;
  mutable std::vector<double> crossings_;
};

}  // namespace toponyx::readers
