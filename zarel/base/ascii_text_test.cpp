// Letter case and blanks: only ASCII letters fold, UTF-8 bytes and the
// non-breaking space are left alone.
#include "zarel/base/ascii_text.h"

#include <gtest/gtest.h>

namespace zarel {
namespace {

TEST(AsciiTextTest, CaseAndBlanks) {
  const std::string nbsp = "\xC2\xA0";
  EXPECT_EQ(LowerAscii("Display ALL 12"), "display all 12");
  EXPECT_EQ(UpperAscii("Größe"), "GRößE");  // ö and ß are not ASCII letters
  EXPECT_EQ(LowerAscii("\xC3\x80" "B"), "\xC3\x80" "b");
  EXPECT_TRUE(EqualIgnoringAsciiCase("ActivePort", "ACTIVEPORT"));
  EXPECT_FALSE(EqualIgnoringAsciiCase("\xC3\x84", "\xC3\xA4"));  // Ä and ä differ
  EXPECT_FALSE(EqualIgnoringAsciiCase("Port", "Ports"));
  EXPECT_TRUE(EqualIgnoringAsciiCase("", ""));
  EXPECT_EQ(TrimBlanks("  a b  "), "a b");
  EXPECT_EQ(TrimBlanks(nbsp + " x " + nbsp), nbsp + " x " + nbsp);
  EXPECT_EQ(TrimBlanks("   "), "");
  EXPECT_EQ(TrimBlanks("\tx\t"), "\tx\t");
}

}  // namespace
}  // namespace zarel
