// Runs one command text on a driver, whatever its form: a shape command
// (shape_command.h), a procedure call (procedure_call.h) or plain SQL in the
// backend's dialect (a script of one or more statements; the rows of the
// last statement that returns columns come back).
//
// marker_values fill the command's "?" markers in order: the "?" arguments
// of a procedure call, the bare "?" of plain SQL, or those of a shape
// command's parent query. Their number must match the markers.
#ifndef ZAREL_DB_COMMAND_RUNNER_H_
#define ZAREL_DB_COMMAND_RUNNER_H_

#include <string_view>
#include <vector>

#include "zarel/base/variant.h"
#include "zarel/db/database_driver.h"

namespace zarel {

StatementResult RunCommand(DatabaseDriver& driver, std::string_view command,
                           const std::vector<Variant>& marker_values, bool with_sources);

}  // namespace zarel

#endif  // ZAREL_DB_COMMAND_RUNNER_H_
