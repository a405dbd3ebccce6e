#include "archive/EntryStreams.h"

#include <zlib.h>

#include <algorithm>
#include <array>
#include <cstring>

#include "platform/Error.h"

namespace toponyx::archive {
namespace {

constexpr size_t kOutputBuffer = size_t{1} << 17;

// The reflected CRC-32 table of polynomial 0xEDB88320.
constexpr std::array<uint32_t, 256> MakeCrcTable() {
  std::array<uint32_t, 256> table{};
  for (uint32_t n = 0; n < 256; ++n) {
    uint32_t c = n;
    for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
    table[n] = c;
  }
  return table;
}
constexpr std::array<uint32_t, 256> kCrcTable = MakeCrcTable();

}  // namespace

uint32_t Crc32Update(uint32_t crc, uint8_t byte) {
  return kCrcTable[(crc ^ byte) & 0xFFu] ^ (crc >> 8);
}

ZipKeys::ZipKeys(std::string_view password) {
  for (char c : password) Update(static_cast<uint8_t>(c));
}

void ZipKeys::Update(uint8_t c) {
  key0_ = Crc32Update(key0_, c);
  key1_ += key0_ & 0xFFu;
  key1_ = key1_ * 134775813u + 1u;
  key2_ = Crc32Update(key2_, static_cast<uint8_t>(key1_ >> 24));
}

bool ZipKeys::AcceptHeader(uint8_t header[12], uint8_t check_byte) {
  Decrypt(header, 12);
  return header[11] == check_byte;
}

EntryInput::EntryInput(platform::File& archive, uint64_t offset, uint64_t size, BuildUi* front_end,
                       std::string archive_path)
    : archive_(archive),
      offset_(offset),
      remaining_(size),
      front_end_(front_end),
      archive_path_(std::move(archive_path)) {}

std::span<const uint8_t> EntryInput::NextBlock() {
  if (remaining_ == 0) return {};
  if (buffer_.empty()) buffer_.resize(kReadBlock);
  const size_t want = static_cast<size_t>(std::min<uint64_t>(remaining_, kReadBlock));
  const int64_t got = archive_.ReadAt(offset_, buffer_.data(), want);
  if (got < 0) throw Error("Cannot read file " + archive_path_);
  if (got == 0) throw Error("Premature end of file reached");
  const size_t n = static_cast<size_t>(got);
  offset_ += n;
  remaining_ -= n;
  if (keys_) keys_->Decrypt(buffer_.data(), n);
  if (front_end_) front_end_->ProcessWindowEvents();
  return {buffer_.data(), n};
}

void BitReader::Fill() {
  while (count_ <= 56) {
    if (at_ == block_.size()) {
      if (end_) return;
      block_ = input_.NextBlock();
      at_ = 0;
      if (block_.empty()) {
        end_ = true;
        return;
      }
    }
    bits_ |= uint64_t{block_[at_++]} << count_;
    count_ += 8;
  }
}

EntryOutput::EntryOutput(platform::File* file, uint64_t limit, std::string path)
    : file_(file), limit_(limit), path_(std::move(path)) {
  buffer_.resize(static_cast<size_t>(std::min<uint64_t>(limit, kOutputBuffer)));
  crc_ = crc32(0L, Z_NULL, 0);
}

void EntryOutput::Write(const uint8_t* data, size_t n) {
  n = static_cast<size_t>(std::min<uint64_t>(n, left()));
  if (n == 0) return;
  if (used_ + n > buffer_.size()) Flush();
  if (n >= buffer_.size()) {
    crc_ = crc32(crc_, data, static_cast<uInt>(n));
    if (file_ && !file_->Write(data, n)) throw Error("Cannot write file " + path_);
  } else {
    std::memcpy(buffer_.data() + used_, data, n);
    used_ += n;
  }
  total_ += n;
}

void EntryOutput::Flush() {
  if (used_ == 0) return;
  crc_ = crc32(crc_, buffer_.data(), static_cast<uInt>(used_));
  const size_t n = used_;
  used_ = 0;
  if (file_ && !file_->Write(buffer_.data(), n)) throw Error("Cannot write file " + path_);
}

uint32_t EntryOutput::crc() const {
  return static_cast<uint32_t>(crc32(crc_, buffer_.data(), static_cast<uInt>(used_)));
}

}  // namespace toponyx::archive
