// What an OpenStreetMap object is as a place: the code list the program
// carries (OsmCodes.list, written beside it at start). Each row names a tag
// (and, for administrative boundaries, the level they need), the FULL_CODE
// it gives and one of the nine class letters; an object is the first row
// whose tags it has, in the list's order, or nothing.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace toponyx::readers {

struct OsmCode {
  std::string key;    // "natural"
  std::string value;  // "peak"
  // A second tag the row needs ("admin_level" "8"), or empty.
  std::string also_key = {};
  std::string also_value = {};
  std::string full_code;   // "Peak"
  char feature_class = 0;  // one of A P V L U R T H S
};

class OsmCodeList {
 public:
  // Rows of "key=value[;key=value],Full Code,Letter", one a line (CR LF or
  // LF). Lines that are no such row are passed over.
  explicit OsmCodeList(std::string_view text);
  OsmCodeList(const OsmCodeList&) = delete;
  OsmCodeList& operator=(const OsmCodeList&) = delete;

  static constexpr int kNone = -1;

  // The first row (its index) whose tags an object has, or kNone. Tags is
  // a range of tags with key() and value() (C strings), as an object's tag
  // list gives them.
  template <class Tags>
  int Match(const Tags& tags) const {
    int best = kNone;
    for (const auto& tag : tags) {
      const auto found = by_key_.find(std::string_view(tag.key()));
      if (found == by_key_.end()) continue;
      const std::string_view value = tag.value();
      for (const uint16_t i : found->second) {
        if (best != kNone && i >= best) break;  // rows of a key are in list order
        const OsmCode& row = rows_[i];
        if (row.value != value) continue;
        if (!row.also_key.empty() && !HasTag(tags, row.also_key, row.also_value)) continue;
        best = i;
        break;
      }
    }
    return best;
  }

  const std::vector<OsmCode>& rows() const { return rows_; }
  const OsmCode& row(int i) const { return rows_[static_cast<size_t>(i)]; }

 private:
  template <class Tags>
  static bool HasTag(const Tags& tags, std::string_view key, std::string_view value) {
    for (const auto& tag : tags) {
      if (key == tag.key()) return value == tag.value();
    }
    return false;
  }

  std::vector<OsmCode> rows_;
  // Key -> the rows of that key, in list order.
  std::unordered_map<std::string_view, std::vector<uint16_t>> by_key_;
};

// The program's list, from the embedded OsmCodes.list (parsed at first use).
const OsmCodeList& DefaultOsmCodes();

}  // namespace toponyx::readers
