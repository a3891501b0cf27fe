// Format: the text of a value by a number pattern, a date pattern or a named
// format.
//
// A pattern is compiled once into tokens (kept in a small per-thread cache,
// since report pages format every cell of a column with the same pattern)
// and the tokens are then written out for each value.
//
// Whether a pattern formats numbers or dates follows from its tokens: digit
// placeholders ("0", "#") make it a number pattern (whose other letters are
// literal text, "0.00 USD"), otherwise any date or time field makes it a
// date pattern; a pattern with neither leaves the value's text as it is.
#include "zarel/base/format.h"

#include <array>
#include <charconv>
#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

#include "zarel/base/ascii_text.h"
#include "zarel/base/date_time.h"
#include "zarel/base/error.h"
#include "zarel/base/number_text.h"

namespace zarel {

namespace {


void AppendNumber(std::string& text, long long value, int width) {
  char buffer[24];
  auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  for (auto length = result.ptr - buffer; length < width; ++length) text.push_back('0');
  text.append(buffer, result.ptr);
}

// ---- Date patterns ----

enum class DateField {
  kLiteral,
  kGeneralDate,  // c
  kDay,          // d
  kDay2,         // dd
  kDayAbbreviation,
  kDayName,
  kShortDate,  // ddddd
  kLongDate,   // dddddd
  kWeekday,    // w: 1 (Sunday) to 7
  kWeekOfYear,  // ww
  kMonth,       // m, or minutes after an hour or before seconds
  kMonth2,
  kMonthAbbreviation,
  kMonthName,
  kQuarter,    // q
  kDayOfYear,  // y
  kYear2,
  kYear4,
  kHour,
  kHour2,
  kMinute,
  kMinute2,
  kSecond,
  kSecond2,
  kLongTime,         // ttttt
  kDesignator,       // AM/PM, am/pm, A/P, a/p: the pattern's own letters
  kLocaleDesignator  // AMPM: the locale's designator
};

struct DateToken {
  DateField field = DateField::kLiteral;
  std::string text;     // a literal, or the morning designator
  std::string evening;  // the afternoon designator
};

// ---- Number patterns ----

enum class NumberPart { kLiteral, kWholeDigit, kFractionDigit, kDecimalPoint };

struct NumberToken {
  NumberPart part = NumberPart::kLiteral;
  std::string text;  // literals
};

// One section of a number pattern (positive;negative;zero;null).
struct NumberSection {
  std::vector<NumberToken> tokens;
  int whole_placeholders = 0;
  int min_whole_digits = 0;  // placeholders from the first "0" to the point
  int fraction_placeholders = 0;
  int min_fraction_digits = 0;  // up to the last "0" after the point
  bool grouping = false;
  int thousands_scale = 0;  // commas right before the point divide by 1000
  int percents = 0;
  bool empty = true;  // nothing at all was written for this section
  // Digits alone: the whole placeholders, then the point and the fraction
  // placeholders if any, and no literal text.
  bool digits_only = false;
  bool has_point = false;
};

enum class Named {
  kNone,
  kGeneralDate,
  kLongDate,
  kMediumDate,
  kShortDate,
  kLongTime,
  kMediumTime,
  kShortTime,
  kGeneralNumber,
  kFixed,
  kStandard,
  kPercent,
};

enum class PatternKind { kNamed, kDate, kNumber, kPlain };

}  // namespace

struct CompiledPattern {
  PatternKind kind = PatternKind::kPlain;
  Named named = Named::kNone;
  std::vector<DateToken> date_tokens;
  bool twelve_hour = false;
  std::vector<NumberSection> sections;
};

namespace {

Named NamedFormatOf(std::string_view pattern) {
  static constexpr std::array<std::pair<std::string_view, Named>, 11> kNames = {{
      {"General Date", Named::kGeneralDate},
      {"Long Date", Named::kLongDate},
      {"Medium Date", Named::kMediumDate},
      {"Short Date", Named::kShortDate},
      {"Long Time", Named::kLongTime},
      {"Medium Time", Named::kMediumTime},
      {"Short Time", Named::kShortTime},
      {"General Number", Named::kGeneralNumber},
      {"Fixed", Named::kFixed},
      {"Standard", Named::kStandard},
      {"Percent", Named::kPercent},
  }};
  for (const auto& [name, named] : kNames) {
    if (EqualIgnoringAsciiCase(pattern, name)) return named;
  }
  return Named::kNone;
}

std::size_t RunLength(std::string_view pattern, std::size_t at, char lower_letter) {
  std::size_t end = at;
  while (end < pattern.size() && LowerAsciiChar(pattern[end]) == lower_letter) ++end;
  return end - at;
}

void AddDateLiteral(std::vector<DateToken>& tokens, std::string_view text) {
  if (!tokens.empty() && tokens.back().field == DateField::kLiteral) {
    tokens.back().text += text;
  } else {
    tokens.push_back({DateField::kLiteral, std::string(text), {}});
  }
}

// Reads a quoted or backslash literal at `at`; returns the characters used
// (0 when there is none).
std::size_t ReadLiteral(std::string_view pattern, std::size_t at, std::string_view& literal) {
  if (pattern[at] == '"') {
    std::size_t close = pattern.find('"', at + 1);
    if (close == std::string_view::npos) close = pattern.size();
    literal = pattern.substr(at + 1, close - at - 1);
    return std::min(close + 1, pattern.size()) - at;
  }
  if (pattern[at] == '\\') {
    literal = pattern.substr(at + 1, at + 1 < pattern.size() ? 1 : 0);
    return at + 1 < pattern.size() ? 2 : 1;
  }
  return 0;
}

// Compiles the date and time fields of a pattern; false when it has none.
bool CompileDatePattern(std::string_view pattern, CompiledPattern& compiled) {
  std::vector<DateToken>& tokens = compiled.date_tokens;
  bool any_field = false;
  std::size_t at = 0;
  while (at < pattern.size()) {
    std::string_view literal;
    if (std::size_t used = ReadLiteral(pattern, at, literal)) {
      AddDateLiteral(tokens, literal);
      at += used;
      continue;
    }
    char letter = LowerAsciiChar(pattern[at]);
    std::size_t run = RunLength(pattern, at, letter);
    DateToken token;
    std::size_t used = 0;
    switch (letter) {
      case 'c':
        token.field = DateField::kGeneralDate;
        used = 1;
        break;
      case 'd': {
        static constexpr DateField kDays[] = {DateField::kDay,       DateField::kDay2,
                                              DateField::kDayAbbreviation, DateField::kDayName,
                                              DateField::kShortDate, DateField::kLongDate};
        used = std::min<std::size_t>(run, 6);
        token.field = kDays[used - 1];
        break;
      }
      case 'w':
        used = std::min<std::size_t>(run, 2);
        token.field = used == 2 ? DateField::kWeekOfYear : DateField::kWeekday;
        break;
      case 'm': {
        static constexpr DateField kMonths[] = {DateField::kMonth, DateField::kMonth2,
                                                DateField::kMonthAbbreviation,
                                                DateField::kMonthName};
        used = std::min<std::size_t>(run, 4);
        token.field = kMonths[used - 1];
        break;
      }
      case 'q':
        token.field = DateField::kQuarter;
        used = 1;
        break;
      case 'y':
        used = run >= 4 ? 4 : run >= 2 ? 2 : 1;
        token.field = used == 4 ? DateField::kYear4
                      : used == 2 ? DateField::kYear2
                                  : DateField::kDayOfYear;
        break;
      case 'h':
        used = std::min<std::size_t>(run, 2);
        token.field = used == 2 ? DateField::kHour2 : DateField::kHour;
        break;
      case 'n':
        used = std::min<std::size_t>(run, 2);
        token.field = used == 2 ? DateField::kMinute2 : DateField::kMinute;
        break;
      case 's':
        used = std::min<std::size_t>(run, 2);
        token.field = used == 2 ? DateField::kSecond2 : DateField::kSecond;
        break;
      case 't':
        if (run >= 5) {
          token.field = DateField::kLongTime;
          used = 5;
        }
        break;
      case 'a': {
        std::string_view rest = pattern.substr(at);
        if (rest.size() >= 5 && EqualIgnoringAsciiCase(rest.substr(0, 5), "am/pm")) {
          token = {DateField::kDesignator, std::string(rest.substr(0, 2)),
                   std::string(rest.substr(3, 2))};
          used = 5;
        } else if (rest.size() >= 4 && EqualIgnoringAsciiCase(rest.substr(0, 4), "ampm")) {
          token.field = DateField::kLocaleDesignator;
          used = 4;
        } else if (rest.size() >= 3 && EqualIgnoringAsciiCase(rest.substr(0, 3), "a/p")) {
          token = {DateField::kDesignator, std::string(rest.substr(0, 1)),
                   std::string(rest.substr(2, 1))};
          used = 3;
        }
        break;
      }
      default:
        break;
    }
    if (used == 0) {
      AddDateLiteral(tokens, pattern.substr(at, 1));
      ++at;
      continue;
    }
    any_field = true;
    if (token.field == DateField::kDesignator || token.field == DateField::kLocaleDesignator) {
      compiled.twelve_hour = true;
    }
    tokens.push_back(std::move(token));
    at += used;
  }
  if (!any_field) {
    tokens.clear();
    return false;
  }
  // "m" and "mm" right after an hour, or right before seconds, are minutes.
  auto is_field = [](const DateToken& token) { return token.field != DateField::kLiteral; };
  for (std::size_t i = 0; i < tokens.size(); ++i) {
    DateField field = tokens[i].field;
    if (field != DateField::kMonth && field != DateField::kMonth2) continue;
    bool after_hour = false;
    for (std::size_t j = i; j-- > 0;) {
      if (!is_field(tokens[j])) continue;
      after_hour = tokens[j].field == DateField::kHour || tokens[j].field == DateField::kHour2;
      break;
    }
    bool before_second = false;
    for (std::size_t j = i + 1; j < tokens.size(); ++j) {
      if (!is_field(tokens[j])) continue;
      before_second =
          tokens[j].field == DateField::kSecond || tokens[j].field == DateField::kSecond2;
      break;
    }
    if (after_hour || before_second) {
      tokens[i].field = field == DateField::kMonth ? DateField::kMinute : DateField::kMinute2;
    }
  }
  return true;
}

// Splits a number pattern at ";" outside literals.
std::vector<std::string_view> SplitSections(std::string_view pattern) {
  std::vector<std::string_view> sections;
  std::size_t start = 0;
  std::size_t at = 0;
  while (at < pattern.size()) {
    std::string_view literal;
    if (std::size_t used = ReadLiteral(pattern, at, literal)) {
      at += used;
    } else if (pattern[at] == ';') {
      sections.push_back(pattern.substr(start, at - start));
      start = ++at;
    } else {
      ++at;
    }
  }
  sections.push_back(pattern.substr(start));
  return sections;
}

void AddNumberLiteral(NumberSection& section, std::string_view text) {
  if (!section.tokens.empty() && section.tokens.back().part == NumberPart::kLiteral) {
    section.tokens.back().text += text;
  } else {
    section.tokens.push_back({NumberPart::kLiteral, std::string(text)});
  }
}

// Compiles one section; returns whether it has a digit placeholder.
bool CompileNumberSection(std::string_view text, NumberSection& section) {
  section.empty = text.empty();
  bool seen_point = false;
  int first_zero = -1;  // index among the whole placeholders
  int last_fraction_zero = -1;
  // Commas in the whole part, as the number of whole placeholders before
  // them; resolved once all placeholders are known.
  std::vector<int> commas;
  std::size_t at = 0;
  while (at < text.size()) {
    std::string_view literal;
    if (std::size_t used = ReadLiteral(text, at, literal)) {
      AddNumberLiteral(section, literal);
      at += used;
      continue;
    }
    char c = text[at++];
    if (c == '0' || c == '#') {
      if (seen_point) {
        if (c == '0') last_fraction_zero = section.fraction_placeholders;
        ++section.fraction_placeholders;
        section.tokens.push_back({NumberPart::kFractionDigit, {}});
      } else {
        if (c == '0' && first_zero < 0) first_zero = section.whole_placeholders;
        ++section.whole_placeholders;
        section.tokens.push_back({NumberPart::kWholeDigit, {}});
      }
    } else if (c == '.' && !seen_point) {
      seen_point = true;
      section.tokens.push_back({NumberPart::kDecimalPoint, {}});
    } else if (c == ',' && !seen_point) {
      commas.push_back(section.whole_placeholders);
    } else if (c == '%') {
      ++section.percents;
      AddNumberLiteral(section, "%");
    } else {
      AddNumberLiteral(section, std::string_view(&c, 1));
    }
  }
  for (int before : commas) {
    if (before > 0 && before < section.whole_placeholders) {
      section.grouping = true;  // between digit placeholders
    } else if (before > 0) {
      ++section.thousands_scale;  // after the last one: divide by 1000
    }
  }
  if (section.whole_placeholders + section.fraction_placeholders == 0) return false;
  if (section.whole_placeholders == 0) {
    // The whole digits still have a place: right before the point, or
    // before the first fraction placeholder.
    std::size_t place = 0;
    while (place < section.tokens.size() &&
           section.tokens[place].part != NumberPart::kDecimalPoint &&
           section.tokens[place].part != NumberPart::kFractionDigit) {
      ++place;
    }
    section.tokens.insert(section.tokens.begin() + static_cast<std::ptrdiff_t>(place),
                          NumberToken{NumberPart::kWholeDigit, {}});
    section.whole_placeholders = 1;
  } else {
    section.min_whole_digits = first_zero < 0 ? 0 : section.whole_placeholders - first_zero;
  }
  section.min_fraction_digits = last_fraction_zero + 1;
  std::size_t token = 0;
  const std::vector<NumberToken>& tokens = section.tokens;
  while (token < tokens.size() && tokens[token].part == NumberPart::kWholeDigit) ++token;
  if (token < tokens.size() && tokens[token].part == NumberPart::kDecimalPoint) {
    section.has_point = true;
    ++token;
  }
  while (token < tokens.size() && tokens[token].part == NumberPart::kFractionDigit) ++token;
  section.digits_only = token == tokens.size();
  return true;
}

bool CompileNumberPattern(std::string_view pattern, CompiledPattern& compiled) {
  bool any_placeholder = false;
  for (std::string_view text : SplitSections(pattern)) {
    if (compiled.sections.size() == 4) break;
    NumberSection section;
    any_placeholder = CompileNumberSection(text, section) || any_placeholder;
    compiled.sections.push_back(std::move(section));
  }
  if (!any_placeholder) compiled.sections.clear();
  return any_placeholder;
}

CompiledPattern Compile(std::string_view pattern) {
  CompiledPattern compiled;
  compiled.named = NamedFormatOf(pattern);
  if (compiled.named != Named::kNone) {
    compiled.kind = PatternKind::kNamed;
  } else if (CompileNumberPattern(pattern, compiled)) {
    compiled.kind = PatternKind::kNumber;
  } else if (CompileDatePattern(pattern, compiled)) {
    compiled.kind = PatternKind::kDate;
  }
  return compiled;
}

// The compiled form of a pattern, from a small per-thread cache.
std::shared_ptr<const CompiledPattern> CompiledOf(std::string_view pattern) {
  struct Entry {
    std::string pattern;
    std::shared_ptr<const CompiledPattern> compiled;
  };
  constexpr std::size_t kEntries = 16;
  thread_local std::array<Entry, kEntries> cache;
  thread_local std::size_t next = 0;
  for (const Entry& entry : cache) {
    if (entry.compiled && entry.pattern == pattern) return entry.compiled;
  }
  Entry& entry = cache[next];
  next = (next + 1) % kEntries;
  entry.pattern.assign(pattern);
  entry.compiled = std::make_shared<const CompiledPattern>(Compile(pattern));
  return entry.compiled;
}

// ---- Writing dates ----

std::string FormatDate(Date date, std::string_view pattern, const Locale& locale);

int DayOfYear(const DateParts& parts) {
  Date first = MakeDate({parts.year, 1, 1, 0, 0, 0});
  Date day = MakeDate({parts.year, parts.month, parts.day, 0, 0, 0});
  return static_cast<int>(std::lround(day.Serial() - first.Serial())) + 1;
}

void WriteDate(std::string& text, Date date, const CompiledPattern& pattern,
               const Locale& locale) {
  DateParts parts = SplitDate(date);
  int hour = parts.hour;
  if (pattern.twelve_hour) hour = hour % 12 == 0 ? 12 : hour % 12;
  bool morning = parts.hour < 12;
  for (const DateToken& token : pattern.date_tokens) {
    switch (token.field) {
      case DateField::kLiteral:
        text += token.text;
        break;
      case DateField::kGeneralDate:
        text += GeneralDateText(date, locale);
        break;
      case DateField::kDay:
        AppendNumber(text, parts.day, 1);
        break;
      case DateField::kDay2:
        AppendNumber(text, parts.day, 2);
        break;
      case DateField::kDayAbbreviation:
        text += locale.day_abbreviations[static_cast<std::size_t>(Weekday(date) - 1)];
        break;
      case DateField::kDayName:
        text += locale.day_names[static_cast<std::size_t>(Weekday(date) - 1)];
        break;
      case DateField::kShortDate:
        text += FormatDate(date, locale.short_date, locale);
        break;
      case DateField::kLongDate:
        text += FormatDate(date, locale.long_date, locale);
        break;
      case DateField::kWeekday:
        AppendNumber(text, Weekday(date), 1);
        break;
      case DateField::kWeekOfYear: {
        // Weeks start on Sunday; the first week holds 1 January.
        int first_weekday = Weekday(MakeDate({parts.year, 1, 1, 0, 0, 0}));
        AppendNumber(text, (DayOfYear(parts) + first_weekday - 2) / 7 + 1, 1);
        break;
      }
      case DateField::kMonth:
        AppendNumber(text, parts.month, 1);
        break;
      case DateField::kMonth2:
        AppendNumber(text, parts.month, 2);
        break;
      case DateField::kMonthAbbreviation:
        text += locale.month_abbreviations[static_cast<std::size_t>(parts.month - 1)];
        break;
      case DateField::kMonthName:
        text += locale.month_names[static_cast<std::size_t>(parts.month - 1)];
        break;
      case DateField::kQuarter:
        AppendNumber(text, (parts.month - 1) / 3 + 1, 1);
        break;
      case DateField::kDayOfYear:
        AppendNumber(text, DayOfYear(parts), 1);
        break;
      case DateField::kYear2:
        AppendNumber(text, parts.year % 100, 2);
        break;
      case DateField::kYear4:
        AppendNumber(text, parts.year, 4);
        break;
      case DateField::kHour:
        AppendNumber(text, hour, 1);
        break;
      case DateField::kHour2:
        AppendNumber(text, hour, 2);
        break;
      case DateField::kMinute:
        AppendNumber(text, parts.minute, 1);
        break;
      case DateField::kMinute2:
        AppendNumber(text, parts.minute, 2);
        break;
      case DateField::kSecond:
        AppendNumber(text, parts.second, 1);
        break;
      case DateField::kSecond2:
        AppendNumber(text, parts.second, 2);
        break;
      case DateField::kLongTime:
        text += FormatDate(date, locale.long_time, locale);
        break;
      case DateField::kDesignator:
        text += morning ? token.text : token.evening;
        break;
      case DateField::kLocaleDesignator:
        text += morning ? locale.am : locale.pm;
        break;
    }
  }
}

std::string FormatDate(Date date, std::string_view pattern, const Locale& locale) {
  std::string text;
  WriteDate(text, date, *CompiledOf(pattern), locale);
  return text;
}

// ---- Writing numbers ----

// Writes a number by one section; `with_sign` puts "-" before a negative
// number that does not round to zero.
void WriteNumber(std::string& text, DecimalNumber number, const NumberSection& section,
                 bool with_sign, const Locale& locale) {
  number.point += 2 * section.percents - 3 * section.thousands_scale;
  RoundAwayFromZero(number, section.fraction_placeholders);
  if (with_sign && number.negative && !number.IsZero()) text.push_back('-');

  // The whole digits, padded to the required count.
  char whole_buffer[32];
  std::string whole_heap;
  std::size_t whole_count = number.point > 0 ? static_cast<std::size_t>(number.point) : 0;
  std::size_t padded = std::max(whole_count, static_cast<std::size_t>(section.min_whole_digits));
  char* whole = whole_buffer;
  if (padded > sizeof whole_buffer) {
    whole_heap.resize(padded);
    whole = whole_heap.data();
  }
  std::size_t pad = padded - whole_count;
  for (std::size_t i = 0; i < padded; ++i) {
    std::size_t digit = i - pad;
    whole[i] = i < pad || digit >= number.digits.size() ? '0' : number.digits[digit];
  }

  // The fraction digits shown: all placeholders, less trailing zeros that
  // fall on "#".
  auto fraction_digit = [&](std::size_t k) {
    std::int64_t index = number.point + static_cast<std::int64_t>(k);
    return index >= 0 && index < static_cast<std::int64_t>(number.digits.size())
               ? number.digits[static_cast<std::size_t>(index)]
               : '0';
  };
  std::size_t fraction_count = static_cast<std::size_t>(section.fraction_placeholders);
  while (fraction_count > static_cast<std::size_t>(section.min_fraction_digits) &&
         fraction_digit(fraction_count - 1) == '0') {
    --fraction_count;
  }

  const std::string& separator = locale.grouping_separator;
  if (section.digits_only) {
    // The common shape ("#,##0.00"): every whole digit in turn, then the
    // fraction, written at once.
    const std::size_t groups = section.grouping && padded > 0 ? (padded - 1) / 3 : 0;
    const std::string& point = locale.decimal_separator;
    char buffer[96];
    const std::size_t length = padded + groups * separator.size() +
                               (section.has_point ? point.size() + fraction_count : 0);
    if (length <= sizeof buffer) {
      char* out = buffer;
      for (std::size_t i = 0; i < padded; ++i) {
        *out++ = whole[i];
        if (groups > 0 && i + 1 < padded && (padded - 1 - i) % 3 == 0) {
          std::memcpy(out, separator.data(), separator.size());
          out += separator.size();
        }
      }
      if (section.has_point) {
        std::memcpy(out, point.data(), point.size());
        out += point.size();
        for (std::size_t k = 0; k < fraction_count; ++k) *out++ = fraction_digit(k);
      }
      text.append(buffer, out);
      return;
    }
  }
  auto write_whole_digit = [&](std::size_t i) {
    text.push_back(whole[i]);
    if (section.grouping && i + 1 < padded && (padded - 1 - i) % 3 == 0) text += separator;
  };
  int whole_place = 0;
  std::size_t fraction_place = 0;
  const auto placeholders = static_cast<std::int64_t>(section.whole_placeholders);
  for (const NumberToken& token : section.tokens) {
    switch (token.part) {
      case NumberPart::kLiteral:
        text += token.text;
        break;
      case NumberPart::kWholeDigit: {
        // Placeholders take digits from the right; the first takes the rest.
        std::int64_t digit = static_cast<std::int64_t>(padded) - placeholders + whole_place;
        if (whole_place == 0) {
          for (std::int64_t i = 0; i <= digit; ++i) write_whole_digit(static_cast<std::size_t>(i));
        } else if (digit >= 0) {
          write_whole_digit(static_cast<std::size_t>(digit));
        }
        ++whole_place;
        break;
      }
      case NumberPart::kDecimalPoint:
        text += locale.decimal_separator;
        break;
      case NumberPart::kFractionDigit:
        if (fraction_place < fraction_count) text.push_back(fraction_digit(fraction_place));
        ++fraction_place;
        break;
    }
  }
}

void WriteFormattedNumber(std::string& text, const DecimalNumber& number, const CompiledPattern& pattern,
                          const Locale& locale) {
  const std::vector<NumberSection>& sections = pattern.sections;
  if (number.negative && sections.size() >= 2 && !sections[1].empty) {
    DecimalNumber magnitude = number;
    magnitude.negative = false;
    WriteNumber(text, magnitude, sections[1], false, locale);
  } else if (number.IsZero() && sections.size() >= 3 && !sections[2].empty) {
    WriteNumber(text, number, sections[2], false, locale);
  } else {
    WriteNumber(text, number, sections[0], true, locale);
  }
}

std::string FormatNumber(const DecimalNumber& number, const CompiledPattern& pattern,
                         const Locale& locale) {
  std::string text;
  WriteFormattedNumber(text, number, pattern, locale);
  return text;
}

// The literal text of the fourth section, which stands for Null.
std::string NullSectionText(const CompiledPattern& pattern) {
  std::string text;
  if (pattern.kind != PatternKind::kNumber || pattern.sections.size() < 4) return text;
  for (const NumberToken& token : pattern.sections[3].tokens) {
    if (token.part == NumberPart::kLiteral) text += token.text;
  }
  return text;
}

// ---- Reading the value ----

// The value as a number for number patterns; empty for text that is no
// number.
std::optional<DecimalNumber> NumberOf(const Variant& value) {
  switch (value.Type()) {
    case VarType::kBoolean:
      return DecimalOf(static_cast<std::int64_t>(value.AsBoolean() ? -1 : 0));
    case VarType::kInteger:
    case VarType::kLong:
    case VarType::kLongLong:
      return DecimalOf(value.ToLongLong());
    case VarType::kSingle:
      return DecimalOf(value.ToSingle(), 7);
    case VarType::kDouble:
    case VarType::kDate:
      return DecimalOf(value.ToDouble(), 15);
    case VarType::kCurrency:
      return DecimalOf(value.ToCurrency());
    case VarType::kString:
      return ReadDecimal(value.AsString());
    default:
      return ReadDecimal(value.ToText());
  }
}

// The value as a date for date patterns; empty for a value that is no date.
std::optional<Date> DateOf(const Variant& value, const Locale& locale) {
  switch (value.Type()) {
    case VarType::kDate:
      return value.ToDate();
    case VarType::kString:
      return ParseDate(value.AsString(), locale);
    case VarType::kBoolean:
      return std::nullopt;
    default:
      if (value.HoldsNumber()) return value.ToDate();
      return ParseDate(value.ToText(), locale);
  }
}

std::string FormatNamed(const Variant& value, Named named, const Locale& locale) {
  std::string_view date_pattern;
  std::string_view number_pattern;
  switch (named) {
    case Named::kGeneralDate:
      break;
    case Named::kLongDate:
      date_pattern = locale.long_date;
      break;
    case Named::kMediumDate:
      date_pattern = locale.medium_date;
      break;
    case Named::kShortDate:
      date_pattern = locale.short_date;
      break;
    case Named::kLongTime:
      date_pattern = locale.long_time;
      break;
    case Named::kMediumTime:
      date_pattern = locale.medium_time;
      break;
    case Named::kShortTime:
      date_pattern = locale.short_time;
      break;
    case Named::kGeneralNumber: {
      auto number = NumberOf(value);
      if (!number) return value.ToText();
      return DoubleToText(DecimalToDouble(*number));
    }
    case Named::kFixed:
      number_pattern = "0.00";
      break;
    case Named::kStandard:
      number_pattern = "#,##0.00";
      break;
    case Named::kPercent:
      number_pattern = "0.00%";
      break;
    case Named::kNone:
      return value.ToText();
  }
  if (!number_pattern.empty()) {
    auto number = NumberOf(value);
    if (!number) return value.ToText();
    return FormatNumber(*number, *CompiledOf(number_pattern), locale);
  }
  auto date = DateOf(value, locale);
  if (!date) return value.ToText();
  if (named == Named::kGeneralDate) return GeneralDateText(*date, locale);
  return FormatDate(*date, date_pattern, locale);
}

// Appends the text of a value by a compiled pattern.
void WriteFormatted(std::string& text, const Variant& value, std::string_view pattern,
                    const CompiledPattern& compiled, const Locale& locale) {
  if (value.IsEmpty()) return;
  if (pattern.empty()) {
    text += value.TextOrEmpty();
    return;
  }
  if (value.IsNull()) {
    text += NullSectionText(compiled);
    return;
  }
  switch (compiled.kind) {
    case PatternKind::kNamed:
      text += FormatNamed(value, compiled.named, locale);
      return;
    case PatternKind::kDate: {
      auto date = DateOf(value, locale);
      if (!date) break;
      WriteDate(text, *date, compiled, locale);
      return;
    }
    case PatternKind::kNumber: {
      auto number = NumberOf(value);
      if (!number) break;
      WriteFormattedNumber(text, *number, compiled, locale);
      return;
    }
    case PatternKind::kPlain:
      break;
  }
  text += value.ToText();
}

}  // namespace

std::string Format(const Variant& value, std::string_view pattern, const Locale& locale) {
  std::string text;
  if (value.IsEmpty()) return text;
  if (pattern.empty()) return value.TextOrEmpty();
  WriteFormatted(text, value, pattern, *CompiledOf(pattern), locale);
  return text;
}

FormatPattern::FormatPattern(std::string_view pattern)
    : pattern_(pattern), compiled_(std::make_shared<const CompiledPattern>(Compile(pattern))) {}

FormatPattern::~FormatPattern() = default;
FormatPattern::FormatPattern(const FormatPattern&) = default;
FormatPattern& FormatPattern::operator=(const FormatPattern&) = default;

void FormatPattern::AppendTo(std::string& text, const Variant& value, const Locale& locale) const {
  WriteFormatted(text, value, pattern_, *compiled_, locale);
}

std::string GeneralDateText(Date date, const Locale& locale) {
  bool has_date = HasDatePart(date);
  bool has_time = HasTimePart(date);
  std::string text;
  if (has_date) text = FormatDate(date, locale.short_date, locale);
  if (has_time || !has_date) {
    if (has_date) text.push_back(' ');
    WriteDate(text, date, *CompiledOf(locale.long_time), locale);
  }
  return text;
}

}  // namespace zarel
