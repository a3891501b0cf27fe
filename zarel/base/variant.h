// Variant: the value type that carries every database value, property value
// and event argument through the system.
//
// A Variant holds one of: Empty (never assigned), Null (a database Null),
// Boolean, Integer (16-bit), Long (32-bit), LongLong (64-bit), Single,
// Double, Currency (fixed point with four decimals), Date, String (UTF-8),
// Bytes, or a reference to an Object (a chapter field holds a recordset).
//
// The conversions follow the platform's rules that the report pages depend
// on: to a whole number the nearest one with ties to even (2.5 gives 2, 3.5
// gives 4, also from text); error 6 "Overflow" outside the target range;
// error 13 "Type mismatch" for text that is no number; error 94 "Invalid use
// of Null" for Null. The text of a Double has up to 15 significant digits,
// of a Single up to 7, with no trailing zeros and exponent form for very
// large or small values (1E+16, 1.5E-05); of a Boolean "True" / "False"; of
// a Date the locale's general date (see format.h).
//
// Threads: a Variant is a value; copies may go to other threads freely, and
// one Variant may be read from several threads at once while none writes it.
// An object it refers to keeps its own rule.
#ifndef ZAREL_BASE_VARIANT_H_
#define ZAREL_BASE_VARIANT_H_

#include <compare>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "zarel/base/object.h"

namespace zarel {

enum class VarType {
  kEmpty,
  kNull,
  kBoolean,
  kInteger,
  kLong,
  kLongLong,
  kSingle,
  kDouble,
  kCurrency,
  kDate,
  kString,
  kBytes,
  kObject,
};

// Fixed-point money: the amount times 10,000.
struct Currency {
  std::int64_t scaled = 0;
  static constexpr std::int64_t kScale = 10000;
  static Currency FromDouble(double amount);  // nearest, ties to even; 6 on overflow
  double ToDouble() const { return static_cast<double>(scaled) / kScale; }
  friend auto operator<=>(const Currency&, const Currency&) = default;
};

// A date and time as the number of days since 30 December 1899; the
// fraction is the time of day. Whole days alone are a date without a time;
// a value below one day alone is a time without a date.
//
// A Date always lies within the calendar: from 1 January 100 to the end of
// 31 December 9999. Making one from a serial outside it (or from NaN)
// raises 6 "Overflow", so everything that writes a Date as text can rely
// on a day that has a year, a month and a day.
class Date {
 public:
  constexpr Date() = default;
  explicit Date(double serial);
  double Serial() const { return serial_; }
  friend auto operator<=>(const Date&, const Date&) = default;

 private:
  double serial_ = 0;
};

using Bytes = std::vector<std::uint8_t>;

class Variant {
 public:
  Variant() = default;  // Empty
  static Variant Null();

  Variant(bool value) : data_(value) {}
  Variant(std::int16_t value) : data_(value) {}
  Variant(std::int32_t value) : data_(value) {}
  Variant(std::int64_t value) : data_(value) {}
  Variant(float value) : data_(value) {}
  Variant(double value) : data_(value) {}
  Variant(Currency value) : data_(value) {}
  Variant(Date value) : data_(value) {}
  Variant(std::string value) : data_(std::move(value)) {}
  Variant(std::string_view value) : data_(std::string(value)) {}
  Variant(const char* value) : data_(std::string(value)) {}
  Variant(Bytes value) : data_(std::move(value)) {}
  Variant(ObjectRef value) : data_(std::move(value)) {}
  template <class T>
  Variant(std::shared_ptr<T> value) : data_(ObjectRef(std::move(value))) {}

  VarType Type() const { return static_cast<VarType>(data_.index()); }
  bool IsEmpty() const { return Type() == VarType::kEmpty; }
  bool IsNull() const { return Type() == VarType::kNull; }
  bool IsObject() const { return Type() == VarType::kObject; }
  // True for the numeric alternatives (Integer to Currency); Boolean, Date
  // and text are not numeric here.
  bool HoldsNumber() const;

  // The stored alternative itself; error 13 when another one is stored.
  bool AsBoolean() const;
  const std::string& AsString() const;
  const Bytes& AsBytes() const;
  const ObjectRef& AsObject() const;
  template <class T>
  std::shared_ptr<T> AsObjectOf() const {
    return std::dynamic_pointer_cast<T>(AsObject());
  }

  // Conversions. They raise RuntimeError as described above.
  std::int16_t ToInteger() const;
  std::int32_t ToLong() const;
  std::int64_t ToLongLong() const;
  float ToSingle() const;
  double ToDouble() const;
  Currency ToCurrency() const;
  bool ToBoolean() const;  // numbers: non-zero; text "True"/"False" or a number
  Date ToDate() const;     // numbers as serials; text parsed as a date
  std::string ToText() const;  // Empty gives ""; Null raises 94

  // The value joined to an empty text: as ToText(), but Null gives "".
  std::string TextOrEmpty() const;

  // Makes the value the text, reusing the storage of the text it holds, if
  // it holds one (a reader that refills one Variant row after row then
  // allocates only for texts longer than any before).
  void AssignText(std::string_view text);

 private:
  struct NullTag {
    friend bool operator==(NullTag, NullTag) { return true; }
  };
  using Data = std::variant<std::monostate, NullTag, bool, std::int16_t, std::int32_t,
                            std::int64_t, float, double, Currency, Date, std::string,
                            Bytes, ObjectRef>;
  explicit Variant(NullTag tag) : data_(tag) {}

  friend class VariantAccess;
  Data data_;
};

// Compares two values as the platform's "=" and "<" do: two numbers (or a
// number and a numeric text, " 2" against 2) numerically, two texts by
// binary comparison, dates by their serials, Booleans as -1 / 0. Beside a
// Date a text is read as a date when it is one; beside a Boolean "True" and
// "False" count; Empty is "" beside a text and 0 otherwise. A text that is
// no number compared with a number raises 13, as does an object reference;
// Null on either side raises 94 (callers that must handle Null test for it
// first).
std::strong_ordering CompareValues(const Variant& left, const Variant& right);
bool ValuesEqual(const Variant& left, const Variant& right);

// Reads a number from text as the conversions do: surrounding spaces, an
// optional sign, digits with optional "," between digits of the whole part,
// an optional decimal point and an optional exponent ("1.5E-05"). Empty when
// the text is no number or beyond the range of a Double.
std::optional<double> ParseNumber(std::string_view text);

// The text of a Double (15 significant digits) and of a Single (7).
std::string DoubleToText(double value);
std::string SingleToText(float value);

}  // namespace zarel

#endif  // ZAREL_BASE_VARIANT_H_
