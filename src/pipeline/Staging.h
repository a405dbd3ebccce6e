// Staging: every ticked file becomes zero or more staged files to read.
// Archives are expanded into the staging folder; plain files are read where
// they stand, in the download folder.
#pragma once

#include <string>
#include <vector>

#include "archive/Gzip.h"
#include "archive/UnZip.h"
#include "frontend/BuildUi.h"
#include "pipeline/BuildContext.h"
#include "platform/File.h"

namespace toponyx::pipeline {

// True when the file can be opened for reading and begins with the ZIP
// local-header signature 50 4B 03 04.
bool HasZipSignature(platform::FileSystem& fs, const std::string& path);

class Stager {
 public:
  Stager(BuildUi& ui, platform::FileSystem& fs);
  ~Stager();

  // Stages ctx.selected, in order, into ctx.staged.
  void StageAll(BuildContext& ctx, const std::string& download_folder,
                const std::string& staging_folder);
  // Deletes what the run expanded (the finish step): the private folders
  // that every archive was expanded into, with all they hold.
  void CleanUp();

 private:
  void StageZip(BuildContext& ctx, const std::string& path, const std::string& staging_folder,
                std::string_view document);
  void StageDocument(BuildContext& ctx, const std::string& folder, std::string_view extension);
  void StageGzip(BuildContext& ctx, const std::string& path, const std::string& staging_folder);
  // A new folder inside the staging folder for one archive's files.
  std::string PrivateFolder(const std::string& staging_folder);

  BuildUi& ui_;
  platform::FileSystem& fs_;
  archive::UnZip unzip_;
  archive::Gzip gzip_;
  std::vector<std::string> private_folders_;  // created by the running run
};

}  // namespace toponyx::pipeline
