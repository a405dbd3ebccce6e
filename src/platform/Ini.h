// Settings files with the semantics of the Windows profile functions
// (GetPrivateProfileString / WritePrivateProfileString): section and key names
// are compared without letter case, blanks around keys and values are
// ignored, a value in matching quotes loses them, and writing a key keeps
// every other section, key, comment and blank line of the file as it was.
#pragma once

#include <string>
#include <string_view>

#include "platform/File.h"

namespace toponyx::platform {

class IniFile {
 public:
  explicit IniFile(std::string path, FileSystem& fs = DefaultFileSystem());

  const std::string& path() const { return path_; }

  // The value of key in section, or default_value when the file, the section
  // or the key is missing or the file cannot be read. The file is read anew
  // on every call, as the profile functions do.
  std::string ReadString(std::string_view section, std::string_view key,
                         std::string_view default_value) const;

  // Sets key in section, creating the file, the section or the key when
  // missing. False when the file cannot be read back or written.
  bool WriteString(std::string_view section, std::string_view key, std::string_view value);

 private:
  std::string path_;
  FileSystem& fs_;
};

// The pieces of the profile format, for the file above and its tests.
namespace ini {

// The text between "[" and "]" when line (after leading blanks) is a section
// header, else false.
bool ParseSectionHeader(std::string_view line, std::string_view& name);
// Key and value of a "key=value" line, blanks removed and one pair of
// matching quotes stripped from the value; false for a line without "=".
bool ParseKeyLine(std::string_view line, std::string_view& key, std::string_view& value);
// Letter case of the ASCII letters ignored.
bool NamesEqual(std::string_view a, std::string_view b);

}  // namespace ini

}  // namespace toponyx::platform
