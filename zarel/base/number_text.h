// Numbers as decimal digits: the form in which the value layer reads
// numbers from text, writes Doubles and Singles as text, and rounds numbers
// for number patterns.
//
// Internal to the value layer (variant.cpp and format.cpp); other layers use
// the conversions of Variant and Format.
#ifndef ZAREL_BASE_NUMBER_TEXT_H_
#define ZAREL_BASE_NUMBER_TEXT_H_

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "zarel/base/variant.h"

namespace zarel {

// A number as its sign, its significant digits and the place of the decimal
// point: the value is 0.<digits> x 10^point. The digits have no leading and
// no trailing zeros; zero has no digits. 1234.5 is digits "12345", point 4;
// 0.005 is digits "5", point -2.
struct DecimalNumber {
  bool negative = false;
  std::string digits;
  std::int64_t point = 0;

  bool IsZero() const { return digits.empty(); }
};

// Reads a number as the conversions do: surrounding spaces, an optional
// sign, digits with "," allowed between digits of the whole part, an
// optional decimal point and an optional exponent ("1.5E-05"). Empty when
// the text is no number.
std::optional<DecimalNumber> ReadDecimal(std::string_view text);

// The digits of a double rounded to `precision` significant digits.
DecimalNumber DecimalOf(double value, int precision);
DecimalNumber DecimalOf(float value, int precision);
DecimalNumber DecimalOf(std::int64_t value);
DecimalNumber DecimalOf(Currency value);

// The nearest double; error 6 when the number is beyond the double range.
double DecimalToDouble(const DecimalNumber& number);
// The amount exactly, rounded to four decimals with halves to even; error 6
// beyond the Currency range.
Currency DecimalToCurrency(const DecimalNumber& number);

// Rounds to `places` decimals, halves away from zero (the number patterns'
// rounding).
void RoundAwayFromZero(DecimalNumber& number, std::int64_t places);

// The platform's text of a number with `precision` significant digits:
// fixed notation while the decimal exponent is below the precision and not
// below -4, otherwise exponent form ("1E+15", "1.5E-05").
std::string DecimalToText(const DecimalNumber& number, int precision);

}  // namespace zarel

#endif  // ZAREL_BASE_NUMBER_TEXT_H_
