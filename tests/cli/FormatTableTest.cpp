// The table of formats: a format is one reader and one row, and everything
// that names the kinds of file follows the table.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "cli/Texts.h"
#include "pipeline/BuildFixture.h"
#include "pipeline/FileList.h"

namespace toponyx::testing {
namespace {

// A toy format: every line "name;lat;lon" is a place.
void ReadToy(readers::ReaderInput& in, readers::ReaderRun& run) {
  run.full_codes.Add("Toy");
  while (!in.file.Eof()) {
    in.file.ReadLine(in.line);
    const std::string_view line = in.line;
    const size_t a = line.find(';'), b = line.rfind(';');
    if (a == std::string_view::npos || a == b) continue;
    const std::string_view lat = line.substr(a + 1, b - a - 1), lon = line.substr(b + 1);
    run.places.Add(readers::Place{.name = line.substr(0, a),
                                  .full_code = "Toy",
                                  .latitude = readers::PositionValue(lat),
                                  .longitude = readers::PositionValue(lon),
                                  .latitude_text = lat,
                                  .longitude_text = lon});
  }
}

readers::FormatTable WithToy() {
  std::vector<readers::FormatRow> rows = readers::DefaultFormats().rows();
  rows.push_back(readers::FormatRow{
      .name = "Toy files",
      .extensions = ".toy",
      .recognise = [](readers::Probe&, readers::Detection&) { return readers::Claim::kYes; },
      .reader = ReadToy,
      .dialog_filter = "Toy Files",
      .help_anchor = "formats.html#toy",
      .summary = "toy files (.toy)",
  });
  return readers::FormatTable(std::move(rows));
}

class FormatTableTest : public BuildFixture {};

TEST_F(FormatTableTest, AToyFormatIsOneReaderAndOneRow) {
  const readers::FormatTable toy = WithToy();
  Write("b.toy", "Beta;1.5;2.5\nAlpha;-3;4\n");
  Write("a.txt", "FEATURE_ID|FEATURE_NAME|FEATURE_CLASS|STATE_ALPHA|\n");
  Write("c.xyz", "x\n");

  // --all and the file list take it...
  EXPECT_EQ(pipeline::ListFolder(download, toy.InputMask()),
            (std::vector<std::string>{"a.txt", "b.toy"}));
  EXPECT_EQ(pipeline::ListFolder(download, pipeline::InputFilesMask()),
            std::vector<std::string>{"a.txt"});
  // ... the dialog's first filter and a filter of its own ...
  const std::vector<pipeline::DialogFilter> filters = pipeline::DialogFilters(toy);
  ASSERT_EQ(filters.size(), 4u);
  EXPECT_EQ(filters[0].caption,
            "All Data Files (*.zip) (*.gz) (*.txt) (*.wpt) (*.tpx) (*.csv) (*.gpx) (*.osm.pbf) "
            "(*.pbf) (*.osm) (*.osm.bz2) (*.kml) (*.kmz) (*.geojson) (*.json) (*.geojsons) "
            "(*.geojsonl) (*.tsv) (*.toy)");
  EXPECT_EQ(filters[3].caption, "Toy Files (*.toy)");
  EXPECT_EQ(filters[3].mask, "*.toy");
  // ... --help, the completion and the manual page name it ...
  const std::string help = cli::HelpText(toy);
  EXPECT_NE(help.find("*.tsv *.toy)"), std::string::npos) << help;
  EXPECT_NE(help.find("\n  toy files (.toy)\n"), std::string::npos) << help;
  EXPECT_NE(cli::CompletionScript(toy).find("|tsv|toy|ZIP|"), std::string::npos);
  EXPECT_EQ(cli::ManPage("%INPUT_MASKS%|%FORMAT_LIST%", toy).substr(0, 139),
            "*.zip *.gz *.txt *.wpt *.tpx *.csv *.gpx *.osm.pbf *.pbf *.osm *.osm.bz2 *.kml *.kmz "
            "*.geojson *.json *.geojsons "
            "*.geojsonl *.tsv *.toy|.IP");
  // ... and a run reads it through its row.
  builder.set_formats(&toy);
  const pipeline::BuildOutcome out = Run({"a.txt", "b.toy", "c.xyz"});
  ASSERT_EQ(out.status, pipeline::BuildStatus::kSucceeded) << out.error;
  const std::vector<NamesRecord> records = Output();
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[0].fields, (std::array<std::string, 5>{"Alpha", "Toy", "", "-3", "4"}));
  EXPECT_EQ(records[1].fields, (std::array<std::string, 5>{"Beta", "Toy", "", "1.5", "2.5"}));
  EXPECT_EQ(Types(), TypesWith({"Toy"}));
}

// What the build and the package carry follows the program's own table:
// the completion offers every extension, and every format's help anchor
// stands in the help.
TEST(FormatTextsTest, CompletionAndHelpFollowTheTable) {
#if defined(_WIN32)
  GTEST_SKIP() << "the bash completion is part of the Linux package only";
#endif
  std::ifstream completion(std::string(TOPONYX_BINARY_DIR) +
                           "/packaging/toponyx-create.bash-completion");
  std::stringstream script;
  script << completion.rdbuf();
  ASSERT_TRUE(completion) << "the build writes the completion";
  EXPECT_EQ(script.str(), cli::CompletionScript(readers::DefaultFormats()));
  const std::string offered = "|" + script.str().substr(script.str().find("_filedir '@(") + 12);
  const std::string masks = readers::DefaultFormats().InputMask(";");
  for (size_t at = 0; at < masks.size();) {
    const size_t semi = std::min(masks.find(';', at), masks.size());
    const std::string extension = masks.substr(at + 2, semi - at - 2);
    EXPECT_NE(offered.find("|" + extension + "|"), std::string::npos) << extension;
    at = semi + 1;
  }
  for (const readers::FormatRow& row : readers::DefaultFormats().rows()) {
    const std::string anchor(row.help_anchor);
    const size_t hash = anchor.find('#');
    std::ifstream page(std::string(TOPONYX_SOURCE_DIR) + kSep + "resources/help/" +
                       anchor.substr(0, hash));
    std::stringstream html;
    html << page.rdbuf();
    ASSERT_TRUE(page) << row.name << ": " << anchor;
    if (hash != std::string::npos) {
      EXPECT_NE(html.str().find("<a name=\"" + anchor.substr(hash + 1) + "\">"), std::string::npos)
          << row.name << ": " << anchor;
    }
  }
}

}  // namespace
}  // namespace toponyx::testing
