// The process's database settings and what a host may ask of the pool (see
// database_settings.h); the work is the pool's (link_pool.h).
#include "zarel/db/database_settings.h"

#include <string>

#include "zarel/base/error.h"
#include "zarel/db/link_pool.h"

namespace zarel {

namespace {

constexpr int kLargestPool = 10000;

void Refuse(const std::string& what) { Raise(errc::kInvalidProcedureCall, "Invalid database setting: " + what); }

}  // namespace

DatabaseSettings CurrentDatabaseSettings() { return LinkPool::Instance()->Settings(); }

void ApplyDatabaseSettings(const DatabaseSettings& settings) {
  if (settings.pool_size < 0 || settings.pool_size > kLargestPool) {
    Refuse("the pool size must lie between 0 and " + std::to_string(kLargestPool) + ".");
  }
  if (settings.pool_idle.count() <= 0) Refuse("the idle time of a link must be more than 0.");
  if (settings.pool_wait.count() < 0) Refuse("the wait for a link cannot be negative.");
  if (settings.statement_time_limit.count() < 0) Refuse("the statement time limit cannot be negative.");
  if (settings.lock_wait.count() < 0) Refuse("the lock wait cannot be negative.");
  if (settings.statements_kept < 0 || settings.statements_kept > kMostStatementsKept) {
    Refuse("the prepared statements kept per link must lie between 0 and " + std::to_string(kMostStatementsKept) +
           ".");
  }
  if (settings == CurrentDatabaseSettings()) return;
  LinkPool::Instance()->Apply(settings);
}

int InterruptRunningStatements() { return LinkPool::Instance()->InterruptAll(); }

void CloseIdleDatabaseLinks() { LinkPool::Instance()->CloseIdle(); }

DatabaseLinkCounts CountDatabaseLinks() { return LinkPool::Instance()->Counts(); }

}  // namespace zarel
