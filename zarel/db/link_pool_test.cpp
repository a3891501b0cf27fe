// The pool of database links and the statement limits, on real SQLite files
// and PostgreSQL servers: links come back clean, broken links are replaced,
// replaced SQLite files are never read through an old link, the size and
// wait bounds hold under many threads, runaway and locked statements stop
// at their bounds, and running statements can be interrupted from another
// thread.
#include "zarel/db/link_pool.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <functional>
#include <future>
#include <thread>
#include <vector>

#include "zarel/base/error.h"
#include "zarel/db/connection.h"
#include "zarel/db/database_settings.h"
#include "zarel/db/link_limits.h"
#include "zarel/testing/databases.h"

namespace zarel {
namespace {

using namespace std::chrono_literals;
using testing::MakeTestDatabase;
using testing::TestDatabase;

// A recursive query that never ends on its own.
constexpr const char* kRunaway =
    "WITH RECURSIVE r(n) AS (SELECT 1 UNION ALL SELECT n + 1 FROM r) SELECT count(*) FROM r";

std::string ErrorOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const RuntimeError& error) {
    return error.Description();
  }
  return "no error";
}

// Process settings for one test, restored after it.
class ScopedSettings {
 public:
  explicit ScopedSettings(const std::function<void(DatabaseSettings&)>& change) : saved_(CurrentDatabaseSettings()) {
    DatabaseSettings settings = saved_;
    change(settings);
    ApplyDatabaseSettings(settings);
  }
  ~ScopedSettings() { ApplyDatabaseSettings(saved_); }
  ScopedSettings(const ScopedSettings&) = delete;
  ScopedSettings& operator=(const ScopedSettings&) = delete;

 private:
  DatabaseSettings saved_;
};

std::string First(Connection& connection, const std::string& query) {
  auto rows = connection.Execute(query);
  return rows->Fields().Item(0).Value().TextOrEmpty();
}

std::shared_ptr<Connection> Open(const std::string& connection_string) {
  auto connection = Connection::Create();
  connection->Open(connection_string);
  return connection;
}

// Waits until a statement runs on some link of the process and interrupts
// it; answers how many it stopped.
int InterruptOnceRunning() {
  for (int attempt = 0; attempt < 2000; ++attempt) {
    if (const int stopped = InterruptRunningStatements(); stopped > 0) return stopped;
    std::this_thread::sleep_for(5ms);
  }
  return 0;
}

class LinkPoolTest : public ::testing::TestWithParam<Backend> {
 protected:
  void SetUp() override {
    db_ = MakeTestDatabase(GetParam());
    if (db_ == nullptr) GTEST_SKIP() << "no PostgreSQL server (ZAREL_TEST_PG)";
    db_->Exec("CREATE TABLE items(id INTEGER PRIMARY KEY, name VARCHAR(20))");
    db_->Exec("INSERT INTO items VALUES (1, 'pen')");
  }
  bool Sqlite() const { return GetParam() == Backend::kSQLite; }
  const std::string& Url() const { return db_->ConnectionString(); }

  std::unique_ptr<TestDatabase> db_;
};

TEST_P(LinkPoolTest, LinkComesBackRolledBackAndClean) {
  auto connection = Open(Url());
  connection->BeginTrans();
  connection->Execute("INSERT INTO items VALUES (2, 'pending')", kExecuteNoRecords);
  connection->Close();  // the transaction is still pending on the link

  const DatabaseLinkCounts before = CountDatabaseLinks();
  connection->Open(Url());
  EXPECT_EQ(CountDatabaseLinks().reused, before.reused + 1) << "the same link serves the next connection";
  EXPECT_FALSE(connection->InTransaction());
  EXPECT_EQ(First(*connection, "SELECT count(*) FROM items"), "1");

  // Session state: a temporary table does not reach the next user.
  connection->Execute("CREATE TEMPORARY TABLE scratch(n INTEGER)", kExecuteNoRecords);
  if (!Sqlite()) connection->Execute("SET application_name = 'left behind'", kExecuteNoRecords);
  connection->Close();
  connection->Open(Url());
  EXPECT_NE(ErrorOf([&] { connection->Execute("SELECT n FROM scratch"); }), "no error");
  if (!Sqlite()) {
    EXPECT_EQ(First(*connection, "SHOW application_name"), "");
  }

  // Settings: a session that made its link read-only leaves the next user
  // a link that writes.
  connection->Execute(Sqlite() ? "PRAGMA query_only = ON" : "SET default_transaction_read_only = on",
                      kExecuteNoRecords);
  EXPECT_NE(ErrorOf([&] { connection->Execute("INSERT INTO items VALUES (3, 'refused')", kExecuteNoRecords); }),
            "no error");
  connection->Close();
  connection->Open(Url());
  connection->Execute("INSERT INTO items VALUES (3, 'written')", kExecuteNoRecords);
  EXPECT_EQ(First(*connection, "SELECT name FROM items WHERE id = 3"), "written");
  connection->Close();
}

TEST_P(LinkPoolTest, RunawayQueryStopsAtItsLimitAndTheLinkGoesOn) {
  ScopedSettings settings([](DatabaseSettings& s) { s.statement_time_limit = 300ms; });
  auto connection = Open(Url());
  const auto started = std::chrono::steady_clock::now();
  EXPECT_EQ(ErrorOf([&] { connection->Execute(kRunaway); }),
            "The statement ran out of time: it was stopped after 0.3 seconds.");
  EXPECT_LT(std::chrono::steady_clock::now() - started, 20s);
  // The next statement on the same link works, and so does the link once
  // it is back in the pool.
  EXPECT_EQ(First(*connection, "SELECT name FROM items"), "pen");
  connection->Close();
  const DatabaseLinkCounts before = CountDatabaseLinks();
  connection->Open(Url());
  EXPECT_EQ(First(*connection, "SELECT count(*) FROM items"), "1");
  EXPECT_EQ(CountDatabaseLinks().reused, before.reused + 1);
}

TEST_P(LinkPoolTest, InterruptStopsRunningStatementsFromAnotherThread) {
  ScopedSettings settings([](DatabaseSettings& s) { s.statement_time_limit = 0ms; });
  // Nothing runs: nothing to stop.
  EXPECT_EQ(InterruptRunningStatements(), 0);
  auto connection = Open(Url());
  auto failure = std::async(std::launch::async, [&] { return ErrorOf([&] { connection->Execute(kRunaway); }); });
  EXPECT_EQ(InterruptOnceRunning(), 1);
  EXPECT_EQ(failure.get(), "The statement was interrupted.");
  EXPECT_EQ(First(*connection, "SELECT name FROM items"), "pen");

  // One connection, by its own member.
  failure = std::async(std::launch::async, [&] { return ErrorOf([&] { connection->Execute(kRunaway); }); });
  bool stopped = false;
  for (int attempt = 0; attempt < 2000 && !stopped; ++attempt) {
    stopped = connection->Interrupt();
    if (!stopped) std::this_thread::sleep_for(5ms);
  }
  EXPECT_TRUE(stopped);
  EXPECT_EQ(failure.get(), "The statement was interrupted.");
  EXPECT_FALSE(connection->Interrupt());
  EXPECT_EQ(First(*connection, "SELECT count(*) FROM items"), "1");
}

TEST_P(LinkPoolTest, LockedDatabaseAnswersWithinTheLockWait) {
  ScopedSettings settings([](DatabaseSettings& s) { s.lock_wait = 250ms; });
  auto connection = Open(Url());
  // Another connection holds a write lock: the whole SQLite file, or the
  // PostgreSQL table.
  sqlite3* holder = nullptr;
  std::shared_ptr<Connection> other;
  if (Sqlite()) {
    ASSERT_EQ(sqlite3_open(Url().substr(7).c_str(), &holder), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(holder, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
  } else {
    other = Open(Url());
    other->BeginTrans();
    other->Execute("LOCK TABLE items IN ACCESS EXCLUSIVE MODE", kExecuteNoRecords);
  }
  const auto started = std::chrono::steady_clock::now();
  EXPECT_EQ(ErrorOf([&] { connection->Execute("UPDATE items SET name = 'mine'", kExecuteNoRecords); }),
            "The database is locked by another connection; gave up waiting after 0.25 seconds.");
  EXPECT_GE(std::chrono::steady_clock::now() - started, 250ms);
  if (Sqlite()) {
    // A new link cannot even read the schema while the writer holds it.
    EXPECT_EQ(ErrorOf([&] { Open(Url()); }), "Cannot open the SQLite database '" + Url().substr(7) +
                                                 "': The database is locked by another connection; gave up "
                                                 "waiting after 0.25 seconds.");
  }
  if (holder != nullptr) {
    sqlite3_exec(holder, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(holder);
  } else {
    other->RollbackTrans();
    other->Close();
  }
  connection->Execute("UPDATE items SET name = 'mine'", kExecuteNoRecords);
  EXPECT_EQ(First(*connection, "SELECT name FROM items"), "mine");
}

TEST_P(LinkPoolTest, SizeBoundHoldsUnderSixtyFourCallersAndWaitersGetAClearError) {
  ScopedSettings settings([](DatabaseSettings& s) {
    s.pool_size = 4;
    s.pool_wait = 30s;
  });
  CloseIdleDatabaseLinks();
  const DatabaseLinkCounts before = CountDatabaseLinks();
  std::atomic<int> in_use{0}, most{0}, failures{0};
  std::vector<std::thread> callers;
  for (int caller = 0; caller < 64; ++caller) {
    callers.emplace_back([&] {
      try {
        for (int round = 0; round < 3; ++round) {
          auto connection = Open(Url());
          const int now = ++in_use;
          int seen = most.load();
          while (now > seen && !most.compare_exchange_weak(seen, now)) {
          }
          if (First(*connection, "SELECT count(*) FROM items") != "1") ++failures;
          --in_use;
          connection->Close();
        }
      } catch (...) {
        ++failures;
      }
    });
  }
  for (std::thread& caller : callers) caller.join();
  EXPECT_EQ(failures.load(), 0);
  EXPECT_LE(most.load(), 4);
  EXPECT_LE(CountDatabaseLinks().opened - before.opened, 4);
  EXPECT_EQ(CountDatabaseLinks().in_use, 0);

  // All four held: the fifth caller waits its bound, then fails clearly.
  ApplyDatabaseSettings([] {
    DatabaseSettings s = CurrentDatabaseSettings();
    s.pool_wait = 200ms;
    return s;
  }());
  std::vector<std::shared_ptr<Connection>> held;
  for (int i = 0; i < 4; ++i) held.push_back(Open(Url()));
  const auto started = std::chrono::steady_clock::now();
  EXPECT_EQ(ErrorOf([&] { Open(Url()); }),
            "All 4 database links for this connection are in use; none came free within 0.2 seconds.");
  EXPECT_GE(std::chrono::steady_clock::now() - started, 200ms);
  // A link given back lets the next caller in.
  held.back()->Close();
  EXPECT_EQ(First(*Open(Url()), "SELECT name FROM items"), "pen");
}

TEST_P(LinkPoolTest, IdleLinksCloseAfterTheirTime) {
  ScopedSettings settings([](DatabaseSettings& s) { s.pool_idle = 100ms; });
  Open(Url())->Close();
  EXPECT_GE(CountDatabaseLinks().idle, 1);
  for (int attempt = 0; attempt < 500 && CountDatabaseLinks().idle > 0; ++attempt) std::this_thread::sleep_for(10ms);
  EXPECT_EQ(CountDatabaseLinks().idle, 0);
}

INSTANTIATE_TEST_SUITE_P(Backends, LinkPoolTest, ::testing::Values(Backend::kSQLite, Backend::kPostgreSQL),
                         testing::BackendParamName());

TEST(LinkPoolSQLite, FileReplacedOrRemovedBetweenTwoConnectionsIsNeverReadThroughTheOldLink) {
  testing::TempFolder folder;
  const std::string path = folder.PathOf("site.db");
  const auto make = [&](const std::string& file, const std::string& name) {
    sqlite3* db = nullptr;
    sqlite3_open(file.c_str(), &db);
    sqlite3_exec(db, ("CREATE TABLE t(name TEXT); INSERT INTO t VALUES ('" + name + "')").c_str(), nullptr,
                 nullptr, nullptr);
    sqlite3_close(db);
  };
  make(path, "old");
  auto connection = Open("sqlite:" + path);
  EXPECT_EQ(First(*connection, "SELECT name FROM t"), "old");
  connection->Close();

  // A new database renamed over the old one.
  make(folder.PathOf("new.db"), "new");
  ASSERT_EQ(std::rename(folder.PathOf("new.db").c_str(), path.c_str()), 0);
  connection->Open("sqlite:" + path);
  EXPECT_EQ(First(*connection, "SELECT name FROM t"), "new");
  connection->Close();

  // The file removed: opening fails as for any missing file.
  ASSERT_EQ(std::remove(path.c_str()), 0);
  EXPECT_EQ(ErrorOf([&] { connection->Open("sqlite:" + path); }),
            "The SQLite database file '" + path + "' does not exist.");
}

TEST(LinkPoolSettings, BadSettingsAreRefusedAndChangeNothing) {
  const DatabaseSettings saved = CurrentDatabaseSettings();
  const std::vector<std::function<void(DatabaseSettings&)>> cases = {
      [](DatabaseSettings& s) { s.pool_size = -1; },
      [](DatabaseSettings& s) { s.pool_size = 10001; },
      [](DatabaseSettings& s) { s.pool_idle = 0ms; },
      [](DatabaseSettings& s) { s.pool_wait = -1ms; },
      [](DatabaseSettings& s) { s.statement_time_limit = -1ms; },
      [](DatabaseSettings& s) { s.lock_wait = -5ms; },
  };
  for (const auto& change : cases) {
    DatabaseSettings bad = saved;
    change(bad);
    EXPECT_EQ(testing::ErrorNumberOf([&] { ApplyDatabaseSettings(bad); }), errc::kInvalidProcedureCall);
    EXPECT_EQ(CurrentDatabaseSettings().pool_size, saved.pool_size);
    EXPECT_EQ(CurrentDatabaseSettings().statement_time_limit, saved.statement_time_limit);
  }
  EXPECT_EQ(SecondsText(30s), "30 seconds");
  EXPECT_EQ(SecondsText(1s), "1 second");
  EXPECT_EQ(SecondsText(250ms), "0.25 seconds");
  EXPECT_EQ(SecondsText(1500ms), "1.5 seconds");
}

class LinkPoolServer : public ::testing::Test {
 protected:
  void SetUp() override {
    if (testing::GetPostgresUrl().empty()) GTEST_SKIP() << "no PostgreSQL server (ZAREL_TEST_PG)";
  }
};

TEST_F(LinkPoolServer, ServerRestartedBetweenTwoClicks) {
  testing::PrivateServer server;
  ASSERT_TRUE(server.Available()) << "could not start a server of the test's own";
  auto connection = Open(server.Url());
  connection->Execute("CREATE TABLE t(n INTEGER); INSERT INTO t VALUES (7)", kExecuteNoRecords);
  connection->Close();  // idle in the pool

  ASSERT_TRUE(server.Stop());
  EXPECT_NE(ErrorOf([&] { Open(server.Url()); }), "no error");  // while it is down
  ASSERT_TRUE(server.Start());
  connection->Open(server.Url());
  EXPECT_EQ(First(*connection, "SELECT n FROM t"), "7");
  connection->Close();
}

TEST_F(LinkPoolServer, LinkEndedByTheServerIsReplaced) {
  testing::PrivateServer server;
  ASSERT_TRUE(server.Available()) << "could not start a server of the test's own";
  auto connection = Open(server.Url());
  const std::string pid = First(*connection, "SELECT pg_backend_pid()");
  connection->Close();
  // Ended from another database's connection, so as not to take the idle
  // link itself.
  auto admin = Open(testing::WithDatabaseName(server.Url(), "template1"));
  EXPECT_EQ(First(*admin, "SELECT pg_terminate_backend(" + pid + ")"), "True");
  admin->Close();
  // At once, before the link may have noticed: the first command on it is
  // run again on a fresh link.
  connection->Open(server.Url());
  const std::string next = First(*connection, "SELECT pg_backend_pid()");
  EXPECT_NE(next, pid);
  connection->Close();
}

TEST_F(LinkPoolServer, LinkLostAfterAStatementRanIsNotRunAgain) {
  auto db = MakeTestDatabase(Backend::kPostgreSQL);
  // Each statement of a body with arguments runs on its own, so the insert
  // is done before the link ends itself.
  db->Exec("CREATE TABLE calls(n INTEGER); CREATE TABLE xproc(name TEXT, body TEXT);"
           " INSERT INTO xproc VALUES ('InsertThenEnd',"
           " 'INSERT INTO calls VALUES (?1); SELECT pg_terminate_backend(pg_backend_pid())')");
  auto connection = Open(db->ConnectionString());
  connection->Close();
  connection->Open(db->ConnectionString());  // the pooled link
  EXPECT_NE(ErrorOf([&] { connection->Execute("EXEC InsertThenEnd 5"); }), "no error");
  connection->Close();
  EXPECT_EQ(db->Scalar("SELECT count(*) FROM calls"), "1");
  // The lost link is not given out again.
  connection->Open(db->ConnectionString());
  EXPECT_EQ(First(*connection, "SELECT count(*) FROM calls"), "1");
  connection->Close();
}

TEST_F(LinkPoolServer, LinkFindsAProcedureTableMadeAnewAfterItsFirstLookup) {
  auto db = MakeTestDatabase(Backend::kPostgreSQL);
  db->Exec("CREATE TABLE xproc(name TEXT, body TEXT); INSERT INTO xproc VALUES ('Which', 'SELECT ''first'' AS w')");
  auto connection = Open(db->ConnectionString());
  EXPECT_EQ(First(*connection, "EXEC Which"), "first");
  connection->Close();
  // Replaced by a table of other letter case, with other columns' names.
  db->Exec("DROP TABLE xproc; CREATE TABLE \"XProc\"(\"Name\" TEXT, \"Body\" TEXT);"
           " INSERT INTO \"XProc\" VALUES ('which', 'SELECT ''second'' AS w')");
  const DatabaseLinkCounts before = CountDatabaseLinks();
  connection->Open(db->ConnectionString());
  EXPECT_EQ(CountDatabaseLinks().reused, before.reused + 1);
  EXPECT_EQ(First(*connection, "EXEC Which"), "second");
  connection->BeginTrans();
  EXPECT_EQ(First(*connection, "EXEC Which"), "second");
  connection->RollbackTrans();
  connection->Close();
}

TEST_F(LinkPoolServer, ConnectionStringOptionsAndTheLimitsTogether) {
  ScopedSettings settings([](DatabaseSettings& s) {
    s.statement_time_limit = 12s;
    s.lock_wait = 3s;
  });
  const std::string url = testing::GetPostgresUrl();
  const std::string with_options = url + (url.find('?') == std::string::npos ? "?" : "&") +
                                   "options=-c%20application_name%3Dreports%20-c%20statement_timeout%3D1";
  auto connection = Open(with_options);
  EXPECT_EQ(First(*connection, "SHOW application_name"), "reports");
  EXPECT_EQ(First(*connection, "SHOW statement_timeout"), "12s");
  EXPECT_EQ(First(*connection, "SHOW lock_timeout"), "3s");
  EXPECT_EQ(First(*connection, "SHOW DateStyle"), "ISO, MDY");
  connection->Close();
}

}  // namespace
}  // namespace zarel
