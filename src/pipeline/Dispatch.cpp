#include "pipeline/Dispatch.h"

#include "platform/Error.h"
#include "platform/System.h"
#include "readers/Detect.h"
#include "readers/Formats.h"
#include "text/Text.h"

namespace toponyx::pipeline {

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
}

namespace {

// Appends WorldCodes.list of the program folder to the world code list:
// field 1 of each line is the code, field 2 the description.
void LoadWorldCodes(BuildContext& ctx) {
  const std::string path = platform::JoinPath(ctx.program_folder, "WorldCodes.list");
  text::TextFile list(ctx.fs);
  if (!list.Open(path)) throw Error("Cannot open file " + path);
  std::string line;
  while (!list.Eof()) {
    list.ReadLine(line);
    ctx.world_codes.Add(text::TrimBlanks(text::GetField(line, 1, "", ',')),
                        text::TrimBlanks(text::GetField(line, 2, "", ',')));
  }
}

}  // namespace

void ReadStagedFile(BuildContext& ctx, size_t i) {
  const StagedFile& file = ctx.staged[i];
  if (file.no_reader) {
    ctx.results.push_back(FileResult{.name = file.name, .problem = FileResult::Problem::kNoReader});
    return;
  }
  const std::string path = platform::JoinPath(file.folder, file.name);
  if (!ctx.input.Open(path)) throw Error("Cannot open file " + path);

  readers::Probe probe(ctx.input, ctx.line, file.name, ctx.run.datums);
  probe.set_table_columns(ctx.run.table_columns);
  const readers::Detection found = ctx.formats->Detect(probe);
  const readers::FormatRow* format = found.format;
  // The list is loaded once per run; later world files find it loaded,
  // which gives every code the same description as loading it again.
  if (format != nullptr && format->needs_world_codes && ctx.world_codes.empty()) {
    LoadWorldCodes(ctx);
  }
  if (found.datum_unknown) ctx.run.waypoint_bad_datum = true;
  FileResult result;
  result.name = file.archive.empty() ? file.name : file.archive + ": " + file.name;
  ctx.chain.StartFile(PlaceSource{result.name, format});
  const uint64_t before = ctx.sink.count();
  if (format != nullptr && format->reader != nullptr) {
    readers::ReaderInput in{ctx.input, ctx.line, file.name, found, path};
    ctx.run.file_damage.clear();
    format->reader(in, ctx.run);
    result.damage = std::move(ctx.run.file_damage);
    ctx.run.file_damage.clear();
  }
  ctx.input.Close();

  result.places = ctx.sink.count() - before;
  result.read = ctx.chain.read();
  // A file whose places the stages left out read well all the same.
  if (!result.damage.empty()) {
    result.problem = FileResult::Problem::kDamaged;
  } else if (result.read == 0 && (format == nullptr || format->reader != nullptr)) {
    const bool known = format != nullptr && found.claim != readers::Claim::kGuess;
    result.problem = found.columns_missing ? FileResult::Problem::kNoColumns
                     : known               ? FileResult::Problem::kNoUsableLines
                                           : FileResult::Problem::kLayoutNotRecognised;
  }
  ctx.results.push_back(std::move(result));
}

void ReadStagedFiles(BuildContext& ctx) {
  uint64_t base = 0;
  const auto progress = [&ctx, &base](uint64_t read) {
    ctx.ui.InputProgress(base + read, ctx.input_bytes);
  };
  ctx.input.SetBlockCallback(progress);
  ctx.run.file_progress = progress;
  for (size_t i = 0; i < ctx.staged.size(); ++i) {
    ReadStagedFile(ctx, i);
    base += ctx.staged[i].size;
  }
  ctx.input.SetBlockCallback(nullptr);
  ctx.run.file_progress = nullptr;
}

}  // namespace toponyx::pipeline
