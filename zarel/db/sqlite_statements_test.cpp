// The prepared statements a SQLite link keeps: the least recently used go
// first, and a statement run again through a pooled link reads the database
// as it is then (rows, columns and procedure bodies changed by another
// connection in between, a table dropped and made again, the procedure
// table gone or changed), with the same answers and failures as a
// statement prepared afresh.
#include "zarel/db/sqlite_statements.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>

#include "zarel/base/error.h"
#include "zarel/db/connection.h"
#include "zarel/db/database_settings.h"
#include "zarel/testing/files.h"

namespace zarel {
namespace {

StatementHandle Prepare(sqlite3* db, const std::string& sql) {
  sqlite3_stmt* raw = nullptr;
  EXPECT_EQ(sqlite3_prepare_v2(db, sql.c_str(), -1, &raw, nullptr), SQLITE_OK) << sql;
  return StatementHandle(raw);
}

TEST(KeptStatementsTest, TheLeastRecentlyKeptGoFirstAndATakenOneIsOut) {
  sqlite3* raw = nullptr;
  ASSERT_EQ(sqlite3_open(":memory:", &raw), SQLITE_OK);
  const std::unique_ptr<sqlite3, int (*)(sqlite3*)> db(raw, sqlite3_close_v2);
  KeptStatements kept(2);
  EXPECT_TRUE(kept.Enabled());
  kept.Keep("SELECT 1", Prepare(db.get(), "SELECT 1"));
  kept.Keep("SELECT 2", Prepare(db.get(), "SELECT 2"));
  kept.Keep("SELECT 3", Prepare(db.get(), "SELECT 3"));
  EXPECT_EQ(kept.Size(), 2u);
  EXPECT_EQ(kept.Take("SELECT 1"), nullptr);
  StatementHandle three = kept.Take("SELECT 3");
  ASSERT_NE(three, nullptr);
  EXPECT_EQ(kept.Take("SELECT 3"), nullptr);
  ASSERT_EQ(sqlite3_step(three.get()), SQLITE_ROW);
  EXPECT_EQ(sqlite3_column_int(three.get(), 0), 3);
  // Kept again half-read: it comes back reset, from its first row.
  kept.Keep("SELECT 3", std::move(three));
  three = kept.Take("SELECT 3");
  ASSERT_EQ(sqlite3_step(three.get()), SQLITE_ROW);
  EXPECT_EQ(sqlite3_column_int(three.get(), 0), 3);
  // A text kept twice keeps one statement.
  kept.Keep("SELECT 2", Prepare(db.get(), "SELECT 2"));
  EXPECT_EQ(kept.Size(), 1u);

  KeptStatements none(0);
  EXPECT_FALSE(none.Enabled());
  none.Keep("SELECT 1", Prepare(db.get(), "SELECT 1"));
  EXPECT_EQ(none.Size(), 0u);
  EXPECT_EQ(none.Take("SELECT 1"), nullptr);
}

// Every row of a command's answer: "name=value,..." per row, rows joined
// by "; ", or the failure's text.
std::string Rows(Connection& connection, const std::string& command) {
  try {
    const std::shared_ptr<Recordset> rows = connection.Execute(command);
    std::string text;
    for (; !rows->Eof(); rows->MoveNext()) {
      if (!text.empty()) text += "; ";
      for (int field = 0; field < rows->Fields().Count(); ++field) {
        if (field > 0) text += ",";
        text += rows->Fields().Item(field).Name() + "=" + rows->Fields().Item(field).Value().ToText();
      }
    }
    return text;
  } catch (const RuntimeError& error) {
    return "error: " + error.Description();
  }
}

// Statements run again on the same pooled link, between changes another
// connection makes to the database; each answer is the one a link that
// keeps no statements gives.
TEST(KeptStatementsTest, AStatementRunAgainReadsTheDatabaseAsItIsNow) {
  testing::TempFolder folder;
  const std::string path = folder.PathOf("site.db");
  sqlite3* raw = nullptr;
  ASSERT_EQ(sqlite3_open(path.c_str(), &raw), SQLITE_OK);
  const std::unique_ptr<sqlite3, int (*)(sqlite3*)> other(raw, sqlite3_close_v2);
  const auto change = [&](const std::string& script) {
    ASSERT_EQ(sqlite3_exec(other.get(), script.c_str(), nullptr, nullptr, nullptr), SQLITE_OK) << script;
  };
  const std::string start =
      "CREATE TABLE t(id INTEGER, name TEXT); INSERT INTO t VALUES (1, 'one');"
      "CREATE TABLE XProc(Name TEXT, Body TEXT);"
      "INSERT INTO XProc VALUES ('Named', 'SELECT name FROM t WHERE id = ?1')";
  change(start);
  struct Step {
    std::string change;  // made by the other connection first (may be empty)
    std::string command;
    std::string expected;
  } steps[] = {
      {"", "SELECT * FROM t", "id=1,name=one"},
      {"INSERT INTO t VALUES (2, 'two')", "SELECT * FROM t", "id=1,name=one; id=2,name=two"},
      {"UPDATE t SET name = 'uno' WHERE id = 1", "SELECT * FROM t", "id=1,name=uno; id=2,name=two"},
      {"ALTER TABLE t ADD COLUMN price REAL DEFAULT 2.5", "SELECT * FROM t",
       "id=1,name=uno,price=2.5; id=2,name=two,price=2.5"},
      {"DROP TABLE t", "SELECT * FROM t", "error: no such table: t"},
      {"CREATE TABLE t(code TEXT, id INTEGER); INSERT INTO t VALUES ('x', 7)", "SELECT * FROM t", "code=x,id=7"},
      {"", "EXEC Named 7", "error: no such column: name"},
      {"UPDATE XProc SET Body = 'SELECT code FROM t WHERE id = ?1'", "EXEC Named 7", "code=x"},
      {"DELETE FROM t", "EXEC Named 7", ""},
      {"INSERT INTO t VALUES ('y', 8)", "SELECT count(*) AS n FROM t", "n=1"},
      {"", "SELECT * FROM nowhere", "error: no such table: nowhere"},
      {"CREATE TABLE nowhere(a)", "SELECT * FROM nowhere", ""},
      // The procedure table itself: gone, named in other letter case, or
      // without the body column.
      {"DROP TABLE XProc", "EXEC Named 7", "error: Could not find stored procedure 'Named'."},
      {"CREATE TABLE xproc(name TEXT, body TEXT); INSERT INTO xproc VALUES ('NAMED', 'SELECT 5 AS five')",
       "EXEC Named 7", "five=5"},
      {"DROP TABLE xproc; CREATE TABLE XProc(Name TEXT, Text TEXT)", "EXEC Named 7", "error: no such column: Body"},
      {"DROP TABLE XProc; CREATE VIEW XProc AS SELECT 'Named' AS Name, 'SELECT 6 AS six' AS Body", "EXEC Named 7",
       "six=6"},
  };
  for (const int kept : {kDefaultStatementsKept, 0}) {
    const DatabaseSettings saved = CurrentDatabaseSettings();
    DatabaseSettings settings = saved;
    settings.statements_kept = kept;
    ApplyDatabaseSettings(settings);
    for (const Step& step : steps) {
      if (!step.change.empty()) change(step.change);
      auto connection = Connection::Create();
      connection->Open("sqlite:" + path);
      EXPECT_EQ(Rows(*connection, step.command), step.expected) << step.command << " after " << step.change
                                                                  << ", " << kept << " kept";
      connection->Close();
    }
    ApplyDatabaseSettings(saved);
    change("DROP TABLE t; DROP TABLE nowhere; DROP VIEW XProc; " + start);
  }
}

}  // namespace
}  // namespace zarel
