// Writing a whole file the way the program writes its support files.
#pragma once

#include <string>
#include <string_view>

namespace toponyx::platform {

// Creates or overwrites path with bytes. When that fails and the file is
// read-only (FileAttributes.h), the read-only attribute is cleared and the
// same write is tried once more. Returns "" on success, or the system's
// message for the failure.
std::string WriteWholeFile(const std::string& path, std::string_view bytes);

}  // namespace toponyx::platform
