// Toponyx text files in their three grids, read through whole builds. The
// expected positions of grid and datum conversions come from an independent
// implementation of the conversions, not from the program's own code.
#include <gtest/gtest.h>

#include "pipeline/BuildFixture.h"
#include "readers/CreateRun.h"

namespace toponyx::testing {
namespace {

using Fields = std::array<std::string, 5>;

const std::string kUserFileWarning =
    "One or more of the User Defined Files has an unrecognised Datum.\r\nWGS 84 Datum has been "
    "assumed and the locations have been included in your database. If this is not the correct "
    "Datum the locations will be incorrect.";

class ToponyxTextTest : public BuildFixture {
 protected:
  std::vector<Fields> Records(const std::string& name = "test") {
    std::vector<Fields> out;
    for (const auto& r : Output(name)) out.push_back(r.fields);
    return out;
  }
  // The positions of the records, in name order.
  std::vector<std::string> Positions(const std::string& name = "test") {
    std::vector<std::string> out;
    for (const auto& r : Output(name)) out.push_back(r.fields[3] + " " + r.fields[4]);
    return out;
  }
};

TEST_F(ToponyxTextTest, AngleTextsCommentsAndDataLines) {
  Write("auckland.tpx",
        "; lookouts\n"
        "\n"
        "   \n"
        "Lookout,Summit,,-36 50 54.6,174 45 48\n"
        "a1,summit,,-36 50.91,174 45.8\n"
        "a2,summit,,-36.8485,174.76333\n"
        "a3,summit,,36 -50 54.6,174 45 48\n"
        "a4,summit,,-36   50  54.6,174  45   48\r\n"
        "  a5  ,  trig station  ,,  -36 50 54.6  ,174 45 48\n"
        "#3,abc\n"
        "No Type,,,1.5,2.5\n"
        "Missing Type\n"
        ",Summit,,,174.5\n"
        ",Nameless,,-36,\n"
        "Not A Number,nowhere,,nan,174\n");
  ASSERT_EQ(Run({"auckland.tpx"}).status, pipeline::BuildStatus::kSucceeded);
  EXPECT_EQ(Records(), (std::vector<Fields>{
                           {"", "Nameless", "", "-36.00000", "0.00000"},
                           {"#3", "Abc", "", "0.00000", "0.00000"},
                           {"a1", "Summit", "", "-36.84850", "174.76333"},
                           {"a2", "Summit", "", "-36.84850", "174.76333"},
                           {"a3", "Summit", "", "-36.84850", "174.76333"},
                           {"a4", "Summit", "", "-36.84850", "174.76333"},
                           {"a5", "Trig Station", "", "-36.84850", "174.76333"},
                           {"Lookout", "Summit", "", "-36.84850", "174.76333"},
                           {"Missing Type", "Unkn", "", "0.00000", "0.00000"},
                           {"No Type", "Unkn", "", "1.50000", "2.50000"},
                       }));
  EXPECT_EQ(Types(), TypesWith({"Abc", "Nameless", "Summit", "Trig Station", "Unkn"}));
  EXPECT_TRUE(ui.texts().empty());
}

TEST_F(ToponyxTextTest, UtmLinesWithDefaultZoneHemisphereAndDatum) {
  Write("sydney.tpx",
        "#1,UTM,56,S\n"
        "#2,WGS 84\n"
        "Point,Trig,,334000,6252000\n"
        "Other Zone,Trig,55h,334000,6252000\n"  // the line's zone, upper-cased
        "#2,European 1950\n"
        "Shifted,Trig,,334000,6252000\n"
        "#1,UTM,33,north\n"
        "#2,WGS 84\n"
        "Band,Trig,33U,500000,5000000\n"
        "#1,UTM , 33U , ?\n"  // neither S nor N: the band letter decides
        "Band Only,Trig,,500000,5000000\n"
        "Huge,Nowhere,,1e308,1e308\n");  // no finite position: passed over
  ASSERT_EQ(Run({"sydney.tpx"}).status, pipeline::BuildStatus::kSucceeded);
  EXPECT_EQ(Records(), (std::vector<Fields>{
                           {"Band", "Trig", "", "45.15348", "15.00000"},
                           {"Band Only", "Trig", "", "45.15348", "15.00000"},
                           {"Other Zone", "Trig", "", "-33.85926", "145.20551"},
                           {"Point", "Trig", "", "-33.85926", "151.20551"},
                           {"Shifted", "Trig", "", "-33.85875", "151.20698"},
                       }));
}

TEST_F(ToponyxTextTest, NzMapGridLinesAndFailedConversions) {
  Write("wellington.tpx",
        "#1,NZG\n"
        "Origin,Trig,,6023150,2510000\n"  // northing, then easting
        "Taupo Area,Trig,,6300000,2700000\n"
        "Far Away,Lost,,1000000000,1000000000\n"  // the iteration does not settle
        "#2,Geodetic Datum 1949\n"
        "Mount Victoria,Trig,,5989590,2660320\n");
  ASSERT_EQ(Run({"wellington.tpx"}).status, pipeline::BuildStatus::kSucceeded);
  EXPECT_EQ(Records(), (std::vector<Fields>{
                           {"Mount Victoria", "Trig", "", "-41.28656", "174.79484"},
                           {"Origin", "Trig", "", "-41.00000", "173.00000"},
                           {"Taupo Area", "Trig", "", "-38.48487", "175.17646"},
                       }));
  // The place passed over leaves no feature type behind either.
  EXPECT_EQ(Types(), TypesWith({"Trig"}));
}

TEST_F(ToponyxTextTest, UnknownDatumsFallBackToWgs84AndWarnOncePerRun) {
  Write("a.tpx", "#2,wgs 84\nA,Trig,,-36.5,174.5\n");
  Write("b.tpx", "#2,European 1950\n#2,Datum Of Nowhere\nB,Trig,,-36.5,174.5\n");
  ASSERT_EQ(Run({"a.tpx", "b.tpx"}).status, pipeline::BuildStatus::kSucceeded);
  EXPECT_EQ(Positions(), (std::vector<std::string>{"-36.50000 174.50000", "-36.50000 174.50000"}));
  EXPECT_EQ(ui.texts(), (std::vector<std::string>{kUserFileWarning}));
}

TEST_F(ToponyxTextTest, SettingsCarryOverBetweenFilesAndRuns) {
  Write("a_grid.tpx", "#1,UTM,56,S\n#2,European 1950\nFirst,Trig,,334000,6252000\n");
  Write("b_bare.tpx", "Second,Trig,,334000,6252000\n");
  ASSERT_EQ(Run({"a_grid.tpx", "b_bare.tpx"}).status, pipeline::BuildStatus::kSucceeded);
  // The second file keeps the grid, zone, hemisphere and datum of the first.
  EXPECT_EQ(Positions(), (std::vector<std::string>{"-33.85875 151.20698", "-33.85875 151.20698"}));

  // A new run starts on latitude and longitude but keeps the datum.
  Write("c_next.tpx", "Third,Trig,,46.5575,8.5567\n");
  ASSERT_EQ(Run({"c_next.tpx"}, "next").status, pipeline::BuildStatus::kSucceeded);
  EXPECT_EQ(Positions("next"), (std::vector<std::string>{"46.55659 8.55561"}));
}

TEST_F(ToponyxTextTest, WholeBuildThroughTheProgram) {
  TempDir in;
  WriteFileBytes(in.File("a_lookouts.tpx"), "; on WGS 84\nLookout,summit,,-36 50 54.6,174 45 48\n");
  WriteFileBytes(in.File("b_sydney.tpx"),
                 "#1,UTM,56,S\r\n#2,WGS 84\r\nOpera House,building,,334880,6252060\r\n");
  WriteFileBytes(in.File("c_wellington.tpx"),
                 "#1,NZG\n#2,Geodetic Datum 1949\nMount Victoria,trig,,5989590,2660320\n");
  const std::string out_dir = in.File("out");
  CreateResult r =
      RunCreate(in, "tpx", out_dir,
                {in.File("a_lookouts.tpx"), in.File("b_sydney.tpx"), in.File("c_wellington.tpx")});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(StoredRecords(out_dir + kSep + "tpx.names"),
            (std::vector<std::string>{
                PlaceBytes("Lookout", "Summit", "", "-36.84850", "174.76333"),
                PlaceBytes("Mount Victoria", "Trig", "", "-41.28656", "174.79484"),
                PlaceBytes("Opera House", "Building", "", "-33.85886", "151.21503"),
            }));
  EXPECT_EQ(ReadFileBytes(out_dir + kSep + "tpx.types"), TypesWith({"Building", "Summit", "Trig"}));
}

}  // namespace
}  // namespace toponyx::testing
