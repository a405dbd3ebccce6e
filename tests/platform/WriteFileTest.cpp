// Support files: replaced whole, so that a program starting beside another
// never reads one cut short, and left alone when they hold the right bytes.
#include "platform/WriteFile.h"

#if !defined(_WIN32)
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <gtest/gtest.h>

#include "support/TempDir.h"

namespace toponyx::testing {
namespace {

#if !defined(_WIN32)  // the POSIX implementation
ino_t Inode(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 ? st.st_ino : 0;
}

TEST(WriteFileTest, ReplacedWholeAndLeftAloneWhenRight) {
  TempDir dir;
  const std::string path = dir.File("WorldCodes.list");
  const std::string old_text(100000, 'o');
  platform::WriteWholeFile(path, old_text);
  // A reader that opened the old file goes on reading all of it.
  const int reader = ::open(path.c_str(), O_RDONLY);
  ASSERT_GE(reader, 0);
  platform::WriteWholeFile(path, "new text\n");
  std::string seen(old_text.size() + 1, '\0');
  EXPECT_EQ(::pread(reader, seen.data(), seen.size(), 0), static_cast<ssize_t>(old_text.size()));
  seen.resize(old_text.size());
  EXPECT_EQ(seen, old_text);
  ::close(reader);
  EXPECT_EQ(ReadFileBytes(path), "new text\n");

  // The same bytes again: the file is not written at all.
  const ino_t before = Inode(path);
  platform::WriteWholeFile(path, "new text\n");
  EXPECT_EQ(Inode(path), before);
  EXPECT_EQ(ListFolderNames(dir.path()), std::vector<std::string>{"WorldCodes.list"});
}

#endif

}  // namespace
}  // namespace toponyx::testing
