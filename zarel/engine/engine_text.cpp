// Text routines of the engine (see engine_text.h).
#include "zarel/engine/engine_text.h"

#include <algorithm>

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

// The first place at or after from where find occurs, or npos. Without
// regard to case, the text is searched for the first character in either
// case, and each place found is compared whole.
std::size_t FindFrom(std::string_view text, std::string_view find, std::size_t from, bool ignore_case) {
  if (!ignore_case) return text.find(find, from);
  const char lower = LowerAsciiChar(find[0]);
  const char upper = UpperAsciiChar(find[0]);
  std::size_t next_lower = text.find(lower, from);
  std::size_t next_upper = lower == upper ? std::string_view::npos : text.find(upper, from);
  while (true) {
    const std::size_t at = std::min(next_lower, next_upper);
    if (at == std::string_view::npos) return at;
    if (MatchesAt(text, at, find, true)) return at;
    if (at == next_lower) {
      next_lower = text.find(lower, at + 1);
    } else {
      next_upper = text.find(upper, at + 1);
    }
  }
}

}  // namespace

std::string ReplaceAll(std::string_view text, std::string_view find, std::string_view replacement,
                       bool ignore_case) {
  if (find.empty()) return std::string(text);
  std::string result;
  result.reserve(text.size());
  // The text between matches is copied in runs, not a character at a time.
  std::size_t copied = 0;
  for (std::size_t at = FindFrom(text, find, 0, ignore_case); at != std::string_view::npos;
       at = FindFrom(text, find, copied, ignore_case)) {
    result.append(text, copied, at - copied);
    result.append(replacement);
    copied = at + find.size();
  }
  result.append(text, copied);
  return result;
}

std::string_view FirstPart(std::string_view text, std::string_view separator) {
  const std::size_t at = text.find(separator);
  return at == std::string_view::npos ? text : text.substr(0, at);
}

}  // namespace zarel::engine_text
