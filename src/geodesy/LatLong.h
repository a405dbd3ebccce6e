// A position as latitude and longitude in decimal degrees, north and east
// positive: what the conversions and the datum shift return.
#pragma once

namespace toponyx::geo {

struct LatLong {
  double lat;
  double lon;
};

}  // namespace toponyx::geo
