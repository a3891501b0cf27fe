// Letter case, blanks and character classes: only ASCII letters fold, UTF-8
// bytes and the non-breaking space are left alone, and every class answers
// the same whatever the locale.
#include "zarel/base/ascii_text.h"

#include <gtest/gtest.h>

#include <clocale>
#include <string>

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
  EXPECT_EQ(TrimSpaceOrTab(" \t x y\t "), "x y");
  EXPECT_EQ(TrimSpaceOrTab("\r\nx\n"), "\r\nx\n");
  EXPECT_EQ(TrimSpaceOrTab(" \t"), "");
}

// One row per character: which classes it belongs to. The columns are
// digit (d), hex digit (h), letter (l), space or tab (t), white space (w),
// SQL space (q), word start (s), word character (w), name character (n).
TEST(AsciiTextTest, CharacterClasses) {
  struct Case {
    char c;
    const char* classes;  // one letter per column, '-' for not in it
  };
  const Case cases[] = {
      {'0', "dh-----wn"}, {'9', "dh-----wn"}, {'a', "-hl---swn"}, {'f', "-hl---swn"},
      {'F', "-hl---swn"}, {'g', "--l---swn"}, {'Z', "--l---swn"}, {'_', "------swn"},
      {'@', "--------n"}, {'#', "--------n"}, {'$', "--------n"}, {' ', "---twq---"},
      {'\t', "---twq---"}, {'\r', "----wq---"}, {'\n', "----wq---"}, {'\f', "-----q---"},
      {'\v', "-----q---"}, {'\0', "---------"}, {'-', "---------"}, {'.', "---------"},
      {'`', "---------"}, {'[', "---------"}, {'{', "---------"}, {'\x7F', "---------"},
      {'\xC3', "------swn"},  // a byte of a UTF-8 letter
      {'\xA0', "------swn"},  // the second byte of a non-breaking space
  };
  const auto row = [](char c) {
    std::string classes;
    classes += IsAsciiDigit(c) ? 'd' : '-';
    classes += IsAsciiHexDigit(c) ? 'h' : '-';
    classes += IsAsciiLetter(c) ? 'l' : '-';
    classes += IsSpaceOrTab(c) ? 't' : '-';
    classes += IsWhiteSpace(c) ? 'w' : '-';
    classes += IsSqlSpace(c) ? 'q' : '-';
    classes += IsWordStart(c) ? 's' : '-';
    classes += IsWordChar(c) ? 'w' : '-';
    classes += IsNameChar(c) ? 'n' : '-';
    return classes;
  };
  for (const Case& c : cases) {
    EXPECT_EQ(row(c.c), c.classes) << "character " << static_cast<int>(static_cast<unsigned char>(c.c));
  }
  // A locale whose letters include bytes beyond ASCII changes nothing.
  if (std::setlocale(LC_ALL, "C.UTF-8") != nullptr || std::setlocale(LC_ALL, "en_US.UTF-8") != nullptr) {
    for (const Case& c : cases) EXPECT_EQ(row(c.c), c.classes);
    EXPECT_EQ(LowerAscii("\xC3\x84Q"), "\xC3\x84q");
    std::setlocale(LC_ALL, "C");
  }
  for (int c = 0; c < 256; ++c) {
    const char ch = static_cast<char>(c);
    EXPECT_EQ(IsAsciiAlphanumeric(ch), IsAsciiLetter(ch) || IsAsciiDigit(ch));
    EXPECT_EQ(IsNonAscii(ch), c >= 0x80);
    EXPECT_EQ(IsAsciiControl(ch), c < 0x20 || c == 0x7F);
    EXPECT_EQ(LowerAsciiChar(ch) != ch, c >= 'A' && c <= 'Z');
    EXPECT_EQ(UpperAsciiChar(ch) != ch, c >= 'a' && c <= 'z');
  }
}

}  // namespace
}  // namespace zarel
