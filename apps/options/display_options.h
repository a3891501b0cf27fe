// The control's display and data settings that both hosts, zarel browse and
// zarel serve, take from their command line: --talking, --display-path,
// --heading, --date-format, --role and --damode.
#ifndef ZAREL_APPS_OPTIONS_DISPLAY_OPTIONS_H_
#define ZAREL_APPS_OPTIONS_DISPLAY_OPTIONS_H_

#include <CLI/CLI.hpp>

#include <cstdint>
#include <optional>
#include <string>

#include "zarel/control/zarel.h"

namespace zarel {

struct DisplayOptions {
  bool talking = false;
  bool display_path = false;
  std::optional<std::string> heading;
  std::optional<std::string> date_format;
  std::optional<std::string> role;
  std::int16_t damode = 1;
};

// Adds the six options to a command, filling options when it is parsed.
void AddDisplayOptions(CLI::App& command, DisplayOptions& options);

// Writes the settings to the control (those not given keep the control's
// own); raises the control's error for a value it refuses.
void ApplyDisplayOptions(Zarel& control, const DisplayOptions& options);

}  // namespace zarel

#endif  // ZAREL_APPS_OPTIONS_DISPLAY_OPTIONS_H_
