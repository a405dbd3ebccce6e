// Whole builds through toponyx-create, and the stored bytes of place records,
// for the readers' end-to-end tests.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "support/Process.h"
#include "support/TempDir.h"

namespace toponyx::testing {

struct CreateResult {
  int status = -1;
  std::string err;  // what the program wrote to stderr
};

// Runs toponyx-create --quiet --name NAME --save SAVE FILE... in the C
// locale (a full stop as decimal separator).
inline CreateResult RunCreate(const TempDir&, const std::string& name, const std::string& save,
                              const std::vector<std::string>& files) {
  std::vector<std::string> args = {TOPONYX_CREATE, "--quiet", "--name", name, "--save", save};
  args.insert(args.end(), files.begin(), files.end());
  ProcessOptions options;
  options.c_locale = true;
  const ProcessResult r = RunProcess(std::move(args), options);
  return CreateResult{r.status, r.err};
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
