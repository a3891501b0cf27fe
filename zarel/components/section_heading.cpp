// The section heading, caption rule, field type groups and helpers that all
// renderers share.
#include "zarel/components/section_heading.h"

#include <cstdlib>

#include "zarel/base/error.h"

namespace zarel {

using namespace renderer_text;

TypeGroup TypeGroupOf(int field_type) {
  switch (field_type) {
    case fieldtype::kSmallInt:
    case fieldtype::kInteger:
    case fieldtype::kSingle:
    case fieldtype::kTinyInt:
    case fieldtype::kUnsignedTinyInt:
    case fieldtype::kUnsignedSmallInt:
    case fieldtype::kUnsignedInt:
    case fieldtype::kBigInt:
    case fieldtype::kUnsignedBigInt:
      return TypeGroup::kInteger;
    case fieldtype::kDouble:
    case fieldtype::kCurrency:
    case fieldtype::kDecimal:
    case fieldtype::kNumeric:
    case fieldtype::kVarNumeric:
      return TypeGroup::kDecimal;
    case fieldtype::kDate:
    case fieldtype::kFileTime:
    case fieldtype::kDBDate:
    case fieldtype::kDBTime:
    case fieldtype::kDBTimeStamp:
      return TypeGroup::kDate;
    default:
      return TypeGroup::kOther;
  }
}

std::string_view TypeCodeOf(TypeGroup group) {
  switch (group) {
    case TypeGroup::kInteger:
      return "Int";
    case TypeGroup::kDecimal:
      return "Dbl";
    case TypeGroup::kDate:
      return "Dte";
    case TypeGroup::kOther:
      break;
  }
  return " ";
}

std::string_view FormTypeCodeOf(int field_type) {
  if (field_type == fieldtype::kLongVarWChar) return "Htm";
  return TypeCodeOf(TypeGroupOf(field_type));
}

namespace {

std::string PaddedDigits(std::int64_t number, std::size_t width) {
  const bool negative = number < 0;
  // The magnitude as unsigned, so the smallest number has one too.
  std::uint64_t magnitude = negative ? 0 - static_cast<std::uint64_t>(number)
                                     : static_cast<std::uint64_t>(number);
  std::string digits = std::to_string(magnitude);
  if (digits.size() < width) digits.insert(0, width - digits.size(), '0');
  if (negative) digits.insert(0, 1, '-');
  return digits;
}

}  // namespace

std::string ComponentDigits(std::int64_t number) { return PaddedDigits(number, 3); }
std::string LevelDigits(std::int64_t number) { return PaddedDigits(number, 2); }

std::string ApplyCaptionRule(const RenderContext& context, const std::string& caption) {
  if (!EndsWith(TrimBlanks(caption), "+")) return caption;
  std::string result;
  result.reserve(caption.size() + 16);
  for (char c : caption) {
    if (c == '+') {
      result += ": ";
    } else {
      result += c;
    }
  }
  result += context.SelectedNodeText();
  return result;
}

std::string SectionHeading(const RenderContext& context, const std::string& caption,
                           std::int32_t component) {
  if (caption.empty()) return std::string();
  std::string heading = "<p id='TTL";
  heading += ComponentDigits(component);
  heading += "' class=ph><img src='circle.gif'>  ";
  heading += ApplyCaptionRule(context, caption);
  return heading;
}

std::string SectionTableStart(std::int32_t component) {
  std::string start = "<table id='TBL";
  start += ComponentDigits(component);
  start += "' cellspacing=1 border=1 width=100%>";
  return start;
}

Recordset& RequireRecordset(const std::shared_ptr<Recordset>& recordset) {
  if (!recordset) Raise(errc::kObjectNotSet);
  return *recordset;
}

namespace renderer_text {

bool EndsWith(std::string_view text, std::string_view tail) {
  return text.size() >= tail.size() && text.substr(text.size() - tail.size()) == tail;
}

std::vector<std::string> SplitText(std::string_view text, char separator) {
  std::vector<std::string> parts;
  if (text.empty()) return parts;
  std::size_t start = 0;
  while (true) {
    std::size_t end = text.find(separator, start);
    if (end == std::string_view::npos) {
      parts.emplace_back(text.substr(start));
      return parts;
    }
    parts.emplace_back(text.substr(start, end - start));
    start = end + 1;
  }
}

std::string AllButFirstOrdinals(int field_count) {
  std::string list;
  for (int ordinal = 1; ordinal <= field_count - 2; ++ordinal) {
    list += std::to_string(ordinal);
    list += ':';
  }
  list += std::to_string(field_count - 1);
  return list;
}

}  // namespace renderer_text

void ReportCurrentFailure(RenderContext& context, std::string_view prefix) {
  const RuntimeError error = CurrentError();
  if (context.Talking()) context.ZarelMessage(ErrorText(prefix, error));
}

}  // namespace zarel
