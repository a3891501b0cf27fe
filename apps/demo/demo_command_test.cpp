// Tests of zarel demo: the files it creates, every node of the demo site
// opened through the report engine without a failure message, byte-exact
// pages, and the folders it refuses.
#include "apps/demo/demo_command.h"

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <set>

#include "apps/demo/demo_site.h"
#include "apps/testing/run_zarel.h"
#include "zarel/base/clock.h"
#include "zarel/base/date_time.h"
#include "zarel/testing/engine_rig.h"
#include "zarel/testing/files.h"

namespace zarel {
namespace {

namespace fs = std::filesystem;
using testing::ReadFile;
using testing::TempFolder;

using testing::CommandRun;
using testing::Zarel;

// Everything in folder, as "name size" lines, to see that nothing changed.
std::string Listing(const std::string& folder) {
  std::set<std::string> lines;
  for (const auto& entry : fs::recursive_directory_iterator(folder)) {
    lines.insert(entry.path().string() + " " +
                 (entry.is_regular_file() ? std::to_string(entry.file_size()) : std::string("dir")));
  }
  std::string listing;
  for (const std::string& line : lines) listing += line + "\n";
  return listing;
}

// One value of a query on the demo database.
std::string QueryText(const std::string& database, const std::string& sql) {
  sqlite3* db = nullptr;
  EXPECT_EQ(sqlite3_open_v2(database.c_str(), &db, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);
  sqlite3_stmt* statement = nullptr;
  EXPECT_EQ(sqlite3_prepare_v2(db, sql.c_str(), -1, &statement, nullptr), SQLITE_OK) << sql;
  std::string value;
  if (sqlite3_step(statement) == SQLITE_ROW) {
    value.assign(static_cast<const char*>(sqlite3_column_blob(statement, 0)),
                 static_cast<std::size_t>(sqlite3_column_bytes(statement, 0)));
  }
  sqlite3_finalize(statement);
  sqlite3_close(db);
  return value;
}

// Clicks every node of the rig's tree, depth first in display order,
// calling visited with each node after its click (the tree may grow below
// it), the events of the click and the page shown.
void ClickEveryNode(testing::EngineRig& rig, const std::string& page_file,
                    const std::function<void(const TreeNodeRef&, const std::vector<std::string>&,
                                             const std::string&)>& visited) {
  std::function<void(const TreeNodeRef&)> visit = [&](const TreeNodeRef& node) {
    rig.tree->Click(node);
    visited(node, rig.host.Take(), ReadFile(page_file));
    std::vector<TreeNodeRef> children;
    for (TreeNodeRef child = node->Children() > 0 ? node->Child() : TreeNodeRef(); child; child = child->Next()) {
      children.push_back(child);
    }
    for (const TreeNodeRef& child : children) visit(child);
  };
  visit(rig.tree->Nodes().Item(1));
}

// The demo site opened as the tests open it: talking, dates as "dd Mmm
// yyyy", the site's title as heading, role 1.
std::unique_ptr<testing::EngineRig> OpenDemo(const DemoSite& site) {
  auto rig = std::make_unique<testing::EngineRig>(site.connection);
  rig->engine.ApplicationFolder(Variant(site.application_folder));
  rig->engine.Talking(true);
  rig->engine.DateFormat("dd Mmm yyyy");
  rig->engine.Heading(Variant(std::string(demo::kSiteTitle)));
  rig->engine.UserRole(Variant(std::string("1")));
  return rig;
}

// The demo site in a temporary folder, opened by a report engine over a
// headless tree view and browser, talking, for role 1.
class DemoSiteTest : public ::testing::Test {
 protected:
  void SetUp() override {
    site_ = CreateDemoSite(folder_.PathOf("demo"));
    rig_ = OpenDemo(site_);
  }

  std::string Page() const { return ReadFile(site_.application_folder + "/oReport.htm"); }
  std::string Path(const std::string& below_root) const {
    return std::string(demo::kSiteTitle) + "\\" + below_root;
  }

  TempFolder folder_;
  DemoSite site_;
  std::unique_ptr<testing::EngineRig> rig_;
};

TEST_F(DemoSiteTest, CreatesTheDatabaseAndTheApplicationFolder) {
  EXPECT_EQ(site_.database, folder_.PathOf("demo") + "/demo.db");
  EXPECT_EQ(site_.application_folder, folder_.PathOf("demo") + "/site");
  EXPECT_EQ(site_.tables, 11);
  EXPECT_EQ(site_.rows, 480);
  EXPECT_EQ(site_.page_images, 5);
  EXPECT_EQ(site_.product_pictures, 12);
  for (const char* image : {"circle.gif", "cbg.gif", "cbr.gif", "plus.gif", "minus.gif"}) {
    EXPECT_EQ(ReadFile(site_.application_folder + "/" + image).substr(0, 6), "GIF89a") << image;
  }
  // The gallery's files are the pictures stored with the products.
  for (int id = 1; id <= 12; ++id) {
    char name[32];
    std::snprintf(name, sizeof name, "/product%02d.gif", id);
    const std::string stored =
        QueryText(site_.database, "SELECT Picture FROM Product WHERE ProductID = " + std::to_string(id));
    EXPECT_EQ(stored.substr(0, 6), "GIF89a") << id;
    EXPECT_EQ(ReadFile(site_.application_folder + name), stored) << id;
  }
  // No temporary database is left behind.
  for (const auto& entry : fs::directory_iterator(folder_.PathOf("demo"))) {
    EXPECT_TRUE(entry.path().filename() == "demo.db" || entry.path().filename() == "site") << entry.path();
  }
}

// Clicks every node of the tree, depth first in display order, and checks
// that no click raises a message and that every page is complete.
TEST_F(DemoSiteTest, EveryNodeOpensAndComposesWithoutAMessage) {
  rig_->engine.RefreshBrowser();
  EXPECT_EQ(rig_->host.Take(), std::vector<std::string>{});
  std::set<std::string> kinds;
  std::string all_pages;
  int clicks = 0, views = 0;
  ClickEveryNode(*rig_, site_.application_folder + "/oReport.htm",
                 [&](const TreeNodeRef& node, const std::vector<std::string>& events, const std::string& page) {
                   const std::string path = node->FullPath();
                   ++clicks;
                   kinds.insert(node->Tag().substr(node->Tag().find("\xC2\xBB") + 2));
                   for (const std::string& event : events) {
                     if (event == "log: View: " + path) {
                       ++views;
                       EXPECT_EQ(page.substr(page.size() - 22), "</DIV></BODY></HTML>\r\n") << path;
                       all_pages += page;
                     } else {
                       ADD_FAILURE() << path << ": " << event;
                     }
                   }
                 });

  // Root, 6 top nodes, 5 regions with 30 customers, 12 products, 14 staff
  // with 96 orders, 4 sales pages; every node but the root has a page.
  EXPECT_EQ(clicks, 1 + 6 + 5 + 30 + 12 + 14 + 96 + 4);
  EXPECT_EQ(views, clicks - 1);
  EXPECT_EQ(kinds, (std::set<std::string>{"fixed", "variable", "tree", "leaf"}));
  // Every component type wrote its section somewhere.
  for (const char* mark : {
           "<tr><td class=hv><div class=banner>",           // htmlinject
           "<tr><td class=hn width=40%>Report date: </td>",  // header, today
           "<IMG SRC='pic4' WIDTH=100%>",                   // image
           "<a href='product12.gif'><img src='product12.gif'",  // thumbnail
           "<tr><td align=left class=ttf>Total:</td>",      // table with totals
           "<td class=tth width=150>Graph: Revenue</td>",   // tablegraphh
           "<tr><td align=left class=hn>Graph (Total):</td>",  // tablegraphv, tablegraph
           "id='CGR232'",                                   // barchart, second column
           "<img id=DTL03C001 src=plus.gif>",               // shape, second level
           "<tr id=01ROW03C001",                            // shape, third level
       }) {
    EXPECT_NE(all_pages.find(mark), std::string::npos) << mark;
  }
  // The execute component counted the one dashboard view.
  EXPECT_EQ(QueryText(site_.database, "SELECT CAST(COUNT(*) AS TEXT) FROM Visit"), "1");
  // The picture of the product shown last stays in the application folder.
  EXPECT_EQ(ReadFile(site_.application_folder + "/pic12"), ReadFile(site_.application_folder + "/product12.gif"));
}

TEST_F(DemoSiteTest, TheMarginsPageOpensOnlyForRolesOneAndTwo) {
  for (const char* role : {"0", "3", "2", "1"}) {
    SCOPED_TRACE(role);
    rig_->engine.UserRole(Variant(std::string(role)));
    rig_->engine.RefreshBrowser();
    rig_->host.Take();
    rig_->Click(Path("Margins"));
    const bool allowed = std::string(role) == "1" || std::string(role) == "2";
    EXPECT_EQ(rig_->host.Take(),
              allowed ? std::vector<std::string>{"log: View: " + Path("Margins")} : std::vector<std::string>{});
  }
}

constexpr const char* kPageTop =
    "<table width=100%><tr><td class=pgl>Brightwater Supplies</td><td class=pgr>05 Dec 2026 02:05:09 PM</td>"
    "</table><p class=mh>";

TEST_F(DemoSiteTest, FrontPageAndDashboardByteForByte) {
  const FixedClock clock(MakeDate({2026, 12, 5, 14, 5, 9}));
  rig_->engine.RefreshBrowser();
  EXPECT_EQ(ReadFile(site_.application_folder + "/fp.htm"), std::string(demo::FrontPage()) + "\r\n");
  rig_->Click(Path("Dashboard"));
  EXPECT_EQ(rig_->host.Take(), std::vector<std::string>{"log: View: " + Path("Dashboard")});
  const std::string chart_cells =
      "<td valign=bottom rowspan=2 width=6% ><p class=cdv>";
  EXPECT_EQ(Page(),
            std::string(demo::PageHead()) + kPageTop + "Dashboard\r\n" +
                "<table id='TBL001' cellspacing=1 border=1 width=100%><tr><td class=hv><div class=banner><h2>Welcome "
                "to the Brightwater Supplies report site</h2><p>Brightwater sells office supplies, furniture and "
                "kitchen goods to thirty businesses in five regions. Every page here is composed from the report "
                "database: open a region, a customer, a product or a member of staff in the tree on the left.</p>"
                "</div></td></table><br><br>\r\n"
                "<p id='TTL003' class=ph><img src='circle.gif'>  At a glance<table id='TBL003' cellspacing=1 "
                "border=1 width=100%><tr><td class=hn width=40%>Report date: </td><td class=hv>05 Dec 2026</td>"
                "<tr><td class=hn width=40%>Customers: </td><td class=hv>30</td><tr><td class=hn width=40%>Orders: "
                "</td><td class=hv>96</td><tr><td class=hn width=40%>Open orders: </td><td class=hv>6</td><tr><td "
                "class=hn width=40%>Revenue: </td><td class=hv>176,672.08</td><tr><td class=hn width=40%>Dashboard "
                "views: </td><td class=hv>1</td></table><br><br>\r\n"
                "<table border=1><tr><td><img id='CTL041' src='circle.gif'></td><td id='CTLCAP041' class=ph>Sales by "
                "region: Revenue</td></table><br><table cellspacing=0 cellpadding=1 border=0 id='CGR041' width=36%>"
                "<TR><TD VALIGN=TOP ALIGN=RIGHT width=1% class=cal>38926</TD> " +
                chart_cells + "36069<img src='cbg.gif' width=100% height=185></td> " + chart_cells +
                "38926<img src='cbg.gif' width=100% height=200></td> " + chart_cells +
                "38523<img src='cbg.gif' width=100% height=198></td> " + chart_cells +
                "32920<img src='cbg.gif' width=100% height=169></td> " + chart_cells +
                "30234<img src='cbg.gif' width=100% height=155></td></tr><tr><td valign=bottom align=right "
                "class=cal>0</td></tr><tr><td align=right valign=bottom class=cal></td><td class=cal>North</td><td "
                "class=cal>South</td><td class=cal>East</td><td class=cal>West</td><td class=cal>Central</td></tr>"
                "</table><br>\r\n"
                "<table border=1><tr><td><img id='CTL042' src='circle.gif'></td><td id='CTLCAP042' class=ph>Sales by "
                "region: Orders</td></table><br><table cellspacing=0 cellpadding=1 border=0 id='CGR042' width=36%>"
                "<TR><TD VALIGN=TOP ALIGN=RIGHT width=1% class=cal>20</TD> " +
                chart_cells + "19<img src='cbg.gif' width=100% height=190></td> " + chart_cells +
                "19<img src='cbg.gif' width=100% height=190></td> " + chart_cells +
                "20<img src='cbg.gif' width=100% height=200></td> " + chart_cells +
                "19<img src='cbg.gif' width=100% height=190></td> " + chart_cells +
                "19<img src='cbg.gif' width=100% height=190></td></tr><tr><td valign=bottom align=right "
                "class=cal>0</td></tr><tr><td align=right valign=bottom class=cal></td><td class=cal>North</td><td "
                "class=cal>South</td><td class=cal>East</td><td class=cal>West</td><td class=cal>Central</td></tr>"
                "</table><br>\r\n"
                "</DIV></BODY></HTML>\r\n");
}

TEST_F(DemoSiteTest, RegionPageWithTotalsByteForByte) {
  const FixedClock clock(MakeDate({2026, 12, 5, 14, 5, 9}));
  rig_->engine.RefreshBrowser();
  rig_->Click(Path("Regions"));
  rig_->Click(Path("Regions\\North"));
  rig_->host.Take();
  // The region's card, its customers with the totals of orders and revenue,
  // and its months as a bar chart (the "text" keyword passes the region's
  // name to the procedure).
  EXPECT_EQ(Page(), std::string(demo::PageHead()) + kPageTop +
                        "North\r\n"
                        "<p id='TTL006' class=ph><img src='circle.gif'>  Region: North"
                        "<table id='TBL006' cellspacing=1 border=1 width=100%>"
                        "<tr><td class=hn width=40%>Region: </td><td class=hv>North</td>"
                        "<tr><td class=hn width=40%>Regional manager: </td><td class=hv>Owen Marsh</td>"
                        "<tr><td class=hn width=40%>Account managers: </td><td class=hv>Ana Kowalski</td>"
                        "<tr><td class=hn width=40%>Customers: </td><td class=hv>6</td>"
                        "<tr><td class=hn width=40%>Revenue: </td><td class=hv>36,068.80</td></table><br><br>\r\n"
                        "<p id='TTL007' class=ph><img src='circle.gif'>  Customers"
                        "<table id='TBL007' cellspacing=1 border=1 width=100%>"
                        "<tr><td class=tth>Code</td><td class=tth>Customer</td><td class=tth>City</td>"
                        "<td class=tth>Orders</td><td class=tth>Revenue</td>\r\n"
                        "<tr><td align=left class=ttd>C001</td><td align=left class=ttd>Ashworth Architects</td>"
                        "<td align=left class=ttd>York</td><td align=right class=ttd>3</td>"
                        "<td align=right class=ttd>9,700.00</td>\r\n"
                        "<tr><td align=left class=ttd>C006</td><td align=left class=ttd>Pennine Outdoor School</td>"
                        "<td align=left class=ttd>Durham</td><td align=right class=ttd>4</td>"
                        "<td align=right class=ttd>8,458.82</td>\r\n"
                        "<tr><td align=left class=ttd>C005</td><td align=left class=ttd>Kestrel Engineering</td>"
                        "<td align=left class=ttd>Leeds</td><td align=right class=ttd>3</td>"
                        "<td align=right class=ttd>5,690.92</td>\r\n"
                        "<tr><td align=left class=ttd>C002</td><td align=left class=ttd>Fellside Veterinary Clinic</td>"
                        "<td align=left class=ttd>Durham</td><td align=right class=ttd>3</td>"
                        "<td align=right class=ttd>4,359.75</td>\r\n"
                        "<tr><td align=left class=ttd>C004</td><td align=left class=ttd>Riverside Law Partners</td>"
                        "<td align=left class=ttd>York</td><td align=right class=ttd>3</td>"
                        "<td align=right class=ttd>4,001.34</td>\r\n"
                        "<tr><td align=left class=ttd>C003</td><td align=left class=ttd>Moorland Printing Co.</td>"
                        "<td align=left class=ttd>Leeds</td><td align=right class=ttd>3</td>"
                        "<td align=right class=ttd>3,857.97</td>\r\n"
                        "<tr><td align=left class=ttf>Total:</td><td align=right class=ttf>\xC2\xA0" "</td>"
                        "<td align=right class=ttf>\xC2\xA0" "</td><td align=right class=ttf>19</td>"
                        "<td align=right class=ttf>36,068.80</td></table><br><br>\r\n"
                        "<table border=1>"
                        "<tr><td><img id='CTL008' src='circle.gif'></td>"
                        "<td id='CTLCAP008' class=ph>Monthly revenue: North: Revenue</td></table>"
                        "<br><table cellspacing=0 cellpadding=1 border=0 id='CGR008' width=66%>"
                        "<TR><TD VALIGN=TOP ALIGN=RIGHT width=1% class=cal>9082</TD> <td valign=bottom rowspan=2 width=6% >"
                        "<p class=cdv>2737<img src='cbg.gif' width=100% height=60></td> <td valign=bottom rowspan=2 width=6% >"
                        "<p class=cdv>688<img src='cbg.gif' width=100% height=15></td> <td valign=bottom rowspan=2 width=6% >"
                        "<p class=cdv>4089<img src='cbg.gif' width=100% height=90></td> <td valign=bottom rowspan=2 width=6% >"
                        "<p class=cdv>9082<img src='cbg.gif' width=100% height=200></td> <td valign=bottom rowspan=2 width=6% >"
                        "<p class=cdv>2983<img src='cbg.gif' width=100% height=66></td> <td valign=bottom rowspan=2 width=6% >"
                        "<p class=cdv>1371<img src='cbg.gif' width=100% height=30></td> <td valign=bottom rowspan=2 width=6% >"
                        "<p class=cdv>3871<img src='cbg.gif' width=100% height=85></td> <td valign=bottom rowspan=2 width=6% >"
                        "<p class=cdv>688<img src='cbg.gif' width=100% height=15></td> <td valign=bottom rowspan=2 width=6% >"
                        "<p class=cdv>8372<img src='cbg.gif' width=100% height=184></td> <td valign=bottom rowspan=2 width=6% >"
                        "<p class=cdv>2187<img src='cbg.gif' width=100% height=48></td></tr>"
                        "<tr><td valign=bottom align=right class=cal>0</td></tr>"
                        "<tr><td align=right valign=bottom class=cal></td><td class=cal>Jan 2026</td>"
                        "<td class=cal>Feb 2026</td><td class=cal>Mar 2026</td><td class=cal>Apr 2026</td>"
                        "<td class=cal>May 2026</td><td class=cal>Jun 2026</td><td class=cal>Jul 2026</td>"
                        "<td class=cal>Aug 2026</td><td class=cal>Sep 2026</td><td class=cal>Oct 2026</td></tr></table><br>\r\n"
                        "</DIV></BODY></HTML>\r\n");
}

// The demo placed into PostgreSQL gives every node the same tree, events
// and page as the SQLite demo; a database that holds the demo already is
// refused with nothing changed, in it or in the folder.
TEST(DemoOnPostgreSQL, SamePagesAsOnSQLiteAndRefusesATakenDatabase) {
  std::unique_ptr<testing::SiteDatabase> postgres = testing::CreatePostgresDatabase();
  if (!postgres) {
    if (testing::PostgresRequired()) FAIL() << "ZAREL_REQUIRE_PG=1 but ZAREL_TEST_PG is unset";
    GTEST_SKIP() << "ZAREL_TEST_PG is unset";
  }
  FixedClock clock(MakeDate({2026, 12, 5, 14, 5, 9}));
  TempFolder folder;
  const auto transcript = [](const DemoSite& site) {
    std::unique_ptr<testing::EngineRig> rig = OpenDemo(site);
    rig->engine.RefreshBrowser();
    std::string text;
    for (const std::string& event : rig->host.Take()) text += event + "\n";
    ClickEveryNode(*rig, site.application_folder + "/oReport.htm",
                   [&](const TreeNodeRef& node, const std::vector<std::string>& events, const std::string& page) {
                     text += "== " + node->FullPath() + "\n";
                     for (const std::string& event : events) text += event + "\n";
                     text += page;
                   });
    text += rig->Tree();
    // The folders differ between the two sites.
    for (std::size_t at; (at = text.find(site.application_folder)) != std::string::npos;) {
      text.replace(at, site.application_folder.size(), "SITE");
    }
    return text;
  };
  const DemoSite on_sqlite = CreateDemoSite(folder.PathOf("sqlite"));
  const CommandRun made = Zarel({"demo", folder.PathOf("postgres"), "--connection", postgres->ConnectionString()});
  ASSERT_EQ(made.status, 0) << made.err;
  EXPECT_FALSE(fs::exists(folder.PathOf("postgres/demo.db")));
  DemoSite on_postgres = on_sqlite;
  on_postgres.connection = postgres->ConnectionString();
  on_postgres.application_folder = folder.PathOf("postgres/site");
  const std::string expected = transcript(on_sqlite);
  EXPECT_EQ(expected.find("message:"), std::string::npos);
  EXPECT_NE(expected.find("log: View: Brightwater Supplies\\Margins\n"), std::string::npos);
  EXPECT_EQ(transcript(on_postgres), expected);

  // Taken: refused, and neither the database nor the new folder changes.
  postgres->Run({"UPDATE xnav SET caption = 'Mine' WHERE id = 1"});
  const CommandRun again = Zarel({"demo", folder.PathOf("again"), "--connection", postgres->ConnectionString()});
  EXPECT_EQ(again.status, 1);
  EXPECT_EQ(again.err, "zarel: the database already holds tables of the demo (customer, employee, orderline, orders, "
                       "product, region, visit, xnav, xproc, xscr, xweb); choose another database, or remove them\n");
  EXPECT_EQ(postgres->Column("SELECT caption FROM xnav WHERE id = 1"), std::vector<std::string>{"Mine"});
  EXPECT_FALSE(fs::exists(folder.PathOf("again/site")));
  EXPECT_EQ(Zarel({"demo", folder.PathOf("again"), "--connection", "sqlite:x.db"}).status, 1);
}

TEST(DemoCommandTest, PrintsWhatItMadeAndACommandThatOpensIt) {
  TempFolder folder;
  const std::string dir = folder.PathOf("it's a demo");
  const CommandRun run = Zarel({"demo", dir});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.err, "");
  const std::string command = "zarel browse 'sqlite:" + folder.Path() + "/it'\\''s a demo/demo.db' --folder '" +
                              folder.Path() + "/it'\\''s a demo/site' --talking --date-format 'dd Mmm yyyy' "
                              "--heading 'Brightwater Supplies' --click 'Brightwater Supplies\\Dashboard' --tree";
  EXPECT_NE(run.out.find("\n  " + command + "\n"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("the report database: 11 tables, 480 rows"), std::string::npos) << run.out;

  // The printed command, run by the shell with the built program, opens
  // the dashboard.
  const std::string shell_command = std::string(ZAREL_PROGRAM) + command.substr(5) + " 2>&1";
  FILE* pipe = ::popen(shell_command.c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  std::string output;
  char buffer[4096];
  for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) output.append(buffer, n);
  EXPECT_EQ(::pclose(pipe), 0) << output;
  EXPECT_NE(output.find("log: View: Brightwater Supplies\\Dashboard\n"), std::string::npos) << output;
  EXPECT_EQ(output.find("message: "), std::string::npos) << output;
}

TEST(DemoCommandTest, RefusesFoldersItCannotUseAndChangesNothing) {
  TempFolder folder;
  ASSERT_EQ(Zarel({"demo", folder.PathOf("taken")}).status, 0);
  const std::string taken_before = Listing(folder.PathOf("taken"));
  { std::ofstream(folder.PathOf("plain-file")) << "not a folder"; }

  struct Case {
    std::string dir;
    std::string message;
  };
  const Case cases[] = {
      {folder.PathOf("taken"), "zarel: '" + folder.PathOf("taken") +
                                   "/demo.db' already exists; remove it or choose another folder\n"},
      {folder.PathOf("plain-file"), "zarel: '" + folder.PathOf("plain-file") + "' exists and is not a folder\n"},
      {folder.PathOf("plain-file/below"), "zarel: cannot create the folder '" + folder.PathOf("plain-file/below") +
                                              "': Not a directory\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.dir);
    const CommandRun run = Zarel({"demo", c.dir});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, c.message);
  }
  EXPECT_EQ(Listing(folder.PathOf("taken")), taken_before);
  EXPECT_EQ(ReadFile(folder.PathOf("plain-file")), "not a folder");

  // A folder the user may not write in (root may write anywhere).
  if (::geteuid() != 0) {
    fs::create_directory(folder.PathOf("read-only"));
    fs::permissions(folder.PathOf("read-only"), fs::perms::owner_read | fs::perms::owner_exec);
    const CommandRun run = Zarel({"demo", folder.PathOf("read-only")});
    fs::permissions(folder.PathOf("read-only"), fs::perms::owner_all);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "zarel: cannot write in the folder '" + folder.PathOf("read-only") +
                           "': Permission denied\n");
    EXPECT_TRUE(fs::is_empty(folder.PathOf("read-only")));
  }

  // Without DIR: a usage error.
  EXPECT_EQ(Zarel({"demo"}).status, 2);

  // An empty demo.db (say, from touch) is taken over.
  fs::create_directory(folder.PathOf("empty"));
  { std::ofstream(folder.PathOf("empty/demo.db")); }
  EXPECT_EQ(Zarel({"demo", folder.PathOf("empty")}).status, 0);
  EXPECT_EQ(QueryText(folder.PathOf("empty/demo.db"), "SELECT Name FROM Region WHERE RegionID = 1"), "North");
}

}  // namespace
}  // namespace zarel
