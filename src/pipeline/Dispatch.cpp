#include "pipeline/Dispatch.h"

#include "geodesy/Datum.h"
#include "platform/Error.h"
#include "platform/System.h"
#include "readers/Readers.h"
#include "text/Text.h"

namespace toponyx::pipeline {

const ReaderTable& DefaultReaders() {
  static const ReaderTable table{
      readers::ReadUsaGnisTextFile, readers::ReadUsaGnisPlain, readers::ReadWorldGns,
      readers::ReadGeoNames,        readers::ReadOsGazetteer,  readers::ReadWaypoints,
      readers::ReadToponyxText,
  };
  return table;
}

std::string_view FileExtension(std::string_view name) {
  size_t dot = name.rfind('.');
  if (dot == std::string_view::npos) return {};
  std::string_view ext = name.substr(dot);
  if (ext.find_first_of("\\/:") != std::string_view::npos) return {};
  return ext;
}

std::string LowerExtension(std::string_view name) {
  std::string ext(FileExtension(name));
  for (char& c : ext) c = text::ToLowerAscii(c);
  return ext;
}

void DefinePlaceFields(dbf::DbfTable& table) {
  table.ClearFields();
  table.AddField("NAME", 'C', 45);
  table.AddField("FULL_CODE", 'C', 40);
  table.AddField("MAJOR_CODE", 'C', 40);
  table.AddField("LATITUDE", 'C', 10);
  table.AddField("LONGITUDE", 'C', 10);
}

void CreateWorkingTable(dbf::DbfTable& table, const std::string& folder) {
  table.SetFilePath(folder);
  table.SetTableName("temp.names");
  DefinePlaceFields(table);
  table.CreateTable();
  table.Open();
}

namespace {

// GeoNames files begin with a numeric identifier of six or seven digits:
// the first tab is the 7th or 8th character and the first field is digits.
bool LooksLikeGeoNames(std::string_view line) {
  size_t tab = line.find('\t');
  if (tab != 6 && tab != 7) return false;
  for (char c : text::GetField(line, 1, "", '\t')) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

// The header of the current GNS downloads names its columns in lower case
// ("rk", "ufi", ..., "lat_dd", "long_dd", ..., "desig_cd", ...): it holds
// neither "LAT" nor "LONG", which would send the file to the USA reader.
bool IsCurrentGnsHeader(std::string_view line) {
  bool lat = false, lon = false, code = false;
  size_t start = 0;
  for (;;) {
    size_t tab = line.find('\t', start);
    std::string_view column =
        line.substr(start, tab == std::string_view::npos ? std::string_view::npos : tab - start);
    lat = lat || column == "lat_dd";
    lon = lon || column == "long_dd";
    code = code || column == "desig_cd";
    if (tab == std::string_view::npos) break;
    start = tab + 1;
  }
  return lat && lon && code;
}

// Appends WorldCodes.list of the program folder to the world code list:
// field 1 of each line is the code, field 2 the description.
void LoadWorldCodes(BuildContext& ctx) {
  const std::string path = platform::JoinPath(ctx.program_folder, "WorldCodes.list");
  text::TextFile list;
  if (!list.Open(path)) throw Error("Cannot open file " + path);
  std::string line;
  while (!list.Eof()) {
    list.ReadLine(line);
    ctx.world_codes.Add(text::TrimBlanks(text::GetField(line, 1, "", ',')),
                        text::TrimBlanks(text::GetField(line, 2, "", ',')));
  }
}

// The tests of a ".txt" file; the first that holds decides.
void RecogniseTextFile(BuildContext& ctx, std::string_view name) {
  if (text::ContainsUpperCased(name, "50KGAZ")) {
    ctx.os_gazetteer = true;
    return;
  }
  ctx.input.ReadTextLine(ctx.line);
  const std::string_view line = ctx.line;
  if (text::ContainsUpperCased(line, "FEATURE_ID|FEATURE_NAME|FEATURE_CLASS|STATE_ALPHA|")) {
    ctx.usa_header = true;
    ctx.input.Rewind();
  } else if (LooksLikeGeoNames(line)) {
    ctx.geonames = true;  // line 1 stays consumed; the reader takes it first
  } else if (IsCurrentGnsHeader(line)) {
    ctx.world_gns_current = true;  // line 1, the header, stays consumed
    if (ctx.world_codes.empty()) LoadWorldCodes(ctx);
  } else if (!text::Contains(line, "LAT") && !text::Contains(line, "LONG")) {
    ctx.usa_header = true;
    ctx.input.Rewind();
  } else {
    // A world GNS file; line 1 (the header) stays consumed.
    if (!text::Contains(line, "DATE")) ctx.world_gns_header = true;
    // The list is loaded once per run; later world files find it loaded,
    // which gives every code the same description as loading it again.
    if (ctx.world_codes.empty()) LoadWorldCodes(ctx);
  }
}

// A waypoint file begins with its marker line, then the datum name; lines
// 3 and 4 are passed over.
void RecogniseWaypointFile(BuildContext& ctx) {
  ctx.input.ReadLine(ctx.line);
  if (!text::Contains(ctx.line, "Carthovista Waypoint File")) return;
  ctx.waypoint_header = true;
  ctx.input.ReadLine(ctx.line);
  if (geo::DefaultDatumTable().DatumKnown(ctx.line)) {
    ctx.waypoint_datum = std::string(text::TrimBlanks(ctx.line));
  } else {
    ctx.waypoint_datum = "WGS 84";
    ctx.waypoint_bad_datum = true;
  }
  ctx.input.ReadLine(ctx.line);
  ctx.input.ReadLine(ctx.line);
}

}  // namespace

void ReadStagedFile(BuildContext& ctx, size_t i) {
  const StagedFile& file = ctx.staged[i];
  ctx.line = file.name;
  ctx.staged_index = i;
  const std::string path = platform::JoinPath(file.folder, file.name);
  if (!ctx.input.Open(path)) throw Error("Cannot open file " + path);

  ctx.usa_header = false;
  ctx.os_gazetteer = false;
  ctx.geonames = false;
  ctx.world_gns_header = false;
  ctx.world_gns_current = false;

  const std::string x = LowerExtension(file.name);
  if (x == ".txt") RecogniseTextFile(ctx, file.name);
  if (x == ".wpt") RecogniseWaypointFile(ctx);

  const ReaderTable& r = *ctx.readers;
  if (x.empty() || x == ".usa") {
    r.usa_gnis_plain(ctx);
  } else if (x == ".txt") {
    if (ctx.usa_header) {
      r.usa_gnis_text_file(ctx);
    } else if (ctx.os_gazetteer) {
      r.os_gazetteer(ctx);
    } else if (ctx.geonames) {
      r.geonames(ctx);
    } else {
      r.world_gns(ctx);
    }
  } else if (x == ".wpt") {
    if (ctx.waypoint_header) r.waypoints(ctx);
  } else if (x == ".tpx") {
    r.toponyx_text(ctx);
  }
  ctx.input.Close();
}

void ReadStagedFiles(BuildContext& ctx) {
  uint64_t base = 0;
  ctx.input.SetBlockCallback(
      [&ctx, &base](uint64_t read) { ctx.ui.InputProgress(base + read, ctx.input_bytes); });
  for (size_t i = 0; i < ctx.staged.size(); ++i) {
    ReadStagedFile(ctx, i);
    base += ctx.staged[i].size;
  }
  ctx.input.SetBlockCallback(nullptr);
}

}  // namespace toponyx::pipeline
