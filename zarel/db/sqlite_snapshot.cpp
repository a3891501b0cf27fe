// A consistent copy of a SQLite database file (see sqlite_snapshot.h).
#include "zarel/db/sqlite_snapshot.h"

#include <sqlite3.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <system_error>

#include "zarel/base/error.h"

namespace zarel {

namespace {

struct CloseDatabase {
  void operator()(sqlite3* db) const { sqlite3_close_v2(db); }
};
struct FinalizeStatement {
  void operator()(sqlite3_stmt* statement) const { sqlite3_finalize(statement); }
};

}  // namespace

void CopySQLiteDatabase(const std::string& from_path, const std::string& to_path, const LinkLimits& limits) {
  std::error_code error;
  if (from_path.empty() || !std::filesystem::is_regular_file(from_path, error)) {
    Raise(errc::kDatabaseError, "The SQLite database file '" + from_path + "' does not exist.");
  }
  // Never over an existing file: the copy is always a file of our own.
  if (std::filesystem::symlink_status(to_path, error).type() != std::filesystem::file_type::not_found) {
    Raise(errc::kDatabaseError, "Cannot copy the SQLite database to '" + to_path + "': the file exists.");
  }
  sqlite3* raw = nullptr;
  const int opened = sqlite3_open_v2(from_path.c_str(), &raw, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX, nullptr);
  std::unique_ptr<sqlite3, CloseDatabase> db(raw);
  auto fail = [&](const std::string& why) {
    std::filesystem::remove(to_path, error);
    Raise(errc::kDatabaseError, "Cannot copy the SQLite database '" + from_path + "': " + why);
  };
  if (opened != SQLITE_OK) fail(db ? sqlite3_errmsg(db.get()) : sqlite3_errstr(opened));
  // A writer holding the database keeps the copy waiting as long as a
  // statement would wait for it, then the copy gives up.
  const long long wait = limits.lock_wait.count() > 0 ? limits.lock_wait.count() : 86'400'000;
  sqlite3_busy_timeout(db.get(), static_cast<int>(std::min<long long>(wait, 86'400'000)));
  // VACUUM INTO reads the database in one read transaction, so the copy is
  // one committed state, and refuses a target that exists. The target is
  // bound as a value, never pasted into the statement's text.
  sqlite3_stmt* raw_statement = nullptr;
  if (sqlite3_prepare_v2(db.get(), "VACUUM INTO ?1", -1, &raw_statement, nullptr) != SQLITE_OK) {
    fail(sqlite3_errmsg(db.get()));
  }
  std::unique_ptr<sqlite3_stmt, FinalizeStatement> statement(raw_statement);
  sqlite3_bind_text(statement.get(), 1, to_path.c_str(), static_cast<int>(to_path.size()), SQLITE_TRANSIENT);
  const int stepped = sqlite3_step(statement.get());
  if (stepped != SQLITE_DONE) {
    if ((stepped & 0xff) == SQLITE_BUSY) fail(LockedMessage(limits.lock_wait));
    fail(sqlite3_errmsg(db.get()));
  }
}

}  // namespace zarel
