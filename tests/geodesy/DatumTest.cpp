#include "geodesy/Datum.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "support/FaultFileSystem.h"
#include "support/TempDir.h"

namespace toponyx::geo {
namespace {

using testing::TempDir;
using testing::WriteFileBytes;

class DatumTest : public ::testing::Test {
 protected:
  void SetUp() override { ResetDatumTable(); }
  void TearDown() override { ResetDatumTable(); }

  // Loads a datums.dat with the given bytes; returns the last used index.
  int32_t Load(std::string_view bytes) {
    WriteFileBytes(dir_.File("datums.dat"), bytes);
    return LoadDatumFile(dir_.path());
  }

  TempDir dir_;
};

void ExpectDatum(int32_t index, std::string_view name, int32_t ellipsoid, int32_t dx, int32_t dy,
                 int32_t dz) {
  const Datum& d = DatumAt(index);
  EXPECT_EQ(d.name, name) << index;
  EXPECT_EQ(d.ellipsoid, ellipsoid) << index;
  EXPECT_EQ(d.dx, dx) << index;
  EXPECT_EQ(d.dy, dy) << index;
  EXPECT_EQ(d.dz, dz) << index;
}

TEST_F(DatumTest, BuiltInEntriesKeepTheirIndices) {
  EXPECT_EQ(LastDatumIndex(), 120);
  ExpectDatum(0, "Auto Shift .....", 20, 0, 0, 0);
  ExpectDatum(32, "European 1950", 14, -87, -98, -121);
  ExpectDatum(88, "Ord Srvy Grt Britn", 0, 375, -111, 431);
  ExpectDatum(99, "Reunion", 14, 94, -948, -1262);
  ExpectDatum(103, std::string("S42") + std::string(8, ' '), 15, 28, -121, -77);
  ExpectDatum(117, "WGS 72", 19, 0, 0, 5);
  ExpectDatum(118, "WGS 84", 20, 0, 0, 0);
  ExpectDatum(120, "Zanderij", 14, -265, 120, -358);
}

TEST_F(DatumTest, EllipsoidsGiveAxisAndSquaredEccentricity) {
  EXPECT_STREQ(EllipsoidAt(20).name, "WGS 84");
  double a, e2;
  EllipsoidOf(kWgs84Datum, a, e2);
  EXPECT_EQ(a, 6378137.0);
  EXPECT_NEAR(e2, 0.00669437999014, 1e-14);  // the published WGS 84 value
  EllipsoidOf(kOrdnanceSurveyDatum, a, e2);
  EXPECT_EQ(a, 6377563.396);
  // From the published semi-minor axis b = 6 356 256.909 m: (a² − b²)/a².
  EXPECT_NEAR(e2, 0.00667054007415, 1e-9);
}

TEST_F(DatumTest, BadIndicesFallBackToWgs84) {
  EXPECT_EQ(DatumAt(-1).name, "WGS 84");
  EXPECT_EQ(DatumAt(121).name, "WGS 84");  // beyond the last used index
  EXPECT_EQ(DatumAt(100000).name, "WGS 84");
  EXPECT_STREQ(EllipsoidAt(30).name, "WGS 84");
  EXPECT_STREQ(EllipsoidAt(-5).name, "WGS 84");
  double lat = 54.0, lon = -2.0;
  ShiftDatum(true, lat, lon, 500);
  EXPECT_EQ(lat, 54.0);
  EXPECT_EQ(lon, -2.0);
}

TEST_F(DatumTest, DatumIndexIgnoresCaseButNotBlanks) {
  EXPECT_EQ(DatumIndex("WGS 84"), 118);
  EXPECT_EQ(DatumIndex("wgs 84"), 118);
  EXPECT_EQ(DatumIndex("european 1950"), 32);
  EXPECT_EQ(DatumIndex("ord srvy grt britn"), 88);
  EXPECT_EQ(DatumIndex("auto shift ....."), 0);
  EXPECT_EQ(DatumIndex("s42        "), 103);
  // No trimming: these fall back to WGS 84.
  EXPECT_EQ(DatumIndex("european 1950 "), 118);
  EXPECT_EQ(DatumIndex(" European 1950"), 118);
  EXPECT_EQ(DatumIndex("S42"), 118);
  EXPECT_EQ(DatumIndex(""), 118);
  EXPECT_EQ(DatumIndex("Atlantis"), 118);
}

TEST_F(DatumTest, DatumKnownIsExact) {
  EXPECT_TRUE(DatumKnown("WGS 84"));
  EXPECT_TRUE(DatumKnown("S42        "));
  EXPECT_FALSE(DatumKnown("wgs 84"));
  EXPECT_FALSE(DatumKnown("WGS84"));
  EXPECT_FALSE(DatumKnown("WGS 84 "));
  EXPECT_FALSE(DatumKnown("S42"));
  EXPECT_FALSE(DatumKnown(""));  // the unused entries are not searched
}

// --- datums.dat ---------------------------------------------------------------

TEST_F(DatumTest, DatumFileLinesAddEntriesWithDefaults) {
  const int32_t last = Load(
      "My Datum, 14, -87, -98, -121\n"
      "Only A Name\n"
      ",14,1,2,3\n"  // no name: skipped
      "\n"
      "     \n"
      "  Spaced Name  ,3,1\n"
      "Extra,1,2,3,4,5,6\n"
      "Windows Line,5,6,7,8\r\n"
      "\tTabbed,2\n"
      "Empty Fields,,,,9\n"
      "WGS 84,14,100,100,100\n"  // stored, but the built-in entry is found first
      "No Newline At End,7");
  EXPECT_EQ(last, 129);
  EXPECT_EQ(LastDatumIndex(), 129);
  ExpectDatum(121, "My Datum", 14, -87, -98, -121);
  ExpectDatum(122, "Only A Name", 20, 0, 0, 0);
  ExpectDatum(123, "Spaced Name", 3, 1, 0, 0);
  ExpectDatum(124, "Extra", 1, 2, 3, 4);
  ExpectDatum(125, "Windows Line", 5, 6, 7, 8);
  ExpectDatum(126, "\tTabbed", 2, 0, 0, 0);  // only spaces are trimmed
  ExpectDatum(127, "Empty Fields", 20, 0, 0, 9);
  ExpectDatum(128, "WGS 84", 14, 100, 100, 100);
  ExpectDatum(129, "No Newline At End", 7, 0, 0, 0);
  ExpectDatum(118, "WGS 84", 20, 0, 0, 0);
  EXPECT_EQ(DatumIndex("WGS 84"), 118);

  EXPECT_EQ(DatumIndex("my datum"), 121);
  EXPECT_TRUE(DatumKnown("Spaced Name"));
  EXPECT_FALSE(DatumKnown("  Spaced Name  "));
}

TEST_F(DatumTest, DatumFileNumbersAreReadLoosely) {
  Load(
      "Bad,12.5,--5,x,\n"         // "12 5", "--5", nothing, empty: defaults
      "Signs,+3,-7, 1 0 ,abc9\n"  // "1 0" has a blank inside
      "Letters,e1,N51,5-,+\n"     // "1" and "51" remain; "5-" and "+" are none
      "Big,2147483648,2147483647,-2147483648,99999999999\n");
  ExpectDatum(121, "Bad", 20, 0, 0, 0);
  ExpectDatum(122, "Signs", 3, -7, 0, 9);
  ExpectDatum(123, "Letters", 1, 51, 0, 0);
  ExpectDatum(124, "Big", 20, 2147483647, -2147483647 - 1, 0);
}

// There is no ellipsoid outside 0 to 29; such an entry uses WGS 84's.
TEST_F(DatumTest, DatumFileEllipsoidOutOfRangeIsWgs84) {
  Load("Far,30,100,-50,20\nNegative,-1,100,-50,20\nLast,29\nExplicit,20,100,-50,20\n");
  EXPECT_EQ(DatumAt(121).ellipsoid, 20);
  EXPECT_EQ(DatumAt(122).ellipsoid, 20);
  EXPECT_EQ(DatumAt(123).ellipsoid, 29);
  double a, e2;
  EllipsoidOf(121, a, e2);
  EXPECT_EQ(a, 6378137.0);
  // Such an entry shifts exactly as one on ellipsoid 20 does.
  for (int32_t d : {121, 122}) {
    double lat = 10.0, lon = 20.0;
    ConvertDatum(d, kWgs84Datum, lat, lon);
    double lat_20 = 10.0, lon_20 = 20.0;
    ConvertDatum(124, kWgs84Datum, lat_20, lon_20);
    EXPECT_EQ(lat, lat_20);
    EXPECT_EQ(lon, lon_20);
    EXPECT_NE(lat, 10.0);
  }
}

TEST_F(DatumTest, DatumFileNamesAreCutTo40Characters) {
  const std::string long_name(45, 'x');
  Load(long_name + "Y,1\n" + std::string(40, 'z') + "\n");
  EXPECT_EQ(DatumAt(121).name, std::string(40, 'x'));
  EXPECT_EQ(DatumAt(122).name, std::string(40, 'z'));
  EXPECT_TRUE(DatumKnown(std::string(40, 'x')));
  EXPECT_FALSE(DatumKnown(long_name + "Y"));
}

TEST_F(DatumTest, DatumFileAddsAtMostTenEntries) {
  std::string bytes;
  for (int i = 1; i <= 15; ++i) bytes += "\nD" + std::to_string(i) + "," + std::to_string(i);
  EXPECT_EQ(Load(bytes), 130);
  EXPECT_EQ(DatumAt(121).name, "D1");
  EXPECT_EQ(DatumAt(130).name, "D10");
  EXPECT_EQ(DatumAt(130).ellipsoid, 10);
  EXPECT_EQ(DatumIndex("D11"), 118);
  EXPECT_FALSE(DatumKnown("D15"));
}

TEST_F(DatumTest, MissingOrUnreadableDatumFileLeavesBuiltInTable) {
  EXPECT_EQ(LoadDatumFile(dir_.path()), 120);  // no file

  // Loading again starts from the built-in table.
  Load("Mine,1\n");
  EXPECT_EQ(DatumIndex("Mine"), 121);
  WriteFileBytes(dir_.File("datums.dat"), "");
  EXPECT_EQ(LoadDatumFile(dir_.path()), 120);
  EXPECT_EQ(DatumIndex("Mine"), 118);

  // A folder in the file's place.
  TempDir other;
  testing::FaultFileSystem fs;
  ASSERT_TRUE(fs.CreateDirectories(other.File("datums.dat")));
  EXPECT_EQ(LoadDatumFile(other.path(), fs), 120);

  // A file that cannot be opened.
  WriteFileBytes(dir_.File("datums.dat"), "Mine,1\n");
  fs.FailOpen([](const std::string& path) { return path.ends_with("datums.dat"); });
  EXPECT_EQ(LoadDatumFile(dir_.path(), fs), 120);
}

TEST_F(DatumTest, ReadFailureInDatumFileAddsNothing) {
  WriteFileBytes(dir_.File("datums.dat"), "First,1\nSecond,2\n");
  testing::FaultFileSystem fs;
  fs.FailReadAfter(2);  // the first block arrives, the next read fails
  EXPECT_EQ(LoadDatumFile(dir_.path(), fs), 120);
  EXPECT_EQ(LastDatumIndex(), 120);
  EXPECT_FALSE(DatumKnown("First"));
  EXPECT_EQ(DatumIndex("WGS 84"), 118);
  double lat = 54.0, lon = -2.0;
  ConvertDatum(kOrdnanceSurveyDatum, kWgs84Datum, lat, lon);
  EXPECT_NE(lat, 54.0);
}

// --- The shift ------------------------------------------------------------------

TEST_F(DatumTest, ConvertLeavesOriginEqualDatumsAndFarPositionsAlone) {
  for (int32_t d = 0; d <= LastDatumIndex(); ++d) {
    double lat = 0.0, lon = 0.0;
    ConvertDatum(d, kWgs84Datum, lat, lon);
    ConvertDatum(kWgs84Datum, d, lat, lon);
    EXPECT_EQ(lat, 0.0) << d;
    EXPECT_EQ(lon, 0.0) << d;
  }
  const double unchanged[][2] = {
      {85.5, 0.0}, {-85.5, 0.0}, {10.0, 179.5}, {10.0, -179.5}, {1e10, 1e10}};
  for (const auto& p : unchanged) {
    double lat = p[0], lon = p[1];
    ConvertDatum(kOrdnanceSurveyDatum, kWgs84Datum, lat, lon);
    EXPECT_EQ(lat, p[0]);
    EXPECT_EQ(lon, p[1]);
  }
  double lat = 54.0, lon = -2.0;
  ConvertDatum(kOrdnanceSurveyDatum, kOrdnanceSurveyDatum, lat, lon);
  ShiftDatum(true, lat, lon, kWgs84Datum);
  ShiftDatum(false, lat, lon, kWgs84Datum);
  EXPECT_EQ(lat, 54.0);
  EXPECT_EQ(lon, -2.0);
}

TEST_F(DatumTest, ConvertShiftsAtTheBounds) {
  const double bounds[][2] = {{85.0, 10.0}, {-85.0, 10.0}, {10.0, 179.0}, {10.0, -179.0}};
  for (const auto& p : bounds) {
    double lat = p[0], lon = p[1];
    ConvertDatum(99, kWgs84Datum, lat, lon);  // Reunion: a large translation
    EXPECT_GT(std::fabs(lat - p[0]) + std::fabs(lon - p[1]), 1e-4) << p[0] << " " << p[1];
  }
}

// WGS 72 differs from WGS 84 by a shift along the axis only, so the
// longitude must come back in every quadrant.
TEST_F(DatumTest, ShiftKeepsTheLongitudeQuadrant) {
  for (double lon : {-179.0, -135.0, -90.0, -45.0, -1.0, 0.0, 1.0, 45.0, 90.0, 135.0, 179.0}) {
    for (double lat : {-60.0, 30.0}) {
      double la = lat, lo = lon;
      ShiftDatum(true, la, lo, 117);
      EXPECT_NEAR(lo, lon, 1e-9) << lat << " " << lon;
      EXPECT_NE(la, lat);
      EXPECT_NEAR(la, lat, 1e-4);
    }
  }
}

// The exact equator, poles and ±90° meridians take their own path; the
// results must join the general case next to them.
TEST_F(DatumTest, SpecialLatitudesAndLongitudesJoinTheirNeighbours) {
  const double cases[][4] = {
      // lat, lon, nearby lat, nearby lon
      {0.0, 10.0, 1e-9, 10.0},
      {20.0, 90.0, 20.0, 90.0 - 1e-9},
      {20.0, -90.0, 20.0, -90.0 + 1e-9},
      {-30.0, 90.0, -30.0, 90.0 + 1e-9},
  };
  for (const auto& c : cases) {
    double lat1 = c[0], lon1 = c[1], lat2 = c[2], lon2 = c[3];
    ShiftDatum(true, lat1, lon1, kOrdnanceSurveyDatum);
    ShiftDatum(true, lat2, lon2, kOrdnanceSurveyDatum);
    EXPECT_NEAR(lat1, lat2, 1e-8) << c[0] << " " << c[1];
    EXPECT_NEAR(lon1, lon2, 1e-8) << c[0] << " " << c[1];
  }
  // At a pole the translated point's longitude is that of the translation.
  const double translation_lon = std::atan2(-111.0, 375.0) * 180.0 / 3.141592653589793;
  for (double pole : {90.0, -90.0}) {
    double lat = pole, lon = 10.0;
    ShiftDatum(true, lat, lon, kOrdnanceSurveyDatum);
    EXPECT_NEAR(lon, translation_lon, 1e-9);
    EXPECT_GT(std::fabs(lat), 89.99);
    EXPECT_LT(std::fabs(lat), 90.0);
    EXPECT_EQ(std::signbit(lat), std::signbit(pole));
  }
}

TEST_F(DatumTest, OrdnanceSurveyRoundTrip) {
  for (const auto& p : {std::pair{51.5, -0.1}, std::pair{57.0, -5.0}, std::pair{50.1, -5.5}}) {
    double lat = p.first, lon = p.second;
    ConvertDatum(kOrdnanceSurveyDatum, kWgs84Datum, lat, lon);
    // About 100 m apart in Great Britain.
    const double moved = std::hypot((lat - p.first) * 111195.0,
                                    (lon - p.second) * 111195.0 * std::cos(p.first / 57.3));
    EXPECT_GT(moved, 50.0);
    EXPECT_LT(moved, 200.0);
    ConvertDatum(kWgs84Datum, kOrdnanceSurveyDatum, lat, lon);
    EXPECT_NEAR(lat, p.first, 1e-7);
    EXPECT_NEAR(lon, p.second, 1e-7);
  }
}

}  // namespace
}  // namespace toponyx::geo
