// Which backend a connection string names (see connection_string.h).
#include "zarel/db/connection_string.h"

#include <string_view>

#include "zarel/base/error.h"
#include "zarel/db/postgres_driver.h"

namespace zarel {

namespace {

constexpr std::string_view kSQLitePrefix = "sqlite:";

bool StartsWith(const std::string& text, std::string_view prefix) {
  return text.size() >= prefix.size() && std::string_view(text).substr(0, prefix.size()) == prefix;
}

}  // namespace

Backend BackendOfConnectionString(const std::string& connection_string) {
  if (StartsWith(connection_string, kSQLitePrefix)) return Backend::kSQLite;
  if (StartsWith(connection_string, "postgresql://") || StartsWith(connection_string, "postgres://") ||
      IsPostgresKeywordForm(connection_string)) {
    return Backend::kPostgreSQL;
  }
  Raise(errc::kDatabaseError,
        "Unknown connection string: it must begin with \"sqlite:\", \"postgresql://\" or \"postgres://\", "
        "or be libpq's key=value form.");
}

std::string SQLitePathOf(const std::string& connection_string) {
  if (BackendOfConnectionString(connection_string) != Backend::kSQLite) {
    Raise(errc::kDatabaseError, "The connection string names no SQLite database.");
  }
  return connection_string.substr(kSQLitePrefix.size());
}

}  // namespace zarel
