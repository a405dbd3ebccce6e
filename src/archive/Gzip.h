// The gzip expander: reads the header of a ".gz" file (its stored file name
// and comment) and expands the file, all its members one after another,
// into a destination file. The file is read through the program's file
// interface and expanded with zlib's inflate.
//
// Failures that the user is told of are shown in error boxes with a single
// Abort button (when WindowOnError is set), and the result says what
// happened; the exceptions are a malformed header, which ends the caller's
// run silently (toponyx::SilentAbort), a source that fails while it is read
// ("Cannot read file <path>: <reason>"), a destination that cannot be
// closed ("Can't close file <path>", shown and raised as toponyx::Error) or
// that takes no more bytes ("Cannot write file <path>: <reason>", raised),
// and the bounds on the output (raised).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "frontend/BuildUi.h"
#include "platform/File.h"

namespace toponyx::archive {

// What became of an expansion.
enum class [[nodiscard]] GzipResult{
    kWhole,         // every member expanded and checked
    kDamaged,       // damaged or cut short: the output holds what came before
    kCannotOpen,    // the source cannot be opened ("Can't open: <path>")
    kCannotCreate,  // the destination cannot be created ("Can't create: <path>")
};

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

  // Reads the header of FileSource: kWhole when it was read, kCannotOpen
  // when the file cannot be opened ("Can't open: <path>"). A header that is
  // not a gzip header (wrong magic bytes, a method other than deflate,
  // reserved flag bits, an extra field, name or comment running past the
  // end of the file) throws toponyx::SilentAbort.
  GzipResult ReadHeader();
  // From the last header read; empty when the header holds none. The bytes
  // stand as stored (up to 64 KiB of each is kept).
  const std::string& StoredName() const { return stored_name_; }

  // Expands FileSource into FileDestination. Damaged or cut short data
  // (also a CRC-32 or length mismatch in a member's trailer) show
  // "gzclose Error." with the file's name (DamageText) and give kDamaged;
  // what was expanded before stays. Behind a member, anything that does not
  // begin another is passed over. A refused write removes the destination
  // and raises its error.
  GzipResult Expand();
  // The text shown for a damaged file.
  std::string DamageText() const;

 private:
  void Show(const std::string& text);
  // "" while the output may grow on, else why it must stop.
  std::string CheckGrowth(uint64_t written, uint64_t compressed, const std::string& folder) const;
  GzipResult Inflate(platform::File& in, platform::File& out);

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
