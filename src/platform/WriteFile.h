// Writing a whole file the way the program writes its support files.
#pragma once

#include <string>
#include <string_view>

namespace toponyx::platform {

// Makes path hold bytes. A file that holds them already is left alone (so
// a read-only program folder with the right files is no failure). Else the
// bytes go to a new file beside it, which is then renamed over it: whoever
// reads the file meanwhile reads the old one or the new one whole, never
// one cut short, and a read-only file is replaced like any other. A failure
// throws toponyx::Error with the path and the system's message.
void WriteWholeFile(const std::string& path, std::string_view bytes);

}  // namespace toponyx::platform
