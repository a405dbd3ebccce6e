// Running a program for a test on Windows: its standard output and error go
// to files beside the test's temporary folder, read back when it has ended.
#include <windows.h>

#include <psapi.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "support/Process.h"

namespace toponyx::testing {
namespace {

std::wstring Wide(const std::string& utf8) {
  if (utf8.empty()) return {};
  const int n =
      ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring out(static_cast<size_t>(n), L'\0');
  ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), out.data(), n);
  return out;
}

// One argument as the C runtime splits a command line again.
std::wstring Quoted(const std::wstring& argument) {
  if (!argument.empty() && argument.find_first_of(L" \t\"") == std::wstring::npos) return argument;
  std::wstring out = L"\"";
  size_t backslashes = 0;
  for (wchar_t c : argument) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    out.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
    backslashes = 0;
    out.push_back(c);
  }
  out.append(backslashes * 2, L'\\');
  return out + L"\"";
}

HANDLE Inheritable(const std::wstring& path) {
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  return ::CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                       CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
}

std::string Slurp(const std::wstring& path) {
  std::string text;
  if (FILE* f = ::_wfopen(path.c_str(), L"rb")) {
    char buf[4096];
    for (size_t n; (n = std::fread(buf, 1, sizeof buf, f)) > 0;) text.append(buf, n);
    std::fclose(f);
  }
  return text;
}

// Starts the program with its output going to base + ".out" and ".err".
HANDLE Start(const std::vector<std::string>& args, const std::wstring& base,
             const ProcessOptions& options, DWORD flags = 0) {
  std::wstring command;
  for (const std::string& a : args) command += (command.empty() ? L"" : L" ") + Quoted(Wide(a));
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = ::GetStdHandle(STD_INPUT_HANDLE);
  startup.hStdOutput = Inheritable(base + L".out");
  startup.hStdError = Inheritable(base + L".err");
  PROCESS_INFORMATION process{};
  const std::wstring cwd = Wide(options.cwd);
  const BOOL started =
      ::CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, flags, nullptr,
                       cwd.empty() ? nullptr : cwd.c_str(), &startup, &process);
  ::CloseHandle(startup.hStdOutput);
  ::CloseHandle(startup.hStdError);
  if (!started) return nullptr;
  ::CloseHandle(process.hThread);
  return process.hProcess;
}

std::wstring OutputBase() {
  static int count = 0;
  return std::filesystem::temp_directory_path().wstring() + L"\\toponyx-test-process-" +
         std::to_wstring(::GetCurrentProcessId()) + L"-" + std::to_wstring(++count);
}

ProcessResult Finish(HANDLE process, const std::wstring& base) {
  ProcessResult r;
  ::WaitForSingleObject(process, INFINITE);
  DWORD code = 0;
  ::GetExitCodeProcess(process, &code);
  r.status = static_cast<int>(code);
  PROCESS_MEMORY_COUNTERS memory{};
  if (::GetProcessMemoryInfo(process, &memory, sizeof memory)) {
    r.peak_rss_kib = static_cast<long>(memory.PeakWorkingSetSize / 1024);
  }
  ::CloseHandle(process);
  r.out = Slurp(base + L".out");
  r.err = Slurp(base + L".err");
  ::DeleteFileW((base + L".out").c_str());
  ::DeleteFileW((base + L".err").c_str());
  return r;
}

}  // namespace

ProcessResult RunProcess(std::vector<std::string> args, const ProcessOptions& options) {
  const std::wstring base = OutputBase();
  const HANDLE process = Start(args, base, options);
  if (process == nullptr) return ProcessResult{};
  return Finish(process, base);
}

BackgroundProcess::BackgroundProcess(std::vector<std::string> args, const std::string& output_base,
                                     const ProcessOptions& options)
    : base_(output_base) {
  // A process group of its own, which Ctrl+Break can be sent to alone.
  const HANDLE process = Start(args, Wide(output_base), options, CREATE_NEW_PROCESS_GROUP);
  if (process != nullptr) {
    pid_ = static_cast<int>(::GetProcessId(process));
    ::CloseHandle(process);
  }
}

BackgroundProcess::~BackgroundProcess() {
  if (pid_ <= 0) return;
  if (const HANDLE process =
          ::OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, static_cast<DWORD>(pid_))) {
    ::TerminateProcess(process, 137);
    ::WaitForSingleObject(process, INFINITE);
    ::CloseHandle(process);
  }
}

// Ctrl+Break to the process's own group (Ctrl+C cannot be sent to one
// group alone); the program takes both alike.
void BackgroundProcess::Signal(int) {
  ::GenerateConsoleCtrlEvent(CTRL_BREAK_EVENT, static_cast<DWORD>(pid_));
}

ProcessResult BackgroundProcess::Wait() {
  if (pid_ <= 0) return ProcessResult{};
  const HANDLE process =
      ::OpenProcess(PROCESS_QUERY_INFORMATION | SYNCHRONIZE, FALSE, static_cast<DWORD>(pid_));
  pid_ = -1;
  if (process == nullptr) return ProcessResult{};
  ProcessResult r;
  ::WaitForSingleObject(process, INFINITE);
  DWORD code = 0;
  ::GetExitCodeProcess(process, &code);
  ::CloseHandle(process);
  r.status = static_cast<int>(code);
  r.out = Slurp(Wide(base_ + ".out"));
  r.err = Slurp(Wide(base_ + ".err"));
  return r;
}

}  // namespace toponyx::testing
