#include "platform/AppPaths.h"

namespace toponyx::platform {

AppPathsEntry FindAppPath(std::string_view exe_name) {
  return LookUpAppPath(exe_name, WinePrefixFromEnvironment());
}

}  // namespace toponyx::platform
