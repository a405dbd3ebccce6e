// A file system for tests: passes everything to the real one, but can make
// a chosen call fail (the n-th write, every open of a path, a close, every
// write once a folder has taken so many bytes), the way a full disk or
// missing rights would. Files may be written from several threads.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "platform/File.h"

namespace toponyx::testing {

class FaultFileSystem final : public platform::FileSystem {
 public:
  // Fails the n-th write call from now on (1 = the next one), and every
  // write after it while sticky is set; 0 disables.
  void FailWriteAfter(int n, bool sticky = true) {
    writes_left_ = n;
    sticky_ = sticky;
  }
  // Fails every open whose path satisfies the predicate.
  void FailOpen(std::function<bool(const std::string&)> predicate) {
    fail_open_ = std::move(predicate);
  }
  void FailClose(bool fail) { fail_close_ = fail; }
  // Kills the process (SIGKILL) at the n-th rename from now on (1 = the
  // next one), before it is made: a run killed at that moment.
  void KillAtRename(int n) { renames_left_ = n; }
  void FailReadAfter(int n) { reads_left_ = n; }
  // The free space every folder reports from now on (-1: the real one).
  void SetFreeSpace(int64_t bytes) { free_space_ = bytes; }
  // The size every folder's file system reports from now on (-1: the real
  // one, or none while a free space is set).
  void SetTotalSpace(int64_t bytes) { total_space_ = bytes; }
  // A full disk below a folder: files whose path begins with folder + "/"
  // take `bytes` more bytes in all; the write that goes past writes what
  // still fits and fails, and so does every write after it. Opens still
  // succeed. -1 lifts the limit.
  void LimitSpace(std::string folder, int64_t bytes);
  // The size of every write below the limited folder so far, in order.
  std::vector<size_t> LimitedWrites();

  int writes() const { return writes_; }

  std::unique_ptr<platform::File> Open(const std::string& path, platform::OpenMode mode) override;
  bool Remove(const std::string& path) override;
  bool Rename(const std::string& from, const std::string& to) override;
  bool Exists(const std::string& path) override;
  bool IsDirectory(const std::string& path) override;
  bool CreateDirectories(const std::string& path) override;
  std::string LastError() override;
  int64_t FreeSpace(const std::string& folder) override;
  int64_t TotalSpace(const std::string& folder) override;

  // Used by the wrapped files.
  bool NextWriteFails();
  // How many of n bytes a write to path may still put on the disk.
  size_t Room(const std::string& path, size_t n);
  bool NextReadFails();
  bool CloseFails() const { return fail_close_; }
  void SetInjectedError() { injected_ = true; }

 private:
  std::mutex mutex_;  // the counters below, for writes from several threads
  std::atomic<int> writes_{0};
  int writes_left_ = 0;
  int reads_left_ = 0;
  int renames_left_ = 0;
  bool sticky_ = true;
  bool failing_ = false;
  bool read_failing_ = false;
  bool fail_close_ = false;
  std::atomic<bool> injected_{false};
  std::function<bool(const std::string&)> fail_open_;
  int64_t free_space_ = -1;
  int64_t total_space_ = -1;
  std::string limited_folder_;
  int64_t space_left_ = -1;
  std::vector<size_t> limited_writes_;
};

}  // namespace toponyx::testing
