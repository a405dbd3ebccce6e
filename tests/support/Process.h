// Runs a program for a test and collects its exit status and output.
#pragma once

#include <string>
#include <vector>

namespace toponyx::testing {

struct ProcessResult {
  int status = -1;  // exit status; 128 when it did not exit normally, -1 when it did not start
  std::string out;
  std::string err;
  long peak_rss_kib = 0;  // the most memory the program held at once (RunProcess only)
};

struct ProcessOptions {
  std::string cwd;        // "" for the test's own folder
  bool c_locale = false;  // run in the C locale, whatever the environment says
};

// args[0] is the program's path.
ProcessResult RunProcess(std::vector<std::string> args, const ProcessOptions& options = {});

// A program running beside the test, its output going to files of the
// given base path (base + ".out", base + ".err"), so that the test can stop
// it (SIGSTOP), let it go on, signal or kill it, and wait for it.
class BackgroundProcess {
 public:
  BackgroundProcess(std::vector<std::string> args, const std::string& output_base,
                    const ProcessOptions& options = {});
  ~BackgroundProcess();  // kills it when still running
  bool started() const { return pid_ > 0; }
  void Signal(int signal_number);
  // Waits for the end; status as RunProcess gives it, 128 + n after signal n.
  ProcessResult Wait();

 private:
  int pid_ = -1;
  std::string base_;
};

}  // namespace toponyx::testing
