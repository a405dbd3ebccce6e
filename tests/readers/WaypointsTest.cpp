// Carthovista waypoint files, read through whole builds. Shifted positions
// come from an independent implementation of the datum shift.
#include <gtest/gtest.h>

#include "pipeline/BuildFixture.h"
#include "readers/CreateRun.h"

namespace toponyx::testing {
namespace {

using Fields = std::array<std::string, 5>;

std::string Header(std::string datum) {
  return "Carthovista Waypoint File Version 1.1\r\n" + datum + "\r\nReserved 2\r\nReserved 3\r\n";
}

// A waypoint line: number, name, latitude, longitude, six other fields,
// the description, then more fields.
std::string Wpt(std::string name, std::string lat, std::string lon, std::string description) {
  return "1," + name + "," + lat + "," + lon + ",36000.00000,0,1,3,0,65535," + description +
         ",0,0,0,-777,6,0,17\r\n";
}

const std::string kWaypointWarning =
    "One or more of the Waypoint Files has an unrecognised Datum.\r\n\r\nWGS 84 Datum has been "
    "assumed and the locations have been included in your database. If this is not the correct "
    "Datum the locations will be incorrect.";

class WaypointsTest : public BuildFixture {
 protected:
  std::vector<Fields> Records(const std::string& name = "test") {
    std::vector<Fields> out;
    for (const auto& r : Output(name)) out.push_back(r.fields);
    return out;
  }
};

TEST_F(WaypointsTest, NamesDescriptionsAndSkippedLines) {
  Write("camp.wpt", Header("WGS 84") + Wpt("CAMP1", "-33.86", "151.2", "") +
                        Wpt("CAMP1", "-33.86", "151.2", "base camp") +
                        Wpt("", "-33.5", "151.5", "spring") + Wpt("  Lat Only ", "-33.25", "", "") +
                        Wpt("No Position", " ", "", "ignored") + Wpt("", "-33", "151", " ") +
                        Wpt("Noisy", "+12.3456789x", "1e1", "") + Wpt("Infinite", "inf", "1", "") +
                        "2,Short,10,20\r\n" + "\r\n");
  ASSERT_EQ(Run({"camp.wpt"}).status, pipeline::BuildStatus::kSucceeded);
  // The name part of " - Spring" is empty; the name database stores its
  // values left-aligned, as it does the right-aligned positions.
  EXPECT_EQ(Records(), (std::vector<Fields>{
                           {"- Spring", "Waypoint", "", "-33.50000", "151.50000"},
                           {"CAMP1", "Waypoint", "", "-33.86000", "151.20000"},
                           {"Camp1 - Base Camp", "Waypoint", "", "-33.86000", "151.20000"},
                           {"Lat Only", "Waypoint", "", "-33.25000", "0.00000"},
                           {"Noisy", "Waypoint", "", "12.34568", "10.00000"},
                           {"Short", "Waypoint", "", "10.00000", "20.00000"},
                       }));
  EXPECT_EQ(Types(), TypesWith({"Waypoint"}));
  EXPECT_TRUE(ui.texts().empty());
}

TEST_F(WaypointsTest, PositionsMoveFromTheFileDatumToWgs84) {
  Write("alps.wpt", Header("European 1950") + Wpt("SUMMIT1", "46.5575", "8.5567", "") +
                        Wpt("ORIGIN", "0", "0", "") + Wpt("POLAR", "85.5", "8.5", ""));
  ASSERT_EQ(Run({"alps.wpt"}).status, pipeline::BuildStatus::kSucceeded);
  EXPECT_EQ(Records(), (std::vector<Fields>{
                           {"ORIGIN", "Waypoint", "", "0.00000", "0.00000"},
                           {"POLAR", "Waypoint", "", "85.50000", "8.50000"},
                           {"SUMMIT1", "Waypoint", "", "46.55659", "8.55561"},
                       }));
  EXPECT_TRUE(ui.texts().empty());
}

TEST_F(WaypointsTest, UnknownDatumReadsAsWgs84AndWarnsOncePerRun) {
  // The datum line is compared as it stands: a trailing blank is unknown.
  Write("a.wpt", Header("WGS 84 ") + Wpt("A", "46.5575", "8.5567", ""));
  Write("b.wpt", Header("Nowhere 1900") + Wpt("B", "46.5575", "8.5567", ""));
  ASSERT_EQ(Run({"a.wpt", "b.wpt"}).status, pipeline::BuildStatus::kSucceeded);
  EXPECT_EQ(Records(), (std::vector<Fields>{{"A", "Waypoint", "", "46.55750", "8.55670"},
                                            {"B", "Waypoint", "", "46.55750", "8.55670"}}));
  EXPECT_EQ(ui.texts(), (std::vector<std::string>{kWaypointWarning}));
}

TEST_F(WaypointsTest, HeaderOnlyFilesAndFilesWithoutTheMarker) {
  Write("a_empty.wpt", Header("WGS 84"));
  // After a file with the marker, one without it is still not read.
  Write("b_plain.wpt", "1,NOTREAD,1,2\r\n1,NOTREAD,1,2\r\n1,NOTREAD,1,2\r\n1,NOTREAD,1,2\r\n" +
                           Wpt("NOTREAD", "1", "2", ""));
  ASSERT_EQ(Run({"a_empty.wpt", "b_plain.wpt"}).status, pipeline::BuildStatus::kSucceeded);
  EXPECT_TRUE(Output().empty());
  EXPECT_EQ(Types(), TypesWith({"Waypoint"}));
}

TEST_F(WaypointsTest, WholeBuildThroughTheProgram) {
  TempDir in;
  WriteFileBytes(in.File("gotthard.wpt"),
                 Header("European 1950") + Wpt("SUMMIT1", "46.5575", "8.5567", "pizzo rotondo") +
                     Wpt("HUT", "46.5392", "8.4743", "") + Wpt("W", "-12.5", "-151.25", ""));
  const std::string out_dir = in.File("out");
  CreateResult r = RunCreate(in, "wpt", out_dir, {in.File("gotthard.wpt")});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(StoredRecords(out_dir + kSep + "wpt.names"),
            (std::vector<std::string>{
                PlaceBytes("HUT", "Waypoint", "", "46.53829", "8.47320"),
                PlaceBytes("Summit1 - Pizzo Rotondo", "Waypoint", "", "46.55659", "8.55561"),
                PlaceBytes("W", "Waypoint", "", "-12.50048", "-151.24959"),
            }));
  EXPECT_EQ(ReadFileBytes(out_dir + kSep + "wpt.types"), TypesWith({"Waypoint"}));
}

}  // namespace
}  // namespace toponyx::testing
