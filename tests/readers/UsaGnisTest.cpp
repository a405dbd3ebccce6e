// USA GNIS files in their three layouts, read through whole builds.
#include <gtest/gtest.h>

#include <charconv>
#include <cmath>

#include "pipeline/BuildFixture.h"

namespace toponyx::testing {
namespace {

using Texts = std::vector<std::string>;
using Fields = std::array<std::string, 5>;

std::string FixedLine(std::string_view name, std::string_view cls, std::string_view lat,
                      std::string_view lon) {
  std::string line(160, ' ');
  line.replace(13, name.size(), name);
  line.replace(114, cls.size(), cls);
  line.replace(140, lat.size(), lat);
  line.replace(148, lon.size(), lon);
  return line;
}

const std::string kBarHeader =
    "FEATURE_ID|FEATURE_NAME|FEATURE_CLASS|STATE_ALPHA|STATE_NUMERIC|COUNTY_NAME|"
    "COUNTY_NUMERIC|PRIMARY_LAT_DMS|PRIM_LONG_DMS|PRIM_LAT_DEC|PRIM_LONG_DEC|ELEV\r\n";

std::vector<Fields> Live(const std::vector<NamesRecord>& records) {
  std::vector<Fields> out;
  for (const auto& r : records) out.push_back(r.fields);
  return out;
}

class UsaGnisTest : public BuildFixture {};

TEST_F(UsaGnisTest, BarLayoutNamesCodesAndSkippedPositions) {
  Write("va.txt", kBarHeader +
                      "1|Smith, Mount|Summit|VA|51|Bath|017|x|x|38.1|-79.1|300\r\n"
                      "2|No Lat|Summit|VA|51|Bath|017|x|x||-79.1|300\r\n"
                      "3|Zero Lon|Summit|VA|51|Bath|017|x|x|38.1|0|300\r\n"
                      "4|Zero Text|populated PLACE|VA|51|Bath|017|x|x|0.0|-0|300\r\n"
                      "5|Few Fields|Summit\r\n"
                      "6||Populated Place|VA|51|Bath|017|x|x|37.5|-78.5\r\n"
                      "7|Blank Class|   |VA|51|Bath|017|x|x|37.5|-78.5\r\n"
                      "8|Comma,|POPULATED PLACE|VA|51|Bath|017|x|x|37.5|-78.5");  // no final break
  ASSERT_EQ(Run({"va.txt"}).status, pipeline::BuildStatus::kSucceeded);
  EXPECT_EQ(Live(Output()), (std::vector<Fields>{
                                {"Blank Class", "", "", "37.5", "-78.5"},
                                {"Comma", "Populated Place", "", "37.5", "-78.5"},
                                {"Smith  Mount", "Summit", "", "38.1", "-79.1"},
                                {"UNKNOWN", "Populated Place", "", "37.5", "-78.5"},
                                {"Zero Text", "Populated Place", "", "0.0", "-0"},
                            }));
  // The class joins the list once, proper-cased, in the spelling first met;
  // a class of blanks gives the empty entry.
  EXPECT_EQ(Types(), TypesWith({"", "Populated Place", "Summit"}));
}

TEST_F(UsaGnisTest, TabDecimalLayoutByName) {
  Write("ca_deci.txt",
        "1\tTab Place\tLake\tCA\t06\tX\t1\t2\t3\t34.5\t-118.25\n"
        "2\tUnknown Lat\tLake\tCA\t06\tX\t1\t2\t3\tUNKNOWN\t-118.25\n"
        "3\tEmpty Lat\tLake\tCA\t06\tX\t1\t2\t3\t\t-118.25\n"
        "4\tZero Is Fine\tLake\tCA\t06\tX\t1\t2\t3\t0\t0\n"
        "5\tShort\tLake\n");
  ASSERT_EQ(Run({"ca_deci.txt"}).status, pipeline::BuildStatus::kSucceeded);
  EXPECT_EQ(Live(Output()), (std::vector<Fields>{
                                {"Tab Place", "Lake", "", "34.5", "-118.25"},
                                {"Zero Is Fine", "Lake", "", "0", "0"},
                            }));
}

TEST_F(UsaGnisTest, FixedLayoutConvertsPackedDms) {
  std::string file = FixedLine("Los Angeles", "ppl", "341523N", "1183015W") + "\r\n" +
                     FixedLine("South West, Point", "cape", "000000S", "1183015w") + "\r\n" +
                     "short line\r\n" + "\r\n" + FixedLine("No Pos", "ppl", "UNKNOWN", "UNKNOWN") +
                     "\r\n" + FixedLine("Equator", "ppl", "000000N", "0000000E");
  Write("az.txt", file);
  ASSERT_EQ(Run({"az.txt"}).status, pipeline::BuildStatus::kSucceeded);
  EXPECT_EQ(Live(Output()), (std::vector<Fields>{
                                {"Equator", "Ppl", "", "0.0000000", "0.0000000"},
                                {"Los Angeles", "Ppl", "", "34.2563889", "-118.50416"},
                                {"South West, Point", "Cape", "", "-0.0000000", "-118.50416"},
                            }));
  EXPECT_EQ(Types(), TypesWith({"Cape", "Ppl"}));
}

TEST_F(UsaGnisTest, BarHeaderSwitchesAFixedFileToTheDecimalLayout) {
  // Text-file entry without DECI: fixed lines until a "|" header appears.
  std::string file = FixedLine("Fixed One", "ppl", "341523N", "1183015W") + "\n" + kBarHeader +
                     "1|Bar One|Dam|x|x|x|x|x|x|1.5|2.5\n";
  Write("mixed.txt", "x feature_id|feature_name|feature_class|state_alpha|\n" + file);
  ASSERT_EQ(Run({"mixed.txt"}).status, pipeline::BuildStatus::kSucceeded);
  // The first line holds the header text, so the file starts in the "|"
  // layout; its fixed line is then read as a "|" line without positions.
  EXPECT_EQ(NamesOf(Output()), (Texts{"Bar One"}));

  Write("mixed2.txt", "FEATURE_ID\tNAME\n" + file);  // a tab header first
  ASSERT_EQ(Run({"mixed2.txt"}, "two").status, pipeline::BuildStatus::kSucceeded);
  EXPECT_EQ(NamesOf(Output("two")), (Texts{"Bar One", "Fixed One"}));
}

TEST_F(UsaGnisTest, LongTextsAreCutToTheFieldWidths) {
  const std::string long_name(50, 'N');
  Write("cut.txt",
        kBarHeader + "1|" + long_name + "|Summit|x|x|x|x|x|x|12.3456789012|-118.5041667\n");
  ASSERT_EQ(Run({"cut.txt"}).status, pipeline::BuildStatus::kSucceeded);
  auto out = Output();
  ASSERT_EQ(out.size(), 1u);
  EXPECT_EQ(out[0].fields[0], std::string(45, 'N'));
  EXPECT_EQ(out[0].fields[3], "12.3456789");
  EXPECT_EQ(out[0].fields[4], "-118.50416");
}

TEST(PositionFormsTest, FormsBCAndD) {
  platform::SetDecimalSeparator('.');
  std::string out;
  readers::PackedDmsToText("1183015w", out);
  EXPECT_EQ(out, "-118.5041667");
  readers::PackedDmsToText("000000N", out);
  EXPECT_EQ(out, "0.0000000");
  readers::PackedDmsToText("341523N", out);
  EXPECT_EQ(out, "34.2563889");
  readers::FormatFiveDecimalsPadded(12.3456789, out);
  EXPECT_EQ(out, " 12.34568");
  readers::FormatFiveDecimalsPadded(-33.86, out);
  EXPECT_EQ(out, "-33.86000");
  readers::FormatFiveDecimalsPadded(151.2, out);
  EXPECT_EQ(out, "151.20000");
  readers::FormatFiveDecimalsPadded(-151.2, out);
  EXPECT_EQ(out, "-151.20000");
  readers::FormatFiveDecimalsPadded(0.0, out);
  EXPECT_EQ(out, "  0.00000");
  readers::FormatEightDecimalsLocal(51.5, out);
  EXPECT_EQ(out, "51.50000000");
  readers::FormatEightDecimalsLocal(-3.25, out);
  EXPECT_EQ(out, "-3.25000000");
  readers::FormatSevenDecimalsLocal(12345.123456789, out);  // 11 significant digits
  EXPECT_EQ(out, "12345.1234570");

  // Forms B and D take the user's separator; form C never does.
  platform::SetDecimalSeparator(',');
  readers::PackedDmsToText("341523N", out);
  EXPECT_EQ(out, "34,2563889");
  readers::FormatEightDecimalsLocal(51.5, out);
  EXPECT_EQ(out, "51,50000000");
  readers::FormatFiveDecimalsPadded(-33.86, out);
  EXPECT_EQ(out, "-33.86000");
  platform::SetDecimalSeparator('.');
}

TEST(FullCodeListTest, SortedFirstSpellingKept) {
  readers::FullCodeList list;
  list.Note("stream");
  list.Note("STREAM");
  list.Note("  lake ");
  list.Add("Waypoint");
  list.Note("waypoint");
  list.Note("");
  EXPECT_EQ(list.Items(), (Texts{"", "Lake", "Stream", "Waypoint"}));
  EXPECT_TRUE(list.Contains("LAKE"));
  EXPECT_FALSE(list.Contains("Lakes"));
}

TEST(WorldCodeListTest, CaseInsensitiveFirstMatch) {
  readers::WorldCodeList list;
  list.Add("PPL", "Populated Place");
  list.Add("ADM1", "First-Order Administrative Division");
  list.Add("ppl", "Second Copy");
  ASSERT_NE(list.Find("ppl"), nullptr);
  EXPECT_EQ(*list.Find("ppl"), "Populated Place");
  EXPECT_EQ(*list.Find("Adm1"), "First-Order Administrative Division");
  EXPECT_EQ(list.Find("XYZ"), nullptr);
  EXPECT_EQ(list.Find(""), nullptr);
}

TEST_F(UsaGnisTest, RealFilesFromTheUsgs) {
  const std::string real = RealDataDir();
  if (real.empty()) GTEST_SKIP() << "no real data beside the project";
  // Copy into the download folder under names that keep the format choice.
  WriteFileBytes(download + kSep + "VA_Bath.txt", ReadFileBytes(real + kSep + "gnis/VA_Bath.txt"));
  WriteFileBytes(download + kSep + "VA_Monterey.txt", ReadFileBytes(real + kSep + "gnis/VA_Monterey.txt"));
  WriteFileBytes(download + kSep + "AZ_fixed.txt",
                 ReadFileBytes(real + kSep + "gnis/AZ_fixed_packedDMS_sample.txt"));
  ASSERT_EQ(Run({"AZ_fixed.txt", "VA_Bath.txt", "VA_Monterey.txt"}).status,
            pipeline::BuildStatus::kSucceeded);
  auto out = Output();
  // Every line but the two headers is a place (the last line of Monterey
  // has no line break); the fixed sample's 20 lines are all places.
  EXPECT_EQ(out.size(), 520u + 63u + 20u);
  bool found = false;
  for (const auto& r : out) {
    if (r.fields[0] == "Aviation  Golf and Farm Club Dam") found = true;
  }
  EXPECT_TRUE(found);
}

}  // namespace
}  // namespace toponyx::testing

namespace toponyx::testing {
namespace {

// The position forms are written without the general conversion where the
// rounding is certain; they must agree with it everywhere.
TEST(PositionFormsTest, AgreeWithTheGeneralConversion) {
  platform::SetDecimalSeparator('.');
  uint64_t state = 88172645463325252ULL;
  auto next = [&] {
    state ^= state << 13;
    state ^= state >> 7;
    state ^= state << 17;
    return state;
  };
  std::vector<double> values = {0.0,        -0.0,  0.5e-5,   -0.5e-5,    1.5e-5,
                                2.5e-5,     0.125, -0.375,   12.345675,  -179.999995,
                                89.9999949, 1e15,  123456.5, -0.0000049, 9.999995};
  for (int i = 0; i < 200000; ++i) {
    double v =
        static_cast<double>(static_cast<int64_t>(next() % 36000000000ULL) - 18000000000LL) / 1e8;
    values.push_back(v);
    values.push_back(std::nextafter(v, 1e300));
    // Values with few binary digits, which land exactly on ties.
    values.push_back(static_cast<double>(static_cast<int64_t>(next() % 4000000) - 2000000) / 64.0);
  }
  std::string fast;
  char buf[400];
  for (double v : values) {
    readers::FormatFiveDecimalsPadded(v, fast);
    auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, 5);
    std::string general(buf, r.ptr);
    if (general.size() < 9) general.insert(0, 9 - general.size(), ' ');
    ASSERT_EQ(fast, general) << v;
    if (std::fabs(v) < 1000) {
      readers::FormatEightDecimalsLocal(v, fast);
      r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, 8);
      ASSERT_EQ(fast, std::string(buf, r.ptr)) << v;
      readers::FormatSevenDecimalsLocal(v, fast);
      r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, 7);
      ASSERT_EQ(fast, std::string(buf, r.ptr)) << v;
    }
  }
}

}  // namespace
}  // namespace toponyx::testing
