// Builds ZIP archives in memory for the tests: stored and deflated entries
// (through zlib), or raw data under any method, with the directory details
// the tests need (folder entries, comments, ZIP64 records, encryption).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace toponyx::testing {

struct ZipItem {
  ZipItem(std::string n, std::string d) : name(std::move(n)), data(std::move(d)) {}

  std::string name;  // bytes as stored
  std::string data;  // the file's contents
  uint16_t method = 8;
  std::optional<std::string> packed;  // data as stored for other methods
  uint16_t flags = 0;
  uint16_t dos_time = (10 << 11) | (20 << 5) | 15;  // 10:20:30
  uint16_t dos_date = ((1999 - 1980) << 9) | (12 << 5) | 31;
  uint16_t made_by = 20;  // MS-DOS host, version 2.0
  uint32_t attributes = 0x20;
  std::optional<uint32_t> crc;            // else the CRC-32 of data
  std::optional<std::string> password;    // traditional encryption
  bool zip64 = false;                     // sizes and offset in a ZIP64 extra field
  std::string extra;                      // more extra field bytes (central record)
  std::string local_extra;                // extra field bytes of the local header
  std::optional<uint32_t> declared_size;  // uncompressed size in the headers, else data's
  std::optional<size_t> local_of;         // no data of its own: the central record points at the
                                          // local header of that earlier item
};

struct ZipLayout {
  std::string comment;
  std::string front;              // bytes in front of the archive
  bool zip64_end = false;         // ZIP64 end record and locator
  uint16_t disk = 0;              // "number of this disk" of the end record
  std::optional<uint64_t> count;  // entry count of the end records
};

std::string BuildZip(const std::vector<ZipItem>& items, const ZipLayout& layout = {});

// Raw deflate of data.
std::string Deflate(const std::string& data);
// A gzip member with optional name and comment.
std::string GzipMember(const std::string& data, const std::string* name = nullptr,
                       const std::string* comment = nullptr);

}  // namespace toponyx::testing
