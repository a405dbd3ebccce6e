#include "platform/windows/Wide.h"

namespace toponyx::platform::win {

std::wstring Wide(std::string_view utf8) {
  if (utf8.empty()) return {};
  const int n =
      ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring out(static_cast<size_t>(n > 0 ? n : 0), L'\0');
  if (n > 0) {
    ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), out.data(), n);
  }
  return out;
}

std::string Utf8(std::wstring_view wide) {
  if (wide.empty()) return {};
  const int n = ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()),
                                      nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<size_t>(n > 0 ? n : 0), '\0');
  if (n > 0) {
    ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), out.data(), n,
                          nullptr, nullptr);
  }
  return out;
}

std::wstring WidePath(std::string_view utf8_path) {
  std::wstring path = Wide(utf8_path);
  for (wchar_t& c : path) {
    if (c == L'/') c = L'\\';
  }
  // "C:\..." past the classic limit: the prefix, which also stops the
  // system from taking "." and ".." parts and trailing blanks apart.
  const bool drive = path.size() >= 3 && path[1] == L':' && path[2] == L'\\';
  const bool unc = path.size() >= 2 && path[0] == L'\\' && path[1] == L'\\' &&
                   !(path.size() >= 4 && path[2] == L'?' && path[3] == L'\\');
  if (path.size() >= MAX_PATH - 12) {
    if (drive) return L"\\\\?\\" + path;
    if (unc) return L"\\\\?\\UNC\\" + path.substr(2);
  }
  return path;
}

std::string ErrorText(DWORD code) {
  wchar_t* buffer = nullptr;
  const DWORD n = ::FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US),
      reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  std::string text = n > 0 && buffer != nullptr ? Utf8(std::wstring_view(buffer, n))
                                                : "error " + std::to_string(code);
  if (buffer != nullptr) ::LocalFree(buffer);
  while (!text.empty() &&
         (text.back() == '\n' || text.back() == '\r' || text.back() == ' ' || text.back() == '.')) {
    text.pop_back();
  }
  return text;
}

namespace {
thread_local DWORD last_failure = 0;
}  // namespace

void SetLastFailure(DWORD code) {
  last_failure = code;
}

DWORD LastFailure() {
  return last_failure;
}

}  // namespace toponyx::platform::win
