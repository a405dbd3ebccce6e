// One reader alone, on one core: the file goes through the format dispatch
// and its reader, each place made into a record of the working table's
// layout as in a Create run, without staging, index or output.
//   bench_readers FILE [REPEATS]
// The file's name and first line choose the reader, as they do in a run.
// Prints the best of REPEATS runs (default 3): lines per second and MB/s of
// input, with the places written.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "dbf/DbfTable.h"
#include "geodesy/Datum.h"
#include "pipeline/BuildContext.h"
#include "pipeline/Dispatch.h"
#include "pipeline/SupportFiles.h"
#include "platform/File.h"
#include "platform/System.h"

using namespace toponyx;

namespace {

struct Result {
  double seconds = 0;
  uint32_t places = 0;
};

uint64_t CountLines(const std::string& path) {
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return 0;
  static char buf[1 << 20];
  uint64_t n = 0;
  size_t got;
  char last = '\n';
  while ((got = std::fread(buf, 1, sizeof buf, f)) > 0) {
    for (size_t i = 0; i < got; ++i) n += buf[i] == '\n';
    last = buf[got - 1];
  }
  std::fclose(f);
  return n + (last != '\n');
}

Result RunOnce(const std::string& folder, const std::string& file_folder,
               const std::string& file_name) {
  NullBuildUi ui;
  dbf::DbfTable table(&ui);
  pipeline::TpxSettings tpx;
  pipeline::BuildContext ctx(tpx, ui);
  ctx.program_folder = folder;
  ctx.staged.push_back(pipeline::StagedFile{file_name, file_folder, 0});

  const auto t0 = std::chrono::steady_clock::now();
  pipeline::CreateWorkingTable(table, folder);
  pipeline::ReadStagedFile(ctx, 0);
  Result r;
  r.places = static_cast<uint32_t>(ctx.sink.count());
  r.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  return r;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: bench_readers FILE [REPEATS]\n");
    return 2;
  }
  const std::string path = argv[1];
  const int repeats = argc > 2 ? std::atoi(argv[2]) : 3;
  const size_t slash = path.rfind('/');
  const std::string file_folder = slash == std::string::npos ? "." : path.substr(0, slash);
  const std::string file_name = slash == std::string::npos ? path : path.substr(slash + 1);

  const char* tmp = std::getenv("TMPDIR");
  const std::string folder =
      platform::CreateUniqueFolder(tmp && *tmp ? tmp : "/tmp", "toponyx-bench-readers.");
  if (folder.empty()) {
    std::fprintf(stderr, "cannot create a temporary folder\n");
    return 1;
  }
  pipeline::WriteSupportFiles(folder);
  geo::LoadDatumFile(folder);
  platform::SetDecimalSeparator('.');

  const int64_t size = [&] {
    auto f = platform::DefaultFileSystem().Open(path, platform::OpenMode::kRead);
    return f ? f->Size() : -1;
  }();
  if (size < 0) {
    std::fprintf(stderr, "cannot open %s\n", path.c_str());
    platform::RemoveTree(folder);
    return 1;
  }
  const uint64_t lines = CountLines(path);

  Result best;
  try {
    for (int i = 0; i < repeats; ++i) {
      Result r = RunOnce(folder, file_folder, file_name);
      if (i == 0 || r.seconds < best.seconds) best = r;
    }
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
    platform::RemoveTree(folder);
    return 1;
  }
  platform::RemoveTree(folder);
  std::printf("%-24s %9.3f s  %11.0f lines/s  %7.1f MB/s  %10u places\n", file_name.c_str(),
              best.seconds, static_cast<double>(lines) / best.seconds,
              static_cast<double>(size) / best.seconds / 1e6, best.places);
  return 0;
}
