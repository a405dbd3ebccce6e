#include "readers/Detect.h"

#include "readers/Fields.h"
#include "text/Text.h"

namespace toponyx::readers {

std::string_view FileExtension(std::string_view name) {
  size_t dot = name.rfind('.');
  if (dot == std::string_view::npos) return {};
  std::string_view ext = name.substr(dot);
  if (ext.find_first_of("\\/:") != std::string_view::npos) return {};
  return ext;
}

std::string LowerExtension(std::string_view name) {
  std::string ext(FileExtension(name));
  for (char& c : ext) c = text::ToLowerAscii(c);
  return ext;
}

bool ParseColumnChoice(std::string_view text, ColumnChoice& out) {
  std::string parts[4];
  int count = 0;
  for (;;) {
    const size_t comma = text.find(',');
    if (count == 4) return false;
    parts[count++] = std::string(text::TrimBlanks(text.substr(0, comma)));
    if (comma == std::string_view::npos) break;
    text.remove_prefix(comma + 1);
  }
  if (count < 3) return false;
  for (int i = 0; i < count; ++i) {
    if (parts[i].empty()) return false;
  }
  out = ColumnChoice{std::move(parts[0]), std::move(parts[1]), std::move(parts[2]),
                     std::move(parts[3])};
  return true;
}

bool FindNamedColumns(std::string_view header, NamedColumns& c, std::string_view name,
                      std::string_view feature_class, std::string_view latitude,
                      std::string_view longitude) {
  FieldCuts<64> columns;
  std::string unquoted;
  columns.CutQuoted(header, c.separator, unquoted);
  for (int n = 1; n <= 64; ++n) {
    const std::string_view column = columns.Get(n, "");
    if (text::EqualsIgnoreCase(column, name) && c.name == 0) c.name = n;
    if (text::EqualsIgnoreCase(column, feature_class) && c.feature_class == 0) c.feature_class = n;
    if (text::EqualsIgnoreCase(column, latitude) && c.latitude == 0) c.latitude = n;
    if (text::EqualsIgnoreCase(column, longitude) && c.longitude == 0) c.longitude = n;
  }
  return c.name != 0 && c.feature_class != 0 && c.latitude != 0 && c.longitude != 0;
}

}  // namespace toponyx::readers
