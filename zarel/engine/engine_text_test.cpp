// Tests of the engine's text replacement: with and without regard to case,
// matches side by side, replaced text not scanned again, and texts with no
// match or nothing to find.
#include "zarel/engine/engine_text.h"

#include <gtest/gtest.h>

namespace zarel::engine_text {
namespace {

TEST(EngineTextTest, ReplaceAllScansLeftToRightOnce) {
  struct Case {
    std::string text, find, replacement;
    bool ignore_case;
    std::string expected;
  } cases[] = {
      {"<p>%Date%</p>", "%Date%", "05 Dec 2026", false, "<p>05 Dec 2026</p>"},
      {"%date% %DATE% %Date%", "%Date%", "d", false, "%date% %DATE% d"},
      {"%date% %DATE% %Date%", "%Date%", "d", true, "d d d"},
      {"%Date%%Date%", "%Date%", "x", false, "xx"},
      {"aaaa", "aa", "b", false, "bb"},
      {"aaa", "aa", "b", false, "ba"},
      {"ABab", "ab", "x", true, "xx"},
      // The replacement is not searched again, even when it holds the text.
      {"%A%", "%A%", "%A%%A%", false, "%A%%A%"},
      {"a", "a", "aa", true, "aa"},
      {"no match here", "%Date%", "x", true, "no match here"},
      {"", "%Date%", "x", false, ""},
      {"short", "longer than the text", "x", true, "short"},
      {"tail %Dat", "%Date%", "x", true, "tail %Dat"},
      {"unchanged", "", "x", false, "unchanged"},
      {"remove %A% this", "%A% ", "", false, "remove this"},
      // Only ASCII letters fold; other bytes match as they are.
      {"\xC3\x89t\xC3\xA9 \xC3\x89T\xC3\x89", "\xC3\x89t\xC3\xA9", "x", true, "x \xC3\x89T\xC3\x89"},
      {"1.5 1,5", "1.5", "x", true, "x 1,5"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ReplaceAll(c.text, c.find, c.replacement, c.ignore_case), c.expected)
        << "'" << c.text << "' find '" << c.find << "' ignore case " << c.ignore_case;
  }
}

TEST(EngineTextTest, ReplaceAllKeepsALargeTextWhole) {
  std::string text;
  std::string expected;
  for (int i = 0; i < 5000; ++i) {
    text += "<td class=x>%StoreName%</td>\r\n";
    expected += "<td class=x>Corner Shop</td>\r\n";
  }
  EXPECT_EQ(ReplaceAll(text, "%storename%", "Corner Shop", true), expected);
  EXPECT_EQ(ReplaceAll(text, "%storename%", "Corner Shop", false), text);
}

}  // namespace
}  // namespace zarel::engine_text
