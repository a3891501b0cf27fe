// Letter case and blanks the way the whole system treats them: only the
// ASCII letters A-Z and a-z have a case (every other byte, UTF-8 included,
// stays as it is), and only the blank character itself is trimmed (a
// non-breaking space stays). Names of fields, procedures, properties and
// keywords are compared this way in every layer.
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

// The text without leading and trailing blanks.
std::string TrimBlanks(std::string_view text);

}  // namespace zarel

#endif  // ZAREL_BASE_ASCII_TEXT_H_
