#include "text/LineReader.h"

#include <gtest/gtest.h>

#include <vector>

#include "platform/Error.h"
#include "support/FaultFileSystem.h"
#include "support/TempDir.h"

namespace toponyx::text {
namespace {

using testing::TempDir;
using testing::WriteFileBytes;

enum class Rule { kTextLine, kStandard };

// Reads the whole file the way the readers do: while not at the end, a line.
std::vector<std::string> ReadAll(const std::string& path, Rule rule, size_t block) {
  TextFile f(platform::DefaultFileSystem(), block);
  EXPECT_TRUE(f.Open(path));
  std::vector<std::string> lines;
  std::string line;
  while (!f.Eof()) {
    if (rule == Rule::kTextLine) {
      f.ReadTextLine(line);
    } else {
      f.ReadLine(line);
    }
    lines.push_back(line);
  }
  return lines;
}

using Lines = std::vector<std::string>;

// Every case is read with blocks of every size from 16 bytes up to the file,
// so that every block boundary (between CR and LF too) is crossed.
void ExpectLines(std::string_view content, Rule rule, const Lines& expected) {
  TempDir dir;
  std::string path = dir.File("in.txt");
  WriteFileBytes(path, content);
  for (size_t block = 16; block <= content.size() + 16; ++block) {
    EXPECT_EQ(ReadAll(path, rule, block), expected)
        << "block " << block << " content " << ::testing::PrintToString(std::string(content));
  }
}

TEST(ReadTextLineTest, CarriageReturnRules) {
  std::string pad(14, 'x');  // puts the breaks near a 16-byte boundary
  ExpectLines(pad + "a\r\nb\nc", Rule::kTextLine, {pad + "a", "b", "c"});
  ExpectLines(pad + "\r\n\r\n", Rule::kTextLine, {pad, ""});
  // A lone CR is dropped and ends nothing.
  ExpectLines(pad + "a\rb\r\nc\n", Rule::kTextLine, {pad + "ab", "c"});
  // CR CR ends the line, consuming both.
  ExpectLines("a\r\rb\n", Rule::kTextLine, {"a", "b"});
  // A bare CR ends a line too when a CR or LF follows it; CR at the end.
  ExpectLines("a\n\rb\r", Rule::kTextLine, {"a", "b"});
  ExpectLines("last line without break", Rule::kTextLine, {"last line without break"});
  ExpectLines("", Rule::kTextLine, {});
  ExpectLines("\n", Rule::kTextLine, {""});
  ExpectLines(std::string(40, 'y') + "\r\n" + std::string(33, 'z'), Rule::kTextLine,
              {std::string(40, 'y'), std::string(33, 'z')});
}

TEST(ReadLineTest, StandardLineEnds) {
  std::string pad(15, 'x');  // CR as the last byte of the first block
  ExpectLines(pad + "\r\nb\nc", Rule::kStandard, {pad, "b", "c"});
  ExpectLines("a\rb\r\nc\n", Rule::kStandard, {"a\rb", "c"});  // a lone CR stays
  ExpectLines("a\r\r\n", Rule::kStandard, {"a\r"});
  ExpectLines("no break", Rule::kStandard, {"no break"});
  ExpectLines("\n\n", Rule::kStandard, {"", ""});
}

TEST(TextFileTest, ReadAtEndGivesEmptyLineAndRewindStartsOver) {
  TempDir dir;
  std::string path = dir.File("a.txt");
  WriteFileBytes(path, "one\ntwo\n");
  TextFile f;
  ASSERT_TRUE(f.Open(path));
  std::string line;
  f.ReadTextLine(line);
  EXPECT_EQ(line, "one");
  f.ReadTextLine(line);
  EXPECT_EQ(line, "two");
  EXPECT_TRUE(f.Eof());
  line = "stale";
  f.ReadTextLine(line);
  EXPECT_EQ(line, "");
  f.Rewind();
  EXPECT_FALSE(f.Eof());
  f.ReadLine(line);
  EXPECT_EQ(line, "one");
  EXPECT_EQ(f.Position(), 4u);
  EXPECT_EQ(f.FileSize(), 8u);
}

TEST(TextFileTest, MissingFileAndReadErrors) {
  TempDir dir;
  TextFile missing;
  EXPECT_FALSE(missing.Open(dir.File("nope.txt")));

  std::string path = dir.File("b.txt");
  WriteFileBytes(path, std::string(100, 'a') + "\n");
  testing::FaultFileSystem fs;
  fs.FailReadAfter(2);
  TextFile f(fs, 16);
  ASSERT_TRUE(f.Open(path));
  std::string line;
  EXPECT_THROW(f.ReadTextLine(line), toponyx::Error);
}

TEST(TextFileTest, BlockCallbackReportsBytesRead) {
  TempDir dir;
  std::string path = dir.File("c.txt");
  WriteFileBytes(path, std::string(50, 'a'));
  TextFile f(platform::DefaultFileSystem(), 16);
  std::vector<uint64_t> seen;
  f.SetBlockCallback([&](uint64_t n) { seen.push_back(n); });
  ASSERT_TRUE(f.Open(path));
  std::string line;
  f.ReadTextLine(line);
  EXPECT_EQ(seen, (std::vector<uint64_t>{16, 32, 48, 50}));
}

// UTF-16 of a text of code points, in either byte order, after its mark.
std::string Utf16(const std::vector<uint32_t>& text, bool little) {
  std::string out = little ? "\xFF\xFE" : "\xFE\xFF";
  auto unit = [&](uint32_t u) {
    const char hi = static_cast<char>(u >> 8), lo = static_cast<char>(u & 0xFF);
    out += little ? std::string{lo, hi} : std::string{hi, lo};
  };
  for (uint32_t cp : text) {
    if (cp >= 0x10000) {
      unit(0xD800 + ((cp - 0x10000) >> 10));
      unit(0xDC00 + ((cp - 0x10000) & 0x3FF));
    } else {
      unit(cp);
    }
  }
  return out;
}

TEST(TextFileTest, ByteOrderMarksDecideTheText) {
  // "Hā‘e" CR LF, a character beyond the 16-bit range, LF, a lone low
  // surrogate, CR LF, and a high surrogate cut short by the end.
  std::vector<uint32_t> text = {'H', 0x101,  0x2018, 'e',  '\r', '\n', 0x1F30B, '\n',
                                'x', 0xDC00, 'y',    '\r', '\n', 'z',  0xD800};
  const Lines expected = {
      "H\xC4\x81\xE2\x80\x98"
      "e",
      "\xF0\x9F\x8C\x8B", "x\xEF\xBF\xBDy", "z\xEF\xBF\xBD"};
  for (bool little : {true, false}) {
    for (Rule rule : {Rule::kTextLine, Rule::kStandard})
      ExpectLines(Utf16(text, little), rule, expected);
  }
  // A UTF-8 mark is passed over; without a mark the bytes come as they are.
  ExpectLines("\xEF\xBB\xBFone\ntwo", Rule::kStandard, {"one", "two"});
  ExpectLines("\xEFone\n", Rule::kStandard, {"\xEFone"});
  TempDir dir;
  WriteFileBytes(dir.File("a.txt"), Utf16({'a', '\n', 'b'}, true));
  TextFile f;
  ASSERT_TRUE(f.Open(dir.File("a.txt")));
  std::string line;
  f.ReadLine(line);
  EXPECT_TRUE(f.IsUtf8());
  f.Rewind();  // the mark is taken again
  f.ReadLine(line);
  EXPECT_EQ(line, "a");
}

TEST(TextFileTest, EndlessLinesAreCutInBoundedMemory) {
  TempDir dir;
  const std::string path = dir.File("long.txt");
  const std::string long_line(3 * TextFile::kMaxLine + 17, 'x');
  WriteFileBytes(path,
                 long_line + "\r\nnext\r\n" + std::string(TextFile::kMaxLine - 1, 'y') + "\r\n");
  const std::string kept(TextFile::kMaxLine, 'x');
  for (Rule rule : {Rule::kTextLine, Rule::kStandard}) {
    for (size_t block : {size_t{4096}, TextFile::kDefaultBlock}) {
      const Lines lines = ReadAll(path, rule, block);
      ASSERT_EQ(lines.size(), 3u);
      EXPECT_EQ(lines[0], kept);  // the rest of the line passed over, CR included
      EXPECT_EQ(lines[1], "next");
      EXPECT_EQ(lines[2], std::string(TextFile::kMaxLine - 1, 'y'));  // whole: not cut
    }
  }
  TextFile f;
  ASSERT_TRUE(f.Open(path));
  std::string line;
  f.ReadLine(line);
  EXPECT_LE(line.capacity(), 2 * TextFile::kMaxLine);
}

}  // namespace
}  // namespace toponyx::text
