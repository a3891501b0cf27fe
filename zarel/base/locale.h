// The conventions by which numbers and dates become text: separators,
// month and day names, the AM/PM designators and the named date formats.
//
// The system formats by the English (United States) conventions. They are
// kept here in one place so that another locale can be added by filling in
// another Locale.
//
// Threads: a Locale is never changed after it is made; Locale::Current()
// may be read from any thread.
#ifndef ZAREL_BASE_LOCALE_H_
#define ZAREL_BASE_LOCALE_H_

#include <array>
#include <string>

namespace zarel {

class Locale {
 public:
  std::string grouping_separator;  // ","
  std::string decimal_separator;   // "."
  std::array<std::string, 12> month_names;
  std::array<std::string, 12> month_abbreviations;
  std::array<std::string, 7> day_names;  // Sunday first
  std::array<std::string, 7> day_abbreviations;
  std::string am;  // "AM"
  std::string pm;  // "PM"
  // Patterns of the named formats, in Format's pattern language.
  std::string short_date;   // "m/d/yyyy"
  std::string medium_date;  // "dd-mmm-yy"
  std::string long_date;    // "dddd, mmmm d, yyyy"
  std::string long_time;    // "h:nn:ss AM/PM"
  std::string medium_time;  // "hh:nn AM/PM"
  std::string short_time;   // "hh:nn"

  static const Locale& EnglishUnitedStates();
  // The locale the system formats by; English (United States).
  static const Locale& Current();
};

}  // namespace zarel

#endif  // ZAREL_BASE_LOCALE_H_
