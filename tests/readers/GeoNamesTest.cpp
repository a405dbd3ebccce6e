// GeoNames files, read through whole builds.
#include <gtest/gtest.h>

#include "pipeline/BuildFixture.h"
#include "readers/CreateRun.h"
#include "support/ZipWriter.h"

namespace toponyx::testing {
namespace {

using Fields = std::array<std::string, 5>;

// A GeoNames line of 19 fields.
std::string Row(std::string id, std::string name, std::string ascii, std::string alternates,
                std::string lat, std::string lon, std::string code) {
  return id + "\t" + name + "\t" + ascii + "\t" + alternates + "\t" + lat + "\t" + lon + "\tP\t" +
         code + "\tNZ\t\tE7\t\t\t\t1000\t\t26\tPacific/Auckland\t2019-09-05";
}

class GeoNamesTest : public BuildFixture {
 protected:
  std::vector<Fields> Records(const std::string& name = "test") {
    std::vector<Fields> out;
    for (const auto& r : Output(name)) out.push_back(r.fields);
    return out;
  }
};

TEST_F(GeoNamesTest, FirstLineFromTheDispatchThenEveryLineToTheLast) {
  // A file of one line without a final break: the line the format test read.
  Write("one.txt",
        Row("2179537", "Wellington", "Wellington", "", "-41.28664", "174.77557", "PPLC"));
  ASSERT_EQ(Run({"one.txt"}).status, pipeline::BuildStatus::kSucceeded);
  EXPECT_EQ(Records(), (std::vector<Fields>{{"Wellington", "Capital Of A Political Entity", "",
                                             "-41.28664", "174.77557"}}));

  // First line, lines ending in CR LF and LF, a last line without a break.
  Write("three.txt", Row("1000001", "First", "", "", "1", "2", "PPL") + "\r\n" +
                         Row("1000002", "Second", "", "", "3", "4", "PPL") + "\n" +
                         Row("1000003", "Last", "", "", "5", "6", "PPL"));
  ASSERT_EQ(Run({"three.txt"}, "three").status, pipeline::BuildStatus::kSucceeded);
  EXPECT_EQ(NamesOf(Output("three")), (std::vector<std::string>{"First", "Last", "Second"}));
}

TEST_F(GeoNamesTest, NameFallbacksAndSkippedLines) {
  Write("nz.txt",
        Row("1000001", "Saint-Denis, La R\xC3\xA9union", "x", "", "1", "1", "PPL") + "\n" +
            // "Ж" has no counterpart in the code page: the name becomes "?".
            Row("1000002", "\xD0\x96", "Zhe", "", "2", "2", "PPL") + "\n" +
            Row("1000003", "?", "what?", "Alpha,Beta", "3", "3", "PPL") + "\n" +
            Row("1000004", " ", "", ",Leading Comma", "4", "4", "PPL") + "\n" +
            Row("1000005", "", "", "", "5", "5", "PPL") + "\n" +
            Row("1000006", "No Longitude", "", "", "6", "", "PPL") + "\n" +
            Row("1000007", "No Position", "", "", " ", "", "PPL") + "\n" +
            Row("1000008", "Broken \xE2\x82", "", "", "8", "8", "PPL") + "\n" +
            Row("1000009", "  Trimmed  ", "", "", " 9.5 ", " 10 ", "PPL") + "\n" + "1000010\n");
  ASSERT_EQ(Run({"nz.txt"}).status, pipeline::BuildStatus::kSucceeded);
  EXPECT_EQ(Records(), (std::vector<Fields>{
                           {"Alpha", "Populated Place", "", "3", "3"},
                           {"No Longitude", "Populated Place", "", "6", ""},
                           {"Not Identified", "Populated Place", "", "4", "4"},
                           {"Not Identified", "Populated Place", "", "5", "5"},
                           {"Saint-Denis", "Populated Place", "", "1", "1"},
                           {"Trimmed", "Populated Place", "", "9.5", "10"},
                           {"Zhe", "Populated Place", "", "2", "2"},
                       }));
}

TEST_F(GeoNamesTest, CodesAreLookedUpExactlyAndProperCased) {
  Write("codes.txt", Row("1000001", "Capital", "", "", "1", "1", "PPLC") + "\n" +
                         Row("1000002", "Lower", "", "", "2", "2", "ppl") + "\n" +
                         Row("1000003", "Seat", "", "", "3", "3", "PPLA") + "\n" +
                         Row("1000004", "Ferry", "", "", "4", "4", "BUSTN") + "\n" +
                         Row("1000005", "Last Row", "", "", "5", "5", "ll") + "\n" +
                         Row("1000006", "Padded", "", "", "6", "6", " STM ") + "\n" +
                         Row("1000007", "Missing", "", "", "7", "7", "") + "\n" +
                         Row("1000008", "Seat Again", "", "", "8", "8", "PPLA"));
  ASSERT_EQ(Run({"codes.txt"}).status, pipeline::BuildStatus::kSucceeded);
  EXPECT_EQ(Records(), (std::vector<Fields>{
                           {"Capital", "Capital Of A Political Entity", "", "1", "1"},
                           {"Ferry", "Bus Station", "", "4", "4"},
                           {"Last Row", "Not Available", "", "5", "5"},
                           {"Lower", "Not Available", "", "2", "2"},
                           {"Missing", "Not Available", "", "7", "7"},
                           {"Padded", "Stream", "", "6", "6"},
                           {"Seat", "Seat Of A First-Order Administrative Div", "", "3", "3"},
                           {"Seat Again", "Seat Of A First-Order Administrative Div", "", "8", "8"},
                       }));
  // The list holds the 45 characters of the description that the record cut.
  EXPECT_EQ(Types(), TypesWith({"Bus Station", "Capital Of A Political Entity", "Not Available",
                                "Seat Of A First-Order Administrative Division", "Stream"}));
}

// Empty fields are stored from views without bytes (the empty alternate
// names, the major code no GeoNames row has): this line once made the
// table copy from a null pointer, which the sanitizer build reports.
TEST_F(GeoNamesTest, RowWithEmptyFieldsIsStoredWhole) {
  Write("CN.txt",
        "2986043\tNene\tNene\t\t-11.35954\t-147.04763\tS\tHTL\tCN\t\t20\t\t\t\t0\t\t5\t"
        "Pacific/Tahiti\t2012-01-18\n");
  ASSERT_EQ(Run({"CN.txt"}).status, pipeline::BuildStatus::kSucceeded);
  EXPECT_EQ(Records(), (std::vector<Fields>{{"Nene", "Hotel", "", "-11.35954", "-147.04763"}}));
}

TEST_F(GeoNamesTest, WholeBuildThroughTheProgram) {
  TempDir in;
  WriteFileBytes(
      in.File("NZ.txt"),
      Row("2179537", "Wellington", "Wellington", "Poneke", "-41.28664", "174.77557", "PPLC") +
          "\n" + Row("2208285", "Taup\xC5\x8D", "Taupo", "", "-38.68333", "176.08333", "PPL") +
          "\n" +
          Row("6240987", "\xD0\x9C\xD0\xB0\xD0\xBE\xD1\x80\xD0\xB8", "?", "Tokaanu Rock,x",
              "-38.81667", "175.91667", "RK") +
          "\n");
  const std::string out_dir = in.File("out");
  CreateResult r = RunCreate(in, "gn", out_dir, {in.File("NZ.txt")});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(
      StoredRecords(out_dir + kSep + "gn.names"),
      (std::vector<std::string>{
          PlaceBytes("Taupo", "Populated Place", "", "-38.68333", "176.08333"),
          PlaceBytes("Tokaanu Rock", "Rock", "", "-38.81667", "175.91667"),
          PlaceBytes("Wellington", "Capital Of A Political Entity", "", "-41.28664", "174.77557"),
      }));
  EXPECT_EQ(ReadFileBytes(out_dir + kSep + "gn.types"),
            TypesWith({"Capital Of A Political Entity", "Populated Place", "Rock"}));
}

TEST_F(GeoNamesTest, RealCountryDumpAndCities) {
  const std::string real = RealDataDir();
  if (real.empty()) GTEST_SKIP() << "no real data beside the project";
  WriteFileBytes(download + kSep + "XK.txt", ReadFileBytes(real + kSep + "geonames/XK.txt"));
  WriteFileBytes(download + kSep + "cities.txt",
                 ReadFileBytes(real + kSep + "geonames/cities15000_head3000.txt"));
  ASSERT_EQ(Run({"XK.txt", "cities.txt"}).status, pipeline::BuildStatus::kSucceeded);
  const auto out = Records();
  EXPECT_EQ(out.size(), 5699u + 3000u);  // every line is a place
  auto has = [&out](const Fields& f) { return std::find(out.begin(), out.end(), f) != out.end(); };
  EXPECT_TRUE(has({"Abdaf", "Peak", "", "41.92833", "20.68389"}));
  EXPECT_TRUE(
      has({"Aarau", "Seat Of A First-Order Administrative Div", "", "47.39254", "8.04422"}));
  size_t not_available = 0;
  for (const auto& f : out) not_available += f[1] == "Not Available";
  EXPECT_EQ(not_available, 0u);  // the 2012 dumps use no code beyond the table
}

// A ".gz" file of a GeoNames dump expands to "<stored name>.usa": its
// lines are read as GeoNames lines, not as USA GNIS ones; a USA GNIS file
// of the tab-separated layout, whose lines also begin with a numeric
// identifier, stays with the USA GNIS reader.
TEST_F(GeoNamesTest, AGzipOfAGeoNamesDumpIsReadAsGeoNames) {
  const std::string dump = Row("2179537", "Wellington", "", "", "-41.28664", "174.77557", "PPLC") +
                           "\n" +
                           Row("2193733", "Auckland", "", "", "-36.84853", "174.76349", "PPL");
  const std::string stored = "NZ.txt";
  Write("NZ.gz", GzipMember(dump, &stored));
  const std::string usa = "1234567\tLake Gnis\tLake\tAL\t01\tX\t1\t2\t3\t33.5\t-86.8\n";
  const std::string stored_usa = "AL_DECI.txt";
  Write("AL.gz", GzipMember(usa, &stored_usa));
  const pipeline::BuildOutcome out = Run({"AL.gz", "NZ.gz"});
  ASSERT_EQ(out.status, pipeline::BuildStatus::kSucceeded);
  EXPECT_EQ(Records(),
            (std::vector<Fields>{
                {"Auckland", "Populated Place", "", "-36.84853", "174.76349"},
                {"Lake Gnis", "Lake", "", "33.5", "-86.8"},
                {"Wellington", "Capital Of A Political Entity", "", "-41.28664", "174.77557"},
            }));
}

}  // namespace
}  // namespace toponyx::testing
