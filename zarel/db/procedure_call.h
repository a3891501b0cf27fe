// Procedure calls: the command form "EXEC name arg, arg, ..." with which the
// site tables call their stored procedures.
//
// An argument is a number, a quoted string ('' stands for one apostrophe),
// NULL, a bare word (taken as text), or "?" (a marker that a shape level
// fills with a parent record's value). The arguments are always bound as
// parameters, never put into SQL text; a command that does not parse in full
// fails, so nothing after the arguments can run as SQL.
//
// The name is looked up, ignoring case, in the table XProc(Name, Body) of
// the same database. The body is SQL in the backend's own dialect; ?1, ?2 ...
// in it name the arguments. It may hold several statements; the rows of the
// last one that returns columns come back (none when it only changes data).
// Without an XProc row, PostgreSQL runs the set-returning function of that
// name; otherwise the call fails with "Could not find stored procedure
// 'NAME'.".
#ifndef ZAREL_DB_PROCEDURE_CALL_H_
#define ZAREL_DB_PROCEDURE_CALL_H_

#include <string>
#include <string_view>
#include <vector>

#include "zarel/base/variant.h"
#include "zarel/db/database_driver.h"

namespace zarel {

struct ProcedureCall {
  std::string name;
  std::vector<Variant> arguments;
  // Positions in arguments of the "?" markers, in order.
  std::vector<std::size_t> markers;
};

// Whether the command is a procedure call: "EXEC" (any letter case) and a
// blank, after optional leading blanks.
bool IsProcedureCall(std::string_view command);

// Reads a procedure call. A malformed one raises kDatabaseError naming the
// problem and its character position (from 1).
ProcedureCall ParseProcedureCall(std::string_view command);

// The literal that passes text to a procedure as exactly one argument: the
// text itself where it reads as one argument that reaches the procedure
// written exactly the same (a number such as "17", "-5" or "2.5", a bare
// word such as "Smith"), otherwise the text as a quoted string ("'1, 2'",
// "'1e400'", "'007'", "'O''Brien'", "'NULL'"). So a text never splits into
// several arguments, never becomes another number (a 23-digit key would lose
// digits as a Double) and never fails to parse.
std::string ArgumentLiteral(std::string_view text);

// Runs the call with its markers filled from marker_values (their counts
// must agree).
StatementResult RunProcedureCall(DatabaseDriver& driver, ProcedureCall call,
                                 const std::vector<Variant>& marker_values, bool with_sources);

}  // namespace zarel

#endif  // ZAREL_DB_PROCEDURE_CALL_H_
