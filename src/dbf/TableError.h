// The failure of a table or index operation.
#pragma once

#include "platform/Error.h"

namespace toponyx::dbf {

// A table failure; its text is shown to the user as it stands.
class TableError : public Error {
 public:
  using Error::Error;
};

}  // namespace toponyx::dbf
