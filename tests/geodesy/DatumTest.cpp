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
  // Loads a datums.dat with the given bytes; returns the last used index.
  int32_t Load(std::string_view bytes) {
    WriteFileBytes(dir_.File("datums.dat"), bytes);
    return table_.LoadDatumFile(dir_.path());
  }

  void ExpectDatum(int32_t index, std::string_view name, int32_t ellipsoid, int32_t dx, int32_t dy,
                   int32_t dz) {
    const Datum& d = table_.DatumAt(index);
    EXPECT_EQ(d.name, name) << index;
    EXPECT_EQ(d.ellipsoid, ellipsoid) << index;
    EXPECT_EQ(d.dx, dx) << index;
    EXPECT_EQ(d.dy, dy) << index;
    EXPECT_EQ(d.dz, dz) << index;
  }

  // The shift on this test's table.
  LatLong Convert(int32_t from, int32_t to, double lat, double lon) const {
    return ConvertDatum(table_, from, to, lat, lon);
  }
  LatLong Shift(ShiftDirection direction, double lat, double lon, int32_t datum) const {
    return ShiftDatum(table_, direction, lat, lon, datum);
  }

  TempDir dir_;
  DatumTable table_;
};

TEST_F(DatumTest, BuiltInEntriesKeepTheirIndices) {
  EXPECT_EQ(table_.LastDatumIndex(), 120);
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
  const EllipsoidShape wgs84 = table_.EllipsoidOf(kWgs84Datum);
  EXPECT_EQ(wgs84.a, 6378137.0);
  EXPECT_NEAR(wgs84.e2, 0.00669437999014, 1e-14);  // the published WGS 84 value
  const EllipsoidShape airy = table_.EllipsoidOf(kOrdnanceSurveyDatum);
  EXPECT_EQ(airy.a, 6377563.396);
  // From the published semi-minor axis b = 6 356 256.909 m: (a² − b²)/a².
  EXPECT_NEAR(airy.e2, 0.00667054007415, 1e-9);
}

TEST_F(DatumTest, BadIndicesFallBackToWgs84) {
  EXPECT_EQ(table_.DatumAt(-1).name, "WGS 84");
  EXPECT_EQ(table_.DatumAt(121).name, "WGS 84");  // beyond the last used index
  EXPECT_EQ(table_.DatumAt(100000).name, "WGS 84");
  EXPECT_STREQ(EllipsoidAt(30).name, "WGS 84");
  EXPECT_STREQ(EllipsoidAt(-5).name, "WGS 84");
  const auto [lat, lon] = Shift(ShiftDirection::kToWgs84, 54.0, -2.0, 500);
  EXPECT_EQ(lat, 54.0);
  EXPECT_EQ(lon, -2.0);
}

TEST_F(DatumTest, DatumIndexIgnoresCaseButNotBlanks) {
  EXPECT_EQ(table_.DatumIndex("WGS 84"), 118);
  EXPECT_EQ(table_.DatumIndex("wgs 84"), 118);
  EXPECT_EQ(table_.DatumIndex("european 1950"), 32);
  EXPECT_EQ(table_.DatumIndex("ord srvy grt britn"), 88);
  EXPECT_EQ(table_.DatumIndex("auto shift ....."), 0);
  EXPECT_EQ(table_.DatumIndex("s42        "), 103);
  // No trimming: these fall back to WGS 84.
  EXPECT_EQ(table_.DatumIndex("european 1950 "), 118);
  EXPECT_EQ(table_.DatumIndex(" European 1950"), 118);
  EXPECT_EQ(table_.DatumIndex("S42"), 118);
  EXPECT_EQ(table_.DatumIndex(""), 118);
  EXPECT_EQ(table_.DatumIndex("Atlantis"), 118);
}

TEST_F(DatumTest, DatumKnownIsExact) {
  EXPECT_TRUE(table_.DatumKnown("WGS 84"));
  EXPECT_TRUE(table_.DatumKnown("S42        "));
  EXPECT_FALSE(table_.DatumKnown("wgs 84"));
  EXPECT_FALSE(table_.DatumKnown("WGS84"));
  EXPECT_FALSE(table_.DatumKnown("WGS 84 "));
  EXPECT_FALSE(table_.DatumKnown("S42"));
  EXPECT_FALSE(table_.DatumKnown(""));  // the unused entries are not searched
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
  EXPECT_EQ(table_.LastDatumIndex(), 129);
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
  EXPECT_EQ(table_.DatumIndex("WGS 84"), 118);

  EXPECT_EQ(table_.DatumIndex("my datum"), 121);
  EXPECT_TRUE(table_.DatumKnown("Spaced Name"));
  EXPECT_FALSE(table_.DatumKnown("  Spaced Name  "));
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

// The most negative translation has its opposite: the shift from WGS 84
// turns it into +2147483648 m, next to the shift of a datum 1 m away, where
// a 32-bit negation would overflow (and wrap to the same -2147483648).
TEST_F(DatumTest, MostNegativeTranslationShiftsBothWays) {
  Load("Evil,20,-2147483648,0,0\nNear,20,-2147483647,0,0\n");
  for (ShiftDirection direction : {ShiftDirection::kToWgs84, ShiftDirection::kFromWgs84}) {
    const auto [lat, lon] = Shift(direction, 10.0, 20.0, 121);
    const auto [near_lat, near_lon] = Shift(direction, 10.0, 20.0, 122);
    EXPECT_NEAR(lat, near_lat, 1e-6);
    EXPECT_NEAR(lon, near_lon, 1e-6);
    EXPECT_NE(lon, 20.0);
  }
}

// There is no ellipsoid outside 0 to 29; such an entry uses WGS 84's.
TEST_F(DatumTest, DatumFileEllipsoidOutOfRangeIsWgs84) {
  Load("Far,30,100,-50,20\nNegative,-1,100,-50,20\nLast,29\nExplicit,20,100,-50,20\n");
  EXPECT_EQ(table_.DatumAt(121).ellipsoid, 20);
  EXPECT_EQ(table_.DatumAt(122).ellipsoid, 20);
  EXPECT_EQ(table_.DatumAt(123).ellipsoid, 29);
  EXPECT_EQ(table_.EllipsoidOf(121).a, 6378137.0);
  // Such an entry shifts exactly as one on ellipsoid 20 does.
  for (int32_t d : {121, 122}) {
    const auto [lat, lon] = Convert(d, kWgs84Datum, 10.0, 20.0);
    const auto [lat_20, lon_20] = Convert(124, kWgs84Datum, 10.0, 20.0);
    EXPECT_EQ(lat, lat_20);
    EXPECT_EQ(lon, lon_20);
    EXPECT_NE(lat, 10.0);
  }
}

TEST_F(DatumTest, DatumFileNamesAreCutTo40Characters) {
  const std::string long_name(45, 'x');
  Load(long_name + "Y,1\n" + std::string(40, 'z') + "\n");
  EXPECT_EQ(table_.DatumAt(121).name, std::string(40, 'x'));
  EXPECT_EQ(table_.DatumAt(122).name, std::string(40, 'z'));
  EXPECT_TRUE(table_.DatumKnown(std::string(40, 'x')));
  EXPECT_FALSE(table_.DatumKnown(long_name + "Y"));
}

TEST_F(DatumTest, DatumFileAddsAtMostTenEntries) {
  std::string bytes;
  for (int i = 1; i <= 15; ++i) bytes += "\nD" + std::to_string(i) + "," + std::to_string(i);
  EXPECT_EQ(Load(bytes), 130);
  EXPECT_EQ(table_.DatumAt(121).name, "D1");
  EXPECT_EQ(table_.DatumAt(130).name, "D10");
  EXPECT_EQ(table_.DatumAt(130).ellipsoid, 10);
  EXPECT_EQ(table_.DatumIndex("D11"), 118);
  EXPECT_FALSE(table_.DatumKnown("D15"));
}

TEST_F(DatumTest, MissingOrUnreadableDatumFileLeavesBuiltInTable) {
  EXPECT_EQ(table_.LoadDatumFile(dir_.path()), 120);  // no file

  // Loading again starts from the built-in table.
  Load("Mine,1\n");
  EXPECT_EQ(table_.DatumIndex("Mine"), 121);
  WriteFileBytes(dir_.File("datums.dat"), "");
  EXPECT_EQ(table_.LoadDatumFile(dir_.path()), 120);
  EXPECT_EQ(table_.DatumIndex("Mine"), 118);

  // A folder in the file's place.
  TempDir other;
  testing::FaultFileSystem fs;
  ASSERT_TRUE(fs.CreateDirectories(other.File("datums.dat")));
  EXPECT_EQ(table_.LoadDatumFile(other.path(), fs), 120);

  // A file that cannot be opened.
  WriteFileBytes(dir_.File("datums.dat"), "Mine,1\n");
  fs.FailOpen([](const std::string& path) { return path.ends_with("datums.dat"); });
  EXPECT_EQ(table_.LoadDatumFile(dir_.path(), fs), 120);
}

TEST_F(DatumTest, ReadFailureInDatumFileAddsNothing) {
  WriteFileBytes(dir_.File("datums.dat"), "First,1\nSecond,2\n");
  testing::FaultFileSystem fs;
  fs.FailReadAfter(2);  // the first block arrives, the next read fails
  EXPECT_EQ(table_.LoadDatumFile(dir_.path(), fs), 120);
  EXPECT_EQ(table_.LastDatumIndex(), 120);
  EXPECT_FALSE(table_.DatumKnown("First"));
  EXPECT_EQ(table_.DatumIndex("WGS 84"), 118);
  EXPECT_NE(Convert(kOrdnanceSurveyDatum, kWgs84Datum, 54.0, -2.0).lat, 54.0);
}

// The front ends fill the process-wide table; a table of one's own is apart.
TEST_F(DatumTest, DatumFileLoadFillsTheProcessWideTable) {
  WriteFileBytes(dir_.File("datums.dat"), "Mine,1\n");
  EXPECT_EQ(LoadDatumFile(dir_.path()), 121);
  EXPECT_EQ(DefaultDatumTable().DatumIndex("Mine"), 121);
  EXPECT_FALSE(table_.DatumKnown("Mine"));
  // Back to the built-in entries for the other tests.
  TempDir empty;
  EXPECT_EQ(LoadDatumFile(empty.path()), 120);
  EXPECT_FALSE(DefaultDatumTable().DatumKnown("Mine"));
}

// --- The shift ------------------------------------------------------------------

TEST_F(DatumTest, ConvertLeavesOriginEqualDatumsAndFarPositionsAlone) {
  for (int32_t d = 0; d <= table_.LastDatumIndex(); ++d) {
    const LatLong there = Convert(d, kWgs84Datum, 0.0, 0.0);
    const auto [lat, lon] = Convert(kWgs84Datum, d, there.lat, there.lon);
    EXPECT_EQ(lat, 0.0) << d;
    EXPECT_EQ(lon, 0.0) << d;
  }
  const double unchanged[][2] = {
      {85.5, 0.0}, {-85.5, 0.0}, {10.0, 179.5}, {10.0, -179.5}, {1e10, 1e10}};
  for (const auto& p : unchanged) {
    const auto [lat, lon] = Convert(kOrdnanceSurveyDatum, kWgs84Datum, p[0], p[1]);
    EXPECT_EQ(lat, p[0]);
    EXPECT_EQ(lon, p[1]);
  }
  LatLong position = Convert(kOrdnanceSurveyDatum, kOrdnanceSurveyDatum, 54.0, -2.0);
  position = Shift(ShiftDirection::kToWgs84, position.lat, position.lon, kWgs84Datum);
  const auto [lat, lon] =
      Shift(ShiftDirection::kFromWgs84, position.lat, position.lon, kWgs84Datum);
  EXPECT_EQ(lat, 54.0);
  EXPECT_EQ(lon, -2.0);
}

TEST_F(DatumTest, ConvertShiftsAtTheBounds) {
  const double bounds[][2] = {{85.0, 10.0}, {-85.0, 10.0}, {10.0, 179.0}, {10.0, -179.0}};
  for (const auto& p : bounds) {
    const auto [lat, lon] = Convert(99, kWgs84Datum, p[0], p[1]);  // Reunion: a large translation
    EXPECT_GT(std::fabs(lat - p[0]) + std::fabs(lon - p[1]), 1e-4) << p[0] << " " << p[1];
  }
}

// WGS 72 differs from WGS 84 by a shift along the axis only, so the
// longitude must come back in every quadrant.
TEST_F(DatumTest, ShiftKeepsTheLongitudeQuadrant) {
  for (double lon : {-179.0, -135.0, -90.0, -45.0, -1.0, 0.0, 1.0, 45.0, 90.0, 135.0, 179.0}) {
    for (double lat : {-60.0, 30.0}) {
      const auto [la, lo] = Shift(ShiftDirection::kToWgs84, lat, lon, 117);
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
    const auto [lat1, lon1] = Shift(ShiftDirection::kToWgs84, c[0], c[1], kOrdnanceSurveyDatum);
    const auto [lat2, lon2] = Shift(ShiftDirection::kToWgs84, c[2], c[3], kOrdnanceSurveyDatum);
    EXPECT_NEAR(lat1, lat2, 1e-8) << c[0] << " " << c[1];
    EXPECT_NEAR(lon1, lon2, 1e-8) << c[0] << " " << c[1];
  }
  // At a pole the translated point's longitude is that of the translation.
  const double translation_lon = std::atan2(-111.0, 375.0) * 180.0 / 3.141592653589793;
  for (double pole : {90.0, -90.0}) {
    const auto [lat, lon] = Shift(ShiftDirection::kToWgs84, pole, 10.0, kOrdnanceSurveyDatum);
    EXPECT_NEAR(lon, translation_lon, 1e-9);
    EXPECT_GT(std::fabs(lat), 89.99);
    EXPECT_LT(std::fabs(lat), 90.0);
    EXPECT_EQ(std::signbit(lat), std::signbit(pole));
  }
}

TEST_F(DatumTest, OrdnanceSurveyRoundTrip) {
  for (const auto& p : {std::pair{51.5, -0.1}, std::pair{57.0, -5.0}, std::pair{50.1, -5.5}}) {
    const auto [lat, lon] = Convert(kOrdnanceSurveyDatum, kWgs84Datum, p.first, p.second);
    // About 100 m apart in Great Britain.
    const double moved = std::hypot((lat - p.first) * 111195.0,
                                    (lon - p.second) * 111195.0 * std::cos(p.first / 57.3));
    EXPECT_GT(moved, 50.0);
    EXPECT_LT(moved, 200.0);
    const auto [back_lat, back_lon] = Convert(kWgs84Datum, kOrdnanceSurveyDatum, lat, lon);
    EXPECT_NEAR(back_lat, p.first, 1e-7);
    EXPECT_NEAR(back_lon, p.second, 1e-7);
  }
}

}  // namespace
}  // namespace toponyx::geo
