// The App Paths entry from the registry of Windows itself, read only.
#include "platform/AppPaths.h"

#include "platform/windows/Wide.h"

namespace toponyx::platform {

AppPathsEntry FindAppPath(std::string_view exe_name) {
  AppPathsEntry entry;
  const std::wstring exe = win::Wide(exe_name);
  // 64-bit programs' entries, then those a 32-bit installer left.
  for (const wchar_t* base : {L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\",
                              L"SOFTWARE\\WOW6432Node\\Microsoft\\Windows\\CurrentVersion\\App "
                              L"Paths\\"}) {
    HKEY key = nullptr;
    const std::wstring name = base + exe;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, name.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
      continue;
    }
    entry.key_found = true;
    DWORD type = 0, bytes = 0;
    if (::RegQueryValueExW(key, L"Path", nullptr, &type, nullptr, &bytes) == ERROR_SUCCESS &&
        (type == REG_SZ || type == REG_EXPAND_SZ) && bytes >= sizeof(wchar_t)) {
      std::wstring value(bytes / sizeof(wchar_t), L'\0');
      ::RegQueryValueExW(key, L"Path", nullptr, &type, reinterpret_cast<BYTE*>(value.data()),
                         &bytes);
      value.resize(bytes / sizeof(wchar_t));
      while (!value.empty() && value.back() == L'\0') value.pop_back();
      entry.path_value = win::Utf8(value);
      entry.local_folder = entry.path_value;  // a Windows path is a path of this system
    }
    ::RegCloseKey(key);
    return entry;
  }
  return entry;
}

}  // namespace toponyx::platform
