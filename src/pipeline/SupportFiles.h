// The support files the programs write beside themselves at every start.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>

namespace toponyx::pipeline {

// Writes bytes to <folder>/<name>, creating or replacing it whole; a
// failure throws toponyx::Error ("<path>: <system message>").
void WriteSupportFile(const std::string& folder, std::string_view name, std::string_view bytes);

// A support file: its name and its bytes.
using SupportFile = std::pair<std::string_view, std::string_view>;

// "USACodes.list" and "WorldCodes.list" from the program's own copies, then
// the further files given, in that order. A file that cannot be written
// does not keep the others from being written: the report of the failures
// comes back, one line each ("<path>: <system message>"), for the front
// end's error box; "" when every file was written.
std::string WriteSupportFiles(const std::string& program_folder,
                              std::initializer_list<SupportFile> more = {});

}  // namespace toponyx::pipeline
