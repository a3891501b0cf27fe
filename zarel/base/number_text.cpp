// Numbers as decimal digits: reading, writing, rounding and the exact
// conversions to double and Currency.
#include "zarel/base/number_text.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <system_error>

#include "zarel/base/ascii_text.h"
#include "zarel/base/error.h"

namespace zarel {

namespace {


void TrimTrailingZeros(DecimalNumber& number) {
  while (!number.digits.empty() && number.digits.back() == '0') number.digits.pop_back();
  if (number.digits.empty()) number.point = 0;
}

// Digits as written by std::to_chars in scientific form ("-1.2345e+03").
template <class Float>
DecimalNumber ScientificDigits(Float value, int precision) {
  DecimalNumber number;
  if (value == 0 || !std::isfinite(value)) return number;
  char buffer[64];
  auto result = std::to_chars(buffer, buffer + sizeof buffer, value,
                              std::chars_format::scientific, precision - 1);
  const char* at = buffer;
  if (*at == '-') {
    number.negative = true;
    ++at;
  }
  while (at < result.ptr && *at != 'e') {
    if (*at != '.') number.digits.push_back(*at);
    ++at;
  }
  int exponent = 0;
  ++at;  // 'e'
  if (at < result.ptr && *at == '+') ++at;
  std::from_chars(at, result.ptr, exponent);
  number.point = exponent + 1;
  TrimTrailingZeros(number);
  return number;
}

}  // namespace

std::optional<DecimalNumber> ReadDecimal(std::string_view text) {
  std::size_t begin = 0;
  std::size_t end = text.size();
  while (begin < end && IsWhiteSpace(text[begin])) ++begin;
  while (end > begin && IsWhiteSpace(text[end - 1])) --end;
  std::string_view body = text.substr(begin, end - begin);

  DecimalNumber number;
  std::size_t at = 0;
  if (at < body.size() && (body[at] == '+' || body[at] == '-')) {
    number.negative = body[at] == '-';
    ++at;
  }
  bool any_digit = false;
  std::int64_t whole_digits = 0;
  // The whole part: digits, "," allowed between two digits.
  while (at < body.size()) {
    char c = body[at];
    if (IsAsciiDigit(c)) {
      any_digit = true;
      if (!(number.digits.empty() && c == '0')) {
        number.digits.push_back(c);
        ++whole_digits;
      }
      ++at;
    } else if (c == ',' && any_digit && at + 1 < body.size() && IsAsciiDigit(body[at + 1])) {
      ++at;
    } else {
      break;
    }
  }
  std::int64_t leading_fraction_zeros = 0;
  if (at < body.size() && body[at] == '.') {
    ++at;
    while (at < body.size() && IsAsciiDigit(body[at])) {
      any_digit = true;
      if (number.digits.empty() && body[at] == '0') {
        ++leading_fraction_zeros;
      } else {
        number.digits.push_back(body[at]);
      }
      ++at;
    }
  }
  if (!any_digit) return std::nullopt;
  std::int64_t exponent = 0;
  if (at < body.size() && (body[at] == 'e' || body[at] == 'E')) {
    ++at;
    bool exponent_negative = false;
    if (at < body.size() && (body[at] == '+' || body[at] == '-')) {
      exponent_negative = body[at] == '-';
      ++at;
    }
    if (at >= body.size() || !IsAsciiDigit(body[at])) return std::nullopt;
    while (at < body.size() && IsAsciiDigit(body[at])) {
      // Exponents beyond any double saturate; the conversions report them.
      if (exponent < 1000000) exponent = exponent * 10 + (body[at] - '0');
      ++at;
    }
    if (exponent_negative) exponent = -exponent;
  }
  if (at != body.size()) return std::nullopt;
  number.point = whole_digits - leading_fraction_zeros + exponent;
  TrimTrailingZeros(number);
  return number;
}

DecimalNumber DecimalOf(double value, int precision) {
  // Most numbers in reports have few decimals (1234.5, 0.125): scaled by a
  // power of ten they become a whole number M, found with a multiplication
  // instead of a long conversion. When M has no more digits than the
  // precision asks (up to 15), M's digits are the value's rounded digits:
  // the product is within half a unit in the last place of a double of the
  // exact one, so M x 10^-k lies within 1.2e-16 of the value (relatively),
  // while the 15th digit's unit is at least 1e-15 of it.
  static constexpr double kPowers[] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7, 1e8,
                                       1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15, 1e16};
  if (precision >= 1 && precision <= 15 && value != 0 && std::isfinite(value)) {
    const double limit = kPowers[precision];
    const double magnitude = std::fabs(value);
    for (int places = 0; places <= 16; ++places) {
      const double scaled = magnitude * kPowers[places];
      if (scaled >= limit) break;
      if (scaled == std::floor(scaled)) {
        DecimalNumber number = DecimalOf(static_cast<std::int64_t>(scaled));
        number.negative = value < 0;
        if (!number.IsZero()) number.point -= places;
        return number;
      }
    }
  }
  return ScientificDigits(value, precision);
}

DecimalNumber DecimalOf(float value, int precision) { return ScientificDigits(value, precision); }

DecimalNumber DecimalOf(std::int64_t value) {
  DecimalNumber number;
  number.negative = value < 0;
  std::uint64_t magnitude =
      number.negative ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
  char buffer[24];
  auto result = std::to_chars(buffer, buffer + sizeof buffer, magnitude);
  number.digits.assign(buffer, result.ptr);
  number.point = static_cast<std::int64_t>(number.digits.size());
  TrimTrailingZeros(number);
  if (number.IsZero()) number.negative = false;
  return number;
}

DecimalNumber DecimalOf(Currency value) {
  DecimalNumber number = DecimalOf(value.scaled);
  if (!number.IsZero()) number.point -= 4;
  return number;
}

double DecimalToDouble(const DecimalNumber& number) {
  if (number.IsZero()) return 0.0;
  // "0.<digits>e<point>", which from_chars rounds correctly.
  std::string buffer;
  buffer.reserve(number.digits.size() + 26);
  if (number.negative) buffer.push_back('-');
  buffer += "0.";
  buffer += number.digits;
  buffer.push_back('e');
  char exponent[24];
  auto written = std::to_chars(exponent, exponent + sizeof exponent, number.point);
  buffer.append(exponent, written.ptr);
  double value = 0;
  auto parsed = std::from_chars(buffer.data(), buffer.data() + buffer.size(), value);
  if (parsed.ec == std::errc::result_out_of_range) {
    // Too small to tell from zero is zero; too large is an overflow.
    if (number.point < 0) return 0.0;
    Raise(errc::kOverflow);
  }
  return value;
}

Currency DecimalToCurrency(const DecimalNumber& number) {
  // The amount in ten-thousandths has `whole_count` digits before its point.
  std::int64_t whole_count = number.point + 4;
  if (number.IsZero() || whole_count < 0) return Currency{};
  if (whole_count > 19) Raise(errc::kOverflow);
  std::uint64_t whole = 0;  // 19 digits fit
  std::size_t count = static_cast<std::size_t>(whole_count);
  for (std::size_t i = 0; i < count; ++i) {
    int digit = i < number.digits.size() ? number.digits[i] - '0' : 0;
    whole = whole * 10 + static_cast<std::uint64_t>(digit);
  }
  // Halves to even; any digit after the first dropped one is not zero,
  // since trailing zeros are gone.
  if (count < number.digits.size()) {
    char first_dropped = number.digits[count];
    bool more = number.digits.size() > count + 1;
    if (first_dropped > '5' || (first_dropped == '5' && (more || whole % 2 == 1))) ++whole;
  }
  const std::uint64_t limit =
      static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max()) +
      (number.negative ? 1u : 0u);
  if (whole > limit) Raise(errc::kOverflow);
  // The negation wraps in unsigned arithmetic and lands on the two's
  // complement value, -9223372036854775808 included.
  return Currency{static_cast<std::int64_t>(number.negative ? 0 - whole : whole)};
}

void RoundAwayFromZero(DecimalNumber& number, std::int64_t places) {
  if (number.IsZero()) return;
  std::int64_t keep = number.point + places;  // digits that stay
  if (keep >= static_cast<std::int64_t>(number.digits.size())) return;
  if (keep < 0) {
    number.digits.clear();
    TrimTrailingZeros(number);
    return;
  }
  bool up = number.digits[static_cast<std::size_t>(keep)] >= '5';
  number.digits.resize(static_cast<std::size_t>(keep));
  if (up) {
    std::size_t at = number.digits.size();
    while (at > 0 && number.digits[at - 1] == '9') {
      number.digits[at - 1] = '0';
      --at;
    }
    if (at == 0) {
      number.digits.insert(number.digits.begin(), '1');
      ++number.point;
    } else {
      ++number.digits[at - 1];
    }
  }
  TrimTrailingZeros(number);
}

std::string DecimalToText(const DecimalNumber& number, int precision) {
  if (number.IsZero()) return "0";
  std::string text;
  text.reserve(24);
  if (number.negative) text.push_back('-');
  std::int64_t exponent = number.point - 1;
  std::size_t count = number.digits.size();
  if (exponent >= precision || exponent < -4) {
    text.push_back(number.digits[0]);
    if (count > 1) {
      text.push_back('.');
      text.append(number.digits, 1);
    }
    text.push_back('E');
    text.push_back(exponent < 0 ? '-' : '+');
    std::int64_t magnitude = exponent < 0 ? -exponent : exponent;
    if (magnitude < 10) text.push_back('0');
    char buffer[24];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, magnitude);
    text.append(buffer, result.ptr);
  } else if (exponent < 0) {
    text += "0.";
    text.append(static_cast<std::size_t>(-exponent - 1), '0');
    text += number.digits;
  } else {
    std::size_t whole_count = static_cast<std::size_t>(exponent + 1);
    if (count <= whole_count) {
      text += number.digits;
      text.append(whole_count - count, '0');
    } else {
      text.append(number.digits, 0, whole_count);
      text.push_back('.');
      text.append(number.digits, whole_count);
    }
  }
  return text;
}

}  // namespace zarel
