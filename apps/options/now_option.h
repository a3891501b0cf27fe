// The --now option of the commands that compose pages (zarel browse, zarel
// export): fixes the clock for the run, so that the page dates and the
// "today" parameter are those of a chosen moment.
#ifndef ZAREL_APPS_OPTIONS_NOW_OPTION_H_
#define ZAREL_APPS_OPTIONS_NOW_OPTION_H_

#include <CLI/CLI.hpp>

#include <optional>
#include <string>

#include "zarel/base/variant.h"

namespace zarel {

// Reads "YYYY-MM-DD HH:MM:SS"; nothing for any other text or a date that
// does not exist.
std::optional<Date> ParseMoment(const std::string& text);

// Adds --now to a command, filling now when it is parsed (a usage error for
// a text ParseMoment refuses).
void AddNowOption(CLI::App& command, std::optional<Date>& now);

}  // namespace zarel

#endif  // ZAREL_APPS_OPTIONS_NOW_OPTION_H_
