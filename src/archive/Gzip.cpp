#include "archive/Gzip.h"

#include <zlib.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "platform/Error.h"
#include "text/CodePage.h"

namespace toponyx::archive {
namespace {

constexpr uint8_t kFlagExtra = 4;
constexpr uint8_t kFlagName = 8;
constexpr uint8_t kFlagComment = 16;
constexpr uint8_t kReservedFlags = 0xE0;
constexpr size_t kMaxHeaderText = size_t{1} << 16;
constexpr unsigned kExpandStep = 16384;
// The output is checked against its bounds, and a cancelled run stops,
// after every this many bytes.
constexpr uint64_t kCheckEvery = uint64_t{1} << 20;

// Sequential reading of a header through a small buffer.
class HeaderReader {
 public:
  explicit HeaderReader(platform::File& f) : file_(f) {}

  // Next byte, or -1 at the end of the file (or on a read error).
  int Next() {
    if (at_ == end_) {
      const int64_t got = file_.Read(buffer_, sizeof buffer_);
      if (got <= 0) return -1;
      at_ = 0;
      end_ = static_cast<size_t>(got);
    }
    return buffer_[at_++];
  }
  bool Read(uint8_t* out, size_t n) {
    for (size_t i = 0; i < n; ++i) {
      const int c = Next();
      if (c < 0) return false;
      out[i] = static_cast<uint8_t>(c);
    }
    return true;
  }
  bool SeekTo(uint64_t offset) {
    at_ = end_ = 0;
    return file_.Seek(offset);
  }
  // Bytes up to a zero byte (kept up to kMaxHeaderText); false when the
  // file ends first.
  bool SkipText() {
    for (int c = Next(); c != 0; c = Next()) {
      if (c < 0) return false;
    }
    return true;
  }
  bool ReadText(std::string& out) {
    for (;;) {
      const int c = Next();
      if (c < 0) return false;
      if (c == 0) return true;
      if (out.size() < kMaxHeaderText) out.push_back(static_cast<char>(c));
    }
  }

 private:
  platform::File& file_;
  uint8_t buffer_[4096];
  size_t at_ = 0;
  size_t end_ = 0;
};

}  // namespace

Gzip::Gzip(BuildUi& ui, platform::FileSystem& fs) : ui_(ui), fs_(fs) {}

void Gzip::Show(const std::string& text) {
  if (window_on_error_) ui_.ShowMessage(MessageKind::kError, text, {}, MessageButtons::kAbort);
}

int Gzip::ReadHeader() {
  stored_name_.clear();
  std::unique_ptr<platform::File> file = fs_.Open(source_, platform::OpenMode::kRead);
  if (!file) {
    Show("Can't open: " + source_);
    return 1;
  }
  HeaderReader in(*file);
  uint8_t fixed[10];
  if (!in.Read(fixed, sizeof fixed) || fixed[0] != 0x1F || fixed[1] != 0x8B) throw SilentAbort();
  const uint8_t flags = fixed[3];
  if (fixed[2] != 8 || (flags & kReservedFlags) != 0) throw SilentAbort();
  if (flags & kFlagExtra) {
    uint8_t xlen[2];
    if (!in.Read(xlen, sizeof xlen)) throw SilentAbort();
    const uint64_t skip_to = 12u + (xlen[0] | (xlen[1] << 8));
    const int64_t size = file->Size();
    if (size < 0 || static_cast<uint64_t>(size) < skip_to || !in.SeekTo(skip_to)) {
      throw SilentAbort();
    }
  }
  if ((flags & kFlagName) && !in.ReadText(stored_name_)) throw SilentAbort();
  if ((flags & kFlagComment) && !in.SkipText()) throw SilentAbort();
  return 0;
}

int Gzip::Expand() {
  gzFile gz = gzopen(source_.c_str(), "rb");
  if (gz == nullptr) {
    Show("Can't open: " + source_);
    return 1;
  }
  gzbuffer(gz, 1u << 17);
  if (fs_.Exists(destination_)) fs_.Remove(destination_);
  std::unique_ptr<platform::File> out = fs_.Open(destination_, platform::OpenMode::kCreate);
  if (!out) {
    gzclose(gz);
    Show("Can't create: " + destination_);
    return 2;
  }

  uint64_t source_size = 0;
  if (progress_step_ > 0) {
    if (auto f = fs_.Open(source_, platform::OpenMode::kRead)) {
      const int64_t n = f->Size();
      source_size = n > 0 ? static_cast<uint64_t>(n) : 0;
    }
  }
  // What the output may grow to (see CheckGrowth).
  uint64_t compressed = 0;
  if (auto f = fs_.Open(source_, platform::OpenMode::kRead)) {
    const int64_t n = f->Size();
    compressed = n > 0 ? static_cast<uint64_t>(n) : 0;
  }
  const std::string folder = destination_.substr(0, destination_.rfind('/') + 1);
  std::vector<char> buffer(kExpandStep);
  bool damaged = false;
  uint64_t total = 0;
  uint64_t next_progress = progress_step_;
  for (;;) {
    const int n = gzread(gz, buffer.data(), kExpandStep);
    if (n < 0) {
      damaged = true;
      break;
    }
    if (n == 0) break;
    if (!out->Write(buffer.data(), static_cast<size_t>(n))) {
      // A destination that takes no more (a full disk) would leave a file
      // cut short that reads like a whole one: the expansion ends here.
      const std::string text = "Cannot write file " + destination_ + ": " + fs_.LastError();
      gzclose(gz);
      out->Close();
      fs_.Remove(destination_);
      throw Error(text);
    }
    total += static_cast<uint64_t>(n);
    if ((total & (kCheckEvery - 1)) < static_cast<uint64_t>(n)) {
      ui_.ProcessWindowEvents();
      if (const std::string bound = CheckGrowth(total, compressed, folder); !bound.empty()) {
        gzclose(gz);
        out->Close();
        fs_.Remove(destination_);
        throw Error(bound);
      }
    }
    if (progress_step_ > 0 && total >= next_progress) {
      ui_.InputProgress(static_cast<uint64_t>(gzoffset(gz)), source_size);
      next_progress = total + progress_step_;
    }
  }
  // zlib's close reports only a member cut short; a data error or a
  // trailer whose CRC-32 or length does not match is known to the stream.
  int error = Z_OK;
  gzerror(gz, &error);
  if (error != Z_OK) damaged = true;
  if (gzclose(gz) != Z_OK) damaged = true;
  if (damaged) Show("gzclose Error.");

  if (!out->Close()) {
    const std::string text = "Can't close file " + destination_;
    Show(text);
    throw Error(text);
  }
  if (delete_source_ && !damaged) fs_.Remove(source_);
  return 0;
}

// A gzip file says its expanded size only at its end: the output is watched
// as it grows instead. It stops when the destination runs out of room, or
// beyond 100 MiB at more than 1,000 times the size of the gzip file (no
// gazetteer packs that tightly; a block of zeros does).
std::string Gzip::CheckGrowth(uint64_t written, uint64_t compressed,
                              const std::string& folder) const {
  constexpr uint64_t kRatioFloor = uint64_t{100} << 20;
  if (written > kRatioFloor && written / std::max<uint64_t>(compressed, 1) >= 1000) {
    return source_ + " expands to more than 1,000 times its size; the file is refused";
  }
  const int64_t free = fs_.FreeSpace(folder);
  if (free >= 0 && static_cast<uint64_t>(free) < kCheckEvery) {
    return "Not enough space in " + folder + " to expand " + source_;
  }
  return {};
}

std::string GzipOutputName(std::string_view stored_name) {
  const size_t cut = stored_name.find_last_of("/\\");
  const std::string_view last =
      cut == std::string_view::npos ? stored_name : stored_name.substr(cut + 1);
  if (last == "." || last == "..") return {};
  for (char ch : last) {
    const auto c = static_cast<unsigned char>(ch);
    if (c < 0x20 || c == 0x7F) return {};
  }
  if (codepage::IsUtf8(last)) return std::string(last);
  return codepage::AnsiToUtf8(last);
}

}  // namespace toponyx::archive
