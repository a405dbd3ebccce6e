// The list of downloaded files that the user ticks: its order and masks,
// shared by the desktop window and toponyx-create.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace toponyx::pipeline {

// The default mask of the file list: every kind of data file.
inline constexpr std::string_view kAllDataFilesMask = "*.zip;*.gz;*.txt;*.wpt;*.tpx";
// Every file a run reads: the data files and today's downloads (CSV, GPX).
inline constexpr std::string_view kAllInputFilesMask = "*.zip;*.gz;*.txt;*.wpt;*.tpx;*.csv;*.gpx";

// List order: by name with the ASCII letters compared without case, ties in
// byte order.
bool FileListLess(std::string_view a, std::string_view b);

// True when the name matches one of the ";"-separated patterns of the mask
// ("*" any run of characters, "?" one character), letter case ignored.
bool MatchesFileMask(std::string_view name, std::string_view mask);

// The regular files of a folder that match the mask, in list order.
std::vector<std::string> ListFolder(const std::string& folder, std::string_view mask);

}  // namespace toponyx::pipeline
