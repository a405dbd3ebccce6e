// The system's answers on Windows: where the program lives, the temporary
// folder, the user's decimal separator, today's date, the user's folders.
#include "platform/System.h"

#include <fcntl.h>
#include <io.h>

#include <cstdio>

#include <atomic>
#include <random>
#include <system_error>
#include <vector>

#include "platform/Paths.h"
#include "platform/windows/Wide.h"

// After windows.h, which it needs.
#include <shellapi.h>

namespace toponyx::platform {

using win::Utf8;
using win::WidePath;

std::string CurrentFolder() {
  const DWORD n = ::GetCurrentDirectoryW(0, nullptr);
  if (n == 0) return "";
  std::wstring folder(n, L'\0');
  const DWORD got = ::GetCurrentDirectoryW(n, folder.data());
  folder.resize(got);
  return Utf8(folder);
}

std::string ProgramFolder() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (n == 0) return ".";
    if (n < path.size()) {
      path.resize(n);
      break;
    }
    path.resize(path.size() * 2);
  }
  const std::string utf8 = Utf8(path);
  const std::string_view folder = FolderOf(utf8);
  return folder.empty() ? "." : std::string(folder);
}

std::string SystemTempFolder() {
  wchar_t buffer[MAX_PATH + 2];
  const DWORD n = ::GetTempPathW(MAX_PATH + 2, buffer);
  std::string folder =
      n > 0 ? Utf8(std::wstring_view(buffer, n)) : std::string("C:\\Windows\\Temp\\");
  if (!IsPathSeparator(folder.back())) folder.push_back(kPathSeparator);
  return folder;
}

namespace {
std::atomic<char> decimal_separator{'\0'};

char ReadLocaleSeparator() {
  wchar_t text[8] = {};
  if (::GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, LOCALE_SDECIMAL, text, 8) < 2) return '.';
  // One character of the ANSI range, as the position forms hold it.
  return text[1] == L'\0' && text[0] > 0 && text[0] < 0x80 ? static_cast<char>(text[0]) : '.';
}
}  // namespace

char DecimalSeparator() {
  char c = decimal_separator.load(std::memory_order_relaxed);
  if (c == '\0') {
    c = ReadLocaleSeparator();
    decimal_separator.store(c, std::memory_order_relaxed);
  }
  return c;
}

void SetDecimalSeparator(char separator) {
  decimal_separator.store(separator, std::memory_order_relaxed);
}

std::string CreateUniqueFolder(const std::string& parent, std::string_view prefix) {
  static constexpr char kLetters[] =
      "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  std::random_device seed;
  std::mt19937 random(seed());
  std::string base = parent;
  if (base.empty() || !IsPathSeparator(base.back())) base.push_back(kPathSeparator);
  base.append(prefix);
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string path = base;
    for (int i = 0; i < 6; ++i) path.push_back(kLetters[random() % (sizeof kLetters - 1)]);
    if (::CreateDirectoryW(WidePath(path).c_str(), nullptr)) return path;
    if (::GetLastError() != ERROR_ALREADY_EXISTS) return "";
  }
  return "";
}

namespace {
// Removes a file or a folder with all it holds, each entry once (a symbolic
// link or junction as itself, never what it points at); read-only files
// lose the attribute first, as Windows removes none.
bool RemoveWide(const std::wstring& path) {
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return ::GetLastError() == ERROR_FILE_NOT_FOUND;
  if (attributes & FILE_ATTRIBUTE_READONLY) {
    ::SetFileAttributesW(path.c_str(), attributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
  }
  if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) return ::DeleteFileW(path.c_str()) != 0;
  bool all = true;
  if (!(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
    WIN32_FIND_DATAW found;
    const HANDLE search = ::FindFirstFileW((path + L"\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
      do {
        const std::wstring name = found.cFileName;
        if (name == L"." || name == L"..") continue;
        all = RemoveWide(path + L"\\" + name) && all;
      } while (::FindNextFileW(search, &found));
      ::FindClose(search);
    }
  }
  return ::RemoveDirectoryW(path.c_str()) != 0 && all;
}
}  // namespace

bool RemoveTree(const std::string& path) {
  return RemoveWide(WidePath(path));
}

bool StderrIsTerminal() {
  DWORD mode = 0;
  return ::GetConsoleMode(::GetStdHandle(STD_ERROR_HANDLE), &mode) != 0;
}

std::vector<std::string> CommandLineArguments(int, char**) {
  std::vector<std::string> arguments;
  int count = 0;
  wchar_t** wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
  if (wide == nullptr) return arguments;
  for (int i = 1; i < count; ++i) arguments.push_back(Utf8(wide[i]));
  ::LocalFree(wide);
  return arguments;
}

void UseBinaryStandardStreams() {
  ::_setmode(::_fileno(stdout), _O_BINARY);
  ::_setmode(::_fileno(stderr), _O_BINARY);
  ::SetConsoleOutputCP(CP_UTF8);
}

LocalDate Today() {
  SYSTEMTIME now;
  ::GetLocalTime(&now);
  return LocalDate{now.wYear, now.wMonth, now.wDay};
}

namespace {
std::string Environment(const wchar_t* name) {
  const DWORD n = ::GetEnvironmentVariableW(name, nullptr, 0);
  if (n == 0) return "";
  std::wstring value(n, L'\0');
  value.resize(::GetEnvironmentVariableW(name, value.data(), n));
  return Utf8(value);
}
}  // namespace

std::string HomeFolder() {
  return Environment(L"USERPROFILE");
}

std::string UserConfigFolder() {
  const std::string app_data = Environment(L"APPDATA");
  if (!app_data.empty()) return JoinPath(app_data, "Toponyx");
  const std::string home = HomeFolder();
  return home.empty() ? "" : JoinPath(JoinPath(JoinPath(home, "AppData"), "Roaming"), "Toponyx");
}

bool IsWritableFolder(const std::string& path) {
  const DWORD attributes =
      path.empty() ? INVALID_FILE_ATTRIBUTES : ::GetFileAttributesW(WidePath(path).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    return false;
  }
  // Windows answers the question only by trying.
  const std::string probe = CreateUniqueFolder(path, ".toponyx-probe-");
  if (probe.empty()) return false;
  ::RemoveDirectoryW(WidePath(probe).c_str());
  return true;
}

int CurrentProcessId() {
  return static_cast<int>(::GetCurrentProcessId());
}

bool ProcessIsRunning(int pid) {
  if (pid <= 0) return false;
  const HANDLE process =
      ::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, static_cast<DWORD>(pid));
  if (process == nullptr) return ::GetLastError() == ERROR_ACCESS_DENIED;
  DWORD code = 0;
  const bool running = ::GetExitCodeProcess(process, &code) && code == STILL_ACTIVE;
  ::CloseHandle(process);
  return running;
}

}  // namespace toponyx::platform
