// Writing a whole file the way the program writes its support files.
#pragma once

#include <string>
#include <string_view>

namespace toponyx::platform {

// Creates or overwrites path with bytes. When that fails and the file exists
// without write permission (read-only), the permission is granted and the
// same write is tried once more. Returns "" on success, or the system's
// message for the failure.
std::string WriteWholeFile(const std::string& path, std::string_view bytes);

// True when the file exists and its owner may not write it.
bool IsReadOnly(const std::string& path);

}  // namespace toponyx::platform
