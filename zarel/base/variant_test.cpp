// Tests of Variant: conversions with their errors, comparison, the text of
// numbers, and run-time error texts.
#include "zarel/base/variant.h"

#include <gtest/gtest.h>

#include <limits>

#include "zarel/base/date_time.h"
#include "zarel/base/error.h"

namespace zarel {
namespace {

// The error number a call raises, or 0 when it succeeds.
template <class F>
int ErrorOf(F&& call) {
  try {
    call();
  } catch (const RuntimeError& error) {
    return error.Number();
  }
  return 0;
}

TEST(VariantTest, WholeNumbersRoundHalvesToEvenAndCheckTheirRange) {
  struct Case {
    Variant value;
    int expected;  // when error is 0
    int error;
  };
  const Case integer_cases[] = {
      {2.5, 2, 0},
      {3.5, 4, 0},
      {-2.5, -2, 0},
      {-3.5, -4, 0},
      {2.4999, 2, 0},
      {"2.5", 2, 0},
      {" 3.5 ", 4, 0},
      {"1,234", 1234, 0},
      {"-7e1", -70, 0},
      {32767.0, 32767, 0},
      {32767.4, 32767, 0},
      {32767.5, 0, errc::kOverflow},
      {"32768", 0, errc::kOverflow},
      {-32768.0, -32768, 0},
      {-32768.5, -32768, 0},
      {-32769.0, 0, errc::kOverflow},
      {Currency{25000}, 2, 0},
      {Currency{35000}, 4, 0},
      {Currency{-25001}, -3, 0},
      {true, -1, 0},
      {Variant(), 0, 0},
      {std::int32_t{40000}, 0, errc::kOverflow},
      {"abc", 0, errc::kTypeMismatch},
      {"", 0, errc::kTypeMismatch},
      {"1.2.3", 0, errc::kTypeMismatch},
      {"12abc", 0, errc::kTypeMismatch},
      {Bytes{1, 2}, 0, errc::kTypeMismatch},
      {Variant::Null(), 0, errc::kInvalidUseOfNull},
  };
  for (const Case& c : integer_cases) {
    SCOPED_TRACE(c.value.TextOrEmpty());
    EXPECT_EQ(ErrorOf([&] { c.value.ToInteger(); }), c.error);
    if (c.error == 0) {
      EXPECT_EQ(c.value.ToInteger(), c.expected);
    }
  }
  const Case long_cases[] = {
      {2147483647.0, 2147483647, 0},
      {2147483646.5, 2147483646, 0},
      {2147483647.5, 0, errc::kOverflow},
      {-2147483648.0, std::numeric_limits<int>::min(), 0},
      {-2147483649.0, 0, errc::kOverflow},
      {"4.5", 4, 0},
      {"5.5", 6, 0},
      {std::int64_t{1} << 31, 0, errc::kOverflow},
      {Variant::Null(), 0, errc::kInvalidUseOfNull},
  };
  for (const Case& c : long_cases) {
    SCOPED_TRACE(c.value.TextOrEmpty());
    EXPECT_EQ(ErrorOf([&] { c.value.ToLong(); }), c.error);
    if (c.error == 0) {
      EXPECT_EQ(c.value.ToLong(), c.expected);
    }
  }
  EXPECT_EQ(ErrorOf([] { Variant(1e19).ToLongLong(); }), errc::kOverflow);
  EXPECT_EQ(ErrorOf([] { Variant(1e39).ToSingle(); }), errc::kOverflow);
}

TEST(VariantTest, OtherConversions) {
  EXPECT_DOUBLE_EQ(Variant("  -1,234.5e-1 ").ToDouble(), -123.45);
  EXPECT_DOUBLE_EQ(Variant(true).ToDouble(), -1.0);
  EXPECT_EQ(ErrorOf([] { Variant("1e400").ToDouble(); }), errc::kOverflow);
  EXPECT_EQ(Variant("1e-400").ToDouble(), 0.0);
  EXPECT_TRUE(Variant(" true").ToBoolean());
  EXPECT_FALSE(Variant("FALSE").ToBoolean());
  EXPECT_TRUE(Variant("-2").ToBoolean());
  EXPECT_EQ(ErrorOf([] { Variant("yes").ToBoolean(); }), errc::kTypeMismatch);
  EXPECT_FALSE(Variant().ToBoolean());
  EXPECT_EQ(Variant().ToText(), "");
  EXPECT_EQ(ErrorOf([] { Variant::Null().ToText(); }), errc::kInvalidUseOfNull);
  EXPECT_EQ(Variant::Null().TextOrEmpty(), "");
  EXPECT_EQ(Variant(true).ToText(), "True");
  EXPECT_EQ(Variant(false).ToText(), "False");
  EXPECT_EQ(Variant(std::int16_t{-32768}).ToText(), "-32768");
  EXPECT_EQ(ErrorOf([] { Variant(7.0).AsString(); }), errc::kTypeMismatch);
  EXPECT_EQ(Variant("2026-12-05").ToDate(), MakeDate({2026, 12, 5, 0, 0, 0}));
  EXPECT_EQ(ErrorOf([] { Variant("soon").ToDate(); }), errc::kTypeMismatch);
  EXPECT_EQ(ErrorOf([] { Variant(1e9).ToDate(); }), errc::kOverflow);
}

TEST(VariantTest, TextOfDoublesAndSingles) {
  const std::pair<double, const char*> doubles[] = {
      {0.0, "0"},
      {-0.0, "0"},
      {100.0, "100"},
      {-2.5, "-2.5"},
      {0.1 + 0.2, "0.3"},
      {1.0 / 3, "0.333333333333333"},
      {2.0 / 3, "0.666666666666667"},
      {123456789012345.0, "123456789012345"},
      {999999999999999.0, "999999999999999"},
      {1e15, "1E+15"},
      {1e16, "1E+16"},
      {-1.25e20, "-1.25E+20"},
      {1.7976931348623157e308, "1.79769313486232E+308"},
      {0.0001, "0.0001"},
      {0.00012345, "0.00012345"},
      {0.00001, "1E-05"},
      {1.5e-5, "1.5E-05"},
      {12345.678, "12345.678"},
  };
  for (const auto& [value, text] : doubles) EXPECT_EQ(Variant(value).ToText(), text);
  const std::pair<float, const char*> singles[] = {
      {0.1f, "0.1"},          {2.5f, "2.5"},        {1.0f / 3, "0.3333333"},
      {1234567.0f, "1234567"}, {1e7f, "1E+07"},     {16777216.0f, "1.677722E+07"},
      {0.00001f, "1E-05"},    {-0.5f, "-0.5"},
  };
  for (const auto& [value, text] : singles) EXPECT_EQ(Variant(value).ToText(), text);
  // The text reads back to the same Double (to 15 digits).
  for (double value : {0.1, 1234.5678, 1e-7, 6.02214076e23}) {
    EXPECT_EQ(Variant(Variant(value).ToText()).ToDouble(), value);
  }
}

TEST(VariantTest, CurrencyKeepsFourDecimalsExactly) {
  const std::pair<const char*, const char*> cases[] = {
      {"12.5", "12.5"},
      {"3", "3"},
      {"-0.0001", "-0.0001"},
      {"1.23456", "1.2346"},
      {"1.23455", "1.2346"},  // halves to even in the fourth decimal
      {"1.23445", "1.2344"},
      {"922337203685477.5807", "922337203685477.5807"},
      {"-922337203685477.5808", "-922337203685477.5808"},
      {"1,000.10", "1000.1"},
  };
  for (const auto& [input, text] : cases) {
    SCOPED_TRACE(input);
    Currency amount = Variant(input).ToCurrency();
    EXPECT_EQ(Variant(amount).ToText(), text);
    EXPECT_EQ(Variant(Variant(amount).ToText()).ToCurrency(), amount);
  }
  EXPECT_EQ(ErrorOf([] { Variant("922337203685477.5808").ToCurrency(); }), errc::kOverflow);
  EXPECT_EQ(ErrorOf([] { Variant(1e16).ToCurrency(); }), errc::kOverflow);
  EXPECT_EQ(Variant(0.1f).ToCurrency(), Currency{1000});
  EXPECT_EQ(Currency::FromDouble(0.00005), Currency{0});
  EXPECT_EQ(Currency::FromDouble(2.50015), Currency{25002});
}

TEST(VariantTest, Comparisons) {
  using std::strong_ordering;
  struct Case {
    Variant left;
    Variant right;
    strong_ordering expected;
  };
  const Case cases[] = {
      {" 2", std::int32_t{2}, strong_ordering::equal},
      {std::int16_t{2}, "2.0", strong_ordering::equal},
      {"10", 9.5, strong_ordering::greater},
      {"10", "9", strong_ordering::less},  // two texts: by their bytes
      {"a", "B", strong_ordering::greater},
      {"abc", "abc", strong_ordering::equal},
      {"", Variant(), strong_ordering::equal},
      {Variant(), 0.0, strong_ordering::equal},
      {std::int64_t{9007199254740993}, std::int64_t{9007199254740992}, strong_ordering::greater},
      {Currency{10000}, std::int32_t{1}, strong_ordering::equal},
      {true, std::int16_t{-1}, strong_ordering::equal},
      {true, "True", strong_ordering::equal},
      {false, true, strong_ordering::greater},
      {Date{46361}, "2026-12-05", strong_ordering::equal},
      {Date{46361}, 46362.0, strong_ordering::less},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.left.TextOrEmpty() + " vs " + c.right.TextOrEmpty());
    EXPECT_EQ(CompareValues(c.left, c.right), c.expected);
  }
  EXPECT_TRUE(ValuesEqual(Variant(" 2"), Variant(2.0)));
  EXPECT_EQ(ErrorOf([] { CompareValues(Variant("abc"), Variant(1.0)); }), errc::kTypeMismatch);
  EXPECT_EQ(ErrorOf([] { CompareValues(Variant::Null(), Variant::Null()); }),
            errc::kInvalidUseOfNull);
  EXPECT_EQ(ErrorOf([] { CompareValues(Variant(1.0), Variant::Null()); }),
            errc::kInvalidUseOfNull);
}

TEST(VariantTest, ParseNumber) {
  EXPECT_EQ(ParseNumber(" +1,234.50 "), 1234.5);
  EXPECT_EQ(ParseNumber(".5"), 0.5);
  EXPECT_EQ(ParseNumber("5."), 5.0);
  EXPECT_EQ(ParseNumber("1.5E-05"), 1.5e-5);
  for (const char* text : {"", " ", ".", "-", "1e", "1,", ",1", "1.000,5", "0x10", "1 2", "1e999"}) {
    EXPECT_FALSE(ParseNumber(text).has_value()) << text;
  }
}

TEST(ErrorTest, DescriptionsAndMessages) {
  EXPECT_EQ(StandardDescription(1234), "Application-defined or object-defined error");
  EXPECT_EQ(ErrorText("Error: ", RuntimeError(13)), "Error: 13, Type mismatch");
  EXPECT_EQ(ErrorText("Error-: ", RuntimeError(errc::kDatabaseError, "no such table: X")),
            "Error-: -2147467259, no such table: X");
  try {
    throw std::out_of_range("bad index");
  } catch (...) {
    RuntimeError error = CurrentError();
    EXPECT_EQ(error.Number(), errc::kInternalError);
    EXPECT_EQ(error.Description(), "bad index");
  }
  try {
    throw std::bad_alloc();
  } catch (...) {
    EXPECT_EQ(ErrorText("Error: ", CurrentError()), "Error: 7, Out of memory");
  }
  try {
    Raise(errc::kObjectClosed);
  } catch (...) {
    EXPECT_EQ(CurrentError().Description(), "Operation is not allowed when the object is closed.");
  }
}

}  // namespace
}  // namespace zarel
