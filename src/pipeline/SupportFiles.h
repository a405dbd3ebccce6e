// The support files the programs write beside themselves at every start.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>

namespace toponyx::pipeline {

// Writes bytes to <folder>/<name>, creating or overwriting it. A failing
// write of a read-only file is retried once after clearing the read-only
// attribute. Returns "" when the file was written, else the system's message
// (the caller decides whether to show it).
std::string WriteSupportFile(const std::string& folder, std::string_view name,
                             std::string_view bytes);

// A support file: its name and its bytes.
using SupportFile = std::pair<std::string_view, std::string_view>;

// "USACodes.list" and "WorldCodes.list" from the program's own copies, then
// the further files given, in that order. Returns the failures that even
// the retry could not mend, one line each ("<path>: <system message>"), ""
// when every file was written.
std::string WriteSupportFiles(const std::string& program_folder,
                              std::initializer_list<SupportFile> more = {});

}  // namespace toponyx::pipeline
