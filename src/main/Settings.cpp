#include "main/Settings.h"

#include <charconv>

#include "platform/AppPaths.h"
#include "platform/File.h"
#include "platform/Ini.h"
#include "platform/System.h"

namespace toponyx::desktop {

StartupEnvironment StartupEnvironment::FromSystem() {
  StartupEnvironment env;
  env.program_folder = platform::ProgramFolder();
  env.system_temp_folder = platform::SystemTempFolder();
  env.wine_prefix = platform::WinePrefixFromEnvironment();
  env.home_folder = platform::HomeFolder();
  env.config_folder = platform::UserConfigFolder();
  return env;
}

bool IsExistingFolder(const std::string& path) {
  return !path.empty() && platform::DefaultFileSystem().IsDirectory(path);
}

std::string FindMappingFolder(const StartupEnvironment& env) {
  platform::AppPathsEntry entry = platform::LookUpAppPath(kExecutableName, env.wine_prefix);
  if (entry.key_found && IsExistingFolder(entry.local_folder)) return entry.local_folder;
  return env.program_folder;
}

std::string NormaliseLastFolder(std::string_view value) {
  while (!value.empty() && value.front() == ' ') value.remove_prefix(1);
  while (!value.empty() && value.back() == ' ') value.remove_suffix(1);
  if (value.size() > 1 && (value.back() == '/' || value.back() == '\\')) value.remove_suffix(1);
  return std::string(value);
}

int32_t ParseFiletype(std::string_view value) {
  while (!value.empty() && (value.front() == ' ' || value.front() == '\t')) value.remove_prefix(1);
  if (!value.empty() && value.front() == '+') value.remove_prefix(1);
  int32_t n = 0;
  auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), n);
  if (ec != std::errc() || end != value.data() + value.size()) return 0;
  return n;
}

SettingsPlace PlaceSettings(const std::string& mapping_folder, const StartupEnvironment& env) {
  SettingsPlace place;
  place.mapping_folder = mapping_folder;
  const bool writable = env.is_writable_folder(mapping_folder);
  place.settings_file =
      platform::JoinPath(writable || env.config_folder.empty() ? mapping_folder : env.config_folder,
                         kSettingsFileName);
  place.save_folder = platform::JoinPath(
      writable || env.home_folder.empty() ? mapping_folder : env.home_folder, "Toponyx");
  return place;
}

FolderSettings LoadSettings(const SettingsPlace& place, const StartupEnvironment& env) {
  platform::IniFile ini(place.settings_file);
  const std::string toponyx_folder = platform::JoinPath(place.mapping_folder, "Toponyx");
  auto read = [&](std::string_view key, std::string_view def) {
    return ini.ReadString(kSettingsSection, key, def);
  };
  // A remembered folder, when not blank, wins over the default one.
  auto pick = [&](std::string_view key, std::string_view last_key, std::string_view def) {
    std::string folder = read(key, def);
    std::string last = NormaliseLastFolder(read(last_key, ""));
    if (!last.empty()) folder = last;
    return folder;
  };

  FolderSettings s;
  s.download_folder = pick("Start Directory", "Last Start Directory",
                           IsExistingFolder(toponyx_folder) ? toponyx_folder : env.program_folder);
  if (!IsExistingFolder(s.download_folder)) s.download_folder = env.program_folder;

  s.save_folder = pick("Save Directory", "Last Save Directory", place.save_folder);
  if (!IsExistingFolder(s.save_folder)) s.save_folder = place.save_folder;

  s.temp_folder = pick("Temp Directory", "Last Temp Directory", env.system_temp_folder);
  if (!IsExistingFolder(s.temp_folder)) s.temp_folder = env.system_temp_folder;
  // Shown as the other folders are, without the trailing separator that the
  // system gives its temporary folder (so a first start and a restart show
  // the same text); a root keeps its one.
  const std::string_view temp = s.temp_folder;
  if (temp.size() > 1 && (temp.back() == '/' || temp.back() == '\\')) s.temp_folder.pop_back();

  s.www_location = read("WWW Location", kDefaultWwwLocation);
  s.default_filetype = ParseFiletype(read("Default Filetype", "0"));
  s.table_columns = ini.ReadString(kTableColumnsSection, kTableColumnsKey, "");
  return s;
}

std::string SaveSettings(const SettingsPlace& place, const StartupEnvironment& env,
                         const FolderSettings& current) {
  const std::string& path = place.settings_file;
  const size_t slash = path.rfind(platform::kPathSeparator);
  auto& fs = platform::DefaultFileSystem();
  // A failure here shows as the first key that cannot be written.
  if (slash != std::string::npos && slash > 0) fs.CreateDirectories(path.substr(0, slash));
  platform::IniFile ini(path);
  const std::pair<std::string_view, std::string> keys[] = {
      {"Start Directory", env.program_folder},
      {"Last Start Directory", current.download_folder},
      {"Save Directory", place.save_folder},
      {"Last Save Directory", current.save_folder},
      {"Temp Directory", env.system_temp_folder},
      {"Last Temp Directory", current.temp_folder},
      {"WWW Location", current.www_location},
      {"Default Filetype", std::to_string(current.default_filetype)},
  };
  for (const auto& [key, value] : keys) {
    if (!ini.WriteString(kSettingsSection, key, value)) return "Unable to write to " + path;
  }
  // A file that never had table columns gets no section for them.
  constexpr std::string_view kNone = "\x01";
  if ((!current.table_columns.empty() ||
       ini.ReadString(kTableColumnsSection, kTableColumnsKey, kNone) != kNone) &&
      !ini.WriteString(kTableColumnsSection, kTableColumnsKey, current.table_columns)) {
    return "Unable to write to " + path;
  }
  return "";
}

pipeline::Choices LoadChoices(const SettingsPlace& place) {
  const platform::IniFile ini(place.settings_file);
  auto read = [&](std::string_view key) { return ini.ReadString(kChoicesSection, key, ""); };
  pipeline::Choices c;
  pipeline::Area area;
  if (pipeline::ParseArea(read("Area"), area)) c.area = area;
  const std::string types = read("Types");
  if (!types.empty()) {
    std::vector<std::string> codes;
    for (size_t at = 0; at <= types.size();) {
      const size_t bar = std::min(types.find('|', at), types.size());
      if (bar > at) codes.push_back(types.substr(at, bar - at));
      at = bar + 1;
    }
    if (!codes.empty()) c.types = std::move(codes);
  }
  if (!pipeline::ParseClasses(read("Classes"), c.classes)) c.classes.clear();
  c.alternate_names = read("Alternate Names") == "1";
  if (!pipeline::ParseLanguages(read("Languages"), c.languages)) c.languages.clear();
  double metres;
  if (pipeline::ParseMetres(read("Merge Duplicates"), metres)) c.merge_metres = metres;
  return c;
}

std::string SaveChoices(const SettingsPlace& place, const pipeline::Choices& choices) {
  platform::IniFile ini(place.settings_file);
  constexpr std::string_view kNone = "\x01";
  // A file that never had choices gets no section for them.
  if (!choices.Any() && choices.languages.empty() &&
      ini.ReadString(kChoicesSection, "Area", kNone) == kNone) {
    return "";
  }
  std::string types;
  if (choices.types) {
    for (const std::string& code : *choices.types) types += (types.empty() ? "" : "|") + code;
  }
  const std::pair<std::string_view, std::string> keys[] = {
      {"Area", choices.area ? pipeline::AreaText(*choices.area) : ""},
      {"Types", types},
      {"Classes", choices.classes},
      {"Alternate Names", choices.alternate_names ? "1" : "0"},
      {"Languages", pipeline::LanguagesText(choices.languages)},
      {"Merge Duplicates",
       choices.merge_metres ? std::to_string(static_cast<int64_t>(*choices.merge_metres)) : ""},
  };
  for (const auto& [key, value] : keys) {
    if (!ini.WriteString(kChoicesSection, key, value)) return "Unable to write to " + ini.path();
  }
  return "";
}

}  // namespace toponyx::desktop
