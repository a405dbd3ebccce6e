// The gzip expander: reads the header of a ".gz" file (its stored file name
// and comment) and expands the file, all its members one after another,
// into a destination file.
//
// Failures are shown in error boxes with a single Abort button (when
// WindowOnError is set) and reported by the result codes; the exceptions
// are a malformed header, which ends the caller's run silently
// (toponyx::SilentAbort), a destination that cannot be closed ("Can't
// close file <path>", shown and raised as toponyx::Error), and one that
// takes no more bytes ("Cannot write file <path>: <reason>", raised), and
// the bounds on the output (raised).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "frontend/BuildUi.h"
#include "platform/File.h"

namespace toponyx::archive {

class Gzip {
 public:
  explicit Gzip(BuildUi& ui, platform::FileSystem& fs = platform::DefaultFileSystem());

  void SetFileSource(const std::string& path) { source_ = path; }
  void SetFileDestination(const std::string& path) { destination_ = path; }
  // The source is deleted after a clean expansion.
  void SetDeleteSource(bool remove) { delete_source_ = remove; }
  void SetWindowOnError(bool show) { window_on_error_ = show; }
  // Every `step` expanded bytes the front end hears how far the source has
  // been read (InputProgress); 0 for no notifications.
  void SetProgressStep(uint64_t step) { progress_step_ = step; }

  // Reads the header of FileSource: 0 when it was read, 1 when the file
  // cannot be opened ("Can't open: <path>"). A header that is not a gzip
  // header (wrong magic bytes, a method other than deflate, reserved flag
  // bits, an extra field, name or comment running past the end of the
  // file) throws toponyx::SilentAbort.
  int ReadHeader();
  // From the last header read; empty when the header holds none. The bytes
  // stand as stored (up to 64 KiB of each is kept).
  const std::string& StoredName() const { return stored_name_; }

  // Expands FileSource into FileDestination: 1 when the source cannot be
  // opened, 2 when the destination cannot be created, 0 otherwise. Damaged
  // or cut short data (also a CRC-32 or length mismatch in a member's
  // trailer) show "gzclose Error." and what was expanded before stays; a
  // refused write removes the destination and raises its error.
  int Expand();

 private:
  void Show(const std::string& text);
  // "" while the output may grow on, else why it must stop.
  std::string CheckGrowth(uint64_t written, uint64_t compressed, const std::string& folder) const;

  BuildUi& ui_;
  platform::FileSystem& fs_;
  std::string source_;
  std::string destination_;
  bool delete_source_ = false;
  bool window_on_error_ = true;
  uint64_t progress_step_ = 0;
  std::string stored_name_;
};

// A safe file name made of a gzip header's stored name: only its last path
// component ("/" and "\" both separate), and "" for ".", ".." or a name
// with a control character. Bytes that are not UTF-8 are taken as Windows-1252 (the code page of
// such names) and converted, since file names on this platform are UTF-8.
std::string GzipOutputName(std::string_view stored_name);

}  // namespace toponyx::archive
