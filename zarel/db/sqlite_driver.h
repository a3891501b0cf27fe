// The SQLite driver: a DatabaseDriver over an existing SQLite database file,
// through SQLite's C library.
//
// Field types follow the declared type of each column (…INT… 3, SMALLINT 2,
// TINYINT 16, BIGINT 20, REAL / DOUBLE / FLOAT 5, NUMERIC / DECIMAL 131,
// MONEY / CURRENCY 6, DATE 133, TIME 134, DATETIME / TIMESTAMP 135,
// BOOLEAN / BIT 11, CHAR / VARCHAR / NVARCHAR 202, TEXT / CLOB / NTEXT 203,
// BLOB / IMAGE 205); a column without a declared type (an expression) takes
// its type from the storage class of its values. Date and time columns hold
// ISO texts and arrive as Date values; NUMERIC values as Currency when four
// decimals hold them exactly, otherwise as Double.
#ifndef ZAREL_DB_SQLITE_DRIVER_H_
#define ZAREL_DB_SQLITE_DRIVER_H_

#include <memory>
#include <string>

#include "zarel/db/database_driver.h"
#include "zarel/db/link_limits.h"

namespace zarel {

// Opens the database file at path for reading and writing. A file that does
// not exist is an error (kDatabaseError); no database is ever created. Its
// statements run under limits.
std::unique_ptr<DatabaseDriver> OpenSQLiteDatabase(const std::string& path, const LinkLimits& limits);

}  // namespace zarel

#endif  // ZAREL_DB_SQLITE_DRIVER_H_
