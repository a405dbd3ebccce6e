// Fields cut once answer as the text operations do on the whole line.
#include <gtest/gtest.h>

#include <cstring>

#include "readers/Fields.h"

namespace toponyx::testing {
namespace {

TEST(FieldCutsTest, AnswersAsGetFieldGetIntFieldAndGetFloatField) {
  const char* lines[] = {"",         ":",         "a",          "a:b",         "a::c:",
                         " a : b ",  "  :  :",    "5:51.5:x",   "N51:12.5:-3", "1:2:3:4:5:6",
                         "::::::::", "x:y:z:w:v", "12 5:abc:E", "+7:-:1e2:.5"};
  for (const char* line : lines) {
    readers::FieldCuts<4> f;  // fewer fields than some lines hold
    f.Cut(line, ':');
    for (int n = 0; n <= 6; ++n) {
      SCOPED_TRACE(std::string("line '") + line + "' field " + std::to_string(n));
      if (n >= 1 && n <= 4) {
        EXPECT_EQ(f.Get(n, "D"), text::GetField(line, n, "D", ':'));
        EXPECT_EQ(f.Int(n, -9), text::GetIntField(line, n, -9, ':'));
        EXPECT_EQ(f.Float(n, 7.5), text::GetFloatField(line, n, 7.5, ':'));
      } else {
        EXPECT_EQ(f.Get(n, "D"), "D");  // beyond what was cut
      }
    }
  }
}

TEST(FieldCutsTest, ShortCutDecimalsEqualTheFullConversion) {
  const char* texts[] = {"-33.86",
                         "151.2",
                         "6252000",
                         "0.1",
                         ".5",
                         "5.",
                         "-0",
                         "+7",
                         "007.250",
                         "-.",
                         ".",
                         "-",
                         "1.2.3",
                         "12x",
                         " 4 ",
                         "1e5",
                         "+-5",
                         "",
                         "0.30000000000000004",
                         "123456789012345",
                         "1234567890123456",
                         "9007199254740993",
                         "0.000000000000001",
                         "174.76333333"};
  for (const char* t : texts) {
    SCOPED_TRACE(t);
    const double expected = text::ParseDecimal(t);
    const double got = readers::Decimal(t);
    EXPECT_EQ(std::memcmp(&got, &expected, sizeof got), 0) << got << " vs " << expected;
  }
}

}  // namespace
}  // namespace toponyx::testing
