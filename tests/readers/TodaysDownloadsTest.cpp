// The downloads of today, read through whole runs: USA GNIS DomesticNames
// and gazetteer CSV, UTF-16 and UTF-8 files, OS Open Names, GPX, and what
// a run says of a file that gives no place.
#include <gtest/gtest.h>

#include <numbers>

#include <algorithm>
#include <cmath>
#include <map>
#include <set>

#include "pipeline/BuildFixture.h"

namespace toponyx::testing {
namespace {

using Fields = std::array<std::string, 5>;
using Texts = std::vector<std::string>;
const std::string kBom = "\xEF\xBB\xBF";

class TodaysDownloadsTest : public BuildFixture {
 protected:
  std::vector<Fields> Records(const std::string& name = "test") {
    std::vector<Fields> out;
    for (const auto& r : Output(name)) out.push_back(r.fields);
    return out;
  }
  // Records keyed by name (the tests' names are unique).
  std::map<std::string, Fields> ByName(const std::string& name = "test") {
    std::map<std::string, Fields> out;
    for (const Fields& f : Records(name)) out[f[0]] = f;
    return out;
  }
};

// A line of a DomesticNames file: 21 fields, the decimal position in 16 and 17.
std::string DomesticLine(const std::string& id, const std::string& name, const std::string& cls,
                         const std::string& lat, const std::string& lon) {
  return id + "|" + name + "|" + cls + "|Virginia|51|Bath|017|Bath|01/01/1980|||||380000N|" +
         "0790000W|" + lat + "|" + lon + "||||\r\n";
}

TEST_F(TodaysDownloadsTest, DomesticNamesByColumnNames) {
  std::string file = kBom +
                     "feature_id|feature_name|feature_class|state_name|state_numeric|county_name|"
                     "county_numeric|map_name|date_created|date_edited|bgn_type|bgn_authority|"
                     "bgn_date|prim_lat_dms|prim_long_dms|prim_lat_dec|prim_long_dec|"
                     "source_lat_dms|source_long_dms|source_lat_dec|source_long_dec\r\n";
  std::map<std::string, Fields> expected;
  for (int i = 0; i < 300; ++i) {
    const std::string id = std::to_string(1000 + i);
    const std::string name = "Feature " + id;
    const std::string cls = i % 3 == 0 ? "Stream" : i % 3 == 1 ? "populated place" : "Summit";
    const std::string lat = std::to_string(30 + i % 10) + ".12345" + std::to_string(i % 10);
    const std::string lon = "-" + std::to_string(100 + i % 20) + ".5";
    const bool unknown = i % 50 == 7;  // no position: passed over
    file += DomesticLine(id, name, cls, unknown ? "0" : lat, lon);
    if (!unknown) expected[name] = {name, i % 3 == 1 ? "Populated Place" : cls, "", lat, lon};
  }
  // UTF-8 names with letters the code page has and has not, and a comma.
  file += DomesticLine("2000",
                       "H\xC4\x81\xE2\x80\x98"
                       "ele",
                       "Ridge", "22.09", "-159.72");
  file += DomesticLine("2001", "Smith, Lake", "Lake", "44.5", "-69.2");
  expected["Ha'ele"] = {"Ha'ele", "Ridge", "", "22.09", "-159.72"};
  expected["Smith  Lake"] = {"Smith  Lake", "Lake", "", "44.5", "-69.2"};
  Write("DomesticNames_VA.txt", file);
  ASSERT_EQ(Run({"DomesticNames_VA.txt"}).status, pipeline::BuildStatus::kSucceeded);
  EXPECT_EQ(ByName(), expected);
  EXPECT_TRUE(ui.messages.empty());
}

TEST_F(TodaysDownloadsTest, GazetteerCsvWithQuotedFields) {
  Write("MA.csv",
        "Gaz ID,Feature Name,Class,County,State,Map,Elevation,Latitude,Longitude,Entry Date\r\n"
        "1,\"Walden Pond, The\",Lake,Middlesex,Massachusetts,Maynard,,42.4394,-71.3339,x\r\n"
        "2,\"The \"\"Old\"\" Mill\",Building,Essex,Massachusetts,Salem,12,42.52,-70.9,x\r\n"
        "3,Nowhere,Locale,Essex,Massachusetts,Salem,,0,0,x\r\n"
        "4,Plain,Summit,\"Essex, North\",Massachusetts,Salem,90,42.6,-71.0,x\r\n");
  ASSERT_EQ(Run({"MA.csv"}).status, pipeline::BuildStatus::kSucceeded);
  EXPECT_EQ(Records(), (std::vector<Fields>{
                           {"Plain", "Summit", "", "42.6", "-71.0"},
                           {"The \"Old\" Mill", "Building", "", "42.52", "-70.9"},
                           {"Walden Pond  The", "Lake", "", "42.4394", "-71.3339"},
                       }));

  const std::string real = RealDataDir();
  if (real.empty()) GTEST_SKIP() << "no real data beside the project";
  const std::string csv = ReadFileBytes(real + kSep + "gnis/HI_2026_gaz_csv_head200.csv");
  Write("HI.csv", csv);
  ASSERT_EQ(Run({"HI.csv"}, "hi").status, pipeline::BuildStatus::kSucceeded);
  // Every line but the header, with the class and position of its line
  // (positions cut to the field's ten characters) and, where the name is
  // plain ASCII, its name.
  std::multiset<Fields> expected;
  Texts ascii_names;
  size_t at = csv.find('\n') + 1;
  while (at < csv.size()) {
    const size_t end = csv.find('\n', at);
    std::string line = csv.substr(at, end - at);
    at = end == std::string::npos ? csv.size() : end + 1;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    Texts f;
    for (size_t p = 0;;) {
      const size_t c = line.find(',', p);
      f.push_back(line.substr(p, c - p));
      if (c == std::string::npos) break;
      p = c + 1;
    }
    expected.insert({"", f[2], "", f[7].substr(0, 10), f[8].substr(0, 10)});
    if (std::all_of(f[1].begin(), f[1].end(), [](char c) { return c > 0; })) {
      ascii_names.push_back(f[1]);
    }
  }
  ASSERT_EQ(expected.size(), 199u);
  std::multiset<Fields> got;
  Texts names;
  for (Fields f : Records("hi")) {
    names.push_back(f[0]);
    f[0].clear();
    got.insert(f);
  }
  EXPECT_EQ(got, expected);
  for (const std::string& n : ascii_names) {
    EXPECT_NE(std::find(names.begin(), names.end(), n), names.end()) << n;
  }
}

TEST_F(TodaysDownloadsTest, Utf16FilesGiveWhatTheirUtf8CopiesGive) {
  const std::string real = RealDataDir();
  if (real.empty()) GTEST_SKIP() << "no real data beside the project";
  Write("HI16.txt", ReadFileBytes(real + kSep + "gnis/HI_Features_20081120_head1000_utf16le.txt"));
  Write("HI8.txt", ReadFileBytes(real + kSep + "gnis/HI_Features_20081120_head1000_utf8_DERIVED.txt"));
  ASSERT_EQ(Run({"HI16.txt"}, "sixteen").status, pipeline::BuildStatus::kSucceeded);
  ASSERT_EQ(Run({"HI8.txt"}, "eight").status, pipeline::BuildStatus::kSucceeded);
  const std::string sixteen = ReadFileBytes(save + kSep + "sixteen.names");
  EXPECT_EQ(sixteen.substr(4), ReadFileBytes(save + kSep + "eight.names").substr(4));  // but the date
  EXPECT_EQ(sixteen.find('\0', 32 * 6), std::string::npos) << "a NUL byte after the header";
  EXPECT_EQ(Records("sixteen").size(), 999u);
  // "Hā‘ele‘ele Ridge": ā and the turned comma take their nearest characters.
  EXPECT_EQ(ByName("sixteen").count("Ha'ele'ele Ridge"), 1u);
}

// National Grid positions and what PROJ gives for them in WGS 84
// (tools/os_grid_reference.sh: cs2cs EPSG:27700 EPSG:4326).
struct GridPoint {
  int easting, northing;
  double lat, lon;
};
constexpr GridPoint kGridPoints[] = {
    {428119, 265114, 52.283453238, -1.589227620},  {530000, 180000, 51.503990828, -0.128353940},
    {326000, 673000, 55.944322243, -3.186379271},  {258000, 665000, 55.857213927, -4.270183241},
    {145000, 20000, 50.025426612, -5.561633518},   {180000, 40000, 50.219001189, -5.085307585},
    {337917, 503214, 54.420556355, -2.958278862},  {465000, 1115000, 59.914928897, -0.839427869},
    {390000, 1200000, 60.683085725, -2.184904407}, {200000, 860000, 57.585605401, -5.347381486},
    {240000, 640000, 55.627172212, -4.542806629},  {300000, 400000, 53.487177723, -3.508576273},
    {350000, 300000, 52.595481808, -2.739577468},  {600000, 250000, 52.112143239, 0.919417945},
    {640000, 310000, 52.634636098, 1.545389930},   {260000, 220000, 51.860969645, -4.034468251},
    {320000, 150000, 51.243543720, -3.147471048},  {450000, 550000, 54.842326505, -1.222956899},
    {350000, 800000, 57.088265864, -2.826647922},  {100000, 850000, 57.440850064, -7.001867402},
    {90000, 900000, 57.881404232, -7.231942175},   {215000, 770000, 56.784689860, -5.030000912},
    {430000, 430000, 53.765490755, -1.546376862},  {520000, 105000, 50.832104728, -0.297367735},
    {290000, 920000, 58.155151205, -3.870833926},
};

std::string OpenNamesLine(const std::string& id, const std::string& name1, const std::string& name2,
                          const std::string& type, const std::string& local_type, int e, int n) {
  const std::string lang2 = name2.empty() ? "" : "cym";
  return "osgb" + id + ",http://data.ordnancesurvey.co.uk/id/" + id + "," + name1 + ",eng," +
         name2 + "," + lang2 + "," + type + "," + local_type + "," + std::to_string(e) + "," +
         std::to_string(n) + ",1000,25000,,,,,SY23,http://x/SY23,,,,,,,Powys,http://x/p," +
         "Unitary Authority,Wales,http://x/w,Wales,http://x/c,,,\r\n";
}

TEST_F(TodaysDownloadsTest, OsOpenNamesOnTheNationalGrid) {
  const struct {
    const char* type;
    const char* local_type;
    const char* major;
  } kinds[] = {
      {"populatedPlace", "Town", "City or Town"},
      {"hydrography", "River", "River, Stream, Water"},
      {"landform", "Hill Or Mountain", "Mountain, Hill, Elevation"},
      {"landcover", "Woodland Or Forest", "Vegetation"},
      {"transportNetwork", "Railway Station", "Road or Railroad"},
      {"other", "Hospital", "Spot Feature"},
  };
  std::string file;
  std::map<std::string, const GridPoint*> where;
  std::map<std::string, std::pair<std::string, std::string>> codes;
  int id = 0;
  for (const GridPoint& p : kGridPoints) {
    for (const auto& k : kinds) {
      const std::string name = "Place " + std::to_string(++id);
      const bool welsh = id % 4 == 0;
      const std::string name2 = welsh ? "Lle " + std::to_string(id) : "";
      file += OpenNamesLine(std::to_string(4000000 + id), name, name2, k.type, k.local_type,
                            p.easting, p.northing);
      for (const std::string& n : {name, name2}) {
        if (n.empty()) continue;
        where[n] = &p;
        codes[n] = {k.local_type, k.major};
      }
    }
    // Postcodes and numbered roads are no places.
    file += OpenNamesLine("9" + std::to_string(id), "SY23 1AA", "", "other", "Postcode", p.easting,
                          p.northing);
    file += OpenNamesLine("8" + std::to_string(id), "A487", "", "transportNetwork", "Numbered Road",
                          p.easting, p.northing);
  }
  // A quoted name with a comma; a Welsh name with letters beyond the code page.
  file += "osgb1,http://data.ordnancesurvey.co.uk/id/1,\"Mumbles, The\",eng,Y Mwmbwls,cym," +
          std::string("populatedPlace,Village,260000,188000,,,,,,,,,,,,,,,,,,,,,,,,,\r\n");
  file +=
      "osgb2,http://data.ordnancesurvey.co.uk/id/2,Fishguard,eng,Abergwaun,cym,"
      "populatedPlace,Town,195000,237000,,,,,,,,,,,,,,,,,,,,,,,,\r\n";
  file +=
      "osgb3,http://data.ordnancesurvey.co.uk/id/3,Ynys M\xC3\xB4n,cym,,,"
      "other,Island,240000,380000,,,,,,,,,,,,,,,,,,,,,,,,\r\n";
  Write("SN.csv", file);
  Write("OS_Open_Names_Header.csv",
        "ID,NAMES_URI,NAME1,NAME1_LANG,NAME2,NAME2_LANG,TYPE,LOCAL_TYPE,GEOMETRY_X,GEOMETRY_Y,"
        "MOST_DETAIL_VIEW_RES,LEAST_DETAIL_VIEW_RES,MBR_XMIN,MBR_YMIN,MBR_XMAX,MBR_YMAX,"
        "POSTCODE_DISTRICT,POSTCODE_DISTRICT_URI,POPULATED_PLACE,POPULATED_PLACE_URI,"
        "POPULATED_PLACE_TYPE,DISTRICT_BOROUGH,DISTRICT_BOROUGH_URI,DISTRICT_BOROUGH_TYPE,"
        "COUNTY_UNITARY,COUNTY_UNITARY_URI,COUNTY_UNITARY_TYPE,REGION,REGION_URI,COUNTRY,"
        "COUNTRY_URI,RELATED_SPATIAL_OBJECT,SAME_AS_DBPEDIA,SAME_AS_GEONAMES\r\n");
  const pipeline::BuildOutcome out = Run({"OS_Open_Names_Header.csv", "SN.csv"});
  ASSERT_EQ(out.status, pipeline::BuildStatus::kSucceeded);
  EXPECT_TRUE(out.warnings.empty());  // the header file gives no place by design

  const auto records = ByName();
  EXPECT_EQ(records.size(), where.size() + 5);
  double worst = 0;
  for (const auto& [name, point] : where) {
    ASSERT_EQ(records.count(name), 1u) << name;
    const Fields& f = records.at(name);
    EXPECT_EQ(f[1], codes[name].first);
    EXPECT_EQ(f[2], codes[name].second);
    const double dy = (std::stod(f[3]) - point->lat) * 111320;
    const double dx = (std::stod(f[4]) - point->lon) * 111320 * std::cos(point->lat * std::numbers::pi / 180);
    worst = std::max(worst, std::hypot(dx, dy));
  }
  EXPECT_LT(worst, 0.5) << "metres from PROJ's position";
  EXPECT_EQ(records.at("Mumbles, The")[1], "Village");
  EXPECT_EQ(records.at("Y Mwmbwls")[3], records.at("Mumbles, The")[3]);
  EXPECT_EQ(records.count("Abergwaun"), 1u);
  EXPECT_EQ(records.at("Ynys M\x93n")[2], "Spot Feature");  // ô as the table stores it
  EXPECT_EQ(records.count("SY23 1AA") + records.count("A487"), 0u);
}

TEST_F(TodaysDownloadsTest, GpxWaypoints) {
  std::string gpx = kBom +
                    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"
                    "<gpx version=\"1.1\" creator=\"a unit\" xmlns=\"http://www.topografix.com/"
                    "GPX/1/1\">\r\n<metadata><name>Not a waypoint</name></metadata>\r\n";
  std::map<std::string, Fields> expected;
  for (int i = 0; i < 200; ++i) {
    const std::string name = "Cairn " + std::to_string(100 + i);
    const double lat = -45 + i * 0.37, lon = 170 - i * 0.91;
    char lat_text[32], lon_text[32];
    std::snprintf(lat_text, sizeof lat_text, "%.6f", lat);
    std::snprintf(lon_text, sizeof lon_text, "%.6f", lon);
    const std::string code = i % 3 == 0 ? "Summit" : i % 3 == 1 ? "Flag, Blue" : "";
    gpx += std::string("  <wpt lat=\"") + lat_text + "\" lon=\"" + lon_text +
           "\">\r\n    <ele>1</ele>\r\n" + "    <name>" + name + "</name>\r\n" +
           (i % 3 == 0 ? "    <type>Summit</type>\r\n" : "") +
           (i % 3 == 1 ? "    <sym>Flag, Blue</sym>\r\n" : "") + "  </wpt>\r\n";
    char fc[32], fd[32];
    std::snprintf(fc, sizeof fc, "%.5f", lat);
    std::snprintf(fd, sizeof fd, "%.5f", lon);
    expected[name] = {name, code.empty() ? "Waypoint" : code, "", fc, fd};
  }
  // Entities, character references and CDATA; the type before the symbol;
  // names of the waypoint's extensions, routes and tracks are not read.
  gpx +=
      "<wpt lat=\"47.5\" lon=\"8.25\"><name>Caf&#xE9; &amp; Bar</name><sym>Restaurant</sym>"
      "<type><![CDATA[Food & <Drink>]]></type><extensions><name>inner</name></extensions></wpt>\n"
      "<wpt lat=\"10\" lon=\"20\"><name>  </name></wpt>\n"
      "<wpt lon=\"20\"><name>No latitude</name></wpt>\n"
      "<rte><rtept lat=\"1\" lon=\"2\"><name>Route point</name></rtept></rte>\n"
      "<trk><trkseg><trkpt lat=\"1\" lon=\"2\"><name>Track point</name></trkpt></trkseg></trk>\n"
      "</gpx>\n";
  expected["Caf\x82 & Bar"] = {"Caf\x82 & Bar", "Food & <Drink>", "", "47.50000", "8.25000"};
  expected["Not Identified"] = {"Not Identified", "Waypoint", "", "10.00000", "20.00000"};
  Write("hike.gpx", gpx);
  ASSERT_EQ(Run({"hike.gpx"}).status, pipeline::BuildStatus::kSucceeded);
  EXPECT_EQ(ByName(), expected);
  EXPECT_NE(Types().find("\r\nFlag, Blue\r\n"), std::string::npos);
}

TEST_F(TodaysDownloadsTest, FilesThatGiveNoPlaceAreNamed) {
  Write("notes.csv", "just,some,columns\n");
  Write("empty.gpx", "<gpx></gpx>");
  Write("broken.gpx", "this is not XML");
  Write("letter.txt", "Dear friends,\nno gazetteer here.\n");
  Write("usa.txt",
        "FEATURE_ID|FEATURE_NAME|FEATURE_CLASS|STATE_ALPHA|x|x|x|x|x|PRIM_LAT_DEC|PRIM_LONG_DEC\n"
        "1|No Position|Lake|x|x|x|x|x|x|0|0\n");
  Write("good.tpx", "Hut,Hut,,-41.1,174.8\n");
  const pipeline::BuildOutcome out =
      Run({"notes.csv", "empty.gpx", "broken.gpx", "letter.txt", "usa.txt", "good.tpx"});
  ASSERT_EQ(out.status, pipeline::BuildStatus::kSucceeded);
  EXPECT_TRUE(ui.messages.empty());  // no box in the written sequence
  EXPECT_EQ(pipeline::NoPlacesWarning(out.warnings),
            "These files gave no places:\n"
            "notes.csv: no name, latitude and longitude columns\n"
            "empty.gpx: no usable lines\n"
            "broken.gpx: no usable lines\n"
            "letter.txt: layout not recognised\n"
            "usa.txt: no usable lines");
  ASSERT_EQ(out.files.size(), 6u);
  EXPECT_EQ(out.files[5].name, "good.tpx");
  EXPECT_EQ(out.files[5].places, 1u);
}

}  // namespace
}  // namespace toponyx::testing
