// libFuzzer target of the settings files: a TOPONYX.INI of any content is
// read, one key is written, and the file read again. What the profile
// functions promise must hold: the key written reads back as written, and
// every other key reads as before. The first byte picks the key; the rest
// is the file.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "FuzzSupport.h"
#include "platform/Ini.h"

namespace {

using namespace toponyx;

constexpr const char* kPath = "/fuzz/TOPONYX.INI";

struct Key {
  const char* section;
  const char* key;
};
// The program's keys, one in another letter case, one of another section.
constexpr Key kKeys[] = {{"Paths", "ListFilesPath"}, {"Paths", "SaveFilesPath"},
                         {"Paths", "TempFilesPath"}, {"Paths", "WWW"},
                         {"PATHS", "filetype"},      {"Other", "ListFilesPath"}};
constexpr size_t kKeyCount = sizeof kKeys / sizeof kKeys[0];

[[noreturn]] void Finding(const char* what, const Key& key) {
  std::fprintf(stderr, "INI finding: %s for [%s] %s\n", what, key.section, key.key);
  std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const fuzz::Choice choice = fuzz::Split(data, size, kKeyCount * 2);
  fuzz::MemoryFileSystem fs;
  fs.Put(kPath, choice.rest);
  platform::IniFile ini(kPath, fs);
  std::string before[kKeyCount];
  for (size_t k = 0; k < kKeyCount; ++k) {
    before[k] = ini.ReadString(kKeys[k].section, kKeys[k].key, "\x01");
  }
  const size_t written = choice.pick % kKeyCount;
  // A value with blanks inside, and one that is a folder path.
  const std::string value = choice.pick >= kKeyCount ? "C:\\Program Files\\x y" : "/home/a b/c";
  if (!ini.WriteString(kKeys[written].section, kKeys[written].key, value)) {
    Finding("write refused", kKeys[written]);
  }
  for (size_t k = 0; k < kKeyCount; ++k) {
    const std::string after = ini.ReadString(kKeys[k].section, kKeys[k].key, "\x01");
    const bool same_key = platform::ini::NamesEqual(kKeys[k].section, kKeys[written].section) &&
                          platform::ini::NamesEqual(kKeys[k].key, kKeys[written].key);
    if (same_key ? after != value : after != before[k]) Finding("value changed", kKeys[k]);
  }
  return 0;
}
