// libFuzzer target of datums.dat: a file of any content loaded into a
// datum table, then every datum it added used: looked up by its name and
// shifted to and from WGS 84, and converted to and from another datum of
// the file, at positions across the range the shift takes.
#include <string>

#include "FuzzSupport.h"
#include "geodesy/Datum.h"

namespace {

using namespace toponyx;

constexpr double kPositions[][2] = {{0.0, 0.0},     {10.0, 20.0}, {-41.3, 174.8}, {84.9, -178.9},
                                    {-85.0, 179.0}, {51.5, 90.0}, {0.0, -90.0}};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::MemoryFileSystem fs;
  fs.Put("/fuzz/datums.dat", std::string_view(reinterpret_cast<const char*>(data), size));
  geo::DatumTable table;
  const int32_t last = table.LoadDatumFile("/fuzz", fs);
  for (int32_t d = geo::kBuiltInDatums; d <= last; ++d) {
    const geo::Datum& datum = table.DatumAt(d);
    table.DatumIndex(datum.name);
    table.DatumKnown(datum.name);
    table.EllipsoidOf(d);
    for (const auto& p : kPositions) {
      geo::ShiftDatum(table, geo::ShiftDirection::kToWgs84, p[0], p[1], d);
      geo::ShiftDatum(table, geo::ShiftDirection::kFromWgs84, p[0], p[1], d);
      geo::ConvertDatum(table, d, last, p[0], p[1]);
      geo::ConvertDatum(table, geo::kOrdnanceSurveyDatum, d, p[0], p[1]);
    }
  }
  return 0;
}
