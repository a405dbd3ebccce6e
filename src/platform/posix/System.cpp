#include "platform/System.h"
#include "platform/Paths.h"

#include <langinfo.h>
#include <locale.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>

#include <stdlib.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <vector>

namespace toponyx::platform {

std::string CurrentFolder() {
  std::vector<char> buf(4096);
  while (::getcwd(buf.data(), buf.size()) == nullptr) {
    if (errno != ERANGE) return "";
    buf.resize(buf.size() * 2);
  }
  return buf.data();
}

std::string ProgramFolder() {
  std::vector<char> buf(4096);
  for (;;) {
    ssize_t n = ::readlink("/proc/self/exe", buf.data(), buf.size());
    if (n < 0) return ".";
    if (static_cast<size_t>(n) < buf.size()) {
      std::string path(buf.data(), static_cast<size_t>(n));
      size_t slash = path.rfind(kPathSeparator);
      if (slash == std::string::npos) return ".";
      if (slash == 0) return "/";
      return path.substr(0, slash);
    }
    buf.resize(buf.size() * 2);
  }
}

std::string SystemTempFolder() {
  const char* tmp = std::getenv("TMPDIR");
  std::string folder = (tmp != nullptr && *tmp != '\0') ? tmp : "/tmp";
  if (folder.back() != kPathSeparator) folder.push_back(kPathSeparator);
  return folder;
}

namespace {
std::atomic<char> decimal_separator{'\0'};

char ReadLocaleSeparator() {
  locale_t loc = ::newlocale(LC_NUMERIC_MASK, "", static_cast<locale_t>(0));
  if (loc == static_cast<locale_t>(0)) return '.';
  const char* sep = ::nl_langinfo_l(RADIXCHAR, loc);
  char c = (sep != nullptr && sep[0] != '\0' && sep[1] == '\0') ? sep[0] : '.';
  ::freelocale(loc);
  return c;
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
  std::string path = parent;
  if (path.empty() || path.back() != kPathSeparator) path.push_back(kPathSeparator);
  path.append(prefix);
  path.append("XXXXXX");
  if (::mkdtemp(path.data()) == nullptr) return "";
  return path;
}

bool RemoveTree(const std::string& path) {
  std::error_code ec;
  std::filesystem::remove_all(path, ec);
  return !ec;
}

bool StderrIsTerminal() {
  return ::isatty(2) == 1;
}

std::vector<std::string> CommandLineArguments(int argc, char** argv) {
  return std::vector<std::string>(argv + std::min(argc, 1), argv + argc);
}

void UseBinaryStandardStreams() {}  // they are

LocalDate Today() {
  std::time_t now = std::time(nullptr);
  std::tm local{};
  ::localtime_r(&now, &local);
  return LocalDate{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday};
}

}  // namespace toponyx::platform

// The user's own folders.
#include <pwd.h>
#include <sys/stat.h>

namespace toponyx::platform {

std::string HomeFolder() {
  const char* home = std::getenv("HOME");
  if (home != nullptr && *home != '\0') return home;
  std::vector<char> buf(16384);
  passwd entry{};
  passwd* found = nullptr;
  if (::getpwuid_r(::getuid(), &entry, buf.data(), buf.size(), &found) != 0 || found == nullptr ||
      found->pw_dir == nullptr) {
    return "";
  }
  return found->pw_dir;
}

std::string UserConfigFolder() {
  // A relative $XDG_CONFIG_HOME is invalid and ignored, as the base
  // directory convention asks.
  const char* config = std::getenv("XDG_CONFIG_HOME");
  if (config != nullptr && config[0] == kPathSeparator) {
    std::string folder = config;
    while (folder.size() > 1 && folder.back() == kPathSeparator) folder.pop_back();
    return JoinPath(folder == "/" ? "" : folder, "toponyx");
  }
  const std::string home = HomeFolder();
  if (home.empty()) return "";
  return JoinPath(JoinPath(home, ".config"), "toponyx");
}

bool IsWritableFolder(const std::string& path) {
  struct stat st {};
  if (path.empty() || ::stat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return false;
  return ::access(path.c_str(), W_OK | X_OK) == 0;
}

int CurrentProcessId() {
  return static_cast<int>(::getpid());
}

bool ProcessIsRunning(int pid) {
  if (pid <= 0) return false;
  return ::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM;
}

}  // namespace toponyx::platform
