// Failures inside a Create run are exceptions that carry the text shown to
// the user; the run's finish step always executes before it is shown.
#pragma once

#include <stdexcept>
#include <string>

namespace toponyx {

// A failure whose message is shown to the user as it stands.
class Error : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A failure that ends the run without any message (a ".gz" file whose
// header is not a gzip header).
class SilentAbort : public std::exception {
 public:
  const char* what() const noexcept override { return "aborted"; }
};

// The user (or a signal) cancelled the run: it ends after its finish step,
// without an error message.
class Cancelled : public std::exception {
 public:
  const char* what() const noexcept override { return "Cancelled"; }
};

}  // namespace toponyx
