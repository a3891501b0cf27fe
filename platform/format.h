// Format(value, pattern): text of a value by a pattern, as site authors write
// them in DateFormat and as the renderers use them.
//
// Number patterns: 0 (digit), # (optional digit), "." (decimal point), ","
// between digit placeholders (grouping in threes by the locale: "#,##,##0.00"
// gives 1,200,000.50), "%" (percent), and literal text in quotes or after a
// backslash. Date patterns: d dd ddd dddd, m mm mmm mmmm (and "Mmm"-style
// capitalised month names), yy yyyy, h hh, n nn, s ss, AM/PM am/pm A/P a/p
// AMPM (the locale's designator), "m" right after h or hh meaning minutes,
// ":" and "/" separators, quoted and backslash literals. Named formats:
// General Date, Long Date, Medium Date, Short Date, Long Time, Medium Time,
// Short Time, General Number, Fixed, Standard, Percent.
//
// A text value is read back as a number for number patterns and as a date
// for date patterns; a text that is no number (or no date) comes back
// unchanged. An empty pattern gives the value's own text. Null gives "".
#ifndef ZAREL_PLATFORM_FORMAT_H_
#define ZAREL_PLATFORM_FORMAT_H_

#include <string>
#include <string_view>

#include "platform/locale.h"
#include "platform/variant.h"

namespace zarel {

std::string Format(const Variant& value, std::string_view pattern,
                   const Locale& locale = Locale::Current());

// The locale's text of a date: the general date ("12/5/2026 2:05:09 PM";
// only the date when there is no time, only the time when there is no date).
std::string GeneralDateText(Date date, const Locale& locale = Locale::Current());

}  // namespace zarel

#endif  // ZAREL_PLATFORM_FORMAT_H_
