// Tests of Format: number patterns, date patterns, named formats and the
// values that pass through unchanged.
#include "zarel/base/format.h"

#include <gtest/gtest.h>

#include "zarel/base/date_time.h"

namespace zarel {
namespace {

struct Case {
  Variant value;
  const char* pattern;
  const char* expected;
};

void ExpectFormats(const std::vector<Case>& cases) {
  for (const Case& c : cases) {
    EXPECT_EQ(Format(c.value, c.pattern), c.expected)
        << "value " << c.value.TextOrEmpty() << ", pattern " << c.pattern;
  }
}

const Date kAfternoon = MakeDate({2026, 12, 5, 14, 5, 9});

TEST(FormatTest, NumberPatterns) {
  ExpectFormats({
      {1200000.5, "#,##,##0.00", "1,200,000.50"},
      {0.0, "#,##,##0.00", "0.00"},
      {-1234.567, "#,##,##0.00", "-1,234.57"},
      {0.005, "#,##,##0.00", "0.01"},
      {-0.005, "#,##,##0.00", "-0.01"},
      {-0.004, "#,##,##0.00", "0.00"},  // no sign on a value shown as zero
      {999.995, "#,##,##0.00", "1,000.00"},
      {1.005, "0.00", "1.01"},  // rounded from the 15-digit text, halves up
      {"  12.5 ", "#,##,##0.00", "12.50"},
      {"1,234", "#,##,##0.00", "1,234.00"},
      {"1E+16", "#,##0", "10,000,000,000,000,000"},
      {std::int32_t{-5}, "0.00", "-5.00"},
      {Currency{123456}, "0.000", "12.346"},
      {2.5f, "0.0000", "2.5000"},
      {true, "0", "-1"},
      {5.0, "#.##", "5."},
      {0.5, "#.00", ".50"},
      {12.5, ".00", "12.50"},
      {7.0, "000", "007"},
      {1234.0, "000", "1234"},
      {123456789.0, "000-00-0000", "123-45-6789"},
      {12345678.0, "#,##0,", "12,346"},
      {0.256, "0.0%", "25.6%"},
      {42.0, "0.00 USD", "42.00 USD"},
      {3.0, "\"No. \"0\\#", "No. 3#"},
      {-5.0, "0.00;(0.00);\"zero\"", "(5.00)"},
      {0.0, "0.00;(0.00);\"zero\"", "zero"},
      {-5.0, "0.00;;", "-5.00"},
      {Variant::Null(), "0;0;0;\"n/a\"", "n/a"},
      {Variant::Null(), "#,##,##0.00", ""},
      {Variant(), "#,##,##0.00", ""},
  });
}

TEST(FormatTest, TextThatIsNoNumberOrDateComesBackUnchanged) {
  ExpectFormats({
      {"abc", "#,##,##0.00", "abc"},
      {" 12 apples", "0.00", " 12 apples"},
      {"", "0.00", ""},
      {"hello", "dd Mmm yyyy", "hello"},
      {"12.5", "dd Mmm yyyy", "12.5"},
      {"3-4", "dd Mmm yyyy", "3-4"},
      {"2026-02-30", "dd Mmm yyyy", "2026-02-30"},
      {"hello", "Short Date", "hello"},
      {"hello", "Standard", "hello"},
      {"as is", "", "as is"},
      {12.5, "", "12.5"},
      {12.5, "[---]", "12.5"},
  });
}

TEST(FormatTest, DatePatterns) {
  const Date midnight = MakeDate({2026, 12, 5, 0, 0, 0});
  const Date noon = MakeDate({2026, 12, 5, 12, 30, 0});
  const Date morning = MakeDate({2026, 1, 4, 9, 7, 3});
  ExpectFormats({
      {kAfternoon, "dd Mmm yyyy hh:nn:ss AMPM", "05 Dec 2026 02:05:09 PM"},
      {midnight, "dd Mmm yyyy hh:nn:ss AMPM", "05 Dec 2026 12:00:00 AM"},
      {noon, "dd Mmm yyyy hh:nn:ss AMPM", "05 Dec 2026 12:30:00 PM"},
      {kAfternoon, "dd Mmm yyyy", "05 Dec 2026"},
      {kAfternoon, "DD MMM YYYY", "05 Dec 2026"},
      {kAfternoon, "mmmm d, yyyy", "December 5, 2026"},
      {morning, "d/m/yy", "4/1/26"},
      {morning, "ddd dddd", "Sun Sunday"},
      {morning, "h:m:s", "9:7:3"},
      {morning, "hh:mm:ss", "09:07:03"},  // "mm" after an hour is minutes
      {morning, "mm:ss", "07:03"},        // and before seconds too
      {morning, "mm/dd", "01/04"},
      {kAfternoon, "h:nn am/pm", "2:05 pm"},
      {morning, "h:nn AM/PM", "9:07 AM"},
      {kAfternoon, "h A/P", "2 P"},
      {morning, "h a/p", "9 a"},
      {kAfternoon, "HH:nn", "14:05"},
      {kAfternoon, "w q y ww", "7 4 339 49"},
      {kAfternoon, "\"Day\" d \\o\\f mmmm", "Day 5 of December"},
      {kAfternoon, "yyyy\\-mm\\-dd", "2026-12-05"},
      {kAfternoon, "c", "12/5/2026 2:05:09 PM"},
      {kAfternoon, "ddddd", "12/5/2026"},
      {kAfternoon, "dddddd", "Saturday, December 5, 2026"},
      {kAfternoon, "ttttt", "2:05:09 PM"},
      // Text is read as a date first; numbers are serials.
      {"12/5/2026 2:05:09 PM", "yyyy-mm-dd hh:nn", "2026-12-05 14:05"},
      {"2026-12-05T14:05:09Z", "dd Mmm yyyy", "05 Dec 2026"},
      {46361.5, "dd Mmm yyyy hh:nn", "05 Dec 2026 12:00"},
  });
}

TEST(FormatTest, NamedFormats) {
  const Date day = MakeDate({2026, 12, 5, 0, 0, 0});
  const Date time = MakeDate({1899, 12, 30, 9, 7, 3});
  ExpectFormats({
      {kAfternoon, "General Date", "12/5/2026 2:05:09 PM"},
      {day, "General Date", "12/5/2026"},
      {time, "General Date", "9:07:03 AM"},
      {kAfternoon, "Long Date", "Saturday, December 5, 2026"},
      {kAfternoon, "Medium Date", "05-Dec-26"},
      {kAfternoon, "Short Date", "12/5/2026"},
      {kAfternoon, "Long Time", "2:05:09 PM"},
      {kAfternoon, "Medium Time", "02:05 PM"},
      {kAfternoon, "Short Time", "14:05"},
      {kAfternoon, "short date", "12/5/2026"},
      {1234.5, "General Number", "1234.5"},
      {"1,234.50", "General Number", "1234.5"},
      {1234.5, "Fixed", "1234.50"},
      {-1234.5, "Standard", "-1,234.50"},
      {0.1234, "Percent", "12.34%"},
  });
}

TEST(FormatTest, GeneralDateTextReadsBackToTheSameDate) {
  const Date dates[] = {
      kAfternoon,
      MakeDate({2026, 12, 5, 0, 0, 0}),
      MakeDate({1899, 12, 30, 23, 59, 59}),
      MakeDate({1899, 12, 30, 0, 0, 0}),
      MakeDate({1800, 2, 28, 6, 0, 0}),
      MakeDate({100, 1, 1, 0, 0, 1}),
      MakeDate({9999, 12, 31, 12, 0, 0}),
  };
  for (Date date : dates) {
    std::string text = GeneralDateText(date);
    SCOPED_TRACE(text);
    EXPECT_EQ(Variant(date).ToText(), text);
    auto parsed = ParseDate(text, Locale::Current());
    ASSERT_TRUE(parsed.has_value());
    EXPECT_EQ(parsed->Serial(), date.Serial());
  }
  EXPECT_EQ(GeneralDateText(Date{0}), "12:00:00 AM");
}

}  // namespace
}  // namespace zarel
