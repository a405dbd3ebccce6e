#include "pipeline/SupportFiles.h"

#include "platform/Error.h"
#include "platform/System.h"
#include "platform/WriteFile.h"
#include "readers/Resources.h"

namespace toponyx::pipeline {

void WriteSupportFile(const std::string& folder, std::string_view name, std::string_view bytes) {
  platform::WriteWholeFile(platform::JoinPath(folder, name), bytes);
}

std::string WriteSupportFiles(const std::string& program_folder,
                              std::initializer_list<SupportFile> more) {
  std::string messages;
  auto write = [&](std::string_view name, std::string_view bytes) {
    try {
      WriteSupportFile(program_folder, name, bytes);
    } catch (const Error& e) {
      if (!messages.empty()) messages += "\n";
      messages += e.what();
    }
  };
  for (const char* name : {"USACodes.list", "WorldCodes.list", "OsmCodes.list"}) {
    write(name, resources::EmbeddedFile(name));
  }
  for (const auto& [name, bytes] : more) write(name, bytes);
  return messages;
}

}  // namespace toponyx::pipeline
