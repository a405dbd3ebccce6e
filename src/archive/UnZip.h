// The ZIP extractor: reads the central directory of an archive and expands
// its entries (stored, shrunk, reduced, imploded, deflated) into a folder.
//
// Names: an entry name is taken as UTF-8 when the entry says so (general
// purpose bit 11, or a matching Unicode path extra field), otherwise
// converted from the OEM code page (CP437); "/" and "\" both separate
// folders. Files are created with these UTF-8 names.
//
// Failures that end the extraction are raised as toponyx::Error with the
// text shown to the user: "Incomplete Zip File" (no end record, or a central
// directory that the file does not hold), "Premature end of file reached"
// (an entry's data run past the end of the file), "Cannot create file %s"
// and "Cannot write file %s" (the output), "Cannot open file %s" and
// "Cannot read file %s" (the archive), and a refusal of archives split over
// several disks. Damaged data in one entry only delete that entry's output;
// a method that is not known shows "Unknown Compression Method" ("Zip
// Error") and the entry's output is deleted unless it is empty and correct.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "archive/ZipDirectory.h"
#include "frontend/BuildUi.h"
#include "platform/File.h"

namespace toponyx::archive {

class UnZip {
 public:
  explicit UnZip(BuildUi& ui, platform::FileSystem& fs = platform::DefaultFileSystem());
  ~UnZip();
  UnZip(const UnZip&) = delete;
  UnZip& operator=(const UnZip&) = delete;

  // Folder that receives the files; a trailing separator is removed.
  void SetDestDir(const std::string& folder);
  const std::string& DestDir() const { return dest_dir_; }
  // Every entry is extracted; otherwise only those matching FilesList.
  void SetDoAll(bool all) { do_all_ = all; }
  // Name patterns ("*" and "?", letter case ignored) matched against the
  // entry name with and without its folder part.
  std::vector<std::string>& FilesList() { return files_list_; }
  // False: folder parts are dropped and every file lands in DestDir. True:
  // the folders are created below DestDir ("", "." and ".." parts dropped).
  void SetRecreateDirs(bool recreate) { recreate_dirs_ = recreate; }
  // The files get the permission bits of the entries' external attributes
  // (their dates are set in any case).
  void SetRetainAttributes(bool retain) { retain_attributes_ = retain; }
  // The front end may process pending messages once per block read.
  void SetDoProcessMessages(bool process) { process_messages_ = process; }
  void SetKeepZipOpen(bool keep);
  // The archive to read. Another name drops the directory read from the
  // previous archive (names are compared exactly: file names on this
  // platform tell letter case apart).
  void SetZipName(const std::string& path);
  const std::string& ZipName() const { return zip_name_; }

  // Extracts the selected entries into DestDir; returns how many were
  // extracted and kept.
  int Extract();
  // Entries in the central directory of ZipName (0 when it cannot be read).
  int Count();
  // The whole description of entry `index` (same range rule).
  const ZipEntry& Entry(int index);

  // What the last Extract passed over and why, one text each (a member
  // whose file or folder could not be made because an earlier member's
  // folder or file stands under that name, or whose name no file system
  // takes).
  const std::vector<std::string>& Warnings() const { return warnings_; }
  // The members the last Extract dropped as damaged: data that do not
  // match their header's size or check (each shown in a warning box too).
  const std::vector<std::string>& Damaged() const { return damaged_; }

  // The folder below dest that receives an entry of the given folder part
  // when folders are recreated: its "", "." and ".." parts are dropped.
  static std::string RecreatedFolder(const std::string& dest, std::string_view entry_folder);

 private:
  struct Directory;

  platform::File& OpenArchive();
  void CloseArchive();
  // Reads the central directory unless the cached one is still current.
  void LoadDirectory(platform::File& archive);
  bool Selected(const ZipEntry& e) const;
  void ExtractEntry(platform::File& archive, size_t index, int& extracted);
  // "" when an earlier member's file stands where the folder goes.
  std::string OutputPath(const ZipEntry& e);
  bool BlockedByFile(const std::string& folder);
  void PassOver(const ZipEntry& e, std::string_view why);
  // The archive as a whole within the bounds (its entries' sum).
  void CheckArchiveBounds(platform::File& archive) const;
  void RefuseOverlaps() const;
  void CheckBounds(const ZipEntry& e, const std::string& folder) const;

  BuildUi& ui_;
  platform::FileSystem& fs_;
  std::string dest_dir_;
  bool do_all_ = true;
  std::vector<std::string> files_list_;
  bool recreate_dirs_ = false;
  bool retain_attributes_ = true;
  bool process_messages_ = true;
  bool keep_open_ = false;
  std::string zip_name_;
  bool dest_set_ = false;

  std::unique_ptr<platform::File> archive_;
  // Output paths of the running extraction and the entry that wrote each.
  std::unordered_map<std::string, size_t> outputs_;
  std::unique_ptr<Directory> directory_;
  std::vector<std::string> warnings_;
  std::vector<std::string> damaged_;
};

}  // namespace toponyx::archive
