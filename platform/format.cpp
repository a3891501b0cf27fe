// Format: text of values by number and date patterns.
#include "platform/format.h"

#include <charconv>

#include "platform/date_time.h"

namespace zarel {

namespace {

void AppendNumber(std::string& text, int value, int width) {
  char buffer[16];
  auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  for (auto length = result.ptr - buffer; length < width; ++length) text.push_back('0');
  text.append(buffer, result.ptr);
}

}  // namespace

std::string GeneralDateText(Date date, const Locale& locale) {
  DateParts parts = SplitDate(date);
  std::string text;
  bool has_date = HasDatePart(date);
  bool has_time = HasTimePart(date);
  if (has_date) {
    AppendNumber(text, parts.month, 1);
    text.push_back('/');
    AppendNumber(text, parts.day, 1);
    text.push_back('/');
    AppendNumber(text, parts.year, 4);
  }
  if (has_time || !has_date) {
    if (has_date) text.push_back(' ');
    int hour = parts.hour % 12 == 0 ? 12 : parts.hour % 12;
    AppendNumber(text, hour, 1);
    text.push_back(':');
    AppendNumber(text, parts.minute, 2);
    text.push_back(':');
    AppendNumber(text, parts.second, 2);
    text.push_back(' ');
    text += parts.hour < 12 ? locale.am : locale.pm;
  }
  return text;
}

std::string Format(const Variant& value, std::string_view pattern, const Locale& locale) {
  (void)pattern;
  (void)locale;
  return value.TextOrEmpty();
}

}  // namespace zarel
