// The DAL on real SQLite and PostgreSQL databases: connection life,
// transactions, commands, the recordset members, and the faults that must
// answer false without raising, leaving a connection open or writing.
#include "zarel/data/dal.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "zarel/db/connection.h"
#include "zarel/db/database_settings.h"
#include "zarel/testing/databases.h"
#include "zarel/testing/eventually.h"

namespace zarel {
namespace {

using testing::Describe;
using testing::MakeTestDatabase;
using testing::TestDatabase;

class DALTest : public ::testing::TestWithParam<Backend> {
 protected:
  void SetUp() override {
    db_ = MakeTestDatabase(GetParam());
    if (db_ == nullptr) GTEST_SKIP() << "no PostgreSQL server (ZAREL_TEST_PG)";
    db_->Exec(Sqlite() ? "CREATE TABLE items(id INTEGER PRIMARY KEY, name VARCHAR(40), price NUMERIC(12,4),"
                         " ratio DOUBLE PRECISION, added DATE, picture BLOB, note TEXT)"
                       : "CREATE TABLE items(id SERIAL PRIMARY KEY, name VARCHAR(40), price NUMERIC(12,4),"
                         " ratio DOUBLE PRECISION, added DATE, picture BYTEA, note TEXT)");
    db_->Exec(Sqlite() ? "INSERT INTO items VALUES (1, 'Pen', 1.5, 0.1, '2024-03-05', X'00FF10', ''),"
                         " (2, NULL, 12345.6789, 1.0000000000000002, NULL, NULL, 'x')"
                       : "INSERT INTO items VALUES (1, 'Pen', 1.5, 0.1, '2024-03-05', '\\x00ff10', ''),"
                         " (2, NULL, 12345.6789, 1.0000000000000002, NULL, NULL, 'x');"
                         " SELECT setval('items_id_seq', 2)");
    dal_.ConnectionString(db_->ConnectionString());
  }
  bool Sqlite() const { return GetParam() == Backend::kSQLite; }

  // How many connections of this process hold a database link: a closed
  // connection gives its link back to the pool, where it stays open, idle.
  static int OpenConnections() { return CountDatabaseLinks().in_use; }

  // How many physical links to the test database are open in this process
  // (or, on PostgreSQL, on the server).
  int PhysicalLinks() const {
    if (Sqlite()) {
      const std::string path = db_->ConnectionString().substr(7);
      int count = 0;
      std::error_code error;
      for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd", error)) {
        std::error_code link_error;
        if (std::filesystem::read_symlink(entry.path(), link_error).string() == path) ++count;
      }
      return count;
    }
    // Asked from the server's own database, so the asking link is not
    // counted.
    const std::string& url = db_->ConnectionString();
    const std::string name = url.substr(url.rfind('/') + 1);
    auto server = Connection::Create();
    server->Open(testing::GetPostgresUrl());
    auto count = server->Execute("SELECT count(*) FROM pg_stat_activity WHERE datname = '" + name + "'");
    server->Close();
    return std::stoi(count->Fields().Item(0).Value().TextOrEmpty());
  }

  // Whether the physical links come to count. A link closed here leaves
  // SQLite's files at once, but PostgreSQL's list of sessions only when the
  // server's process for it has ended, a moment after the close (longer on
  // a busy machine): the count is asked again until it matches. Checked
  // right after links closed, it would depend on how soon that process ran.
  bool PhysicalLinksComeTo(int count) const {
    return testing::Eventually([&] { return PhysicalLinks() == count; });
  }

  std::unique_ptr<TestDatabase> db_;
  DAL dal_;
};

TEST_P(DALTest, ReadRecordset) {
  std::shared_ptr<Recordset> first;
  ASSERT_TRUE(dal_.ReadRecordset("SELECT id, name FROM items ORDER BY id", first));
  EXPECT_EQ(first->RecordCount(), 2);
  EXPECT_EQ(Describe(first->Fields().Item(0).Value()), "Long 1");
  EXPECT_EQ(first->ActiveConnection(), nullptr);
  EXPECT_EQ(first->LockType(), kLockReadOnly);
  EXPECT_EQ(OpenConnections(), 0);

  // Each call hands out a new recordset; the one taken before is untouched.
  std::shared_ptr<Recordset> variable = first;
  ASSERT_TRUE(dal_.ReadRecordset("SELECT id FROM items WHERE id = 2", variable));
  EXPECT_NE(variable, first);
  EXPECT_EQ(first->RecordCount(), 2);

  ASSERT_TRUE(dal_.ReadRecordset("SELECT id FROM items WHERE id > 5", variable));
  EXPECT_EQ(variable->RecordCount(), 0);
  EXPECT_TRUE(variable->Eof());

  // A rejected query leaves no recordset in the variable.
  EXPECT_FALSE(dal_.ReadRecordset("SELECT nothing FROM nowhere", variable));
  EXPECT_EQ(variable, nullptr);
  EXPECT_EQ(OpenConnections(), 0);
}

TEST_P(DALTest, ClientUpdatableCopiesEveryValueAsItIs) {
  std::shared_ptr<Recordset> copy;
  ASSERT_TRUE(dal_.ClientUpdatable("SELECT name, price, ratio, added, picture, note FROM items ORDER BY id", copy));
  EXPECT_EQ(copy->ActiveConnection(), nullptr);
  ASSERT_EQ(copy->RecordCount(), 2);
  const std::vector<std::vector<std::string>> expected = {
      {"String Pen", "Currency 1.5", "Double 0.1", "Date 2024-03-05", "Bytes 00 ff 10", "String "},
      {"Null", "Currency 12345.6789", "Double 1.0000000000000002", "Null", "Null", "String x"},
  };
  copy->MoveFirst();
  for (const auto& row : expected) {
    for (std::size_t i = 0; i < row.size(); ++i) {
      EXPECT_EQ(Describe(copy->Fields().Item(static_cast<int>(i)).Value()), row[i]) << i;
    }
    copy->MoveNext();
  }
  EXPECT_EQ(copy->Fields().Item("picture").Type(), fieldtype::kLongVarBinary);

  // No rows: an open, empty copy with the same fields.
  std::shared_ptr<Recordset> empty;
  ASSERT_TRUE(dal_.ClientUpdatable("SELECT id, name FROM items WHERE id < 0", empty));
  EXPECT_TRUE(empty->IsOpen());
  EXPECT_EQ(empty->RecordCount(), 0);
  EXPECT_EQ(empty->Fields().Item(1).Name(), "name");

  // A failure leaves the variable as it was.
  EXPECT_FALSE(dal_.ClientUpdatable("SELECT broken FROM", empty));
  ASSERT_NE(empty, nullptr);
  EXPECT_EQ(OpenConnections(), 0);
}

TEST_P(DALTest, ReadValue) {
  struct Case {
    const char* query;
    std::string value;
  };
  const Case cases[] = {
      {"SELECT 42", "String 42"},
      {"SELECT name FROM items WHERE id = 2", "String "},
      {"SELECT name FROM items WHERE id = 99", "Empty"},
      {"SELECT price FROM items WHERE id = 2", "String 12345.6789"},
      {"SELECT no_such_column FROM items", "Empty"},
      {"EXEC NoSuchProcedure", "Empty"},
  };
  for (const Case& c : cases) EXPECT_EQ(Describe(dal_.ReadValue(c.query)), c.value) << c.query;
  EXPECT_EQ(OpenConnections(), 0);
}

TEST_P(DALTest, ConnectionLifeAndTransactions) {
  EXPECT_TRUE(dal_.IsConnected());
  EXPECT_EQ(OpenConnections(), 0);
  EXPECT_FALSE(dal_.TransCommit());  // no transaction, no connection
  EXPECT_FALSE(dal_.TransRollback());

  ASSERT_TRUE(dal_.TransBegin());
  EXPECT_TRUE(dal_.IsInTransaction());
  EXPECT_TRUE(dal_.ExecSQL("INSERT INTO items (id, name) VALUES (10, 'a')"));
  EXPECT_TRUE(dal_.ExecSQL("INSERT INTO items (id, name) VALUES (11, 'b')"));
  EXPECT_EQ(OpenConnections(), 1);
  // Reads and IsConnected inside the transaction use its connection and
  // leave it open: the transaction is still there to roll back.
  std::shared_ptr<Recordset> inside;
  ASSERT_TRUE(dal_.ReadRecordset("SELECT count(*) FROM items", inside));
  EXPECT_EQ(inside->Fields().Item(0).Value().ToLong(), 4);
  EXPECT_EQ(Describe(dal_.ReadValue("SELECT name FROM items WHERE id = 11")), "String b");
  EXPECT_TRUE(dal_.IsConnected());
  EXPECT_FALSE(dal_.ExecSQL("INSERT INTO nowhere VALUES (1)"));
  EXPECT_FALSE(dal_.ReadRecordset("SELECT broken FROM", inside));
  EXPECT_TRUE(dal_.IsInTransaction());
  EXPECT_TRUE(dal_.TransRollback());
  EXPECT_FALSE(dal_.IsInTransaction());
  EXPECT_EQ(OpenConnections(), 0);
  EXPECT_EQ(db_->Scalar("SELECT count(*) FROM items"), "2");

  ASSERT_TRUE(dal_.TransBegin());
  EXPECT_TRUE(dal_.ExecSQL("INSERT INTO items (id, name) VALUES (12, 'c')"));
  EXPECT_TRUE(dal_.TransCommit());
  EXPECT_EQ(OpenConnections(), 0);
  EXPECT_EQ(db_->Scalar("SELECT count(*) FROM items"), "3");

  // ExecSQL leaves its connection open; a read closes it.
  EXPECT_TRUE(dal_.ExecSQL("UPDATE items SET name = 'd' WHERE id = 12"));
  EXPECT_EQ(OpenConnections(), 1);
  EXPECT_TRUE(dal_.IsConnected());
  EXPECT_EQ(OpenConnections(), 1);
  EXPECT_EQ(Describe(dal_.ReadValue("SELECT name FROM items WHERE id = 12")), "String d");
  EXPECT_EQ(OpenConnections(), 0);
}

TEST_P(DALTest, ConnectionStringTakesEffectAtTheNextConnection) {
  auto other = MakeTestDatabase(GetParam());
  ASSERT_TRUE(dal_.TransBegin());
  dal_.ConnectionString(other->ConnectionString());
  EXPECT_TRUE(dal_.ExecSQL("CREATE TABLE first_database(n INTEGER)"));
  EXPECT_TRUE(dal_.TransCommit());
  EXPECT_TRUE(dal_.ExecSQL("CREATE TABLE second_database(n INTEGER)"));
  EXPECT_EQ(db_->Scalar(Sqlite() ? "SELECT count(*) FROM sqlite_master WHERE name = 'first_database'"
                                 : "SELECT count(*) FROM pg_class WHERE relname = 'first_database'"),
            "1");
  EXPECT_EQ(other->Scalar(Sqlite() ? "SELECT count(*) FROM sqlite_master WHERE name = 'second_database'"
                                   : "SELECT count(*) FROM pg_class WHERE relname = 'second_database'"),
            "1");
}

TEST_P(DALTest, GetAndPutRecordset) {
  std::shared_ptr<Recordset> edit;
  ASSERT_TRUE(dal_.GetRecordset("SELECT id, name, price, note FROM items ORDER BY id", edit));
  EXPECT_EQ(edit->ActiveConnection(), nullptr);
  EXPECT_EQ(OpenConnections(), 0);
  edit->Fields().Item("name").Value(Variant("Pencil"));
  edit->AddNew();
  edit->Fields().Item("name").Value(Variant("Ruler"));
  edit->Fields().Item("price").Value(Variant(Currency{25000}));
  edit->Update();
  ASSERT_TRUE(dal_.PutRecordset(edit));
  EXPECT_EQ(edit->ActiveConnection(), nullptr);
  EXPECT_EQ(db_->Scalar("SELECT name FROM items WHERE id = 1"), "Pencil");
  EXPECT_EQ(db_->Scalar("SELECT price FROM items WHERE name = 'Ruler'"), "2.5");
  // The recordset shows the database's rows now: the new row has its key.
  ASSERT_EQ(edit->RecordCount(), 3);
  edit->MoveFirst();
  edit->MoveNext();
  edit->MoveNext();
  EXPECT_EQ(Describe(edit->Fields().Item("id").Value()), "Long 3");
  EXPECT_EQ(Describe(edit->Fields().Item("price").Value()), "Currency 2.5");

  // Someone else changes a row between reading and writing: the whole batch
  // fails and nothing of it is written.
  ASSERT_TRUE(dal_.GetRecordset("SELECT id, name FROM items ORDER BY id", edit));
  edit->Fields().Item("name").Value(Variant("Mine"));
  edit->MoveNext();
  edit->Fields().Item("name").Value(Variant("Also mine"));
  db_->Exec("UPDATE items SET name = 'Theirs' WHERE id = 2");
  EXPECT_FALSE(dal_.PutRecordset(edit));
  EXPECT_EQ(OpenConnections(), 0);
  EXPECT_EQ(db_->Scalar("SELECT name FROM items WHERE id = 1"), "Pencil");
  EXPECT_EQ(db_->Scalar("SELECT name FROM items WHERE id = 2"), "Theirs");

  // A table without a primary key cannot take a batch.
  db_->Exec("CREATE TABLE loose(n INTEGER, label VARCHAR(10)); INSERT INTO loose VALUES (1, 'a')");
  ASSERT_TRUE(dal_.GetRecordset("SELECT n, label FROM loose", edit));
  edit->Fields().Item("label").Value(Variant("b"));
  EXPECT_FALSE(dal_.PutRecordset(edit));
  EXPECT_EQ(db_->Scalar("SELECT label FROM loose"), "a");
}

TEST_P(DALTest, FaultsAnswerFalseAndLeaveNothingOpen) {
  db_->Exec("CREATE TABLE XProc(Name VARCHAR(40), Body TEXT)");
  db_->Exec("INSERT INTO XProc VALUES ('AddItem', 'INSERT INTO items (id, name) VALUES (?1, ?2)')");
  struct Case {
    const char* query;
  };
  const Case cases[] = {
      {"SELECT * FROM no_such_table"},
      {"EXEC AddItem 20, 'x'; DELETE FROM items"},
      {"EXEC AddItem 21, 'unterminated"},
      {"EXEC AddItem 22 23"},
      {"EXEC NoSuchProcedure 1"},
      {"SHAPE {SELECT id FROM items} APPEND ({SELECT id FROM items} RELATE id TO)"},
      {"SHAPE {SELECT id FROM items} APPEND ({SELECT id FROM items} RELATE missing TO id)"},
      {"SHAPE {SELECT id FROM items"},
  };
  for (const Case& c : cases) {
    std::shared_ptr<Recordset> variable = Recordset::Create();
    EXPECT_FALSE(dal_.ReadRecordset(c.query, variable)) << c.query;
    EXPECT_EQ(variable, nullptr);
    EXPECT_FALSE(dal_.GetRecordset(c.query, variable)) << c.query;
    EXPECT_TRUE(dal_.ReadValue(c.query).IsEmpty()) << c.query;
    EXPECT_FALSE(dal_.ClientUpdatable(c.query, variable)) << c.query;
    EXPECT_EQ(OpenConnections(), 0) << c.query;
    EXPECT_FALSE(dal_.ExecSQL(c.query)) << c.query;
    EXPECT_TRUE(dal_.IsConnected());
    EXPECT_EQ(Describe(dal_.ReadValue("SELECT count(*) FROM items")), "String 2") << c.query;
  }
  std::shared_ptr<Recordset> none;
  EXPECT_FALSE(dal_.PutRecordset(none));
  EXPECT_EQ(OpenConnections(), 0);
  EXPECT_TRUE(dal_.ExecSQL("EXEC AddItem 30, 'ok'"));
  EXPECT_EQ(db_->Scalar("SELECT name FROM items WHERE id = 30"), "ok");
}

TEST_P(DALTest, PooledLinksStayOpenIdleUnlessPoolingIsOff) {
  const DatabaseSettings saved = CurrentDatabaseSettings();
  CloseIdleDatabaseLinks();
  ASSERT_TRUE(PhysicalLinksComeTo(0));  // the link that made the table is gone
  const DatabaseLinkCounts before = CountDatabaseLinks();
  std::shared_ptr<Recordset> variable;
  ASSERT_TRUE(dal_.ReadRecordset("SELECT id FROM items", variable));
  ASSERT_TRUE(dal_.ReadRecordset("SELECT id FROM items", variable));
  EXPECT_EQ(OpenConnections(), 0);
  // One link served both reads and stays open, idle. Nothing was closed
  // since the count came to 0, so the count holds at once.
  EXPECT_EQ(CountDatabaseLinks().opened - before.opened, 1);
  EXPECT_EQ(CountDatabaseLinks().reused - before.reused, 1);
  EXPECT_EQ(PhysicalLinks(), 1);

  DatabaseSettings off = saved;
  off.pool_size = 0;
  ApplyDatabaseSettings(off);
  EXPECT_TRUE(PhysicalLinksComeTo(0));  // idle links of the old settings are closed
  ASSERT_TRUE(dal_.ReadRecordset("SELECT id FROM items", variable));
  EXPECT_TRUE(PhysicalLinksComeTo(0));  // the read's own link closed with it
  ASSERT_TRUE(dal_.ExecSQL("UPDATE items SET note = 'y'"));
  EXPECT_EQ(PhysicalLinks(), 1);  // the command's connection stays open
  EXPECT_EQ(Describe(dal_.ReadValue("SELECT note FROM items WHERE id = 2")), "String y");
  EXPECT_TRUE(PhysicalLinksComeTo(0));
  ApplyDatabaseSettings(saved);
}

INSTANTIATE_TEST_SUITE_P(Backends, DALTest, ::testing::Values(Backend::kSQLite, Backend::kPostgreSQL),
                         testing::BackendParamName());

TEST(DALConnectionStrings, BadConnectionStringsAnswerFalse) {
  testing::TempFolder folder;
  std::vector<std::string> texts = {"", "nonsense", "odbc:dsn=x", "sqlite:" + folder.Path() + "/missing.db"};
  const std::string url = testing::GetPostgresUrl();
  if (!url.empty()) {
    const char* password = std::getenv("ZAREL_TEST_PG_PASSWORD");
    const std::size_t at = password != nullptr && *password != '\0' ? url.find(password) : std::string::npos;
    if (at != std::string::npos) {
      std::string wrong = url;
      wrong.replace(at, std::strlen(password), "not-the-password");
      texts.push_back(wrong);
    }
    texts.push_back(testing::WithDatabaseName(url, "no_such_database"));
  }
  for (const std::string& text : texts) {
    DAL dal;
    dal.ConnectionString(text);
    std::shared_ptr<Recordset> variable = Recordset::Create();
    EXPECT_FALSE(dal.IsConnected()) << text;
    EXPECT_FALSE(dal.ReadRecordset("SELECT 1", variable)) << text;
    EXPECT_EQ(variable, nullptr);
    EXPECT_TRUE(dal.ReadValue("SELECT 1").IsEmpty());
    EXPECT_FALSE(dal.ExecSQL("CREATE TABLE t(n INTEGER)"));
    EXPECT_FALSE(dal.TransBegin());
    EXPECT_FALSE(dal.IsInTransaction());
    EXPECT_FALSE(dal.TransCommit());
  }
  EXPECT_FALSE(std::filesystem::exists(folder.Path() + "/missing.db"));
}

TEST(DALServer, ServerStoppedBetweenTwoCalls) {
  if (testing::GetPostgresUrl().empty()) GTEST_SKIP() << "no PostgreSQL server (ZAREL_TEST_PG)";
  testing::PrivateServer server;
  ASSERT_TRUE(server.Available()) << "could not start a server of the test's own";
  DAL dal;
  dal.ConnectionString(server.Url());
  ASSERT_TRUE(dal.ExecSQL("CREATE TABLE t(n INTEGER); INSERT INTO t VALUES (7)"));  // stays open
  std::shared_ptr<Recordset> variable;
  ASSERT_TRUE(dal.ReadRecordset("SELECT n FROM t", variable));  // closes

  ASSERT_TRUE(dal.ExecSQL("UPDATE t SET n = 8"));  // leaves a connection open
  ASSERT_TRUE(server.Stop());
  EXPECT_FALSE(dal.ReadRecordset("SELECT n FROM t", variable));
  EXPECT_FALSE(dal.ExecSQL("UPDATE t SET n = 9"));
  EXPECT_FALSE(dal.IsConnected());
  EXPECT_TRUE(dal.ReadValue("SELECT n FROM t").IsEmpty());
  ASSERT_TRUE(server.Start());
  ASSERT_TRUE(dal.ReadRecordset("SELECT n FROM t", variable));
  EXPECT_EQ(Describe(variable->Fields().Item(0).Value()), "Long 8");

  // A connection left open by ExecSQL that the stop cut off is replaced by
  // the next call.
  ASSERT_TRUE(dal.ExecSQL("UPDATE t SET n = 10"));
  ASSERT_TRUE(server.Stop());
  ASSERT_TRUE(server.Start());
  EXPECT_TRUE(dal.ExecSQL("UPDATE t SET n = 11"));
  EXPECT_EQ(Describe(dal.ReadValue("SELECT n FROM t")), "String 11");

  // A transaction cut off by the stop is gone: nothing of it is written,
  // rolling it back answers true, and the next calls work.
  ASSERT_TRUE(dal.TransBegin());
  ASSERT_TRUE(dal.ExecSQL("UPDATE t SET n = 12"));
  ASSERT_TRUE(server.Stop());
  ASSERT_TRUE(server.Start());
  EXPECT_FALSE(dal.ExecSQL("UPDATE t SET n = 13"));
  EXPECT_TRUE(dal.TransRollback());
  EXPECT_FALSE(dal.IsInTransaction());
  EXPECT_EQ(Describe(dal.ReadValue("SELECT n FROM t")), "String 11");
}

}  // namespace
}  // namespace zarel
