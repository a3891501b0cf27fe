// Fuzzes the reader of date texts.
// Properties: ParseDate never throws; a date it reads lies within the
// calendar, and its general date text reads back to the same moment (to
// the second, which is all the text shows).
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz/fuzz_support.h"
#include "zarel/base/date_time.h"
#include "zarel/base/format.h"
#include "zarel/base/locale.h"

using namespace zarel;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  const std::optional<Date> date = ParseDate(text, Locale::Current());
  if (!date) return 0;
  const std::string general = GeneralDateText(*date);
  const std::optional<Date> back = ParseDate(general, Locale::Current());
  fuzz::Check(back.has_value(), "the general date text reads back", text + "\n" + general);
  const DateParts a = SplitDate(*date);
  const DateParts b = SplitDate(*back);
  fuzz::Check(a.year == b.year && a.month == b.month && a.day == b.day && a.hour == b.hour &&
                  a.minute == b.minute && a.second == b.second,
              "the general date text reads back to the same moment", text + "\n" + general);
  return 0;
}
