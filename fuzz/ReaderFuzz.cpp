// libFuzzer target of the readers: one staged file through the format
// dispatch of a Create run (the detection by extension, name and first
// line, then the reader it picks), into a working-table sink that only
// counts. The first byte of an input picks the staged file's name, which
// decides the format as much as the text does; the rest is the file.
//
// Built several times: `readers` offers the names of every format, `gpx`
// only a GPX file, `csv` the comma- and "|"-separated downloads, `kml` a
// KML file, `geojson` GeoJSON collections and sequences, `tables` delimited
// tables (some with columns the user named), `osm` the OpenStreetMap
// extracts (PBF, XML, bzip2 XML, and XML a ".gz" expanded).
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "dbf/DbfTable.h"
#include "pipeline/BuildContext.h"
#include "pipeline/Dispatch.h"
#include "pipeline/SupportFiles.h"
#include "platform/System.h"

namespace {

using namespace toponyx;

#if defined(TOPONYX_FUZZ_GPX)
const std::vector<std::string> kNames = {"hike.gpx"};
#elif defined(TOPONYX_FUZZ_CSV)
const std::vector<std::string> kNames = {"MA.csv", "SN.csv", "DomesticNames_AL.txt"};
#elif defined(TOPONYX_FUZZ_KML)
const std::vector<std::string> kNames = {"doc.kml"};
#elif defined(TOPONYX_FUZZ_GEOJSON)
const std::vector<std::string> kNames = {"places.geojson", "places.geojsonl", "portal.json"};
#elif defined(TOPONYX_FUZZ_TABLES)
// The same table names twice: the second time with columns named.
const std::vector<std::string> kNames = {"sheet.csv", "orte.tsv", "gaz.txt",
                                         "sheet.csv", "orte.tsv", "gaz.txt"};
#define TOPONYX_FUZZ_COLUMNS
#elif defined(TOPONYX_FUZZ_OSM)
const std::vector<std::string> kNames = {"li.osm.pbf", "li.osm", "li.osm.bz2", "li.osm.usa"};
#else
// Names whose extension and spelling pick a reader: USA GNIS (text, DECI,
// plain, no extension), world GNS and GeoNames (by their first line), the
// OS gazetteer (by "50KGAZ"), waypoints, Toponyx text files, today's CSV and
// GPX downloads.
const std::vector<std::string> kNames = {
    "VA_Highland.txt", "AL_DECI.txt",    "CA_DECI.txt.usa", "CA",       "ei.txt", "50kgaz2008.txt",
    "gotthard.wpt",    "user.tpx",       "MA.csv",          "hike.gpx", "NZ.txt", "other.dat",
    "doc.kml",         "places.geojson", "sheet.csv"};
#endif

struct Fixture {
  Fixture() {
    folder = fuzz::PrivateFolder();
    if (folder.empty() || !pipeline::WriteSupportFiles(folder).empty()) std::abort();
    platform::SetDecimalSeparator('.');
  }
  std::string folder;
  NullBuildUi ui;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static Fixture fixture;
  const fuzz::Choice choice = fuzz::Split(data, size, kNames.size());
  const std::string& name = kNames[choice.pick];
  if (!fuzz::WriteWholeFile(platform::JoinPath(fixture.folder, name), choice.rest)) std::abort();

  // Fresh settings of Toponyx text files for every input (in the program
  // some outlive a run), so that an input does the same whenever it runs.
  readers::TpxSettings tpx;
  pipeline::BuildContext ctx(tpx, fixture.ui);
  ctx.program_folder = fixture.folder;
#if defined(TOPONYX_FUZZ_COLUMNS)
  // Columns by name, and by number.
  if (choice.pick >= kNames.size() / 2) {
    ctx.run.table_columns = choice.pick % 2 == 0
                                ? readers::ColumnChoice{"Ort", "Breite", "Laenge", "Art"}
                                : readers::ColumnChoice{"2", "3", "4", "1"};
  }
#endif
  ctx.staged.push_back(pipeline::StagedFile{name, fixture.folder, choice.rest.size()});
  ctx.input_bytes = choice.rest.size();
  // The file is there and readable: no reader may raise an error for what
  // it holds, so any exception is a finding.
  pipeline::ReadStagedFile(ctx, 0);
  return 0;
}
