#include "archive/Gzip.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "archive/Bounds.h"
#include "platform/Error.h"
#include "platform/System.h"
#include "text/CodePage.h"

namespace toponyx::archive {
namespace {

constexpr uint8_t kFlagExtra = 4;
constexpr uint8_t kFlagName = 8;
constexpr uint8_t kFlagComment = 16;
constexpr uint8_t kReservedFlags = 0xE0;
constexpr size_t kMaxHeaderText = size_t{1} << 16;
constexpr unsigned kExpandStep = 65536;
constexpr size_t kReadBlock = size_t{1} << 17;
// The output is checked against its bounds, and a cancelled run stops,
// after every this many bytes.
constexpr uint64_t kCheckEvery = uint64_t{1} << 20;

// Sequential reading of a header through a small buffer.
class HeaderReader {
 public:
  HeaderReader(platform::File& f, platform::FileSystem& fs, const std::string& path)
      : file_(f), fs_(fs), path_(path) {}

  // Next byte, or -1 at the end of the file. A read error is thrown.
  int Next() {
    if (at_ == end_) {
      const int64_t got = file_.Read(buffer_, sizeof buffer_);
      if (got < 0) throw Error("Cannot read file " + path_ + ": " + fs_.LastError());
      if (got == 0) return -1;
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
  platform::FileSystem& fs_;
  const std::string& path_;
  uint8_t buffer_[4096];
  size_t at_ = 0;
  size_t end_ = 0;
};

}  // namespace

Gzip::Gzip(BuildUi& ui, platform::FileSystem& fs) : ui_(ui), fs_(fs) {}

void Gzip::Show(const std::string& text) {
  if (window_on_error_) ui_.ShowMessage(MessageKind::kError, text, {}, MessageButtons::kAbort);
}

GzipResult Gzip::ReadHeader() {
  stored_name_.clear();
  std::unique_ptr<platform::File> file = fs_.Open(source_, platform::OpenMode::kRead);
  if (!file) {
    Show("Can't open: " + source_);
    return GzipResult::kCannotOpen;
  }
  HeaderReader in(*file, fs_, source_);
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
  return GzipResult::kWhole;
}

std::string Gzip::DamageText() const {
  return "gzclose Error.\n" + source_ + ": the data are damaged or cut short";
}

GzipResult Gzip::Expand() {
  std::unique_ptr<platform::File> in = fs_.Open(source_, platform::OpenMode::kRead);
  if (!in) {
    Show("Can't open: " + source_);
    return GzipResult::kCannotOpen;
  }
  if (fs_.Exists(destination_)) fs_.Remove(destination_);
  std::unique_ptr<platform::File> out = fs_.Open(destination_, platform::OpenMode::kCreate);
  if (!out) {
    Show("Can't create: " + destination_);
    return GzipResult::kCannotCreate;
  }
  GzipResult result;
  try {
    result = Inflate(*in, *out);
  } catch (...) {
    // Nothing cut short stays to be read as a whole file.
    out->Close();
    fs_.Remove(destination_);
    throw;
  }
  if (result == GzipResult::kDamaged) Show(DamageText());
  if (!out->Close()) {
    const std::string text = "Can't close file " + destination_;
    Show(text);
    throw Error(text);
  }
  in.reset();
  if (delete_source_ && result == GzipResult::kWhole) fs_.Remove(source_);
  return result;
}

// The members one after another, each through inflate with its gzip
// header and trailer (a CRC-32 or length that does not match is damage).
// Behind a member, what does not begin with the gzip magic bytes ends the
// file as zlib's gzip reading ends it: passed over.
GzipResult Gzip::Inflate(platform::File& in, platform::File& out) {
  const int64_t size = in.Size();
  const uint64_t compressed = size > 0 ? static_cast<uint64_t>(size) : 0;
  const std::string folder(platform::FolderOf(destination_));

  struct Stream {
    z_stream zs{};
    Stream() {
      if (inflateInit2(&zs, 15 + 16) != Z_OK) throw Error("Out of memory");
    }
    ~Stream() { inflateEnd(&zs); }
  } stream;
  z_stream& zs = stream.zs;
  std::vector<unsigned char> input(kReadBlock), output(kExpandStep);
  size_t have = 0;  // bytes of input from `at` on
  size_t at = 0;
  uint64_t read = 0;    // bytes of the source read so far
  bool at_end = false;  // every byte of the source read
  // Makes at least `want` bytes of input available unless the file ends.
  auto fill = [&](size_t want) {
    if (have >= want || at_end) return;
    std::memmove(input.data(), input.data() + at, have);
    at = 0;
    while (have < want && !at_end) {
      const int64_t n = in.Read(input.data() + have, input.size() - have);
      if (n < 0) throw Error("Cannot read file " + source_ + ": " + fs_.LastError());
      if (n == 0) at_end = true;
      have += static_cast<size_t>(n);
      read += static_cast<uint64_t>(n);
    }
  };

  uint64_t total = 0;
  uint64_t next_progress = progress_step_;
  for (;;) {
    fill(1);
    if (have == 0) return GzipResult::kDamaged;  // cut short inside a member
    zs.next_in = input.data() + at;
    zs.avail_in = static_cast<uInt>(have);
    zs.next_out = output.data();
    zs.avail_out = static_cast<uInt>(output.size());
    const int ret = ::inflate(&zs, Z_NO_FLUSH);
    const size_t used = have - zs.avail_in;
    at += used;
    have -= used;
    const size_t produced = output.size() - zs.avail_out;
    if (produced > 0) {
      if (!out.Write(output.data(), produced)) {
        // A destination that takes no more (a full disk) would leave a file
        // cut short that reads like a whole one: the expansion ends here.
        throw Error("Cannot write file " + destination_ + ": " + fs_.LastError());
      }
      total += produced;
      if ((total & (kCheckEvery - 1)) < produced) {
        ui_.ProcessWindowEvents();
        if (const std::string bound = CheckGrowth(total, compressed, folder); !bound.empty()) {
          throw Error(bound);
        }
      }
      if (progress_step_ > 0 && total >= next_progress) {
        ui_.InputProgress(read - have, compressed);
        next_progress = total + progress_step_;
      }
    }
    if (ret == Z_STREAM_END) {
      fill(2);
      if (have < 2 || input[at] != 0x1F || input[at + 1] != 0x8B) return GzipResult::kWhole;
      inflateReset(&zs);
    } else if (ret == Z_BUF_ERROR && used == 0 && produced == 0) {
      // inflate wants more input than there is in hand.
      if (at_end || have == input.size()) return GzipResult::kDamaged;
      fill(have + 1);
    } else if (ret != Z_OK) {
      return GzipResult::kDamaged;  // a data error, or a trailer that does not match
    }
  }
}

// A gzip file says its expanded size only at its end: the output is watched
// as it grows instead. It stops when the destination's file system comes
// down to its reserve, or beyond 100 MiB at 100 times the size of the gzip
// file (gazetteer text packs 4 to 10 times; a block of zeros a thousand).
std::string Gzip::CheckGrowth(uint64_t written, uint64_t compressed,
                              const std::string& folder) const {
  if (PastRatio(written, compressed, kGzipMaxRatio)) {
    return source_ + " expands to more than 100 times its size; the file is refused";
  }
  const int64_t room = SpaceForExpansion(fs_, folder);
  if (room >= 0 && static_cast<uint64_t>(room) < kCheckEvery) {
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
