#include "text/LineReader.h"

#include <algorithm>
#include <cstring>

#include "platform/Error.h"

namespace toponyx::text {
namespace {

// Appends what still fits below the longest line kept.
inline void Keep(std::string& line, const char* start, size_t n) {
  const size_t room = TextFile::kMaxLine - std::min(line.size(), TextFile::kMaxLine);
  line.append(start, std::min(n, room));
}

}  // namespace

TextFile::TextFile(platform::FileSystem& fs, size_t block_size)
    : fs_(fs), buffer_(block_size < 16 ? 16 : block_size) {}

TextFile::~TextFile() {
  Close();
}

bool TextFile::Open(const std::string& path) {
  Close();
  file_ = fs_.Open(path, platform::OpenMode::kRead);
  if (!file_) return false;
  path_ = path;
  int64_t size = file_->Size();
  file_size_ = size > 0 ? static_cast<uint64_t>(size) : 0;
  pos_ = len_ = 0;
  consumed_ = 0;
  at_end_ = false;
  return true;
}

void TextFile::Close() {
  if (file_) file_->Close();
  file_.reset();
  pos_ = len_ = 0;
  consumed_ = 0;
  at_end_ = false;
}

void TextFile::Rewind() {
  if (!file_) return;
  if (!file_->Seek(0)) throw Error("Read error in file " + path_ + ": " + fs_.LastError());
  pos_ = len_ = 0;
  consumed_ = 0;
  at_end_ = false;
}

bool TextFile::Fill() {
  if (!file_ || at_end_) return false;
  consumed_ += len_;
  pos_ = len_ = 0;
  int64_t n = file_->Read(buffer_.data(), buffer_.size());
  if (n < 0) throw Error("Read error in file " + path_ + ": " + fs_.LastError());
  if (n == 0) {
    at_end_ = true;
    return false;
  }
  len_ = static_cast<size_t>(n);
  if (block_callback_) block_callback_(consumed_ + len_);
  return true;
}

bool TextFile::Eof() {
  return pos_ >= len_ && !Fill();
}

void TextFile::ReadTextLine(std::string& line) {
  line.clear();
  for (;;) {
    if (pos_ >= len_ && !Fill()) return;  // the end of the file ends the line
    const char* start = buffer_.data() + pos_;
    const size_t avail = len_ - pos_;
    const char* lf = static_cast<const char*>(std::memchr(start, '\n', avail));
    const size_t upto = lf ? static_cast<size_t>(lf - start) : avail;
    const char* cr = static_cast<const char*>(std::memchr(start, '\r', upto));
    if (cr == nullptr && lf != nullptr) {
      Keep(line, start, upto);
      pos_ += upto + 1;
      return;
    }
    if (cr == nullptr) {
      Keep(line, start, avail);
      pos_ = len_;
      continue;
    }
    // A carriage return: the character after it decides.
    Keep(line, start, static_cast<size_t>(cr - start));
    pos_ += static_cast<size_t>(cr - start) + 1;
    if (pos_ >= len_ && !Fill()) return;
    const char next = buffer_[pos_++];
    if (next == '\n' || next == '\r') return;
    Keep(line, &next, 1);
  }
}

void TextFile::ReadLine(std::string& line) {
  line.clear();
  size_t seen = 0;  // bytes of the line, kept or passed over
  for (;;) {
    if (pos_ >= len_ && !Fill()) return;
    const char* start = buffer_.data() + pos_;
    const size_t avail = len_ - pos_;
    const char* lf = static_cast<const char*>(std::memchr(start, '\n', avail));
    if (lf == nullptr) {
      Keep(line, start, avail);
      seen += avail;
      pos_ = len_;
      continue;
    }
    const size_t upto = static_cast<size_t>(lf - start);
    Keep(line, start, upto);
    seen += upto;
    pos_ += upto + 1;
    // The carriage return of CR LF (kept only when the whole line was).
    if (seen <= kMaxLine && !line.empty() && line.back() == '\r') line.pop_back();
    return;
  }
}

}  // namespace toponyx::text
