// Run folders on Windows: the marker is locked with LockFileEx on a handle
// the run keeps open (the lock goes with the process however it ends), and
// the look at a parent's run folders is serialised by a named mutex of that
// parent (an abandoned one, left by a killed run, is taken over at once).
#include "platform/RunFolder.h"

#include <cwctype>
#include <vector>

#include "platform/System.h"
#include "platform/windows/Wide.h"

namespace toponyx::platform {
namespace {

using win::WidePath;

constexpr std::string_view kMagic = "Toponyx Creator run folder\n";
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

class ParentLock {
 public:
  explicit ParentLock(const std::string& parent) {
    // One mutex per parent folder, named after its path (letter case
    // ignored, as the file system ignores it).
    std::wstring key = win::Wide(parent);
    for (wchar_t& c : key) c = c == L'/' ? L'\\' : static_cast<wchar_t>(std::towlower(c));
    uint64_t hash = 14695981039346656037ull;
    for (wchar_t c : key) hash = (hash ^ static_cast<uint64_t>(c)) * 1099511628211ull;
    const std::wstring name = L"Local\\toponyx-run-folders-" + std::to_wstring(hash);
    mutex_ = ::CreateMutexW(nullptr, FALSE, name.c_str());
    if (mutex_ == nullptr) return;
    const DWORD waited = ::WaitForSingleObject(mutex_, 2000);
    held_ = waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED;
  }
  ~ParentLock() {
    if (held_) ::ReleaseMutex(mutex_);
    if (mutex_ != nullptr) ::CloseHandle(mutex_);
  }
  ParentLock(const ParentLock&) = delete;
  ParentLock& operator=(const ParentLock&) = delete;

  bool held() const { return held_; }

 private:
  HANDLE mutex_ = nullptr;
  bool held_ = false;
};

HANDLE OpenShared(const std::string& path, DWORD disposition) {
  return ::CreateFileW(WidePath(path).c_str(), GENERIC_READ | GENERIC_WRITE, kShareAll, nullptr,
                       disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
}

// The lock is a byte far past the marker's text: Windows locks keep others
// from reading the bytes they cover, and the marker must stay readable.
bool Lock(HANDLE file) {
  OVERLAPPED at{};
  at.OffsetHigh = 0x40000000;
  return ::LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at);
}

// Up to n bytes from the file's start.
std::string ReadStart(HANDLE file, size_t n) {
  std::string text(n, '\0');
  OVERLAPPED at{};
  DWORD got = 0;
  if (!::ReadFile(file, text.data(), static_cast<DWORD>(n), &got, &at)) got = 0;
  text.resize(got);
  return text;
}

// The names in a folder, "." and ".." left out.
std::vector<std::string> Names(const std::string& folder) {
  std::vector<std::string> names;
  WIN32_FIND_DATAW found;
  const HANDLE search = ::FindFirstFileW(WidePath(folder + "\\*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return names;
  do {
    const std::string name = win::Utf8(found.cFileName);
    if (name != "." && name != "..") names.push_back(name);
  } while (::FindNextFileW(search, &found));
  ::FindClose(search);
  return names;
}

enum class Found { kOther, kLive, kAbandoned, kHalfMade };

// A folder of a run killed while it made it: empty, or holding nothing but
// the start of the marker under its temporary name, which nobody holds.
bool HalfMade(const std::string& folder, HANDLE& lock) {
  const std::vector<std::string> names = Names(folder);
  if (names.empty()) return true;
  if (names.size() != 1 || names[0] != std::string(RunFolder::kMarker) + ".new") return false;
  const HANDLE file = OpenShared(JoinPath(folder, names[0]), OPEN_EXISTING);
  if (file == INVALID_HANDLE_VALUE) return false;
  const std::string text = ReadStart(file, kMagic.size());
  if (text != kMagic.substr(0, text.size()) || !Lock(file)) {
    ::CloseHandle(file);
    return false;
  }
  lock = file;
  return true;
}

Found Inspect(const std::string& folder, std::string& claim, HANDLE& lock) {
  lock = INVALID_HANDLE_VALUE;
  const DWORD attributes = ::GetFileAttributesW(WidePath(folder).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY) ||
      (attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
    return Found::kOther;
  }
  const HANDLE file = OpenShared(JoinPath(folder, RunFolder::kMarker), OPEN_EXISTING);
  if (file == INVALID_HANDLE_VALUE) {
    const DWORD error = ::GetLastError();
    return error == ERROR_FILE_NOT_FOUND && HalfMade(folder, lock) ? Found::kHalfMade
                                                                   : Found::kOther;
  }
  const std::string text = ReadStart(file, 512);
  if (!text.starts_with(kMagic)) {
    ::CloseHandle(file);
    return Found::kOther;
  }
  const std::string_view rest = std::string_view(text).substr(kMagic.size());
  claim.assign(rest.substr(0, rest.find('\n')));
  if (Lock(file)) {
    lock = file;
    return Found::kAbandoned;
  }
  ::CloseHandle(file);
  return Found::kLive;
}

// Completes the moves of a whole commit record that a killed run left in
// its folder: each file still in the folder takes its name in the parent.
void RollForward(const std::string& parent, const std::string& folder) {
  const HANDLE file = OpenShared(JoinPath(folder, RunFolder::kCommitRecord), OPEN_EXISTING);
  if (file == INVALID_HANDLE_VALUE) return;
  const std::string text = ReadStart(file, 65536);
  ::CloseHandle(file);
  RunFolder::Moves moves;
  if (!RunFolder::ParseCommitRecord(text, moves)) return;
  for (const auto& [from, to] : moves) {
    const std::wstring source = WidePath(JoinPath(folder, from));
    if (::GetFileAttributesW(source.c_str()) == INVALID_FILE_ATTRIBUTES) continue;  // in place
    ::MoveFileExW(source.c_str(), WidePath(JoinPath(parent, to)).c_str(),
                  MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
  }
}

// Removes a run folder with all it holds, its marker last (the lock on it
// given up just before: a folder cannot go while a file in it is open).
void RemoveRunFolder(const std::string& folder, HANDLE lock) {
  for (const std::string& name : Names(folder)) {
    if (name != RunFolder::kMarker) RemoveTree(JoinPath(folder, name));
  }
  if (lock != INVALID_HANDLE_VALUE) ::CloseHandle(lock);
  RemoveTree(folder);
}

bool Sweep(const std::string& parent, const ParentLock& lock, std::string_view claim,
           int* removed) {
  bool claimed = false;
  for (const std::string& name : Names(parent)) {
    if (!std::string_view(name).starts_with(RunFolder::kPrefix)) continue;
    const std::string folder = JoinPath(parent, name);
    std::string held;
    HANDLE marker = INVALID_HANDLE_VALUE;
    switch (Inspect(folder, held, marker)) {
      case Found::kOther:
        break;
      case Found::kLive:
        if (!claim.empty() && held == claim) claimed = true;
        break;
      case Found::kHalfMade:
        if (!lock.held()) {
          if (marker != INVALID_HANDLE_VALUE) ::CloseHandle(marker);
          break;
        }
        [[fallthrough]];
      case Found::kAbandoned:
        RollForward(parent, folder);
        RemoveRunFolder(folder, marker);
        if (removed) ++*removed;
        break;
    }
  }
  return claimed;
}

}  // namespace

int RunFolder::RemoveAbandoned(const std::string& parent) {
  ParentLock lock(parent);
  int removed = 0;
  Sweep(parent, lock, {}, &removed);
  return removed;
}

std::unique_ptr<RunFolder> RunFolder::Open(const std::string& parent, std::string_view claim,
                                           Result& result, std::string& error) {
  result = Result::kFailed;
  ParentLock lock(parent);
  if (Sweep(parent, lock, claim, nullptr)) {
    result = Result::kClaimed;
    return nullptr;
  }
  const std::string folder = CreateUniqueFolder(parent, kPrefix);
  if (folder.empty()) {
    error = win::ErrorText(::GetLastError());
    return nullptr;
  }
  // The marker is written and locked under a name of its own, then put in
  // place: whoever finds it under its real name finds it locked.
  const std::string marker = JoinPath(folder, kMarker);
  const std::string fresh = marker + ".new";
  const HANDLE file = OpenShared(fresh, CREATE_NEW);
  std::string text(kMagic);
  text.append(claim);
  text.push_back('\n');
  DWORD written = 0;
  if (file == INVALID_HANDLE_VALUE || !Lock(file) ||
      !::WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) ||
      written != text.size() ||
      !::MoveFileExW(WidePath(fresh).c_str(), WidePath(marker).c_str(), 0)) {
    error = win::ErrorText(::GetLastError());
    if (file != INVALID_HANDLE_VALUE) ::CloseHandle(file);
    RemoveTree(folder);
    return nullptr;
  }
  result = Result::kCreated;
  return std::unique_ptr<RunFolder>(new RunFolder(folder, reinterpret_cast<intptr_t>(file)));
}

RunFolder::~RunFolder() {
  const HANDLE lock = reinterpret_cast<HANDLE>(lock_);
  if (!commit_pending_) {
    RemoveRunFolder(path_, lock);
  } else {
    ::CloseHandle(lock);  // a pending commit's folder is now the next run's to complete
  }
}

}  // namespace toponyx::platform
