#include "dbf/NameSearch.h"

#include "dbf/IndexKey.h"
#include "text/CodePage.h"

namespace toponyx::dbf {

std::string NameSearchKey(std::u16string_view typed, size_t max_bytes) {
  std::string key;
  for (size_t i = 0; i < typed.size() && key.size() < max_bytes; ++i) {
    const char16_t c = typed[i];
    const bool pair = c >= 0xD800 && c <= 0xDBFF && i + 1 < typed.size() &&
                      typed[i + 1] >= 0xDC00 && typed[i + 1] <= 0xDFFF;
    if (pair) ++i;
    const char ansi = pair ? '?' : codepage::UnicodeToAnsi(c);
    key.push_back(codepage::AnsiToOem(ansi));
  }
  return key;
}

NameMatch FindName(RecordFile& table, int field, std::string_view key) {
  const uint32_t count = table.RecordCount();
  size_t offset = 0;
  if (field < 0 || static_cast<size_t>(field) >= table.Fields().size()) {
    key = {};
  } else {
    const FieldDef& f = table.Fields()[static_cast<size_t>(field)];
    offset = static_cast<size_t>(f.offset);
    key = key.substr(0, static_cast<size_t>(f.length));
  }
  auto before_key = [&](const char* record) {
    return CompareKeys(record + offset, key.data(), key.size()) < 0;
  };

  // The first record whose name does not sort before the key: the names'
  // first key-length bytes are in order wherever the whole names are.
  uint32_t lo = 1;
  uint32_t hi = key.empty() ? 1 : count + 1;
  while (lo < hi) {
    const uint32_t mid = lo + (hi - lo) / 2;
    const char* record = table.Record(mid);
    if (record && before_key(record)) {
      lo = mid + 1;
    } else {
      hi = mid;  // a record that cannot be read ends the search below it
    }
  }
  // Deleted records keep their place in the file: the first live one from there.
  for (uint32_t recno = lo; recno <= count; ++recno) {
    const char* record = table.Record(recno);
    if (!record) break;
    if (record[0] != RecordFile::kLive) continue;
    return {recno, CompareKeys(record + offset, key.data(), key.size()) == 0};
  }
  return {};
}

}  // namespace toponyx::dbf
