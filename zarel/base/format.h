// Format(value, pattern): text of a value by a pattern, as site authors write
// them in DateFormat and as the renderers use them.
//
// Number patterns: 0 (digit), # (optional digit), "." (decimal point), ","
// between digit placeholders (grouping in threes by the locale: "#,##,##0.00"
// gives 1,200,000.50), "," right before the point or at the end of the
// digits (divides by 1,000), "%" (percent), and literal text in quotes,
// after a backslash, or any other character. The number is rounded half
// away from zero at the shown decimals, from its 15-digit text for a Double
// (1.005 gives 1.01); a negative number gets a leading "-" unless it shows as
// zero. Up to four sections separated by ";" apply to positive, negative,
// zero and Null values ("0.00;(0.00);\"zero\""); an empty section falls
// back to the first.
//
// Date patterns: d dd ddd dddd ddddd (short date) dddddd (long date), w ww,
// m mm mmm mmmm (month names whatever the letter case: "Mmm" gives "Dec"),
// q, y yy yyyy, h hh, n nn, s ss, ttttt (long time), c (general date),
// AM/PM am/pm A/P a/p (the pattern's own letters; they make hours run 1 to
// 12), AMPM (the locale's designator), "m" or "mm" right after an hour or
// right before seconds meaning minutes, quoted and backslash literals; other
// characters are written as they are. Named formats (any letter case):
// General Date, Long Date, Medium Date, Short Date, Long Time, Medium Time,
// Short Time, General Number, Fixed, Standard, Percent.
//
// A pattern with digit placeholders is a number pattern (its letters are
// literal: "0.00 USD"); otherwise one with date fields is a date pattern; a
// pattern with neither gives the value's own text. A text value is read back
// as a number for number patterns and as a date for date patterns (see
// ParseDate); a text that is no number (or no date) comes back unchanged.
// Numbers under date patterns are date serials; Dates under number patterns
// are their serials. An empty pattern gives the value's own text. Empty
// gives ""; Null gives "" (or the text of a fourth number section).
//
// Threads: Format may be called from any thread at once. It keeps the
// patterns it has read last in a small cache of each thread's own, so no
// call waits for another and no thread sees another's cache.
#ifndef ZAREL_BASE_FORMAT_H_
#define ZAREL_BASE_FORMAT_H_

#include <memory>
#include <string>
#include <string_view>

#include "zarel/base/locale.h"
#include "zarel/base/variant.h"

namespace zarel {

std::string Format(const Variant& value, std::string_view pattern,
                   const Locale& locale = Locale::Current());

struct CompiledPattern;

// A pattern read once for many values, as a report grid formats every cell
// of a column with one pattern: AppendTo appends exactly what Format gives,
// without looking the pattern up again for each value.
//
// Threads: a FormatPattern never changes after it is made; it may be used
// from several threads at once.
class FormatPattern {
 public:
  explicit FormatPattern(std::string_view pattern);
  ~FormatPattern();
  FormatPattern(const FormatPattern&);
  FormatPattern& operator=(const FormatPattern&);

  const std::string& Text() const { return pattern_; }
  // Appends Format(value, Text(), locale) to text.
  void AppendTo(std::string& text, const Variant& value,
                const Locale& locale = Locale::Current()) const;

 private:
  std::string pattern_;
  std::shared_ptr<const CompiledPattern> compiled_;
};

// The locale's text of a date: the general date ("12/5/2026 2:05:09 PM";
// only the date when there is no time, only the time when there is no date).
std::string GeneralDateText(Date date, const Locale& locale = Locale::Current());

}  // namespace zarel

#endif  // ZAREL_BASE_FORMAT_H_
