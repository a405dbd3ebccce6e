#include "platform/RunFolder.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "platform/System.h"

namespace toponyx::platform {
namespace {

// The marker's first line; the claim follows on the second.
constexpr std::string_view kMagic = "Toponyx Creator run folder\n";

// Serialises, between processes, the look at the run folders of one parent
// and the creation of a new one, so that of two runs with the same claim
// exactly one sees the other. It is held for moments only; should its
// holder be stopped (Ctrl+Z) or the file system have no locks on folders,
// a run waits two seconds at most and then goes ahead without it.
class ParentLock {
 public:
  explicit ParentLock(const std::string& parent)
      : fd_(::open(parent.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {
    if (fd_ < 0) return;
    for (int attempt = 0; attempt < 2000; ++attempt) {
      if (::flock(fd_, LOCK_EX | LOCK_NB) == 0) {
        held_ = true;
        return;
      }
      if (errno != EWOULDBLOCK) return;
      ::usleep(1000);
    }
  }
  ~ParentLock() {
    if (fd_ >= 0) ::close(fd_);  // releases the lock
  }
  ParentLock(const ParentLock&) = delete;
  ParentLock& operator=(const ParentLock&) = delete;

  // False when the run goes ahead without it.
  bool held() const { return held_; }

 private:
  int fd_;
  bool held_ = false;
};

bool WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t n = ::write(fd, bytes.data(), bytes.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    bytes.remove_prefix(static_cast<size_t>(n));
  }
  return true;
}

// A look at one entry of the parent folder: a run folder of a live run,
// one whose run was killed, one whose run was killed while making it
// (before its marker stood), or anything else.
enum class Found { kOther, kLive, kAbandoned, kHalfMade };

// A folder of a run killed while it made it: empty, or holding nothing but
// the start of the marker under its temporary name, which nobody holds
// (its writer keeps it locked). Only a run that holds the parent's lock
// may take a folder for one, since the runs that make their folders hold
// that lock until the marker stands.
bool HalfMade(const std::string& folder, int& lock_fd) {
  DIR* dir = ::opendir(folder.c_str());
  if (dir == nullptr) return false;
  std::vector<std::string> names;
  while (const dirent* e = ::readdir(dir)) {
    const std::string_view name(e->d_name);
    if (name != "." && name != "..") names.emplace_back(name);
  }
  ::closedir(dir);
  if (names.empty()) return true;
  if (names.size() != 1 || names[0] != std::string(RunFolder::kMarker) + ".new") return false;
  const int fd =
      ::open(JoinPath(folder, names[0]).c_str(), O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat st;
  char text[kMagic.size()];
  const ssize_t n =
      ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) ? ::pread(fd, text, sizeof text, 0) : -1;
  if (n < 0 ||
      std::string_view(text, static_cast<size_t>(n)) != kMagic.substr(0, static_cast<size_t>(n)) ||
      ::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    ::close(fd);
    return false;
  }
  lock_fd = fd;
  return true;
}

// What the entry is; for a live run folder, its claim. An abandoned one is
// returned with its marker still locked by us (lock_fd), so that no other
// run can take it for live and no killed run's folder is removed twice.
Found Inspect(const std::string& folder, std::string& claim, int& lock_fd) {
  lock_fd = -1;
  struct stat st;
  if (::lstat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::geteuid()) {
    return Found::kOther;
  }
  const std::string marker = JoinPath(folder, RunFolder::kMarker);
  const int fd = ::open(marker.c_str(), O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    return errno == ENOENT && HalfMade(folder, lock_fd) ? Found::kHalfMade : Found::kOther;
  }
  char text[512];
  ssize_t n = -1;
  if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) n = ::pread(fd, text, sizeof text, 0);
  if (n < static_cast<ssize_t>(kMagic.size()) || std::string_view(text, kMagic.size()) != kMagic) {
    ::close(fd);
    return Found::kOther;
  }
  std::string_view rest(text + kMagic.size(), static_cast<size_t>(n) - kMagic.size());
  claim.assign(rest.substr(0, rest.find('\n')));
  if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
    lock_fd = fd;
    return Found::kAbandoned;
  }
  ::close(fd);
  return Found::kLive;
}

// Completes the moves of a whole commit record that a killed run left in
// its folder: each file still in the folder takes its name in the parent.
void RollForward(const std::string& parent, const std::string& folder) {
  const int fd = ::open(JoinPath(folder, RunFolder::kCommitRecord).c_str(),
                        O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return;
  std::string text;
  char block[4096];
  struct stat st;
  if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
    for (ssize_t n; text.size() < 65536 && (n = ::read(fd, block, sizeof block)) > 0;) {
      text.append(block, static_cast<size_t>(n));
    }
  }
  ::close(fd);
  RunFolder::Moves moves;
  if (!RunFolder::ParseCommitRecord(text, moves)) return;
  bool moved = false;
  for (const auto& [from, to] : moves) {
    const std::string source = JoinPath(folder, from);
    if (::access(source.c_str(), F_OK) != 0) continue;  // put in place before the kill
    moved = ::rename(source.c_str(), JoinPath(parent, to).c_str()) == 0 || moved;
  }
  if (moved) {
    const int dir = ::open(parent.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
      ::fsync(dir);
      ::close(dir);
    }
  }
}

// Removes a run folder with all it holds, its marker last: a run killed
// meanwhile leaves a folder that still has its marker (an abandoned one)
// or an empty one (a half-made one), which the next run clears.
void RemoveRunFolder(const std::string& folder) {
  if (DIR* dir = ::opendir(folder.c_str())) {
    std::vector<std::string> names;
    while (const dirent* e = ::readdir(dir)) {
      const std::string_view name(e->d_name);
      if (name != "." && name != ".." && name != RunFolder::kMarker) names.emplace_back(name);
    }
    ::closedir(dir);
    for (const std::string& name : names) RemoveTree(JoinPath(folder, name));
  }
  RemoveTree(folder);
}

// Every run folder in parent: abandoned ones removed (half-made ones only
// under the parent's lock), true when a live one holds the claim.
bool Sweep(const std::string& parent, const ParentLock& lock, std::string_view claim,
           int* removed) {
  DIR* dir = ::opendir(parent.c_str());
  if (dir == nullptr) return false;
  std::vector<std::string> names;
  while (const dirent* e = ::readdir(dir)) {
    if (std::string_view(e->d_name).starts_with(RunFolder::kPrefix)) names.emplace_back(e->d_name);
  }
  ::closedir(dir);
  bool claimed = false;
  for (const std::string& name : names) {
    const std::string folder = JoinPath(parent, name);
    std::string held;
    int lock_fd = -1;
    switch (Inspect(folder, held, lock_fd)) {
      case Found::kOther:
        break;
      case Found::kLive:
        if (!claim.empty() && held == claim) claimed = true;
        break;
      case Found::kHalfMade:
        if (!lock.held()) {
          if (lock_fd >= 0) ::close(lock_fd);
          break;
        }
        [[fallthrough]];
      case Found::kAbandoned:
        RollForward(parent, folder);
        RemoveRunFolder(folder);
        if (lock_fd >= 0) ::close(lock_fd);
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
    error = std::strerror(errno);
    return nullptr;
  }
  // The marker is written and locked under a name of its own, then put in
  // place: whoever finds it under its real name finds it locked.
  const std::string marker = JoinPath(folder, kMarker);
  const std::string fresh = marker + ".new";
  const int fd = ::open(fresh.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
  std::string text(kMagic);
  text.append(claim);
  text.push_back('\n');
  if (fd < 0 || ::flock(fd, LOCK_EX | LOCK_NB) != 0 || !WriteAll(fd, text) ||
      ::rename(fresh.c_str(), marker.c_str()) != 0) {
    error = std::strerror(errno);
    if (fd >= 0) ::close(fd);
    RemoveTree(folder);
    return nullptr;
  }
  result = Result::kCreated;
  return std::unique_ptr<RunFolder>(new RunFolder(folder, fd));
}

RunFolder::~RunFolder() {
  if (!commit_pending_) RemoveRunFolder(path_);
  ::close(static_cast<int>(lock_));  // a pending commit's folder is now the next run's to complete
}

}  // namespace toponyx::platform
