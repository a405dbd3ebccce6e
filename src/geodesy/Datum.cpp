// The process-wide datum table, its look-ups, datums.dat and the datum shift.
#include "geodesy/Datum.h"
#include "geodesy/Trig.h"

#include <array>
#include <cmath>

#include "geodesy/DatumTables.h"
#include "platform/Error.h"
#include "platform/File.h"
#include "platform/System.h"
#include "text/LineReader.h"
#include "text/Text.h"

namespace toponyx::geo {
namespace {

// Angles inside the shift are radians, with this fixed degree factor (π/180
// with π taken as 3.141592653589793).
constexpr long double kDegree = 0.017453292519943295L;  // radians per degree

constexpr std::string_view kWgs84Name = "WGS 84";
constexpr std::string_view kDatumFileName = "datums.dat";
constexpr size_t kMaxNameLength = 40;

// ConvertDatum leaves positions beyond these bounds alone.
constexpr double kMaxShiftLatitude = 85.0;
constexpr double kMaxShiftLongitude = 179.0;

struct DatumTable {
  std::array<Datum, kMaxDatums> entries;
  int32_t last = -1;
  // The index DatumIndex gives for "WGS 84": the table changes only while
  // it is filled, so the walk is done once per filling.
  int32_t wgs84 = kWgs84Datum;
};

int32_t FirstMatch(const DatumTable& table, std::string_view name, bool ignore_case) {
  for (int32_t i = 0; i <= table.last; ++i) {
    const std::string& entry = table.entries[static_cast<size_t>(i)].name;
    if (ignore_case ? text::EqualsIgnoreCase(entry, name) : entry == name) return i;
  }
  return -1;
}

void FillBuiltIn(DatumTable& table) {
  for (int32_t i = 0; i < kMaxDatums; ++i) {
    Datum& d = table.entries[static_cast<size_t>(i)];
    if (i < kBuiltInDatums) {
      const tables::BuiltInDatum& b = tables::kBuiltInDatumTable[i];
      d = Datum{b.name, b.ellipsoid, b.dx, b.dy, b.dz};
    } else {
      d = Datum{std::string(), kWgs84Ellipsoid, 0, 0, 0};
    }
  }
  table.last = kBuiltInDatums - 1;
  table.wgs84 = FirstMatch(table, kWgs84Name, true);
}

DatumTable& Table() {
  static DatumTable table = [] {
    DatumTable t;
    FillBuiltIn(t);
    return t;
  }();
  return table;
}

// One line of datums.dat: name, ellipsoid index, dX, dY, dZ, separated by
// commas. The name is field 1 trimmed of spaces; an empty name skips the
// line. Integer fields take their default when missing, empty or no integer.
void AddDatumLine(DatumTable& table, std::string_view line) {
  std::string_view name = text::GetField(line, 1, std::string_view(), ',');
  if (name.empty()) return;
  if (table.last >= kMaxDatums - 1) return;
  Datum& d = table.entries[static_cast<size_t>(++table.last)];
  d.name.assign(name.substr(0, kMaxNameLength));
  d.ellipsoid = text::GetIntField(line, 2, kWgs84Ellipsoid, ',');
  // There is no ellipsoid outside the table: such an entry uses WGS 84's.
  if (d.ellipsoid < 0 || d.ellipsoid >= kEllipsoidCount) d.ellipsoid = kWgs84Ellipsoid;
  d.dx = text::GetIntField(line, 3, 0, ',');
  d.dy = text::GetIntField(line, 4, 0, ',');
  d.dz = text::GetIntField(line, 5, 0, ',');
}

}  // namespace

void ResetDatumTable() {
  FillBuiltIn(Table());
}

int32_t LoadDatumFile() {
  return LoadDatumFile(platform::ProgramFolder());
}

int32_t LoadDatumFile(const std::string& program_folder) {
  return LoadDatumFile(program_folder, platform::DefaultFileSystem());
}

int32_t LoadDatumFile(const std::string& program_folder, platform::FileSystem& fs) {
  DatumTable& table = Table();
  FillBuiltIn(table);
  text::TextFile file(fs);
  if (!file.Open(platform::JoinPath(program_folder, kDatumFileName))) return table.last;
  try {
    std::string line;
    // Once the table is full every further line would be skipped.
    while (table.last < kMaxDatums - 1 && !file.Eof()) {
      file.ReadLine(line);
      AddDatumLine(table, line);
    }
  } catch (const Error&) {
    // A file that breaks off while it is read adds nothing, so the table
    // never depends on where the read failed.
    FillBuiltIn(table);
    return table.last;
  }
  table.wgs84 = FirstMatch(table, kWgs84Name, true);
  return table.last;
}

int32_t LastDatumIndex() {
  return Table().last;
}

const Datum& DatumAt(int32_t index) {
  const DatumTable& table = Table();
  if (index < 0 || index > table.last) index = table.wgs84;
  return table.entries[static_cast<size_t>(index)];
}

const Ellipsoid& EllipsoidAt(int32_t index) {
  if (index < 0 || index >= kEllipsoidCount) index = kWgs84Ellipsoid;
  return tables::kEllipsoids[index];
}

int32_t DatumIndex(std::string_view name) {
  const DatumTable& table = Table();
  int32_t i = FirstMatch(table, name, true);
  return i >= 0 ? i : table.wgs84;
}

bool DatumKnown(std::string_view name) {
  return FirstMatch(Table(), name, false) >= 0;
}

namespace {

// Semi-major axis a and flattening f of a datum's ellipsoid.
void AxisAndFlattening(int32_t datum, long double& a, long double& f) {
  const Ellipsoid& e = EllipsoidAt(DatumAt(datum).ellipsoid);
  a = e.a;
  f = 1.0L / static_cast<long double>(e.inverse_f);
}

}  // namespace

// e² = 2f − f², with f the reciprocal of the table's 1/f.
void EllipsoidOf(int32_t datum, double& a, double& e2) {
  long double a_l;
  long double f;
  AxisAndFlattening(datum, a_l, f);
  a = static_cast<double>(a_l);
  e2 = static_cast<double>(2.0L * f - f * f);
}

// Positions at (0, 0), beyond ±85° latitude or ±179° longitude, or between
// equal datums stay as they are; the bounds themselves are converted.
void ConvertDatum(int32_t from, int32_t to, double& lat, double& lon) {
  if (lat == 0.0 && lon == 0.0) return;
  if (from == to) return;
  if (lat > kMaxShiftLatitude || lat < -kMaxShiftLatitude) return;
  if (lon > kMaxShiftLongitude || lon < -kMaxShiftLongitude) return;
  ShiftDatum(true, lat, lon, from);
  ShiftDatum(false, lat, lon, to);
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
void ShiftDatum(bool to_wgs84, double& lat, double& lon, int32_t datum) {
  // An index outside the table stands for WGS 84, as DatumAt has it.
  const DatumTable& table = Table();
  if (datum < 0 || datum > table.last || datum == table.wgs84) return;
  const Datum& d = DatumAt(datum);

  long double a_s, f_s, a_t, f_t;
  long double tX, tY, tZ;
  if (to_wgs84) {
    AxisAndFlattening(datum, a_s, f_s);
    AxisAndFlattening(table.wgs84, a_t, f_t);
    tX = -d.dx;
    tY = -d.dy;
    tZ = -d.dz;
  } else {
    AxisAndFlattening(table.wgs84, a_s, f_s);
    AxisAndFlattening(datum, a_t, f_t);
    tX = d.dx;
    tY = d.dy;
    tZ = d.dz;
  }

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
  lat = static_cast<double>(std::atan(Z1 / ((1.0L - e2_t) * p)) / kDegree);

  long double lon1;
  if (X1 == 0.0L) {
    // Y'/X' is an infinity of the sign of Y'.
    lon1 = std::signbit(Y1) ? -90.0L : 90.0L;
  } else {
    lon1 = std::atan(Y1 / X1) / kDegree;
    if (X1 < 0.0L) lon1 += Y1 > 0.0L ? 180.0L : -180.0L;
  }
  lon = static_cast<double>(lon1);
}

}  // namespace toponyx::geo
