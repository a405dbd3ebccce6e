// What the program asks of the operating system besides files: where it
// lives, the temporary folder, the user's decimal separator, today's date.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace toponyx::platform {

// Paths are formed as folder, separator, name, with folder texts used as given.
#if defined(_WIN32)
inline constexpr char kPathSeparator = '\\';
// Every character that separates the parts of a path ("/" is one too).
inline constexpr const char* kPathSeparators = "\\/";
#else
inline constexpr char kPathSeparator = '/';
inline constexpr const char* kPathSeparators = "/";
#endif

inline bool IsPathSeparator(char c) {
  return c == '/' || (kPathSeparator != '/' && c == kPathSeparator);
}
// The last part of a path (the whole path when it has no separator).
inline std::string_view FileNameOf(std::string_view path) {
  const size_t at = path.find_last_of(kPathSeparators);
  return at == std::string_view::npos ? path : path.substr(at + 1);
}
// What comes before the last separator of a path ("" when it has none).
inline std::string_view FolderOf(std::string_view path) {
  const size_t at = path.find_last_of(kPathSeparators);
  return at == std::string_view::npos ? std::string_view() : path.substr(0, at);
}

inline std::string JoinPath(std::string_view folder, std::string_view name) {
  std::string path;
  path.reserve(folder.size() + 1 + name.size());
  path.append(folder);
  path.push_back(kPathSeparator);
  path.append(name);
  return path;
}

// The folder that holds the running executable, without a trailing separator.
std::string ProgramFolder();

// The system's folder for temporary files ($TMPDIR, else /tmp), with a
// trailing separator, as the system gives it.
std::string SystemTempFolder();

// The decimal separator of the user's number format (LC_NUMERIC of the
// environment), read once; a full stop where the locale gives none.
char DecimalSeparator();
// Overrides the separator (tests and front ends that want a fixed one).
void SetDecimalSeparator(char separator);

// Creates a new folder named prefix + six random characters inside parent
// and returns its path; "" when it cannot be created.
std::string CreateUniqueFolder(const std::string& parent, std::string_view prefix);
// Removes a folder and everything in it; false when something stayed.
bool RemoveTree(const std::string& path);
// True when the standard error stream is a terminal.
bool StderrIsTerminal();

// The program's arguments (argv[1] on) as UTF-8 texts: on Windows from the
// wide-character command line, so that any name can be given.
std::vector<std::string> CommandLineArguments(int argc, char** argv);
// Standard output and error take the program's bytes as they stand (UTF-8
// text, line feeds not turned into CR LF), and a console shows them as
// UTF-8.
void UseBinaryStandardStreams();

struct LocalDate {
  int year;   // e.g. 2026
  int month;  // 1 to 12
  int day;    // 1 to 31
};
// Today's date in local time.
LocalDate Today();

}  // namespace toponyx::platform

// The user's own folders, for a copy of the program installed where its
// user cannot write (a package's program folder).
namespace toponyx::platform {

// The user's home folder: $HOME, else the password database's entry; ""
// when neither names one.
std::string HomeFolder();

// The program's folder in the user's configuration folder:
// $XDG_CONFIG_HOME/toponyx when that variable holds an absolute path, else
// <home>/.config/toponyx; "" without a home folder. Not created here.
std::string UserConfigFolder();

// True when path is an existing folder in which this process may create
// files.
bool IsWritableFolder(const std::string& path);

// This process's id, and whether a process of that id is running (one that
// exists but is not ours counts).
int CurrentProcessId();
bool ProcessIsRunning(int pid);

}  // namespace toponyx::platform
