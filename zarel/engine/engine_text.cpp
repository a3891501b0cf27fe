// Text routines of the engine (see engine_text.h).
#include "zarel/engine/engine_text.h"

namespace zarel::engine_text {

namespace {

bool MatchesAt(std::string_view text, std::size_t at, std::string_view find, bool ignore_case) {
  if (text.size() - at < find.size()) return false;
  for (std::size_t i = 0; i < find.size(); ++i) {
    char a = text[at + i];
    char b = find[i];
    if (ignore_case) {
      a = LowerAsciiChar(a);
      b = LowerAsciiChar(b);
    }
    if (a != b) return false;
  }
  return true;
}

}  // namespace

std::string ReplaceAll(std::string_view text, std::string_view find, std::string_view replacement,
                       bool ignore_case) {
  if (find.empty()) return std::string(text);
  std::string result;
  result.reserve(text.size());
  std::size_t at = 0;
  while (at < text.size()) {
    if (MatchesAt(text, at, find, ignore_case)) {
      result += replacement;
      at += find.size();
    } else {
      result += text[at];
      ++at;
    }
  }
  return result;
}

std::string_view FirstPart(std::string_view text, std::string_view separator) {
  const std::size_t at = text.find(separator);
  return at == std::string_view::npos ? text : text.substr(0, at);
}

}  // namespace zarel::engine_text
