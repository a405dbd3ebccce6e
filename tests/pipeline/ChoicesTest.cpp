// Choosing what goes in: the area, the types, the classes, alternate names,
// merged duplicates and the warning before a table grows too large.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <numbers>

#include "pipeline/BuildFixture.h"
#include "pipeline/Duplicates.h"
#include "platform/Ascii.h"
#include "text/Text.h"

namespace toponyx::testing {
namespace {

class ChoicesTest : public BuildFixture {
 protected:
  pipeline::BuildOutcome RunWith(std::vector<std::string> ticked, const pipeline::Choices& choices,
                                 std::string name = "test") {
    pipeline::BuildRequest request = Request(std::move(ticked), std::move(name));
    request.choices = choices;
    return builder.Create(request);
  }
};

// A GeoNames line.
std::string GeoLine(const std::string& name, double lat, double lon, char feature_class,
                    const std::string& alternates = "") {
  char position[64];
  std::snprintf(position, sizeof position, "%.7f\t%.7f", lat, lon);
  return "1000001\t" + name + "\t\t" + alternates + "\t" + position + "\t" + feature_class +
         "\tPPL\tXX\n";
}

// Degrees of a great circle that are so many metres.
double Degrees(double metres) {
  return metres / pipeline::kEarthRadiusMetres * 180 / std::numbers::pi;
}

TEST_F(ChoicesTest, AnAreaAcrossTheAntimeridian) {
  Write("a.tpx",
        "East,Peak,,-15,179.5\nWest,Peak,,-15,-179.5\nZero,Peak,,-15,0\n"
        "Short,Peak,,-15,178.9\nSouth,Peak,,-25,179.5\nEdge,Peak,,-10,-179\n");
  pipeline::Choices choices;
  pipeline::Area area;
  ASSERT_TRUE(pipeline::ParseArea("-20,179,-10,-179", area));
  choices.area = area;
  const pipeline::BuildOutcome out = RunWith({"a.tpx"}, choices);
  ASSERT_EQ(out.status, pipeline::BuildStatus::kSucceeded) << out.error;
  EXPECT_EQ(NamesOf(Output()), (std::vector<std::string>{"East", "Edge", "West"}));
  EXPECT_EQ(out.reports, std::vector<std::string>{"3 places outside the area left out"});
  EXPECT_EQ(out.files[0].read, 6u);
  // South above north, a latitude past the pole: no area.
  EXPECT_FALSE(pipeline::ParseArea("-10,179,-20,-179", area));
  EXPECT_FALSE(pipeline::ParseArea("-95,0,0,1", area));
}

TEST_F(ChoicesTest, AnEditedTypesFileKeepsItsCodesWhateverTheirLetterCase) {
  Write("a.tpx", "Ben,Peak,,56.8,-5.0\nLoch,Lake,,56.9,-5.1\nKirk,Church,,56.7,-5.2\n");
  ASSERT_EQ(Run({"a.tpx"}).status, pipeline::BuildStatus::kSucceeded);
  // The user deletes the Church line and retypes Lake in capitals.
  std::string types = Types();
  const size_t church = types.find("Church\r\n");
  ASSERT_NE(church, std::string::npos);
  types.erase(church, 8);
  const size_t lake = types.find("Lake\r\n");
  ASSERT_NE(lake, std::string::npos);
  types.replace(lake, 4, "LAKE");
  pipeline::Choices choices;
  choices.types = pipeline::TypesFileCodes(types);
  const pipeline::BuildOutcome out = RunWith({"a.tpx"}, choices, "kept");
  ASSERT_EQ(out.status, pipeline::BuildStatus::kSucceeded) << out.error;
  EXPECT_EQ(NamesOf(Output("kept")), (std::vector<std::string>{"Ben", "Loch"}));
  EXPECT_EQ(out.reports, std::vector<std::string>{"1 place of other types left out"});
}

TEST_F(ChoicesTest, ClassesKeepTheirLettersAndPassPlacesWithoutOne) {
  Write("a.txt", GeoLine("Village", 46, 10, 'P') + GeoLine("River", 46, 10, 'H') +
                     GeoLine("Summit", 46, 10, 'T'));
  Write("b.tpx", "Cairn,Peak,,56.8,-5.0\n");
  pipeline::Choices choices;
  ASSERT_TRUE(pipeline::ParseClasses("t, p", choices.classes));
  EXPECT_EQ(choices.classes, "PT");
  const pipeline::BuildOutcome out = RunWith({"a.txt", "b.tpx"}, choices);
  ASSERT_EQ(out.status, pipeline::BuildStatus::kSucceeded) << out.error;
  EXPECT_EQ(NamesOf(Output()), (std::vector<std::string>{"Cairn", "Summit", "Village"}));
  EXPECT_EQ(out.reports, std::vector<std::string>{"1 place of other classes left out"});
  EXPECT_FALSE(pipeline::ParseClasses("PX", choices.classes));
}

TEST_F(ChoicesTest, AlternateNamesOfGeoNamesAndOpenStreetMap) {
  // The main name, a name equal to it ignoring letter case, a repeat.
  Write("a.txt", GeoLine("M\xC3\xBCnchen", 48.137, 11.575, 'P',
                         "Munich,m\xC3\xBCNCHEN,MUNICH,Monaco di Baviera"));
  Write("b.osm",
        "<?xml version='1.0'?>\n<osm version=\"0.6\">\n"
        "<node id=\"1\" lat=\"48.2\" lon=\"16.37\"><tag k=\"place\" v=\"city\"/>"
        "<tag k=\"name\" v=\"Wien\"/><tag k=\"name:de\" v=\"WIEN\"/>"
        "<tag k=\"name:en\" v=\"Vienna\"/><tag k=\"name:fr\" v=\"Vienne\"/>"
        "<tag k=\"alt_name\" v=\"Vindobona\"/></node>\n</osm>\n");
  ASSERT_EQ(Run({"a.txt", "b.osm"}, "plain").status, pipeline::BuildStatus::kSucceeded);
  const std::vector<NamesRecord> plain = Output("plain");
  ASSERT_EQ(plain.size(), 2u);

  pipeline::Choices choices;
  choices.alternate_names = true;
  choices.languages = {"en", "de"};
  const pipeline::BuildOutcome out = RunWith({"a.txt", "b.osm"}, choices);
  ASSERT_EQ(out.status, pipeline::BuildStatus::kSucceeded) << out.error;
  const std::vector<NamesRecord> records = Output();
  EXPECT_EQ(NamesOf(records), (std::vector<std::string>{"Monaco di Baviera", "Munich", "M\x81nchen",
                                                        "Vienna", "Vindobona", "Wien"}));
  EXPECT_EQ(out.reports, std::vector<std::string>{"4 alternate names added"});
  // Each added record has the codes and position of its place.
  for (const NamesRecord& r : records) {
    const NamesRecord& main = r.fields[3] == plain[0].fields[3] ? plain[0] : plain[1];
    EXPECT_EQ(std::vector<std::string>(r.fields.begin() + 1, r.fields.end()),
              std::vector<std::string>(main.fields.begin() + 1, main.fields.end()))
        << r.fields[0];
  }
}

TEST_F(ChoicesTest, DuplicatesOfOneNameAndClassNearEachOtherBecomeTheFirstRead) {
  Write("a.txt", GeoLine("Mill", 0, 0, 'P') + GeoLine("Brook", 1, 1, 'H'));
  Write("b.txt", GeoLine("mill", Degrees(199), 0, 'P') + GeoLine("Mill", 0, Degrees(201), 'P') +
                     GeoLine("MILL", 0, 0, 'H') + GeoLine("Mill", 0, Degrees(100), 'P'));
  pipeline::Choices choices;
  choices.merge_metres = pipeline::kDefaultMergeMetres;
  const pipeline::BuildOutcome out = RunWith({"a.txt", "b.txt"}, choices);
  ASSERT_EQ(out.status, pipeline::BuildStatus::kSucceeded) << out.error;
  const std::vector<NamesRecord> records = Output();
  ASSERT_EQ(records.size(), 4u);
  // The first Mill read stays; the one 199 m away and the one 100 m away
  // are merged into it; 201 m away, or of another class, a Mill stays.
  EXPECT_EQ(records[1].fields[0], "Mill");
  EXPECT_EQ(records[1].fields[3], "0.0000000");
  EXPECT_EQ(records[1].fields[4], "0.0000000");
  EXPECT_EQ(records[2].fields[4].substr(0, 7), "0.00180");
  EXPECT_EQ(records[3].fields[0], "MILL");
  EXPECT_EQ(out.reports, std::vector<std::string>{"2 duplicates merged"});
  EXPECT_EQ(out.places, 4u);

  // A place whose source has no class is the duplicate of any class's.
  Write("c.tpx", "Brook,stream,,1.01,1\nMill,mill,,0.0005,0\n");
  const pipeline::BuildOutcome with_classless = RunWith({"a.txt", "c.tpx"}, choices, "classless");
  EXPECT_EQ(with_classless.reports, std::vector<std::string>{"1 duplicate merged"});
  EXPECT_EQ(with_classless.places, 3u);

  // Where nothing is merged, the table is the one a build without the
  // choice writes.
  ASSERT_EQ(RunWith({"a.txt"}, choices, "merged").status, pipeline::BuildStatus::kSucceeded);
  ASSERT_EQ(Run({"a.txt"}, "plain").status, pipeline::BuildStatus::kSucceeded);
  EXPECT_EQ(ReadFileBytes(save + kSep + "merged.names"),
            ReadFileBytes(save + kSep + "plain.names"));
}

// Hands the merger places as the walk does and counts what it passes on.
class CountingWriter final : public pipeline::OrderedPlaceWriter {
 public:
  void Begin(uint64_t) override {}
  void Write(const pipeline::StoredPlace&) override { ++written; }
  void End() override {}
  uint64_t written = 0;
};

TEST(DuplicateMergerTest, ALongRunOfEqualNamesIsMergedByItsGrid) {
  // 10,000 "Mill Creek" a kilometre apart, each read again 199 m away in
  // a bearing of its own (the grid's cubes are crossed every way).
  CountingWriter counted;
  pipeline::DuplicateMerger merger(counted, pipeline::kDefaultMergeMetres);
  merger.Begin(20000);
  const std::string name = "Mill Creek";
  char numbers[pipeline::kPlaceNumbersLength];
  pipeline::StoredPlace place{};
  for (const char*& field : place.field) field = "";
  place.field[0] = name.data();
  place.length[0] = name.size();
  place.numbers = numbers;
  place.numbers_length = sizeof numbers;
  for (int again = 0; again < 2; ++again) {
    for (int i = 0; i < 10000; ++i) {
      const double bearing = i * 0.37;
      const double base_lat = 45 + Degrees(1000) * (i / 100);
      const double across = std::cos(base_lat * std::numbers::pi / 180);
      const double lat = base_lat + again * Degrees(199) * std::cos(bearing);
      const double lon =
          7 + (Degrees(1000) * (i % 100) + again * Degrees(199) * std::sin(bearing)) / across;
      pipeline::StorePlaceNumbers({lat, lon, 'H'}, numbers);
      merger.Write(place);
    }
  }
  merger.End();
  EXPECT_EQ(counted.written, 10000u);
  EXPECT_EQ(merger.merged(), 10000u);
}

// The merge reads plain position texts in whole numbers: the same units
// as from their values, for every form a text may take.
TEST(DuplicateMergerTest, PositionTextsGiveTheUnitsOfTheirValues) {
  for (const char* text : {"47.5",
                           "-0.0000001",
                           "+8.25",
                           "180",
                           "-180.0000000",
                           "180.00000001",
                           "180.0000001",
                           "-179.99999995",
                           "12.34567894",
                           "12.34567896",
                           "0012.5",
                           ".5",
                           "5.",
                           "1234567890123456",
                           " 12.5 ",
                           "1e2",
                           "UNKNOWN",
                           "",
                           "-",
                           "1.2.3",
                           "12,5"}) {
    char numbers[pipeline::kPlaceNumbersLength];
    const double value = readers::PositionValue(text);
    pipeline::StorePlaceNumbers({value, value, 'P'}, numbers);
    EXPECT_EQ(pipeline::PositionUnits(text), static_cast<int32_t>(platform::LoadLe32(numbers + 2)))
        << text;
  }
}

TEST_F(ChoicesTest, ATableGrowingPastTheLimitIsWarnedOfOnce) {
  Write("a.tpx", "One,Peak,,1,1\nTwo,Peak,,2,2\nThree,Peak,,3,3\nFour,Peak,,4,4\n");
  builder.set_table_size_limit(pipeline::NamesTableBytes(4));
  pipeline::BuildOutcome out = Run({"a.tpx"});
  ASSERT_EQ(out.status, pipeline::BuildStatus::kSucceeded) << out.error;
  EXPECT_FALSE(out.large_table);
  EXPECT_TRUE(ui.messages.empty());

  Write("b.tpx", "Five,Peak,,5,5\nSix,Peak,,6,6\n");
  builder.set_table_size_limit(pipeline::NamesTableBytes(4));
  out = Run({"a.tpx", "b.tpx"});
  ASSERT_EQ(out.status, pipeline::BuildStatus::kSucceeded) << out.error;
  EXPECT_TRUE(out.large_table);
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(ui.messages[0].kind, MessageKind::kWarning);
  EXPECT_EQ(ui.messages[0].text, pipeline::LargeTableWarning(pipeline::NamesTableBytes(4)));
  EXPECT_NE(ui.messages[0].text.find("more than 4 places"), std::string::npos);
  EXPECT_EQ(Output().size(), 6u);  // the run went on
}

// The real GeoNames dump built with an area, and with class P, gives the
// table a build of only its lines inside the area (of class P) gives.
TEST_F(ChoicesTest, RealGeoNamesByAreaAndClassAsItsOwnColumnsPickThem) {
  const std::string real = RealDataDir();
  if (real.empty()) GTEST_SKIP() << "no real data beside the project";
  const std::string dump = ReadFileBytes(real + kSep + "geonames/XK.txt");
  Write("XK.txt", dump);
  pipeline::Area area;
  ASSERT_TRUE(pipeline::ParseArea("42.4,20.6,42.8,21.3", area));
  std::string inside, populated;
  for (size_t at = 0; at < dump.size();) {
    const size_t end = std::min(dump.find('\n', at), dump.size());
    const std::string line = dump.substr(at, end + 1 - at);
    at = end + 1;
    std::vector<std::string> columns;
    for (size_t c = 0; c <= line.size();) {
      const size_t tab = std::min(line.find('\t', c), line.size());
      columns.push_back(line.substr(c, tab - c));
      c = tab + 1;
    }
    ASSERT_GT(columns.size(), 7u);
    const double lat = std::strtod(columns[4].c_str(), nullptr);
    if (area.Contains(lat, std::strtod(columns[5].c_str(), nullptr))) inside += line;
    if (columns[6] == "P") populated += line;
  }
  Write("inside.txt", inside);
  Write("populated.txt", populated);

  pipeline::Choices by_area;
  by_area.area = area;
  pipeline::Choices by_class;
  by_class.classes = "P";
  for (const auto& [choices, picked] :
       {std::pair{by_area, "inside.txt"}, std::pair{by_class, "populated.txt"}}) {
    ASSERT_EQ(RunWith({"XK.txt"}, choices, "chosen").status, pipeline::BuildStatus::kSucceeded);
    ASSERT_EQ(Run({picked}, "picked").status, pipeline::BuildStatus::kSucceeded);
    const std::string chosen = ReadFileBytes(save + kSep + "chosen.names");
    EXPECT_GT(Output("picked").size(), 100u) << picked;
    EXPECT_LT(Output("picked").size(), 5000u) << picked;
    EXPECT_EQ(chosen, ReadFileBytes(save + kSep + "picked.names")) << picked;
  }
}

}  // namespace
}  // namespace toponyx::testing
