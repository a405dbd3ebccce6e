// The user's folders that an installed copy of the program falls back on.
#include "platform/System.h"

#include <gtest/gtest.h>
#if !defined(_WIN32)
#include <stdlib.h>
#endif

#include <optional>

#include "support/TempDir.h"

namespace toponyx::platform {
namespace {

using testing::TempDir;
using testing::WriteFileBytes;

#if !defined(_WIN32)  // the POSIX implementation
// Sets an environment variable for one scope and restores it afterwards.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    if (value != nullptr) {
      ::setenv(name, value, 1);
    } else {
      ::unsetenv(name);
    }
  }
  ~ScopedEnv() {
    if (old_) {
      ::setenv(name_, old_->c_str(), 1);
    } else {
      ::unsetenv(name_);
    }
  }

 private:
  const char* name_;
  std::optional<std::string> old_;
};

TEST(UserConfigFolder, FromXdgConfigHomeWhenAbsoluteElseFromHome) {
  ScopedEnv home("HOME", "/home/ann");
  {
    ScopedEnv xdg("XDG_CONFIG_HOME", "/srv/conf//");
    EXPECT_EQ(UserConfigFolder(), "/srv/conf/toponyx");
  }
  for (const char* ignored : {"", "relative/conf"}) {
    ScopedEnv xdg("XDG_CONFIG_HOME", ignored);
    EXPECT_EQ(UserConfigFolder(), "/home/ann/.config/toponyx") << ignored;
  }
  ScopedEnv xdg("XDG_CONFIG_HOME", nullptr);
  EXPECT_EQ(UserConfigFolder(), "/home/ann/.config/toponyx");
  EXPECT_EQ(HomeFolder(), "/home/ann");
}

TEST(IsWritableFolder, OnlyExistingFoldersThatMayBeWritten) {
  TempDir dir;
  EXPECT_TRUE(IsWritableFolder(dir.path()));
  WriteFileBytes(dir.File("file"), "x");
  EXPECT_FALSE(IsWritableFolder(dir.File("file")));
  EXPECT_FALSE(IsWritableFolder(dir.File("missing")));
  EXPECT_FALSE(IsWritableFolder(""));
}

#endif

}  // namespace
}  // namespace toponyx::platform
