#include "platform/AppPaths.h"

#include "platform/Ascii.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>

namespace toponyx::platform {
namespace reg {
namespace {

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

void AppendUtf8(std::string& out, uint32_t cp) {
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

}  // namespace

bool Unescape(std::string_view text, char terminator, std::string& out, size_t& consumed) {
  out.clear();
  size_t i = 0;
  while (i < text.size()) {
    char c = text[i];
    if (c == terminator) {
      consumed = i + 1;
      return true;
    }
    if (c != '\\' || i + 1 >= text.size()) {
      out.push_back(c);
      ++i;
      continue;
    }
    char e = text[i + 1];
    i += 2;
    switch (e) {
      case 'a':
        out.push_back('\a');
        break;
      case 'b':
        out.push_back('\b');
        break;
      case 'e':
        out.push_back('\x1b');
        break;
      case 'f':
        out.push_back('\f');
        break;
      case 'n':
        out.push_back('\n');
        break;
      case 'r':
        out.push_back('\r');
        break;
      case 't':
        out.push_back('\t');
        break;
      case 'v':
        out.push_back('\v');
        break;
      case 'x': {
        uint32_t cp = 0;
        int digits = 0;
        while (digits < 4 && i < text.size() && HexValue(text[i]) >= 0) {
          cp = cp * 16 + static_cast<uint32_t>(HexValue(text[i]));
          ++i;
          ++digits;
        }
        if (digits == 0) {
          out.push_back('x');
        } else {
          AppendUtf8(out, cp);
        }
        break;
      }
      default:
        if (e >= '0' && e <= '7') {
          uint32_t cp = static_cast<uint32_t>(e - '0');
          for (int d = 1; d < 3 && i < text.size() && text[i] >= '0' && text[i] <= '7'; ++d) {
            cp = cp * 8 + static_cast<uint32_t>(text[i] - '0');
            ++i;
          }
          AppendUtf8(out, cp);
        } else {
          out.push_back(e);  // "\\", "\"", "\[", "\]" and the rest stand for themselves
        }
    }
  }
  return false;
}

}  // namespace reg

namespace {

// system.reg is a text file of a few megabytes; lines longer than this are
// hex data we never need.
constexpr size_t kMaxLine = 1 << 20;

// A missing part of a path, matched without letter case in its folder.
bool MatchNoCase(const std::filesystem::path& folder, const std::string& part,
                 std::filesystem::path& found) {
  std::error_code ec;
  std::filesystem::directory_iterator it(folder, ec);
  if (ec) return false;
  for (const auto& entry : it) {
    std::string name = entry.path().filename().string();
    if (EqualsIgnoreCase(name, part)) {
      found = entry.path();
      return true;
    }
  }
  return false;
}

}  // namespace

std::string WinePrefixFromEnvironment() {
  const char* prefix = std::getenv("WINEPREFIX");
  if (prefix != nullptr && *prefix != '\0') return prefix;
  const char* home = std::getenv("HOME");
  if (home != nullptr && *home != '\0') return std::string(home) + "/.wine";
  return "";
}

std::string MapWindowsPath(std::string_view windows_path, const std::string& wine_prefix) {
  if (wine_prefix.empty() || windows_path.size() < 2 || windows_path[1] != ':') return "";
  const char drive = ToLowerAscii(windows_path[0]);
  if (drive < 'a' || drive > 'z') return "";
  std::error_code ec;
  std::filesystem::path root =
      std::filesystem::path(wine_prefix) / "dosdevices" / std::string{drive, ':'};
  if (!std::filesystem::exists(root, ec)) return "";
  // The drive link points at drive_c or at any folder of this system.
  std::filesystem::path resolved = std::filesystem::canonical(root, ec);
  if (ec) return "";

  std::string_view rest = windows_path.substr(2);
  std::filesystem::path path = resolved;
  bool matching = true;  // parts are looked up while the folder exists
  while (!rest.empty()) {
    size_t sep = rest.find_first_of("\\/");
    std::string part(rest.substr(0, sep));
    rest = sep == std::string_view::npos ? std::string_view() : rest.substr(sep + 1);
    if (part.empty() || part == ".") continue;
    if (part == "..") {
      if (path != resolved) path = path.parent_path();
      continue;
    }
    std::filesystem::path next = path / part;
    if (matching && !std::filesystem::exists(next, ec)) {
      std::filesystem::path found;
      if (MatchNoCase(path, part, found)) {
        next = found;
      } else {
        matching = false;
      }
    }
    path = next;
  }
  return path.string();
}

AppPathsEntry LookUpAppPath(std::string_view exe_name, const std::string& wine_prefix) {
  AppPathsEntry entry;
  if (wine_prefix.empty()) return entry;
  std::ifstream in(wine_prefix + "/system.reg", std::ios::binary);
  if (!in) return entry;

  const std::string base = "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\";
  const std::string wow = "Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\App Paths\\";
  const std::string native_key = base + std::string(exe_name);
  const std::string wow_key = wow + std::string(exe_name);

  // The native key wins over the one of 32-bit programs.
  bool in_native = false, in_wow = false;
  bool found_native = false, found_wow = false;
  std::string native_path, wow_path;
  std::string line, text;
  while (std::getline(in, line)) {
    if (line.size() > kMaxLine) continue;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!line.empty() && line[0] == '[') {
      size_t used = 0;
      in_native = in_wow = false;
      if (!reg::Unescape(std::string_view(line).substr(1), ']', text, used)) continue;
      if (EqualsIgnoreCase(text, native_key)) {
        in_native = found_native = true;
      } else if (EqualsIgnoreCase(text, wow_key)) {
        in_wow = found_wow = true;
      }
      continue;
    }
    if (!(in_native || in_wow) || line.size() < 2 || line[0] != '"') continue;
    size_t used = 0;
    if (!reg::Unescape(std::string_view(line).substr(1), '"', text, used)) continue;
    if (!EqualsIgnoreCase(text, "Path")) continue;
    std::string_view rest = std::string_view(line).substr(1 + used);
    if (rest.empty() || rest[0] != '=') continue;
    rest.remove_prefix(1);
    // REG_SZ is "...", REG_EXPAND_SZ str(2):"..."; any other type reads as empty.
    if (rest.substr(0, 7) == "str(2):") rest.remove_prefix(7);
    std::string value;
    if (!rest.empty() && rest[0] == '"') {
      if (!reg::Unescape(rest.substr(1), '"', value, used)) value.clear();
    }
    (in_native ? native_path : wow_path) = value;
  }

  if (!found_native && !found_wow) return entry;
  entry.key_found = true;
  entry.path_value = found_native ? native_path : wow_path;
  std::string windows = entry.path_value;
  // A folder written with a trailing backslash names the same folder.
  while (windows.size() > 3 && (windows.back() == '\\' || windows.back() == '/')) {
    windows.pop_back();
  }
  entry.local_folder = MapWindowsPath(windows, wine_prefix);
  return entry;
}

}  // namespace toponyx::platform
