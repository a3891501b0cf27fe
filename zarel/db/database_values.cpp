// Database texts to values and back; see database_values.h.
#include "zarel/db/database_values.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>

#include "zarel/base/ascii_text.h"
#include "zarel/base/date_time.h"
#include "zarel/base/error.h"
#include "zarel/base/locale.h"

namespace zarel {

namespace {

constexpr long long kSecondsPerDay = 86400;
constexpr long long kMillisecondsPerDay = kSecondsPerDay * 1000;

// Days since 1 March of year 0 shifted to the civil epoch (1970-01-01).
long long DaysFromCivil(long long year, unsigned month, unsigned day) {
  year -= month <= 2 ? 1 : 0;
  const long long era = (year >= 0 ? year : year - 399) / 400;
  const unsigned year_of_era = static_cast<unsigned>(year - era * 400);
  const unsigned day_of_year = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const unsigned day_of_era = year_of_era * 365 + year_of_era / 4 - year_of_era / 100 + day_of_year;
  return era * 146097 + static_cast<long long>(day_of_era) - 719468;
}

void CivilFromDays(long long days, long long& year, unsigned& month, unsigned& day) {
  days += 719468;
  const long long era = (days >= 0 ? days : days - 146096) / 146097;
  const unsigned day_of_era = static_cast<unsigned>(days - era * 146097);
  const unsigned year_of_era =
      (day_of_era - day_of_era / 1460 + day_of_era / 36524 - day_of_era / 146096) / 365;
  const unsigned day_of_year = day_of_era - (365 * year_of_era + year_of_era / 4 - year_of_era / 100);
  const unsigned shifted_month = (5 * day_of_year + 2) / 153;
  day = day_of_year - (153 * shifted_month + 2) / 5 + 1;
  month = shifted_month < 10 ? shifted_month + 3 : shifted_month - 9;
  year = static_cast<long long>(year_of_era) + era * 400 + (month <= 2 ? 1 : 0);
}

// Day 0 of the serials: 30 December 1899.
const long long kEpochDays = DaysFromCivil(1899, 12, 30);

bool IsLeap(long long year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int DaysInMonth(long long year, int month) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && IsLeap(year) ? 29 : kDays[month - 1];
}

// Reads exactly `count` digits at `pos`.
bool ReadDigits(std::string_view text, std::size_t& pos, std::size_t count, int& value) {
  if (pos + count > text.size()) return false;
  value = 0;
  for (std::size_t i = 0; i < count; ++i) {
    const char c = text[pos + i];
    if (!IsAsciiDigit(c)) return false;
    value = value * 10 + (c - '0');
  }
  pos += count;
  return true;
}

// "HH:MM[:SS[.fff]]" at pos, as seconds since midnight.
bool ReadTime(std::string_view text, std::size_t& pos, double& seconds) {
  int hour = 0, minute = 0, second = 0;
  if (!ReadDigits(text, pos, 2, hour) || pos >= text.size() || text[pos] != ':') return false;
  ++pos;
  if (!ReadDigits(text, pos, 2, minute)) return false;
  double fraction = 0;
  if (pos < text.size() && text[pos] == ':') {
    ++pos;
    if (!ReadDigits(text, pos, 2, second)) return false;
    if (pos < text.size() && text[pos] == '.') {
      ++pos;
      double scale = 0.1;
      const std::size_t start = pos;
      while (pos < text.size() && IsAsciiDigit(text[pos])) {
        fraction += (text[pos] - '0') * scale;
        scale /= 10;
        ++pos;
      }
      if (pos == start) return false;
    }
  }
  if (hour > 23 || minute > 59 || second > 59) return false;
  seconds = hour * 3600.0 + minute * 60.0 + second + fraction;
  return true;
}

// An optional time zone at the end: "Z", "+HH", "+HH:MM", "+HHMM".
bool AtZoneOrEnd(std::string_view text, std::size_t pos) {
  if (pos == text.size()) return true;
  if (text[pos] == 'Z' && pos + 1 == text.size()) return true;
  if (text[pos] != '+' && text[pos] != '-') return false;
  ++pos;
  int part = 0;
  if (!ReadDigits(text, pos, 2, part)) return false;
  if (pos < text.size() && text[pos] == ':') ++pos;
  if (pos < text.size() && !ReadDigits(text, pos, 2, part)) return false;
  return pos == text.size();
}

double SerialOf(long long day, double seconds) {
  const double fraction = seconds / static_cast<double>(kSecondsPerDay);
  const double whole = static_cast<double>(day);
  return day >= 0 ? whole + fraction : whole - fraction;
}

char* WriteDigits(char* out, long long value, int width) {
  for (int i = width - 1; i >= 0; --i) {
    out[i] = static_cast<char>('0' + value % 10);
    value /= 10;
  }
  return out + width;
}

}  // namespace

std::optional<Date> ParseIsoDate(std::string_view text) {
  std::size_t pos = 0;
  if (text.size() >= 10 && text[4] == '-' && text[7] == '-') {
    int year = 0, month = 0, day = 0;
    if (!ReadDigits(text, pos, 4, year)) return std::nullopt;
    ++pos;
    if (!ReadDigits(text, pos, 2, month)) return std::nullopt;
    ++pos;
    if (!ReadDigits(text, pos, 2, day)) return std::nullopt;
    if (month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month)) return std::nullopt;
    double seconds = 0;
    if (pos < text.size() && (text[pos] == ' ' || text[pos] == 'T')) {
      ++pos;
      if (!ReadTime(text, pos, seconds)) return std::nullopt;
    }
    if (!AtZoneOrEnd(text, pos)) return std::nullopt;
    const long long serial_day =
        DaysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) - kEpochDays;
    return Date{SerialOf(serial_day, seconds)};
  }
  double seconds = 0;
  if (!ReadTime(text, pos, seconds) || !AtZoneOrEnd(text, pos)) return std::nullopt;
  return Date{seconds / static_cast<double>(kSecondsPerDay)};
}

std::optional<Date> ReadDateText(std::string_view text) {
  if (auto date = ParseIsoDate(text)) return date;
  try {
    return ParseDate(text, Locale::Current());
  } catch (...) {
    return std::nullopt;
  }
}

std::string IsoDateText(Date date) {
  const double whole = std::trunc(date.Serial());
  long long day = static_cast<long long>(whole);
  long long milliseconds =
      std::llround(std::fabs(date.Serial() - whole) * static_cast<double>(kMillisecondsPerDay));
  if (milliseconds >= kMillisecondsPerDay) {
    day += date.Serial() < 0 ? -1 : 1;
    milliseconds -= kMillisecondsPerDay;
  }
  char buffer[40];
  char* out = buffer;
  const bool time_alone = day == 0 && milliseconds > 0;
  if (!time_alone) {
    long long year = 0;
    unsigned month = 0, month_day = 0;
    CivilFromDays(day + kEpochDays, year, month, month_day);
    if (year < 0 || year > 9999) Raise(errc::kOverflow);
    out = WriteDigits(out, year, 4);
    *out++ = '-';
    out = WriteDigits(out, month, 2);
    *out++ = '-';
    out = WriteDigits(out, month_day, 2);
    if (milliseconds == 0) return std::string(buffer, out);
    *out++ = ' ';
  }
  const long long seconds = milliseconds / 1000;
  out = WriteDigits(out, seconds / 3600, 2);
  *out++ = ':';
  out = WriteDigits(out, seconds / 60 % 60, 2);
  *out++ = ':';
  out = WriteDigits(out, seconds % 60, 2);
  if (milliseconds % 1000 != 0) {
    *out++ = '.';
    out = WriteDigits(out, milliseconds % 1000, 3);
  }
  return std::string(buffer, out);
}

std::optional<Variant> DecimalFromText(std::string_view text) {
  // The digits and exponent are read exactly; Currency when they make a
  // whole number of ten-thousandths that fits.
  std::size_t pos = 0;
  bool negative = false;
  if (pos < text.size() && (text[pos] == '-' || text[pos] == '+')) negative = text[pos++] == '-';
  std::string digits;  // without the point
  long long exponent = 0;
  bool seen_point = false;
  std::size_t digit_count = 0;
  for (; pos < text.size(); ++pos) {
    const char c = text[pos];
    if (c == '.' && !seen_point) {
      seen_point = true;
      continue;
    }
    if (!IsAsciiDigit(c)) break;
    ++digit_count;
    if (digits.empty() && c == '0') {
      if (seen_point) --exponent;  // a leading zero after the point
      continue;
    }
    digits += c;
    if (seen_point) --exponent;
  }
  if (digit_count == 0) {
    double special = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), special);
    if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return Variant(special);
  }
  if (pos < text.size() && (text[pos] == 'e' || text[pos] == 'E')) {
    ++pos;
    bool exponent_negative = false;
    if (pos < text.size() && (text[pos] == '-' || text[pos] == '+')) exponent_negative = text[pos++] == '-';
    long long value = 0;
    const std::size_t start = pos;
    while (pos < text.size() && IsAsciiDigit(text[pos])) {
      if (value < 100000) value = value * 10 + (text[pos] - '0');
      ++pos;
    }
    if (pos == start) return std::nullopt;
    exponent += exponent_negative ? -value : value;
  }
  if (pos != text.size()) return std::nullopt;

  while (!digits.empty() && digits.back() == '0') {
    digits.pop_back();
    ++exponent;
  }
  if (digits.empty()) return Variant(Currency{0});
  long long scale = exponent + 4;
  if (digits.size() <= 18 && scale >= 0 && scale <= 18) {
    std::uint64_t mantissa = 0;
    for (char c : digits) mantissa = mantissa * 10 + static_cast<std::uint64_t>(c - '0');
    constexpr std::uint64_t kLimit = static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max());
    bool fits = true;
    for (; scale > 0 && fits; --scale) {
      if (mantissa > kLimit / 10) fits = false;
      mantissa *= 10;
    }
    if (fits && mantissa <= kLimit) {
      const auto scaled = static_cast<std::int64_t>(mantissa);
      return Variant(Currency{negative ? -scaled : scaled});
    }
  }
  double value = 0;
  std::string_view number = text;
  if (!number.empty() && number.front() == '+') number.remove_prefix(1);
  auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), value);
  if (error == std::errc::result_out_of_range) {
    // Too small for a Double is the nearest Double, zero; too large is no
    // Double at all (from_chars leaves the value 0 then, which would pass a
    // huge number on as 0).
    const long long whole_digits = static_cast<long long>(digits.size()) + exponent;
    if (whole_digits > 0) return std::nullopt;
    return Variant(negative ? -0.0 : 0.0);
  }
  if (error != std::errc()) return std::nullopt;
  (void)end;
  return Variant(value);
}

Variant DecimalFromDouble(double value) {
  if (std::isfinite(value)) {
    const double scaled = std::nearbyint(value * static_cast<double>(Currency::kScale));
    if (std::fabs(scaled) < 9.2e18 &&
        static_cast<double>(static_cast<std::int64_t>(scaled)) / Currency::kScale == value) {
      return Variant(Currency{static_cast<std::int64_t>(scaled)});
    }
  }
  return Variant(value);
}

std::string ExactDoubleText(double value) {
  if (std::isnan(value)) return "NaN";
  if (std::isinf(value)) return value < 0 ? "-Infinity" : "Infinity";
  char buffer[32];
  auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, value);
  (void)error;
  return std::string(buffer, end);
}

std::string CurrencyText(Currency value) {
  const bool negative = value.scaled < 0;
  const std::uint64_t magnitude = negative ? 0 - static_cast<std::uint64_t>(value.scaled)
                                           : static_cast<std::uint64_t>(value.scaled);
  std::string text = negative ? "-" : "";
  text += std::to_string(magnitude / Currency::kScale);
  std::uint64_t fraction = magnitude % Currency::kScale;
  if (fraction != 0) {
    std::string decimals = std::to_string(fraction);
    decimals.insert(0, 4 - decimals.size(), '0');
    while (decimals.back() == '0') decimals.pop_back();
    text += '.';
    text += decimals;
  }
  return text;
}

std::string ParameterText(const Variant& value) {
  switch (value.Type()) {
    case VarType::kBoolean:
      return value.AsBoolean() ? "true" : "false";
    case VarType::kInteger:
    case VarType::kLong:
    case VarType::kLongLong:
      return std::to_string(value.ToLongLong());
    case VarType::kSingle: {
      char buffer[32];
      auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, value.ToSingle());
      (void)error;
      return std::string(buffer, end);
    }
    case VarType::kDouble:
      return ExactDoubleText(value.ToDouble());
    case VarType::kCurrency:
      return CurrencyText(value.ToCurrency());
    case VarType::kDate:
      return IsoDateText(value.ToDate());
    case VarType::kString:
      return value.AsString();
    default:
      Raise(errc::kTypeMismatch);
  }
}

bool SameDatabaseValue(const Variant& left, const Variant& right) {
  const bool left_missing = left.IsNull() || left.IsEmpty();
  const bool right_missing = right.IsNull() || right.IsEmpty();
  if (left_missing || right_missing) return left_missing && right_missing;
  if (left.HoldsNumber() && right.HoldsNumber()) {
    const auto integral = [](const Variant& v) {
      return v.Type() == VarType::kInteger || v.Type() == VarType::kLong ||
             v.Type() == VarType::kLongLong;
    };
    if (integral(left) && integral(right)) return left.ToLongLong() == right.ToLongLong();
    if (left.Type() == VarType::kCurrency && right.Type() == VarType::kCurrency) {
      return left.ToCurrency() == right.ToCurrency();
    }
    return left.ToDouble() == right.ToDouble();
  }
  if (left.Type() != right.Type()) return false;
  switch (left.Type()) {
    case VarType::kBoolean:
      return left.AsBoolean() == right.AsBoolean();
    case VarType::kDate:
      return left.ToDate() == right.ToDate();
    case VarType::kString:
      return left.AsString() == right.AsString();
    case VarType::kBytes:
      return left.AsBytes() == right.AsBytes();
    case VarType::kObject:
      return left.AsObject() == right.AsObject();
    default:
      return false;
  }
}

}  // namespace zarel
