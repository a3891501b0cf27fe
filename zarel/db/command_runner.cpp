// Chooses how a command text runs: shape, procedure call or plain SQL.
#include "zarel/db/command_runner.h"

#include <string>

#include "zarel/base/error.h"
#include "zarel/db/procedure_call.h"
#include "zarel/db/shape_command.h"
#include "zarel/db/sql_text.h"

namespace zarel {

StatementResult RunCommand(DatabaseDriver& driver, std::string_view command,
                           const std::vector<Variant>& marker_values, bool with_sources) {
  if (IsShapeCommand(command)) {
    StatementResult result;
    result.has_columns = true;
    result.data = RunShapeCommand(driver, command, marker_values, with_sources);
    return result;
  }
  if (IsProcedureCall(command)) {
    return RunProcedureCall(driver, ParseProcedureCall(command), marker_values, with_sources);
  }
  if (marker_values.empty()) return driver.RunScript(command, {}, with_sources);
  int count = 0;
  const std::string numbered = NumberBareMarkers(command, driver.Kind(), count);
  if (static_cast<std::size_t>(count) != marker_values.size()) {
    Raise(errc::kDatabaseError, "The command has " + std::to_string(count) + " parameter markers but " +
                                    std::to_string(marker_values.size()) + " values were given.");
  }
  return driver.RunScript(numbered, marker_values, with_sources);
}

}  // namespace zarel
