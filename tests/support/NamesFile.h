// Reads a name database's table straight from its bytes, independently of
// the table code, so tests check what another DBF reader would see.
#pragma once

#include <array>
#include <string>
#include <vector>

namespace toponyx::testing {

struct NamesRecord {
  char flag = ' ';
  // NAME, FULL_CODE, MAJOR_CODE, LATITUDE, LONGITUDE as stored (OEM bytes),
  // blanks on the right removed.
  std::array<std::string, 5> fields;
  bool operator==(const NamesRecord&) const = default;
};

// Throws std::runtime_error when the file is not a five-field place table
// with a consistent header.
std::vector<NamesRecord> ReadNamesFile(const std::string& path);

// Just the NAME of every live record.
std::vector<std::string> NamesOf(const std::vector<NamesRecord>& records);

}  // namespace toponyx::testing
