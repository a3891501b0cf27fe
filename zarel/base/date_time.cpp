// Calendar arithmetic on Date serials and the reading of dates from text.
//
// A serial counts days from 30 December 1899. For days before that the
// whole part is negative and the time of day is still the (positive)
// fraction: -1.25 is 29 December 1899 at 06:00.
#include "zarel/base/date_time.h"

#include <array>
#include <cmath>
#include <vector>

#include "zarel/base/ascii_text.h"
#include "zarel/base/error.h"
#include "zarel/base/locale.h"

namespace zarel {

namespace {

constexpr int kSecondsPerDay = 86400;

// Days since 1 January 1970 of a day of the proleptic Gregorian calendar.
constexpr long long DaysFromCivil(long long year, int month, int day) {
  year -= month <= 2 ? 1 : 0;
  long long era = (year >= 0 ? year : year - 399) / 400;
  long long year_of_era = year - era * 400;
  long long day_of_year = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  long long day_of_era = year_of_era * 365 + year_of_era / 4 - year_of_era / 100 + day_of_year;
  return era * 146097 + day_of_era - 719468;
}

void CivilFromDays(long long days, int& year, int& month, int& day) {
  days += 719468;
  long long era = (days >= 0 ? days : days - 146096) / 146097;
  long long day_of_era = days - era * 146097;
  long long year_of_era =
      (day_of_era - day_of_era / 1460 + day_of_era / 36524 - day_of_era / 146096) / 365;
  long long day_of_year = day_of_era - (365 * year_of_era + year_of_era / 4 - year_of_era / 100);
  long long shifted_month = (5 * day_of_year + 2) / 153;
  day = static_cast<int>(day_of_year - (153 * shifted_month + 2) / 5 + 1);
  month = static_cast<int>(shifted_month < 10 ? shifted_month + 3 : shifted_month - 9);
  year = static_cast<int>(year_of_era + era * 400 + (month <= 2 ? 1 : 0));
}

// A constant, so that Dates made while other files' globals are initialised
// are right.
constexpr long long kEpochDays = DaysFromCivil(1899, 12, 30);

bool IsLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int DaysInMonth(int year, int month) {
  static constexpr std::array<int, 12> kDays = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && IsLeapYear(year) ? 29 : kDays[static_cast<std::size_t>(month - 1)];
}

bool ValidDay(int year, int month, int day) {
  return year >= 100 && year <= 9999 && month >= 1 && month <= 12 && day >= 1 &&
         day <= DaysInMonth(year, month);
}

// The serial of a day (counted from the epoch) and a time of day in seconds.
double SerialOf(long long day, double seconds) {
  double fraction = seconds / kSecondsPerDay;
  double whole = static_cast<double>(day);
  return day >= 0 ? whole + fraction : whole - fraction;
}

// A serial as its day and its time of day in whole seconds (rounded; a time
// that rounds to midnight moves to the next day).
void SplitSerial(double serial, long long& day, int& seconds) {
  double whole = std::trunc(serial);
  double fraction = std::fabs(serial - whole);
  day = static_cast<long long>(whole);
  long long rounded = std::llround(fraction * kSecondsPerDay);
  if (rounded >= kSecondsPerDay) {
    ++day;
    rounded -= kSecondsPerDay;
  }
  seconds = static_cast<int>(rounded);
}

// ---- Reading dates from text ----

// Letters of month and day names: ASCII letters and the bytes of UTF-8
// characters.
bool IsLetter(char c) { return IsAsciiLetter(c) || IsNonAscii(c); }

struct Token {
  enum Kind { kNumber, kWord, kSeparator } kind;
  std::string_view text;
  int value = 0;  // numbers; large numbers saturate
};

// Splits text into numbers, words and single separator characters; runs of
// spaces become one " " separator. Empty when a character has no place in
// a date.
std::optional<std::vector<Token>> Tokenize(std::string_view text) {
  std::vector<Token> tokens;
  std::size_t at = 0;
  while (at < text.size()) {
    char c = text[at];
    std::size_t start = at;
    if (IsAsciiDigit(c)) {
      int value = 0;
      while (at < text.size() && IsAsciiDigit(text[at])) {
        if (value < 100000000) value = value * 10 + (text[at] - '0');
        ++at;
      }
      tokens.push_back({Token::kNumber, text.substr(start, at - start), value});
    } else if (IsLetter(c)) {
      while (at < text.size() && IsLetter(text[at])) ++at;
      tokens.push_back({Token::kWord, text.substr(start, at - start)});
    } else if (IsWhiteSpace(c)) {
      while (at < text.size() && IsWhiteSpace(text[at])) ++at;
      tokens.push_back({Token::kSeparator, " "});
    } else if (c == '/' || c == '-' || c == '.' || c == ',' || c == ':') {
      ++at;
      tokens.push_back({Token::kSeparator, text.substr(start, 1)});
    } else {
      return std::nullopt;
    }
  }
  return tokens;
}

bool IsSeparator(const Token& token, char c) {
  return token.kind == Token::kSeparator && token.text[0] == c;
}

// 1 to 12 for a month name or abbreviation of the locale, otherwise 0.
int MonthOfWord(std::string_view word, const Locale& locale) {
  for (std::size_t i = 0; i < 12; ++i) {
    if (EqualIgnoringAsciiCase(word, locale.month_names[i]) ||
        EqualIgnoringAsciiCase(word, locale.month_abbreviations[i])) {
      return static_cast<int>(i) + 1;
    }
  }
  return 0;
}

bool IsDayWord(std::string_view word, const Locale& locale) {
  for (std::size_t i = 0; i < 7; ++i) {
    if (EqualIgnoringAsciiCase(word, locale.day_names[i]) ||
        EqualIgnoringAsciiCase(word, locale.day_abbreviations[i])) {
      return true;
    }
  }
  return false;
}

// A two-digit year: 00 to 29 are 2000 to 2029, 30 to 99 are 1930 to 1999.
int FullYear(const Token& token) {
  if (token.text.size() > 2) return token.value;
  return token.value < 30 ? 2000 + token.value : 1900 + token.value;
}

bool LooksLikeYear(const Token& token) { return token.text.size() > 2 || token.value > 31; }

struct TimeOfDay {
  double seconds = 0;
};

// Reads "h:mm[:ss[.fff]] [AM|PM]" from tokens[at...] to the end, or "h AM".
// With allow_zone, a trailing "Z" or "+hh[:mm]" / "-hh[:mm]" is accepted
// and dropped.
std::optional<TimeOfDay> ReadTime(const std::vector<Token>& tokens, std::size_t at,
                                  const Locale& locale, bool allow_zone) {
  auto skip_spaces = [&] {
    while (at < tokens.size() && IsSeparator(tokens[at], ' ')) ++at;
  };
  skip_spaces();
  if (at >= tokens.size() || tokens[at].kind != Token::kNumber || tokens[at].text.size() > 2) {
    return std::nullopt;
  }
  int hour = tokens[at++].value;
  int minute = 0;
  double second = 0;
  bool has_minutes = false;
  if (at + 1 < tokens.size() && IsSeparator(tokens[at], ':') &&
      tokens[at + 1].kind == Token::kNumber && tokens[at + 1].text.size() <= 2) {
    minute = tokens[at + 1].value;
    has_minutes = true;
    at += 2;
    if (at + 1 < tokens.size() && IsSeparator(tokens[at], ':') &&
        tokens[at + 1].kind == Token::kNumber && tokens[at + 1].text.size() <= 2) {
      second = tokens[at + 1].value;
      at += 2;
      if (at + 1 < tokens.size() && IsSeparator(tokens[at], '.') &&
          tokens[at + 1].kind == Token::kNumber) {
        double fraction = 0;
        double scale = 0.1;
        for (char c : tokens[at + 1].text) {
          fraction += (c - '0') * scale;
          scale /= 10;
        }
        second += fraction;
        at += 2;
      }
    }
  }
  skip_spaces();
  bool has_designator = false;
  if (at < tokens.size() && tokens[at].kind == Token::kWord) {
    std::string_view word = tokens[at].text;
    bool am = EqualIgnoringAsciiCase(word, locale.am) || EqualIgnoringAsciiCase(word, "a");
    bool pm = EqualIgnoringAsciiCase(word, locale.pm) || EqualIgnoringAsciiCase(word, "p");
    if (am || pm) {
      if (hour < 1 || hour > 12) return std::nullopt;
      if (am && hour == 12) hour = 0;
      if (pm && hour != 12) hour += 12;
      has_designator = true;
      ++at;
      skip_spaces();
    }
  }
  if (!has_minutes && !has_designator) return std::nullopt;
  if (allow_zone && at < tokens.size()) {
    if (tokens[at].kind == Token::kWord && EqualIgnoringAsciiCase(tokens[at].text, "Z")) {
      ++at;
    } else if (IsSeparator(tokens[at], '-')) {
      // "-hh" and "-hh:mm"; "+hh:mm" is cut off before tokenizing.
      ++at;
      if (at >= tokens.size() || tokens[at].kind != Token::kNumber) return std::nullopt;
      ++at;
      if (at + 1 < tokens.size() && IsSeparator(tokens[at], ':') &&
          tokens[at + 1].kind == Token::kNumber) {
        at += 2;
      }
    }
  }
  if (at != tokens.size()) return std::nullopt;
  if (hour > 23 || minute > 59 || second >= 60) return std::nullopt;
  return TimeOfDay{hour * 3600.0 + minute * 60.0 + second};
}

struct DayOfCalendar {
  int year = 0;
  int month = 0;
  int day = 0;
};

// The order of day, month and year in the locale's short date ("m/d/yyyy"
// gives month, day, year).
std::array<char, 3> ShortDateOrder(const Locale& locale) {
  std::array<char, 3> order{};
  std::size_t count = 0;
  for (char c : locale.short_date) {
    char letter = LowerAsciiChar(c);
    if ((letter == 'd' || letter == 'm' || letter == 'y') && count < 3) {
      bool seen = false;
      for (std::size_t i = 0; i < count; ++i) seen = seen || order[i] == letter;
      if (!seen) order[count++] = letter;
    }
  }
  if (count != 3) return {'m', 'd', 'y'};
  return order;
}

// Reads the date part: numbers and a month name between separators.
std::optional<DayOfCalendar> ReadDay(const std::vector<Token>& tokens, std::size_t end,
                                     const Locale& locale) {
  std::vector<const Token*> numbers;
  int month_word = 0;
  bool month_word_first = false;
  bool seen_anything = false;
  for (std::size_t i = 0; i < end; ++i) {
    const Token& token = tokens[i];
    if (token.kind == Token::kSeparator) {
      if (IsSeparator(token, ':')) return std::nullopt;
      continue;
    }
    if (token.kind == Token::kNumber) {
      numbers.push_back(&token);
      seen_anything = true;
      continue;
    }
    if (int month = MonthOfWord(token.text, locale)) {
      if (month_word != 0) return std::nullopt;
      month_word = month;
      month_word_first = numbers.empty();
      seen_anything = true;
      continue;
    }
    // A day name may lead the date ("Saturday, December 5, 2026").
    if (!seen_anything && IsDayWord(token.text, locale)) {
      seen_anything = false;
      continue;
    }
    return std::nullopt;
  }
  DayOfCalendar result;
  if (month_word != 0) {
    result.month = month_word;
    if (numbers.size() == 1 && LooksLikeYear(*numbers[0])) {
      result.year = FullYear(*numbers[0]);
      result.day = 1;
    } else if (numbers.size() == 2) {
      const Token* day = numbers[0];
      const Token* year = numbers[1];
      if (LooksLikeYear(*numbers[0]) && !LooksLikeYear(*numbers[1])) std::swap(day, year);
      (void)month_word_first;
      if (day->text.size() > 2) return std::nullopt;
      result.day = day->value;
      result.year = FullYear(*year);
    } else {
      return std::nullopt;
    }
  } else {
    if (numbers.size() != 3) return std::nullopt;
    if (numbers[0]->text.size() > 2) {
      // Year first: "2026/12/05".
      if (numbers[1]->text.size() > 2 || numbers[2]->text.size() > 2) return std::nullopt;
      result.year = FullYear(*numbers[0]);
      result.month = numbers[1]->value;
      result.day = numbers[2]->value;
    } else {
      std::array<char, 3> order = ShortDateOrder(locale);
      for (std::size_t i = 0; i < 3; ++i) {
        const Token& number = *numbers[i];
        if (order[i] == 'y') {
          result.year = FullYear(number);
        } else if (number.text.size() > 2) {
          return std::nullopt;
        } else if (order[i] == 'm') {
          result.month = number.value;
        } else {
          result.day = number.value;
        }
      }
    }
  }
  if (!ValidDay(result.year, result.month, result.day)) return std::nullopt;
  return result;
}

// "yyyy-mm-dd" with an optional time after a space or "T".
std::optional<Date> ReadIsoDate(const std::vector<Token>& tokens, const Locale& locale) {
  if (tokens.size() < 5 || tokens[0].kind != Token::kNumber || tokens[0].text.size() != 4 ||
      !IsSeparator(tokens[1], '-') || tokens[2].kind != Token::kNumber ||
      tokens[2].text.size() > 2 || !IsSeparator(tokens[3], '-') ||
      tokens[4].kind != Token::kNumber) {
    return std::nullopt;
  }
  std::size_t at = 5;
  int year = tokens[0].value;
  int month = tokens[2].value;
  int day = tokens[4].value;
  // "2026-12-05T14:05:09": the "T" joins the day to its time; the tokenizer
  // reads "05T14" as number, word, number.
  double seconds = 0;
  if (at < tokens.size()) {
    bool joined = tokens[at].kind == Token::kWord && EqualIgnoringAsciiCase(tokens[at].text, "T");
    if (!joined && !IsSeparator(tokens[at], ' ')) return std::nullopt;
    auto time = ReadTime(tokens, at + 1, locale, true);
    if (!time) return std::nullopt;
    seconds = time->seconds;
  }
  if (tokens[4].text.size() > 2 || !ValidDay(year, month, day)) return std::nullopt;
  return Date{SerialOf(DaysFromCivil(year, month, day) - kEpochDays, seconds)};
}

// The tokenizer reads "+" as no date character; a time zone "+hh:mm" after
// an ISO time is cut off before tokenizing.
std::string_view DropPlusZone(std::string_view text) {
  std::size_t plus = text.rfind('+');
  if (plus == std::string_view::npos || plus < 10) return text;
  std::string_view zone = text.substr(plus + 1);
  if (zone.size() < 2 || !IsAsciiDigit(zone[0]) || !IsAsciiDigit(zone[1])) return text;
  for (char c : zone) {
    if (!IsAsciiDigit(c) && c != ':') return text;
  }
  return text.substr(0, plus);
}

}  // namespace

Date MakeDate(const DateParts& parts) {
  if (!ValidDay(parts.year, parts.month, parts.day) || parts.hour < 0 || parts.hour > 23 ||
      parts.minute < 0 || parts.minute > 59 || parts.second < 0 || parts.second > 59) {
    Raise(errc::kInvalidProcedureCall);
  }
  long long day = DaysFromCivil(parts.year, parts.month, parts.day) - kEpochDays;
  return Date{SerialOf(day, parts.hour * 3600.0 + parts.minute * 60.0 + parts.second)};
}

DateParts SplitDate(Date date) {
  long long day = 0;
  int seconds = 0;
  SplitSerial(date.Serial(), day, seconds);
  DateParts parts;
  CivilFromDays(day + kEpochDays, parts.year, parts.month, parts.day);
  parts.hour = seconds / 3600;
  parts.minute = seconds / 60 % 60;
  parts.second = seconds % 60;
  return parts;
}

int Weekday(Date date) {
  long long day = 0;
  int seconds = 0;
  SplitSerial(date.Serial(), day, seconds);
  // Day 0, 30 December 1899, was a Saturday.
  long long weekday = ((day + 6) % 7 + 7) % 7;
  return static_cast<int>(weekday) + 1;
}

bool HasDatePart(Date date) {
  long long day = 0;
  int seconds = 0;
  SplitSerial(date.Serial(), day, seconds);
  return day != 0;
}

bool HasTimePart(Date date) {
  long long day = 0;
  int seconds = 0;
  SplitSerial(date.Serial(), day, seconds);
  return seconds != 0;
}

std::optional<Date> ParseDate(std::string_view text, const Locale& locale) {
  std::size_t begin = 0;
  std::size_t end = text.size();
  while (begin < end && IsWhiteSpace(text[begin])) ++begin;
  while (end > begin && IsWhiteSpace(text[end - 1])) --end;
  text = DropPlusZone(text.substr(begin, end - begin));
  if (text.empty()) return std::nullopt;
  auto tokens = Tokenize(text);
  if (!tokens) return std::nullopt;
  if (auto iso = ReadIsoDate(*tokens, locale)) return iso;

  // The time starts at the first number followed by ":" or by a designator.
  std::size_t time_start = tokens->size();
  for (std::size_t i = 0; i < tokens->size(); ++i) {
    const Token& token = (*tokens)[i];
    if (token.kind != Token::kNumber) continue;
    std::size_t next = i + 1;
    if (next < tokens->size() && IsSeparator((*tokens)[next], ':')) {
      time_start = i;
      break;
    }
    while (next < tokens->size() && IsSeparator((*tokens)[next], ' ')) ++next;
    if (next + 1 == tokens->size() && (*tokens)[next].kind == Token::kWord &&
        (EqualIgnoringAsciiCase((*tokens)[next].text, locale.am) ||
         EqualIgnoringAsciiCase((*tokens)[next].text, locale.pm))) {
      time_start = i;
      break;
    }
  }
  double seconds = 0;
  if (time_start < tokens->size()) {
    auto time = ReadTime(*tokens, time_start, locale, false);
    if (!time) return std::nullopt;
    seconds = time->seconds;
  }
  bool has_day = false;
  for (std::size_t i = 0; i < time_start; ++i) {
    has_day = has_day || !IsSeparator((*tokens)[i], ' ');
  }
  if (!has_day) {
    if (time_start >= tokens->size()) return std::nullopt;
    return Date{seconds / kSecondsPerDay};
  }
  auto day = ReadDay(*tokens, time_start, locale);
  if (!day) return std::nullopt;
  return Date{SerialOf(DaysFromCivil(day->year, day->month, day->day) - kEpochDays, seconds)};
}

}  // namespace zarel
