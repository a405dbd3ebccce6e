// A file system for tests: passes everything to the real one, but can make
// a chosen call fail (the n-th write, every open of a path, a close), the
// way a full disk or missing rights would.
#pragma once

#include <atomic>
#include <functional>
#include <string>

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
  void FailReadAfter(int n) { reads_left_ = n; }
  // The free space every folder reports from now on (-1: the real one).
  void SetFreeSpace(int64_t bytes) { free_space_ = bytes; }

  int writes() const { return writes_; }

  std::unique_ptr<platform::File> Open(const std::string& path, platform::OpenMode mode) override;
  bool Remove(const std::string& path) override;
  bool Rename(const std::string& from, const std::string& to) override;
  bool Exists(const std::string& path) override;
  bool IsDirectory(const std::string& path) override;
  bool CreateDirectories(const std::string& path) override;
  std::string LastError() override;
  int64_t FreeSpace(const std::string& folder) override;

  // Used by the wrapped files.
  bool NextWriteFails();
  bool NextReadFails();
  bool CloseFails() const { return fail_close_; }
  void SetInjectedError() { injected_ = true; }

 private:
  std::atomic<int> writes_{0};
  int writes_left_ = 0;
  int reads_left_ = 0;
  bool sticky_ = true;
  bool failing_ = false;
  bool read_failing_ = false;
  bool fail_close_ = false;
  bool injected_ = false;
  std::function<bool(const std::string&)> fail_open_;
  int64_t free_space_ = -1;
};

}  // namespace toponyx::testing
