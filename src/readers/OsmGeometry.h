// Where a place that the map draws as a line or an area is put: one label
// point per object. The ways of an object are given with their nodes' ids
// (which join them) and positions:
//
//   - an area (a closed way, a multipolygon): the ways are joined into
//     rings at their shared end nodes; the label point is the centroid of
//     the area the rings enclose when it lies inside, else the middle of
//     the widest stretch inside along the parallel through the centroid.
//     What is inside follows the even-odd rule (holes, and islands in
//     holes, whatever the members' roles say); the centroid takes the
//     rings of inner members away from those of the outer ones.
//   - a line (an open way, the ways of a river): the point halfway along
//     the ways taken one after the other.
//
// The ways of an area that close no ring at all (a multipolygon cut by the
// edge of an extract) are taken as a line. Positions are degrees of
// longitude and latitude; lengths along a line count a degree of longitude
// as the cosine of its latitude, while areas and the inside test take the
// degrees as they are (inside or not does not depend on the scale).
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace toponyx::readers {

struct MapPoint {
  double lon = 0;
  double lat = 0;
};

class LabelPoint {
 public:
  // Starts the ways of a new object.
  void Clear();
  // One way: the ids of its first and last node (which join it to the
  // others), and the positions of its nodes that are known, in order;
  // `inner` for the inner member of a multipolygon.
  void AddWay(int64_t first, int64_t last, std::span<const MapPoint> points, bool inner = false);

  // The label point of the ways as an area (as a line where they close no
  // ring); false when no way has a known position.
  bool Area(MapPoint& out);
  // The point halfway along the ways; false when no way has a known
  // position.
  bool Line(MapPoint& out) const;

 private:
  struct Way {
    size_t begin = 0, end = 0;    // its points in points_
    int64_t first = 0, last = 0;  // the ids of its end nodes
    bool inner = false;
  };
  struct Ring {
    size_t begin = 0, end = 0;  // its points in ring_points_
    double min_lat = 0, max_lat = 0;
    double area = 0;     // as the shoelace formula gives it (signed)
    bool inner = false;  // made of inner members
    MapPoint centroid;
  };

  void JoinRings();
  void CloseRing(size_t begin, bool inner);
  // Even-odd: inside when a ray from p crosses the rings an odd number of
  // times.
  bool Inside(MapPoint p) const;
  size_t Crossings(const Ring& ring, MapPoint p) const;
  // The middle of the widest stretch inside the rings along the parallel of
  // latitude `lat`; false when the parallel meets none.
  bool WidestStretch(double lat, MapPoint& out);

  std::vector<MapPoint> points_;
  std::vector<Way> ways_;
  // Built by Area().
  std::vector<MapPoint> ring_points_;
  std::vector<Ring> rings_;
  std::vector<double> crossings_;
  std::vector<std::pair<int64_t, size_t>> ends_;  // end node id -> way
  std::vector<bool> used_;
};

}  // namespace toponyx::readers
