#include "platform/Ini.h"

#include <gtest/gtest.h>

#include "support/FaultFileSystem.h"
#include "support/TempDir.h"

namespace toponyx::platform {
namespace {

using testing::ReadFileBytes;
using testing::TempDir;
using testing::WriteFileBytes;

TEST(IniFile, ReadsWithProfileSemantics) {
  TempDir dir;
  const std::string path = dir.File("TOPONYX.INI");
  WriteFileBytes(path,
                 "; settings\r\n"
                 "[Other]\r\n"
                 "Start Directory=wrong section\r\n"
                 "  [ paths ]  \r\n"
                 "  start directory  =  /data/downloads  \r\n"
                 "Quoted=\"  kept blanks \"\n"
                 "Single='x'\n"
                 ";Commented=1\n"
                 "Empty=\n"
                 "[Paths]\r\n"
                 "Later=second section of the same name is not read\r\n");
  IniFile ini(path);
  EXPECT_EQ(ini.ReadString("Paths", "Start Directory", "d"), "/data/downloads");
  EXPECT_EQ(ini.ReadString("PATHS", "START DIRECTORY", "d"), "/data/downloads");
  EXPECT_EQ(ini.ReadString("Paths", "Quoted", "d"), "  kept blanks ");
  EXPECT_EQ(ini.ReadString("Paths", "Single", "d"), "x");
  EXPECT_EQ(ini.ReadString("Paths", "Empty", "d"), "");
  EXPECT_EQ(ini.ReadString("Paths", ";Commented", "d"), "d");
  EXPECT_EQ(ini.ReadString("Paths", "Later", "d"), "d");
  EXPECT_EQ(ini.ReadString("Paths", "Missing", "default"), "default");
  EXPECT_EQ(ini.ReadString("Nowhere", "Start Directory", "default"), "default");
  EXPECT_EQ(IniFile(dir.File("absent.ini")).ReadString("Paths", "x", "fallback"), "fallback");
}

TEST(IniFile, WritingKeepsEverythingElse) {
  TempDir dir;
  const std::string path = dir.File("TOPONYX.INI");
  WriteFileBytes(path,
                 "; comment\r\n"
                 "[Window]\r\n"
                 "Left=10\r\n"
                 "\r\n"
                 "[paths]\r\n"
                 "SAVE DIRECTORY=/old\r\n"
                 "Other=kept\r\n"
                 "\r\n"
                 "[Tail]\r\n"
                 "x=1\r\n");
  IniFile ini(path);
  ASSERT_TRUE(ini.WriteString("Paths", "Save Directory", "/new"));
  ASSERT_TRUE(ini.WriteString("Paths", "WWW Location", "http://x"));
  ASSERT_TRUE(ini.WriteString("Extra", "k", "v"));
  EXPECT_EQ(ReadFileBytes(path),
            "; comment\r\n"
            "[Window]\r\n"
            "Left=10\r\n"
            "\r\n"
            "[paths]\r\n"
            "Save Directory=/new\r\n"
            "Other=kept\r\n"
            "WWW Location=http://x\r\n"
            "\r\n"
            "[Tail]\r\n"
            "x=1\r\n"
            "[Extra]\r\n"
            "k=v\r\n");
  EXPECT_EQ(ini.ReadString("Window", "Left", ""), "10");
}

TEST(IniFile, WritingCreatesTheFileAndReportsFailures) {
  TempDir dir;
  IniFile fresh(dir.File("new.ini"));
  ASSERT_TRUE(fresh.WriteString("Paths", "A", "1"));
  ASSERT_TRUE(fresh.WriteString("Paths", "B", "2"));
  ASSERT_TRUE(fresh.WriteString("Paths", "a", "3"));
  EXPECT_EQ(ReadFileBytes(fresh.path()), "[Paths]\r\na=3\r\nB=2\r\n");

  // A folder in the file's place cannot be written.
  IniFile blocked(dir.path());
  EXPECT_FALSE(blocked.WriteString("Paths", "A", "1"));

  // A failing write leaves the earlier content readable to the caller's report.
  testing::FaultFileSystem faults;
  faults.FailWriteAfter(1);
  IniFile failing(fresh.path(), faults);
  EXPECT_FALSE(failing.WriteString("Paths", "C", "4"));
}

}  // namespace
}  // namespace toponyx::platform
