// Shape commands: hierarchical recordsets whose chapter fields hold, for
// each record, the child recordset of its related rows.
//
//   SHAPE {parent command} [AS alias]
//     APPEND ({child command} [AS name] RELATE parent_column TO child_column[, ...]) [AS name]
//          [, (...) ...]
//
// A child may itself be a shape command, written in place of {child
// command}, with or without parentheses around it, to any depth. A child
// related by value (RELATE a TO b) runs once and its rows are grouped by the
// related columns; a parameterized child (RELATE a TO PARAMETER 0) runs once
// per parent record with that record's values bound to its "?" markers
// (PARAMETER n fills the marker n, from 0). The commands in braces are any
// commands (plain SQL or "EXEC" calls).
//
// Every child adds a chapter field (type 136) to the parent, named by its AS
// name or "Chapter1", "Chapter2" ... by position; its value in each record
// is a recordset (a std::shared_ptr<Recordset> in the Variant) of that
// record's child rows, with the child's fields, empty when none relate. A
// malformed command raises kDatabaseError "Shape command error at position
// N: ..."; a related column that does not exist raises kDatabaseError too.
//
// Shapes nest at most kMaxShapeDepth levels deep, the top level counting as
// the first: a deeper command is refused as malformed, at the position of the
// first SHAPE too many, before anything runs. (Each level is a query and a
// nested table on the page; no readable report comes near the bound, while a
// command nested without one would exhaust the stack of the process.)
#ifndef ZAREL_DB_SHAPE_COMMAND_H_
#define ZAREL_DB_SHAPE_COMMAND_H_

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "zarel/db/database_driver.h"
#include "zarel/db/recordset.h"

namespace zarel {

struct ShapeLevel;

inline constexpr int kMaxShapeDepth = 64;

// One relation of a child to its parent.
struct ShapeRelation {
  std::string parent_column;
  std::string child_column;  // empty for a parameter
  int parameter = -1;        // the marker it fills, or -1
};

struct ShapeChild {
  std::string command;                // when the child is a command
  std::unique_ptr<ShapeLevel> shape;  // when the child is a shape itself
  std::string name;                   // the AS name, or empty
  std::vector<ShapeRelation> relations;
};

struct ShapeLevel {
  std::string command;  // the parent command
  std::vector<ShapeChild> children;
};

// Whether the command is a shape command: "SHAPE" (any letter case) after
// optional blanks, followed by a blank or "{".
bool IsShapeCommand(std::string_view command);

ShapeLevel ParseShapeCommand(std::string_view command);

// Runs a shape command; marker_values fill the markers of its top parent
// command.
TableData RunShapeCommand(DatabaseDriver& driver, std::string_view command,
                          const std::vector<Variant>& marker_values, bool with_sources);

}  // namespace zarel

#endif  // ZAREL_DB_SHAPE_COMMAND_H_
