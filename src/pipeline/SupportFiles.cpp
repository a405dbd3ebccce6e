#include "pipeline/SupportFiles.h"

#include "platform/System.h"
#include "platform/WriteFile.h"
#include "readers/Resources.h"

namespace toponyx::pipeline {

std::string WriteSupportFile(const std::string& folder, std::string_view name,
                             std::string_view bytes) {
  return platform::WriteWholeFile(platform::JoinPath(folder, name), bytes);
}

std::string WriteSupportFiles(const std::string& program_folder,
                              std::initializer_list<SupportFile> more) {
  std::string messages;
  auto write = [&](std::string_view name, std::string_view bytes) {
    const std::string error = WriteSupportFile(program_folder, name, bytes);
    if (error.empty()) return;
    if (!messages.empty()) messages += "\n";
    messages += platform::JoinPath(program_folder, name) + ": " + error;
  };
  for (const char* name : {"USACodes.list", "WorldCodes.list", "OsmCodes.list"}) {
    write(name, resources::EmbeddedFile(name));
  }
  for (const auto& [name, bytes] : more) write(name, bytes);
  return messages;
}

}  // namespace toponyx::pipeline
