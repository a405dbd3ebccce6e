// Start-up and close of the desktop program without the windows: where the
// mapping program lives, the support files, and TOPONYX.INI.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace toponyx::desktop {

// Everything start-up takes from the system, so that tests can give each
// run folders of its own.
struct StartupEnvironment {
  std::string program_folder;      // without a trailing separator
  std::string system_temp_folder;  // with its trailing separator
  std::string wine_prefix;         // whose registry the App Paths look-up reads

  static StartupEnvironment FromSystem();
};

// The values of the settings-bearing fields of the main window.
struct FolderSettings {
  std::string download_folder;
  std::string save_folder;
  std::string temp_folder;
  std::string www_location;
  int32_t default_filetype = 0;
};

inline constexpr std::string_view kSettingsFileName = "TOPONYX.INI";
inline constexpr std::string_view kSettingsSection = "Paths";
inline constexpr std::string_view kDefaultWwwLocation =
    "https://download.geonames.org/export/dump/";
inline constexpr std::string_view kExecutableName = "CarVis.exe";

// The Carthovista folder from its App Paths entry when that names an
// existing folder, else the program folder.
std::string FindMappingFolder(const StartupEnvironment& env);

// Blanks (spaces) around the value removed, then one trailing separator
// when the text is longer than one character. Both separators count, since
// a settings file may come from Windows.
std::string NormaliseLastFolder(std::string_view value);

// "Default Filetype": leading blanks, a sign and decimal digits; anything
// that is not a whole number of 32 bits reads as 0.
int32_t ParseFiletype(std::string_view value);

// Reads <mapping folder>/TOPONYX.INI with its defaults and fallbacks.
FolderSettings LoadSettings(const std::string& mapping_folder, const StartupEnvironment& env);

// Writes the eight keys in their order. "" when all were written, else
// "Unable to write to <path>" (the keys after the failing one are not
// written).
std::string SaveSettings(const std::string& mapping_folder, const StartupEnvironment& env,
                         const FolderSettings& current);

bool IsExistingFolder(const std::string& path);

}  // namespace toponyx::desktop
