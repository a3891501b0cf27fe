// Tests of numbers as decimal digits: the digits of a double rounded to a
// precision, against the standard library's correctly rounded conversion,
// over tricky values and a wide sweep.
#include "zarel/base/number_text.h"

#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

namespace zarel {
namespace {

// The value's digits to `precision` places, read from std::to_chars.
std::string Expected(double value, int precision) {
  if (value == 0 || !std::isfinite(value)) return "0";
  char buffer[64];
  auto end = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific,
                           precision - 1).ptr;
  std::string digits;
  const char* at = buffer;
  const bool negative = *at == '-';
  if (negative) ++at;
  for (; at < end && *at != 'e'; ++at) {
    if (*at != '.') digits += *at;
  }
  // The buffer holds no terminating zero: the exponent is read up to end.
  int exponent = 0;
  const char* from = at + 1;
  if (from < end && *from == '+') ++from;
  std::from_chars(from, end, exponent);
  while (!digits.empty() && digits.back() == '0') digits.pop_back();
  return (negative ? "-0." : "0.") + digits + "e" + std::to_string(exponent + 1);
}

std::string Seen(const DecimalNumber& number) {
  if (number.IsZero()) return "0";
  return (number.negative ? "-0." : "0.") + number.digits + "e" + std::to_string(number.point);
}

TEST(DecimalOf, DoublesGiveTheirDigitsRoundedToFifteenPlaces) {
  std::vector<double> values = {
      1234.5, 0.125, 0.1, 0.3, 0.1 + 0.2, 1.005, 2.675, 999.995, -1234.567, 1e15, 1e15 - 1,
      999999999999999.0, 999999999999999.9, 99999999999999.99, 0.000123456789012345,
      123456789012345.6, 1e-300, 5e-324, 1.7976931348623157e308, 9007199254740993.0,
      4503599627370495.5, 0.5, 1.0 / 3, 2.0 / 3, 1e22, 1e23, 123.456e-10, -0.0,
      std::nextafter(1.0, 0.0), std::nextafter(1.0, 2.0), std::nextafter(1e15, 0.0),
      std::nextafter(0.001, 1.0), 1e308 * 10, std::nan(""),
  };
  // Prices, quantities and measures as reports hold them, and bit patterns
  // from all over the range.
  for (int i = 0; i < 200000; ++i) {
    values.push_back(i / 8.0);
    values.push_back(i * 0.01);
    values.push_back(1234.5 + (i % 977) * 3.75);
    values.push_back(i * 0.37);
    values.push_back(1.0 / (i + 1));
    values.push_back(i * 1e-7);
  }
  std::uint64_t bits = 0x9E3779B97F4A7C15u;
  for (int i = 0; i < 200000; ++i) {
    bits = bits * 6364136223846793005u + 1442695040888963407u;
    double value = 0;
    std::memcpy(&value, &bits, sizeof value);
    values.push_back(value);
    values.push_back(static_cast<double>(bits >> 20) / 1000.0);
  }
  int failures = 0;
  for (double value : values) {
    for (int precision : {15, 7}) {
      const std::string expected = Expected(value, precision);
      const std::string seen = Seen(DecimalOf(value, precision));
      if (seen != expected && ++failures <= 10) {
        ADD_FAILURE() << "value " << value << " precision " << precision << ": " << seen
                      << " instead of " << expected;
      }
    }
  }
  EXPECT_EQ(failures, 0);
}

}  // namespace
}  // namespace zarel
