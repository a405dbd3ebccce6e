#include "build/Staging.h"

#include "build/Dispatch.h"
#include "platform/System.h"

namespace toponyx::build {

bool HasZipSignature(platform::FileSystem& fs, const std::string& path) {
  auto file = fs.Open(path, platform::OpenMode::kRead);
  if (!file) return false;
  unsigned char sig[4];
  int64_t n = file->Read(sig, sizeof sig);
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

Stager::Stager(BuildUi& ui, platform::FileSystem& fs) : ui_(ui), fs_(fs) {}
Stager::~Stager() = default;

void Stager::StageAll(BuildContext& ctx, const std::string& download_folder,
                      const std::string& staging_folder) {
  for (const std::string& name : ctx.selected) {
    const std::string x = LowerExtension(name);
    const std::string path = platform::JoinPath(download_folder, name);
    if (x == ".zip") {
      StageZip(ctx, path, staging_folder);
    } else if (x == ".gz") {
      StageGzip(ctx, path, staging_folder);
    } else if (x == ".txt" || x == ".wpt" || x == ".tpx") {
      ctx.staged.push_back(StagedFile{name, download_folder, false, SizeOf(fs_, path)});
    }
  }
}

// Archives are not expanded yet: a ticked archive stages nothing.
void Stager::StageZip(BuildContext&, const std::string&, const std::string&) {}
void Stager::StageGzip(BuildContext&, const std::string&, const std::string&) {}

void Stager::CleanUp(BuildContext& ctx, const std::string&) {
  for (const StagedFile& f : ctx.staged) {
    if (!f.expanded) continue;
    std::string path = platform::JoinPath(f.folder, f.name);
    if (fs_.Exists(path)) fs_.Remove(path);
  }
}

}  // namespace toponyx::build
