// Placing the demo site's report database into a PostgreSQL database: the
// tables and rows of a finished SQLite demo database copied over, with the
// procedures in PostgreSQL's dialect.
#ifndef ZAREL_APPS_DEMO_DEMO_POSTGRES_H_
#define ZAREL_APPS_DEMO_DEMO_POSTGRES_H_

#include <string>

namespace zarel::demo {

// Copies every table of the SQLite demo database at sqlite_path into the
// database that connection_string names (into the first schema of its
// search path), replacing the rows of XProc with PostgresProcedures(), all
// in one transaction. Raises kDatabaseError, with nothing changed, when the
// database already holds a table of the demo's names, cannot be reached or
// refuses a statement.
void PlaceDemoInPostgres(const std::string& sqlite_path, const std::string& connection_string);

}  // namespace zarel::demo

#endif  // ZAREL_APPS_DEMO_DEMO_POSTGRES_H_
