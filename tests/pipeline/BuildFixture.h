// A download folder, a save folder, a staging folder and a program folder
// (with the code lists) for one test, and a builder over them.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "pipeline/Build.h"
#include "pipeline/SupportFiles.h"
#include "geodesy/Datum.h"
#include "platform/System.h"
#include "support/NamesFile.h"
#include "support/RecordingUi.h"
#include "support/TempDir.h"

namespace toponyx::testing {

class BuildFixture : public ::testing::Test {
 protected:
  BuildFixture() {
    platform::SetDecimalSeparator('.');
    for (const auto& f : {download, program}) platform::DefaultFileSystem().CreateDirectories(f);
    pipeline::WriteSupportFiles(program);
  }

  void Write(const std::string& name, std::string_view bytes) {
    WriteFileBytes(download + kSep + name, bytes);
  }

  pipeline::BuildRequest Request(std::vector<std::string> ticked, std::string name = "test") {
    pipeline::BuildRequest r;
    r.database_name = std::move(name);
    r.save_folder = save;
    r.staging_folder = staging;
    r.download_folder = download;
    for (auto& n : ticked) r.files.push_back({std::move(n), true});
    return r;
  }

  pipeline::BuildOutcome Run(std::vector<std::string> ticked, std::string name = "test") {
    return builder.Create(Request(std::move(ticked), std::move(name)));
  }

  std::vector<NamesRecord> Output(const std::string& name = "test") {
    return ReadNamesFile(save + kSep + name + ".names");
  }
  std::string Types(const std::string& name = "test") {
    return ReadFileBytes(save + kSep + name + ".types");
  }

  TempDir dir;
  std::string download = dir.File("download");
  std::string save = dir.File("save");
  std::string staging = dir.File("staging");
  std::string program = dir.File("program");
  RecordingUi ui;
  pipeline::Builder builder{ui, program};
};

// The .types file for these full codes.
inline std::string TypesWith(const std::vector<std::string>& codes) {
  std::string t = ";DATUM\r\nDATUM,WGS 84\r\n;Full Codes\r\n";
  for (const auto& c : codes) t += c + "\r\n";
  t += "##########\r\n;Major Codes\r\n;Not used by USA\r\nAdministrative Region\r\n"
       "City or Town\r\nVegetation\r\nLocality\r\nUndersea\r\nRoad or Railroad\r\n"
       "Mountain, Hill, Elevation\r\nRiver, Stream, Water\r\nSpot Feature\r\n";
  return t;
}

}  // namespace toponyx::testing
