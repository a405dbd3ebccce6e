// Whole builds through toponyx-create, and the stored bytes of place records,
// for the readers' end-to-end tests.
#pragma once

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "support/TempDir.h"

extern char** environ;

namespace toponyx::testing {

struct CreateResult {
  int status = -1;
  std::string err;  // what the program wrote to stderr
};

// Runs toponyx-create --quiet --name NAME --save SAVE FILE... in the C
// locale (a full stop as decimal separator).
inline CreateResult RunCreate(const TempDir& dir, const std::string& name, const std::string& save,
                              const std::vector<std::string>& files) {
  std::vector<std::string> args = {TOPONYX_CREATE, "--quiet", "--name", name, "--save", save};
  args.insert(args.end(), files.begin(), files.end());
  const std::string err_path = dir.File("create.err");
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                   0644);
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  std::vector<std::string> env_texts = {"LC_ALL=C"};
  for (char** e = environ; *e != nullptr; ++e) {
    const std::string_view v(*e);
    if (v.rfind("LC_", 0) != 0 && v.rfind("LANG=", 0) != 0) env_texts.emplace_back(v);
  }
  std::vector<char*> envp;
  for (auto& e : env_texts) envp.push_back(e.data());
  envp.push_back(nullptr);
  pid_t pid = 0;
  CreateResult r;
  const int rc = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) return r;
  int wstatus = 0;
  ::waitpid(pid, &wstatus, 0);
  r.status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : 128;
  r.err = ReadFileBytes(err_path);
  return r;
}

// The 146 bytes of a live place record: the deletion flag, then NAME (45),
// FULL_CODE (40), MAJOR_CODE (40), LATITUDE (10) and LONGITUDE (10), each
// padded with blanks. Texts are given as the table stores them (OEM bytes).
inline std::string PlaceBytes(std::string_view name, std::string_view full, std::string_view major,
                              std::string_view lat, std::string_view lon) {
  std::string r = " ";
  auto put = [&r](std::string_view s, size_t width) {
    r.append(s.substr(0, width));
    if (s.size() < width) r.append(width - s.size(), ' ');
  };
  put(name, 45);
  put(full, 40);
  put(major, 40);
  put(lat, 10);
  put(lon, 10);
  return r;
}

// The records of a .names file as stored, in file order.
inline std::vector<std::string> StoredRecords(const std::string& names_path) {
  const std::string bytes = ReadFileBytes(names_path);
  std::vector<std::string> out;
  constexpr size_t kHeader = 193, kRecord = 146;
  if (bytes.size() < kHeader) return out;
  for (size_t at = kHeader; at + kRecord <= bytes.size(); at += kRecord) {
    out.push_back(bytes.substr(at, kRecord));
  }
  return out;
}

}  // namespace toponyx::testing
