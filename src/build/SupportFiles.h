// The support files the programs write beside themselves at every start.
#pragma once

#include <string>
#include <string_view>

namespace toponyx::build {

// Writes bytes to <folder>/<name>, creating or overwriting it. A failing
// write of a read-only file is retried once after clearing the read-only
// attribute. Returns "" when the file was written, else the system's message
// (the caller decides whether to show it).
std::string WriteSupportFile(const std::string& folder, std::string_view name,
                             std::string_view bytes);

// "USACodes.list" and "WorldCodes.list" from the program's own copies, in
// that order; returns the message of the first failure, "" when both were
// written.
std::string WriteCodeLists(const std::string& program_folder);

}  // namespace toponyx::build
