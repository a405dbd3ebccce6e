#include "platform/Ini.h"

#include "platform/Ascii.h"

#include <cstdint>
#include <vector>

namespace toponyx::platform {
namespace ini {
namespace {

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && (IsBlank(s.back()) || s.back() == '\r')) s.remove_suffix(1);
  return s;
}

}  // namespace

bool NamesEqual(std::string_view a, std::string_view b) {
  return EqualsIgnoreCase(a, b);
}

bool ParseSectionHeader(std::string_view line, std::string_view& name) {
  line = Trim(line);
  if (line.empty() || line.front() != '[') return false;
  size_t close = line.find(']');
  if (close == std::string_view::npos) return false;
  name = Trim(line.substr(1, close - 1));
  return true;
}

bool ParseKeyLine(std::string_view line, std::string_view& key, std::string_view& value) {
  size_t eq = line.find('=');
  if (eq == std::string_view::npos) return false;
  key = Trim(line.substr(0, eq));
  value = Trim(line.substr(eq + 1));
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
      value.back() == value.front()) {
    value = value.substr(1, value.size() - 2);
  }
  return true;
}

}  // namespace ini

namespace {

// Profile files are small; a larger file is not one of ours and is left
// alone rather than read into memory.
constexpr int64_t kMaxIniBytes = 16 * 1024 * 1024;

enum class ReadResult { kRead, kMissing, kFailed };

ReadResult ReadAll(FileSystem& fs, const std::string& path, std::string& out) {
  out.clear();
  if (!fs.Exists(path)) return ReadResult::kMissing;
  auto file = fs.Open(path, OpenMode::kRead);
  if (!file) return ReadResult::kFailed;
  const int64_t size = file->Size();
  if (size < 0 || size > kMaxIniBytes) return ReadResult::kFailed;
  out.resize(static_cast<size_t>(size));
  size_t done = 0;
  while (done < out.size()) {
    int64_t n = file->Read(out.data() + done, out.size() - done);
    if (n < 0) return ReadResult::kFailed;
    if (n == 0) break;
    done += static_cast<size_t>(n);
  }
  out.resize(done);
  return ReadResult::kRead;
}

// The lines of the file without their line ends (CR LF or LF).
std::vector<std::string_view> SplitLines(std::string_view text) {
  std::vector<std::string_view> lines;
  while (!text.empty()) {
    size_t nl = text.find('\n');
    std::string_view line = text.substr(0, nl);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    lines.push_back(line);
    if (nl == std::string_view::npos) break;
    text.remove_prefix(nl + 1);
  }
  return lines;
}

bool IsComment(std::string_view line) {
  size_t i = line.find_first_not_of(" \t");
  return i != std::string_view::npos && line[i] == ';';
}

}  // namespace

IniFile::IniFile(std::string path, FileSystem& fs) : path_(std::move(path)), fs_(fs) {}

std::string IniFile::ReadString(std::string_view section, std::string_view key,
                                std::string_view default_value) const {
  std::string text;
  if (ReadAll(fs_, path_, text) != ReadResult::kRead) return std::string(default_value);
  bool in_section = false;
  for (std::string_view line : SplitLines(text)) {
    std::string_view name;
    if (ini::ParseSectionHeader(line, name)) {
      // The first section of that name is the one the functions use.
      if (in_section) break;
      in_section = ini::NamesEqual(name, section);
      continue;
    }
    if (!in_section || IsComment(line)) continue;
    std::string_view k, v;
    if (ini::ParseKeyLine(line, k, v) && ini::NamesEqual(k, key)) return std::string(v);
  }
  return std::string(default_value);
}

bool IniFile::WriteString(std::string_view section, std::string_view key, std::string_view value) {
  std::string text;
  if (ReadAll(fs_, path_, text) == ReadResult::kFailed) return false;
  std::vector<std::string_view> lines = SplitLines(text);

  const std::string key_line = std::string(key) + "=" + std::string(value);
  // Where the new line goes: replacing the key's line, or after the last
  // non-blank line of the section, or in a new section at the end.
  size_t insert_at = lines.size();
  bool replace = false;
  bool found_section = false;
  for (size_t i = 0; i < lines.size(); ++i) {
    std::string_view name;
    if (ini::ParseSectionHeader(lines[i], name)) {
      if (found_section) break;
      if (ini::NamesEqual(name, section)) {
        found_section = true;
        insert_at = i + 1;
      }
      continue;
    }
    if (!found_section) continue;
    std::string_view k, v;
    if (!IsComment(lines[i]) && ini::ParseKeyLine(lines[i], k, v) && ini::NamesEqual(k, key)) {
      insert_at = i;
      replace = true;
      break;
    }
    if (lines[i].find_first_not_of(" \t") != std::string_view::npos) insert_at = i + 1;
  }

  std::string out;
  out.reserve(text.size() + key_line.size() + section.size() + 8);
  for (size_t i = 0; i < lines.size(); ++i) {
    if (found_section && i == insert_at) {
      out += key_line;
      out += "\r\n";
      if (replace) continue;
    }
    out.append(lines[i]);
    out += "\r\n";
  }
  if (found_section && insert_at == lines.size()) {
    out += key_line;
    out += "\r\n";
  }
  if (!found_section) {
    out += "[";
    out.append(section);
    out += "]\r\n";
    out += key_line;
    out += "\r\n";
  }

  auto file = fs_.Open(path_, OpenMode::kCreate);
  if (!file) return false;
  const bool written = file->Write(out.data(), out.size());
  const bool closed = file->Close();
  return written && closed;
}

}  // namespace toponyx::platform
