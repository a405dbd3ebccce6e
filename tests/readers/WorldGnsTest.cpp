// World GNS files in their two column layouts, read through whole builds.
#include <gtest/gtest.h>

#include <map>

#include "pipeline/BuildFixture.h"
#include "readers/CreateRun.h"

namespace toponyx::testing {
namespace {

using Fields = std::array<std::string, 5>;
using Cells = std::map<int, std::string>;

// A tab-separated line of `columns` fields, empty but for the cells given.
std::string Line(int columns, const Cells& cells) {
  std::string line;
  for (int i = 1; i <= columns; ++i) {
    if (i > 1) line += '\t';
    auto it = cells.find(i);
    if (it != cells.end()) line += it->second;
  }
  return line + "\n";
}

// Newer layout (header with "DATE"): class 10, code 11, names 24, 23, 25.
const std::string kHeaderB =
    "RC\tUFI\tUNI\tLAT\tLONG\tDMS_LAT\tDMS_LONG\tMGRS\tJOG\tFC\tDSG\tPC\tCC1\tADM1\tADM2\tPOP\t"
    "ELEV\tCC2\tNT\tLC\tSHORT_FORM\tGENERIC\tSORT_NAME\tFULL_NAME\tFULL_NAME_ND\tMODIFY_DATE\n";
// Older layout (no "DATE"): class 11, code 12, names 25, 24.
const std::string kHeaderA =
    "RC\tUFI\tUNI\tLAT\tLONG\tDMS_LAT\tDMS_LONG\tUTM\tJOG\tMGRS\tFC\tDSG\tPC\tCC1\tADM1\tADM2\t"
    "DIM\tCC2\tNT\tLC\tSHORT_FORM\tGENERIC\tSORT_NAME\tFULL_NAME\tFULL_NAME_ND\n";

std::string B(std::string lat, std::string lon, std::string fc, std::string dsg, std::string n23,
              std::string n24, std::string n25 = "") {
  return Line(26, {{4, lat}, {5, lon}, {10, fc}, {11, dsg}, {23, n23}, {24, n24}, {25, n25}});
}

class WorldGnsTest : public BuildFixture {
 protected:
  std::vector<Fields> Records(const std::string& name = "test") {
    std::vector<Fields> out;
    for (const auto& r : Output(name)) out.push_back(r.fields);
    return out;
  }
};

TEST_F(WorldGnsTest, NewerLayoutDecodesUtf8AndWalksTheNameColumns) {
  Write("sz.txt", kHeaderB + B("47.37", "8.54", "P", "PPL", "Z\xC3\xBCrich", "") +  // UTF-8 ü
                      B("1", "2", "T", "MT", "Sort Form", "Full Form", "Plain Form") +
                      B("3", "4", "H", "STM", "   ", " ", "Third Choice") +
                      B("5", "6", "V", "FRST", "", "", "Never Reached") +
                      B("7", "8", "p", "ppl", "", "Lower Case") +
                      B("9", "", "S", "XYZ", "", "Only Latitude") +
                      B("", "10", "L", "", "", "Only Longitude") +
                      B("  ", " ", "P", "PPL", "", "No Position") +
                      B("11", "12", "P", "PPL", "", "Broken \xC3(") +
                      B("13", "14", " R ", " RSTN ", "", "Blanks Around") +
                      "2\t-1\t-2\t15\t16\n");  // too few fields for anything but the position
  ASSERT_EQ(Run({"sz.txt"}).status, pipeline::BuildStatus::kSucceeded);
  EXPECT_EQ(Records(), (std::vector<Fields>{
                           {"Blanks Around", "Railroad Station", "Road or Railroad", "13", "14"},
                           {"Full Form", "Mountain", "Mountain, Hill, Elevation", "1", "2"},
                           {"Lower Case", "Populated Place", "", "7", "8"},
                           {"Not Identified", "Forest(s)", "Vegetation", "5", "6"},
                           {"Not Identified", "Not Identified", "", "15", "16"},
                           {"Only Latitude", "Not Identified", "Spot Feature", "9", ""},
                           {"Only Longitude", "Not Identified", "Locality", "", "10"},
                           {"Third Choice", "Stream", "River, Stream, Water", "3", "4"},
                           {"Z\x81rich", "Populated Place", "City or Town", "47.37", "8.54"},
                       }));
  // Unknown codes, the empty one included, join the list once.
  EXPECT_EQ(Types(), TypesWith({"Forest(s)", "Mountain", "Not Identified", "Populated Place",
                                "Railroad Station", "Stream"}));
}

// The current download: lower-case column names, which hold neither "LAT"
// nor "LONG"; its columns are found by name.
const std::string kHeaderCurrent =
    "rk\tufi\tuni\tfull_name\tnt\tlat_dd\tlong_dd\tefctv_dt\tterm_dt_f\tterm_dt_n\tdesig_cd\tfc\t"
    "cc_ft\tadm1\tft_link\tname_rank\tlang_cd\ttransl_cd\tscript_cd\tname_link\tcc_nm\tgeneric\t"
    "full_nm_nd\tsort_gen\tsort_name\tlat_dms\tlong_dms\tmgrs\tmod_dt_ft\tmod_dt_nm\tdialect_cd\t"
    "display\tgis_notes\r\n";

TEST_F(WorldGnsTest, CurrentLayoutFindsItsColumnsByName) {
  auto c = [](std::string name, std::string lat, std::string lon, std::string dsg, std::string fc,
              std::string plain) {
    return Line(33, {{1, "2"}, {4, name}, {6, lat}, {7, lon}, {11, dsg}, {12, fc}, {23, plain}});
  };
  Write("sk.txt", kHeaderCurrent +
                      c("Se\xC4\x8D"
                        "e",
                        "48.866667", "19.4", "RDGE", "T", "Sece") +
                      c("", "48.5", "19.5", "PPL", "P", "Plain Name") +
                      c("Ko\xC5\xA1ice", "48.7", "21.25", "PPLA", "P", "Kosice") +
                      c("No Position", "", "", "PPL", "P", "") +
                      c("Unknown Code", "48.1", "17.1", "QQQQ", "X", ""));
  // A header that names the columns elsewhere is read by its names as well.
  Write("moved.txt",
        "desig_cd\tlong_dd\tlat_dd\tfull_name\tfc\n"
        "STM\t18.0\t49.0\tMoved Stream\tH\n");
  ASSERT_EQ(Run({"moved.txt", "sk.txt"}).status, pipeline::BuildStatus::kSucceeded);
  EXPECT_EQ(
      Records(),
      (std::vector<Fields>{
          {"Kosice", "Captial Of A First-Order Administrative.", "City or Town", "48.7", "21.25"},
          {"Moved Stream", "Stream", "River, Stream, Water", "49.0", "18.0"},
          {"Plain Name", "Populated Place", "City or Town", "48.5", "19.5"},
          {"Sece", "Ridge(s)", "Mountain, Hill, Elevation", "48.866667", "19.4"},
          {"Unknown Code", "Not Identified", "", "48.1", "17.1"},
      }));
}

TEST_F(WorldGnsTest, RealCurrentDownload) {
  const std::string real = RealDataDir();
  if (real.empty()) GTEST_SKIP() << "no real data beside the project";
  WriteFileBytes(download + kSep + "Slovakia.txt",
                 ReadFileBytes(real + kSep + "gns/Slovakia_2026-03_head1000.txt"));
  ASSERT_EQ(Run({"Slovakia.txt"}).status, pipeline::BuildStatus::kSucceeded);
  auto records = Records();
  // Every line but the header and the four in Cyrillic (name type NS),
  // which would be names of "?" only.
  EXPECT_EQ(records.size(), 995u);
  for (const Fields& f : records) EXPECT_NE(f[0].find_first_not_of("? "), std::string::npos);
  // Slovakia and the border features of its neighbours.
  for (const Fields& f : records) {
    ASSERT_FALSE(f[3].empty()) << f[0];
    double lat = std::stod(f[3]), lon = std::stod(f[4]);
    EXPECT_TRUE(lat > 44 && lat < 51 && lon > 15 && lon < 26) << f[0] << " " << f[3];
  }
}

TEST_F(WorldGnsTest, OlderLayoutTakesItsOwnColumnsAndTheBytesAsTheyStand) {
  // A decoy in the newer layout's class column (10).
  auto a = [](std::string fc, std::string dsg, std::string n24, std::string n25) {
    return Line(25,
                {{4, "51.9"}, {5, "-8.5"}, {10, "T"}, {11, fc}, {12, dsg}, {24, n24}, {25, n25}});
  };
  Write("ei.txt", kHeaderA + a("P", "PPLA", "Corcaigh", "Cork") +
                      a("H", "LK", "Loch \xC9irne", "") +  // Windows-1252, not UTF-8
                      a("L", "AREA", "", " ") + a("U", "BNK", " ", " "));
  ASSERT_EQ(Run({"ei.txt"}).status, pipeline::BuildStatus::kSucceeded);
  // É is stored in the OEM code page (0x90).
  EXPECT_EQ(
      Records(),
      (std::vector<Fields>{
          {"Cork", "Captial Of A First-Order Administrative.", "City or Town", "51.9", "-8.5"},
          {"Loch \x90irne", "Lake", "River, Stream, Water", "51.9", "-8.5"},
          {"Not Identified", "Area", "Locality", "51.9", "-8.5"},
          {"Not Identified", "Bank(s)", "Undersea", "51.9", "-8.5"},
      }));
  // The record keeps 40 characters of a description; the list keeps it whole.
  EXPECT_EQ(Types(),
            TypesWith({"Area", "Bank(s)", "Captial Of A First-Order Administrative.", "Lake"}));
}

TEST_F(WorldGnsTest, EachFileOfARunHasItsOwnLayout) {
  Write("a_old.txt",
        kHeaderA + Line(25, {{4, "1"}, {5, "2"}, {11, "P"}, {12, "PPL"}, {25, "Old"}}));
  Write("b_new.txt", kHeaderB + B("3", "4", "P", "PPL", "", "New"));
  Write("c_old.txt",
        kHeaderA + Line(25, {{4, "5"}, {5, "6"}, {11, "T"}, {12, "MT"}, {25, "Again"}}));
  ASSERT_EQ(Run({"a_old.txt", "b_new.txt", "c_old.txt"}).status, pipeline::BuildStatus::kSucceeded);
  EXPECT_EQ(Records(), (std::vector<Fields>{
                           {"Again", "Mountain", "Mountain, Hill, Elevation", "5", "6"},
                           {"New", "Populated Place", "City or Town", "3", "4"},
                           {"Old", "Populated Place", "City or Town", "1", "2"},
                       }));
}

TEST_F(WorldGnsTest, WholeBuildThroughTheProgram) {
  TempDir in;
  WriteFileBytes(in.File("au.txt"),
                 kHeaderB + B("48.2", "16.366667", "P", "PPLC", "", "Wien") +
                     B("47.074444", "12.694167", "T", "MT", "", "Gro\xC3\x9Fglockner") +
                     B("47.55", "9.633333", "H", "LK", "", "Bodensee"));
  const std::string out_dir = in.File("out");
  CreateResult r = RunCreate(in, "gns", out_dir, {in.File("au.txt")});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(
      StoredRecords(out_dir + kSep + "gns.names"),
      (std::vector<std::string>{
          PlaceBytes("Bodensee", "Lake", "River, Stream, Water", "47.55", "9.633333"),
          PlaceBytes("Gro\xE1glockner", "Mountain", "Mountain, Hill, Elevation", "47.074444",
                     "12.694167"),
          PlaceBytes("Wien", "Captial Of A Country (pcld", "City or Town", "48.2", "16.366667"),
      }));
  EXPECT_EQ(ReadFileBytes(out_dir + kSep + "gns.types"),
            TypesWith({"Captial Of A Country (pcld", "Lake", "Mountain"}));
}

TEST_F(WorldGnsTest, RealCountryFiles) {
  const std::string real = RealDataDir();
  if (real.empty()) GTEST_SKIP() << "no real data beside the project";
  // 2008 layout (26 columns) and 2010 layout (29 columns, romanised and
  // regional names): both carry MODIFY_DATE and read as the newer layout.
  WriteFileBytes(download + kSep + "lo2008.txt", ReadFileBytes(real + kSep + "gns/lo_2008-12_head2500.txt"));
  WriteFileBytes(download + kSep + "lo2010.txt", ReadFileBytes(real + kSep + "gns/lo_2010-06_head2500.txt"));
  WriteFileBytes(download + kSep + "kv.txt", ReadFileBytes(real + kSep + "gns/kv_head2500.txt"));
  ASSERT_EQ(Run({"lo2008.txt", "lo2010.txt", "kv.txt"}).status, pipeline::BuildStatus::kSucceeded);
  const auto out = Records();
  // Every line but the headers and the 349 Serbian names of kv in Cyrillic,
  // which would be names of "?" only (their romanised forms are rows too).
  EXPECT_EQ(out.size(), 3u * 2499u - 349u);
  for (const Fields& f : out) EXPECT_NE(f[0].find_first_not_of("? "), std::string::npos);
  auto has = [&out](const Fields& f) { return std::find(out.begin(), out.end(), f) != out.end(); };
  // 2008: field 24 is FULL_NAME, with its diacritics (š is stored as "s").
  EXPECT_TRUE(has({"Okres Trebisov", "Second-Order Administrative Division",
                   "Administrative Region", "48.633333", "21.716667"}));
  // 2010: field 24 is FULL_NAME_ND_RO.
  EXPECT_TRUE(has({"Drienove", "Populated Place", "City or Town", "49.166667", "18.5"}));
  // Kosovo: a code missing from the code list.
  size_t not_identified = 0;
  for (const auto& f : out) not_identified += f[1] == "Not Identified";
  EXPECT_EQ(not_identified, 10u);  // the PCLH lines of kv (two more are in Cyrillic)
}

}  // namespace
}  // namespace toponyx::testing
