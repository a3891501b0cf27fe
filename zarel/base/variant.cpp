// Variant: accessors, the conversions between the alternatives, comparison
// and the text of numbers.
#include "zarel/base/variant.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <type_traits>

#include "zarel/base/ascii_text.h"
#include "zarel/base/date_time.h"
#include "zarel/base/error.h"
#include "zarel/base/format.h"
#include "zarel/base/locale.h"
#include "zarel/base/number_text.h"

namespace zarel {

// Gives the implementation read access to the stored alternative.
class VariantAccess {
 public:
  static const auto& Data(const Variant& value) { return value.data_; }
};

namespace {

// The nearest whole number, halves going to the even neighbour.
double RoundHalfEven(double value) {
  double whole = std::floor(value);
  double rest = value - whole;  // exact for doubles
  if (rest > 0.5 || (rest == 0.5 && std::fmod(whole, 2.0) != 0.0)) whole += 1.0;
  return whole;
}

// The value in -range..range after rounding, or error 6.
template <class Int>
Int WholeFromDouble(double value) {
  if (std::isnan(value)) Raise(errc::kOverflow);
  double rounded = RoundHalfEven(value);
  // The bounds are exact powers of two for 64 bits; the upper one is excluded.
  constexpr double kLow = static_cast<double>(std::numeric_limits<Int>::min());
  constexpr double kHigh = -kLow;
  if (!(rounded >= kLow && rounded < kHigh)) Raise(errc::kOverflow);
  return static_cast<Int>(rounded);
}

template <class Int>
Int WholeFromInt64(std::int64_t value) {
  if (value < std::numeric_limits<Int>::min() || value > std::numeric_limits<Int>::max()) {
    Raise(errc::kOverflow);
  }
  return static_cast<Int>(value);
}

double TextToDouble(const std::string& text) {
  auto number = ReadDecimal(text);
  if (!number) Raise(errc::kTypeMismatch);
  return DecimalToDouble(*number);
}

// The Boolean a text names ("True" / "False", any case), if it names one.
std::optional<bool> BooleanWord(std::string_view text) {
  auto equals = [&](std::string_view word) { return EqualIgnoringAsciiCase(text, word); };
  std::size_t begin = 0;
  std::size_t end = text.size();
  while (begin < end && IsWhiteSpace(text[begin])) ++begin;
  while (end > begin && IsWhiteSpace(text[end - 1])) --end;
  text = text.substr(begin, end - begin);
  if (equals("true")) return true;
  if (equals("false")) return false;
  return std::nullopt;
}

template <class... F>
struct Overloaded : F... {
  using F::operator()...;
};
template <class... F>
Overloaded(F...) -> Overloaded<F...>;

// The text of a Double or Single: fixed or exponent form by the digits.
template <class Float>
std::string FloatToText(Float value, int precision) {
  if (std::isnan(value)) return "NaN";
  if (std::isinf(value)) return value < 0 ? "-Infinity" : "Infinity";
  return DecimalToText(DecimalOf(value, precision), precision);
}

template <class Int>
std::string IntegerText(Int value) {
  char buffer[24];
  auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  return std::string(buffer, result.ptr);
}

std::string CurrencyText(Currency value) {
  // At most 15 whole digits and 4 decimals: the fixed form always applies.
  return DecimalToText(DecimalOf(value), 20);
}

// Limits of the dates the platform represents, both exclusive: the day
// before 1 January 100 (whose serial is -657434; a time on that day counts
// down from there, -657434.5 being noon) and the day after 31 December 9999.
constexpr double kBeforeFirstSerial = -657435.0;
constexpr double kAfterLastSerial = 2958466.0;

// The kind of operand in a comparison.
enum class Kind { kEmpty, kNumber, kBoolean, kDate, kText, kBytes, kObject };

Kind KindOf(const Variant& value) {
  switch (value.Type()) {
    case VarType::kEmpty:
      return Kind::kEmpty;
    case VarType::kBoolean:
      return Kind::kBoolean;
    case VarType::kDate:
      return Kind::kDate;
    case VarType::kString:
      return Kind::kText;
    case VarType::kBytes:
      return Kind::kBytes;
    case VarType::kObject:
      return Kind::kObject;
    default:
      return Kind::kNumber;
  }
}

std::strong_ordering CompareDoubles(double left, double right) {
  if (left < right) return std::strong_ordering::less;
  if (left > right) return std::strong_ordering::greater;
  if (left == right) return std::strong_ordering::equal;
  // NaN sorts before every number and equal to itself.
  bool left_nan = std::isnan(left);
  bool right_nan = std::isnan(right);
  if (left_nan && right_nan) return std::strong_ordering::equal;
  return left_nan ? std::strong_ordering::less : std::strong_ordering::greater;
}

bool IsWholeType(VarType type) {
  return type == VarType::kInteger || type == VarType::kLong || type == VarType::kLongLong ||
         type == VarType::kBoolean || type == VarType::kEmpty;
}

// Both operands as numbers, exactly where both are whole or Currency.
std::strong_ordering CompareNumbers(const Variant& left, const Variant& right) {
  VarType lt = left.Type();
  VarType rt = right.Type();
  if (IsWholeType(lt) && IsWholeType(rt)) return left.ToLongLong() <=> right.ToLongLong();
  if ((lt == VarType::kCurrency || IsWholeType(lt)) &&
      (rt == VarType::kCurrency || IsWholeType(rt))) {
    // Whole numbers beyond the Currency range compare as doubles below.
    try {
      return left.ToCurrency() <=> right.ToCurrency();
    } catch (const RuntimeError&) {
    }
  }
  return CompareDoubles(left.ToDouble(), right.ToDouble());
}

// A text operand against a number: the text read as a number.
Variant TextAsNumber(const Variant& text) {
  return Variant(TextToDouble(text.AsString()));
}

}  // namespace

Date::Date(double serial) : serial_(serial) {
  // Written so that NaN fails too.
  if (!(serial > kBeforeFirstSerial && serial < kAfterLastSerial)) Raise(errc::kOverflow);
}

Currency Currency::FromDouble(double amount) {
  return Currency{WholeFromDouble<std::int64_t>(amount * static_cast<double>(kScale))};
}

Variant Variant::Null() { return Variant(NullTag{}); }

bool Variant::HoldsNumber() const {
  switch (Type()) {
    case VarType::kInteger:
    case VarType::kLong:
    case VarType::kLongLong:
    case VarType::kSingle:
    case VarType::kDouble:
    case VarType::kCurrency:
      return true;
    default:
      return false;
  }
}

bool Variant::AsBoolean() const {
  if (const bool* value = std::get_if<bool>(&data_)) return *value;
  Raise(errc::kTypeMismatch);
}

void Variant::AssignText(std::string_view text) {
  if (std::string* held = std::get_if<std::string>(&data_)) {
    held->assign(text);
  } else {
    data_.emplace<std::string>(text);
  }
}

const std::string& Variant::AsString() const {
  if (const std::string* value = std::get_if<std::string>(&data_)) return *value;
  Raise(errc::kTypeMismatch);
}

const Bytes& Variant::AsBytes() const {
  if (const Bytes* value = std::get_if<Bytes>(&data_)) return *value;
  Raise(errc::kTypeMismatch);
}

const ObjectRef& Variant::AsObject() const {
  if (const ObjectRef* value = std::get_if<ObjectRef>(&data_)) return *value;
  Raise(errc::kTypeMismatch);
}

std::int64_t Variant::ToLongLong() const {
  return std::visit(
      Overloaded{
          [](std::monostate) -> std::int64_t { return 0; },
          [](NullTag) -> std::int64_t { Raise(errc::kInvalidUseOfNull); },
          [](bool value) -> std::int64_t { return value ? -1 : 0; },
          [](std::int16_t value) -> std::int64_t { return value; },
          [](std::int32_t value) -> std::int64_t { return value; },
          [](std::int64_t value) -> std::int64_t { return value; },
          [](float value) { return WholeFromDouble<std::int64_t>(value); },
          [](double value) { return WholeFromDouble<std::int64_t>(value); },
          [](Currency value) -> std::int64_t {
            // Halves to even, exactly.
            std::int64_t whole = value.scaled / Currency::kScale;
            std::int64_t rest = value.scaled % Currency::kScale;
            constexpr std::int64_t kHalf = Currency::kScale / 2;
            if (rest > kHalf || (rest == kHalf && whole % 2 != 0)) ++whole;
            if (rest < -kHalf || (rest == -kHalf && whole % 2 != 0)) --whole;
            return whole;
          },
          [](Date value) { return WholeFromDouble<std::int64_t>(value.Serial()); },
          [](const std::string& value) {
            return WholeFromDouble<std::int64_t>(TextToDouble(value));
          },
          [](const Bytes&) -> std::int64_t { Raise(errc::kTypeMismatch); },
          [](const ObjectRef&) -> std::int64_t { Raise(errc::kTypeMismatch); },
      },
      data_);
}

std::int16_t Variant::ToInteger() const {
  if (const double* value = std::get_if<double>(&data_)) {
    return WholeFromDouble<std::int16_t>(*value);
  }
  if (const std::string* value = std::get_if<std::string>(&data_)) {
    return WholeFromDouble<std::int16_t>(TextToDouble(*value));
  }
  return WholeFromInt64<std::int16_t>(ToLongLong());
}

std::int32_t Variant::ToLong() const {
  if (const double* value = std::get_if<double>(&data_)) {
    return WholeFromDouble<std::int32_t>(*value);
  }
  if (const std::string* value = std::get_if<std::string>(&data_)) {
    return WholeFromDouble<std::int32_t>(TextToDouble(*value));
  }
  return WholeFromInt64<std::int32_t>(ToLongLong());
}

double Variant::ToDouble() const {
  return std::visit(
      Overloaded{
          [](std::monostate) { return 0.0; },
          [](NullTag) -> double { Raise(errc::kInvalidUseOfNull); },
          [](bool value) { return value ? -1.0 : 0.0; },
          [](std::int16_t value) { return static_cast<double>(value); },
          [](std::int32_t value) { return static_cast<double>(value); },
          [](std::int64_t value) { return static_cast<double>(value); },
          [](float value) { return static_cast<double>(value); },
          [](double value) { return value; },
          [](Currency value) { return value.ToDouble(); },
          [](Date value) { return value.Serial(); },
          [](const std::string& value) { return TextToDouble(value); },
          [](const Bytes&) -> double { Raise(errc::kTypeMismatch); },
          [](const ObjectRef&) -> double { Raise(errc::kTypeMismatch); },
      },
      data_);
}

float Variant::ToSingle() const {
  if (const float* value = std::get_if<float>(&data_)) return *value;
  double value = ToDouble();
  if (std::isfinite(value) && std::fabs(value) > std::numeric_limits<float>::max()) {
    Raise(errc::kOverflow);
  }
  return static_cast<float>(value);
}

Currency Variant::ToCurrency() const {
  return std::visit(
      Overloaded{
          [](std::monostate) { return Currency{}; },
          [](NullTag) -> Currency { Raise(errc::kInvalidUseOfNull); },
          [](bool value) { return Currency{value ? -Currency::kScale : 0}; },
          [](std::int16_t value) { return Currency{value * Currency::kScale}; },
          [](std::int32_t value) {
            return Currency{static_cast<std::int64_t>(value) * Currency::kScale};
          },
          [](std::int64_t value) {
            constexpr std::int64_t kLimit = std::numeric_limits<std::int64_t>::max() /
                                            Currency::kScale;
            if (value > kLimit || value < -kLimit) Raise(errc::kOverflow);
            return Currency{value * Currency::kScale};
          },
          // A Single converts through its shortest decimal text, so 0.1f
          // gives 0.1 and not 0.100000001.
          [](float value) {
            if (!std::isfinite(value)) Raise(errc::kOverflow);
            char buffer[64];
            auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
            return DecimalToCurrency(*ReadDecimal(std::string_view(buffer, result.ptr)));
          },
          [](double value) { return Currency::FromDouble(value); },
          [](Currency value) { return value; },
          [](Date value) { return Currency::FromDouble(value.Serial()); },
          [](const std::string& value) {
            auto number = ReadDecimal(value);
            if (!number) Raise(errc::kTypeMismatch);
            return DecimalToCurrency(*number);
          },
          [](const Bytes&) -> Currency { Raise(errc::kTypeMismatch); },
          [](const ObjectRef&) -> Currency { Raise(errc::kTypeMismatch); },
      },
      data_);
}

bool Variant::ToBoolean() const {
  return std::visit(
      Overloaded{
          [](std::monostate) { return false; },
          [](NullTag) -> bool { Raise(errc::kInvalidUseOfNull); },
          [](bool value) { return value; },
          [](std::int16_t value) { return value != 0; },
          [](std::int32_t value) { return value != 0; },
          [](std::int64_t value) { return value != 0; },
          [](float value) { return value != 0; },
          [](double value) { return value != 0; },
          [](Currency value) { return value.scaled != 0; },
          [](Date value) { return value.Serial() != 0; },
          [](const std::string& value) {
            if (auto word = BooleanWord(value)) return *word;
            return TextToDouble(value) != 0;
          },
          [](const Bytes&) -> bool { Raise(errc::kTypeMismatch); },
          [](const ObjectRef&) -> bool { Raise(errc::kTypeMismatch); },
      },
      data_);
}

Date Variant::ToDate() const {
  return std::visit(
      Overloaded{
          [](std::monostate) { return Date{}; },
          [](NullTag) -> Date { Raise(errc::kInvalidUseOfNull); },
          [](bool value) { return Date{value ? -1.0 : 0.0}; },
          [](std::int16_t value) { return Date(value); },
          [](std::int32_t value) { return Date(value); },
          [](std::int64_t value) { return Date(static_cast<double>(value)); },
          [](float value) { return Date(value); },
          [](double value) { return Date(value); },
          [](Currency value) { return Date(value.ToDouble()); },
          [](Date value) { return value; },
          [](const std::string& value) {
            auto date = ParseDate(value, Locale::Current());
            if (!date) Raise(errc::kTypeMismatch);
            return *date;
          },
          [](const Bytes&) -> Date { Raise(errc::kTypeMismatch); },
          [](const ObjectRef&) -> Date { Raise(errc::kTypeMismatch); },
      },
      data_);
}

std::string Variant::ToText() const {
  return std::visit(
      Overloaded{
          [](std::monostate) { return std::string(); },
          [](NullTag) -> std::string { Raise(errc::kInvalidUseOfNull); },
          [](bool value) { return std::string(value ? "True" : "False"); },
          [](std::int16_t value) { return IntegerText(value); },
          [](std::int32_t value) { return IntegerText(value); },
          [](std::int64_t value) { return IntegerText(value); },
          [](float value) { return SingleToText(value); },
          [](double value) { return DoubleToText(value); },
          [](Currency value) { return CurrencyText(value); },
          [](Date value) { return GeneralDateText(value); },
          [](const std::string& value) { return value; },
          [](const Bytes& value) { return std::string(value.begin(), value.end()); },
          [](const ObjectRef&) -> std::string { Raise(errc::kTypeMismatch); },
      },
      data_);
}

std::string Variant::TextOrEmpty() const {
  if (IsNull()) return std::string();
  return ToText();
}

std::strong_ordering CompareValues(const Variant& left, const Variant& right) {
  if (left.IsNull() || right.IsNull()) Raise(errc::kInvalidUseOfNull);
  Kind lk = KindOf(left);
  Kind rk = KindOf(right);
  if (lk == Kind::kObject || rk == Kind::kObject) Raise(errc::kTypeMismatch);

  // Texts (and byte strings, read as text) compare by their bytes; Empty
  // counts as "" beside a text.
  auto is_texty = [](Kind kind) { return kind == Kind::kText || kind == Kind::kBytes; };
  if ((is_texty(lk) || lk == Kind::kEmpty) && (is_texty(rk) || rk == Kind::kEmpty) &&
      !(lk == Kind::kEmpty && rk == Kind::kEmpty)) {
    return left.ToText() <=> right.ToText();
  }
  if (lk == Kind::kBytes || rk == Kind::kBytes) Raise(errc::kTypeMismatch);

  // A date beside a text reads the text as a date when it is one.
  if (lk == Kind::kDate && rk == Kind::kText) {
    if (auto date = ParseDate(right.AsString(), Locale::Current())) {
      return CompareDoubles(left.ToDate().Serial(), date->Serial());
    }
  }
  if (rk == Kind::kDate && lk == Kind::kText) {
    if (auto date = ParseDate(left.AsString(), Locale::Current())) {
      return CompareDoubles(date->Serial(), right.ToDate().Serial());
    }
  }
  // A Boolean beside a text reads "True" / "False".
  if (lk == Kind::kBoolean && rk == Kind::kText) {
    if (auto word = BooleanWord(right.AsString())) return CompareNumbers(left, Variant(*word));
  }
  if (rk == Kind::kBoolean && lk == Kind::kText) {
    if (auto word = BooleanWord(left.AsString())) return CompareNumbers(Variant(*word), right);
  }
  if (lk == Kind::kText) return CompareNumbers(TextAsNumber(left), right);
  if (rk == Kind::kText) return CompareNumbers(left, TextAsNumber(right));
  return CompareNumbers(left, right);
}

bool ValuesEqual(const Variant& left, const Variant& right) {
  return CompareValues(left, right) == std::strong_ordering::equal;
}

std::optional<double> ParseNumber(std::string_view text) {
  auto number = ReadDecimal(text);
  if (!number) return std::nullopt;
  try {
    return DecimalToDouble(*number);
  } catch (const RuntimeError&) {
    return std::nullopt;
  }
}

std::string DoubleToText(double value) { return FloatToText(value, 15); }

std::string SingleToText(float value) { return FloatToText(value, 7); }

}  // namespace zarel
