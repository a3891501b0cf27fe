// Tests of page composition: the page file byte for byte, the order and
// text of component queries, placeholders, the heading, the path line,
// failures, and the dispatch of component types to their renderers.
#include "zarel/engine/page_composition.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <functional>

#include "zarel/base/clock.h"
#include "zarel/base/date_time.h"
#include "zarel/base/error.h"
#include "zarel/base/file_system.h"
#include "zarel/data/dal.h"
#include "zarel/engine/query_parameters.h"
#include "zarel/testing/engine_rig.h"
#include "zarel/testing/faulty_file_system.h"

namespace zarel {
namespace {

using testing::EngineRig;
using testing::Insert;

const std::string kCredit = "<a href=\"https://zarel.dev\" target=\"_blank\">Zarel</a>";
const std::string kDate = "05 Dec 2026 02:05:09 PM";

// The header line of a page of the sales site.
std::string Header(const std::string& heading, const std::string& main_heading) {
  return std::string(testing::kPageOpening) + "<table width=100%><tr><td class=pgl>" + heading +
         "</td><td class=pgr>" + kDate + "</td></table><p class=mh>" + main_heading + "\r\n";
}

class PageCompositionTest : public testing::SiteTest {};

TEST_F(PageCompositionTest, PageFileByteForByte) {
  EngineRig& rig = Open();
  EXPECT_FALSE(testing::FileExists(rig.folder.PathOf("oReport.htm")));  // the root has no page
  EXPECT_EQ(testing::ReadFile(rig.folder.PathOf("fp.htm")), std::string(testing::kFrontPage) + "\r\n");

  rig.Click("Sales Site\\About");
  EXPECT_EQ(rig.Page(), Header(kCredit, "About") + "</DIV></BODY></HTML>\r\n");
  // Components run in position order; a type that is no keyword still runs
  // its query.
  EXPECT_EQ(database_->Column("SELECT Entry FROM CallLog"),
            (std::vector<std::string>{"about", "05 Dec 2026"}));
  EXPECT_EQ(rig.host.Take(), std::vector<std::string>{"log: View: Sales Site\\About"});
  EXPECT_EQ(rig.browser->LocationPath(), rig.folder.PathOf("oReport.htm"));

  rig.engine.DisplayPath(true);
  rig.engine.UserRole(Variant(std::int16_t{2}));
  rig.Click("Sales Site\\Secret");
  rig.Click("Sales Site\\Secret\\Vault");  // a page without components
  EXPECT_EQ(rig.Page(), Header(kCredit, "Vault") +
                            "<br><br><p class=pgf>Path: Sales Site\\Secret\\Vault\r\n"
                            "</DIV></BODY></HTML>\r\n");
}

TEST_F(PageCompositionTest, HeadingIsMergedOnceAfterEachRefresh) {
  EngineRig& rig = Open();
  rig.engine.Heading(Variant("Acme <b>Reports</b>"));
  rig.Click("Sales Site\\About");
  EXPECT_EQ(rig.Page().substr(0, Header("Acme <b>Reports</b>", "About").size()),
            Header("Acme <b>Reports</b>", "About"));
  // Null is refused and the heading stays; a later heading waits for the
  // next refresh.
  EXPECT_THROW(rig.engine.Heading(Variant::Null()), RuntimeError);
  rig.engine.Heading(Variant(std::int32_t{42}));
  rig.Click("Sales Site\\Other");
  rig.Click("Sales Site\\About");
  EXPECT_NE(rig.Page().find("Acme <b>Reports</b>"), std::string::npos);
  rig.engine.RefreshBrowser();
  rig.Click("Sales Site\\About");
  EXPECT_EQ(rig.Page(), Header("42", "About") + "</DIV></BODY></HTML>\r\n");
}

TEST_F(PageCompositionTest, PlaceholdersInThePageOpening) {
  std::vector<std::string> site = testing::SiteSchema();
  const std::vector<std::string> rows = {
      Insert("XNav", "1, 'Site', 'fixed', 0, NULL, NULL, NULL, NULL"),
      Insert("XNav", "2, 'Page', 'leaf', 1, NULL, NULL, NULL, NULL"),
      Insert("XScr", "1, 'front', '%Date%'"),
      // No XScr row 2: the prefix keeps the front page text without the
      // template. One component row elsewhere, so that XWeb is loaded.
      Insert("XWeb", "1, 1, 1, 'Root', 'Nothing', NULL, 'execute', NULL, NULL"),
  };
  site.insert(site.end(), rows.begin(), rows.end());
  EngineRig& rig = Open(site);
  rig.Click("Site\\Page");
  EXPECT_EQ(rig.Page(), kDate + "\r\n</DIV></BODY></HTML>\r\n");
  EXPECT_EQ(testing::ReadFile(rig.folder.PathOf("fp.htm")), "%Date%\r\n");

  database_->Run({Insert("XScr", "2, 'page', '<p>%date% %storename% %StoreName% %MAINHEADING%'")});
  rig.engine.Heading(Variant("H"));
  rig.engine.RefreshBrowser();
  rig.Click("Site\\Page");
  EXPECT_EQ(rig.Page(), "<p>" + kDate + " %storename% H Page<table width=100%><tr><td class=pgl>H"
                        "</td><td class=pgr>" + kDate + "</td></table><p class=mh>Page\r\n"
                        "</DIV></BODY></HTML>\r\n");
}

// Component rows that were never loaded (an empty or missing XWeb on the
// first load) end every page after its header: no closing tags, no
// navigation, no log line; "Error: 9" when talking. A later load that finds
// rows composes again, and a later empty table keeps the rows loaded before.
TEST_F(PageCompositionTest, ComponentRowsNeverLoadedEndThePage) {
  struct Case {
    const char* name;
    std::vector<std::string> damage;
  };
  const std::vector<Case> cases = {
      {"empty XWeb", {"DELETE FROM XWeb"}},
      {"no XWeb table", {"DROP TABLE XWeb"}},
  };
  for (const Case& one : cases) {
    SCOPED_TRACE(one.name);
    std::vector<std::string> site = testing::SalesSite();
    site.insert(site.end(), one.damage.begin(), one.damage.end());
    database_ = testing::CreateSQLiteDatabase(site_folder_.Path());  // a new, empty file
    EngineRig& rig = Open(site);
    rig.engine.Talking(true);
    rig.host.Take();
    const std::size_t navigations = rig.browser->History().size();
    rig.Click("Sales Site\\About");
    EXPECT_EQ(rig.host.Take(), std::vector<std::string>{"message: Error: 9, Subscript out of range"});
    EXPECT_EQ(rig.Page(), Header(kCredit, "About"));
    EXPECT_EQ(rig.browser->History().size(), navigations);
    EXPECT_TRUE(database_->Column("SELECT Entry FROM CallLog").empty());
  }

  // Rows loaded once stay when a later load finds the table empty.
  EngineRig& rig = *rig_;
  database_->Run({"CREATE TABLE XWeb (CompID INTEGER, NodeID INTEGER, Pos INTEGER, Caption TEXT, "
                  "ProcName TEXT, Param TEXT, CompType TEXT, Opt1 TEXT, Opt2 TEXT)",
                  Insert("XWeb", "80, 8, 1, 'First', 'LogAbout', NULL, 'execute', NULL, NULL")});
  rig.engine.RefreshBrowser();
  rig.Click("Sales Site\\About");
  EXPECT_EQ(rig.Page(), Header(kCredit, "About") + "</DIV></BODY></HTML>\r\n");
  database_->Run({"DELETE FROM XWeb"});
  rig.engine.RefreshBrowser();
  rig.host.Take();
  rig.Click("Sales Site\\About");
  EXPECT_EQ(rig.host.Take(), std::vector<std::string>{"log: View: Sales Site\\About"});
  EXPECT_EQ(database_->Column("SELECT Entry FROM CallLog"),
            (std::vector<std::string>{"about", "about"}));
}

// The options are read by position, by the types that take them: an XWeb
// of seven columns fails the page at the first "table" (column 7) as
// reading a missing column fails, after its query ran; with eight columns
// the table graphs fail at column 8; types without options are unaffected.
TEST_F(PageCompositionTest, MissingOptionColumnsFailThePage) {
  struct Case {
    const char* columns;       // XWeb's columns
    const char* type;          // the type of node 8's only component
    bool page_fails;
  };
  const std::vector<Case> cases = {
      {"CompID, NodeID, Pos, Caption, ProcName, Param, CompType", "table", true},
      {"CompID, NodeID, Pos, Caption, ProcName, Param, CompType", "barchart", true},
      {"CompID, NodeID, Pos, Caption, ProcName, Param, CompType", "thumbnail", true},
      {"CompID, NodeID, Pos, Caption, ProcName, Param, CompType", "header", false},
      {"CompID, NodeID, Pos, Caption, ProcName, Param, CompType", "execute", false},
      {"CompID, NodeID, Pos, Caption, ProcName, Param, CompType, Opt1", "tablegraphh", true},
      {"CompID, NodeID, Pos, Caption, ProcName, Param, CompType, Opt1", "table", false},
  };
  for (const Case& one : cases) {
    SCOPED_TRACE(std::string(one.type) + " over " + one.columns);
    std::vector<std::string> site = testing::SalesSite();
    site.push_back("DROP TABLE XWeb");
    site.push_back(std::string("CREATE TABLE XWeb AS SELECT ") + one.columns + " FROM (SELECT 80 AS CompID, "
                   "8 AS NodeID, 1 AS Pos, 'First' AS Caption, 'LogAbout' AS ProcName, NULL AS Param, '" +
                   one.type + "' AS CompType, '1' AS Opt1)");
    database_ = testing::CreateSQLiteDatabase(site_folder_.Path());  // a new, empty file
    EngineRig& rig = Open(site);
    rig.engine.Talking(true);
    rig.host.Take();
    rig.Click("Sales Site\\About");
    const std::vector<std::string> events = rig.host.Take();
    // The query ran before the option was read.
    EXPECT_EQ(database_->Column("SELECT Entry FROM CallLog"), std::vector<std::string>{"about"});
    if (one.page_fails) {
      EXPECT_EQ(events.back(), "message: Error: 9, Subscript out of range");
      EXPECT_EQ(rig.Page().find("</DIV></BODY></HTML>"), std::string::npos);
    } else {
      EXPECT_EQ(events.back(), "log: View: Sales Site\\About");
    }
  }
}

TEST_F(PageCompositionTest, QueriesCarryTheParameterKeywords) {
  EngineRig& rig = Open();
  // Data access mode 2: this host answers every query through a DAL of its
  // own, and the recorded "provide" lines show each query as composed.
  DAL host_dal;
  host_dal.ConnectionString(database_->ConnectionString());
  rig.host.provide = [&host_dal](const std::string& sql, std::shared_ptr<Recordset>& rs) {
    host_dal.ReadRecordset(sql, rs);
  };
  rig.engine.DAMode(2);
  rig.Click("Sales Site\\Regions");
  rig.Click("Sales Site\\Regions\\O'Brien Land");
  rig.Click("Sales Site\\About");
  EXPECT_EQ(rig.host.Take(), (std::vector<std::string>{
                                 "provide: EXEC ListRegions",
                                 "provide: EXEC ListRegions",
                                 "log: View: Sales Site\\Regions",
                                 "provide: EXEC LogCall 'O''Brien Land'",
                                 "provide: EXEC RegionCustomers 'O''B'",
                                 "provide: EXEC LogCall 'O''B'",
                                 "log: View: Sales Site\\Regions\\O'Brien Land",
                                 "provide: EXEC LogAbout",
                                 "provide: EXEC LogCall '05 Dec 2026'",
                                 "log: View: Sales Site\\About",
                             }));
}

TEST_F(PageCompositionTest, FailuresEndThePageOrOnlyTheComponent) {
  std::vector<std::string> site = testing::SalesSite();
  site.push_back("DROP TABLE CallLog");
  EngineRig& rig = Open(site);
  // Failing component queries are reported; the page is still written.
  rig.Click("Sales Site\\About");
  EXPECT_EQ(rig.host.Take(), (std::vector<std::string>{
                                 "message: Error Reading Data From Database",
                                 "message: Error Reading Data From Database",
                                 "log: View: Sales Site\\About"}));
  EXPECT_EQ(rig.Page(), Header(kCredit, "About") + "</DIV></BODY></HTML>\r\n");

  // A report file that cannot be opened ends the page: no navigation, no
  // log.
  const std::string gone = rig.folder.PathOf("gone");
  rig.engine.ApplicationFolder(Variant(gone));
  rig.engine.RefreshBrowser();
  rig.engine.Talking(true);
  const std::size_t shown = rig.browser->History().size();
  rig.Click("Sales Site\\Regions");
  EXPECT_EQ(rig.host.Take(), std::vector<std::string>{"message: Error: 76, Path not found: " +
                                                      gone + "/oReport.htm"});
  EXPECT_EQ(rig.browser->History().size(), shown);
  EXPECT_EQ(rig.browser->LocationPath(), gone + "/fp.htm");
  EXPECT_EQ(rig.Node("Sales Site\\Regions")->Children(), 3);
}

// The number of files this process holds open.
int OpenFiles() {
  int count = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
    ++count;
  }
  return count;
}

TEST_F(PageCompositionTest, FailingCompositionReleasesTheReportFile) {
  // An XWeb without its type column fails inside the component loop, with
  // the report file open.
  const std::vector<std::string> site = {
      "CREATE TABLE XNav (ID INTEGER, Caption VARCHAR(20), Kind VARCHAR(20), ParentID INTEGER, "
      "ProcName VARCHAR(20), Param VARCHAR(20), Image INTEGER, Roles VARCHAR(20))",
      "CREATE TABLE XWeb (CompID INTEGER, NodeID INTEGER, Pos INTEGER, Caption VARCHAR(20), "
      "ProcName VARCHAR(20), Param VARCHAR(20))",
      "CREATE TABLE XScr (ID INTEGER, Name VARCHAR(20), Html TEXT)",
      "CREATE TABLE XProc (Name VARCHAR(50), Body TEXT)",
      Insert("XNav", "1, 'Site', 'fixed', 0, NULL, NULL, NULL, NULL"),
      Insert("XNav", "2, 'Page', 'leaf', 1, NULL, NULL, NULL, NULL"),
      Insert("XWeb", "1, 2, 1, 'C', 'Nothing', NULL"),
      Insert("XScr", "2, 'page', '<div>'"),
      Insert("XProc", "'Nothing', 'SELECT 1'"),
  };
  EngineRig& rig = Open(site);
  rig.engine.Talking(true);
  rig.host.Take();
  const int open_before = OpenFiles();
  const std::size_t shown = rig.browser->History().size();
  rig.Click("Site\\Page");
  EXPECT_EQ(rig.host.Take(), std::vector<std::string>{"message: Error: 9, Subscript out of range"});
  EXPECT_EQ(OpenFiles(), open_before);
  EXPECT_EQ(rig.browser->History().size(), shown);
  EXPECT_EQ(rig.Page().find("</DIV>"), std::string::npos);
}

// The names in a folder, sorted.
std::vector<std::string> NamesIn(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

// A full disk or an I/O error while a page is written: the composition
// ends, the page before stays whole in the report file and in the browser,
// nothing half-written is left, and the next click works again.
TEST_F(PageCompositionTest, AFailingDiskKeepsThePageBefore) {
  EngineRig& rig = Open();
  rig.engine.Talking(true);
  rig.Click("Sales Site\\Regions");
  rig.host.Take();
  const std::string page_before = rig.Page();
  const std::size_t shown = rig.browser->History().size();
  const std::string report = rig.folder.PathOf("oReport.htm");
  const std::vector<std::string> files = NamesIn(rig.folder.Path());

  testing::FaultyFileSystem faulty;
  ScopedFileSystem scoped(faulty);
  using Operation = testing::FaultyFileSystem::Operation;
  struct Case {
    const char* what;
    std::function<void()> fault;
    std::string message;
  };
  const Case cases[] = {
      {"a full disk", [&] { faulty.DiskFullAfter(100); }, "Error: 61, Disk full: " + report},
      {"a disk that takes nothing", [&] { faulty.DiskFullAfter(0); },
       "Error: 61, Disk full: " + report},
      {"an I/O error", [&] { faulty.Fail(Operation::kAppend, EIO); },
       "Error: 57, Device I/O error: " + report},
      {"a failing rename", [&] { faulty.Fail(Operation::kRename, EIO); },
       "Error: 57, Device I/O error: " + report},
      {"no room for a new file", [&] { faulty.Fail(Operation::kOpen, ENOSPC); },
       "Error: 61, Disk full: " + report},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    faulty.Clear();
    c.fault();
    rig.Click("Sales Site\\About");
    EXPECT_EQ(rig.host.Take(), std::vector<std::string>{"message: " + c.message});
    EXPECT_EQ(rig.Page(), page_before);
    EXPECT_EQ(rig.browser->History().size(), shown);
    EXPECT_EQ(NamesIn(rig.folder.Path()), files);
  }
  // Without Talking the failure is silent, and the page before stays all
  // the same.
  rig.engine.Talking(false);
  faulty.Clear();
  faulty.DiskFullAfter(10);
  rig.Click("Sales Site\\About");
  EXPECT_EQ(rig.host.Take(), std::vector<std::string>{});
  EXPECT_EQ(rig.Page(), page_before);

  faulty.Clear();
  rig.Click("Sales Site\\About");
  EXPECT_EQ(rig.host.Take(), std::vector<std::string>{"log: View: Sales Site\\About"});
  EXPECT_EQ(rig.Page(), Header(kCredit, "About") + "</DIV></BODY></HTML>\r\n");
  EXPECT_EQ(NamesIn(rig.folder.Path()), files);
}

// A page larger than the file's buffer meets the full disk inside a
// renderer: that renderer reports nothing of it, the composition ends after
// it (the next component's procedure does not run) and reports it once.
TEST_F(PageCompositionTest, AFullDiskInsideAComponentEndsThePageAtOnce) {
  std::vector<std::string> site = testing::SalesSite();
  site.push_back(Insert("XProc",
                        "'ManyRows', 'WITH RECURSIVE n(x) AS (SELECT 1 UNION ALL SELECT x + 1 "
                        "FROM n WHERE x < 5000) SELECT x AS Num, ''row '' || x AS Name FROM n'"));
  site.push_back(Insert("XWeb", "90, 9, 1, 'Many', 'ManyRows', NULL, 'table', NULL, NULL"));
  site.push_back(Insert("XWeb", "91, 9, 2, 'After', 'LogCall', 'text', 'execute', NULL, NULL"));
  EngineRig& rig = Open(site);
  rig.engine.Talking(true);
  rig.engine.UserRole(Variant(std::int16_t{2}));
  rig.Click("Sales Site\\Secret");
  rig.Click("Sales Site\\Secret\\Vault");
  EXPECT_GT(rig.Page().size(), std::size_t{1} << 16);
  EXPECT_EQ(database_->Column("SELECT Entry FROM CallLog"),
            (std::vector<std::string>{"Secret", "Vault"}));
  const std::string page_before = rig.Page();
  rig.host.Take();

  testing::FaultyFileSystem faulty;
  ScopedFileSystem scoped(faulty);
  faulty.DiskFullAfter(1000);
  rig.Click("Sales Site\\Secret\\Vault");
  EXPECT_EQ(rig.host.Take(), std::vector<std::string>{"message: Error: 61, Disk full: " +
                                                      rig.folder.PathOf("oReport.htm")});
  EXPECT_EQ(rig.Page(), page_before);
  EXPECT_EQ(database_->Column("SELECT Entry FROM CallLog"),
            (std::vector<std::string>{"Secret", "Vault"}));
}

// --- The dispatch table ---

// Renderers that write what they were called with.
void FakeRecordForm(RenderContext&, TextFile& report, std::shared_ptr<Recordset>&,
                    const std::string& caption, std::int32_t component, bool labelled) {
  report.WriteLine("form " + caption + " " + std::to_string(component) + " " +
                   (labelled ? "labelled" : "bare"));
}
void FakeImageRecord(RenderContext&, TextFile& report, std::shared_ptr<Recordset>&,
                     const std::string& caption, std::int32_t component) {
  report.WriteLine("image " + caption + " " + std::to_string(component));
}
void FakeThumbnails(RenderContext&, TextFile& report, std::shared_ptr<Recordset>&,
                    const std::string& caption, std::int32_t component, const std::string& spec) {
  report.WriteLine("thumbnail " + caption + " " + std::to_string(component) + " [" + spec + "]");
}
void FakeTotalsGrid(RenderContext&, TextFile& report, std::shared_ptr<Recordset>&,
                    const std::string& caption, std::int32_t component, const std::string& totals) {
  report.WriteLine("table " + caption + " " + std::to_string(component) + " [" + totals + "]");
}
void FakeTableGraph(RenderContext&, TextFile& report, std::shared_ptr<Recordset>&,
                    const std::string& caption, std::int32_t component, const std::string& totals,
                    const std::string& graph, bool rows, bool total_graphs) {
  report.WriteLine("graph " + caption + " " + std::to_string(component) + " [" + totals + "] [" +
                   graph + "] " + (rows ? "rows" : "-") + " " + (total_graphs ? "totals" : "-"));
}
void FakeBarChart(RenderContext&, TextFile& report, std::shared_ptr<Recordset>&,
                  const std::string& caption, std::int32_t component, const std::string& columns) {
  report.WriteLine("chart " + caption + " " + std::to_string(component) + " [" + columns + "]");
}
void FakeShapeReport(RenderContext&, TextFile& report, std::shared_ptr<Recordset>&,
                     const std::string& caption, std::int32_t component) {
  report.WriteLine("shape " + caption + " " + std::to_string(component));
}

class PlainContext : public RenderContext {
 public:
  bool Talking() const override { return false; }
  void ZarelMessage(const std::string&) override {}
  std::string SelectedNodeText() const override { return ""; }
  std::string FormatValue(const Variant& value, std::string_view code) const override {
    return zarel::FormatValue(value, code, "");
  }
  Variant NullToZero(const Variant& value) const override { return zarel::NullToZero(value); }
  bool FetchRecordset(const std::string&, std::shared_ptr<Recordset>&) override { return false; }
  Variant ApplicationFolder() const override { return Variant(""); }
};

TEST(ComponentDispatchTest, EachTypeReachesItsRendererWithItsArguments) {
  ComponentRenderers fakes;
  fakes.record_form = &FakeRecordForm;
  fakes.image_record = &FakeImageRecord;
  fakes.thumbnail_gallery = &FakeThumbnails;
  fakes.totals_grid = &FakeTotalsGrid;
  fakes.table_graph = &FakeTableGraph;
  fakes.bar_chart = &FakeBarChart;
  fakes.shape_report = &FakeShapeReport;

  testing::TempFolder folder;
  PlainContext context;
  std::shared_ptr<Recordset> recordset;
  ComponentRow row{"Cap", 7, Variant(" 1:2 "), Variant::Null()};
  const std::string nbsp = "\xC2\xA0";
  struct Case {
    std::string type;
    bool rendered;
    std::string line;
  } cases[] = {
      {"header", true, "form Cap 7 labelled"},
      {"htmlinject", true, "form Cap 7 bare"},
      {"image", true, "image Cap 7"},
      {"thumbnail", true, "thumbnail Cap 7 [ 1:2 ]"},
      {"table", true, "table Cap 7 [1:2]"},
      {"tablegraphh", true, "graph Cap 7 [1:2] [" + nbsp + "] rows -"},
      {"tablegraphv", true, "graph Cap 7 [1:2] [" + nbsp + "] - totals"},
      {"tablegraph", true, "graph Cap 7 [1:2] [" + nbsp + "] rows totals"},
      {"barchart", true, "chart Cap 7 [1:2]"},
      {"shape", true, "shape Cap 7"},
      {"execute", false, ""},
      {"tables", false, ""},
      {"", false, ""},
  };
  for (const Case& c : cases) {
    const std::string path = folder.PathOf("page.htm");
    {
      TextFile report(path);
      EXPECT_EQ(RenderComponent(c.type, context, report, recordset, row, fakes), c.rendered)
          << c.type;
      report.Close();
    }
    EXPECT_EQ(testing::ReadFile(path), c.rendered ? c.line + "\r\n" : "") << c.type;
  }
  // A Null first option reaches the thumbnail gallery as an empty text.
  row.first_option = Variant::Null();
  {
    TextFile report(folder.PathOf("page.htm"));
    RenderComponent("thumbnail", context, report, recordset, row, fakes);
    report.Close();
  }
  EXPECT_EQ(testing::ReadFile(folder.PathOf("page.htm")), "thumbnail Cap 7 []\r\n");
}

}  // namespace
}  // namespace zarel
