// Between the program's UTF-8 texts and the wide-character Windows API:
// texts and paths converted at the boundary, long paths given their "\\?\"
// prefix, and the system's error texts.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

namespace toponyx::platform::win {

// UTF-8 to UTF-16 and back (ill-formed input as the system converts it).
std::wstring Wide(std::string_view utf8);
std::string Utf8(std::wstring_view wide);

// A path for the wide file functions: "/" taken as "\", and an absolute
// path long enough to pass MAX_PATH with the "\\?\" prefix (which lifts the
// limit and takes the path as it stands).
std::wstring WidePath(std::string_view utf8_path);

// The system's text for an error code, without its line end.
std::string ErrorText(DWORD code);

// The last failure of this thread's file calls, kept for LastError().
void SetLastFailure(DWORD code);
DWORD LastFailure();

}  // namespace toponyx::platform::win
