// Letter case and character classes the way the whole system treats them,
// in one place: every lexer (SQL text, EXEC calls, shape commands, numbers
// and dates as text, saved forms, the web host's headers) and every name
// comparison uses these, never the C library's locale-dependent
// std::tolower or std::isspace.
//
// - Only the ASCII letters A-Z and a-z have a case; every other byte, UTF-8
//   included, stays as it is.
// - Three sets of blanks, each for its own kind of text:
//     IsSpaceOrTab  ' ' and tab: blanks inside one line (saved form lines,
//                   sort and filter clauses, connection keywords)
//     IsWhiteSpace  also CR and LF: blanks of values written as text
//                   (numbers, dates) and of XML
//     IsSqlSpace    also form feed and vertical tab: blanks of SQL and of
//                   the texts that wrap it (EXEC calls, shape commands), as
//                   both database engines count them
//   TrimBlanks removes the space character only, as the language's Trim
//   does (a tab or a non-breaking space stays).
// - Words of SQL start with a letter, '_' or a byte of a UTF-8 character
//   and go on with those and digits; names in EXEC calls and shape commands
//   may also hold '@', '#' and '$' after their first character.
//
// Everything here is a pure function: safe from any thread.
#ifndef ZAREL_BASE_ASCII_TEXT_H_
#define ZAREL_BASE_ASCII_TEXT_H_

#include <string>
#include <string_view>

namespace zarel {

constexpr char LowerAsciiChar(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}
constexpr char UpperAsciiChar(char c) {
  return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

std::string LowerAscii(std::string_view text);
std::string UpperAscii(std::string_view text);

// Whether the texts are equal when ASCII letters are compared without
// regard to case.
bool EqualIgnoringAsciiCase(std::string_view a, std::string_view b);

// The text without leading and trailing space characters.
std::string TrimBlanks(std::string_view text);

// The text without leading and trailing spaces and tabs.
std::string_view TrimSpaceOrTab(std::string_view text);

constexpr bool IsAsciiDigit(char c) { return c >= '0' && c <= '9'; }
constexpr bool IsAsciiLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
constexpr bool IsAsciiAlphanumeric(char c) { return IsAsciiLetter(c) || IsAsciiDigit(c); }
constexpr bool IsAsciiHexDigit(char c) {
  return IsAsciiDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}
// A byte of a UTF-8 character beyond ASCII (any byte from 0x80 on).
constexpr bool IsNonAscii(char c) { return static_cast<unsigned char>(c) >= 0x80; }
// A control character: below 0x20, or DEL.
constexpr bool IsAsciiControl(char c) {
  return static_cast<unsigned char>(c) < 0x20 || c == '\x7F';
}

constexpr bool IsSpaceOrTab(char c) { return c == ' ' || c == '\t'; }
constexpr bool IsWhiteSpace(char c) { return IsSpaceOrTab(c) || c == '\r' || c == '\n'; }
constexpr bool IsSqlSpace(char c) { return IsWhiteSpace(c) || c == '\f' || c == '\v'; }

constexpr bool IsWordStart(char c) { return IsAsciiLetter(c) || c == '_' || IsNonAscii(c); }
constexpr bool IsWordChar(char c) { return IsWordStart(c) || IsAsciiDigit(c); }
constexpr bool IsNameChar(char c) { return IsWordChar(c) || c == '@' || c == '#' || c == '$'; }

}  // namespace zarel

#endif  // ZAREL_BASE_ASCII_TEXT_H_
