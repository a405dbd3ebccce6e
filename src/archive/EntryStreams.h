// The byte and bit streams that the ZIP expansion methods work on: the
// compressed data of one entry, read from the archive in blocks (decrypted
// when the entry is encrypted), a bit reader over it, and the output of the
// entry, which stops at the entry's uncompressed size and keeps the CRC-32
// of what was written.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "frontend/BuildUi.h"
#include "platform/File.h"

namespace toponyx::archive {

// Largest block of compressed data read at once.
inline constexpr size_t kReadBlock = 16000;

// The traditional PKWARE decryption: three 32-bit keys, initialised from the
// password and updated with every plain byte.
class ZipKeys {
 public:
  explicit ZipKeys(std::string_view password = {});

  uint8_t Decrypt(uint8_t c) {
    const uint8_t plain = static_cast<uint8_t>(c ^ StreamByte());
    Update(plain);
    return plain;
  }
  void Decrypt(uint8_t* data, size_t n) {
    for (size_t i = 0; i < n; ++i) data[i] = Decrypt(data[i]);
  }

  // Decrypts the 12-byte encryption header in place and returns true when
  // its last byte equals check_byte (the high byte of the entry's CRC-32,
  // or of its DOS time when the sizes follow the data).
  bool AcceptHeader(uint8_t header[12], uint8_t check_byte);

 private:
  uint8_t StreamByte() const {
    const uint32_t t = (key2_ | 2u) & 0xFFFFu;
    return static_cast<uint8_t>((t * (t ^ 1u)) >> 8);
  }
  void Update(uint8_t c);

  uint32_t key0_ = 305419896u;
  uint32_t key1_ = 591751049u;
  uint32_t key2_ = 878082192u;
};

// CRC-32 of the ZIP and gzip formats (one byte, no pre/post conditioning):
// the register update the keys above are built on.
uint32_t Crc32Update(uint32_t crc, uint8_t byte);

// The compressed data of one entry: `size` bytes from `offset` of the
// archive. Runs out of data silently at `size`; a file that ends before
// (or fails to read) raises the error of the archive.
class EntryInput {
 public:
  // `front_end`, when given, processes window events once per block read; `archive_path`
  // names the archive in the message of a read error.
  EntryInput(platform::File& archive, uint64_t offset, uint64_t size, BuildUi* front_end,
             std::string archive_path);

  void SetKeys(ZipKeys* keys) { keys_ = keys; }
  // The next block of at most kReadBlock bytes; empty when the entry's data
  // are used up. Throws toponyx::Error("Premature end of file reached")
  // when the archive ends first, "Cannot read file <archive>" when reading
  // fails.
  std::span<const uint8_t> NextBlock();
  uint64_t remaining() const { return remaining_; }

 private:
  platform::File& archive_;
  uint64_t offset_;
  uint64_t remaining_;
  BuildUi* front_end_;
  std::string archive_path_;
  ZipKeys* keys_ = nullptr;
  std::vector<uint8_t> buffer_;
};

// Bits in the order of the legacy ZIP methods: each byte from its least
// significant bit. Past the end of the data every bit reads as zero; taking
// such a bit marks the stream as overrun, which means the data are corrupt.
class BitReader {
 public:
  explicit BitReader(EntryInput& input) : input_(input) {}

  // The next n bits (n <= 32) without taking them.
  uint32_t Peek(int n) {
    if (count_ < n) Fill();
    return static_cast<uint32_t>(bits_ & ((uint64_t{1} << n) - 1));
  }
  void Skip(int n) {
    if (n > count_) {
      overrun_ = true;
      bits_ = 0;
      count_ = 0;
      return;
    }
    bits_ >>= n;
    count_ -= n;
  }
  uint32_t Read(int n) {
    const uint32_t v = Peek(n);
    Skip(n);
    return v;
  }
  bool overrun() const { return overrun_; }

 private:
  void Fill();

  EntryInput& input_;
  std::span<const uint8_t> block_;
  size_t at_ = 0;
  uint64_t bits_ = 0;
  int count_ = 0;
  bool end_ = false;
  bool overrun_ = false;
};

// The output of one entry. Bytes beyond `limit` (the uncompressed size) are
// dropped. Raises toponyx::Error("Cannot write file <path>") when the file
// system refuses a write.
class EntryOutput {
 public:
  EntryOutput(platform::File* file, uint64_t limit, std::string path);

  bool full() const { return total_ >= limit_; }
  uint64_t left() const { return limit_ - total_; }
  void Write(const uint8_t* data, size_t n);
  void Put(uint8_t b) {
    if (total_ >= limit_) return;
    if (used_ == buffer_.size()) Flush();
    buffer_[used_++] = b;
    ++total_;
  }
  // Hands what is buffered to the file.
  void Flush();
  uint64_t size() const { return total_; }
  // CRC-32 of everything written so far, buffered bytes included.
  uint32_t crc() const;

 private:
  platform::File* file_;
  uint64_t limit_;
  std::string path_;
  std::vector<uint8_t> buffer_;
  size_t used_ = 0;
  uint64_t total_ = 0;
  unsigned long crc_ = 0;  // of the bytes handed to the file
};

// The sliding dictionary of the reduce and implode methods: every byte goes
// to the output and stays reachable for copies up to kSize bytes back;
// positions before the start of the output read as zero.
class Window {
 public:
  static constexpr uint32_t kSize = 1u << 16;

  explicit Window(EntryOutput& out) : out_(out), ring_(kSize, 0) {}

  void Put(uint8_t b) {
    ring_[pos_ & (kSize - 1)] = b;
    ++pos_;
    out_.Put(b);
  }
  void Copy(uint32_t distance, uint32_t length) {
    for (uint32_t i = 0; i < length && !out_.full(); ++i) {
      Put(pos_ >= distance ? ring_[(pos_ - distance) & (kSize - 1)] : 0);
    }
  }
  bool full() const { return out_.full(); }

 private:
  EntryOutput& out_;
  std::vector<uint8_t> ring_;
  uint64_t pos_ = 0;
};

}  // namespace toponyx::archive
