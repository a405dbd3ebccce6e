#include "text/LineReader.h"

#include <algorithm>
#include <cstring>

#include "platform/Error.h"

namespace toponyx::text {
namespace {

// What a surrogate without its partner becomes.
constexpr uint32_t kReplacement = 0xFFFD;

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
  return true;
}

void TextFile::Reset() {
  pos_ = len_ = 0;
  consumed_ = 0;
  read_ = 0;
  at_end_ = false;
  mark_checked_ = false;
  encoding_ = Encoding::kAsIs;
  odd_byte_ = -1;
  high_surrogate_ = 0;
}

void TextFile::Close() {
  if (file_) file_->Close();
  file_.reset();
  Reset();
}

void TextFile::Rewind() {
  if (!file_) return;
  if (!file_->Seek(0)) throw Error("Read error in file " + path_ + ": " + fs_.LastError());
  Reset();
}

bool TextFile::Fill() {
  if (!file_ || at_end_) return false;
  consumed_ += len_;
  pos_ = len_ = 0;
  if (encoding_ == Encoding::kUtf16Le || encoding_ == Encoding::kUtf16Be) return FillFromUtf16();
  int64_t n = file_->Read(buffer_.data(), buffer_.size());
  if (n < 0) throw Error("Read error in file " + path_ + ": " + fs_.LastError());
  if (n == 0) {
    at_end_ = true;
    return false;
  }
  len_ = static_cast<size_t>(n);
  read_ += len_;
  if (!mark_checked_) TakeByteOrderMark();
  if (block_callback_) block_callback_(read_);
  return true;
}

void TextFile::TakeByteOrderMark() {
  mark_checked_ = true;
  const auto* b = reinterpret_cast<const unsigned char*>(buffer_.data());
  if (len_ >= 3 && b[0] == 0xEF && b[1] == 0xBB && b[2] == 0xBF) {
    encoding_ = Encoding::kUtf8;
    pos_ = 3;
  } else if (len_ >= 2 && ((b[0] == 0xFF && b[1] == 0xFE) || (b[0] == 0xFE && b[1] == 0xFF))) {
    encoding_ = b[0] == 0xFF ? Encoding::kUtf16Le : Encoding::kUtf16Be;
    // Every two bytes give at most three of UTF-8 (a surrogate pair, four
    // bytes, takes four): the raw blocks are two thirds of the buffer.
    raw_.resize(std::max<size_t>(buffer_.size() / 3 * 2, 4) & ~size_t{1});
    const size_t rest = len_ - 2;
    std::vector<char> first(buffer_.begin() + 2, buffer_.begin() + static_cast<ptrdiff_t>(len_));
    pos_ = len_ = 0;
    for (size_t at = 0; at < rest; ++at) {
      const auto byte = static_cast<unsigned char>(first[at]);
      if (odd_byte_ < 0) {
        odd_byte_ = byte;
        continue;
      }
      AppendUtf16Unit(encoding_ == Encoding::kUtf16Le ? (byte << 8) | odd_byte_
                                                      : (odd_byte_ << 8) | byte);
      odd_byte_ = -1;
    }
  }
}

void TextFile::PutCodePoint(uint32_t cp) {
  {
    char* out = buffer_.data() + len_;
    if (cp < 0x80) {
      out[0] = static_cast<char>(cp);
      len_ += 1;
    } else if (cp < 0x800) {
      out[0] = static_cast<char>(0xC0 | (cp >> 6));
      out[1] = static_cast<char>(0x80 | (cp & 0x3F));
      len_ += 2;
    } else if (cp < 0x10000) {
      out[0] = static_cast<char>(0xE0 | (cp >> 12));
      out[1] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      out[2] = static_cast<char>(0x80 | (cp & 0x3F));
      len_ += 3;
    } else {
      out[0] = static_cast<char>(0xF0 | (cp >> 18));
      out[1] = static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
      out[2] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      out[3] = static_cast<char>(0x80 | (cp & 0x3F));
      len_ += 4;
    }
  }
}

void TextFile::AppendUtf16Unit(uint32_t unit) {
  auto put = [this](uint32_t cp) { PutCodePoint(cp); };
  if (high_surrogate_ != 0) {
    if (unit >= 0xDC00 && unit <= 0xDFFF) {
      put(0x10000 + ((high_surrogate_ - 0xD800) << 10) + (unit - 0xDC00));
      high_surrogate_ = 0;
      return;
    }
    put(kReplacement);
    high_surrogate_ = 0;
  }
  if (unit >= 0xD800 && unit <= 0xDBFF) {
    high_surrogate_ = unit;
  } else if (unit >= 0xDC00 && unit <= 0xDFFF) {
    put(kReplacement);
  } else {
    put(unit);
  }
}

bool TextFile::FillFromUtf16() {
  const bool little = encoding_ == Encoding::kUtf16Le;
  while (len_ == 0) {
    const int64_t n = file_->Read(raw_.data(), raw_.size());
    if (n < 0) throw Error("Read error in file " + path_ + ": " + fs_.LastError());
    if (n == 0) {
      at_end_ = true;
      if (high_surrogate_ != 0) PutCodePoint(kReplacement);  // a pair cut short by the end
      high_surrogate_ = 0;
      return len_ > 0;
    }
    read_ += static_cast<uint64_t>(n);
    const auto* b = reinterpret_cast<const unsigned char*>(raw_.data());
    size_t at = 0;
    if (odd_byte_ >= 0) {
      const uint32_t first = static_cast<uint32_t>(odd_byte_);
      AppendUtf16Unit(little ? (uint32_t{b[0]} << 8) | first : (first << 8) | b[0]);
      odd_byte_ = -1;
      at = 1;
    }
    const size_t end = static_cast<size_t>(n);
    for (; at + 1 < end; at += 2) {
      AppendUtf16Unit(little ? (uint32_t{b[at + 1]} << 8) | b[at]
                             : (uint32_t{b[at]} << 8) | b[at + 1]);
    }
    if (at < end) odd_byte_ = b[at];
    if (block_callback_) block_callback_(read_);
  }
  return true;
}

size_t TextFile::ReadBytes(char* out, size_t n) {
  size_t done = 0;
  while (done < n && (pos_ < len_ || Fill())) {
    const size_t take = std::min(n - done, len_ - pos_);
    std::memcpy(out + done, buffer_.data() + pos_, take);
    pos_ += take;
    done += take;
  }
  return done;
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
