#include "readers/CodeLists.h"

#include <utility>

#include "readers/Resources.h"

namespace toponyx::readers {

std::vector<CodeRow> ParseCodeRows(std::string_view text) {
  std::vector<CodeRow> rows;
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find('\n', pos);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(pos, end - pos);
    pos = end + 1;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    size_t comma = line.find(',');
    if (comma == std::string_view::npos) continue;
    rows.push_back(
        CodeRow{std::string(line.substr(0, comma)), std::string(line.substr(comma + 1))});
  }
  return rows;
}

CodeTable::CodeTable(std::vector<CodeRow> rows) : rows_(std::move(rows)) {
  first_row_.reserve(rows_.size());
  for (size_t i = 0; i < rows_.size(); ++i) {
    // emplace keeps the entry already there: the first row of a code wins.
    first_row_.emplace(std::string_view(rows_[i].code), i);
  }
}

const std::string* CodeTable::Find(std::string_view code) const {
  auto it = first_row_.find(code);
  return it == first_row_.end() ? nullptr : &rows_[it->second].description;
}

const CodeTable& GeoNamesCodeTable() {
  static const CodeTable table(ParseCodeRows(resources::EmbeddedFile("GeoNamesCodes.txt")));
  return table;
}

const std::string* GeoNamesDescription(std::string_view code) {
  return GeoNamesCodeTable().Find(code);
}

}  // namespace toponyx::readers
