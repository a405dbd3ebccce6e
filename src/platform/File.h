// The one small file interface of the program: tables, the line reader and
// the archive expanders do all their file I/O through it, so that a test can
// substitute a file system that fails at a chosen call (disk full, no rights)
// and check that nothing is lost.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace toponyx::platform {

enum class OpenMode {
  kRead,       // existing file, read only
  kReadWrite,  // existing file, read and write
  kCreate,     // create or truncate, read and write
  kCreateNew,  // create, failing when the file exists; read and write
};

class File {
 public:
  virtual ~File() = default;

  // Reads up to n bytes at the current position and advances it. Returns the
  // number of bytes read (0 at the end of the file) or -1 on an error.
  virtual int64_t Read(void* buffer, size_t n) = 0;
  // Reads up to n bytes at the given offset; the current position is not used.
  virtual int64_t ReadAt(uint64_t offset, void* buffer, size_t n) = 0;
  // Writes all n bytes at the current position; false when not all were written.
  virtual bool Write(const void* data, size_t n) = 0;
  // Writes all n bytes at the given offset; false when not all were written.
  virtual bool WriteAt(uint64_t offset, const void* data, size_t n) = 0;
  virtual bool Seek(uint64_t offset) = 0;
  // Size in bytes, or -1 on an error.
  virtual int64_t Size() = 0;
  virtual bool Truncate(uint64_t size) = 0;
  virtual bool Flush() = 0;
  // Writes all n bytes at offset as one piece of a long sequential write
  // that nobody reads back soon (the output of a large build); the pieces
  // follow each other. The system may keep them out of its cache and hand
  // them straight to the disk, holding back up to a block until the next
  // piece or any other call of the file. False when not all were written.
  virtual bool StreamAt(uint64_t offset, const void* data, size_t n) {
    if (!WriteAt(offset, data, n)) return false;
    StartWriteback(offset, n);
    return true;
  }
  // Starts writing length bytes from offset to the disk without waiting
  // for it: a long sequential write then never gathers more unwritten data
  // than the system will hold, so it does not stall (the rename of a
  // finished database waits for nothing). Does nothing where the system
  // cannot.
  virtual void StartWriteback(uint64_t offset, uint64_t length) {
    (void)offset;
    (void)length;
  }
  // Gives back the storage of length bytes from offset: they read as zero
  // afterwards, and what was written there need never reach the disk (a
  // working file's part that is used up). False where the system cannot.
  virtual bool Discard(uint64_t offset, uint64_t length) {
    (void)offset;
    (void)length;
    return false;
  }
  // Writes what the file holds to the disk and waits for it (its data and
  // what is needed to read them back), so that a power cut after it cannot
  // take them. False on an error.
  virtual bool Sync() { return Flush(); }
  // Releases the file. False when the system reported an error; a second call
  // does nothing and returns true.
  virtual bool Close() = 0;
};

class FileSystem {
 public:
  virtual ~FileSystem() = default;

  // Opens a file; nullptr when it cannot be opened (LastError() says why).
  virtual std::unique_ptr<File> Open(const std::string& path, OpenMode mode) = 0;
  virtual bool Remove(const std::string& path) = 0;
  // Renames a file, replacing a file that stands under the new name.
  virtual bool Rename(const std::string& from, const std::string& to) = 0;
  virtual bool Exists(const std::string& path) = 0;
  virtual bool IsDirectory(const std::string& path) = 0;
  // Creates the folder with every missing parent; true when it exists afterwards.
  virtual bool CreateDirectories(const std::string& path) = 0;
  // Text of the last failure of this thread (the system's error message).
  virtual std::string LastError() = 0;

  // What stands under a path, symbolic links followed: a regular file, a
  // folder, something else (a FIFO, a device, a socket), or nothing that
  // can be reached (missing, a link loop; LastError() says why).
  enum class Kind { kRegular, kFolder, kOther, kNone };
  virtual Kind KindOf(const std::string& path);
  // The names of the regular files in a folder (symbolic links followed),
  // in no particular order; false when the folder cannot be read
  // (LastError() says why).
  virtual bool ListFiles(const std::string& folder, std::vector<std::string>& names);
  // Bytes that may still be written in the folder's file system; -1 when
  // the system cannot tell.
  virtual int64_t FreeSpace(const std::string& folder);
  // The size of the folder's file system in bytes; -1 when the system
  // cannot tell.
  virtual int64_t TotalSpace(const std::string& folder);
  // Writes the folder's entries to the disk and waits for it (after a
  // rename in it, the new name survives a power cut). False on an error.
  virtual bool SyncFolder(const std::string& folder);
};

// The operating system's file system.
FileSystem& DefaultFileSystem();

}  // namespace toponyx::platform
