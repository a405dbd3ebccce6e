// Finding a place by the beginning of its name in a table in name order
// (a name database as the program writes it): a binary search over the
// records in file order, which reads about log2(record count) records.
//
// Names compare as the name index orders them: the stored bytes (OEM code
// page) with the ASCII small letters taken as capitals. A table that is not
// in that order is searched all the same; the search then ends at some
// record, but it ends.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "dbf/RecordFile.h"

namespace toponyx::dbf {

// The stored form of a typed text, to compare with the stored names: each
// UTF-16 character converted to the ANSI code page ("?" when it has none,
// one "?" for a character beyond the 16-bit range), then to the OEM code
// page; cut to max_bytes.
std::string NameSearchKey(std::u16string_view typed, size_t max_bytes);

struct NameMatch {
  // The first live record at or after the place where the key belongs in
  // name order; 0 when no live record follows.
  uint32_t recno = 0;
  // The name of that record begins with the key.
  bool begins_with_key = false;
};

// Searches the field at position field of the table; an empty key, or a
// field that is not there, gives the first live record.
NameMatch FindName(RecordFile& table, int field, std::string_view key);

}  // namespace toponyx::dbf
