// Small text routines that the engine's files share: replacement with or
// without regard to case, the first part of a key, and the separator of node
// tags and keys. Letter case and blanks are zarel/base/ascii_text.h's.
#ifndef ZAREL_ENGINE_ENGINE_TEXT_H_
#define ZAREL_ENGINE_ENGINE_TEXT_H_

#include <string>
#include <string_view>

#include "zarel/base/ascii_text.h"

// The routines live in their own namespace, so they never meet routines of
// the same name in other layers.
namespace zarel::engine_text {

// Joins the parts of node tags ("12»variable") and keys ("7»variable»17"):
// the character U+00BB.
inline constexpr std::string_view kTagSeparator = "\xC2\xBB";

// Every occurrence of find replaced by replacement, scanning left to right;
// replaced text is not scanned again. With ignore_case, ASCII letters match
// in either case. An empty find leaves the text as it is.
std::string ReplaceAll(std::string_view text, std::string_view find, std::string_view replacement,
                       bool ignore_case = false);

// The part of text before the first occurrence of separator, or the whole
// text when it holds none.
std::string_view FirstPart(std::string_view text, std::string_view separator);

}  // namespace zarel::engine_text

#endif  // ZAREL_ENGINE_ENGINE_TEXT_H_
