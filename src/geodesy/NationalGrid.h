// The British National Grid: eastings and northings of OS Open Names and
// every other Ordnance Survey product of today, to WGS 84 latitude and
// longitude.
#pragma once

#include "geodesy/LatLong.h"

namespace toponyx::geo {

// Inverse transverse Mercator of the National Grid on the Airy 1830
// ellipsoid (true origin 49°N 2°W, scale 0.9996012717, false easting
// 400 000 m, false northing -100 000 m): the position on OSGB36.
LatLong NationalGridToOsgb36(double easting, double northing);

// OSGB36 to WGS 84 by the seven-parameter Helmert transformation the
// national mapping agency publishes for it (stated accuracy 2 m), heights
// taken as zero on the Airy ellipsoid.
LatLong Osgb36ToWgs84(LatLong osgb36);

// Both, in that order.
inline LatLong NationalGridToWgs84(double easting, double northing) {
  return Osgb36ToWgs84(NationalGridToOsgb36(easting, northing));
}

}  // namespace toponyx::geo
