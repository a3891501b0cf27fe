// What the engine's tests share: temporary folders, report databases built
// for one test (SQLite files, or databases on the PostgreSQL server named by
// ZAREL_TEST_PG), a host that records the engine's events, and a rig that
// places an engine beside a headless tree view and browser.
#ifndef ZAREL_TESTING_ENGINE_RIG_H_
#define ZAREL_TESTING_ENGINE_RIG_H_

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "zarel/base/clock.h"
#include "zarel/base/date_time.h"
#include "zarel/db/recordset.h"
#include "zarel/engine/clsdb.h"
#include "zarel/hostkit/headless_browser.h"
#include "zarel/hostkit/headless_tree_view.h"
#include "zarel/testing/files.h"

namespace zarel::testing {

// A report database made for one test: a SQLite file in a folder, or a new
// database on the PostgreSQL server (dropped again when the object goes).
class SiteDatabase {
 public:
  ~SiteDatabase();
  SiteDatabase(const SiteDatabase&) = delete;
  SiteDatabase& operator=(const SiteDatabase&) = delete;
  // Runs statements; a statement the database refuses fails the test.
  void Run(const std::vector<std::string>& statements);
  // The first column of a query's rows as text (Null as "NULL").
  std::vector<std::string> Column(const std::string& query);
  // What clsDB::ConnectionString takes to reach it.
  const std::string& ConnectionString() const { return connection_string_; }

 private:
  SiteDatabase() = default;
  friend std::unique_ptr<SiteDatabase> CreateSQLiteDatabase(const std::string& folder);
  friend std::unique_ptr<SiteDatabase> CreatePostgresDatabase();
  std::string connection_string_;
  std::string server_url_;  // PostgreSQL: where to drop it
  std::string name_;
};

std::unique_ptr<SiteDatabase> CreateSQLiteDatabase(const std::string& folder);
// Empty when ZAREL_TEST_PG is unset.
std::unique_ptr<SiteDatabase> CreatePostgresDatabase();
// The server URL, or empty; tests skip without it unless ZAREL_REQUIRE_PG=1.
std::string PostgresUrl();
bool PostgresRequired();

// The site tables with portable column types, in their column order:
// XNav(ID, Caption, Kind, ParentID, ProcName, Param, Image, Roles),
// XWeb(CompID, NodeID, Pos, Caption, ProcName, Param, CompType, Opt1, Opt2),
// XScr(ID, Name, Html), XProc(Name, Body).
std::vector<std::string> SiteSchema();
// "INSERT INTO table VALUES (values)".
std::string Insert(const std::string& table, const std::string& values);

// A small sales site, with every node kind, roles, record children and the
// parameter keywords; the procedures log their calls in CallLog(Entry):
//   1 Sales Site (fixed)
//     2 Regions (variable, ListRegions; record children shaped by row 3,
//       a leaf with image 4, whose page lists the region's customers)
//     4 Staff (tree, ListReports lkey; leaf row 5 Tasks, ListTasks lkey)
//     6 Secret (fixed, roles 2:5; child 9 Vault)
//     7 Other (kind "x")
//     8 About (leaf: a page of "execute" components and unknown types)
// Region records: 10 North, 11 (Null name), 12 O'Brien Land. Employees
// under Staff: 100 Ada, 101 Bob (reporting to 4); 102 Cy (to Ada). Tasks:
// Hire (employee 4), Plan and Review (Ada).
std::vector<std::string> SalesSite();
// The XScr rows of SalesSite: the front page and the page opening.
inline constexpr const char* kFrontPage = "<html><body>Welcome \xC2\xBB %Date%</body></html>";
inline constexpr const char* kPageOpening = "<html><head><style>.pgl{}</style></head><body><div>";

// Records the events of the engine (Events = clsDBEvents) or of the
// control (ZarelEvents), which have the same three members, as the
// command-line host prints them: "message: TEXT", "log: TYPE: NARRATION",
// "provide: SQL". provide, when set, answers ProvideRecordset.
template <class Events>
class EventRecorder : public Events {
 public:
  using Provider = std::function<void(const std::string&, std::shared_ptr<Recordset>&)>;

  void ProvideRecordset(const std::string& sSQL, std::shared_ptr<Recordset>& sRS) override {
    events.push_back("provide: " + sSQL);
    if (provide) provide(sSQL, sRS);
  }
  void ZarelMessage(const std::string& sMessage) override { events.push_back("message: " + sMessage); }
  void LogIt(const std::string& AType, const std::string& ANarration) override {
    events.push_back("log: " + AType + ": " + ANarration);
  }

  // The events recorded since the last call, then forgets them.
  std::vector<std::string> Take() {
    std::vector<std::string> taken;
    taken.swap(events);
    return taken;
  }

  Provider provide;
  std::vector<std::string> events;
};

using RecordingHost = EventRecorder<clsDBEvents>;

// A fabricated recordset: the named text columns and rows of values.
std::shared_ptr<Recordset> MakeRecordset(const std::vector<std::string>& columns,
                                         const std::vector<std::vector<Variant>>& rows);

// A two-node site as a host answers it in data access mode 2: the root
// "Host Site" (listed after its child, so that the root is found wherever it
// stands) with the leaf "Page", whose one component runs the procedure
// "Work" for its effect; the front page is "<p>host</p>". Any other query
// gets an empty two-column recordset.
std::shared_ptr<Recordset> HostSiteAnswer(const std::string& sql);

// An engine with its host, tree view, browser and application folder,
// ActivePort 80, bound to the given connection string.
class EngineRig {
 public:
  explicit EngineRig(const std::string& connection_string);

  // One line per node in display order, indented two spaces per level:
  // "TEXT [key=K tag=T image=I color=C]" with " expanded" and " selected".
  std::string Tree() const;
  // The first node in display order whose FullPath is path; fails the test
  // (and answers an empty reference) when there is none.
  TreeNodeRef Node(const std::string& path) const;
  // Clicks the node at path, as a user would.
  void Click(const std::string& path);
  std::string Page() const { return ReadFile(folder.PathOf("oReport.htm")); }

  TempFolder folder;
  RecordingHost host;
  clsDB engine{&host};
  std::shared_ptr<HeadlessTreeView> tree = HeadlessTreeView::Create();
  std::shared_ptr<HeadlessBrowser> browser = HeadlessBrowser::Create();
};

// A test over a report database in a SQLite file, with the clock fixed at
// 5 December 2026 14:05:09.
class SiteTest : public ::testing::Test {
 protected:
  SiteTest() : database_(CreateSQLiteDatabase(site_folder_.Path())) {}

  // Builds the site (the sales site unless statements are given) and
  // refreshes an engine over it.
  EngineRig& Open(const std::vector<std::string>& statements = SalesSite()) {
    database_->Run(statements);
    rig_ = std::make_unique<EngineRig>(database_->ConnectionString());
    rig_->engine.RefreshBrowser();
    return *rig_;
  }

  TempFolder site_folder_;
  std::unique_ptr<SiteDatabase> database_;
  std::unique_ptr<EngineRig> rig_;
  FixedClock clock_{MakeDate({2026, 12, 5, 14, 5, 9})};
};

}  // namespace zarel::testing

#endif  // ZAREL_TESTING_ENGINE_RIG_H_
