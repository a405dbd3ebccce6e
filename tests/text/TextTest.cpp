#include "text/Text.h"

#include <gtest/gtest.h>

namespace toponyx::text {
namespace {

TEST(TrimAndBlankTest, OnlyCode32CountsForTrimAndEmpty) {
  EXPECT_EQ(TrimBlanks("  a b  "), "a b");
  EXPECT_EQ(TrimBlanks("\ta\t"), "\ta\t");  // tabs stay
  EXPECT_EQ(TrimBlanks("   "), "");
  EXPECT_TRUE(IsEmptyText(""));
  EXPECT_TRUE(IsEmptyText("   "));
  EXPECT_FALSE(IsEmptyText(" \t "));
  EXPECT_TRUE(IsBlankText(" \t\r\n\x01"));
  EXPECT_FALSE(IsBlankText(" \xA0 "));  // a byte above 127 is not blank
}

TEST(GetFieldTest, DefaultsForMissingAndEmptyFields) {
  EXPECT_EQ(GetField("a|b||d", 3, "X", '|'), "X");  // empty field
  EXPECT_EQ(GetField("a|b| |d", 3, "X", '|'), "");  // spaces only
  EXPECT_EQ(GetField("a|b", 4, "X", '|'), "X");     // missing field
  EXPECT_EQ(GetField(" a |b", 1, "X", '|'), "a");
  EXPECT_EQ(GetField("a|b", 3, "X", '|'), "X");   // one separator short
  EXPECT_EQ(GetField("a|b|", 3, "X", '|'), "X");  // trailing empty field
  EXPECT_EQ(GetField("", 1, "X", '|'), "X");
  EXPECT_EQ(GetField("a\tb\tc", 2, "", '\t'), "b");
  EXPECT_EQ(GetField("x:y:z", 3, "", ':'), "z");
}

TEST(GetFieldTest, FieldIsAViewIntoTheText) {
  std::string line = "one,two,three";
  std::string_view f = GetField(line, 2, "", ',');
  EXPECT_EQ(f.data(), line.data() + 4);
}

TEST(GetIntFieldTest, BlanksEverythingButSignsAndDigits) {
  EXPECT_EQ(GetIntField("5:51.5:x", 1, 7, ':'), 5);
  EXPECT_EQ(GetIntField("N51", 1, 7, ':'), 51);
  EXPECT_EQ(GetIntField("abc", 1, 7, ':'), 7);
  EXPECT_EQ(GetIntField("12.5", 1, 7, ':'), 7);  // becomes "12 5"
  EXPECT_EQ(GetIntField("a::c", 2, 7, ':'), 7);  // empty
  EXPECT_EQ(GetIntField("a", 3, 7, ':'), 7);     // missing
  EXPECT_EQ(GetIntField("-87", 1, 0, ','), -87);
  EXPECT_EQ(GetIntField("+14", 1, 0, ','), 14);
  EXPECT_EQ(GetIntField("--5", 1, 3, ','), 3);
  EXPECT_EQ(GetIntField("5-", 1, 3, ','), 3);
  EXPECT_EQ(GetIntField("-", 1, 3, ','), 3);
  EXPECT_EQ(GetIntField("2147483647", 1, 3, ','), 2147483647);
  EXPECT_EQ(GetIntField("-2147483648", 1, 3, ','), -2147483647 - 1);
  EXPECT_EQ(GetIntField("2147483648", 1, 3, ','), 3);  // out of range
  EXPECT_EQ(GetIntField(" 0042 ", 1, 3, ','), 42);
}

TEST(GetFloatFieldTest, KeepsNumberCharactersOnly) {
  EXPECT_DOUBLE_EQ(GetFloatField("25.8", 1, 7, ':'), 25.8);
  EXPECT_DOUBLE_EQ(GetFloatField("abc", 1, 7, ':'), 0.0);
  EXPECT_DOUBLE_EQ(GetFloatField("a:b", 3, 7, ':'), 7.0);   // missing
  EXPECT_DOUBLE_EQ(GetFloatField("a::b", 2, 7, ':'), 7.0);  // empty
  EXPECT_DOUBLE_EQ(GetFloatField("x-2.5e1y", 1, 7, ':'), -25.0);
  EXPECT_DOUBLE_EQ(GetFloatField("+3.25", 1, 7, ':'), 3.25);
  EXPECT_DOUBLE_EQ(GetFloatField(" 57.7 ", 1, 7, ':'), 57.7);
}

TEST(ParseDecimalTest, LocaleFreeWithFullStop) {
  EXPECT_DOUBLE_EQ(ParseDecimal("-33.86"), -33.86);
  EXPECT_DOUBLE_EQ(ParseDecimal(" 151.2 "), 151.2);
  EXPECT_DOUBLE_EQ(ParseDecimal(""), 0.0);
  EXPECT_DOUBLE_EQ(ParseDecimal("abc"), 0.0);
  EXPECT_DOUBLE_EQ(ParseDecimal("1e3"), 1000.0);
  EXPECT_DOUBLE_EQ(ParseDecimal("12abc"), 12.0);
  EXPECT_DOUBLE_EQ(ParseDecimal("+-1"), 0.0);
}

TEST(ProperCaseTest, ExamplesOfTheRules) {
  EXPECT_EQ(ProperCase("mt. st. helens"), "MT. ST. Helens");
  EXPECT_EQ(ProperCase("saint-jean-de-luz"), "Saint-Jean-DE-Luz");
  EXPECT_EQ(ProperCase("de luz"), "DE Luz");
  EXPECT_EQ(ProperCase("POPULATED PLACE"), "Populated Place");
  EXPECT_EQ(ProperCase("first-order administrative division"),
            "First-Order Administrative Division");
  EXPECT_EQ(ProperCase("hill or mountain"), "Hill Or Mountain");
  EXPECT_EQ(ProperCase("  spaced  out  "), "Spaced  Out");
  EXPECT_EQ(ProperCase("UNKN"), "Unkn");
  EXPECT_EQ(ProperCase(""), "");
  EXPECT_EQ(ProperCase("   "), "");
  EXPECT_EQ(ProperCase("\t\r\n"), "");
  EXPECT_EQ(ProperCase("x"), "X");
  EXPECT_EQ(ProperCase("ab."), "AB.");
  EXPECT_EQ(ProperCase("o'neil's"), "O'neil's");  // apostrophe is no separator
  EXPECT_EQ(ProperCase("reservoir(s)"), "Reservoir(s)");
  EXPECT_EQ(ProperCase("a/b\\c,d\"e"), "A/B\\C,D\"E");
}

TEST(ProperCaseTest, OnlyAsciiLettersChangeCase) {
  // 0xC9 is E-acute and 0xE9 e-acute in Windows-1252: both stay as they are.
  EXPECT_EQ(ProperCase("\xE9tang \xC9"
                       "COLE"),
            "\xE9tang \xC9"
            "cole");
}

TEST(ProperCaseTest, ReusesTheCallersBuffer) {
  std::string out = "previous content that is long";
  ProperCase("stream", out);
  EXPECT_EQ(out, "Stream");
}

TEST(CaseHelpersTest, AsciiFoldingOnly) {
  EXPECT_TRUE(EqualsIgnoreCase("Populated Place", "POPULATED place"));
  EXPECT_FALSE(EqualsIgnoreCase("\xE9", "\xC9"));
  EXPECT_LT(CompareIgnoreCase("abbey", "ABBOT"), 0);
  EXPECT_EQ(CompareIgnoreCase("abbey", "ABBEY"), 0);
  EXPECT_LT(CompareIgnoreCase("Abb", "abbey"), 0);
  EXPECT_GT(CompareIgnoreCase("\x80", "z"), 0);  // unsigned bytes
  EXPECT_TRUE(ContainsUpperCased("x feature_id|y", "FEATURE_ID"));
  EXPECT_TRUE(ContainsUpperCased("FEATURE_ID", "FEATURE_ID"));
  EXPECT_FALSE(ContainsUpperCased("FEATURE_I", "FEATURE_ID"));
  EXPECT_TRUE(ContainsUpperCased("ca_deci.txt", "DECI"));
  EXPECT_FALSE(ContainsUpperCased("", "DECI"));
}

}  // namespace
}  // namespace toponyx::text

namespace toponyx::text {
namespace {

TEST(ContainsUpperCasedTest, AnchoredAndUnanchoredNeedles) {
  EXPECT_TRUE(ContainsUpperCased("x Feature_Id y", "FEATURE_ID"));
  EXPECT_TRUE(ContainsUpperCased("feature_id", "FEATURE_ID"));
  EXPECT_FALSE(ContainsUpperCased("feature id", "FEATURE_ID"));
  EXPECT_FALSE(ContainsUpperCased("eature_id", "FEATURE_ID"));
  EXPECT_TRUE(ContainsUpperCased("gb_50kgaz.txt", "50KGAZ"));
  EXPECT_FALSE(ContainsUpperCased("gb_50kgaz", "50KGAZX"));
  EXPECT_TRUE(ContainsUpperCased("__50kgaz", "50KGAZ"));
  EXPECT_TRUE(ContainsUpperCased("ca_Deci.txt", "DECI"));
  EXPECT_FALSE(ContainsUpperCased("ca_dec.txt", "DECI"));
  EXPECT_TRUE(ContainsUpperCased("5", "5"));
  EXPECT_FALSE(ContainsUpperCased("x5", "5X"));
}

}  // namespace
}  // namespace toponyx::text
