// The check every host makes before it starts: open the report database's
// connection once. The engine itself reports a database it cannot reach
// only as "Error Reading Data From Database", which hides the reason; a
// host that cannot reach its database says why and does not start.
#ifndef ZAREL_APPS_OPTIONS_CONNECTION_CHECK_H_
#define ZAREL_APPS_OPTIONS_CONNECTION_CHECK_H_

#include <optional>
#include <ostream>
#include <string>

namespace zarel {

// Opens a connection with the connection string and closes it again. None
// when that worked; otherwise the driver's own reason (no such file, not a
// database, login refused, unknown host, an unknown form of connection
// string). Changes nothing in the database.
std::optional<std::string> ConnectionRefusal(const std::string& connection_string);

// The same check for a host's start: on failure writes "zarel: cannot open
// the report database: REASON" to err and answers false.
bool CheckConnectionBeforeStart(const std::string& connection_string, std::ostream& err);

}  // namespace zarel

#endif  // ZAREL_APPS_OPTIONS_CONNECTION_CHECK_H_
