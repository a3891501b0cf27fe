// The database settings that the hosts take from their command line: the
// statement time limit and the lock wait on both zarel browse and zarel
// serve, and the link pool's bounds on zarel serve, whose many sessions
// share the pool (see zarel/db/database_settings.h).
#ifndef ZAREL_APPS_OPTIONS_DATABASE_OPTIONS_H_
#define ZAREL_APPS_OPTIONS_DATABASE_OPTIONS_H_

#include <CLI/CLI.hpp>

#include <optional>

#include "zarel/db/database_settings.h"

namespace zarel {

struct DatabaseOptions {
  double query_timeout = 30;  // seconds a statement may run; 0: no limit
  double lock_timeout = 5;    // seconds a statement waits for a lock; 0: no bound of its own
  std::optional<int> pool_size;  // links per database; unset: the host's default
  double pool_idle = 60;      // seconds before an idle link closes
  double pool_wait = 15;      // seconds a request waits for a free link
  int statements_kept = kDefaultStatementsKept;  // prepared statements per link; 0: none
};

// --query-timeout and --lock-timeout.
void AddStatementOptions(CLI::App& command, DatabaseOptions& options);
// --pool-size, --pool-idle, --pool-wait and --statements-kept;
// default_pool_size is named in the help.
void AddPoolOptions(CLI::App& command, DatabaseOptions& options, const std::string& default_pool_size);

// The process settings these options give; default_pool_size stands in for
// an unset pool size.
DatabaseSettings DatabaseSettingsFrom(const DatabaseOptions& options, int default_pool_size);

}  // namespace zarel

#endif  // ZAREL_APPS_OPTIONS_DATABASE_OPTIONS_H_
