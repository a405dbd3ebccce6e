// Runs a program for a test and collects its exit status and output.
#pragma once

#include <string>
#include <vector>

namespace toponyx::testing {

struct ProcessResult {
  int status = -1;  // exit status; 128 when it did not exit normally, -1 when it did not start
  std::string out;
  std::string err;
};

struct ProcessOptions {
  std::string cwd;        // "" for the test's own folder
  bool c_locale = false;  // run in the C locale, whatever the environment says
};

// args[0] is the program's path.
ProcessResult RunProcess(std::vector<std::string> args, const ProcessOptions& options = {});

}  // namespace toponyx::testing
