// Tests of zarel check: a table of damaged sites, each with one mistake,
// and the findings each must produce, on SQLite and (where the backend
// matters) PostgreSQL; the crawl's findings; the demo and a fresh zarel new
// site checked clean; nothing written; --json; exit statuses.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include <nlohmann/json.hpp>

#include "apps/check/check_command.h"
#include "apps/testing/run_zarel.h"
#include "zarel/testing/engine_rig.h"
#include "zarel/testing/files.h"
#include "zarel/testing/shop_site.h"

namespace zarel {
namespace {

using nlohmann::json;
using testing::CommandRun;
using testing::Insert;
using testing::Zarel;

// A small shop that checks clean: the shop of the command tests with a
// gallery of the products, and on the sales page a bar chart, a table graph
// and a shape report beside the grid.
std::vector<std::string> CleanShop() {
  std::vector<std::string> site = testing::ShopSite();
  const std::vector<std::string> rows = {
      Insert("XWeb", "7, 2, 2, 'Gallery', 'ListProducts', NULL, 'thumbnail', "
                     "'<imagefieldno>1</imagefieldno><columns>2</columns>', NULL"),
      Insert("XWeb", "4, 6, 2, 'Sales chart', 'SalesByMonth', NULL, 'barchart', '1', NULL"),
      Insert("XWeb", "5, 6, 3, 'Sales graph', 'SalesByMonth', NULL, 'tablegraphh', '1', 'Amount'"),
      Insert("XWeb", "6, 6, 4, 'Order book', 'OrderShape', NULL, 'shape', NULL, NULL"),
      Insert("XScr", "1, 'front', '<html><body><h1>Shop</h1></body></html>'"),
      Insert("XProc", "'OrderShape', 'SELECT ''SHAPE {SELECT ID, Name FROM Product ORDER BY ID} APPEND "
                      "({SELECT ProductID, Month, Amount FROM Sale ORDER BY Month} RELATE ID TO ProductID)'' "
                      "AS Cmd'"),
  };
  site.insert(site.end(), rows.begin(), rows.end());
  return site;
}

// XWeb rebuilt from some of its columns, in both dialects.
std::vector<std::string> RebuildTable(const std::string& table, const std::string& columns) {
  return {"CREATE TABLE Rebuilt AS SELECT " + columns + " FROM " + table, "DROP TABLE " + table,
          "ALTER TABLE Rebuilt RENAME TO " + table};
}

struct Damage {
  std::string name;
  std::vector<std::string> statements;
  std::multiset<std::string> checks;  // exactly the findings expected, by kind
  std::string line_part;              // a piece of one finding's line
  bool crawl = false;
  // Run on PostgreSQL too: the cases where the backend matters (a failed
  // statement inside the checks' transaction, procedures, shape commands).
  bool on_postgres = false;
};

std::vector<Damage> DamagedSites() {
  std::vector<Damage> cases = {
      {"procedure of a component not found", {"UPDATE XWeb SET ProcName = 'MonthlyOrders' WHERE CompID = 3"},
       {"procedure-not-found"},
       "XWeb 3 (node 6, 'Sales'), column 4 (procedure): procedure 'MonthlyOrders' not found in XProc", false, true},
      // A caption in another character set: the line keeps its bytes, the
      // JSON document shows U+FFFD for each byte that is not UTF-8.
      {"caption that is not UTF-8",
       {"UPDATE XWeb SET ProcName = 'MonthlyOrders', Caption = CAST(X'436166E9' AS TEXT) WHERE CompID = 3"},
       {"procedure-not-found"}, "XWeb 3 (node 6, 'Caf\xEF\xBF\xBD'), column 4 (procedure): procedure 'MonthlyOrders'"},
      {"procedure of a node not found", {"UPDATE XNav SET ProcName = 'ListProductz' WHERE ID = 2"},
       {"procedure-not-found"}, "XNav 2 ('Products'), column 4 (procedure): procedure 'ListProductz'", false, true},
      {"procedure call that does not parse",
       {"UPDATE XWeb SET ProcName = 'ListProducts; DROP TABLE Product' WHERE CompID = 8"},
       {"procedure-call"}, "XWeb 8 (node 4, 'Staff'), column 4 (procedure): the call"},
      {"variable node without a procedure", {"UPDATE XNav SET ProcName = NULL WHERE ID = 2"},
       {"procedure-missing"}, "XNav 2 ('Products'), column 4"},
      {"unknown kind", {"UPDATE XNav SET Kind = 'page' WHERE ID = 5"}, {"kind-unknown", "unreachable"},
       "kind 'page' is none of fixed, variable, tree, leaf"},
      {"Null kind", {"UPDATE XNav SET Kind = NULL WHERE ID = 4"}, {"kind-missing"},
       "XNav 4 ('Staff only'), column 2 (kind): the kind is Null"},
      {"parent missing", {"UPDATE XNav SET ParentID = 99 WHERE ID = 6"}, {"parent-missing"},
       "XNav 6 ('Sales'), column 3 (parent): the parent 99 is no row of XNav"},
      {"cycle", {"UPDATE XNav SET ParentID = 6 WHERE ID = 5"}, {"cycle", "cycle"}, "lead back to itself"},
      {"row under a leaf", {Insert("XNav", "7, 'Orphan', 'leaf', 3, NULL, NULL, NULL, NULL")}, {"unreachable"},
       "XNav 7 ('Orphan'), column 3 (parent): no path reaches this row: its parent 3 ('Product') is a leaf node"},
      {"second row under a variable node", {Insert("XNav", "8, 'Extra', 'leaf', 2, NULL, NULL, NULL, NULL")},
       {"unreachable"}, "only the first row beneath a variable node shapes its records"},
      {"variable node without a template", {"DELETE FROM XNav WHERE ID = 3"},
       {"template-missing", "node-missing"}, "XNav 2 ('Products'), column 0 (ID): no row lies beneath"},
      {"role list that does not parse", {"UPDATE XNav SET Roles = '2:five' WHERE ID = 4"}, {"roles-invalid"},
       "role 'five' in '2:five' is no number"},
      {"ID too large", {Insert("XNav", "40000, 'Big', 'leaf', 1, NULL, NULL, NULL, NULL")}, {"id-invalid"},
       "XNav 40000 ('Big'), column 0 (ID)"},
      {"duplicate ID", {Insert("XNav", "6, 'Twin', 'leaf', 5, NULL, NULL, NULL, NULL")}, {"id-duplicate"},
       "XNav 6 ('Twin'), column 0 (ID): another row has the same ID"},
      {"no root", {"UPDATE XNav SET ID = 10 WHERE ID = 1"},
       // The rows under the root, and the old root's own parent 0.
       {"root-missing", "parent-missing", "parent-missing", "parent-missing", "parent-missing"},
       "XNav 1: there is no row with ID 1", false, true},
      {"image that is no number", {"UPDATE XNav SET Image = NULL WHERE ID = 5",
                                   "UPDATE XNav SET Roles = NULL, Image = 70000 WHERE ID = 5"},
       {"image-invalid"}, "XNav 5 ('Reports'), column 6 (image)"},
      {"unknown component type", {"UPDATE XWeb SET CompType = 'tables' WHERE CompID = 3"}, {"type-unknown"},
       "type 'tables' is no component type"},
      {"component without a procedure", {"UPDATE XWeb SET ProcName = NULL WHERE CompID = 8"}, {"procedure-empty"},
       "XWeb 8 (node 4, 'Staff'), column 4 (procedure): no procedure"},
      {"component of no node", {"UPDATE XWeb SET NodeID = 42 WHERE CompID = 8"}, {"node-missing"},
       "XWeb 8 (node 42, 'Staff'), column 1 (node)"},
      {"unknown parameter", {"UPDATE XWeb SET Param = 'key' WHERE CompID = 2"}, {"parameter-unknown"},
       "parameter 'key' is none of text, today, lkey, skey"},
      {"totals list", {"UPDATE XWeb SET Opt1 = '2 and 3' WHERE CompID = 1"}, {"option-invalid"},
       "XWeb 1 (node 2, 'All products'), column 7 (totals): totals list '2 and 3'"},
      {"chart columns", {"UPDATE XWeb SET Opt1 = '1::2' WHERE CompID = 4"}, {"option-invalid"},
       "chart column '' in '1::2' is no field ordinal"},
      {"no chart columns", {"UPDATE XWeb SET Opt1 = NULL WHERE CompID = 4"}, {"option-missing"},
       "no chart column list"},
      {"no graph field", {"UPDATE XWeb SET Opt2 = NULL WHERE CompID = 5"}, {"option-missing"},
       "column 8 (graph field): no graph field"},
      {"gallery tag not closed",
       {"UPDATE XWeb SET Opt1 = '<imagefieldno>1</imagefieldno><columns>2' WHERE CompID = 7"},
       {"option-invalid"}, "no closing tag for <columns>"},
      {"gallery without its image field", {"UPDATE XWeb SET Opt1 = '<columns>2</columns>' WHERE CompID = 7"},
       {"option-missing"}, "gives no <imagefieldno> number"},
      {"shape command that does not parse",
       {"UPDATE XProc SET Body = 'SELECT ''SHAPE {SELECT ID FROM Product} APPEND ({SELECT ProductID FROM Sale} "
        "RELATE ID ProductID)'' AS Cmd' WHERE Name = 'OrderShape'"},
       {"shape-command"}, "the shape command it returns does not parse: Shape command error at position", false, true},
      {"shape procedure of several rows",
       {"UPDATE XProc SET Body = 'SELECT Name FROM Product' WHERE Name = 'OrderShape'"}, {"shape-command"},
       "returns 2 rows"},
      {"empty XWeb", {"DELETE FROM XWeb"}, {"table-empty"}, "XWeb: the table has no rows: every page fails after its header"},
      {"no XWeb", {"DROP TABLE XWeb"}, {"table-missing"}, "XWeb: the table cannot be read", false, true},
      {"XWeb without its option columns",
       RebuildTable("XWeb", "CompID, NodeID, Pos, Caption, ProcName, Param, CompType"),
       {"option-column-missing", "option-column-missing", "option-column-missing", "option-column-missing",
        "option-column-missing"},
       "XWeb 1 (node 2, 'All products'), column 7 (option): a table component reads its option from column 7", false, true},
      {"XWeb without its second option",
       RebuildTable("XWeb", "CompID, NodeID, Pos, Caption, ProcName, Param, CompType, Opt1"),
       {"option-column-missing"}, "a tablegraphh component reads its options from columns 7 and 8"},
      {"XNav without its role column",
       RebuildTable("XNav", "ID, Caption, Kind, ParentID, ProcName, Param, Image"), {"columns-missing"},
       "XNav: the table has 7 columns"},
      {"no XNav", {"DROP TABLE XNav"}, {"table-missing"}, "XNav: the table cannot be read"},
      {"no page opening", {"DELETE FROM XScr WHERE ID = 2"}, {"screen-missing"}, "XScr 2: there is no row with ID 2"},
      {"no front page", {"DELETE FROM XScr WHERE ID = 1"}, {"screen-missing"}, "XScr 1: there is no row with ID 1"},
      {"page opening without its DIV", {"UPDATE XScr SET Html = '<html><body>' WHERE ID = 2"}, {"page-opening"},
       "XScr 2, column 2 (HTML): the page opening must open"},
      {"heading placeholder in lower case",
       {"UPDATE XScr SET Html = '<html><body><div>%storename%' WHERE ID = 2"}, {"placeholder-case"},
       "'%storename%' stays as written"},
      {"placeholder on the front page", {"UPDATE XScr SET Html = '<h1>%Date%</h1>' WHERE ID = 1"},
       {"placeholder-unfilled"}, "%date% is not replaced there"},
      // Found only by opening the pages.
      {"procedure that fails when it runs",
       {"UPDATE XProc SET Body = 'SELECT * FROM NoSuchTable' WHERE Name = 'SalesByMonth'"},
       {"component-failed", "component-failed", "component-failed"},
       "crawl, role 0, Shop\\Reports\\Sales, XWeb 3 ('Sales', table): Unable to Access Data for the SQL : "
       "EXEC SalesByMonth (reason: ",
       true, true},
      {"page that fails at its first component",
       {"UPDATE XProc SET Body = 'SELECT 1 AS One' WHERE Name = 'SalesByMonth'",
        "UPDATE XWeb SET Opt1 = '1' WHERE CompID = 3"},
       {"component-failed"}, "crawl, role 0, Shop\\Reports\\Sales, XWeb 4 ('Sales chart', barchart): Error: ",
       true},
  };
  return cases;
}

enum class Backend { kSQLite, kPostgreSQL };

class CheckCommandTest : public ::testing::TestWithParam<Backend> {
 protected:
  void SetUp() override {
    for (const char* picture : {"circle.gif", "cbg.gif", "cbr.gif", "plus.gif"}) {
      std::ofstream(folder_.PathOf(picture)) << "GIF89a";
    }
  }

  // A new database holding the clean shop and the damage.
  std::unique_ptr<testing::SiteDatabase> Site(const std::vector<std::string>& damage) {
    std::unique_ptr<testing::SiteDatabase> database;
    if (GetParam() == Backend::kSQLite) {
      database = testing::CreateSQLiteDatabase(data_.Path());
    } else {
      database = testing::CreatePostgresDatabase();
    }
    if (!database) return database;
    // One transaction: the site is written at once.
    std::vector<std::string> statements = {"BEGIN"};
    const std::vector<std::string> shop = CleanShop();
    statements.insert(statements.end(), shop.begin(), shop.end());
    statements.insert(statements.end(), damage.begin(), damage.end());
    statements.push_back("COMMIT");
    database->Run(statements);
    return database;
  }

  bool Available() {
    if (GetParam() == Backend::kSQLite || !testing::PostgresUrl().empty()) return true;
    if (testing::PostgresRequired()) ADD_FAILURE() << "ZAREL_REQUIRE_PG=1 but ZAREL_TEST_PG is unset";
    return false;
  }

  CommandRun Check(const testing::SiteDatabase& database, std::vector<std::string> more = {}) {
    std::vector<std::string> words = {"check", database.ConnectionString(), "--folder", folder_.Path()};
    words.insert(words.end(), more.begin(), more.end());
    return Zarel(words);
  }

  testing::TempFolder data_;
  testing::TempFolder folder_;
};

std::multiset<std::string> ChecksOf(const json& document) {
  std::multiset<std::string> checks;
  for (const json& finding : document["findings"]) checks.insert(finding["check"].get<std::string>());
  return checks;
}

TEST_P(CheckCommandTest, TheCleanShopHasNoFindings) {
  if (!Available()) GTEST_SKIP() << "ZAREL_TEST_PG is unset";
  auto database = Site({});
  const CommandRun run = Check(*database, {"--crawl", "--role", "0", "--role", "2"});
  EXPECT_EQ(run.status, 0) << run.out << run.err;
  EXPECT_EQ(run.out, "");
  EXPECT_NE(run.err.find("zarel check: crawled 7 nodes as role 0\n"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("zarel check: crawled 7 nodes as role 2\n"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("zarel check: no findings\n"), std::string::npos);
}

TEST_P(CheckCommandTest, EachDamageGivesItsFindings) {
  if (!Available()) GTEST_SKIP() << "ZAREL_TEST_PG is unset";
  for (const Damage& damage : DamagedSites()) {
    if (GetParam() == Backend::kPostgreSQL && !damage.on_postgres) continue;
    SCOPED_TRACE(damage.name);
    auto database = Site(damage.statements);
    std::vector<std::string> options = {"--json"};
    if (damage.crawl) options.push_back("--crawl");
    const CommandRun run = Check(*database, options);
    EXPECT_EQ(run.status, 1) << run.out << run.err;
    const json document = json::parse(run.out, nullptr, false);
    ASSERT_FALSE(document.is_discarded()) << run.out;
    EXPECT_EQ(document["status"], 1);
    EXPECT_EQ(ChecksOf(document), damage.checks) << document.dump(2);
    bool found = false;
    for (const json& finding : document["findings"]) {
      found = found || finding["text"].get<std::string>().find(damage.line_part) != std::string::npos;
    }
    EXPECT_TRUE(found) << damage.line_part << "\n" << document.dump(2);
  }
}

// Procedures as functions: on PostgreSQL a name without an XProc row that
// names a function is found; one that names neither is reported so.
TEST(CheckCommandPostgresTest, FunctionsAreProcedures) {
  auto database = testing::CreatePostgresDatabase();
  if (!database) {
    if (testing::PostgresRequired()) FAIL() << "ZAREL_REQUIRE_PG=1 but ZAREL_TEST_PG is unset";
    GTEST_SKIP() << "ZAREL_TEST_PG is unset";
  }
  testing::TempFolder folder;
  std::vector<std::string> site = CleanShop();
  site.push_back("DELETE FROM XProc WHERE Name = 'ListProducts'");
  site.push_back(
      "CREATE FUNCTION listproducts() RETURNS TABLE(\"ID\" INTEGER, \"Name\" VARCHAR) AS "
      "'SELECT ID, Name FROM Product ORDER BY ID' LANGUAGE SQL");
  database->Run(site);
  CommandRun run = Zarel({"check", database->ConnectionString(), "--crawl"});
  EXPECT_EQ(run.status, 0) << run.out << run.err;
  database->Run({"UPDATE XWeb SET ProcName = 'NoSuchFunction' WHERE CompID = 8"});
  run = Zarel({"check", database->ConnectionString()});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out,
            "XWeb 8 (node 4, 'Staff'), column 4 (procedure): procedure 'NoSuchFunction' not found in XProc "
            "nor as a function. Mend: add an XProc row named 'NoSuchFunction', or correct the name.\n");
}

// Pictures are looked for only in the folder given.
TEST_P(CheckCommandTest, PicturesThePagesName) {
  if (!Available()) GTEST_SKIP() << "ZAREL_TEST_PG is unset";
  auto database = Site({});
  std::filesystem::remove(folder_.PathOf("plus.gif"));
  std::filesystem::remove(folder_.PathOf("cbr.gif"));
  CommandRun run = Check(*database);
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out,
            "folder cbr.gif: the pages name cbr.gif, which is not in " + folder_.Path() +
                ". Mend: put the picture there (zarel new draws a set).\n"
                "folder plus.gif: the pages name plus.gif, which is not in " + folder_.Path() +
                ". Mend: put the picture there (zarel new draws a set).\n");
  EXPECT_EQ(Zarel({"check", database->ConnectionString()}).status, 0);
}

// Neither the checks nor the crawl write: the procedures of "execute"
// components run during the crawl and leave nothing behind.
TEST_P(CheckCommandTest, NothingIsWritten) {
  if (!Available()) GTEST_SKIP() << "ZAREL_TEST_PG is unset";
  auto database = Site({"CREATE TABLE Visit (Seen INTEGER)",
                        Insert("XProc", "'CountVisit', 'INSERT INTO Visit VALUES (1)'"),
                        Insert("XWeb", "9, 6, 0, 'Count', 'CountVisit', NULL, 'execute', NULL, NULL"),
                        // A shape procedure that writes before it answers.
                        "UPDATE XProc SET Body = 'INSERT INTO Visit VALUES (2); ' || Body WHERE Name = 'OrderShape'"});
  const CommandRun run = Check(*database, {"--crawl", "--role", "0", "--role", "2"});
  EXPECT_EQ(run.status, 0) << run.out << run.err;
  EXPECT_TRUE(database->Column("SELECT Seen FROM Visit").empty());
  // The same pages opened by a user write.
  const CommandRun user = Zarel({"browse", database->ConnectionString(), "--folder", folder_.Path(), "--click",
                                 "Shop\\Reports", "--click", "Shop\\Reports\\Sales"});
  EXPECT_EQ(user.status, 0) << user.err;
  EXPECT_EQ(database->Column("SELECT Seen FROM Visit ORDER BY Seen"), (std::vector<std::string>{"1", "2"}));
}

// --max-nodes bounds each role's crawl: the nodes found but not opened are
// counted, not reported as findings. On a terminal a progress line is
// redrawn after each node and ended before the summary.
TEST_P(CheckCommandTest, TheCrawlIsBoundedAndShowsItsProgress) {
  if (!Available()) GTEST_SKIP() << "ZAREL_TEST_PG is unset";
  auto database = Site({});
  CheckOptions options;
  options.connection = database->ConnectionString();
  options.crawl = true;
  options.max_nodes = 3;
  options.roles = {0, 2};
  options.progress = true;
  std::ostringstream out;
  std::ostringstream err;
  EXPECT_EQ(RunCheck(options, out, err), 0);
  EXPECT_EQ(out.str(), "");
  // The root, then Products and Staff only; Reports and the two products
  // under Products are found but never queued.
  const std::string role0 =
      "\rcrawl, role 0: 1 nodes opened, 2 waiting   \rcrawl, role 0: 2 nodes opened, 1 waiting   "
      "\rcrawl, role 0: 3 nodes opened, 0 waiting   \n";
  EXPECT_EQ(err.str().substr(0, role0.size()), role0) << err.str();
  EXPECT_NE(err.str().find("\rcrawl, role 2: 3 nodes opened, 0 waiting   \n"), std::string::npos) << err.str();
  EXPECT_NE(err.str().find("zarel check: crawled 3 nodes as role 0, 3 left unopened (--max-nodes, --max-depth)\n"),
            std::string::npos)
      << err.str();
  EXPECT_NE(err.str().find("zarel check: no findings\n"), std::string::npos);

  // Without a terminal, no progress line; --json counts what was left.
  const CommandRun run = Check(*database, {"--crawl", "--max-nodes", "3", "--json"});
  EXPECT_EQ(run.status, 0) << run.out << run.err;
  EXPECT_EQ(run.err.find('\r'), std::string::npos);
  const json document = json::parse(run.out);
  EXPECT_EQ(document["crawls"][0]["opened"], 3);
  EXPECT_EQ(document["crawls"][0]["leftUnopened"], 3);
}

INSTANTIATE_TEST_SUITE_P(Backends, CheckCommandTest, ::testing::Values(Backend::kSQLite, Backend::kPostgreSQL),
                         [](const auto& param_info) {
                           return param_info.param == Backend::kSQLite ? "SQLite" : "PostgreSQL";
                         });

TEST(CheckCommandExitTest, UsageAndDatabasesThatCannotBeOpened) {
  testing::TempFolder folder;
  EXPECT_EQ(Zarel({"check"}).status, 2);
  EXPECT_EQ(Zarel({"check", "sqlite:x.db", "--max-nodes", "0"}).status, 2);
  EXPECT_EQ(Zarel({"check", "sqlite:x.db", "--role", "abc"}).status, 2);
  EXPECT_EQ(Zarel({"check", "sqlite:x.db", "--folder", folder.PathOf("none")}).status, 2);
  CommandRun run = Zarel({"check", "sqlite:" + folder.PathOf("none.db")});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err, "zarel: cannot open the report database: The SQLite database file '" +
                         folder.PathOf("none.db") + "' does not exist.\n");
  run = Zarel({"check", "sqlite:" + folder.PathOf("none.db"), "--json"});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(json::parse(run.out)["error"], "cannot open the report database: The SQLite database file '" +
                                               folder.PathOf("none.db") + "' does not exist.");
}

// The sites the project gives its authors check clean: a fresh zarel new
// site, and the demo crawled under every role it knows.
TEST(CheckCommandSitesTest, NewSiteAndDemoAreClean) {
  testing::TempFolder folder;
  ASSERT_EQ(Zarel({"new", folder.PathOf("new")}).status, 0);
  CommandRun run = Zarel({"check", "sqlite:" + folder.PathOf("new/site.db"), "--folder", folder.PathOf("new/site"),
                          "--crawl"});
  EXPECT_EQ(run.status, 0) << run.out << run.err;
  EXPECT_EQ(run.out, "");

  ASSERT_EQ(Zarel({"demo", folder.PathOf("demo")}).status, 0);
  run = Zarel({"check", "sqlite:" + folder.PathOf("demo/demo.db"), "--folder", folder.PathOf("demo/site"),
               "--crawl", "--role", "0", "--role", "1", "--role", "2"});
  EXPECT_EQ(run.status, 0) << run.out << run.err;
  EXPECT_EQ(run.out, "");
  EXPECT_NE(run.err.find("zarel check: crawled 168 nodes as role 1\n"), std::string::npos) << run.err;
}

// zarel new refuses, changing nothing, where a site already is.
TEST(NewCommandTest, RefusesWhereASiteIs) {
  testing::TempFolder folder;
  const std::string dir = folder.PathOf("site1");
  ASSERT_EQ(Zarel({"new", dir, "--title", "Bookshop"}).status, 0);
  const std::string database = testing::ReadFile(dir + "/site.db");
  CommandRun run = Zarel({"new", dir});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, "zarel: '" + dir + "/site.db' already exists; remove it or choose another folder\n");
  EXPECT_EQ(testing::ReadFile(dir + "/site.db"), database);

  // A folder with a site folder that holds anything is refused too, and
  // nothing is made there.
  const std::string other = folder.PathOf("site2");
  std::filesystem::create_directories(other + "/site");
  std::ofstream(other + "/site/page.htm") << "mine";
  run = Zarel({"new", other});
  EXPECT_EQ(run.status, 1);
  EXPECT_FALSE(testing::FileExists(other + "/site.db"));
  EXPECT_FALSE(testing::FileExists(other + "/site/circle.gif"));

  // The starter opens as a site: its page and pictures.
  run = Zarel({"browse", "sqlite:" + dir + "/site.db", "--folder", dir + "/site", "--talking", "--click",
               "Bookshop\\Getting started"});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out.find("message:"), std::string::npos) << run.out;
  EXPECT_NE(testing::ReadFile(dir + "/site/oReport.htm").find("GettingStarted"), std::string::npos);
  for (const char* picture : {"circle.gif", "cbg.gif", "cbr.gif", "plus.gif", "minus.gif"}) {
    EXPECT_EQ(testing::ReadFile(dir + "/site/" + picture).substr(0, 6), "GIF89a") << picture;
  }
}

}  // namespace
}  // namespace zarel
