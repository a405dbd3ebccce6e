#include "build/SupportFiles.h"

#include "platform/System.h"
#include "platform/WriteFile.h"
#include "readers/Resources.h"

namespace toponyx::build {

std::string WriteSupportFile(const std::string& folder, std::string_view name,
                             std::string_view bytes) {
  return platform::WriteWholeFile(platform::JoinPath(folder, name), bytes);
}

std::string WriteCodeLists(const std::string& program_folder) {
  std::string first_error;
  for (const char* name : {"USACodes.list", "WorldCodes.list"}) {
    std::string error = WriteSupportFile(program_folder, name, resources::EmbeddedFile(name));
    if (!error.empty() && first_error.empty()) first_error = error;
  }
  return first_error;
}

}  // namespace toponyx::build
