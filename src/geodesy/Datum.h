// The datum table and the datum shift. A datum table holds the 121 built-in
// datums, extended by up to 10 entries from datums.dat, beside the fixed
// ellipsoid table; it is filled once and read-only afterwards. The
// process-wide table (DefaultDatumTable) is the one the front ends fill at
// start; tests and other callers may build their own. Angles are decimal
// degrees, north and east positive.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "geodesy/LatLong.h"

namespace toponyx::platform {
class FileSystem;
}

namespace toponyx::geo {

inline constexpr int32_t kWgs84Datum = 118;          // "WGS 84"
inline constexpr int32_t kOrdnanceSurveyDatum = 88;  // "Ord Srvy Grt Britn"
inline constexpr int32_t kBuiltInDatums = 121;       // indices 0 to 120
inline constexpr int32_t kMaxDatums = 131;           // indices 0 to 130
inline constexpr int32_t kEllipsoidCount = 30;
inline constexpr int32_t kWgs84Ellipsoid = 20;

struct Ellipsoid {
  const char* name;
  double a;          // semi-major axis, metres
  double inverse_f;  // 1/f
};

struct Datum {
  std::string name;  // at most 40 characters
  int32_t ellipsoid;
  int32_t dx, dy, dz;  // metres, from this datum to WGS 84
};

// Semi-major axis (metres) and squared eccentricity of an ellipsoid.
struct EllipsoidShape {
  double a;
  double e2;
};

// An ellipsoid index outside 0 to 29 gives the WGS 84 ellipsoid: a bad index
// never reads past the table.
const Ellipsoid& EllipsoidAt(int32_t index);

class DatumTable {
 public:
  // The 121 built-in entries.
  DatumTable();

  // Loads <program_folder>/datums.dat into the table (after resetting it to
  // the built-in entries); returns the last used index. A file that cannot
  // be opened or read leaves the built-in table alone.
  int32_t LoadDatumFile(const std::string& program_folder);
  int32_t LoadDatumFile(const std::string& program_folder, platform::FileSystem& fs);

  int32_t LastDatumIndex() const { return last_; }
  // The index DatumIndex gives for "WGS 84".
  int32_t Wgs84Index() const { return wgs84_; }

  // An index outside 0 to LastDatumIndex() gives the WGS 84 entry.
  const Datum& DatumAt(int32_t index) const;
  // First datum whose name equals name ignoring ASCII case; WGS 84 otherwise.
  int32_t DatumIndex(std::string_view name) const;
  // True when some datum's name equals name exactly.
  bool DatumKnown(std::string_view name) const;
  // The shape of the datum's ellipsoid.
  EllipsoidShape EllipsoidOf(int32_t datum) const;

 private:
  void FillBuiltIn();
  void AddDatumLine(std::string_view line);

  std::array<Datum, kMaxDatums> entries_;
  int32_t last_ = -1;
  // The table changes only while it is filled, so the walk for "WGS 84" is
  // done once per filling.
  int32_t wgs84_ = kWgs84Datum;
};

// The process-wide table: the built-in entries until a front end loads
// datums.dat into it at start.
DatumTable& DefaultDatumTable();

// Loads datums.dat into the process-wide table, from the given folder or the
// program folder; returns the last used index.
int32_t LoadDatumFile();
int32_t LoadDatumFile(const std::string& program_folder);

// The shift takes the latitude and longitude as two numbers, not as a
// LatLong: a LatLong argument is handed over by storing its halves and
// reading them back as one block, a read that waits for the stores (a few
// per cent of a shift).

// Moves (lat, lon) from datum `from` to datum `to` through WGS 84; unchanged
// for (0, 0), equal indices, |lat| > 85 or |lon| > 179.
LatLong ConvertDatum(const DatumTable& table, int32_t from, int32_t to, double lat, double lon);

enum class ShiftDirection { kToWgs84, kFromWgs84 };
// One step: from `datum` to WGS 84, or from WGS 84 to `datum`. An index
// outside the table stands for WGS 84 and leaves the position alone.
LatLong ShiftDatum(const DatumTable& table, ShiftDirection direction, double lat, double lon,
                   int32_t datum);

}  // namespace toponyx::geo
