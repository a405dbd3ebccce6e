// Expands one archive with the program's own expanders and prints the wall
// time, for bench/archive.sh to set beside unzip and gzip.
//   archive_bench zip  ARCHIVE.zip DEST_FOLDER
//   archive_bench gzip ARCHIVE.gz  DEST_FILE
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>

#include "archive/Gzip.h"
#include "archive/UnZip.h"
#include "platform/Error.h"

namespace {

class QuietUi final : public toponyx::BuildUi {
 public:
  void ShowMessage(toponyx::MessageKind, std::string_view text, std::string_view,
                   toponyx::MessageButtons) override {
    std::fprintf(stderr, "message: %.*s\n", static_cast<int>(text.size()), text.data());
    ++messages;
  }
  int messages = 0;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4 || (std::strcmp(argv[1], "zip") != 0 && std::strcmp(argv[1], "gzip") != 0)) {
    std::fprintf(stderr, "usage: archive_bench zip|gzip ARCHIVE DESTINATION\n");
    return 2;
  }
  QuietUi ui;
  const auto start = std::chrono::steady_clock::now();
  try {
    if (std::strcmp(argv[1], "zip") == 0) {
      toponyx::archive::UnZip unzip(ui);
      unzip.SetDestDir(argv[3]);
      unzip.SetZipName(argv[2]);
      const int n = unzip.Extract();
      if (n != unzip.Count()) {
        std::fprintf(stderr, "only %d of %d entries extracted\n", n, unzip.Count());
        return 1;
      }
    } else {
      toponyx::archive::Gzip gzip(ui);
      gzip.SetFileSource(argv[2]);
      if (gzip.ReadHeader() != toponyx::archive::GzipResult::kWhole) return 1;
      gzip.SetFileDestination(argv[3]);
      if (gzip.Expand() != toponyx::archive::GzipResult::kWhole) return 1;
    }
  } catch (const std::exception& e) {
    std::fprintf(stderr, "failed: %s\n", e.what());
    return 1;
  }
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::printf("%.3f\n", seconds);
  return ui.messages == 0 ? 0 : 1;
}
