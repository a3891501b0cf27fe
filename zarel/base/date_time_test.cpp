// Tests of the calendar arithmetic, ParseDate and the clock.
#include "zarel/base/date_time.h"

#include <gtest/gtest.h>

#include <cmath>
#include <thread>

#include "zarel/base/clock.h"
#include "zarel/base/error.h"
#include "zarel/base/format.h"
#include "zarel/base/locale.h"
#include "zarel/base/variant.h"
#include "zarel/testing/files.h"

namespace zarel {
namespace {

TEST(DateTimeTest, SerialsAndParts) {
  struct Case {
    DateParts parts;
    double serial;
    int weekday;
  };
  const Case cases[] = {
      {{1899, 12, 30, 0, 0, 0}, 0.0, 7},
      {{1899, 12, 31, 0, 0, 0}, 1.0, 1},
      {{1900, 1, 1, 0, 0, 0}, 2.0, 2},
      {{2000, 2, 29, 0, 0, 0}, 36585.0, 3},
      {{2026, 12, 5, 18, 0, 0}, 46361.75, 7},
      {{1899, 12, 29, 6, 0, 0}, -1.25, 6},  // before the epoch the time still counts up
      {{100, 1, 1, 0, 0, 0}, -657434.0, 6},
      {{9999, 12, 31, 0, 0, 0}, 2958465.0, 6},
  };
  for (const Case& c : cases) {
    Date date = MakeDate(c.parts);
    EXPECT_DOUBLE_EQ(date.Serial(), c.serial);
    DateParts back = SplitDate(date);
    EXPECT_EQ(back.year, c.parts.year);
    EXPECT_EQ(back.month, c.parts.month);
    EXPECT_EQ(back.day, c.parts.day);
    EXPECT_EQ(back.hour, c.parts.hour);
    EXPECT_EQ(Weekday(date), c.weekday);
  }
  // The time rounds to the second, carrying into the next day.
  DateParts carried = SplitDate(Date{46361.0 + 86399.6 / 86400});
  EXPECT_EQ(carried.day, 6);
  EXPECT_EQ(carried.hour, 0);
  EXPECT_FALSE(HasTimePart(Date{46361.0 + 0.2 / 86400}));
  EXPECT_TRUE(HasTimePart(Date{0.5}));
  EXPECT_FALSE(HasDatePart(Date{0.5}));
  EXPECT_TRUE(HasDatePart(Date{-1.5}));

  const DateParts bad[] = {{2026, 13, 1}, {2026, 2, 29}, {2026, 4, 31}, {99, 1, 1},
                           {10000, 1, 1}, {2026, 1, 1, 24}, {2026, 1, 1, 0, 60}};
  for (const DateParts& parts : bad) {
    try {
      MakeDate(parts);
      ADD_FAILURE() << parts.year << "-" << parts.month << "-" << parts.day;
    } catch (const RuntimeError& error) {
      EXPECT_EQ(error.Number(), errc::kInvalidProcedureCall);
    }
  }
}

// A Date far outside the calendar once reached the text conversions and
// turned a huge double into an integer (undefined behaviour, garbage text);
// now no such Date can be made, whichever way a serial arrives.
TEST(DateTimeTest, SerialsOutsideTheCalendarMakeNoDate) {
  const double outside[] = {-657435.0, -657435.5, 2958466.0,  1e300,    -1e300, 1e19,
                            -9.3e18,   HUGE_VAL,  -HUGE_VAL, std::nan("")};
  for (double serial : outside) {
    EXPECT_EQ(testing::ErrorNumberOf([&] { (void)Date{serial}; }), errc::kOverflow) << serial;
    EXPECT_EQ(testing::ErrorNumberOf([&] { Variant(serial).ToDate(); }), errc::kOverflow)
        << serial;
    EXPECT_EQ(testing::ErrorNumberOf([&] { Format(Variant(serial), "dd/mm/yyyy hh:nn"); }),
              errc::kOverflow)
        << serial;
  }
  // The first and the last moment of the calendar are Dates and read back.
  const std::pair<double, const char*> edges[] = {
      {-657434.0, "0100-01-01 00:00:00"},
      {-657434.999988, "0100-01-01 23:59:59"},
      {2958465.999988, "9999-12-31 23:59:59"},
  };
  for (const auto& [serial, text] : edges) {
    EXPECT_EQ(Format(Variant(Date{serial}), "yyyy-mm-dd hh:nn:ss"), text) << serial;
  }
}

TEST(DateTimeTest, ParseDate) {
  const Date day = MakeDate({2026, 12, 5, 0, 0, 0});
  const Date moment = MakeDate({2026, 12, 5, 14, 5, 9});
  const std::pair<const char*, Date> cases[] = {
      {"2026-12-05", day},
      {" 2026-12-05 ", day},
      {"2026-12-05 14:05:09", moment},
      {"2026-12-05T14:05:09", moment},
      {"2026-12-05T14:05:09Z", moment},
      {"2026-12-05 14:05:09+02:00", moment},
      {"2026-12-05T14:05:09-0500", moment},
      {"2026-12-05 14:05:09.000", moment},
      {"2026/12/05", day},
      {"12/5/2026", day},
      {"12/5/2026 2:05:09 PM", moment},
      {"12-05-26 14:05:09", moment},
      {"05 Dec 2026", day},
      {"5-dec-26", day},
      {"December 5, 2026", day},
      {"Dec 5 2026 2:05:09 pm", moment},
      {"Saturday, December 5, 2026", day},
      {"14:05:09", MakeDate({1899, 12, 30, 14, 5, 9})},
      {"2 PM", MakeDate({1899, 12, 30, 14, 0, 0})},
      {"12:00 AM", Date{0}},
  };
  for (const auto& [text, expected] : cases) {
    auto parsed = ParseDate(text, Locale::Current());
    ASSERT_TRUE(parsed.has_value()) << text;
    EXPECT_DOUBLE_EQ(parsed->Serial(), expected.Serial()) << text;
  }
  auto fraction = ParseDate("2026-12-05 14:05:09.250", Locale::Current());
  ASSERT_TRUE(fraction.has_value());
  EXPECT_NEAR((fraction->Serial() - moment.Serial()) * 86400, 0.25, 1e-6);

  for (const char* text : {"", "abc", "12", "2026", "3-4", "12/5", "13/5/2026", "2/30/2026",
                           "2026-12-05 25:00", "2026-12-05 14:60", "13:00 PM", "Dec 2026 x",
                           "1.5", "05 Foo 2026", "2026-12-05 14:05:09 +", "12/5/2026 $"}) {
    EXPECT_FALSE(ParseDate(text, Locale::Current()).has_value()) << text;
  }
}

TEST(ClockTest, FixedAndReleased) {
  Date moment = MakeDate({2026, 12, 5, 14, 5, 9});
  {
    FixedClock fixed(moment);
    EXPECT_EQ(Clock::Now(), moment);
    Date seen{};
    std::thread([&] { seen = Clock::Now(); }).join();
    EXPECT_EQ(seen, moment);
  }
  Date now = Clock::Now();
  EXPECT_NE(now, moment);
  EXPECT_GT(now.Serial(), MakeDate({2020, 1, 1, 0, 0, 0}).Serial());
}

}  // namespace
}  // namespace zarel
