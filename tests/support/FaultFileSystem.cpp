#include "support/FaultFileSystem.h"

#include "platform/System.h"

#include <algorithm>
#include <csignal>
#include <cstdlib>

namespace toponyx::testing {
namespace {

class FaultFile final : public platform::File {
 public:
  FaultFile(std::unique_ptr<platform::File> inner, FaultFileSystem& fs, std::string path)
      : inner_(std::move(inner)), fs_(fs), path_(std::move(path)) {}
  int64_t Read(void* b, size_t n) override {
    if (fs_.NextReadFails()) return -1;
    return inner_->Read(b, n);
  }
  int64_t ReadAt(uint64_t off, void* b, size_t n) override {
    if (fs_.NextReadFails()) return -1;
    return inner_->ReadAt(off, b, n);
  }
  bool Write(const void* d, size_t n) override {
    if (fs_.NextWriteFails()) return false;
    const size_t room = fs_.Room(path_, n);
    return inner_->Write(d, room) && room == n;
  }
  bool WriteAt(uint64_t off, const void* d, size_t n) override {
    if (fs_.NextWriteFails()) return false;
    const size_t room = fs_.Room(path_, n);
    return inner_->WriteAt(off, d, room) && room == n;
  }
  bool Seek(uint64_t off) override { return inner_->Seek(off); }
  int64_t Size() override { return inner_->Size(); }
  bool Truncate(uint64_t size) override { return inner_->Truncate(size); }
  bool Flush() override { return inner_->Flush(); }
  bool Discard(uint64_t offset, uint64_t length) override {
    return inner_->Discard(offset, length);
  }
  void StartWriteback(uint64_t offset, uint64_t length) override {
    inner_->StartWriteback(offset, length);
  }
  bool Close() override {
    bool ok = inner_->Close();
    if (fs_.CloseFails()) {
      fs_.SetInjectedError();
      return false;
    }
    return ok;
  }

 private:
  std::unique_ptr<platform::File> inner_;
  FaultFileSystem& fs_;
  std::string path_;
};

platform::FileSystem& Real() {
  return platform::DefaultFileSystem();
}

}  // namespace

void FaultFileSystem::LimitSpace(std::string folder, int64_t bytes) {
  std::lock_guard<std::mutex> lock(mutex_);
  limited_folder_ = std::move(folder) + platform::kPathSeparator;
  space_left_ = bytes;
}

std::vector<size_t> FaultFileSystem::LimitedWrites() {
  std::lock_guard<std::mutex> lock(mutex_);
  return limited_writes_;
}

size_t FaultFileSystem::Room(const std::string& path, size_t n) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (space_left_ < 0 || path.rfind(limited_folder_, 0) != 0) return n;
  limited_writes_.push_back(n);
  const size_t room = std::min(n, static_cast<size_t>(space_left_));
  space_left_ -= static_cast<int64_t>(room);
  if (room < n) injected_ = true;
  return room;
}

bool FaultFileSystem::NextWriteFails() {
  std::lock_guard<std::mutex> lock(mutex_);
  ++writes_;
  if (failing_) return true;
  if (writes_left_ > 0 && --writes_left_ == 0) {
    failing_ = sticky_;
    injected_ = true;
    return true;
  }
  return false;
}

bool FaultFileSystem::NextReadFails() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (read_failing_) return true;
  if (reads_left_ > 0 && --reads_left_ == 0) {
    read_failing_ = true;
    injected_ = true;
    return true;
  }
  return false;
}

std::unique_ptr<platform::File> FaultFileSystem::Open(const std::string& path,
                                                      platform::OpenMode mode) {
  if (fail_open_ && fail_open_(path)) {
    injected_ = true;
    return nullptr;
  }
  auto inner = Real().Open(path, mode);
  if (!inner) {
    injected_ = false;
    return nullptr;
  }
  return std::make_unique<FaultFile>(std::move(inner), *this, path);
}

bool FaultFileSystem::Remove(const std::string& path) {
  return Real().Remove(path);
}
bool FaultFileSystem::Rename(const std::string& from, const std::string& to) {
  if (renames_left_ > 0 && --renames_left_ == 0) {
#if defined(_WIN32)
    std::_Exit(137);  // as abrupt as a kill: no clean-up of any kind
#else
    ::raise(SIGKILL);
#endif
  }
  return Real().Rename(from, to);
}
bool FaultFileSystem::Exists(const std::string& path) {
  return Real().Exists(path);
}
bool FaultFileSystem::IsDirectory(const std::string& path) {
  return Real().IsDirectory(path);
}
bool FaultFileSystem::CreateDirectories(const std::string& path) {
  return Real().CreateDirectories(path);
}
int64_t FaultFileSystem::TotalSpace(const std::string& folder) {
  if (total_space_ >= 0) return total_space_;
  return free_space_ >= 0 ? -1 : Real().TotalSpace(folder);
}
int64_t FaultFileSystem::FreeSpace(const std::string& folder) {
  return free_space_ >= 0 ? free_space_ : Real().FreeSpace(folder);
}
std::string FaultFileSystem::LastError() {
  if (injected_) return "No space left on device (injected)";
  return Real().LastError();
}

}  // namespace toponyx::testing
