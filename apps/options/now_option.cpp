// The --now option (see now_option.h).
#include "apps/options/now_option.h"

#include <cstdio>

#include "zarel/base/date_time.h"
#include "zarel/base/error.h"

namespace zarel {

std::optional<Date> ParseMoment(const std::string& text) {
  DateParts parts;
  int consumed = 0;
  if (std::sscanf(text.c_str(), "%4d-%2d-%2d %2d:%2d:%2d%n", &parts.year, &parts.month,
                  &parts.day, &parts.hour, &parts.minute, &parts.second, &consumed) != 6 ||
      static_cast<std::size_t>(consumed) != text.size() || text.size() != 19) {
    return std::nullopt;
  }
  try {
    return MakeDate(parts);
  } catch (const RuntimeError&) {
    return std::nullopt;
  }
}

void AddNowOption(CLI::App& command, std::optional<Date>& now) {
  command.add_option_function<std::string>(
      "--now",
      [&now](const std::string& text) {
        now = ParseMoment(text);
        if (!now) {
          throw CLI::ValidationError("--now", "expected \"YYYY-MM-DD HH:MM:SS\", got \"" + text + "\"");
        }
      },
      "Fix the clock for the whole run (\"YYYY-MM-DD HH:MM:SS\")");
}

}  // namespace zarel
