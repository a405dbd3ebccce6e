// The support files carried inside the programs (resources/).
#pragma once

#include <string_view>

namespace toponyx::resources {

// The bytes of an embedded file by name ("USACodes.list", "WorldCodes.list",
// "OsmCodes.list", "GeoNamesCodes.txt"); empty when there is none of that
// name.
std::string_view EmbeddedFile(std::string_view name);

}  // namespace toponyx::resources
