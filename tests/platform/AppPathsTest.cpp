#include "platform/AppPaths.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "support/TempDir.h"

namespace toponyx::platform {
namespace {

using testing::TempDir;
using testing::WriteFileBytes;

// A Wine prefix with drive C: linked the way wineboot links it.
struct FakePrefix {
  FakePrefix() {
    std::filesystem::create_directories(dir.File("drive_c/Program Files/CarVis"));
    std::filesystem::create_directories(dir.File("dosdevices"));
    std::filesystem::create_directory_symlink("../drive_c", dir.File("dosdevices/c:"));
  }
  void Registry(const std::string& body) {
    WriteFileBytes(
        dir.File("system.reg"),
        "WINE REGISTRY Version 2\n;; All keys relative to \\\\Machine\n\n#arch=win32\n\n" + body);
  }
  std::string Folder(const std::string& rel) const {
    return std::filesystem::canonical(dir.File("drive_c")).string() + "/" + rel;
  }
  TempDir dir;
};

TEST(AppPaths, FindsTheKeyAndMapsItsPath) {
  FakePrefix p;
  p.Registry(
      "[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\App Paths\\\\Other.exe] 1\n"
      "\"Path\"=\"C:\\\\Elsewhere\"\n\n"
      "[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\App Paths\\\\CARVIS.EXE] 1700000000\n"
      "#time=1d9a5e4c3b2a100\n"
      "@=\"C:\\\\Program Files\\\\CarVis\\\\CarVis.exe\"\n"
      "\"path\"=\"c:\\\\program files\\\\carvis\\\\\"\n\n"
      "[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Run] 1\n"
      "\"Path\"=\"C:\\\\Wrong\"\n");
  AppPathsEntry e = LookUpAppPath("CarVis.exe", p.dir.path());
  EXPECT_TRUE(e.key_found);
  EXPECT_EQ(e.path_value, "c:\\program files\\carvis\\");
  // Parts are matched without letter case, as Wine does.
  EXPECT_EQ(e.local_folder, p.Folder("Program Files/CarVis"));
}

TEST(AppPaths, MissingKeyValueOrRegistry) {
  FakePrefix p;
  EXPECT_FALSE(LookUpAppPath("CarVis.exe", p.dir.path()).key_found);  // no system.reg
  EXPECT_FALSE(LookUpAppPath("CarVis.exe", "").key_found);

  p.Registry(
      "[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\App Paths\\\\CarVis.exe] 1\n"
      "@=\"C:\\\\Program Files\\\\CarVis\\\\CarVis.exe\"\n"
      "\"Path\"=dword:00000001\n");
  AppPathsEntry e = LookUpAppPath("CarVis.exe", p.dir.path());
  EXPECT_TRUE(e.key_found);
  EXPECT_EQ(e.path_value, "");  // not a string: reads as empty
  EXPECT_EQ(e.local_folder, "");

  p.Registry(
      "[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\App Paths\\\\CarVis.exe.bak] 1\n"
      "\"Path\"=\"C:\\\\Program Files\\\\CarVis\"\n");
  EXPECT_FALSE(LookUpAppPath("CarVis.exe", p.dir.path()).key_found);
}

TEST(AppPaths, ThirtyTwoBitKeyAndExpandString) {
  FakePrefix p;
  p.Registry(
      "[Software\\\\Wow6432Node\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\App "
      "Paths\\\\CarVis.exe] 1\n"
      "\"Path\"=str(2):\"C:\\\\Program Files\\\\CarVis\"\n");
  AppPathsEntry e = LookUpAppPath("CarVis.exe", p.dir.path());
  EXPECT_TRUE(e.key_found);
  EXPECT_EQ(e.local_folder, p.Folder("Program Files/CarVis"));
}

TEST(AppPaths, WindowsPathMapping) {
  FakePrefix p;
  const std::string prefix = p.dir.path();
  EXPECT_EQ(MapWindowsPath("C:\\Program Files\\CarVis", prefix), p.Folder("Program Files/CarVis"));
  EXPECT_EQ(MapWindowsPath("C:\\PROGRAM FILES\\Gone\\Sub", prefix),
            p.Folder("Program Files/Gone/Sub"));      // kept as written once a part is missing
  EXPECT_EQ(MapWindowsPath("D:\\Data", prefix), "");  // no such drive link
  EXPECT_EQ(MapWindowsPath("\\\\server\\share", prefix), "");
  EXPECT_EQ(MapWindowsPath("relative\\x", prefix), "");
  EXPECT_EQ(MapWindowsPath("C:\\Program Files\\..\\..\\..\\etc", prefix), p.Folder("etc"));
}

TEST(AppPaths, UnescapingRegistryText) {
  std::string out;
  size_t used = 0;
  ASSERT_TRUE(reg::Unescape("a\\\\b\\\"c\\x00e9d\\101\" tail", '"', out, used));
  EXPECT_EQ(out,
            "a\\b\"c\xC3\xA9"
            "dA");
  EXPECT_EQ(used, 19u);
  EXPECT_FALSE(reg::Unescape("no end", '"', out, used));
  ASSERT_TRUE(reg::Unescape("Key\\]x] 123", ']', out, used));
  EXPECT_EQ(out, "Key]x");
}

}  // namespace
}  // namespace toponyx::platform
