// Calendar arithmetic for Date values: from and to year, month, day, hour,
// minute and second, the day of the week, and reading dates from text.
//
// Threads: pure functions; safe from any thread.
#ifndef ZAREL_BASE_DATE_TIME_H_
#define ZAREL_BASE_DATE_TIME_H_

#include <optional>
#include <string_view>

#include "zarel/base/variant.h"

namespace zarel {

struct DateParts {
  int year = 1899;
  int month = 12;  // 1 to 12
  int day = 30;    // 1 to 31
  int hour = 0;
  int minute = 0;
  int second = 0;
};

// Error 5 for a part out of range (month 13, minute 60, ...).
Date MakeDate(const DateParts& parts);
// The parts of a date, the time rounded to the nearest second.
DateParts SplitDate(Date date);
// 1 for Sunday to 7 for Saturday.
int Weekday(Date date);
bool HasDatePart(Date date);  // the whole-day part is not 0
bool HasTimePart(Date date);  // the fraction is not 0

class Locale;

// Reads a date and/or time from text: ISO forms ("2026-12-05",
// "2026-12-05 14:05:09", "2026-12-05T14:05:09.250", with a trailing "Z" or
// "+02:00" / "-0500" that is dropped), the locale's short date with an
// optional time ("12/5/2026 2:05:09 PM", so that GeneralDateText reads back
// to the same Date), a time alone ("14:05:09", "2 PM"), and forms with a
// month name ("05 Dec 2026", "5-Dec-26", "December 5, 2026", optionally led
// by a day name). Two-digit years 00 to 29 are 2000 to 2029, 30 to 99 are
// 1930 to 1999. A date needs its day, month and year ("12/5" and "3-4" are
// no dates); a day that does not exist (30 February) is no date. Empty when
// the text is no date.
std::optional<Date> ParseDate(std::string_view text, const Locale& locale);

}  // namespace zarel

#endif  // ZAREL_BASE_DATE_TIME_H_
