// Tests of the calendar arithmetic, ParseDate and the clock.
#include "zarel/base/date_time.h"

#include <gtest/gtest.h>

#include <thread>

#include "zarel/base/clock.h"
#include "zarel/base/error.h"
#include "zarel/base/locale.h"

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
    EXPECT_DOUBLE_EQ(date.serial, c.serial);
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
    EXPECT_DOUBLE_EQ(parsed->serial, expected.serial) << text;
  }
  auto fraction = ParseDate("2026-12-05 14:05:09.250", Locale::Current());
  ASSERT_TRUE(fraction.has_value());
  EXPECT_NEAR((fraction->serial - moment.serial) * 86400, 0.25, 1e-6);

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
  EXPECT_GT(now.serial, MakeDate({2020, 1, 1, 0, 0, 0}).serial);
}

}  // namespace
}  // namespace zarel
