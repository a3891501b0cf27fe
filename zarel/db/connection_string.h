// Which backend a connection string names, read from the text alone,
// without connecting: one rule for every place that opens a database.
//
// Pure function: safe from any thread.
#ifndef ZAREL_DB_CONNECTION_STRING_H_
#define ZAREL_DB_CONNECTION_STRING_H_

#include <string>

#include "zarel/db/database_driver.h"

namespace zarel {

// "sqlite:PATH" is SQLite; "postgresql://", "postgres://" and libpq's
// key=value form are PostgreSQL. Anything else raises kDatabaseError
// "Unknown connection string: ...".
Backend BackendOfConnectionString(const std::string& connection_string);

// The file a SQLite connection string names: the text after "sqlite:".
// Raises like BackendOfConnectionString for a string that names no SQLite
// database.
std::string SQLitePathOf(const std::string& connection_string);

}  // namespace zarel

#endif  // ZAREL_DB_CONNECTION_STRING_H_
