#include "support/Process.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <string_view>
#include <thread>

extern char** environ;

namespace toponyx::testing {
namespace {

std::string Drain(int fd) {
  std::string s;
  char buf[4096];
  for (;;) {
    ssize_t n = ::read(fd, buf, sizeof buf);
    if (n <= 0) break;
    s.append(buf, static_cast<size_t>(n));
  }
  return s;
}

}  // namespace

ProcessResult RunProcess(std::vector<std::string> args, const ProcessOptions& options) {
  ProcessResult r;
  int out_pipe[2], err_pipe[2];
  if (::pipe(out_pipe) != 0) return r;
  if (::pipe(err_pipe) != 0) {
    ::close(out_pipe[0]);
    ::close(out_pipe[1]);
    return r;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out_pipe[1], 1);
  posix_spawn_file_actions_adddup2(&actions, err_pipe[1], 2);
  posix_spawn_file_actions_addclose(&actions, out_pipe[0]);
  posix_spawn_file_actions_addclose(&actions, err_pipe[0]);
  if (!options.cwd.empty()) posix_spawn_file_actions_addchdir_np(&actions, options.cwd.c_str());

  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  std::vector<std::string> env_texts;
  if (options.c_locale) env_texts.emplace_back("LC_ALL=C");
  for (char** e = environ; *e != nullptr; ++e) {
    const std::string_view v(*e);
    if (options.c_locale && (v.rfind("LC_", 0) == 0 || v.rfind("LANG=", 0) == 0)) continue;
    env_texts.emplace_back(v);
  }
  std::vector<char*> envp;
  for (auto& e : env_texts) envp.push_back(e.data());
  envp.push_back(nullptr);

  pid_t pid = 0;
  const int rc = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  ::close(out_pipe[1]);
  ::close(err_pipe[1]);
  if (rc == 0) {
    std::thread err_reader([&] { r.err = Drain(err_pipe[0]); });
    r.out = Drain(out_pipe[0]);
    err_reader.join();
    int wstatus = 0;
    struct rusage usage {};
    ::wait4(pid, &wstatus, 0, &usage);
    r.status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : 128;
    r.peak_rss_kib = usage.ru_maxrss;
  }
  ::close(out_pipe[0]);
  ::close(err_pipe[0]);
  return r;
}

BackgroundProcess::BackgroundProcess(std::vector<std::string> args, const std::string& output_base,
                                     const ProcessOptions& options)
    : base_(output_base) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  const std::string out = base_ + ".out", err = base_ + ".err";
  posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (!options.cwd.empty()) posix_spawn_file_actions_addchdir_np(&actions, options.cwd.c_str());
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  pid_t pid = 0;
  if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) == 0) pid_ = pid;
  posix_spawn_file_actions_destroy(&actions);
}

BackgroundProcess::~BackgroundProcess() {
  if (pid_ > 0) {
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
  }
}

void BackgroundProcess::Signal(int signal_number) {
  if (pid_ > 0) ::kill(pid_, signal_number);
}

ProcessResult BackgroundProcess::Wait() {
  ProcessResult r;
  if (pid_ <= 0) return r;
  int wstatus = 0;
  ::waitpid(pid_, &wstatus, 0);
  pid_ = -1;
  r.status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus)
                                : (WIFSIGNALED(wstatus) ? 128 + WTERMSIG(wstatus) : 128);
  auto slurp = [](const std::string& path) {
    std::string text;
    if (FILE* f = std::fopen(path.c_str(), "rb")) {
      char buf[4096];
      for (size_t n; (n = std::fread(buf, 1, sizeof buf, f)) > 0;) text.append(buf, n);
      std::fclose(f);
    }
    return text;
  };
  r.out = slurp(base_ + ".out");
  r.err = slurp(base_ + ".err");
  return r;
}

}  // namespace toponyx::testing
