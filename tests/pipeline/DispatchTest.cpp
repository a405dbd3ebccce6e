// Which reader the dispatch chooses, and where it leaves the file for it.
#include <gtest/gtest.h>

#include <algorithm>

#include "pipeline/BuildFixture.h"
#include "pipeline/Dispatch.h"

namespace toponyx::testing {
namespace {

struct Call {
  std::string reader;
  std::string file;
  std::string buffer;     // the current-line buffer when the reader starts
  std::string next_line;  // the line the reader would read first
  bool world_header;
  bool operator==(const Call&) const = default;
};
std::vector<Call> calls;

// The short name of the reader a format row calls.
std::string ReaderOf(const readers::FormatRow* row) {
  const std::pair<const readers::FormatRow*, const char*> names[] = {
      {&readers::kUsaGnisTextFormat, "usa-text"}, {&readers::kUsaGnisPlainFormat, "usa-plain"},
      {&readers::kWorldGnsFormat, "world"},       {&readers::kGeoNamesFormat, "geonames"},
      {&readers::kOsGazetteerFormat, "os"},       {&readers::kWaypointsFormat, "waypoint"},
      {&readers::kToponyxTextFormat, "tpx"},
  };
  for (const auto& [format, name] : names) {
    if (row->name == format->name) return name;
  }
  return std::string(row->name);
}

void Record(readers::ReaderInput& in) {
  Call c{ReaderOf(in.found.format), std::string(in.name), in.line, "",
         in.found.format->name == readers::kWorldGnsFormat.name &&
             in.found.layout == readers::kGnsOlder};
  std::string line;
  if (!in.file.Eof()) {
    in.file.ReadTextLine(line);
    c.next_line = line;
  }
  while (!in.file.Eof()) in.file.ReadTextLine(line);
  calls.push_back(c);
}

// The program's formats with a recorder in place of every reader.
readers::FormatTable Recorders() {
  std::vector<readers::FormatRow> rows = readers::DefaultFormats().rows();
  for (readers::FormatRow& row : rows) {
    if (row.reader != nullptr) {
      row.reader = [](readers::ReaderInput& in, readers::ReaderRun&) { Record(in); };
    }
  }
  return readers::FormatTable(std::move(rows));
}
const readers::FormatTable kRecorders = Recorders();

class DispatchTest : public BuildFixture {
 protected:
  DispatchTest() {
    calls.clear();
    builder.set_formats(&kRecorders);
  }
};

TEST_F(DispatchTest, TextFilesAreRecognisedByNameAndFirstLine) {
  Write("a_50kgaz.txt", "FEATURE_ID|FEATURE_NAME|FEATURE_CLASS|STATE_ALPHA|\n2nd\n");
  Write("b_usa.txt", "x feature_id|feature_name|feature_class|state_alpha|\nline2\n");
  Write("c_geo7.txt", "1234567\tName\tLAT\n2nd\n");
  Write("d_geo6.txt", "123456\tName\n2nd\n");
  Write("e_five.txt", "12345\tName\n2nd\n");              // tab at 6: not GeoNames
  Write("f_five.txt", "12345\tLAT\n2nd\n");               // ... but LAT: world
  Write("g_gnsA.txt", "RC\tUFI\tUNI\tLAT\tLONG\n2nd\n");  // no DATE: layout A
  Write("h_gnsB.txt", "RC\tLONG\tMODIFY_DATE\n2nd\n");
  Write("i_lower.txt", "lat\tlong\n2nd\n");  // lower case: USA
  Write("j_empty.txt", "");
  Write("k_geo8.txt", "12345678\tName\n2nd\n");    // eight digits: USA
  Write("l_geoalpha.txt", "12a4567\tLAT\n2nd\n");  // not all digits
  Write("m_blankid.txt", "      \tx\tLONG\n");     // six blanks: an empty first field
  Write("N_50KGAZ_2.TXT", "anything\n");
  Write("o_latlong.txt", "LATITUDE only\n");
  Write("p_current.txt", "rk\tfull_name\tlat_dd\tlong_dd\tdesig_cd\n2nd\n");
  Write("q_notquite.txt", "rk\tfull_name\tlat_dd\tlong_dd\n2nd\n");  // no code column
  std::vector<std::string> names = {
      "a_50kgaz.txt",  "b_usa.txt",      "c_geo7.txt",    "d_geo6.txt",     "e_five.txt",
      "f_five.txt",    "g_gnsA.txt",     "h_gnsB.txt",    "i_lower.txt",    "j_empty.txt",
      "k_geo8.txt",    "l_geoalpha.txt", "m_blankid.txt", "N_50KGAZ_2.TXT", "o_latlong.txt",
      "p_current.txt", "q_notquite.txt"};
  ASSERT_EQ(Run(names).status, pipeline::BuildStatus::kSucceeded);
  const std::string usa_head = "x feature_id|feature_name|feature_class|state_alpha|";
  const std::vector<Call> expected = {
      {"os", "a_50kgaz.txt", "a_50kgaz.txt", "FEATURE_ID|FEATURE_NAME|FEATURE_CLASS|STATE_ALPHA|",
       false},
      {"usa-text", "b_usa.txt", usa_head, usa_head, false},  // reopened at line 1
      {"geonames", "c_geo7.txt", "1234567\tName\tLAT", "2nd", false},
      {"geonames", "d_geo6.txt", "123456\tName", "2nd", false},
      {"usa-text", "e_five.txt", "12345\tName", "12345\tName", false},
      {"world", "f_five.txt", "12345\tLAT", "2nd", true},
      {"world", "g_gnsA.txt", "RC\tUFI\tUNI\tLAT\tLONG", "2nd", true},
      {"world", "h_gnsB.txt", "RC\tLONG\tMODIFY_DATE", "2nd", false},
      {"usa-text", "i_lower.txt", "lat\tlong", "lat\tlong", false},
      {"usa-text", "j_empty.txt", "", "", false},
      {"usa-text", "k_geo8.txt", "12345678\tName", "12345678\tName", false},
      {"world", "l_geoalpha.txt", "12a4567\tLAT", "2nd", true},
      {"geonames", "m_blankid.txt", "      \tx\tLONG", "", false},
      {"os", "N_50KGAZ_2.TXT", "N_50KGAZ_2.TXT", "anything", false},
      {"world", "o_latlong.txt", "LATITUDE only", "", true},
      {"world", "p_current.txt", "rk\tfull_name\tlat_dd\tlong_dd\tdesig_cd", "2nd", false},
      {"usa-text", "q_notquite.txt", "rk\tfull_name\tlat_dd\tlong_dd",
       "rk\tfull_name\tlat_dd\tlong_dd", false},
  };
  EXPECT_EQ(calls, expected);
}

TEST_F(DispatchTest, ExtensionsChooseTheRestAndUnknownFilesYieldNothing) {
  Write("CA", "fixed layout line\n");
  Write("x.usa", "usa line\n");
  Write("p.TPX", "; comment\n");
  Write("w.wpt", "Carthovista Waypoint File Version 1\nWGS 84\nline3\nline4\nline5\n");
  Write("nohead.wpt", "some other file\nWGS 84\n");
  Write("data.dat", "x\n");
  // Only the listed extensions are staged from the download folder; a file
  // without extension or ".usa" arrives only from archives, so stage those
  // through the dispatch directly.
  ASSERT_EQ(Run({"p.TPX", "w.wpt", "nohead.wpt", "data.dat"}).status,
            pipeline::BuildStatus::kSucceeded);
  const std::vector<Call> expected = {
      {"tpx", "p.TPX", "p.TPX", "; comment", false},
      {"waypoint", "w.wpt", "line4", "line5", false},
  };
  EXPECT_EQ(calls, expected);

  calls.clear();
  pipeline::TpxSettings tpx;
  pipeline::BuildContext ctx(tpx, ui);
  ctx.formats = &kRecorders;
  ctx.staged = {{"CA", download}, {"x.usa", download}, {"data.dat", download}};
  pipeline::ReadStagedFiles(ctx);
  // Line 1 was read to see whether it is a GeoNames line; the reader
  // begins at line 1 again.
  const std::vector<Call> plain = {
      {"usa-plain", "CA", "fixed layout line", "fixed layout line", false},
      {"usa-plain", "x.usa", "usa line", "usa line", false},
  };
  EXPECT_EQ(calls, plain);
}

// Every format of the table with a reader is reached by a file of its own,
// and the recognition of every row is tried in the table's order.
TEST_F(DispatchTest, EveryFormatOfTheTableIsReached) {
  const std::vector<std::pair<std::string, std::string>> files = {
      {"a_50kgaz.txt", "x\n"},
      {"b_usa.txt", "FEATURE_ID|FEATURE_NAME|FEATURE_CLASS|STATE_ALPHA|\n"},
      {"c_domestic.txt", "feature_id|feature_name|feature_class|prim_lat_dec|prim_long_dec\n"},
      {"d_geonames.txt", "1234567\tName\n"},
      {"e_gns.txt", "RC\tLAT\tLONG\n"},
      {"f.wpt", "Carthovista Waypoint File\nWGS 84\n3\n4\n"},
      {"g.tpx", "x\n"},
      {"h_gaz.csv", "Gaz ID,Feature Name,Class,Latitude,Longitude\n"},
      {"i_names.csv", "a,http://data.ordnancesurvey.co.uk/id/x" + std::string(32, ',') + "\n"},
      {"j_header.csv", "ID,NAMES_URI,NAME1" + std::string(31, ',') + "\n"},
      {"k.gpx", "<gpx/>"},
      {"l.kml", "<kml/>"},
      {"m.geojson", "{}"},
      {"n_table.csv", "name,lat,lon\n"},
      {"o.osm.pbf", "x"},
      {"p.osm", "<osm/>"},
  };
  std::vector<std::string> names;
  for (const auto& [name, bytes] : files) {
    Write(name, bytes);
    names.push_back(name);
  }
  const pipeline::BuildOutcome out = Run(names);
  ASSERT_EQ(out.status, pipeline::BuildStatus::kSucceeded);
  // The plain USA entry is reached only from archives, and so is the
  // OpenStreetMap XML that a ".gz" file expanded: stage them directly.
  Write("CA", "x\n");
  Write("n.osm.usa", "<?xml version='1.0'?>\n<!-- extract -->\n<osm version=\"0.6\">\n</osm>\n");
  pipeline::TpxSettings tpx;
  pipeline::BuildContext ctx(tpx, ui);
  ctx.formats = &kRecorders;
  ctx.staged = {{"CA", download}, {"n.osm.usa", download}};
  pipeline::ReadStagedFiles(ctx);

  std::vector<std::string> reached;
  for (const Call& call : calls) reached.push_back(call.reader);
  for (const readers::FormatRow& row : readers::DefaultFormats().rows()) {
    if (row.reader == nullptr) continue;
    EXPECT_NE(std::find(reached.begin(), reached.end(), ReaderOf(&row)), reached.end()) << row.name;
  }
  EXPECT_EQ(calls.size(), files.size() - 1 + 2);  // the OS Open Names header has no reader
  // ... and gives no warning for it, as the files whose readers found nothing do.
  for (const pipeline::FileResult& f : out.files) {
    EXPECT_EQ(f.problem == pipeline::FileResult::Problem::kNone, f.name == "j_header.csv")
        << f.name;
  }
}

TEST_F(DispatchTest, WaypointDatumIsMatchedExactlyAsRead) {
  Write("ok.wpt", "Carthovista Waypoint File\n  European 1950\nl3\nl4\n");
  Write("exact.wpt", "Carthovista Waypoint File\nEuropean 1950\nl3\nl4\n");
  ASSERT_EQ(Run({"exact.wpt"}).status, pipeline::BuildStatus::kSucceeded);
  EXPECT_TRUE(ui.messages.empty());

  // Blanks around the name, or another letter case, make it unknown: WGS 84
  // is assumed and the warning shows once, however many files have it.
  Write("blank.wpt", "Carthovista Waypoint File\nWGS 84 \nl3\nl4\n");
  Write("case.wpt", "Carthovista Waypoint File\nwgs 84\nl3\nl4\n");
  ASSERT_EQ(Run({"blank.wpt", "case.wpt", "ok.wpt"}, "other").status,
            pipeline::BuildStatus::kSucceeded);
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(ui.messages[0].kind, MessageKind::kWarning);
  EXPECT_EQ(ui.messages[0].text,
            "One or more of the Waypoint Files has an unrecognised Datum.\r\n\r\nWGS 84 Datum "
            "has been assumed and the locations have been included in your database. If this "
            "is not the correct Datum the locations will be incorrect.");
  EXPECT_EQ(ui.events.back(), "message");  // after the progress window closed
}

TEST_F(DispatchTest, MissingStagedFileAndMissingCodeListEndTheRun) {
  Write("g.txt", "RC\tLAT\tLONG\n");
  platform::DefaultFileSystem().Remove(program + kSep + "WorldCodes.list");
  pipeline::BuildOutcome out = Run({"g.txt"});
  EXPECT_EQ(out.status, pipeline::BuildStatus::kFailed);
  EXPECT_EQ(out.error, "Cannot open file " + program + kSep + "WorldCodes.list");

  out = Run({"missing.txt"});
  EXPECT_EQ(out.status, pipeline::BuildStatus::kFailed);
  EXPECT_EQ(out.error, "Cannot open file " + download + kSep + "missing.txt");
  EXPECT_FALSE(platform::DefaultFileSystem().Exists(staging + kSep + "temp.names"));
}

TEST(FileExtensionTest, LastDotWithoutSeparatorAfterIt) {
  EXPECT_EQ(readers::FileExtension("a.b.TXT"), ".TXT");
  EXPECT_EQ(readers::LowerExtension("Archive.ZIP"), ".zip");
  EXPECT_EQ(readers::FileExtension("noext"), "");
  EXPECT_EQ(readers::FileExtension("dir.d\\file"), "");
  EXPECT_EQ(readers::FileExtension("c.d:x"), "");
  EXPECT_EQ(readers::FileExtension(".usa"), ".usa");
  EXPECT_EQ(readers::FileExtension("name."), ".");
}

}  // namespace
}  // namespace toponyx::testing
