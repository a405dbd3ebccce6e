#include "pipeline/Staging.h"

#include "pipeline/Dispatch.h"
#include "platform/Error.h"
#include "platform/System.h"
#include "text/Text.h"

namespace toponyx::pipeline {

bool HasZipSignature(platform::FileSystem& fs, const std::string& path) {
  auto file = fs.Open(path, platform::OpenMode::kRead);
  if (!file) return false;
  unsigned char sig[4];
  int64_t n = file->Read(sig, sizeof sig);
  if (n < 0) throw Error("Cannot read file " + path + ": " + fs.LastError());
  return n == 4 && sig[0] == 0x50 && sig[1] == 0x4B && sig[2] == 0x03 && sig[3] == 0x04;
}

namespace {
uint64_t SizeOf(platform::FileSystem& fs, const std::string& path) {
  auto file = fs.Open(path, platform::OpenMode::kRead);
  if (!file) return 0;
  int64_t size = file->Size();
  return size > 0 ? static_cast<uint64_t>(size) : 0;
}
}  // namespace

Stager::Stager(BuildUi& ui, platform::FileSystem& fs)
    : ui_(ui), fs_(fs), unzip_(ui, fs), gzip_(ui, fs) {}
Stager::~Stager() = default;

void Stager::StageAll(BuildContext& ctx, const std::string& download_folder,
                      const std::string& staging_folder) {
  // Every entry of an archive is extracted; existing files are replaced (in
  // the archive's own folder, so only files of this run are).
  unzip_.FilesList().clear();
  unzip_.SetDoAll(true);
  unzip_.SetRecreateDirs(true);
  unzip_.SetRetainAttributes(true);
  unzip_.SetDoProcessMessages(true);
  unzip_.SetKeepZipOpen(false);
  gzip_.SetDeleteSource(false);
  gzip_.SetWindowOnError(true);
  gzip_.SetProgressStep(0);
  // A FIFO would block the first read for ever, a device never end: only
  // regular files are read, and anything else is refused before any input
  // is opened, whatever its name.
  for (const std::string& name : ctx.selected) {
    const std::string path = platform::JoinPath(download_folder, name);
    const platform::FileSystem::Kind kind = fs_.KindOf(path);
    if (kind == platform::FileSystem::Kind::kOther || kind == platform::FileSystem::Kind::kFolder) {
      throw Error("Cannot open file " + path + ": not a regular file");
    }
  }
  // Staging takes the files of the listed formats; a file of any other
  // kind is named in the run's warning.
  const readers::FormatTable& formats = *ctx.formats;
  for (const std::string& name : ctx.selected) {
    if (!formats.Listed(name)) {
      ctx.staged.push_back(StagedFile{name, download_folder, 0, {}, true});
      continue;
    }
    const readers::FormatRow* row = formats.RowForName(name);
    const std::string path = platform::JoinPath(download_folder, name);
    const size_t first = ctx.staged.size();
    switch (row->container) {
      case readers::Container::kZip:
        StageZip(ctx, path, staging_folder, row->document);
        break;
      case readers::Container::kGzip:
        StageGzip(ctx, path, staging_folder);
        break;
      case readers::Container::kNone:
        ctx.staged.push_back(StagedFile{name, download_folder, SizeOf(fs_, path)});
        break;
    }
    for (size_t i = first; i < ctx.staged.size(); ++i) {
      if (row->container != readers::Container::kNone) ctx.staged[i].archive = name;
    }
  }
}

// Each archive is expanded into a folder of its own inside the staging
// folder, which the run creates and the finish step removes with all it
// holds: a member never replaces a file that the user keeps there, and
// members of the same name in two archives, or in two folders of one
// archive (whose folders are kept), stay apart. The names the readers see,
// which decide the format, are the members' own names.
std::string Stager::PrivateFolder(const std::string& staging_folder) {
  std::string folder = platform::CreateUniqueFolder(staging_folder, "toponyx-");
  if (folder.empty()) {
    throw Error("Cannot create file " + platform::JoinPath(staging_folder, "toponyx-XXXXXX"));
  }
  private_folders_.push_back(folder);
  return folder;
}

void Stager::StageZip(BuildContext& ctx, const std::string& path, const std::string& staging_folder,
                      std::string_view document) {
  if (!HasZipSignature(fs_, path)) return;  // not an archive: passed over in silence
  const std::string folder = PrivateFolder(staging_folder);
  unzip_.SetDestDir(folder);
  unzip_.SetZipName(path);
  unzip_.Extract();
  for (const std::string& warning : unzip_.Warnings())
    ui_.ShowMessage(MessageKind::kWarning, warning);
  const std::string shown(platform::FileNameOf(path));
  for (const std::string& member : unzip_.Damaged()) {
    ctx.damage.push_back(shown + ": " + member +
                         ": the data are damaged; the member is passed over");
  }
  const int count = unzip_.Count();
  if (!document.empty()) {
    StageDocument(ctx, folder, document);
    return;
  }
  for (int i = 0; i < count; ++i) {
    const archive::ZipEntry& entry = unzip_.Entry(i);
    if (text::ContainsUpperCased(entry.file_name, "README")) continue;
    // Folder entries and entries without a usable output (encrypted, or
    // failing their CRC check) are passed over rather than failing the run.
    if (!entry.kept) continue;
    const std::string where = archive::UnZip::RecreatedFolder(folder, entry.folder);
    ctx.staged.push_back(StagedFile{entry.file_name, where,
                                    SizeOf(fs_, platform::JoinPath(where, entry.file_name))});
  }
}

// The archive's document: the member named doc<extension>, the one at the
// top first, else the first member with the extension.
void Stager::StageDocument(BuildContext& ctx, const std::string& folder,
                           std::string_view extension) {
  const std::string doc = "doc" + std::string(extension);
  const archive::ZipEntry* chosen = nullptr;
  int rank = 3;  // 0 doc at the top, 1 doc in a folder, 2 any with the extension
  for (int i = 0; i < unzip_.Count(); ++i) {
    const archive::ZipEntry& entry = unzip_.Entry(i);
    if (!entry.kept || readers::LowerExtension(entry.file_name) != extension) continue;
    const int r = text::EqualsIgnoreCase(entry.file_name, doc) ? (entry.folder.empty() ? 0 : 1) : 2;
    if (r < rank) {
      rank = r;
      chosen = &entry;
    }
  }
  if (chosen == nullptr) return;
  const std::string where = archive::UnZip::RecreatedFolder(folder, chosen->folder);
  ctx.staged.push_back(StagedFile{chosen->file_name, where,
                                  SizeOf(fs_, platform::JoinPath(where, chosen->file_name))});
}

void Stager::StageGzip(BuildContext& ctx, const std::string& path,
                       const std::string& staging_folder) {
  const std::string shown(platform::FileNameOf(path));
  gzip_.SetFileSource(path);
  // A header that is no gzip header ends the run in silence; a file that
  // cannot be opened has been named in its box, and the run goes on
  // without it.
  if (gzip_.ReadHeader() != archive::GzipResult::kWhole) {
    ctx.damage.push_back(shown + ": cannot be opened");
    return;
  }
  const std::string name = archive::GzipOutputName(gzip_.StoredName()) + ".usa";
  const std::string folder = PrivateFolder(staging_folder);
  const std::string destination = platform::JoinPath(folder, name);
  gzip_.SetFileDestination(destination);
  switch (gzip_.Expand()) {
    case archive::GzipResult::kCannotOpen:
    case archive::GzipResult::kCannotCreate:
      ctx.damage.push_back(shown + ": cannot be expanded");
      return;
    case archive::GzipResult::kDamaged:
      // What came before the damage is read.
      ctx.damage.push_back(shown + ": the data are damaged or cut short");
      break;
    case archive::GzipResult::kWhole:
      break;
  }
  ctx.staged.push_back(StagedFile{name, folder, SizeOf(fs_, destination)});
}

void Stager::CleanUp() {
  for (const std::string& folder : private_folders_) platform::RemoveTree(folder);
  private_folders_.clear();
}

}  // namespace toponyx::pipeline
