#include "readers/OsmCodes.h"

#include "readers/PlaceRecord.h"
#include "readers/Resources.h"

namespace toponyx::readers {

namespace {

// "key=value" into its two halves; false without "=" or with an empty key.
bool SplitTag(std::string_view tag, std::string& key, std::string& value) {
  const size_t eq = tag.find('=');
  if (eq == std::string_view::npos || eq == 0) return false;
  key.assign(tag.substr(0, eq));
  value.assign(tag.substr(eq + 1));
  return true;
}

}  // namespace

OsmCodeList::OsmCodeList(std::string_view text) {
  while (!text.empty()) {
    size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);

    const size_t first = line.find(',');
    const size_t last = line.rfind(',');
    if (first == std::string_view::npos || first == last) continue;
    OsmCode row;
    row.full_code.assign(line.substr(first + 1, last - first - 1));
    row.feature_class = ClassLetter(line.substr(last + 1));
    std::string_view tags = line.substr(0, first);
    const size_t semi = tags.find(';');
    if (row.feature_class == 0 || row.full_code.empty() ||
        !SplitTag(tags.substr(0, semi), row.key, row.value) ||
        (semi != std::string_view::npos &&
         !SplitTag(tags.substr(semi + 1), row.also_key, row.also_value))) {
      continue;
    }
    rows_.push_back(std::move(row));
  }
  // The rows no longer move: their keys can be the map's.
  for (size_t i = 0; i < rows_.size(); ++i) {
    by_key_[rows_[i].key].push_back(static_cast<uint16_t>(i));
  }
}

const OsmCodeList& DefaultOsmCodes() {
  static const OsmCodeList list(resources::EmbeddedFile("OsmCodes.list"));
  return list;
}

}  // namespace toponyx::readers
