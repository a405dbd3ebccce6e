#include "pipeline/Output.h"

#include "dbf/DbfFile.h"
#include "dbf/FieldText.h"
#include "pipeline/BuildContext.h"
#include "pipeline/Dispatch.h"
#include "pipeline/Duplicates.h"
#include "platform/Error.h"
#include "platform/System.h"
#include "platform/Worker.h"
#include "readers/PlaceRecord.h"
#include "text/Text.h"

namespace toponyx::pipeline {

std::unique_ptr<dbf::StreamingIndex> StartWorkingIndex(
    platform::FileSystem& fs, const std::string& folder, bool threaded,
    const std::optional<dbf::IndexOptions>& chosen, bool with_numbers) {
  dbf::IndexLayout layout;
  layout.record_length = kPlaceRecordLength;
  for (size_t length : kPlaceFieldLengths)
    layout.field_lengths.push_back(static_cast<uint32_t>(length));
  if (with_numbers) {
    layout.record_length += kPlaceNumbersLength;
    layout.field_lengths.push_back(static_cast<uint32_t>(kPlaceNumbersLength));
  }
  layout.key_field = readers::kName;
  layout.key_name = "NAME";
  dbf::IndexOptions options;
  // Two blocks of records are in memory while the runs are sorted beside
  // the reading: each gets a little under the single block's budget. The
  // merge takes every run at once up to a size of about 50 M places.
  options.memory_budget = threaded ? size_t{40} << 20 : size_t{48} << 20;
  options.merge_fan_in = 256;
  if (chosen) options = *chosen;
  return std::make_unique<dbf::StreamingIndex>(fs, platform::JoinPath(folder, "temp.ndx"), layout,
                                               options, threaded);
}

uint64_t WalkInNameOrder(dbf::NameIndex& index, OrderedPlaceWriter& writer, BuildUi& ui,
                         bool with_numbers) {
  const uint64_t total = index.size();
  writer.Begin(total);
  uint64_t walked = 0;
  index.DiscardPassedBlocks();  // nobody reads temp.ndx again: none of it need reach the disk
  StoredPlace place;
  for (bool more = index.First(); more; more = index.Next()) {
    const char* entry = index.Entry();
    for (uint32_t field = 0; field < 5; ++field) {
      place.field[field] = index.FieldInEntry(entry, field, place.length[field]);
    }
    if (with_numbers) place.numbers = index.FieldInEntry(entry, 5, place.numbers_length);
    writer.Write(place);
    if ((++walked & 0x3FFF) == 0) {
      ui.RunProgress(RunPhase::kCopying, walked, total, total);
      ui.ProcessWindowEvents();  // the window repaints while a big copy runs
    }
  }
  writer.End();
  ui.RunProgress(RunPhase::kCopying, walked, total, total);
  return walked;
}

DatabaseFiles DatabaseFilesIn(const std::string& folder, std::string_view name) {
  const std::string base(name);
  return {platform::JoinPath(folder, base + ".names"), platform::JoinPath(folder, base + ".types")};
}

std::string DatabaseName(std::string_view typed) {
  return std::string(text::TrimBlanks(typed));
}

bool NameHasInvalidCharacters(std::string_view name) {
  return name.find_first_of("\\/:*?\"<>|") != std::string_view::npos;
}

std::string DatabaseNameProblem(std::string_view name) {
  for (char c : name) {
    if (static_cast<unsigned char>(c) < 32 || c == 127) {
      return "A database name cannot contain control characters.";
    }
  }
  constexpr size_t kLongestName = 255 - std::string_view(".names.part").size();
  if (name.size() > kLongestName) {
    return "The database name is too long: " + std::to_string(name.size()) +
           " bytes, where file names allow " + std::to_string(kLongestName) +
           " (with \".names.part\" the name of its working file).";
  }
  return {};
}

// --- the name database -----------------------------------------------------

// The records go out in blocks of 4 MiB, written beside the walk that fills
// the next one.
struct NameDatabaseWriter::Blocks {
  static constexpr uint32_t kRecords = (4u << 20) / kPlaceRecordLength;
  Blocks(platform::FileSystem& fs, bool threaded)
      : file(fs),
        filling(size_t{kRecords} * kPlaceRecordLength),
        writing(threaded ? filling.size() : 0),
        writer(threaded) {}
  dbf::DbfFile file;
  std::vector<char> filling;
  std::vector<char> writing;
  uint32_t filled = 0;
  platform::Worker writer;
};

NameDatabaseWriter::NameDatabaseWriter(dbf::DbfTable& output, platform::FileSystem& fs,
                                       DatabaseFiles final_files, DatabaseFiles work, bool threaded)
    : output_(output),
      fs_(fs),
      final_(std::move(final_files)),
      work_(std::move(work)),
      threaded_(threaded) {}

NameDatabaseWriter::~NameDatabaseWriter() = default;

void NameDatabaseWriter::Begin(uint64_t) {
  output_.SetTableName(work_.names);  // refused while the View window holds the table
  DefinePlaceFields(output_);
  output_.CreateTable();
  blocks_ = std::make_unique<Blocks>(fs_, threaded_);
  blocks_->file.Open(work_.names, platform::OpenMode::kReadWrite, nullptr);
}

void NameDatabaseWriter::Write(const StoredPlace& place) {
  Blocks& b = *blocks_;
  char* record = b.filling.data() + size_t{b.filled} * kPlaceRecordLength;
  record[0] = dbf::DbfFile::kLive;
  size_t at = 1;
  for (uint32_t field = 0; field < 5; ++field) {
    dbf::CopyFieldText(place.field[field], place.length[field], record + at,
                       kPlaceFieldLengths[field]);
    at += kPlaceFieldLengths[field];
  }
  ++written_;
  if (++b.filled == Blocks::kRecords) Hand();
}

void NameDatabaseWriter::Hand() {
  Blocks& b = *blocks_;
  if (!threaded_) {
    b.file.AppendRecords(b.filling.data(), b.filled);
  } else {
    b.writer.Wait();
    b.filling.swap(b.writing);
    b.writer.Run([&b, n = b.filled] { b.file.AppendRecords(b.writing.data(), n); });
  }
  b.filled = 0;
}

void NameDatabaseWriter::End() {
  if (blocks_->filled > 0) Hand();
  blocks_->writer.Wait();
  blocks_->file.Close(true);
}

void NameDatabaseWriter::WriteTypes(const std::vector<std::string>& full_codes) {
  WriteTypesFile(fs_, work_.types, full_codes);
}

namespace {
std::string FileName(const std::string& path) {
  return std::string(platform::FileNameOf(path));
}
std::string FolderOf(const std::string& path) {
  const std::string_view folder = platform::FolderOf(path);
  if (!folder.empty()) return std::string(folder);
  return platform::IsPathSeparator(path.empty() ? '\0' : path[0]) ? path.substr(0, 1) : ".";
}
}  // namespace

void NameDatabaseWriter::Commit(platform::RunFolder& folder) {
  const std::string record = platform::JoinPath(folder.path(), platform::RunFolder::kCommitRecord);
  const std::string text =
      platform::RunFolder::CommitRecordText({{FileName(work_.names), FileName(final_.names)},
                                             {FileName(work_.types), FileName(final_.types)}});
  auto fail = [&](const std::string& path) {
    throw Error("Cannot create file " + path + ": " + fs_.LastError());
  };
  folder.SetCommitPending(true);
  {
    auto file = fs_.Open(record, platform::OpenMode::kCreateNew);
    const bool written =
        file && file->Write(text.data(), text.size()) && file->Sync() && file->Close();
    if (!written || !fs_.SyncFolder(folder.path())) {
      folder.SetCommitPending(false);  // no record: the earlier database stays
      throw Error("Cannot write file " + final_.names + ": " + fs_.LastError());
    }
  }
  if (!fs_.Rename(work_.names, final_.names)) {
    folder.SetCommitPending(false);  // nothing moved yet
    fail(final_.names);
  }
  // From here on the pair is completed, if not now then by the next run.
  if (!fs_.Rename(work_.types, final_.types)) fail(final_.types);
  if (!fs_.SyncFolder(FolderOf(final_.names))) fail(final_.names);
  folder.SetCommitPending(false);
}

std::string TypesFileText(const std::vector<std::string>& full_codes) {
  std::string out = ";DATUM\r\nDATUM,WGS 84\r\n;Full Codes\r\n";
  for (const std::string& code : full_codes) {
    out += code;
    out += "\r\n";
  }
  out += "##########\r\n;Major Codes\r\n;Not used by USA\r\n";
  for (std::string_view major : readers::kMajorCodes) {
    out += major;
    out += "\r\n";
  }
  return out;
}

void WriteTypesFile(platform::FileSystem& fs, const std::string& path,
                    const std::vector<std::string>& full_codes) {
  auto file = fs.Open(path, platform::OpenMode::kCreate);
  if (!file) throw Error("Cannot create file " + path);
  const std::string text = TypesFileText(full_codes);
  if (!file->Write(text.data(), text.size()) || !file->Sync()) {
    std::string reason = fs.LastError();
    file->Close();
    throw Error("Cannot write file " + path + ": " + reason);
  }
  if (!file->Close()) throw Error("Cannot write file " + path + ": " + fs.LastError());
}

}  // namespace toponyx::pipeline
