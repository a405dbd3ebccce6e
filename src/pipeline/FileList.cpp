#include "pipeline/FileList.h"

#include <algorithm>

#include "text/Text.h"

namespace toponyx::pipeline {

std::string InputFilesMask(const readers::FormatTable& formats) {
  return formats.InputMask();
}

std::vector<DialogFilter> DialogFilters(const readers::FormatTable& formats) {
  // A caption shows its masks each in brackets: "Name (*.a) (*.b)".
  auto caption = [](std::string_view name, std::string_view mask) {
    std::string text(name);
    for (size_t at = 0; at < mask.size();) {
      const size_t semi = std::min(mask.find(';', at), mask.size());
      text += " (";
      text += mask.substr(at, semi - at);
      text += ")";
      at = semi + 1;
    }
    return text;
  };
  std::vector<DialogFilter> filters;
  const std::string all = formats.InputMask();
  filters.push_back({caption("All Data Files", all), all});
  for (const readers::FormatRow& row : formats.rows()) {
    if (!row.listed || row.dialog_filter.empty()) continue;
    std::string mask;
    for (std::string_view e = row.extensions; !e.empty();) {
      const size_t semi = std::min(e.find(';'), e.size());
      if (semi > 0) mask += (mask.empty() ? "*" : ";*") + std::string(e.substr(0, semi));
      e.remove_prefix(std::min(semi + 1, e.size()));
    }
    filters.push_back({caption(row.dialog_filter, mask), mask});
  }
  return filters;
}

bool FileListLess(std::string_view a, std::string_view b) {
  int c = text::CompareIgnoreCase(a, b);
  if (c != 0) return c < 0;
  return a < b;  // std::string_view compares as unsigned bytes
}

bool MatchesFileMask(std::string_view name, std::string_view mask) {
  while (!mask.empty()) {
    size_t semi = mask.find(';');
    std::string_view pattern = text::TrimBlanks(mask.substr(0, semi));
    if (!pattern.empty() && text::WildcardMatch(pattern, name)) return true;
    if (semi == std::string_view::npos) break;
    mask.remove_prefix(semi + 1);
  }
  return false;
}

std::vector<std::string> ListFolder(const std::string& folder, std::string_view mask,
                                    platform::FileSystem& fs) {
  std::vector<std::string> names;
  fs.ListFiles(folder, names);
  std::erase_if(names, [mask](const std::string& name) { return !MatchesFileMask(name, mask); });
  std::sort(names.begin(), names.end(),
            [](const std::string& a, const std::string& b) { return FileListLess(a, b); });
  return names;
}

}  // namespace toponyx::pipeline
