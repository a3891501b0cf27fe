// Copies of a SQLite database taken while another connection writes it: the
// copy holds the last committed state, a writer holding the whole database
// makes the copy give up after the lock wait, and no failure leaves a file
// behind or touches one that was there.
#include "zarel/db/sqlite_snapshot.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <chrono>
#include <fstream>
#include <memory>
#include <string>

#include "zarel/base/error.h"
#include "zarel/testing/files.h"

namespace zarel {
namespace {

using Database = std::unique_ptr<sqlite3, int (*)(sqlite3*)>;

Database Open(const std::string& path) {
  sqlite3* raw = nullptr;
  EXPECT_EQ(sqlite3_open(path.c_str(), &raw), SQLITE_OK) << path;
  return Database(raw, sqlite3_close_v2);
}

void Exec(sqlite3* db, const std::string& sql) {
  char* message = nullptr;
  ASSERT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &message), SQLITE_OK) << sql << ": " << message;
}

std::string Rows(const std::string& path) {
  Database db = Open(path);
  std::string rows;
  sqlite3_exec(
      db.get(), "SELECT x FROM t ORDER BY x",
      [](void* out, int, char** values, char**) {
        *static_cast<std::string*>(out) += std::string(values[0]) + ";";
        return 0;
      },
      &rows, nullptr);
  return rows;
}

std::string CopyFailure(const std::string& from, const std::string& to, LinkLimits limits = {}) {
  try {
    CopySQLiteDatabase(from, to, limits);
  } catch (const RuntimeError& error) {
    EXPECT_EQ(error.Number(), errc::kDatabaseError);
    return error.Description();
  }
  return "";
}

TEST(SQLiteSnapshotTest, TheCopyHoldsTheLastCommittedStateWhileAWriterIsBusy) {
  testing::TempFolder folder;
  const std::string path = folder.PathOf("site.db");
  Database writer = Open(path);
  Exec(writer.get(), "CREATE TABLE t(x); INSERT INTO t VALUES (1), (2);");
  Exec(writer.get(), "BEGIN IMMEDIATE; INSERT INTO t VALUES (3);");
  // A name with a quote: the target is bound, never pasted into SQL.
  const std::string copy = folder.PathOf("it's a copy.db");
  CopySQLiteDatabase(path, copy, {});
  Exec(writer.get(), "COMMIT;");
  EXPECT_EQ(Rows(copy), "1;2;");
  EXPECT_EQ(Rows(path), "1;2;3;");
}

TEST(SQLiteSnapshotTest, FailuresSayWhyAndLeaveNoFileBehind) {
  testing::TempFolder folder;
  const std::string path = folder.PathOf("site.db");
  Database writer = Open(path);
  Exec(writer.get(), "CREATE TABLE t(x); INSERT INTO t VALUES (1);");
  const std::string not_a_database = folder.PathOf("notes.txt");
  std::ofstream(not_a_database) << "These are not the pages you are looking for, nor any database at all.";
  const std::string existing = folder.PathOf("existing.db");
  std::ofstream(existing) << "keep me";

  struct Case {
    std::string scenario;
    std::string from;
    std::string to;
    std::string message_has;
  };
  const Case cases[] = {
      {"missing source", folder.PathOf("none.db"), folder.PathOf("a.db"), "does not exist"},
      {"source is a folder", folder.Path(), folder.PathOf("b.db"), "does not exist"},
      {"source is no database", not_a_database, folder.PathOf("c.db"), "Cannot copy the SQLite database"},
      {"target exists", path, existing, "the file exists"},
      {"target folder missing", path, folder.PathOf("no/such/folder/d.db"), "Cannot copy the SQLite database"},
  };
  for (const Case& test : cases) {
    EXPECT_NE(CopyFailure(test.from, test.to).find(test.message_has), std::string::npos) << test.scenario;
    if (test.to != existing) {
      EXPECT_FALSE(testing::FileExists(test.to)) << test.scenario;
    }
  }
  EXPECT_EQ(testing::ReadFile(existing), "keep me");
}

TEST(SQLiteSnapshotTest, AWriterHoldingTheWholeDatabaseMakesTheCopyGiveUpAfterTheLockWait) {
  testing::TempFolder folder;
  const std::string path = folder.PathOf("site.db");
  Database writer = Open(path);
  Exec(writer.get(), "CREATE TABLE t(x); INSERT INTO t VALUES (1);");
  Exec(writer.get(), "BEGIN EXCLUSIVE; INSERT INTO t VALUES (2);");
  LinkLimits limits;
  limits.lock_wait = std::chrono::milliseconds(100);
  const std::string copy = folder.PathOf("copy.db");
  EXPECT_NE(CopyFailure(path, copy, limits).find(LockedMessage(limits.lock_wait)), std::string::npos);
  EXPECT_FALSE(testing::FileExists(copy));
  Exec(writer.get(), "COMMIT;");
  CopySQLiteDatabase(path, copy, limits);
  EXPECT_EQ(Rows(copy), "1;2;");
}

}  // namespace
}  // namespace zarel
