// The App Paths entry of an installed Windows program, read from the
// registry without writing it. On this system the registry is the one of a
// Wine prefix: its machine hive system.reg, with the Windows paths it holds
// mapped through the prefix's dosdevices drive links.
#pragma once

#include <string>
#include <string_view>

namespace toponyx::platform {

struct AppPathsEntry {
  bool key_found = false;    // the key App Paths\<exe> exists
  std::string path_value;    // its string value "Path" as stored ("" when missing)
  std::string local_folder;  // that value as a path of this system ("" when it maps to none)
};

// The App Paths entry as this system keeps it: on Windows its registry; on
// other systems the registry of the Wine prefix of the environment
// (WinePrefixFromEnvironment).
AppPathsEntry FindAppPath(std::string_view exe_name);

// The prefix the look-up reads: $WINEPREFIX, else $HOME/.wine ("" when
// neither is set).
std::string WinePrefixFromEnvironment();

// Looks up HKEY_LOCAL_MACHINE\SOFTWARE\Microsoft\Windows\CurrentVersion\App
// Paths\<exe_name> in <wine_prefix>/system.reg (also under Wow6432Node, where
// a 64-bit prefix keeps the entries of 32-bit programs). A prefix without a
// readable system.reg has no keys.
AppPathsEntry LookUpAppPath(std::string_view exe_name, const std::string& wine_prefix);

// "C:\Program Files\X" -> "<prefix>/dosdevices/c:/Program Files/X" with the
// drive link resolved, and each missing part matched without letter case, as
// Wine matches Windows names. "" for a path without a drive letter or a drive
// the prefix doesn't have.
std::string MapWindowsPath(std::string_view windows_path, const std::string& wine_prefix);

namespace reg {
// Undoes the escapes of a quoted registry text ("\\", "\"", "\n", "\xHHHH",
// octal): text starts after the opening quote (or bracket) and ends at the
// first unescaped terminator, which is not included. The UTF-16 code units of
// "\x" escapes come out as UTF-8. False when the terminator is missing.
bool Unescape(std::string_view text, char terminator, std::string& out, size_t& consumed);
}  // namespace reg

}  // namespace toponyx::platform
