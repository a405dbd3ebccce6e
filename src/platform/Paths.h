// Paths as a user types them: a relative path is taken relative to a base
// folder (the current folder for the command line, the program folder for
// the desktop program's folder edits) before the core sees it.
#pragma once

#include <string>
#include <string_view>

namespace toponyx::platform {

// The current folder of the process, as the system gives it (no symbolic
// links in it); "" when it cannot be read.
std::string CurrentFolder();

// True for a path that begins with the separator.
bool IsAbsolutePath(std::string_view path);

// An absolute path stays as given. A relative one is joined to base, with
// its leading "." and ".." components taken against base (which the system
// gave without symbolic links, so the parent of a component of base is
// exactly what the system would find); later components stay as typed. An
// empty path stays empty, so that an empty folder text keeps its meaning.
std::string AbsolutePath(std::string_view path, std::string_view base);

}  // namespace toponyx::platform
