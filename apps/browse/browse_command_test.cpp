// Tests of the zarel program's command line and of zarel browse, in process
// and once end to end through the built program.
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "apps/testing/run_zarel.h"
#include "zarel/db/connection.h"
#include "zarel/testing/files.h"

namespace zarel {
namespace {

namespace fs = std::filesystem;

using testing::CommandRun;
using testing::Zarel;

using testing::ReadFile;

// The shop site, statements separated by ";".
constexpr const char* kShopSite =
    "CREATE TABLE XNav (ID INTEGER, Caption TEXT, Kind TEXT, ParentID INTEGER, "
    "  ProcName TEXT, Param TEXT, Image INTEGER, Roles TEXT);"
    "INSERT INTO XNav VALUES (1, 'Shop', 'fixed', 0, NULL, NULL, NULL, NULL);"
    "INSERT INTO XNav VALUES (2, 'Products', 'variable', 1, 'ListProducts', NULL, 2, NULL);"
    "INSERT INTO XNav VALUES (3, 'Product', 'leaf', 2, NULL, NULL, NULL, NULL);"
    "CREATE TABLE XWeb (CompID INTEGER, NodeID INTEGER, Pos INTEGER, Caption TEXT, "
    "  ProcName TEXT, Param TEXT, CompType TEXT, Opt1 TEXT, Opt2 TEXT);"
    "INSERT INTO XWeb VALUES (1, 3, 1, 'Seen', 'MarkSeen', 'lkey', 'execute', NULL, NULL);"
    "CREATE TABLE XScr (ID INTEGER, Name TEXT, Html TEXT);"
    "INSERT INTO XScr VALUES (1, 'front', '<html>Shop</html>');"
    "INSERT INTO XScr VALUES (2, 'page', '<html><body><div>');"
    "CREATE TABLE XProc (Name TEXT, Body TEXT);"
    "INSERT INTO XProc VALUES ('ListProducts', 'SELECT ID, Name FROM Product ORDER BY ID');"
    "INSERT INTO XProc VALUES ('MarkSeen', "
    "  'UPDATE Product SET Seen = Seen + 1 WHERE ID = CAST(?1 AS INTEGER)');"
    "CREATE TABLE Product (ID INTEGER, Name TEXT, Seen INTEGER);"
    "INSERT INTO Product VALUES (1, 'Apple', 0);"
    "INSERT INTO Product VALUES (2, 'Pear', 0);";

// A shop site: a variable node listing products, whose records are leaf
// nodes with a page that runs one procedure.
class BrowseTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "zarel-browse-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    folder_ = pattern;
    const std::string database = folder_ + "/shop.db";
    connection_ = "sqlite:" + database;
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(database.c_str(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db, kShopSite, nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(db);
  }
  void TearDown() override { fs::remove_all(folder_); }

  std::string folder_;
  std::string connection_;
};

TEST_F(BrowseTest, OpensPagesAndPrintsEveryEvent) {
  const std::string copy = folder_ + "/copy.htm";
  const CommandRun run = Zarel({"browse", connection_, "--folder", folder_, "--talking", "--now",
                         "2026-12-05 14:05:09", "--heading", "Shop", "--click", "Shop\\Products",
                         "--click", "Shop\\Products\\Pear", "--save", copy, "--print",
                         "--preview", "--tree"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.err, "");
  const std::string page = folder_ + "/oReport.htm";
  EXPECT_EQ(run.out,
            "navigate: " + folder_ + "/fp.htm\n"
            "navigate: " + page + "\n"
            "log: View: Shop\\Products\n"
            "navigate: " + page + "\n"
            "log: View: Shop\\Products\\Pear\n"
            "log: Save: Shop\\Products\\Pear\n"
            "print: " + page + "\n"
            "log: Print: Shop\\Products\\Pear\n"
            "preview: " + page + "\n"
            "log: Preview: Shop\\Products\\Pear\n"
            "tree:\n"
            "Shop [key= tag=1\xC2\xBB" "fixed image=Net color=255 expanded]\n"
            "  Products [key=2\xC2\xBB" "fixed tag=2\xC2\xBBvariable image=2 color=16711680 expanded]\n"
            "    Apple [key=1\xC2\xBBvariable\xC2\xBB" "2 tag=3\xC2\xBBleaf image=1 color=0]\n"
            "    Pear [key=2\xC2\xBBvariable\xC2\xBB" "3 tag=3\xC2\xBBleaf image=1 color=0 selected]\n");
  const std::string expected_page =
      "<html><body><div><table width=100%><tr><td class=pgl>Shop</td><td class=pgr>"
      "05 Dec 2026 02:05:09 PM</td></table><p class=mh>Pear\r\n</DIV></BODY></HTML>\r\n";
  EXPECT_EQ(ReadFile(page), expected_page);
  EXPECT_EQ(ReadFile(copy), expected_page);
  EXPECT_EQ(ReadFile(folder_ + "/fp.htm"), "<html>Shop</html>\r\n");
}

TEST_F(BrowseTest, HostAnswersQueriesInModeTwoAndPortsRefuse) {
  CommandRun run = Zarel({"browse", connection_, "--folder", folder_, "--damode", "2", "--click",
                   "Shop\\Products"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "provide: SELECT * FROM XNav\n"
                     "provide: SELECT * FROM XWeb\n"
                     "provide: SELECT * FROM XScr WHERE (ID=1)\n"
                     "provide: SELECT * FROM XScr WHERE (ID=2)\n"
                     "navigate: " + folder_ + "/fp.htm\n"
                     "provide: EXEC ListProducts\n"
                     "navigate: " + folder_ + "/oReport.htm\n"
                     "log: View: Shop\\Products\n");

  run = Zarel({"browse", connection_, "--folder", folder_, "--active-port", "0", "--talking",
               "--tree"});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out.rfind("message: Please set ActivePort to 80\n"
                          "message: Error Reading Data From Database\n", 0), 0u);
  EXPECT_NE(run.out.find("tree:\nData Browser [key="), std::string::npos);
}

// The control comes from a saved form: one saved with ActivePort 80 runs
// exactly as a freshly placed control, one saved without it refuses every
// query, and a form that cannot be loaded stops the run.
TEST_F(BrowseTest, LoadsTheControlFromASavedForm) {
  const std::string open_form = folder_ + "/open.form";
  const std::string closed_form = folder_ + "/closed.form";
  const std::string damaged_form = folder_ + "/damaged.form";
  std::ofstream(open_form) << "ZarelForm 1\nBegin Zarel Zarel1\n  ActivePort = 80\nEnd\n";
  std::ofstream(closed_form) << "ZarelForm 1\nBegin Zarel Zarel1\nEnd\n";
  std::ofstream(damaged_form) << "ZarelForm 1\nBegin Zarel Zarel1\n";

  const std::vector<std::string> args = {"browse", connection_, "--folder", folder_, "--talking",
                                         "--click", "Shop\\Products", "--tree"};
  const auto with = [&args](std::vector<std::string> extra) {
    std::vector<std::string> all = args;
    all.insert(all.end(), extra.begin(), extra.end());
    return all;
  };
  const CommandRun fresh = Zarel(args);
  const CommandRun loaded = Zarel(with({"--form", open_form}));
  EXPECT_EQ(loaded.status, 0) << loaded.err;
  EXPECT_EQ(loaded.out, fresh.out);
  EXPECT_NE(fresh.out.find("log: View: Shop\\Products\n"), std::string::npos);

  const std::vector<std::string> refresh = {"browse", connection_, "--folder", folder_,
                                            "--talking", "--tree"};
  const auto refresh_with = [&refresh](const std::string& option, const std::string& value) {
    std::vector<std::string> all = refresh;
    all.insert(all.end(), {option, value});
    return all;
  };
  const CommandRun closed = Zarel(refresh_with("--form", closed_form));
  EXPECT_EQ(closed.status, 0) << closed.err;
  EXPECT_EQ(closed.out, Zarel(refresh_with("--active-port", "0")).out);
  EXPECT_EQ(closed.out.rfind("message: Please set ActivePort to 80\n", 0), 0u);
  EXPECT_EQ(closed.out.find("log: View"), std::string::npos);

  CommandRun run = Zarel(with({"--form", damaged_form}));
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err, "zarel: Invalid form file " + damaged_form +
                         ", line 2: control \"Zarel1\" has no \"End\" line\n");
  run = Zarel(with({"--form", folder_ + "/none.form"}));
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, "zarel: Form file not found: " + folder_ + "/none.form\n");
  run = Zarel(with({"--form", open_form, "--active-port", "80"}));
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.err.find("--active-port"), std::string::npos) << run.err;
}

TEST_F(BrowseTest, ExitStatuses) {
  struct Case {
    std::vector<std::string> args;
    int status;
    std::string err;
  } cases[] = {
      {{"browse", connection_, "--folder", folder_ + "/missing"}, 1,
       "zarel: folder '" + folder_ + "/missing' does not exist\n"},
      {{"browse", connection_, "--folder", folder_, "--click", "Shop\\Nothing"}, 1,
       "zarel: no node 'Shop\\Nothing'\n"},
      {{"browse"}, 2, ""},
      {{"browse", connection_, "--damode", "two"}, 2, ""},
      {{"browse", connection_, "--active-port", "99999"}, 2, ""},
      {{"browse", connection_, "--now", "2026-12-05"}, 2, ""},
      {{"browse", connection_, "--now", "2026-13-05 10:00:00"}, 2, ""},
      {{"browse", connection_, "--unknown"}, 2, ""},
      {{"browse", connection_, "--folder", folder_, "--role", "abc"}, 2,
       "zarel: the control refused a setting: 13, Type mismatch\n"},
      // A database that cannot be opened stops the run with the driver's
      // reason.
      {{"browse", "sqlite:" + folder_ + "/none.db", "--folder", folder_}, 1,
       "zarel: cannot open the report database: The SQLite database file '" + folder_ +
           "/none.db' does not exist.\n"},
  };
  for (const Case& c : cases) {
    const CommandRun run = Zarel(c.args);
    EXPECT_EQ(run.status, c.status) << c.args.back() << "\n" << run.err;
    if (!c.err.empty()) {
      EXPECT_EQ(run.err, c.err);
    }
    if (c.status == 2) {
      EXPECT_FALSE(run.err.empty()) << c.args.back();
    }
  }
  const CommandRun help = Zarel({"browse", "--help"});
  EXPECT_EQ(help.status, 0);
  for (const char* word : {"CONNECTION", "--folder", "--talking", "--display-path", "--heading",
                           "--date-format", "--role", "--damode", "--active-port", "--form", "--now",
                           "--click", "--save", "--print", "--preview", "--tree", "provide: SQL", "--query-timeout",
                           "--lock-timeout",
                           "Exit status"}) {
    EXPECT_NE(help.out.find(word), std::string::npos) << word;
  }
}

TEST_F(BrowseTest, RunawayProcedureStopsAtTheQueryTimeoutAndTheNextClickWorks) {
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open((folder_ + "/shop.db").c_str(), &db), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(db,
                         "INSERT INTO XNav VALUES (4, 'Slow', 'leaf', 1, NULL, NULL, NULL, NULL);"
                         "INSERT INTO XWeb VALUES (2, 4, 1, 'Forever', 'Runaway', NULL, 'header', NULL, NULL);"
                         "INSERT INTO XProc VALUES ('Runaway', 'WITH RECURSIVE r(n) AS (SELECT 1 UNION ALL "
                         "SELECT n + 1 FROM r) SELECT count(*) AS N FROM r');",
                         nullptr, nullptr, nullptr),
            SQLITE_OK);
  sqlite3_close(db);
  const CommandRun run = Zarel({"browse", connection_, "--folder", folder_, "--talking", "--query-timeout",
                                "0.3", "--click", "Shop\\Slow", "--click", "Shop\\Products"});
  EXPECT_EQ(run.status, 0) << run.err;
  // Reported where a failing component reports any database failure (the
  // DAL keeps no reason, so the engine's own words), and the next click
  // reads as ever.
  EXPECT_EQ(run.out, "navigate: " + folder_ + "/fp.htm\n"
                     "message: Unable to Access Data for the SQL : EXEC Runaway\n"
                     "message: Error Reading Data From Database\n"
                     "message: Error: 91, Object variable or With block variable not set\n"
                     "navigate: " + folder_ + "/oReport.htm\n"
                     "log: View: Shop\\Slow\n"
                     "navigate: " + folder_ + "/oReport.htm\n"
                     "log: View: Shop\\Products\n");

  for (const char* bad : {"-1", "abc", "700000"}) {
    EXPECT_EQ(Zarel({"browse", connection_, "--query-timeout", bad}).status, 2) << bad;
    EXPECT_EQ(Zarel({"browse", connection_, "--lock-timeout", bad}).status, 2) << bad;
  }
}

// The server URL with another database in place of its own.
std::string WithDatabase(const std::string& url, const std::string& database) {
  const std::size_t query = url.find('?');
  const std::string base = url.substr(0, query);
  const std::size_t slash = base.rfind('/');
  const bool has_path = slash != std::string::npos && slash > base.find("://") + 2;
  return (has_path ? base.substr(0, slash) : base) + "/" + database +
         (query == std::string::npos ? "" : url.substr(query));
}

TEST_F(BrowseTest, SameRunOnPostgreSQL) {
  const char* server = std::getenv("ZAREL_TEST_PG");
  if (server == nullptr) {
    const char* required = std::getenv("ZAREL_REQUIRE_PG");
    if (required != nullptr && std::string(required) == "1") FAIL() << "ZAREL_TEST_PG is unset";
    GTEST_SKIP() << "ZAREL_TEST_PG is unset";
  }
  const std::string name = "zarel_browse_" + std::to_string(::getpid());
  auto admin = Connection::Create();
  admin->Open(server);
  admin->Execute("CREATE DATABASE " + name, kExecuteNoRecords);
  const std::string postgres = WithDatabase(server, name);
  {
    auto site = Connection::Create();
    site->Open(postgres);
    std::string statements = kShopSite;
    for (std::size_t at = 0; at < statements.size();) {
      const std::size_t end = statements.find(';', at);
      site->Execute(statements.substr(at, end - at), kExecuteNoRecords);
      at = end + 1;
    }
  }
  const auto run_on = [this](const std::string& connection) {
    return Zarel({"browse", connection, "--folder", folder_, "--talking", "--damode", "2",
                  "--now", "2026-12-05 14:05:09", "--click", "Shop\\Products", "--click",
                  "Shop\\Products\\Apple", "--tree"});
  };
  const CommandRun on_sqlite = run_on(connection_);
  const std::string sqlite_page = ReadFile(folder_ + "/oReport.htm");
  const CommandRun on_postgres = run_on(postgres);
  admin->Execute("DROP DATABASE " + name + " WITH (FORCE)", kExecuteNoRecords);
  EXPECT_EQ(on_postgres.status, 0) << on_postgres.err;
  EXPECT_EQ(on_postgres.out, on_sqlite.out);
  EXPECT_EQ(ReadFile(folder_ + "/oReport.htm"), sqlite_page);
  EXPECT_NE(on_postgres.out.find("provide: EXEC MarkSeen 1\n"), std::string::npos);
}

TEST_F(BrowseTest, TheBuiltCommandRunsTheSameCommand) {
  const std::string command = std::string(ZAREL_PROGRAM) + " browse '" + connection_ +
                              "' --folder '" + folder_ +
                              "' --display-path --click 'Shop\\Products' --click 'Shop\\Nowhere'"
                              " 2>&1";
  FILE* pipe = ::popen(command.c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  std::string output;
  char buffer[256];
  while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) output += buffer;
  const int status = ::pclose(pipe);
  EXPECT_EQ(WEXITSTATUS(status), 1);
  EXPECT_EQ(output, "navigate: " + folder_ + "/fp.htm\n"
                    "navigate: " + folder_ + "/oReport.htm\n"
                    "log: View: Shop\\Products\n"
                    "zarel: no node 'Shop\\Nowhere'\n");
  EXPECT_NE(ReadFile(folder_ + "/oReport.htm").find("<p class=pgf>Path: Shop\\Products\r\n"),
            std::string::npos);
}

// --diagnose adds the database layer's own reason after each read that
// failed, and nothing else: without it the same run prints the same lines
// minus the reasons.
TEST_F(BrowseTest, DiagnoseShowsTheReasonOfEachFailedRead) {
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open((folder_ + "/shop.db").c_str(), &db), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(db,
                         "INSERT INTO XWeb VALUES (2, 3, 0, 'Card', 'BookCardX', 'lkey', 'header', NULL, NULL);"
                         "INSERT INTO XWeb VALUES (3, 3, 2, 'Orders', 'BadShape', NULL, 'shape', NULL, NULL);"
                         "INSERT INTO XProc VALUES ('BadShape', "
                         "  'SELECT ''SHAPE {SELECT 1 AS a} APPEND ({SELECT 1 AS b} RELATE a b)'' AS Cmd');",
                         nullptr, nullptr, nullptr),
            SQLITE_OK);
  sqlite3_close(db);
  const std::vector<std::string> click = {"browse", connection_, "--folder", folder_, "--talking",
                                          "--click", "Shop\\Products", "--click", "Shop\\Products\\Pear"};
  std::vector<std::string> diagnosed = click;
  diagnosed.push_back("--diagnose");
  const CommandRun run = Zarel(diagnosed);
  ASSERT_EQ(run.status, 0) << run.err;
  const std::string expected_reasons =
      "message: Unable to Access Data for the SQL : EXEC BookCardX 2\n"
      "reason: Could not find stored procedure 'BookCardX'.\n"
      "message: Error Reading Data From Database\n";
  EXPECT_NE(run.out.find(expected_reasons), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("SHAPE {SELECT 1 AS a} APPEND ({SELECT 1 AS b} RELATE a b)\nreason: Shape command error at position 56: expected TO.\n"), std::string::npos)
      << run.out;

  // Without --diagnose: the same lines, less the reasons.
  const CommandRun plain = Zarel(click);
  std::string without;
  std::istringstream lines(run.out);
  for (std::string line; std::getline(lines, line);) {
    if (line.rfind("reason: ", 0) != 0) without += line + "\n";
  }
  EXPECT_EQ(plain.out, without);

  // In data access mode 2 the program's own reads are diagnosed too.
  diagnosed.push_back("--damode");
  diagnosed.push_back("2");
  const CommandRun provided = Zarel(diagnosed);
  EXPECT_NE(provided.out.find("provide: EXEC BookCardX 2\nreason: Could not find stored procedure 'BookCardX'.\n"),
            std::string::npos)
      << provided.out;
}

// A report database that cannot be opened stops zarel browse before it
// starts, with the driver's own reason; a database that opens but holds no
// site runs, and its messages do not change the status.
TEST_F(BrowseTest, ADatabaseThatCannotBeOpenedStopsTheRun) {
  std::ofstream(folder_ + "/notes.db") << "these are notes, not a database, long enough to be read";
  std::ofstream(folder_ + "/empty.db").close();
  struct Case {
    std::string connection;
    std::string reason_part;
  };
  std::vector<Case> cases = {
      {"sqlite:" + folder_ + "/none.db", "does not exist"},
      {"sqlite:" + folder_ + "/notes.db", "not a database"},
  };
  if (const char* url = std::getenv("ZAREL_TEST_PG"); url != nullptr && *url != '\0') {
    const std::string server(url);
    const std::size_t at = server.find('@');
    const std::size_t colon = server.rfind(':', at);
    cases.push_back({server.substr(0, colon + 1) + "wrong-password" + server.substr(at),
                     "password authentication failed"});
    cases.push_back({"postgresql://zarel@no-such-host.invalid:5432/reports", "no-such-host.invalid"});
  }
  for (const Case& one : cases) {
    SCOPED_TRACE(one.connection);
    const CommandRun run = Zarel({"browse", one.connection, "--folder", folder_});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err.rfind("zarel: cannot open the report database: ", 0), 0u) << run.err;
    EXPECT_NE(run.err.find(one.reason_part), std::string::npos) << run.err;
  }
  const CommandRun empty = Zarel({"browse", "sqlite:" + folder_ + "/empty.db", "--folder", folder_});
  EXPECT_EQ(empty.status, 0) << empty.err;
  EXPECT_NE(empty.out.find("message: Error Reading Data From Database"), std::string::npos);
}

}  // namespace
}  // namespace zarel
