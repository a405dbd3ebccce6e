// What the run folders of both systems share: the commit record.
#include "platform/RunFolder.h"

namespace toponyx::platform {
namespace {

constexpr std::string_view kCommitMagic = "Toponyx Creator commit\n";

// A bare file name, as a commit record may name one.
bool BareName(std::string_view name) {
  return !name.empty() && name != "." && name != ".." &&
         name.find_first_of(std::string_view("/\\:\0", 4)) == std::string_view::npos;
}

}  // namespace

std::string RunFolder::CommitRecordText(const Moves& moves) {
  std::string text(kCommitMagic);
  for (const auto& [from, to] : moves) text += from + "\t" + to + "\n";
  return text + "end\n";
}

bool RunFolder::ParseCommitRecord(std::string_view text, Moves& moves) {
  moves.clear();
  if (!text.starts_with(kCommitMagic) || !text.ends_with("\nend\n")) return false;
  std::string_view lines = text.substr(kCommitMagic.size());
  lines.remove_suffix(4);  // "end\n"
  while (!lines.empty()) {
    const size_t eol = lines.find('\n');
    const std::string_view line = lines.substr(0, eol);
    const size_t tab = line.find('\t');
    if (eol == std::string_view::npos || tab == std::string_view::npos) return false;
    const std::string_view from = line.substr(0, tab), to = line.substr(tab + 1);
    if (!BareName(from) || !BareName(to)) return false;
    moves.emplace_back(from, to);
    lines.remove_prefix(eol + 1);
  }
  return true;
}

}  // namespace toponyx::platform
