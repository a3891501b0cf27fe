// Databases failing under a session: a PostgreSQL server stopped while a
// page is being composed, and a SQLite database locked by another writer.
// The click comes back, the failures are reported, and once the database
// is back the same engine composes the page as if nothing had happened.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "zarel/db/connection.h"
#include "zarel/db/recordset.h"
#include "zarel/testing/databases.h"
#include "zarel/testing/engine_rig.h"

namespace zarel {
namespace {

using testing::Insert;

// A site of one page with three components: a table before, a procedure
// that takes long while Flags.slow is set, and a table after.
std::vector<std::string> SlowPageSite(const std::string& sleep) {
  std::vector<std::string> site = testing::SiteSchema();
  const std::vector<std::string> rows = {
      "CREATE TABLE Flags (slow INTEGER)",
      "INSERT INTO Flags VALUES (1)",
      "CREATE TABLE Notes (Note VARCHAR(20))",
      "INSERT INTO Notes VALUES ('written')",
      Insert("XNav", "1, 'Site', 'fixed', 0, NULL, NULL, NULL, NULL"),
      Insert("XNav", "2, 'Page', 'leaf', 1, NULL, NULL, NULL, NULL"),
      Insert("XWeb", "1, 2, 1, 'Before', 'ReadNotes', NULL, 'table', NULL, NULL"),
      Insert("XWeb", "2, 2, 2, 'Slow', 'Slow', NULL, 'execute', NULL, NULL"),
      Insert("XWeb", "3, 2, 3, 'After', 'ReadNotes', NULL, 'table', NULL, NULL"),
      Insert("XScr", "1, 'front', '<p>front</p>'"),
      Insert("XScr", "2, 'page', '<div>'"),
      Insert("XProc", "'ReadNotes', 'SELECT Note FROM Notes'"),
      Insert("XProc", "'Slow', '" + sleep + "'"),
  };
  site.insert(site.end(), rows.begin(), rows.end());
  return site;
}

void RunAll(Connection& connection, const std::vector<std::string>& statements) {
  for (const std::string& statement : statements) connection.Execute(statement, kExecuteNoRecords);
}

bool Has(const std::string& page, const std::string& text) {
  return page.find(text) != std::string::npos;
}

// The server is stopped while the page's second component runs: that
// component and the one after it fail, the page is still written, and after
// the server is started again the next click composes the whole page.
TEST(DatabaseFaultsTest, PostgresServerStoppedMidPage) {
  if (testing::GetPostgresUrl().empty()) GTEST_SKIP() << "no PostgreSQL server (ZAREL_TEST_PG)";
  testing::PrivateServer server;
  ASSERT_TRUE(server.Available()) << "could not start a server of the test's own";
  {
    auto setup = Connection::Create();
    setup->Open(server.Url());
    RunAll(*setup, SlowPageSite("SELECT pg_sleep(CASE WHEN slow = 1 THEN 60 ELSE 0 END) FROM Flags"));
  }
  testing::EngineRig rig(server.Url());
  rig.engine.Talking(true);
  rig.engine.RefreshBrowser();
  rig.host.Take();

  // Stops the server once the slow procedure is running.
  std::thread stopper([&] {
    auto watcher = Connection::Create();
    watcher->Open(server.Url());
    for (int poll = 0; poll < 600; ++poll) {
      auto running = watcher->Execute(
          "SELECT count(*) FROM pg_stat_activity WHERE query LIKE '%pg_sleep%' "
          "AND state = 'active' AND pid <> pg_backend_pid()");
      if (running->Fields().Item(0).Value().ToLong() > 0) break;
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    watcher->Close();
    EXPECT_TRUE(server.Stop());
  });
  rig.Click("Site\\Page");
  stopper.join();
  EXPECT_EQ(rig.host.Take(),
            (std::vector<std::string>{
                "message: Unable to Access Data for the SQL : EXEC Slow",
                "message: Error Reading Data From Database",
                "message: Unable to Access Data for the SQL : EXEC ReadNotes",
                "message: Error Reading Data From Database",
                "message: Error-: 91, Object variable or With block variable not set",
                "log: View: Site\\Page"}));
  const std::string cut_short = rig.Page();
  EXPECT_TRUE(Has(cut_short, "Before")) << cut_short;
  EXPECT_FALSE(Has(cut_short, "After")) << cut_short;

  ASSERT_TRUE(server.Start());
  {
    auto repair = Connection::Create();
    repair->Open(server.Url());
    repair->Execute("UPDATE Flags SET slow = 0", kExecuteNoRecords);
  }
  rig.Click("Site\\Page");
  EXPECT_EQ(rig.host.Take(), std::vector<std::string>{"log: View: Site\\Page"});
  EXPECT_TRUE(Has(rig.Page(), "Before") && Has(rig.Page(), "After")) << rig.Page();
}

// Another program holds the SQLite database locked for writing while a
// page's procedure runs: it fails after the driver's wait for the lock,
// writing nothing, the page is still shown, and once the lock is gone the
// same engine writes again.
TEST(DatabaseFaultsTest, SqliteDatabaseLockedByAnotherWriter) {
  testing::TempFolder folder;
  auto database = testing::CreateSQLiteDatabase(folder.Path());
  database->Run(SlowPageSite("INSERT INTO Notes VALUES (''slow ran'')"));
  // The writing procedure alone: each query waits for the lock first.
  database->Run({"DELETE FROM XWeb WHERE CompID <> 2"});
  testing::EngineRig rig(database->ConnectionString());
  rig.engine.Talking(true);
  rig.engine.RefreshBrowser();
  rig.host.Take();

  auto other_writer = Connection::Create();
  other_writer->Open(database->ConnectionString());
  other_writer->Execute("BEGIN EXCLUSIVE", kExecuteNoRecords);
  rig.Click("Site\\Page");
  EXPECT_EQ(rig.host.Take(), (std::vector<std::string>{
                                 "message: Unable to Access Data for the SQL : EXEC Slow",
                                 "message: Error Reading Data From Database",
                                 "log: View: Site\\Page"}));
  other_writer->Execute("ROLLBACK", kExecuteNoRecords);
  other_writer->Close();
  EXPECT_EQ(database->Column("SELECT count(*) FROM Notes"), std::vector<std::string>{"1"});

  rig.Click("Site\\Page");
  EXPECT_EQ(rig.host.Take(), std::vector<std::string>{"log: View: Site\\Page"});
  EXPECT_EQ(database->Column("SELECT count(*) FROM Notes"), std::vector<std::string>{"2"});
}

}  // namespace
}  // namespace zarel
