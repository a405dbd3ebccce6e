// The Ordnance Survey 1:50 000 gazetteer, read through whole builds.
// Expected positions come from an independent implementation of the datum
// shift (Ord Srvy Grt Britn to WGS 84), not from the program's own code.
#include <gtest/gtest.h>

#include "pipeline/BuildFixture.h"
#include "readers/CreateRun.h"

namespace toponyx::testing {
namespace {

using Fields = std::array<std::string, 5>;

// A gazetteer line of 20 colon-separated fields.
std::string Os(std::string name, std::string lat_deg, std::string lat_min, std::string lon_deg,
               std::string lon_min, std::string side, std::string code) {
  return "1:NY3704:" + name + ":NY:" + lat_deg + ":" + lat_min + ":" + lon_deg + ":" + lon_min +
         ":504:337:" + side + ":CU:Cumbria:Cumbria:" + code + ":01-MAR-1993:I:90:96:0\r\n";
}

class OsGazetteerTest : public BuildFixture {
 protected:
  std::vector<Fields> Records(const std::string& name = "test") {
    std::vector<Fields> out;
    for (const auto& r : Output(name)) out.push_back(r.fields);
    return out;
  }
};

TEST_F(OsGazetteerTest, DegreesAndMinutesShiftedToWgs84AndTheWestRule) {
  // 54° 25.8' N, 2° 57.7' W is 54.43, -2.9616667 on the OS datum.
  Write("50kgaz2008.txt", Os("Ambleside", "54", "25.8", "2", "57.7", "W", "T") +
                              Os("East Side", "54", "25.8", "2", "57.7", "E", "T") +
                              Os("Lower w", "54", "25.8", "2", "57.7", "w", "T") +
                              Os("Blank Side", "54", "25.8", "2", "57.7", "", "T") +
                              "1:NY3704:Short Line:NY:54:25.8:2:57.7\r\n" +
                              // Degrees read as GetIntField reads them ("N54" is 54).
                              Os("Noisy", "N54", "25.8m", "2", "57.7", "W", "T"));
  ASSERT_EQ(Run({"50kgaz2008.txt"}).status, pipeline::BuildStatus::kSucceeded);
  const Fields west{"", "Town", "", "54.4301407", "-2.9630762"};
  const Fields east{"", "Town", "", "54.4302243", "2.95966003"};
  auto named = [](Fields f, std::string name) {
    f[0] = std::move(name);
    return f;
  };
  Fields short_line = named(west, "Short Line");
  short_line[1] = "Not Identified";  // no code field
  EXPECT_EQ(Records(), (std::vector<Fields>{named(west, "Ambleside"), named(west, "Blank Side"),
                                            named(east, "East Side"), named(east, "Lower w"),
                                            named(west, "Noisy"), short_line}));

  // Form D takes the user's decimal separator.
  platform::SetDecimalSeparator(',');
  ASSERT_EQ(Run({"50kgaz2008.txt"}, "comma").status, pipeline::BuildStatus::kSucceeded);
  EXPECT_EQ(Output("comma")[0].fields,
            (Fields{"Ambleside", "Town", "", "54,4301407", "-2,9630762"}));
}

TEST_F(OsGazetteerTest, CodeWordsAndSkippedLines) {
  const char* codes[][2] = {{"A", "Antiquity (non-Roman)"},
                            {"F", "Forest or Wood"},
                            {"FM", "Farm"},
                            {"H", "Hill or Mountain"},
                            {"R", "Antiquity (Roman)"},
                            {"C", "City"},
                            {"T", "Town"},
                            {"O", "Other"},
                            {"W", "Water Feature"},
                            {"X", "All other features"}};
  std::string file;
  std::vector<Fields> expected;
  char name = 'a';
  for (const auto& c : codes) {
    file += Os(std::string(1, name), "51", "30", "0", "0", "E", c[0]);
    expected.push_back({std::string(1, name), c[1], "", "", ""});
    ++name;
  }
  // Codes compare exactly; anything else gets the fixed text.
  for (const char* other : {"t", "Q", "", "TT"}) {
    file += Os(std::string(1, name), "51", "30", "0", "0", "E", other);
    expected.push_back({std::string(1, name), "Not Identified", "", "", ""});
    ++name;
  }
  file += Os("", "51", "30", "0", "0", "E", "T") + Os("  ", "51", "30", "0", "0", "E", "T") +
          "\r\n" + "\r\n";
  Write("OS_50KGAZ.txt", file);
  ASSERT_EQ(Run({"OS_50KGAZ.txt"}).status, pipeline::BuildStatus::kSucceeded);
  auto out = Records();
  for (auto& f : out) f[3] = f[4] = "";  // positions are checked above
  EXPECT_EQ(out, expected);
  // Each code word once, as the table spells it (not proper-cased).
  EXPECT_EQ(Types(), TypesWith({"All other features", "Antiquity (non-Roman)", "Antiquity (Roman)",
                                "City", "Farm", "Forest or Wood", "Hill or Mountain",
                                "Not Identified", "Other", "Town", "Water Feature"}));
}

TEST_F(OsGazetteerTest, WholeBuildThroughTheProgram) {
  TempDir in;
  WriteFileBytes(in.File("50kgaz2008.txt"),
                 Os("Ambleside", "54", "25.8", "2", "57.7", "W", "T") +
                     Os("Norwich", "52", "37.7", "1", "17.8", "E", "C") +
                     Os("Scafell Pike", "54", "27.2", "3", "12.7", "W", "H"));
  const std::string out_dir = in.File("out");
  CreateResult r = RunCreate(in, "os", out_dir, {in.File("50kgaz2008.txt")});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(StoredRecords(out_dir + kSep + "os.names"),
            (std::vector<std::string>{
                PlaceBytes("Ambleside", "Town", "", "54.4301407", "-2.9630762"),
                PlaceBytes("Norwich", "City", "", "52.6287046", "1.29490247"),
                PlaceBytes("Scafell Pike", "Hill or Mountain", "", "54.4534688", "-3.2130514"),
            }));
  EXPECT_EQ(ReadFileBytes(out_dir + kSep + "os.types"), TypesWith({"City", "Hill or Mountain", "Town"}));
}

}  // namespace
}  // namespace toponyx::testing
