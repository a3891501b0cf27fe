// The PostgreSQL driver: a DatabaseDriver over libpq.
//
// Field types follow the column's PostgreSQL type: int2 2, int4 3, int8 20,
// float4 4, float8 5, numeric 131, money 6, date 133, time 134, timestamp
// and timestamptz 135, bool 11, varchar and char 202, text 203, bytea 205;
// other types come as text (202). Values arrive as Integer, Long, LongLong,
// Single, Double, Currency (money; numeric when four decimals hold it
// exactly, otherwise Double), Date, Boolean, bytes and text. A base table is
// named "schema.table".
#ifndef ZAREL_DB_POSTGRES_DRIVER_H_
#define ZAREL_DB_POSTGRES_DRIVER_H_

#include <memory>
#include <string>

#include "zarel/db/database_driver.h"
#include "zarel/db/link_limits.h"

namespace zarel {

// Opens a session from a connection URL ("postgresql://...") or libpq's
// key=value form, its statements running under limits. Raises
// kDatabaseError with libpq's text when the server cannot be reached or
// refuses the login.
std::unique_ptr<DatabaseDriver> OpenPostgresDatabase(const std::string& connection_info, const LinkLimits& limits);

// Whether text is libpq's key=value form: its first word is key=value with
// a keyword that libpq knows.
bool IsPostgresKeywordForm(const std::string& text);

}  // namespace zarel

#endif  // ZAREL_DB_POSTGRES_DRIVER_H_
