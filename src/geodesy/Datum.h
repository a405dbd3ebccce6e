// The datum table and the datum shift. One process-wide table, filled once
// at start (121 built-in datums, then up to 10 from datums.dat) and read-only
// afterwards. Angles are decimal degrees, north and east positive.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

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

// Loads <folder>/datums.dat into the table (after resetting it to the
// built-in entries); returns the last used index. The one-argument-less form
// uses the program folder.
int32_t LoadDatumFile();
int32_t LoadDatumFile(const std::string& program_folder);
// The same through the given file system. A file that cannot be opened or
// read leaves the built-in table alone.
int32_t LoadDatumFile(const std::string& program_folder, platform::FileSystem& fs);
// Back to the 121 built-in entries (tests).
void ResetDatumTable();

int32_t LastDatumIndex();
// An index outside 0 to LastDatumIndex() gives the WGS 84 entry, and an
// ellipsoid index outside 0 to 29 the WGS 84 ellipsoid: a bad index never
// reads past a table.
const Datum& DatumAt(int32_t index);
const Ellipsoid& EllipsoidAt(int32_t index);

// First datum whose name equals name ignoring ASCII case; WGS 84 otherwise.
int32_t DatumIndex(std::string_view name);
// True when some datum's name equals name exactly.
bool DatumKnown(std::string_view name);
// Semi-major axis and squared eccentricity of the datum's ellipsoid.
void EllipsoidOf(int32_t datum, double& a, double& e2);

// Moves (lat, lon) from datum `from` to datum `to` through WGS 84; unchanged
// for (0, 0), equal indices, |lat| > 85 or |lon| > 179.
void ConvertDatum(int32_t from, int32_t to, double& lat, double& lon);
// One step: to_wgs84 set moves from `datum` to WGS 84, clear the other way.
void ShiftDatum(bool to_wgs84, double& lat, double& lon, int32_t datum);

}  // namespace toponyx::geo
