// The places people exchange, read through whole runs record by record:
// KML and KMZ placemarks, GeoJSON features and feature sequences, and
// delimited tables with a header row (national gazetteers, spreadsheets).
#include <gtest/gtest.h>

#include <map>

#include "pipeline/BuildFixture.h"
#include "readers/CreateRun.h"
#include "readers/Shapes.h"
#include "support/ZipWriter.h"

namespace toponyx::testing {
namespace {

using Fields = std::array<std::string, 5>;
using Places = std::map<std::string, Fields>;
const std::string kBom = "\xEF\xBB\xBF";

class MapsAndTablesTest : public BuildFixture {
 protected:
  // The records of a run keyed by name (the tests' names are unique).
  Places ByName(const std::string& name = "test") {
    Places out;
    for (const auto& r : Output(name)) out[r.fields[0]] = r.fields;
    return out;
  }
  // A run of the files that must succeed without a warning.
  Places Read(std::vector<std::string> files, const readers::ColumnChoice& columns = {}) {
    pipeline::BuildRequest request = Request(std::move(files));
    request.table_columns = columns;
    const pipeline::BuildOutcome out = builder.Create(request);
    EXPECT_EQ(out.status, pipeline::BuildStatus::kSucceeded) << out.error;
    EXPECT_TRUE(out.warnings.empty()) << pipeline::NoPlacesWarning(out.warnings);
    return ByName();
  }
};

Fields Place(std::string name, std::string code, std::string lat, std::string lon) {
  return {name, std::move(code), "", std::move(lat), std::move(lon)};
}
void Expect(Places& expected, const std::string& name, const std::string& code,
            const std::string& lat, const std::string& lon) {
  expected[name] = Place(name, code, lat, lon);
}

const std::string kKml =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<kml xmlns=\"http://www.opengis.net/kml/2.2\" xmlns:gx=\"http://www.google.com/kml/ext/2.2\""
    " xmlns:kml=\"http://www.opengis.net/kml/2.2\">\n"
    "<Document><name>Trip</name>\n"
    " <Placemark><name>Loose Point</name><Point><coordinates>174.776,-41.2865,12"
    "</coordinates></Point></Placemark>\n"
    " <Folder><name>Huts</name><description>not a name</description>\n"
    "  <Placemark><name><![CDATA[Caf\xC3\xA9 & <b>Hut</b>]]></name>\n"
    "   <Point><coordinates>\n      170.1,-43.5,0\n    </coordinates></Point></Placemark>\n"
    "  <Placemark><Point><coordinates>170,-43</coordinates></Point><name>Mt Cook\n"
    "      Hut</name></Placemark>\n"
    "  <Placemark><Point><coordinates>1,2</coordinates></Point></Placemark>\n"
    "  <Folder><name> </name>\n"
    "   <Placemark><name>In a folder without name</name><Point><coordinates>1,2</coordinates>"
    "</Point></Placemark>\n"
    "  </Folder>\n"
    "  <Folder><name>Tracks</name>\n"
    "   <Placemark><name>Along a meridian</name><LineString><coordinates>10,-45 10,-44\n"
    "    10,-40</coordinates></LineString></Placemark>\n"
    "   <Placemark><name>Recorded</name><gx:Track><when>2020-01-01</when>"
    "<gx:coord>5 0 5</gx:coord><gx:coord>5\t1 5</gx:coord><gx:coord> 5  3 5 </gx:coord>"
    "</gx:Track></Placemark>\n"
    "  </Folder>\n"
    "  <kml:Placemark><kml:name>Ring round a lake</kml:name><kml:Polygon><kml:outerBoundaryIs>"
    "<kml:LinearRing><kml:coordinates>0,0 10,0 10,10 0,10 0,0</kml:coordinates>"
    "</kml:LinearRing></kml:outerBoundaryIs><kml:innerBoundaryIs><kml:LinearRing>"
    "<kml:coordinates>4,4 6,4 6,6 4,6 4,4</kml:coordinates></kml:LinearRing>"
    "</kml:innerBoundaryIs></kml:Polygon></kml:Placemark>\n"
    "  <Placemark><name>Several</name><MultiGeometry><LineString><coordinates></coordinates>"
    "</LineString><Point><coordinates>5,6</coordinates></Point><Polygon><outerBoundaryIs>"
    "<LinearRing><coordinates>20,20 30,20 30,30 20,20</coordinates></LinearRing>"
    "</outerBoundaryIs></Polygon></MultiGeometry></Placemark>\n"
    "  <Placemark><name>Off the globe</name><Point><coordinates>200,95</coordinates></Point>"
    "</Placemark>\n"
    " </Folder>\n"
    " <Placemark><name>After the folder</name><Point><coordinates>-0.5,51.25</coordinates>"
    "</Point></Placemark>\n"
    "</Document></kml>\n";

TEST_F(MapsAndTablesTest, KmlPlacemarksInTheirFolders) {
  Write("trip.kml", kKml);
  Places expected;
  Expect(expected, "Loose Point", "Placemark", "-41.28650", "174.77600");
  Expect(expected, "Caf\x82 & <b>Hut</b>", "Huts", "-43.50000", "170.10000");  // é as stored
  Expect(expected, "Mt Cook Hut", "Huts", "-43.00000", "170.00000");
  Expect(expected, "In a folder without name", "Huts", "2.00000", "1.00000");
  Expect(expected, "Along a meridian", "Tracks", "-42.50000", "10.00000");
  Expect(expected, "Recorded", "Tracks", "1.50000", "5.00000");
  // The centre lies in the lake: the middle of the widest stretch of land
  // along its parallel.
  Expect(expected, "Ring round a lake", "Huts", "5.00000", "2.00000");
  Expect(expected, "Several", "Huts", "6.00000", "5.00000");
  Expect(expected, "After the folder", "Placemark", "51.25000", "-0.50000");
  EXPECT_EQ(Read({"trip.kml"}), expected);
  EXPECT_EQ(Types(), TypesWith({"Huts", "Placemark", "Tracks"}));
}

TEST_F(MapsAndTablesTest, KmzReadsItsDocumentOnly) {
  const std::string png = "\x89PNG\r\n\x1A\n" + std::string(300, '\x07');
  auto kml = [](const std::string& name) {
    return "<kml><Placemark><name>" + name +
           "</name><Point><coordinates>7,8</coordinates></Point></Placemark></kml>";
  };
  Write("doc.kmz", BuildZip({{"files/icon.png", png},
                             {"other.kml", kml("Other")},
                             {"files/doc.kml", kml("Inner Doc")},
                             {"doc.kml", kml("Doc")},
                             {"README.txt", "not a gazetteer"}}));
  Write("first.kmz",
        BuildZip(
            {{"icon.png", png}, {"maps/first.kml", kml("First")}, {"second.kml", kml("Second")}}));
  const pipeline::BuildOutcome out = Run({"doc.kmz", "first.kmz"});
  ASSERT_EQ(out.status, pipeline::BuildStatus::kSucceeded) << out.error;
  EXPECT_TRUE(out.warnings.empty()) << pipeline::NoPlacesWarning(out.warnings);
  ASSERT_EQ(out.files.size(), 2u);
  EXPECT_EQ(out.files[0].name, "doc.kmz: doc.kml");
  EXPECT_EQ(out.files[1].name, "first.kmz: first.kml");
  EXPECT_EQ(NamesOf(Output()), (std::vector<std::string>{"Doc", "First"}));
  EXPECT_TRUE(ui.messages.empty());
}

TEST_F(MapsAndTablesTest, GeoJsonCollectionsAndSequences) {
  Write("places.geojson",
        "{\"type\": \"FeatureCollection\", \"name\": \"not a place\", \"features\": [\n"
        // Name and code by their first spelling.
        "{\"type\":\"Feature\",\"properties\":{\"class\":\"second\",\"type\":\"peak\","
        "\"name\":\"Point\",\"title\":\"no\"},\"geometry\":{\"type\":\"Point\","
        "\"coordinates\":[170.5,-43.25,1200]}},\n"
        // Geometry first, its type last; the later spellings of each.
        "{\"geometry\":{\"coordinates\":[[10,-45],[10,-44],[10,-40]],\"type\":\"LineString\"},"
        "\"properties\":{\"title\":\"T\",\"NAME\":\"Line\",\"fclass\":\"x\",\"category\":\"lake\"},"
        "\"type\":\"Feature\"},\n"
        "{\"type\":\"Feature\",\"properties\":{\"Name\":\"Ring\",\"feature_class\":\"H\"},"
        "\"geometry\":{\"type\":\"Polygon\",\"coordinates\":[[[0,0],[10,0],[10,10],[0,10],[0,0]],"
        "[[4,4],[6,4],[6,6],[4,6],[4,4]]]}},\n"
        "{\"type\":\"Feature\",\"properties\":{\"title\":\"Islands\",\"fclass\":\"island\"},"
        "\"geometry\":{\"type\":\"MultiPolygon\",\"coordinates\":[[[[20,20],[22,20],[22,22],"
        "[20,22],[20,20]]],[[[50,50],[60,50],[60,60],[50,50]]]]}},\n"
        "{\"type\":\"Feature\",\"properties\":{\"name\":\"Caf\\u00e9 \\u2018Z\\u2019\\n\"},"
        "\"geometry\":{\"type\":\"MultiPoint\",\"coordinates\":[[1,2],[3,4]]}},\n"
        "{\"type\":\"Feature\",\"properties\":{\"name\":123,\"meta\":{\"name\":\"inner\"}},"
        "\"geometry\":{\"type\":\"GeometryCollection\",\"geometries\":[{\"type\":\"LineString\","
        "\"coordinates\":[]},{\"type\":\"Point\",\"coordinates\":[7,8]}]}},\n"
        "{\"type\":\"Feature\",\"properties\":{\"name\":\"No geometry\"},\"geometry\":null},\n"
        "{\"type\":\"Feature\",\"properties\":{\"label\":\"No name\"},\"geometry\":{\"type\":"
        "\"Point\",\"coordinates\":[1,1]}},\n"
        "{\"type\":\"NotAFeature\",\"properties\":{\"name\":\"Other\"},\"geometry\":{\"type\":"
        "\"Point\",\"coordinates\":[1,1]}},\n"
        "{\"type\":\"Feature\",\"properties\":{\"name\":\"Far\"},\"geometry\":{\"type\":"
        "\"Point\",\"coordinates\":[181,1]}}\n"
        "]}\n");
  // A text sequence: a record separator before each text, one text a line,
  // a broken text passed over.
  Write("more.geojsonl",
        "\x1E{\"type\":\"Feature\",\"properties\":{\"name\":\"Seq 1\"},\"geometry\":{\"type\":"
        "\"Point\",\"coordinates\":[-3.5,40.25]}}\n"
        "{\"type\":\"Feature\",\"properties\":{\"name\":\"Broken\"},\"geometry\":{\"type\n"
        "\x1E{\"type\":\"Feature\",\"properties\":{\"name\":\"Seq 2\",\"class\":\"town\"},"
        "\"geometry\":{\"type\":\"MultiLineString\",\"coordinates\":[[[0,10],[0,20]],[[9,9],"
        "[9,9]]]}}\n");
  // ".json" by what its top level is.
  Write("portal.json",
        "{\"bbox\":[0,0,1,1],\"features\":[{\"type\":\"Feature\",\"properties\":{\"name\":"
        "\"From a portal\"},\"geometry\":{\"type\":\"Point\",\"coordinates\":[0.5,0.25]}}],"
        "\"type\":\"FeatureCollection\"}");
  Places expected;
  Expect(expected, "Point", "peak", "-43.25000", "170.50000");
  Expect(expected, "Line", "lake", "-42.50000", "10.00000");
  Expect(expected, "Ring", "H", "5.00000", "2.00000");
  Expect(expected, "Islands", "island", "21.00000", "21.00000");
  Expect(expected, "Caf\x82 'Z'", "Feature", "2.00000", "1.00000");
  Expect(expected, "123", "Feature", "8.00000", "7.00000");
  Expect(expected, "Seq 1", "Feature", "40.25000", "-3.50000");
  Expect(expected, "Seq 2", "town", "15.00000", "0.00000");
  Expect(expected, "From a portal", "Feature", "0.25000", "0.50000");
  EXPECT_EQ(Read({"places.geojson", "more.geojsonl", "portal.json"}), expected);

  // Other JSON is no GeoJSON.
  Write("package.json", "{\"name\": \"x\", \"features\": {\"type\": \"Feature\"}}");
  const pipeline::BuildOutcome out = Run({"package.json"});
  EXPECT_EQ(out.warnings, std::vector<std::string>{"package.json: layout not recognised"});
}

TEST_F(MapsAndTablesTest, TablesOfSpreadsheets) {
  // Semicolons and decimal commas; quoted separators, quotes and a line
  // break; lines without a name or a usable position passed over.
  Write("sheet.csv",
        "Name;Lat;Lon;Type\r\n"
        "Auckland;-36,8485;174,7633;City\r\n"
        "\"Semi; colon \"\"quoted\"\"\";1,5;2,5;\r\n"
        "\"Two\r\nlines\";3.25;4.5;Note\r\n"
        "No position;;;\r\n"
        "Beyond the pole;95;10;x\r\n"
        "Words;north;east;x\r\n"
        ";1;2;Nameless\r\n"
        "Last;-1;-2;City");
  // UTF-16 with a byte-order mark, tab-separated ("Unicode text").
  const std::u16string sheet =
      u"name\tlatitude\tlongitude\tclass\r\nZ\u00fcrich\t47.37\t8.54\tcity\r\n";
  std::string utf16 = "\xFF\xFE";
  for (const char16_t c : sheet) {
    utf16 += static_cast<char>(c & 0xFF);
    utf16 += static_cast<char>(c >> 8);
  }
  Write("unicode.txt", utf16);
  Places expected;
  Expect(expected, "Auckland", "City", "-36.84850", "174.76330");
  Expect(expected, "Semi; colon \"quoted\"", "Not Identified", "1.50000", "2.50000");
  Expect(expected, "Two lines", "Note", "3.25000", "4.50000");
  Expect(expected, "Last", "City", "-1.00000", "-2.00000");
  Expect(expected, "Z\x81rich", "city", "47.37000", "8.54000");  // ü as stored
  EXPECT_EQ(Read({"sheet.csv", "unicode.txt"}), expected);

  // A header the program does not know: its columns named by name...
  Write("orte.tsv", "Nr\tOrtsname\tBreite\tLaenge\tArt\n1\tBern\t46.95\t7.45\tStadt\n");
  EXPECT_EQ(Read({"orte.tsv"}, {"ortsname", "BREITE", "Laenge", "Art"}),
            (Places{{"Bern", Place("Bern", "Stadt", "46.95000", "7.45000")}}));
  // ... or by number, in a file without a header.
  Write("numbers.csv", "1|Wellington|-41.28|174.77|capital\n2|Nelson|-41.27|173.28|city\n");
  EXPECT_EQ(Read({"numbers.csv"}, {"2", "3", "4", "5"}),
            (Places{{"Nelson", Place("Nelson", "city", "-41.27000", "173.28000")},
                    {"Wellington", Place("Wellington", "capital", "-41.28000", "174.77000")}}));

  // A table without the columns says so; a .txt without them is no table.
  Write("notes.csv", "just,some,columns\n1,2,3\n");
  Write("letter.txt", "name,date\nDear friends,today\n");
  const pipeline::BuildOutcome out = Run({"letter.txt", "notes.csv"});
  EXPECT_EQ(out.warnings, (std::vector<std::string>{"letter.txt: layout not recognised",
                                                    "notes.csv: no name, latitude and longitude "
                                                    "columns"}));
}

TEST_F(MapsAndTablesTest, NationalGazetteersWithTheirDiacritics) {
  // New Zealand: UTF-8 without a byte-order mark; macrons the code page
  // lacks take their nearest letter.
  Write("gaz_names.csv",
        "name_id,name,status,feat_id,feat_type,nzgb_ref,land_district,crd_projection,crd_north,"
        "crd_east,crd_datum,crd_latitude,crd_longitude,info_ref\n"
        "1,\xC5\x8Ctautahi,Official,10,Town,x,Canterbury,NZTM,5180000,1570000,NZGD2000,"
        "-43.5321,172.6362,\n"
        "2,Whakat\xC4\x81ne,Official,11,Town,x,\"Bay of Plenty, East\",NZTM,5800000,1950000,"
        "NZGD2000,-37.9533,176.9907,\n"
        "3,Aoraki / Mount Cook,Official,12,Mountain,x,Canterbury,NZTM,0,0,NZGD2000,-43.595,"
        "170.1418,\n");
  // Canada: UTF-8 with a byte-order mark.
  Write("cgn_canada.csv",
        kBom +
            "CGNDB ID,Geographical Name,Language,Syllabic Form,Generic Term,Generic Category,"
            "Concise Code,Toponymic Feature ID,Latitude,Longitude,Location,Province - Territory,"
            "Relevance at Scale,Decision Date,Source\n"
            "EHHUN,Montr\xC3\xA9\x61l,French,,City,Populated Place,CITY,x,45.5089,-73.5617,,Quebec,"
            "5000000,1984-01-01,x\n"
            "FBEMR,\xC3\x8Ele d'Orl\xC3\xA9\x61ns,French,,Island,Terrain Feature,ISL,x,46.9167,"
            "-70.9667,\"Fleuve Saint-Laurent, QC\",Quebec,1000000,1980-01-01,x\n");
  // Australia: Windows-1252, the longitude before the latitude.
  Write("gazetteer_au.csv",
        "Record ID,Authority ID,State ID,Name,Feature Code,Status,Postcode,Concise Gazetteer,"
        "Longitude,Long Degrees,Long Minutes,Long Seconds,Latitude,Lat Degrees\n"
        "NSW1,NSW,NSW,Mount Kosciuszko,MT,Official,,Y,148.2633,148,15,48,-36.4559,-36\n"
        "QLD1,QLD,QLD,Caf\xE9 Rock,RK,Official,,N,153.0251,153,1,30,-27.4698,-27\n");
  Places expected;
  Expect(expected, "Otautahi", "Town", "-43.53210", "172.63620");
  Expect(expected, "Whakatane", "Town", "-37.95330", "176.99070");
  Expect(expected, "Aoraki / Mount Cook", "Mountain", "-43.59500", "170.14180");
  Expect(expected, "Montr\x82\x61l", "City", "45.50890", "-73.56170");
  Expect(expected, "Ile d'Orl\x82\x61ns", "Island", "46.91670", "-70.96670");
  Expect(expected, "Mount Kosciuszko", "MT", "-36.45590", "148.26330");
  Expect(expected, "Caf\x82 Rock", "RK", "-27.46980", "153.02510");
  EXPECT_EQ(Read({"gaz_names.csv", "cgn_canada.csv", "gazetteer_au.csv"}), expected);
}

// The written formats keep their files; a .txt table is read only where
// none of them is sure of it.
TEST_F(MapsAndTablesTest, WrittenFormatsKeepTheirFiles) {
  Write("gns.txt", "RC\tUFI\tUNI\tLAT\tLONG\tNAME\n1\t2\t3\t10.5\t20.5\tx\n");
  Write("table.txt", "name\tlat\tlon\nOwn Table\t10.5\t20.5\n");
  Write("MA.csv",
        "Gaz ID,Feature Name,Class,County,State,Map,Elevation,Latitude,Longitude,Entry Date\r\n"
        "1,Walden Pond,Lake,Middlesex,Massachusetts,Maynard,,42.4394,-71.3339,x\r\n");
  const pipeline::BuildOutcome out = Run({"MA.csv", "gns.txt", "table.txt"});
  ASSERT_EQ(out.status, pipeline::BuildStatus::kSucceeded) << out.error;
  const Places places = ByName();
  EXPECT_EQ(places.at("Walden Pond")[3], "42.4394");  // the GNIS reader copies the text
  EXPECT_EQ(places.at("Own Table"), Place("Own Table", "Not Identified", "10.50000", "20.50000"));
  // The world GNS reader took gns.txt (its layout has no name where this
  // line has one, so its name is "Not Identified").
  EXPECT_EQ(places.count("Not Identified"), 1u);
}

TEST_F(MapsAndTablesTest, ColumnsOfTheCommandLine) {
  Write("orte.csv", "Ort;Breite;Laenge\nBern;46,95;7,45\n");
  const std::string file = download + "/orte.csv";
  EXPECT_EQ(RunCreate(dir, "cli", save, {"--columns", "1,2,3", file}).status, 0);
  EXPECT_EQ(NamesOf(Output("cli")), std::vector<std::string>{"Bern"});
  for (const char* bad : {"1,2", "a,,b", "1,2,3,4,5", "a,b,c,"}) {
    const CreateResult r = RunCreate(dir, "bad", save, {"--columns", bad, file});
    EXPECT_EQ(r.status, 2) << bad;
    EXPECT_NE(r.err.find("--columns takes NAME,LAT,LON[,TYPE]"), std::string::npos) << r.err;
  }
}

// Shapes of more points than the collection holds are thinned; their
// places move little.
TEST(ShapePointsTest, ThinnedShapesStayNearTheirPlaces) {
  readers::ShapePoints line(64), area(64);
  // A line of 10 001 points along the equator from 0 to 100 degrees east.
  for (int i = 0; i <= 10000; ++i) line.Add(i / 100.0, 0);
  double lat = 0, lon = 0;
  ASSERT_TRUE(line.Where(readers::ShapePoints::Kind::kLine, lat, lon));
  EXPECT_LE(line.size(), 64u);
  EXPECT_NEAR(lon, 50, 1);
  EXPECT_NEAR(lat, 0, 1e-9);
  // A U open to the north: its centre lies in the gap, the place on land.
  const double u[][2] = {{0, 0}, {10, 0}, {10, 10}, {8, 10}, {8, 2}, {2, 2}, {2, 10}, {0, 10}};
  for (int corner = 0; corner < 8; ++corner) {
    const auto& a = u[corner];
    const auto& b = u[(corner + 1) % 8];
    for (int step = 0; step < 100; ++step) {
      area.Add(a[0] + (b[0] - a[0]) * step / 100, a[1] + (b[1] - a[1]) * step / 100);
    }
  }
  ASSERT_TRUE(area.Where(readers::ShapePoints::Kind::kArea, lat, lon));
  EXPECT_TRUE((lat < 2 && lon > 0 && lon < 10) || (lat >= 2 && (lon < 2 || lon > 8)))
      << lat << " " << lon;
  // Nothing, or nothing on the globe, gives no place.
  readers::ShapePoints none;
  EXPECT_FALSE(none.Where(readers::ShapePoints::Kind::kPoint, lat, lon));
  none.Add(190, 0);
  EXPECT_FALSE(none.Where(readers::ShapePoints::Kind::kPoint, lat, lon));
}

}  // namespace
}  // namespace toponyx::testing
