// libFuzzer target of the readers: one staged file through the format
// dispatch of a Create run (the detection by extension, name and first
// line, then the reader it picks), into a working-table sink that only
// counts. The first byte of an input picks the staged file's name, which
// decides the format as much as the text does; the rest is the file.
//
// Built four times: `readers` offers the names of every format, `gpx`
// only a GPX file, `csv` the comma- and "|"-separated downloads, `osm` the
// OpenStreetMap extracts (PBF, XML, bzip2 XML, and XML a ".gz" expanded).
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
#elif defined(TOPONYX_FUZZ_OSM)
const std::vector<std::string> kNames = {"li.osm.pbf", "li.osm", "li.osm.bz2", "li.osm.usa"};
#else
// Names whose extension and spelling pick a reader: USA GNIS (text, DECI,
// plain, no extension), world GNS and GeoNames (by their first line), the
// OS gazetteer (by "50KGAZ"), waypoints, Toponyx text files, today's CSV and
// GPX downloads.
const std::vector<std::string> kNames = {
    "VA_Highland.txt", "AL_DECI.txt", "CA_DECI.txt.usa", "CA",       "ei.txt", "50kgaz2008.txt",
    "gotthard.wpt",    "user.tpx",    "MA.csv",          "hike.gpx", "NZ.txt", "other.dat"};
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
  ctx.staged.push_back(pipeline::StagedFile{name, fixture.folder, choice.rest.size()});
  ctx.input_bytes = choice.rest.size();
  // The file is there and readable: no reader may raise an error for what
  // it holds, so any exception is a finding.
  pipeline::ReadStagedFile(ctx, 0);
  return 0;
}
