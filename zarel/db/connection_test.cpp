// Connections on real SQLite and PostgreSQL databases: opening, field types
// and values, commands, procedure calls and transactions.
#include "zarel/db/connection.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>

#include "zarel/base/error.h"
#include "zarel/testing/databases.h"

namespace zarel {
namespace {

using testing::Describe;
using testing::MakeTestDatabase;
using testing::TestDatabase;

std::string ErrorOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const RuntimeError& error) {
    return std::to_string(error.Number()) + " " + error.Description();
  }
  return "no error";
}

class ConnectionTest : public ::testing::TestWithParam<Backend> {
 protected:
  void SetUp() override {
    db_ = MakeTestDatabase(GetParam());
    if (db_ == nullptr) GTEST_SKIP() << "no PostgreSQL server (ZAREL_TEST_PG)";
  }
  bool Sqlite() const { return GetParam() == Backend::kSQLite; }
  std::shared_ptr<Connection> Open() const {
    auto connection = Connection::Create();
    connection->Open(db_->ConnectionString());
    return connection;
  }
  std::shared_ptr<Recordset> Read(const std::shared_ptr<Connection>& connection, const std::string& query) const {
    auto recordset = Recordset::Create();
    recordset->ActiveConnection(connection);
    recordset->CursorLocation(kUseClient);
    recordset->Open(query);
    return recordset;
  }
  std::unique_ptr<TestDatabase> db_;
};

TEST_P(ConnectionTest, FieldTypesAndValues) {
  db_->Exec(Sqlite() ? "CREATE TABLE t(i INTEGER, s SMALLINT, b BIGINT, d DOUBLE PRECISION, n NUMERIC(12,4),"
                       " w NUMERIC(30,12), m MONEY, dt DATE, tm TIME, ts TIMESTAMP, f BOOLEAN, c VARCHAR(20),"
                       " x TEXT, bl BLOB, z INTEGER, tiny TINYINT, flt REAL, stamp DATETIME)"
                     : "CREATE TABLE t(i INTEGER, s SMALLINT, b BIGINT, d DOUBLE PRECISION, n NUMERIC(12,4),"
                       " w NUMERIC(30,12), m MONEY, dt DATE, tm TIME, ts TIMESTAMP, f BOOLEAN, c VARCHAR(20),"
                       " x TEXT, bl BYTEA, z INTEGER, flt REAL, stamp TIMESTAMPTZ, ch CHAR(3))");
  db_->Exec(Sqlite() ? "INSERT INTO t VALUES (42, 7, 9000000000, 2.5, 12.3456, 1.000000000001, 12.34, '2024-03-05',"
                       " '14:05:09', '2024-03-05 14:05:09.250', TRUE, 'abc', 'long text', X'0001FF', NULL, 3, 0.5,"
                       " '2024-03-05T01:02:03')"
                     : "INSERT INTO t VALUES (42, 7, 9000000000, 2.5, 12.3456, 1.000000000001, 12.34, '2024-03-05',"
                       " '14:05:09', '2024-03-05 14:05:09.250', TRUE, 'abc', 'long text', '\\x0001ff', NULL, 0.5,"
                       " '2024-03-05 01:02:03+00', 'ab')");
  auto recordset = Read(Open(), Sqlite() ? "SELECT t.*, i + 1 AS e FROM t" : "SELECT t.*, i + 1 AS e FROM t");
  struct Expected {
    const char* column;
    int type;
    std::string value;
  };
  std::vector<Expected> expected = {
      {"i", 3, "Long 42"},
      {"s", 2, "Integer 7"},
      {"b", 20, "LongLong 9000000000"},
      {"d", 5, "Double 2.5"},
      {"n", 131, "Currency 12.3456"},
      {"w", 131, "Double 1.000000000001"},
      {"m", 6, "Currency 12.34"},
      {"dt", 133, "Date 2024-03-05"},
      {"tm", 134, "Date 14:05:09"},
      {"ts", 135, "Date 2024-03-05 14:05:09.250"},
      {"f", 11, "Boolean true"},
      {"c", 202, "String abc"},
      {"x", 203, "String long text"},
      {"bl", 205, "Bytes 00 01 ff"},
      {"z", 3, "Null"},
      {"e", Sqlite() ? 3 : 3, "Long 43"},
  };
  if (Sqlite()) {
    expected.push_back({"tiny", 16, "Integer 3"});
    expected.push_back({"flt", 5, "Double 0.5"});
    expected.push_back({"stamp", 135, "Date 2024-03-05 01:02:03"});
  } else {
    expected.push_back({"flt", 4, "Single 0.5"});
    expected.push_back({"stamp", 135, "Date 2024-03-05 01:02:03"});
    expected.push_back({"ch", 202, "String ab "});
  }
  ASSERT_EQ(recordset->RecordCount(), 1);
  for (const Expected& column : expected) {
    const Field& field = recordset->Fields().Item(column.column);
    EXPECT_EQ(field.Type(), column.type) << column.column;
    EXPECT_EQ(Describe(field.Value()), column.value) << column.column;
  }
  EXPECT_EQ(recordset->Fields().Item("c").DefinedSize(), 20);
}

TEST_P(ConnectionTest, CommandsAndTheirFailures) {
  auto connection = Open();
  EXPECT_EQ(connection->Execute("CREATE TABLE t(id INTEGER PRIMARY KEY, name VARCHAR(20))", kExecuteNoRecords),
            nullptr);
  // Several statements: the rows of the last one that returns columns.
  auto rows = connection->Execute(
      "INSERT INTO t VALUES (1, 'a'); INSERT INTO t VALUES (2, 'b; c'); SELECT name FROM t ORDER BY id; "
      "UPDATE t SET name = name WHERE id = 0");
  ASSERT_NE(rows, nullptr);
  ASSERT_EQ(rows->RecordCount(), 2);
  rows->MoveNext();
  EXPECT_EQ(Describe(rows->Fields().Item(0).Value()), "String b; c");
  // A command without rows gives an open recordset without fields.
  auto none = connection->Execute("UPDATE t SET name = 'x' WHERE id = 99");
  EXPECT_EQ(none->RecordCount(), 0);
  EXPECT_EQ(none->Fields().Count(), 0);

  const std::string error = ErrorOf([&] { connection->Execute("SELECT * FROM missing_table"); });
  EXPECT_EQ(error.rfind(std::to_string(errc::kDatabaseError) + " ", 0), 0u) << error;
  EXPECT_NE(error.find("missing_table"), std::string::npos) << error;
  // The connection is still usable after a failure.
  EXPECT_EQ(connection->Execute("SELECT count(*) FROM t")->Fields().Item(0).Value().ToLong(), 2);

  connection->Close();
  EXPECT_FALSE(connection->IsOpen());
  EXPECT_EQ(ErrorOf([&] { connection->Execute("SELECT 1"); }).substr(0, 4), "3704");
  auto closed = Recordset::Create();
  closed->ActiveConnection(connection);
  EXPECT_EQ(ErrorOf([&] { closed->Open("SELECT 1"); }).substr(0, 4), "3709");
}

TEST_P(ConnectionTest, ProcedureCalls) {
  db_->Exec(
      "CREATE TABLE orders(id INTEGER PRIMARY KEY, customer VARCHAR(20), amount INTEGER);"
      "CREATE TABLE calls(n INTEGER);"
      "INSERT INTO orders VALUES (1, 'Smith', 10), (2, 'O''Brien', 20), (3, 'Smith', 30);"
      "CREATE TABLE XProc(Name VARCHAR(40), Body TEXT);");
  db_->Exec(
      "INSERT INTO XProc VALUES ('ListOrders', 'SELECT id, ''?1 stays'' AS note FROM orders"
      " WHERE customer = ?1 AND amount >= ?2 ORDER BY id');"
      "INSERT INTO XProc VALUES ('CountedList', 'INSERT INTO calls VALUES (1); SELECT id FROM orders ORDER BY id;"
      " INSERT INTO calls VALUES (2)');"
      "INSERT INTO XProc VALUES ('Touch', 'UPDATE orders SET amount = amount + ?1');"
      "INSERT INTO XProc VALUES ('NeedsTwo', 'SELECT ?2 AS second');");
  auto connection = Open();
  struct Case {
    const char* command;
    std::string rows;  // the values of field 0, joined by "|"
  };
  const Case cases[] = {
      {"EXEC ListOrders 'Smith', 20", "3"},
      {"exec listorders Smith, 0", "1|3"},
      {"EXEC LISTORDERS 'O''Brien', NULL", ""},
      {"EXEC ListOrders 'O''Brien', -5", "2"},
      {"EXEC CountedList", "1|2|3"},
  };
  for (const Case& c : cases) {
    auto recordset = Read(connection, c.command);
    std::string rows;
    for (; !recordset->Eof(); recordset->MoveNext()) {
      rows += (rows.empty() ? "" : "|") + recordset->Fields().Item(0).Value().TextOrEmpty();
    }
    EXPECT_EQ(rows, c.rows) << c.command;
  }
  EXPECT_EQ(Read(connection, "EXEC ListOrders 'Smith', 0")->Fields().Item(1).Value().TextOrEmpty(), "?1 stays");
  EXPECT_EQ(db_->Scalar("SELECT count(*) FROM calls"), "2");

  // A body that only changes data: an open recordset with nothing in it.
  auto touched = Read(connection, "EXEC Touch 1");
  EXPECT_TRUE(touched->IsOpen());
  EXPECT_EQ(touched->RecordCount(), 0);
  EXPECT_EQ(db_->Scalar("SELECT amount FROM orders WHERE id = 1"), "11");

  EXPECT_EQ(ErrorOf([&] { Read(connection, "EXEC Nope 1"); }),
            std::to_string(errc::kDatabaseError) + " Could not find stored procedure 'Nope'.");
  EXPECT_NE(ErrorOf([&] { Read(connection, "EXEC NeedsTwo 1"); }).find("?2"), std::string::npos);
  // Nothing after the arguments ever runs.
  EXPECT_EQ(ErrorOf([&] { Read(connection, "EXEC ListOrders 'x', 1; DROP TABLE orders"); }),
            std::to_string(errc::kDatabaseError) +
                " Invalid procedure call at position 23: a procedure call is a single command; ';' is not allowed.");
  EXPECT_EQ(db_->Scalar("SELECT count(*) FROM orders"), "3");
  EXPECT_EQ(ErrorOf([&] { Read(connection, "EXEC ListOrders 'x'' OR 1=1 --"); }),
            std::to_string(errc::kDatabaseError) + " Invalid procedure call at position 17: unterminated string.");
}

TEST_P(ConnectionTest, ProceduresWithoutXProc) {
  auto connection = Open();
  if (Sqlite()) {
    EXPECT_EQ(ErrorOf([&] { Read(connection, "EXEC ListOrders 1"); }),
              std::to_string(errc::kDatabaseError) + " Could not find stored procedure 'ListOrders'.");
    return;
  }
  db_->Exec(
      "CREATE FUNCTION list_numbers(upto integer, label text) RETURNS TABLE(n integer, l text)"
      " LANGUAGE sql AS $$ SELECT g, label FROM generate_series(1, upto) g $$");
  auto recordset = Read(connection, "EXEC List_Numbers 3, 'x'");
  EXPECT_EQ(recordset->RecordCount(), 3);
  EXPECT_EQ(Describe(recordset->Fields().Item("l").Value()), "String x");
  EXPECT_EQ(ErrorOf([&] { Read(connection, "EXEC no_such_function"); }),
            std::to_string(errc::kDatabaseError) + " Could not find stored procedure 'no_such_function'.");
}

TEST_P(ConnectionTest, Transactions) {
  db_->Exec("CREATE TABLE t(id INTEGER PRIMARY KEY)");
  auto connection = Open();
  EXPECT_NE(ErrorOf([&] { connection->CommitTrans(); }).find("No transaction is pending."), std::string::npos);
  connection->BeginTrans();
  EXPECT_TRUE(connection->InTransaction());
  EXPECT_NE(ErrorOf([&] { connection->BeginTrans(); }).find("already pending"), std::string::npos);
  connection->Execute("INSERT INTO t VALUES (1)", kExecuteNoRecords);
  connection->RollbackTrans();
  EXPECT_FALSE(connection->InTransaction());
  EXPECT_EQ(db_->Scalar("SELECT count(*) FROM t"), "0");

  connection->BeginTrans();
  connection->Execute("INSERT INTO t VALUES (2)", kExecuteNoRecords);
  connection->CommitTrans();
  EXPECT_EQ(db_->Scalar("SELECT count(*) FROM t"), "1");

  // Closing with a pending transaction writes nothing of it.
  connection->BeginTrans();
  connection->Execute("INSERT INTO t VALUES (3)", kExecuteNoRecords);
  connection->Close();
  EXPECT_EQ(db_->Scalar("SELECT count(*) FROM t"), "1");

  if (!Sqlite()) {
    // A transaction in which a command failed is not reported as committed.
    connection = Open();
    connection->BeginTrans();
    connection->Execute("INSERT INTO t VALUES (4)", kExecuteNoRecords);
    EXPECT_NE(ErrorOf([&] { connection->Execute("INSERT INTO t VALUES (2)", kExecuteNoRecords); }), "no error");
    EXPECT_NE(ErrorOf([&] { connection->CommitTrans(); }).find("rolled back"), std::string::npos);
    EXPECT_EQ(db_->Scalar("SELECT count(*) FROM t"), "1");
  }
}

INSTANTIATE_TEST_SUITE_P(Backends, ConnectionTest, ::testing::Values(Backend::kSQLite, Backend::kPostgreSQL),
                         testing::BackendParamName());

TEST(ConnectionOpen, RefusesWhatItCannotOpen) {
  testing::TempFolder folder;
  const std::string missing = folder.Path() + "/missing.db";
  const std::string not_database = folder.Path() + "/text.db";
  { std::ofstream(not_database) << "this is no database, only text that is long enough to be read as a header"; }
  const std::string unknown = std::to_string(errc::kDatabaseError) +
                              " Unknown connection string: it must begin with \"sqlite:\", \"postgresql://\" or "
                              "\"postgres://\", or be libpq's key=value form.";
  struct Case {
    std::string text;
    std::string error;
  };
  const Case cases[] = {
      {"", unknown},
      {"Provider=SQLOLEDB;Data Source=server", unknown},
      {"mysql://localhost/db", unknown},
      {"SQLITE:" + missing, unknown},
      {"sqlite:" + missing,
       std::to_string(errc::kDatabaseError) + " The SQLite database file '" + missing + "' does not exist."},
      {"sqlite:" + folder.Path(),
       std::to_string(errc::kDatabaseError) + " The SQLite database file '" + folder.Path() + "' does not exist."},
      {"sqlite:" + not_database,
       std::to_string(errc::kDatabaseError) + " Cannot open the SQLite database '" + not_database +
           "': file is not a database"},
  };
  for (const Case& c : cases) {
    auto connection = Connection::Create();
    EXPECT_EQ(ErrorOf([&] { connection->Open(c.text); }), c.error) << c.text;
    EXPECT_FALSE(connection->IsOpen());
  }
  EXPECT_FALSE(std::filesystem::exists(missing));
}

TEST(ConnectionOpen, PostgresLoginFailures) {
  const std::string url = testing::GetPostgresUrl();
  if (url.empty()) GTEST_SKIP() << "no PostgreSQL server (ZAREL_TEST_PG)";
  const char* password = std::getenv("ZAREL_TEST_PG_PASSWORD");
  ASSERT_NE(password, nullptr);
  std::string wrong = url;
  wrong.replace(wrong.find(password), std::string(password).size(), "wrong-password");
  auto connection = Connection::Create();
  EXPECT_NE(ErrorOf([&] { connection->Open(wrong); }).find("password authentication failed"), std::string::npos);
  EXPECT_FALSE(connection->IsOpen());
  // The key=value form reaches the same server.
  const char* port = std::getenv("ZAREL_TEST_PG_PORT");
  ASSERT_NE(port, nullptr);
  connection->Open(std::string("host=127.0.0.1 port=") + port + " user=postgres dbname=postgres password=" + password);
  EXPECT_EQ(Describe(connection->Execute("SELECT 1 AS one")->Fields().Item(0).Value()), "Long 1");
}

}  // namespace
}  // namespace zarel
