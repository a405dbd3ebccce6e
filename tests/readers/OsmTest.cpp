// OpenStreetMap extracts: the real Liechtenstein and Monaco extracts
// against the counts osmium-tool gives (tools/osm-counts.sh), label points
// of shapes of our own, further names, damaged files and Cancel.
#include <bzlib.h>
#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <map>
#include <osmium/builder/attr.hpp>
#include <osmium/io/pbf_output.hpp>
#include <osmium/io/writer.hpp>

#include "pipeline/BuildFixture.h"
#include "platform/Error.h"
#include "readers/Formats.h"
#include "readers/OsmCodes.h"
#include "readers/Resources.h"

namespace toponyx::testing {
namespace {

struct Got {
  std::string name, full, major;
  double lat = 0, lon = 0;
  char feature_class = 0;
  std::vector<std::string> alternates;
};

class Collect final : public readers::PlaceSink {
 public:
  void Add(const readers::Place& p) override {
    got.push_back({std::string(p.name), std::string(p.full_code), std::string(p.major_code),
                   p.latitude, p.longitude, p.feature_class,
                   std::vector<std::string>(p.alternate_names.begin(), p.alternate_names.end())});
  }
  std::vector<Got> got;
};

struct OsmRead {
  std::vector<Got> places;
  std::vector<std::string> codes;  // the run's full-code list
  std::string damage;
};

// A file read by the reader its recognition chooses, as a run reads it.
OsmRead ReadFile(const std::string& path, bool alternates = false,
                 std::vector<std::string> languages = {},
                 std::function<void(uint64_t)> progress = {}) {
  text::TextFile file;
  EXPECT_TRUE(file.Open(path));
  std::string line;
  const std::string name = std::filesystem::path(path).filename().string();
  readers::Probe probe(file, line, name, geo::DefaultDatumTable());
  const readers::Detection found = readers::DefaultFormats().Detect(probe);
  EXPECT_NE(found.format, nullptr);
  Collect sink;
  readers::FullCodeList codes;
  readers::WorldCodeList world;
  readers::TpxSettings tpx;
  readers::ReaderRun run{geo::DefaultDatumTable(), sink, codes, world, tpx};
  run.want_alternate_names = alternates;
  run.languages = std::move(languages);
  run.file_progress = std::move(progress);
  readers::ReaderInput in{file, line, name, found, path};
  if (found.format != nullptr) found.format->reader(in, run);
  return {sink.got, codes.Items(), run.file_damage};
}

std::map<std::string, size_t> CountByCode(const std::vector<Got>& places) {
  std::map<std::string, size_t> n;
  for (const Got& p : places) ++n[p.full];
  return n;
}

// The places of the codes (a code that ends in a blank: of every code it
// begins).
size_t CountOf(const std::map<std::string, size_t>& by_code,
               std::initializer_list<std::string_view> codes) {
  size_t n = 0;
  for (const auto& [code, count] : by_code) {
    for (std::string_view c : codes) {
      n += code == c || (c.ends_with(' ') && code.starts_with(c)) ? count : 0;
    }
  }
  return n;
}

// The FULL_CODEs of the rows osm-counts.sh counts together.
const std::initializer_list<std::string_view> kPlaceCodes = {
    "City",   "Town",     "Village",       "Hamlet",      "Isolated Dwelling",
    "Suburb", "Quarter",  "Neighbourhood", "Locality",    "Farm",
    "Island", "Islet",    "Archipelago",   "Country",     "State",
    "Region", "Province", "County",        "Municipality"};

class OsmTest : public BuildFixture {};

// Places of a code at their nodes' positions (to 1e-5 degree).
void ExpectAtNodes(const std::vector<Got>& places, const std::string& code,
                   const std::string& major,
                   const std::map<std::string, std::pair<double, double>>& nodes) {
  for (const auto& node : nodes) {
    const std::string& name = node.first;
    const std::pair<double, double>& at = node.second;
    const auto p = std::find_if(places.begin(), places.end(),
                                [&](const Got& g) { return g.name == name && g.full == code; });
    ASSERT_NE(p, places.end()) << name;
    EXPECT_EQ(p->major, major) << name;
    EXPECT_EQ(readers::MajorCodeOfClass(std::string_view(&p->feature_class, 1)), major) << name;
    EXPECT_NEAR(p->lat, at.first, 1e-5) << name;
    EXPECT_NEAR(p->lon, at.second, 1e-5) << name;
  }
}

TEST_F(OsmTest, RealExtractsGiveWhatOsmiumToolCounts) {
  const std::string real = RealDataDir();
  if (real.empty()) GTEST_SKIP() << "no real data beside the project";

  const OsmRead li = ReadFile(real + "/osm/liechtenstein-2015-10-07.osm.pbf");
  EXPECT_EQ(li.damage, "");
  const auto li_codes = CountByCode(li.places);
  // tools/osm-counts.sh liechtenstein-2015-10-07.osm.pbf
  EXPECT_EQ(CountOf(li_codes, kPlaceCodes), 45u);
  EXPECT_EQ(CountOf(li_codes, {"Peak"}), 33u);
  EXPECT_EQ(CountOf(li_codes, {"Administrative Area (Level "}), 36u);
  EXPECT_EQ(CountOf(li_codes, {"Water", "Reservoir"}), 8u);
  EXPECT_EQ(CountOf(li_codes, {"Forest", "Wood", "Park", "Nature Reserve"}), 7u);

  // The eleven municipalities at their place nodes, and peaks at theirs.
  ExpectAtNodes(li.places, "Village", "City or Town",
                {{"Vaduz", {47.1392862, 9.5227962}},
                 {"Schaan", {47.1663397, 9.510312}},
                 {"Balzers", {47.0666667, 9.5}},
                 {"Triesen", {47.106994, 9.5274876}},
                 {"Eschen", {47.2126274, 9.5233202}},
                 {"Mauren", {47.2196512, 9.5418065}},
                 {"Triesenberg", {47.1186181, 9.5433663}},
                 {"Ruggell", {47.2397558, 9.5262874}},
                 {"Gamprin", {47.2190937, 9.5102476}},
                 {"Schellenberg", {47.2312022, 9.5458021}},
                 {"Planken", {47.1858848, 9.5452211}}});
  ExpectAtNodes(li.places, "Peak", "Mountain, Hill, Elevation",
                {{"Rappastein", {47.0768373, 9.5659846}},
                 {"Sattelspitz", {47.1850983, 9.5735519}},
                 {"Wissa Schrofa", {47.1680724, 9.5569431}}});

  const OsmRead mc = ReadFile(real + "/osm/monaco-2019-09-30.osm.pbf");
  const auto mc_codes = CountByCode(mc.places);
  // tools/osm-counts.sh monaco-2019-09-30.osm.pbf: place 15, peak 0,
  // admin-areas 12, water-areas 2, green-areas 8. Of the administrative
  // areas, "Monaco" (admin_level 8) is also place=city, an earlier row, and
  // "France metropolitaine (terres)" has no way in the extract to stand on;
  // the "Jardin Japonais" park is tourism=attraction too, an earlier row.
  EXPECT_EQ(CountOf(mc_codes, kPlaceCodes), 15u);
  EXPECT_EQ(CountOf(mc_codes, {"Peak"}), 0u);
  EXPECT_EQ(CountOf(mc_codes, {"Administrative Area (Level "}), 12u - 1 - 1);
  EXPECT_EQ(CountOf(mc_codes, {"Water", "Reservoir"}), 2u);
  EXPECT_EQ(CountOf(mc_codes, {"Forest", "Wood", "Park", "Nature Reserve"}), 8u - 1);
  ExpectAtNodes(mc.places, "Suburb", "City or Town",
                {{"Monte-Carlo", {43.7402961, 7.426559}},
                 {"Monaco-Ville", {43.7309697, 7.4248152}},
                 {"Fontvieille", {43.7277586, 7.418282}}});
}

// --- shapes of our own ------------------------------------------------------

// OSM XML of nodes at (x, y) on a grid of 0.01 degree from 10 E 46 N, ways
// and relations.
class OsmXml {
 public:
  int64_t Node(double x, double y, const std::string& tags = "") {
    char at[64];
    std::snprintf(at, sizeof at, "lat=\"%.7f\" lon=\"%.7f\"", 46 + y / 100, 10 + x / 100);
    nodes_ += "<node id=\"" + std::to_string(++node_) + "\" " + at + ">" + tags + "</node>\n";
    return node_;
  }
  // A way through the points (a closed way when the last is the first).
  int64_t Way(std::vector<std::pair<double, double>> points, const std::string& tags) {
    std::vector<int64_t> ids;
    for (size_t i = 0; i < points.size(); ++i) {
      const bool closes = i + 1 == points.size() && i > 0 && points[i] == points[0];
      ids.push_back(closes ? ids[0] : Node(points[i].first, points[i].second));
    }
    return WayOf(ids, tags);
  }
  int64_t WayOf(const std::vector<int64_t>& ids, const std::string& tags) {
    ways_ += "<way id=\"" + std::to_string(++way_) + "\">";
    for (int64_t id : ids) ways_ += "<nd ref=\"" + std::to_string(id) + "\"/>";
    ways_ += tags + "</way>\n";
    return way_;
  }
  void Relation(const std::vector<std::pair<int64_t, std::string>> members,
                const std::string& tags) {
    relations_ += "<relation id=\"" + std::to_string(++relation_) + "\">";
    for (const auto& [id, role] : members) {
      relations_ +=
          "<member type=\"way\" ref=\"" + std::to_string(id) + "\" role=\"" + role + "\"/>";
    }
    relations_ += tags + "</relation>\n";
  }
  std::string Text() const {
    return "<?xml version='1.0' encoding='UTF-8'?>\n<osm version=\"0.6\" generator=\"test\">\n" +
           nodes_ + ways_ + relations_ + "</osm>\n";
  }

 private:
  std::string nodes_, ways_, relations_;
  int64_t node_ = 0, way_ = 0, relation_ = 0;
};

std::string Tags(std::initializer_list<std::pair<std::string, std::string>> tags) {
  std::string s;
  for (const auto& [k, v] : tags) s += "<tag k=\"" + k + "\" v=\"" + v + "\"/>";
  return s;
}

// Where (x, y) of the grid lies.
void ExpectAt(const std::vector<Got>& places, const std::string& name, double x, double y) {
  const auto p =
      std::find_if(places.begin(), places.end(), [&](const Got& g) { return g.name == name; });
  ASSERT_NE(p, places.end()) << name;
  EXPECT_NEAR(p->lon, 10 + x / 100, 1e-7) << name;
  EXPECT_NEAR(p->lat, 46 + y / 100, 1e-7) << name;
}

TEST_F(OsmTest, LabelPointsOfShapesOfOurOwn) {
  OsmXml osm;
  // A C-shaped lake opening to the east: its centroid (1.357, 1.5) lies in
  // the opening; the widest stretch inside on that parallel is 0 to 1.
  osm.Way({{0, 0}, {3, 0}, {3, 1}, {1, 1}, {1, 2}, {3, 2}, {3, 3}, {0, 3}, {0, 0}},
          Tags({{"natural", "water"}, {"name", "C Lake"}}));
  // A multipolygon whose outer ring is two ways (one drawn the other way
  // round) around a hole that holds its centroid ((16 * 2 - 3 * 1.75) / 13,
  // 12): the middle of the wider stretch on the centroid's parallel.
  const int64_t corner = osm.Node(0, 10), other_corner = osm.Node(4, 14);
  const int64_t a = osm.WayOf({corner, osm.Node(4, 10), other_corner}, "");
  const int64_t b = osm.WayOf({corner, osm.Node(0, 14), other_corner}, "");
  const int64_t hole = osm.Way({{1, 11}, {2.5, 11}, {2.5, 13}, {1, 13}, {1, 11}}, "");
  osm.Relation({{a, "outer"}, {b, "outer"}, {hole, "inner"}},
               Tags({{"type", "multipolygon"}, {"landuse", "forest"}, {"name", "Ring Forest"}}));
  // A small hole off the centre moves the centroid away from it:
  // (16 * 2 - 0.25 * 0.75) / 15.75 on both axes.
  const int64_t outer = osm.Way({{0, 20}, {4, 20}, {4, 24}, {0, 24}, {0, 20}}, "");
  const int64_t small = osm.Way({{0.5, 20.5}, {1, 20.5}, {1, 21}, {0.5, 21}, {0.5, 20.5}}, "");
  osm.Relation({{outer, "outer"}, {small, "inner"}}, Tags({{"type", "boundary"},
                                                           {"boundary", "administrative"},
                                                           {"admin_level", "8"},
                                                           {"name", "Holed Town"}}));
  // A river of five ways with its waterway relation: one place, halfway.
  std::vector<std::pair<int64_t, std::string>> river;
  int64_t end = osm.Node(0, 30);
  for (int i = 0; i < 5; ++i) {
    const int64_t next = osm.Node(i + 1, 30);
    river.emplace_back(osm.WayOf({end, next}, Tags({{"waterway", "river"}, {"name", "Aare"}})),
                       "main_stream");
    end = next;
  }
  osm.Relation(river, Tags({{"type", "waterway"}, {"waterway", "river"}, {"name", "Aare"}}));
  // A stream of three touching ways (the middle one drawn upstream), and
  // another stretch of its name that touches none of them: two places.
  const int64_t s0 = osm.Node(0, 40), s1 = osm.Node(2, 40), s2 = osm.Node(4, 40),
                s3 = osm.Node(6, 40);
  const std::string bach = Tags({{"waterway", "stream"}, {"name", "Bach"}});
  osm.WayOf({s0, s1}, bach);
  osm.WayOf({s2, s1}, bach);
  osm.WayOf({s2, s3}, bach);
  osm.Way({{20, 40}, {21, 40}}, bach);
  // An open way halfway along; a stretch of a border gives none.
  osm.Way({{0, 50}, {1, 50}, {3, 50}}, Tags({{"natural", "cliff"}, {"name", "Wall"}}));
  osm.Way({{0, 60}, {5, 60}},
          Tags({{"boundary", "administrative"}, {"admin_level", "8"}, {"name", "Border"}}));
  // Nodes: a peak; a village that is a peak too (the list's order); a
  // named shop and an unnamed village give none.
  osm.Node(7, 7, Tags({{"natural", "peak"}, {"name", "Top"}}));
  osm.Node(8, 8, Tags({{"natural", "peak"}, {"place", "village"}, {"name", "Hill Village"}}));
  osm.Node(9, 9,
           Tags({{"shop", "bakery"},
                 {"name",
                  "B\xC3\xA4"
                  "ckerei"}}));
  osm.Node(9, 10, Tags({{"place", "village"}}));
  Write("shapes.osm", osm.Text());

  const OsmRead read = ReadFile(download + "/shapes.osm");
  ExpectAt(read.places, "C Lake", 0.5, 1.5);
  ExpectAt(read.places, "Ring Forest", 3.25, 12);
  ExpectAt(read.places, "Holed Town", (32 - 0.1875) / 15.75, 20 + (32 - 0.1875) / 15.75);
  ExpectAt(read.places, "Aare", 2.5, 30);
  ExpectAt(read.places, "Wall", 1.5, 50);
  ExpectAt(read.places, "Top", 7, 7);
  std::vector<std::string> names;
  for (const Got& p : read.places) names.push_back(p.name + "/" + p.full);
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"Aare/River", "Bach/Stream", "Bach/Stream",
                                             "C Lake/Water", "Hill Village/Village",
                                             "Holed Town/Administrative Area (Level 8)",
                                             "Ring Forest/Forest", "Top/Peak", "Wall/Cliff"}));
  EXPECT_EQ(read.codes,
            (std::vector<std::string>{"Administrative Area (Level 8)", "Cliff", "Forest", "Peak",
                                      "River", "Stream", "Village", "Water"}));

  // The same file through a run, in bzip2 (two streams one after the
  // other, as parallel compressors write them), and gzipped (the ".gz"
  // rule expands it to "<name>.usa", known as OpenStreetMap by its
  // content).
  std::string bz2;
  for (const std::string& half : {osm.Text().substr(0, 1000), osm.Text().substr(1000)}) {
    std::string packed(half.size() + 1024, '\0');
    unsigned size = static_cast<unsigned>(packed.size());
    ASSERT_EQ(BZ2_bzBuffToBuffCompress(packed.data(), &size, const_cast<char*>(half.data()),
                                       static_cast<unsigned>(half.size()), 9, 0, 0),
              BZ_OK);
    bz2 += packed.substr(0, size);
  }
  Write("shapes.osm.bz2", bz2);
  std::string gz(osm.Text().size() + 1024, '\0');
  z_stream zs{};
  deflateInit2(&zs, 6, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY);
  gz_header header{};
  header.name = reinterpret_cast<Bytef*>(const_cast<char*>("shapes.osm"));
  deflateSetHeader(&zs, &header);
  const std::string xml = osm.Text();
  zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(xml.data()));
  zs.avail_in = static_cast<uInt>(xml.size());
  zs.next_out = reinterpret_cast<Bytef*>(gz.data());
  zs.avail_out = static_cast<uInt>(gz.size());
  ASSERT_EQ(deflate(&zs, Z_FINISH), Z_STREAM_END);
  gz.resize(zs.total_out);
  deflateEnd(&zs);
  Write("shapes.osm.gz", gz);
  const pipeline::BuildOutcome out = Run({"shapes.osm", "shapes.osm.bz2", "shapes.osm.gz"});
  ASSERT_EQ(out.status, pipeline::BuildStatus::kSucceeded) << out.error;
  ASSERT_EQ(out.files.size(), 3u);
  for (const pipeline::FileResult& file : out.files) EXPECT_EQ(file.places, 9u) << file.name;
  EXPECT_TRUE(out.warnings.empty()) << out.warnings.front();
  const std::vector<NamesRecord> records = Output();
  const auto c_lake = std::find_if(records.begin(), records.end(),
                                   [](const NamesRecord& r) { return r.fields[0] == "C Lake"; });
  ASSERT_NE(c_lake, records.end());
  EXPECT_EQ(c_lake->fields, (std::array<std::string, 5>{"C Lake", "Water", "River, Stream, Water",
                                                        "46.01500", "10.00500"}));
  EXPECT_NE(Types().find("\r\nAdministrative Area (Level 8)\r\n"), std::string::npos);
}

TEST_F(OsmTest, FurtherNamesWhenTheRunAsksForThem) {
  const std::string tags = Tags({{"place", "city"},
                                 {"name", "Gen\xC3\xA8ve"},
                                 {"name:fr", "Gen\xC3\xA8ve"},
                                 {"name:de", "Genf"},
                                 {"name:it", "Ginevra"},
                                 {"short_name", "GE"},
                                 {"alt_name", "Genf; GEN\xC3\x88VE;Cal\xC3\xA8vo"},
                                 {"old_name", "genf"}});
  OsmXml osm;
  osm.Node(1, 1, tags);
  osm.Way({{0, 0}, {1, 0}, {1, 1}, {0, 0}}, tags);
  Write("names.osm", osm.Text());
  const OsmRead plain = ReadFile(download + "/names.osm");
  ASSERT_EQ(plain.places.size(), 2u);
  EXPECT_EQ(plain.places[0].name, "Gen\xE8ve");
  EXPECT_TRUE(plain.places[0].alternates.empty());

  // alt_name, old_name, official_name, loc_name, short_name, then the
  // languages in the run's order; none twice, none that is the name
  // (letter case ignored: "GEN\xC8VE" differs from "Gen\xE8ve" beyond ASCII).
  const OsmRead more = ReadFile(download + "/names.osm", true, {"it", "de", "fr"});
  ASSERT_EQ(more.places.size(), 2u);
  for (const Got& p : more.places) {
    EXPECT_EQ(p.alternates,
              (std::vector<std::string>{"Genf", "GEN\xC8VE", "Cal\xE8vo", "GE", "Ginevra"}));
  }
}

// --- damaged files, Cancel --------------------------------------------------

// A PBF of `nodes` nodes in blocks of 8,000 (libosmium's writer), every
// 1,000th a named peak.
void WritePbf(const std::string& path, int nodes) {
  using namespace osmium::builder::attr;  // NOLINT
  osmium::io::Writer writer(path, osmium::io::overwrite::allow);
  osmium::memory::Buffer buffer(1 << 20, osmium::memory::Buffer::auto_grow::yes);
  for (int i = 1; i <= nodes; ++i) {
    const osmium::Location at(9.5 + i * 1e-6, 47 + i * 1e-6);
    if (i % 1000 == 0) {
      osmium::builder::add_node(buffer, _id(i), _location(at), _tag("natural", "peak"),
                                _tag("name", "Peak " + std::to_string(i)));
    } else {
      osmium::builder::add_node(buffer, _id(i), _location(at));
    }
  }
  writer(std::move(buffer));
  writer.close();
}

TEST_F(OsmTest, ACutFileKeepsItsPlacesBeforeTheCutAndTheRunGoesOn) {
  WritePbf(download + "/whole.osm.pbf", 40000);
  const std::string whole = ReadFileBytes(download + "/whole.osm.pbf");
  Write("cut.osm.pbf", whole.substr(0, whole.size() * 3 / 5));
  Write("noise.osm.pbf", std::string(5000, 'x'));
  Write("good.tpx", "Hut,Hut,,-41.1,174.8\n");
  const pipeline::BuildOutcome out =
      Run({"cut.osm.pbf", "good.tpx", "noise.osm.pbf", "whole.osm.pbf"});
  ASSERT_EQ(out.status, pipeline::BuildStatus::kSucceeded) << out.error;
  ASSERT_EQ(out.files.size(), 4u);
  EXPECT_EQ(out.files[3].places, 40u);
  EXPECT_GT(out.files[0].places, 0u);  // the blocks before the cut
  EXPECT_LT(out.files[0].places, 40u);
  EXPECT_EQ(out.files[1].places, 1u);
  EXPECT_EQ(out.damage, (std::vector<std::string>{
                            "cut.osm.pbf: damaged, read up to the damage (PBF error: truncated "
                            "data (EOF encountered))",
                            "noise.osm.pbf: damaged, read up to the damage (PBF error: invalid "
                            "BlobHeader size (> max_blob_header_size))"}));
  EXPECT_TRUE(out.warnings.empty());
}

// The threads of this process.
size_t Threads() {
  size_t n = 0;
  for ([[maybe_unused]] const auto& t : std::filesystem::directory_iterator("/proc/self/task")) ++n;
  return n;
}

TEST_F(OsmTest, CancelStopsThePassAndEveryThread) {
  WritePbf(download + "/big.osm.pbf", 400000);
  const size_t before = Threads();
  // Progress goes up through all three passes; Cancel in the middle of the
  // first one (a pass of relations only, where no block holds any).
  uint64_t last = 0, calls = 0;
  const OsmRead whole = ReadFile(download + "/big.osm.pbf", false, {}, [&](uint64_t done) {
    EXPECT_GE(done, last);
    last = done;
    ++calls;
  });
  EXPECT_EQ(whole.places.size(), 400u);
  EXPECT_EQ(last, std::filesystem::file_size(download + "/big.osm.pbf"));
  EXPECT_EQ(Threads(), before);

  calls = 0;
  EXPECT_THROW(ReadFile(download + "/big.osm.pbf", false, {},
                        [&](uint64_t) {
                          if (++calls == 3) throw Cancelled();
                        }),
               Cancelled);
  EXPECT_EQ(calls, 3u);
  EXPECT_EQ(Threads(), before);
}

// The help lists the code list the program writes beside itself.
TEST_F(OsmTest, TheHelpListsEveryCode) {
  const std::string html =
      ReadFileBytes(std::string(TOPONYX_SOURCE_DIR) + "/resources/help/formats.html");
  const readers::OsmCodeList& codes = readers::DefaultOsmCodes();
  EXPECT_EQ(codes.rows().size(), 85u);
  for (const readers::OsmCode& row : codes.rows()) {
    std::string tags = "<tt>" + row.key + "=" + row.value + "</tt>";
    if (!row.also_key.empty()) tags += " and <tt>" + row.also_key + "=" + row.also_value + "</tt>";
    EXPECT_NE(
        html.find("<tr><td>" + tags + "</td><td>" + row.full_code + "</td><td>" +
                  std::string(readers::MajorCodeOfClass(std::string_view(&row.feature_class, 1))) +
                  "</td></tr>"),
        std::string::npos)
        << tags;
  }
  EXPECT_EQ(ReadFileBytes(program + "/OsmCodes.list"),
            std::string(resources::EmbeddedFile("OsmCodes.list")));
}

}  // namespace
}  // namespace toponyx::testing
