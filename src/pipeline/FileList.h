// The list of downloaded files that the user ticks: its order and masks,
// shared by the desktop window and toponyx-create.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/File.h"
#include "readers/Formats.h"

namespace toponyx::pipeline {

// Every file a run reads: the masks of the listed formats
// ("*.zip;*.gz;*.txt;...").
std::string InputFilesMask(const readers::FormatTable& formats = readers::DefaultFormats());

// An entry of the folder dialog's filter list.
struct DialogFilter {
  std::string caption;  // "All Data Files (*.zip) (*.gz) ..."
  std::string mask;     // "*.zip;*.gz;..."
};
// The filter list: first every format the program reads, then the formats
// with an entry of their own, in table order.
std::vector<DialogFilter> DialogFilters(
    const readers::FormatTable& formats = readers::DefaultFormats());

// List order: by name with the ASCII letters compared without case, ties in
// byte order.
bool FileListLess(std::string_view a, std::string_view b);

// True when the name matches one of the ";"-separated patterns of the mask
// ("*" any run of characters, "?" one character), letter case ignored.
bool MatchesFileMask(std::string_view name, std::string_view mask);

// The regular files of a folder that match the mask, in list order (none
// when the folder cannot be read).
std::vector<std::string> ListFolder(const std::string& folder, std::string_view mask,
                                    platform::FileSystem& fs = platform::DefaultFileSystem());

}  // namespace toponyx::pipeline
