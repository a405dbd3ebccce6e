// Start-up and close of the desktop program without the windows: where the
// mapping program lives, the support files, and TOPONYX.INI.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "pipeline/Choices.h"
#include "platform/System.h"

namespace toponyx::desktop {

// Everything start-up takes from the system, so that tests can give each
// run folders of its own.
struct StartupEnvironment {
  std::string program_folder;      // without a trailing separator
  std::string system_temp_folder;  // with its trailing separator
  std::string wine_prefix;         // whose registry the App Paths look-up reads
  // Where a copy that cannot write into the mapping program folder keeps
  // its settings and saves its databases (see PlaceSettings).
  std::string home_folder;
  std::string config_folder;  // the program's folder in the user's configuration folder
  bool (*is_writable_folder)(const std::string& path) = platform::IsWritableFolder;

  static StartupEnvironment FromSystem();
};

// Where TOPONYX.INI and the default save folder lie for one run.
struct SettingsPlace {
  std::string mapping_folder;
  std::string settings_file;  // the full path of TOPONYX.INI
  std::string save_folder;    // the default save folder ("Save Directory")
};

// The values of the settings-bearing fields of the main window.
struct FolderSettings {
  std::string download_folder;
  std::string save_folder;
  std::string temp_folder;
  std::string www_location;
  int32_t default_filetype = 0;
  // The columns named for delimited tables ("NAME,LAT,LON[,TYPE]", "" for
  // none): section "Table Columns", key "Columns".
  std::string table_columns;
};

inline constexpr std::string_view kSettingsFileName = "TOPONYX.INI";
inline constexpr std::string_view kSettingsSection = "Paths";
inline constexpr std::string_view kTableColumnsSection = "Table Columns";
inline constexpr std::string_view kTableColumnsKey = "Columns";
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

// Both lie in the mapping program folder (<mapping folder>/TOPONYX.INI,
// <mapping folder>/Toponyx) when the program may write there: a build
// folder, a Carthovista installation of the user's. A copy installed where
// its user cannot write, such as a package's program folder, keeps
// TOPONYX.INI in <config folder> and saves into <home>/Toponyx instead, the
// places a user of this system looks for them; its download folder stays
// <mapping folder>/Toponyx, the installed samples, when that exists.
SettingsPlace PlaceSettings(const std::string& mapping_folder, const StartupEnvironment& env);

// Reads the settings file with its defaults and fallbacks.
FolderSettings LoadSettings(const SettingsPlace& place, const StartupEnvironment& env);

// Writes the eight keys in their order, creating the settings file's folder
// when it is missing; then the table columns, when there are any or the
// file holds earlier ones. "" when all were written, else "Unable to write to
// <path>" (the keys after the failing one are not written).
std::string SaveSettings(const SettingsPlace& place, const StartupEnvironment& env,
                         const FolderSettings& current);

bool IsExistingFolder(const std::string& path);

// The choices of what goes in, section "Choices": "Area" (SOUTH,WEST,NORTH,
// EAST), "Types" (the full codes kept, separated by "|"), "Classes" (the
// letters), "Alternate Names" (1 or 0), "Languages" (en,de) and "Merge
// Duplicates" (the distance in metres). A key that is missing, empty or
// unreadable means no choice, as does a file without the section.
inline constexpr std::string_view kChoicesSection = "Choices";
pipeline::Choices LoadChoices(const SettingsPlace& place);
// Writes the section when a choice is on or the file holds it already; ""
// when written, else "Unable to write to <path>".
std::string SaveChoices(const SettingsPlace& place, const pipeline::Choices& choices);

}  // namespace toponyx::desktop
