#include "text/CodePage.h"

#include <gtest/gtest.h>

namespace toponyx {
namespace {

using codepage::AnsiToOem;
using codepage::OemToAnsi;

TEST(CodePageTest, AnsiOemRoundTripForSharedCharacters) {
  // Every Windows-1252 byte with an exact CP437 counterpart comes back.
  int exact = 0;
  for (int b = 0; b < 256; ++b) {
    char c = static_cast<char>(b);
    char oem = AnsiToOem(c);
    if (OemToAnsi(oem) == c) ++exact;
  }
  // ASCII plus the accented letters and signs both pages hold.
  EXPECT_GE(exact, 128 + 50);
  EXPECT_EQ(AnsiToOem('A'), 'A');
  EXPECT_EQ(AnsiToOem('\xFC'), '\x81');  // u-umlaut
  EXPECT_EQ(AnsiToOem('\xE9'), '\x82');  // e-acute
  EXPECT_EQ(AnsiToOem('\xC4'), '\x8E');  // A-umlaut
  EXPECT_EQ(AnsiToOem('\xDF'), '\xE1');  // sharp s
  EXPECT_EQ(OemToAnsi('\x81'), '\xFC');
  EXPECT_EQ(OemToAnsi('\x9A'), '\xDC');  // U-umlaut
}

TEST(CodePageTest, BestFitOrQuestionMarkWithoutCounterpart) {
  EXPECT_EQ(AnsiToOem('\xC0'), 'A');  // A-grave has no CP437 byte: best fit
  EXPECT_EQ(AnsiToOem('\x8A'), 'S');  // S-caron
  EXPECT_EQ(AnsiToOem('\x81'), '?');  // undefined in Windows-1252
  EXPECT_EQ(OemToAnsi('\xC9'), '?');  // box drawing has no Windows-1252 byte
}

TEST(CodePageTest, BulkConversionMatchesSingleBytes) {
  std::string ansi = "Z\xFCrich \xC9tang";
  std::string oem = codepage::AnsiToOem(ansi);
  ASSERT_EQ(oem.size(), ansi.size());
  EXPECT_EQ(oem, "Z\x81rich \x90tang");
  EXPECT_EQ(codepage::OemToAnsi(oem), ansi);
}

TEST(CodePageTest, Utf8ViewsForDisplay) {
  EXPECT_EQ(codepage::AnsiToUtf8("Z\xFCrich \x80"), "Z\xC3\xBCrich \xE2\x82\xAC");
  EXPECT_EQ(codepage::OemToUtf8("\x81"), "\xC3\xBC");
}

TEST(Utf8LineToAnsiTest, DecodesOneToThreeByteSequences) {
  std::string out;
  EXPECT_TRUE(text::Utf8LineToAnsi("Z\xC3\xBCrich", out));
  EXPECT_EQ(out, "Z\xFCrich");
  EXPECT_TRUE(text::Utf8LineToAnsi("\xE2\x82\xAC 5", out));  // euro sign, 3 bytes
  EXPECT_EQ(out, "\x80 5");
  EXPECT_TRUE(text::Utf8LineToAnsi("plain ascii line that is longer than eight", out));
  EXPECT_EQ(out, "plain ascii line that is longer than eight");
  EXPECT_TRUE(text::Utf8LineToAnsi("", out));
  EXPECT_EQ(out, "");
}

TEST(Utf8LineToAnsiTest, CharactersWithoutCounterpart) {
  std::string out;
  // Cyrillic and CJK: "?" each.
  EXPECT_TRUE(text::Utf8LineToAnsi("\xD0\x9C\xD0\xB8 \xE4\xB8\xAD", out));
  EXPECT_EQ(out, "?? ?");
  // Latin letters beyond Windows-1252 take their best fit (c-caron -> c).
  EXPECT_TRUE(text::Utf8LineToAnsi("\xC4\x8D", out));
  EXPECT_EQ(out, "c");
  // A four-byte sequence is one character beyond the 16-bit range: "?".
  EXPECT_TRUE(
      text::Utf8LineToAnsi("a\xF0\x9F\x98\x80"
                           "b",
                           out));
  EXPECT_EQ(out, "a?b");
}

TEST(Utf8LineToAnsiTest, BrokenSequenceGivesEmptyLine) {
  std::string out = "stale";
  EXPECT_FALSE(text::Utf8LineToAnsi("abc\xC3", out));  // cut short by the line end
  EXPECT_EQ(out, "");
  out = "stale";
  EXPECT_FALSE(text::Utf8LineToAnsi("a\xC3(b", out));  // not a continuation byte
  EXPECT_EQ(out, "");
  EXPECT_FALSE(text::Utf8LineToAnsi("a\xE2\x82", out));
  EXPECT_FALSE(text::Utf8LineToAnsi("a\xBF", out));      // stray continuation byte
  EXPECT_FALSE(text::Utf8LineToAnsi("\xC0\x80", out));   // overlong
  EXPECT_FALSE(text::Utf8LineToAnsi("Z\xFCrich", out));  // Latin-1, not UTF-8
  EXPECT_EQ(out, "");
  // A lead byte where a continuation byte belongs: each of these would
  // decode (to "\xC3", the euro sign, a four-byte character) if every byte
  // with its top bit set counted as a continuation.
  for (const char* broken : {"a\xC3\xC3", "\xE2\xC2\xAC", "\xE2\x82\xEC", "\xF0\x9F\xD8\x80"}) {
    out = "stale";
    EXPECT_FALSE(text::Utf8LineToAnsi(broken, out)) << broken;
    EXPECT_EQ(out, "");
    EXPECT_FALSE(codepage::IsUtf8(broken)) << broken;
  }
}

}  // namespace
}  // namespace toponyx

namespace toponyx {
namespace {

TEST(IsUtf8Test, StrictUtf8Only) {
  EXPECT_TRUE(codepage::IsUtf8(""));
  EXPECT_TRUE(codepage::IsUtf8("plain"));
  EXPECT_TRUE(codepage::IsUtf8("Z\xC3\xBCrich \xE2\x82\xAC \xF0\x9F\x98\x80"));
  EXPECT_FALSE(codepage::IsUtf8("Z\xFCrich"));         // Windows-1252
  EXPECT_FALSE(codepage::IsUtf8("\xC0\x80"));          // overlong
  EXPECT_FALSE(codepage::IsUtf8("\xED\xA0\x80"));      // a surrogate
  EXPECT_FALSE(codepage::IsUtf8("a\xE2\x82"));         // cut short
  EXPECT_FALSE(codepage::IsUtf8("\xF4\x90\x80\x80"));  // beyond U+10FFFF
}

}  // namespace
}  // namespace toponyx
