// The fixed ellipsoid and datum tables, in their interface order.
#pragma once

#include <cstdint>

#include "geodesy/Datum.h"

namespace toponyx::geo::tables {

struct BuiltInDatum {
  const char* name;
  int32_t ellipsoid;
  int32_t dx, dy, dz;
};

extern const Ellipsoid kEllipsoids[kEllipsoidCount];
extern const BuiltInDatum kBuiltInDatumTable[kBuiltInDatums];

}  // namespace toponyx::geo::tables
