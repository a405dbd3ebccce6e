// The datum table, its look-ups, datums.dat and the datum shift.
#include "geodesy/Datum.h"
#include "geodesy/Trig.h"

#include <cmath>

#include "geodesy/BuiltInTables.h"
#include "platform/Error.h"
#include "platform/File.h"
#include "platform/System.h"
#include "text/LineReader.h"
#include "text/Text.h"

namespace toponyx::geo {
namespace {

constexpr std::string_view kWgs84Name = "WGS 84";
constexpr std::string_view kDatumFileName = "datums.dat";
constexpr size_t kMaxNameLength = 40;

// Angles inside the shift are radians, with this fixed degree factor (π/180
// with π taken as 3.141592653589793).
constexpr long double kDegree = 0.017453292519943295L;  // radians per degree

// ConvertDatum leaves positions beyond these bounds alone.
constexpr double kMaxShiftLatitude = 85.0;
constexpr double kMaxShiftLongitude = 179.0;

// Semi-major axis a and flattening f of a datum's ellipsoid.
struct AxisAndFlattening {
  long double a;
  long double f;
};

AxisAndFlattening AxisAndFlatteningOf(const DatumTable& table, int32_t datum) {
  const Ellipsoid& e = EllipsoidAt(table.DatumAt(datum).ellipsoid);
  return {e.a, 1.0L / static_cast<long double>(e.inverse_f)};
}

// The first of the used entries (0 to last) whose name equals name; -1 when
// there is none. The comparison is fixed at compile time: the look-ups are
// walks over the whole table.
template <bool kIgnoreCase>
int32_t FirstMatch(const std::array<Datum, kMaxDatums>& entries, int32_t last,
                   std::string_view name) {
  for (int32_t i = 0; i <= last; ++i) {
    const std::string& entry = entries[static_cast<size_t>(i)].name;
    if (kIgnoreCase ? text::EqualsIgnoreCase(entry, name) : entry == name) return i;
  }
  return -1;
}

}  // namespace

const Ellipsoid& EllipsoidAt(int32_t index) {
  if (index < 0 || index >= kEllipsoidCount) index = kWgs84Ellipsoid;
  return tables::kEllipsoids[index];
}

DatumTable::DatumTable() {
  FillBuiltIn();
}

void DatumTable::FillBuiltIn() {
  for (int32_t i = 0; i < kMaxDatums; ++i) {
    Datum& d = entries_[static_cast<size_t>(i)];
    if (i < kBuiltInDatums) {
      const tables::BuiltInDatum& b = tables::kBuiltInDatumTable[i];
      d = Datum{b.name, b.ellipsoid, b.dx, b.dy, b.dz};
    } else {
      d = Datum{std::string(), kWgs84Ellipsoid, 0, 0, 0};
    }
  }
  last_ = kBuiltInDatums - 1;
  wgs84_ = FirstMatch<true>(entries_, last_, kWgs84Name);
}

// One line of datums.dat: name, ellipsoid index, dX, dY, dZ, separated by
// commas. The name is field 1 trimmed of spaces; an empty name skips the
// line. Integer fields take their default when missing, empty or no integer.
void DatumTable::AddDatumLine(std::string_view line) {
  std::string_view name = text::GetField(line, 1, std::string_view(), ',');
  if (name.empty()) return;
  if (last_ >= kMaxDatums - 1) return;
  Datum& d = entries_[static_cast<size_t>(++last_)];
  d.name.assign(name.substr(0, kMaxNameLength));
  d.ellipsoid = text::GetIntField(line, 2, kWgs84Ellipsoid, ',');
  // There is no ellipsoid outside the table: such an entry uses WGS 84's.
  if (d.ellipsoid < 0 || d.ellipsoid >= kEllipsoidCount) d.ellipsoid = kWgs84Ellipsoid;
  d.dx = text::GetIntField(line, 3, 0, ',');
  d.dy = text::GetIntField(line, 4, 0, ',');
  d.dz = text::GetIntField(line, 5, 0, ',');
}

int32_t DatumTable::LoadDatumFile(const std::string& program_folder) {
  return LoadDatumFile(program_folder, platform::DefaultFileSystem());
}

int32_t DatumTable::LoadDatumFile(const std::string& program_folder, platform::FileSystem& fs) {
  FillBuiltIn();
  text::TextFile file(fs);
  if (!file.Open(platform::JoinPath(program_folder, kDatumFileName))) return last_;
  try {
    std::string line;
    // Once the table is full every further line would be skipped.
    while (last_ < kMaxDatums - 1 && !file.Eof()) {
      file.ReadLine(line);
      AddDatumLine(line);
    }
  } catch (const Error&) {
    // A file that breaks off while it is read adds nothing, so the table
    // never depends on where the read failed.
    FillBuiltIn();
    return last_;
  }
  wgs84_ = FirstMatch<true>(entries_, last_, kWgs84Name);
  return last_;
}

const Datum& DatumTable::DatumAt(int32_t index) const {
  if (index < 0 || index > last_) index = wgs84_;
  return entries_[static_cast<size_t>(index)];
}

int32_t DatumTable::DatumIndex(std::string_view name) const {
  const int32_t i = FirstMatch<true>(entries_, last_, name);
  return i >= 0 ? i : wgs84_;
}

bool DatumTable::DatumKnown(std::string_view name) const {
  return FirstMatch<false>(entries_, last_, name) >= 0;
}

// e² = 2f − f², with f the reciprocal of the table's 1/f.
EllipsoidShape DatumTable::EllipsoidOf(int32_t datum) const {
  const Ellipsoid& e = EllipsoidAt(DatumAt(datum).ellipsoid);
  const long double f = 1.0L / static_cast<long double>(e.inverse_f);
  return {e.a, static_cast<double>(2.0L * f - f * f)};
}

DatumTable& DefaultDatumTable() {
  static DatumTable table;
  return table;
}

int32_t LoadDatumFile() {
  return LoadDatumFile(platform::ProgramFolder());
}

int32_t LoadDatumFile(const std::string& program_folder) {
  return DefaultDatumTable().LoadDatumFile(program_folder);
}

// Positions at (0, 0), beyond ±85° latitude or ±179° longitude, or between
// equal datums stay as they are; the bounds themselves are converted.
LatLong ConvertDatum(const DatumTable& table, int32_t from, int32_t to, double lat, double lon) {
  if (lat == 0.0 && lon == 0.0) return {lat, lon};
  if (from == to) return {lat, lon};
  if (lat > kMaxShiftLatitude || lat < -kMaxShiftLatitude) return {lat, lon};
  if (lon > kMaxShiftLongitude || lon < -kMaxShiftLongitude) return {lat, lon};
  const LatLong wgs84 = ShiftDatum(table, ShiftDirection::kToWgs84, lat, lon, from);
  return ShiftDatum(table, ShiftDirection::kFromWgs84, wgs84.lat, wgs84.lon, to);
}

// One step of the shift, through geocentric coordinates. The point lies on
// the source ellipsoid (no height); the translated point is put back on the
// target ellipsoid along its geocentric direction.
//
//   b = a (1 − f),  e² = 2f − f²,  φ, λ the latitude and longitude
//   ψ = atan(tan φ · (1 − e_s²))                  geocentric latitude
//   r = a b / √(a² tan²ψ + b²)                    distance from the axis
//   X = r / √(tan²λ + 1),  Y = |tan λ| X           signs from the quadrant of λ
//   Z = r tan ψ
//   (X', Y', Z') = (X, Y, Z) − (tX, tY, tZ)
//   φ' = atan(Z' / ((1 − e_t²) √(X'² + Y'²)))
//   λ' = atan(Y' / X'), moved by ±180° when X' < 0
//
// Exact poles, the equator and the ±90° meridians are taken apart, where
// tan would be unbounded or ψ = φ exactly.
LatLong ShiftDatum(const DatumTable& table, ShiftDirection direction, double lat, double lon,
                   int32_t datum) {
  // An index outside the table stands for WGS 84, as DatumAt has it.
  const int32_t wgs84 = table.Wgs84Index();
  if (datum < 0 || datum > table.LastDatumIndex() || datum == wgs84) return {lat, lon};
  const Datum& d = table.DatumAt(datum);

  const bool to_wgs84 = direction == ShiftDirection::kToWgs84;
  const AxisAndFlattening source = AxisAndFlatteningOf(table, to_wgs84 ? datum : wgs84);
  const AxisAndFlattening target = AxisAndFlatteningOf(table, to_wgs84 ? wgs84 : datum);
  const long double a_s = source.a, f_s = source.f, f_t = target.f;
  // The translation from the source datum to the target one, turned in
  // whole numbers: a zero stays +0, and the most negative 32-bit value has
  // its opposite.
  const int64_t sign = to_wgs84 ? -1 : 1;
  const long double tX = static_cast<long double>(sign * d.dx);
  const long double tY = static_cast<long double>(sign * d.dy);
  const long double tZ = static_cast<long double>(sign * d.dz);

  const long double b_s = a_s * (1.0L - f_s);
  const long double e2_s = 2.0L * f_s - f_s * f_s;
  const long double e2_t = 2.0L * f_t - f_t * f_t;
  const long double phi = lat * kDegree;
  const long double lambda = lon * kDegree;

  // tan ψ itself is all that is needed of ψ: tan(atan(t)) = t.
  const bool equator_or_pole = lat == 0.0 || lat == 90.0 || lat == -90.0;
  const long double tan_phi = trig::Tan(phi);
  const long double tan_psi = equator_or_pole ? tan_phi : tan_phi * (1.0L - e2_s);
  const long double r = a_s * b_s / std::sqrt(a_s * a_s * tan_psi * tan_psi + b_s * b_s);

  long double X, Y;
  if (lon == 90.0 || lon == -90.0) {
    X = 0.0L;
    Y = r;
  } else {
    const long double tan_lambda = trig::Tan(lambda);
    X = r / std::sqrt(tan_lambda * tan_lambda + 1.0L);
    Y = std::fabs(tan_lambda) * X;
  }
  if (lon < -90.0 || lon > 90.0) X = -X;
  if (lon < 0.0) Y = -Y;

  long double Z;
  if (lat == 90.0) {
    Z = b_s;
  } else if (lat == -90.0) {
    Z = -b_s;
  } else {
    Z = r * tan_psi;
  }

  const long double X1 = X - tX;
  const long double Y1 = Y - tY;
  const long double Z1 = Z - tZ;

  const long double p = std::sqrt(X1 * X1 + Y1 * Y1);
  const long double lat1 = std::atan(Z1 / ((1.0L - e2_t) * p)) / kDegree;

  long double lon1;
  if (X1 == 0.0L) {
    // Y'/X' is an infinity of the sign of Y'.
    lon1 = std::signbit(Y1) ? -90.0L : 90.0L;
  } else {
    lon1 = std::atan(Y1 / X1) / kDegree;
    if (X1 < 0.0L) lon1 += Y1 > 0.0L ? 180.0L : -180.0L;
  }
  return {static_cast<double>(lat1), static_cast<double>(lon1)};
}

}  // namespace toponyx::geo
