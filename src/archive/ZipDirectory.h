// The central directory of a ZIP archive: the end records (ZIP64 ones too,
// behind a comment or data in front of the archive), then one description
// per entry, every length and offset checked against what the file holds.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/File.h"

namespace toponyx::archive {

// One file of the archive, from its central directory record.
struct ZipEntry {
  std::string name;              // UTF-8, folders separated by "/"
  std::string folder;            // up to and including the last "/" ("" when none)
  std::string file_name;         // the rest; "" for folder entries and for names
                                 // that cannot be a file name ("." and "..")
  uint16_t version_made_by = 0;  // upper byte: host system of the attributes
  uint16_t flags = 0;            // general purpose bit flag
  uint16_t method = 0;
  uint16_t dos_time = 0;
  uint16_t dos_date = 0;
  uint32_t crc32 = 0;
  uint64_t compressed_size = 0;
  uint64_t uncompressed_size = 0;
  uint32_t external_attributes = 0;
  uint64_t local_header_offset = 0;  // as corrected for data in front of the archive
  bool encrypted = false;

  // Outcome of the last extraction: the output was written, passed its
  // CRC check and still stands (a later entry of the same name replaces it).
  bool kept = false;
};

// Every entry of the archive's central directory, in its order. Throws
// toponyx::Error("Incomplete Zip File") when the file holds no usable end
// record or directory, and the refusal of split archives.
std::vector<ZipEntry> ReadZipDirectory(platform::File& archive);

}  // namespace toponyx::archive
