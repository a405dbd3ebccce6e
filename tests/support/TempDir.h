// A fresh folder for one test, removed with everything in it afterwards.
#pragma once

#include "platform/System.h"

#include <string>
#include <string_view>
#include <vector>

namespace toponyx::testing {

// The separator the program forms paths with ("\\" on Windows), for the
// paths the tests expect in messages.
inline const std::string kSep(1, platform::kPathSeparator);

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& path() const { return path_; }
  // path() + "/" + name
  std::string File(std::string_view name) const;

 private:
  std::string path_;
};

// Whole-file helpers.
std::string ReadFileBytes(const std::string& path);
void WriteFileBytes(const std::string& path, std::string_view bytes);

// The names in a folder, sorted.
std::vector<std::string> ListFolderNames(const std::string& folder);

// The folder of the real downloads beside the project, or "" when absent.
std::string RealDataDir();

}  // namespace toponyx::testing
