// The locales the system formats by. English (United States) is the one in
// use; another locale is added by filling in another Locale here.
#include "zarel/base/locale.h"

namespace zarel {

namespace {

Locale MakeEnglishUnitedStates() {
  Locale locale;
  locale.grouping_separator = ",";
  locale.decimal_separator = ".";
  locale.month_names = {"January", "February", "March",     "April",   "May",      "June",
                        "July",    "August",   "September", "October", "November", "December"};
  locale.month_abbreviations = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  locale.day_names = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                      "Thursday", "Friday", "Saturday"};
  locale.day_abbreviations = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  locale.am = "AM";
  locale.pm = "PM";
  locale.short_date = "m/d/yyyy";
  locale.medium_date = "dd-mmm-yy";
  locale.long_date = "dddd, mmmm d, yyyy";
  locale.long_time = "h:nn:ss AM/PM";
  locale.medium_time = "hh:nn AM/PM";
  locale.short_time = "hh:nn";
  return locale;
}

}  // namespace

const Locale& Locale::EnglishUnitedStates() {
  static const Locale locale = MakeEnglishUnitedStates();
  return locale;
}

const Locale& Locale::Current() { return EnglishUnitedStates(); }

}  // namespace zarel
