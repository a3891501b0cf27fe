// What the renderers share: the section heading that opens a component's
// section, the caption rule, the field type groups that choose a value's
// type code and its cell's alignment, the numbering of element ids, and the
// small text and failure helpers every renderer uses.
#ifndef ZAREL_COMPONENTS_SECTION_HEADING_H_
#define ZAREL_COMPONENTS_SECTION_HEADING_H_

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "zarel/base/ascii_text.h"
#include "zarel/components/render_context.h"
#include "zarel/db/recordset.h"

namespace zarel {

// U+00A0: what a Null value or a Null option becomes, and the content of a
// blank cell.
inline constexpr std::string_view kNbsp = "\xC2\xA0";

// The groups of field types that decide formatting and alignment.
enum class TypeGroup { kInteger, kDecimal, kDate, kOther };

// integer: 2, 3, 4 (single-precision floats are shown as plain text), 16 to
// 21; decimal: 5, 6, 14, 131, 139; date: 7, 64, 133, 134, 135; every other
// type is in the other group.
TypeGroup TypeGroupOf(int field_type);

// The FormatValue type code of a group: "Int", "Dbl", "Dte", " ".
std::string_view TypeCodeOf(TypeGroup group);

// The type code of a value cell in the forms and the gallery: the code of
// the field's group, except "Htm" for long text (203), which carries HTML.
std::string_view FormTypeCodeOf(int field_type);

// True for the groups whose cells are right-aligned (integer, decimal, date).
inline bool IsRightAligned(TypeGroup group) { return group != TypeGroup::kOther; }

// Element id numbers: a component number zero-padded to three digits ("007",
// "042", "1234") and a level or chapter number to two ("01", "12", "123").
// A negative number keeps its sign in front of the padded digits.
std::string ComponentDigits(std::int64_t number);
std::string LevelDigits(std::int64_t number);

// The caption rule: when the caption without its surrounding spaces ends in
// "+", every "+" becomes ": " and the selected tree node's text is
// appended ("Orders for+" on the node Smith gives "Orders for: Smith").
// Raises what SelectedNodeText raises when no node is selected.
std::string ApplyCaptionRule(const RenderContext& context, const std::string& caption);

// The section heading: empty for an empty caption; otherwise, after the
// caption rule, "<p id='TTLnnn' class=ph><img src='circle.gif'>  " and the
// caption. The paragraph is left open: the section's table follows on the
// same line.
std::string SectionHeading(const RenderContext& context, const std::string& caption,
                           std::int32_t component);

// The opening of a section's table, "<table id='TBLnnn' cellspacing=1
// border=1 width=100%>", used by the grids, the forms and the gallery.
std::string SectionTableStart(std::int32_t component);

// The recordset a renderer was given; error 91 when the variable holds none
// (the data gate got no recordset).
Recordset& RequireRecordset(const std::shared_ptr<Recordset>& recordset);

// Text helpers of the renderers, beside the platform's letter case and
// blanks (zarel/base/ascii_text.h). They live in their own namespace, clear of
// routines of the same name in other layers.
namespace renderer_text {

bool EndsWith(std::string_view text, std::string_view tail);

// Splits text at every separator; an empty text gives no parts, and empty
// parts between separators are kept ("1::2" gives "1", "", "2").
std::vector<std::string> SplitText(std::string_view text, char separator);

// The ordinals of all fields but the first, joined by ":" ("1:2:3" for four
// fields, "1" for two); for a single field the list is "0" in the grids.
std::string AllButFirstOrdinals(int field_count);

}  // namespace renderer_text

// Reports the failure being handled (call inside a catch block): when the
// context is talking, raises ZarelMessage with the prefix, the error number,
// ", " and its description.
void ReportCurrentFailure(RenderContext& context, std::string_view prefix);

}  // namespace zarel

#endif  // ZAREL_COMPONENTS_SECTION_HEADING_H_
