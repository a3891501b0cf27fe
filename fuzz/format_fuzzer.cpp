// Fuzzes Format's number and date patterns with values of every kind.
// Properties: Format fails only with RuntimeError; a date within the
// calendar formats under any pattern; "0.00" gives a number's text that
// reads back as a number.
#include <fuzzer/FuzzedDataProvider.h>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz/fuzz_support.h"
#include "zarel/base/error.h"
#include "zarel/base/format.h"
#include "zarel/base/variant.h"

using namespace zarel;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  Variant value;
  switch (input.ConsumeIntegralInRange<int>(0, 5)) {
    case 0:
      value = Variant(input.ConsumeFloatingPoint<double>());
      break;
    case 1:
      value = Variant(input.ConsumeIntegral<std::int64_t>());
      break;
    case 2:
      value = Variant(Currency{input.ConsumeIntegral<std::int64_t>()});
      break;
    case 3:
      value = Variant(Date(input.ConsumeFloatingPointInRange<double>(-657434.0, 2958465.99)));
      break;
    case 4:
      value = Variant::Null();
      break;
    default:
      value = Variant(input.ConsumeRandomLengthString(64));
      break;
  }
  const std::string pattern = input.ConsumeRemainingBytesAsString();
  try {
    const std::string text = Format(value, pattern);
    (void)text;
  } catch (const RuntimeError& error) {
    // A Date within the calendar formats under any pattern.
    fuzz::Check(value.Type() != VarType::kDate, "a date in the calendar formats",
                pattern + "\n" + error.Description());
  }
  // (Near the end of the Double range the 15-digit text rounds past it, as
  // the platform's does, and cannot be read back.)
  if (value.HoldsNumber() && std::fabs(value.ToDouble()) < 1e307) {
    const std::string shown = Format(value, "0.00");
    fuzz::Check(ParseNumber(shown).has_value(), "0.00 gives a number", shown);
  }
  return 0;
}
