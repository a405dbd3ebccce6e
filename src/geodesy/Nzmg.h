// New Zealand Map Grid to latitude and longitude on the grid's own datum.
#pragma once

#include <complex>

namespace toponyx::geo {

// The value the iteration gives when it does not settle (before scaling).
inline constexpr double kNzmgFailed = 999999999.0;

// Latitude and longitude in degrees; a failed iteration yields
// kNzmgFailed * 57.29577951308232 and 173 more (see NzmgFailed).
void NzmgToLatLong(double& lat, double& lon, double easting, double northing);
// True when (lat, lon) is the failure marker of NzmgToLatLong.
bool NzmgFailed(double lat, double lon);

}  // namespace toponyx::geo
