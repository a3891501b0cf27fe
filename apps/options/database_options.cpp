// The hosts' database settings (see database_options.h).
#include "apps/options/database_options.h"

#include <chrono>
#include <cmath>
#include <string>

namespace zarel {

namespace {

constexpr double kLongestSeconds = 7 * 24 * 3600;

std::chrono::milliseconds Milliseconds(double seconds) {
  return std::chrono::milliseconds(std::llround(seconds * 1000));
}

}  // namespace

void AddStatementOptions(CLI::App& command, DatabaseOptions& options) {
  command
      .add_option("--query-timeout", options.query_timeout,
                  "Seconds a database statement may run before it is stopped and reported as a "
                  "failure (default 30; 0 no limit)")
      ->type_name("SECONDS")
      ->check(CLI::Range(0.0, kLongestSeconds));
  command
      .add_option("--lock-timeout", options.lock_timeout,
                  "Seconds a statement waits for a lock another connection holds (a writer of "
                  "the same SQLite file) before it fails (default 5; 0 no bound but the time limit)")
      ->type_name("SECONDS")
      ->check(CLI::Range(0.0, kLongestSeconds));
}

void AddPoolOptions(CLI::App& command, DatabaseOptions& options, const std::string& default_pool_size) {
  command
      .add_option("--pool-size", options.pool_size,
                  "Database links kept open and shared by the sessions (default " + default_pool_size +
                      "; 0 opens a link for every read)")
      ->type_name("N")
      ->check(CLI::Range(0, 10000));
  command
      .add_option("--pool-idle", options.pool_idle,
                  "Seconds after which an unused database link closes (default 60)")
      ->type_name("SECONDS")
      ->check(CLI::Range(0.001, kLongestSeconds));
  command
      .add_option("--pool-wait", options.pool_wait,
                  "Seconds a request waits for a database link when all are in use, before it "
                  "fails (default 15)")
      ->type_name("SECONDS")
      ->check(CLI::Range(0.0, kLongestSeconds));
  command
      .add_option("--statements-kept", options.statements_kept,
                  "Prepared statements each database link keeps for statements it runs again (default " +
                      std::to_string(kDefaultStatementsKept) + "; 0 keeps none)")
      ->type_name("N")
      ->check(CLI::Range(0, kMostStatementsKept));
}

DatabaseSettings DatabaseSettingsFrom(const DatabaseOptions& options, int default_pool_size) {
  DatabaseSettings settings;
  settings.pool_size = options.pool_size.value_or(default_pool_size);
  settings.pool_idle = Milliseconds(options.pool_idle);
  settings.pool_wait = Milliseconds(options.pool_wait);
  settings.statement_time_limit = Milliseconds(options.query_timeout);
  settings.lock_wait = Milliseconds(options.lock_timeout);
  settings.statements_kept = options.statements_kept;
  return settings;
}

}  // namespace zarel
