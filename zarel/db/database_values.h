// The conversions between database texts and the system's values that both
// drivers share: ISO dates and times, exact decimal numbers, and the texts
// in which values are sent to a database as parameters.
#ifndef ZAREL_DB_DATABASE_VALUES_H_
#define ZAREL_DB_DATABASE_VALUES_H_

#include <optional>
#include <string>
#include <string_view>

#include "zarel/base/variant.h"

namespace zarel {

// Reads "YYYY-MM-DD", "YYYY-MM-DD HH:MM[:SS[.fff]]" (also with "T"), or a
// time alone "HH:MM[:SS[.fff]]", each optionally followed by a time zone
// ("Z", "+02", "-05:30"), which is ignored: the value is the wall-clock time
// the text shows. Fractions of a second are kept. Empty for any other text.
std::optional<Date> ParseIsoDate(std::string_view text);

// As ParseIsoDate, and other date forms through the system's date reader.
std::optional<Date> ReadDateText(std::string_view text);

// A date as ISO text: "YYYY-MM-DD" for a whole day, "HH:MM:SS" for a time
// alone (a serial between 0 and 1), otherwise "YYYY-MM-DD HH:MM:SS";
// milliseconds are added as ".fff" when there are any.
std::string IsoDateText(Date date);

// A decimal number from its text ("-12.3400", "1e3"): Currency when its
// value needs at most four decimals and fits, otherwise Double (a number too
// small for one is 0). Empty when the text is no number, or a number beyond
// the range of a Double ("1e309", 400 digits), which callers then keep as
// text or refuse.
std::optional<Variant> DecimalFromText(std::string_view text);
// A double as Currency when the money type holds it exactly, else itself.
Variant DecimalFromDouble(double value);

// The shortest text that reads back as the same double.
std::string ExactDoubleText(double value);
// Currency as an exact decimal text ("-12.5", "3").
std::string CurrencyText(Currency value);

// The text in which a parameter value is sent to a database: numbers
// exactly, Booleans as "true"/"false", dates as IsoDateText, texts as they
// are. Not for Null, Empty, bytes or objects.
std::string ParameterText(const Variant& value);

// Two database values are the same: both Null (or Empty), or of one kind
// with equal contents; numbers of different kinds compare by value.
bool SameDatabaseValue(const Variant& left, const Variant& right);

}  // namespace zarel

#endif  // ZAREL_DB_DATABASE_VALUES_H_
