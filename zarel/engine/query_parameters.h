// Query parameters and value formatting, shared by the navigation tree,
// page composition and the renderers.
//
// ApplyQueryParameters turns a parameter keyword of a site table row into
// the argument text that follows a procedure's name in "EXEC name"; it
// takes the value from the tree view's selected node or the clock:
//   "text"   " 'node text'"        apostrophes doubled
//   "today"  " '05 Dec 2026'"      the current date, "dd Mmm yyyy"
//   "lkey"   " 17"                 the key part before the first "»", as
//                                  exactly one argument: unquoted where it is
//                                  a number that reaches the procedure as
//                                  written, otherwise quoted (" '1, 2'")
//   "skey"   " '17'"               the same, quoted, apostrophes doubled
// Keywords match in any letter case; any other keyword gives "". Every
// argument text starts with its own space. Nothing is ever raised: when the
// value cannot be read (no tree view, no selected node, an empty key) the
// result is "".
//
// FormatValue shows a database value by type code: the value's text without
// surrounding spaces, then for "Dbl" the pattern "#,##,##0.00", for "Dte"
// the engine's DateFormat (none when it is empty); every other code ("Int",
// "Htm", " ") leaves the text as it is. Null gives one non-breaking space
// (U+00A0). Texts that are no number or date come back as they are.
#ifndef ZAREL_ENGINE_QUERY_PARAMETERS_H_
#define ZAREL_ENGINE_QUERY_PARAMETERS_H_

#include <cstdint>
#include <string>
#include <string_view>

#include "zarel/base/variant.h"
#include "zarel/hostkit/host_controls.h"

namespace zarel {

// U+00A0, what FormatValue shows for Null.
inline constexpr std::string_view kNonBreakingSpace = "\xC2\xA0";

std::string ApplyQueryParameters(std::string_view keyword, const TreeView* tree_view);

std::string FormatValue(const Variant& value, std::string_view type_code,
                        const std::string& date_format);
// FormatValue appended to text, as report lines are built.
void AppendFormattedValue(std::string& text, const Variant& value, std::string_view type_code,
                          const std::string& date_format);

// The Integer 0 for Null, otherwise the value itself, unchanged.
Variant NullToZero(const Variant& value);

// 0 for Null, otherwise the value as a 16-bit integer (nearest, ties to
// even; 13 for a text that is no number, 6 outside the range).
std::int16_t NullToInteger(const Variant& value);

}  // namespace zarel

#endif  // ZAREL_ENGINE_QUERY_PARAMETERS_H_
