// Tests of the web host's addresses and its Export over HTTP: a tree path
// opens its node in a new session as the user's clicks would, stops where
// a level is missing or a node refuses the session's role, and hostile
// paths are refused; Export gives the site as a zip of the static export,
// read back here with libzip, and a failed export leaves the session
// usable.
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <zip.h>

#include <filesystem>
#include <map>
#include <memory>

#include "apps/serve/serve_export.h"
#include "apps/testing/serve_test_fixture.h"

namespace zarel::serve {
namespace {

using namespace zarel::serve::testing;

// The tree without the node ids (which number nodes as each session saw
// them), for comparing two sessions' trees.
json WithoutIds(json nodes) {
  for (json& node : nodes) {
    node.erase("id");
    node["children"] = WithoutIds(node["children"]);
  }
  return nodes;
}

// The "View" log lines of an answer's events, in order.
std::vector<std::string> Views(const json& state) {
  std::vector<std::string> views;
  for (const json& event : state["events"]) {
    if (event["type"] == "log" && event["logType"] == "View") views.push_back(event["text"]);
  }
  return views;
}

json StartAt(Browser& browser, const std::string& path) {
  const http::RawResponse started = browser.Post("/api/session", {{"path", path}});
  EXPECT_EQ(started.status, 200) << started.body;
  return json::parse(started.body);
}

TEST_F(ServeTest, AnAddressOpensItsNodeInANewSessionAsClicksWould) {
  Start();
  // The page itself, with a path in its address, starts nothing.
  Browser browser(server_->Port());
  const http::RawResponse page = browser.Get("/?path=Shop%5CProducts%5CPear");
  EXPECT_EQ(page.status, 200);
  EXPECT_EQ(page.Header("Set-Cookie"), "");
  EXPECT_EQ(server_->Sessions().Count(), 0);

  // Its script starts the session with the path.
  const json opened = StartAt(browser, "Shop\\Products\\Pear");
  EXPECT_FALSE(opened.contains("note"));
  EXPECT_EQ(SelectedPath(opened["tree"]), "\\Shop\\Products\\Pear");
  EXPECT_EQ(opened["page"]["url"], "/site/oReport.htm");
  EXPECT_NE(browser.Get("/site/oReport.htm").body.find("Pear\r\n<p id='TTL002'"), std::string::npos);
  // Every event of the new session: one click per level below the root
  // (the front page was opened by the session's start).
  EXPECT_EQ(Views(opened), (std::vector<std::string>{"Shop\\Products", "Shop\\Products\\Pear"}));

  // A user who clicks there sees the same tree.
  Browser clicker = Open();
  json clicked = clicker.State();
  clicked = json::parse(clicker.Post("/api/click", {{"node", NodeId(clicked["tree"], {"Shop", "Products"})}}).body);
  clicked = json::parse(
      clicker.Post("/api/click", {{"node", NodeId(clicked["tree"], {"Shop", "Products", "Pear"})}}).body);
  EXPECT_EQ(WithoutIds(opened["tree"]), WithoutIds(clicked["tree"]));
  EXPECT_EQ(clicker.Get("/site/oReport.htm").body, browser.Get("/site/oReport.htm").body);
}

TEST_F(ServeTest, APathStopsAtTheLastNodeReachedWithANote) {
  Start();
  struct Case {
    std::string path;
    std::string selected;
    std::string note;
    std::string page;
  };
  const std::vector<Case> cases = {
      {"Shop\\Products\\Banana", "\\Shop\\Products",
       "The address's path ends at 'Shop\\Products': there is no 'Banana' under it.", "/site/oReport.htm"},
      // Texts are compared as they are: letter case counts.
      {"Shop\\products", "\\Shop", "The address's path ends at 'Shop': there is no 'products' under it.",
       "/site/fp.htm"},
      {"Other\\Products", "\\Shop", "The address's path was not followed: the tree has no 'Other' at its top.",
       "/site/fp.htm"},
      // Role 0 is not among the node's roles 2 and 5: the click selects it
      // and opens nothing, as it does for a user; the path ends there.
      {"Shop\\Staff only",
       "\\Shop\\Staff only",
       "The address's path ends at 'Shop\\Staff only': that node did not open (your role may not open it, "
       "or its data could not be read).",
       "/site/fp.htm"},
      {"Shop\\Staff only\\Salaries", "\\Shop\\Staff only",
       "The address's path ends at 'Shop\\Staff only': that node did not open (your role may not open it, "
       "or its data could not be read).",
       "/site/fp.htm"},
      {"Shop\\Products\\Apple\\Core", "\\Shop\\Products\\Apple",
       "The address's path ends at 'Shop\\Products\\Apple': there is no 'Core' under it.", "/site/oReport.htm"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    Browser browser(server_->Port());
    const json state = StartAt(browser, c.path);
    EXPECT_EQ(SelectedPath(state["tree"]), c.selected);
    EXPECT_EQ(state.value("note", ""), c.note);
    EXPECT_EQ(state["page"]["url"], c.page);
  }

  // Role 2 opens the staff's node.
  server_->Stop();
  ServeOptions options = Options();
  options.display.role = "2";
  Start(options);
  Browser staff(server_->Port());
  const json state = StartAt(staff, "Shop\\Staff only");
  EXPECT_FALSE(state.contains("note"));
  EXPECT_EQ(SelectedPath(state["tree"]), "\\Shop\\Staff only");
  EXPECT_EQ(state["page"]["url"], "/site/oReport.htm");
}

TEST_F(ServeTest, AmongSiblingsOfOneTextThePathTakesTheFirst) {
  database_->Exec("INSERT INTO Product VALUES (3, 'Pear', 5);");
  Start();
  Browser browser(server_->Port());
  StartAt(browser, "Shop\\Products\\Pear");
  const std::string page = browser.Get("/site/oReport.htm").body;
  EXPECT_NE(page.find("<td class=hv>4</td>"), std::string::npos) << page;
}

// Back and Forward open a path in the session the browser has: only the
// nodes needed are clicked, the nodes still open are not clicked again.
TEST_F(ServeTest, OpeningAPathInASessionClicksOnlyWhatIsNeeded) {
  Start();
  Browser browser(server_->Port());
  StartAt(browser, "Shop\\Products\\Pear");
  json state = json::parse(browser.Post("/api/open", {{"path", "Shop\\Products"}}).body);
  EXPECT_EQ(SelectedPath(state["tree"]), "\\Shop\\Products");
  EXPECT_EQ(Views(state), std::vector<std::string>{"Shop\\Products"});
  state = json::parse(browser.Post("/api/open", {{"path", "Shop\\Products\\Apple"}}).body);
  EXPECT_EQ(SelectedPath(state["tree"]), "\\Shop\\Products\\Apple");
  EXPECT_EQ(Views(state), std::vector<std::string>{"Shop\\Products\\Apple"});
  // The node selected already: nothing runs.
  state = json::parse(browser.Post("/api/open", {{"path", "Shop\\Products\\Apple"}}).body);
  EXPECT_TRUE(state["events"].empty());
  // The root, then back down: Products is opened again on the way.
  state = json::parse(browser.Post("/api/open", {{"path", "Shop"}}).body);
  // The root: the front page again, as the refresh shows it.
  EXPECT_EQ(SelectedPath(state["tree"]), "\\Shop");
  EXPECT_FALSE(state.contains("note")) << state["note"];
  EXPECT_EQ(state["page"]["url"], "/site/fp.htm");
  EXPECT_EQ(NodeId(state["tree"], {"Shop", "Products", "Apple"}), -1);
  state = json::parse(browser.Post("/api/open", {{"path", "Shop\\Products\\Pear"}}).body);
  EXPECT_EQ(SelectedPath(state["tree"]), "\\Shop\\Products\\Pear");
  EXPECT_FALSE(state.contains("note"));
}

TEST_F(ServeTest, HostilePathsAreRefusedAndStartNoSession) {
  ServeOptions options = Options();
  options.limits.max_path_bytes = 40;
  options.limits.max_path_levels = 4;
  Start(options);
  std::string levels = "Shop";
  for (int i = 0; i < 4; ++i) levels += "\\a";
  const std::vector<std::pair<json, std::string>> cases = {
      {{{"path", std::string(41, 'x')}}, "The address's path is too long (41 bytes; at most 40)."},
      {{{"path", levels}}, "The address's path has too many levels (5; at most 4)."},
      {{{"path", ""}}, "The address's path names no node."},
      {{{"path", 5}}, "A new session takes a JSON object: {} or {\"path\": TEXT}."},
      {{{"path", json::array({"Shop"})}}, "A new session takes a JSON object: {} or {\"path\": TEXT}."},
  };
  for (const auto& [body, error] : cases) {
    SCOPED_TRACE(body.dump());
    Browser browser(server_->Port());
    const http::RawResponse answer = browser.Post("/api/session", body);
    EXPECT_EQ(answer.status, 400);
    EXPECT_EQ(json::parse(answer.body), json({{"error", error}}));
    EXPECT_EQ(answer.Header("Set-Cookie"), "");
  }
  EXPECT_EQ(server_->Sessions().Count(), 0);

  // Within the bounds: 40 bytes and 4 levels are taken.
  Browser browser(server_->Port());
  const json state = StartAt(browser, "Shop\\Products\\Pear\\" + std::string(21, 'x'));
  EXPECT_EQ(SelectedPath(state["tree"]), "\\Shop\\Products\\Pear");
  // The same refusals in a session leave it where it was.
  const http::RawResponse refused = browser.Post("/api/open", {{"path", std::string(41, 'x')}});
  EXPECT_EQ(refused.status, 400);
  EXPECT_EQ(browser.Post("/api/open", json::object()).status, 400);
  EXPECT_EQ(SelectedPath(browser.State()["tree"]), "\\Shop\\Products\\Pear");
}

// The names of a zip's entries and their contents, read with libzip.
std::map<std::string, std::string> ReadZip(const std::string& bytes) {
  std::map<std::string, std::string> entries;
  zip_error_t error;
  zip_error_init(&error);
  zip_source_t* source = zip_source_buffer_create(bytes.data(), bytes.size(), 0, &error);
  zip_t* archive = source == nullptr ? nullptr : zip_open_from_source(source, ZIP_RDONLY, &error);
  if (archive == nullptr) {
    ADD_FAILURE() << "not a zip: " << zip_error_strerror(&error);
    if (source != nullptr) zip_source_free(source);
    zip_error_fini(&error);
    return entries;
  }
  for (zip_int64_t i = 0; i < zip_get_num_entries(archive, 0); ++i) {
    zip_stat_t stat;
    zip_stat_index(archive, static_cast<zip_uint64_t>(i), 0, &stat);
    std::string content(stat.size, '\0');
    zip_file_t* file = zip_fopen_index(archive, static_cast<zip_uint64_t>(i), 0);
    EXPECT_EQ(zip_fread(file, content.data(), content.size()), static_cast<zip_int64_t>(content.size()));
    zip_fclose(file);
    entries[stat.name] = std::move(content);
  }
  zip_close(archive);
  zip_error_fini(&error);
  return entries;
}

std::vector<std::string> NamesOf(const std::map<std::string, std::string>& entries) {
  std::vector<std::string> names;
  for (const auto& entry : entries) names.push_back(entry.first);
  return names;
}

// Nothing of an export stays in the work folder.
bool NoExportLeft(const std::string& work_folder) {
  for (const auto& entry : fs::directory_iterator(work_folder)) {
    if (entry.path().filename().string().rfind("export-", 0) == 0) return false;
  }
  return true;
}

TEST_F(ServeTest, ExportGivesTheSiteAsAZipOfTheStaticExport) {
  Start();
  Browser browser = Open();
  const http::RawResponse answer = browser.Post("/api/export");
  ASSERT_EQ(answer.status, 200) << answer.body;
  EXPECT_EQ(answer.Header("Content-Type"), "application/zip");
  EXPECT_EQ(answer.Header("Content-Disposition"), "attachment; filename=\"shop.zip\"");
  EXPECT_EQ(answer.Header("X-Zarel-Export"), "Exported 4 pages.");
  const std::map<std::string, std::string> entries = ReadZip(answer.body);
  // The role (0) may not open the staff's node: it has no page.
  EXPECT_EQ(NamesOf(entries),
            (std::vector<std::string>{"export.css", "export.js", "index.html", "pages/circle.gif",
                                      "pages/products.apple.html", "pages/products.html",
                                      "pages/products.pear.html", "pages/shop.html", "pages/tree2.gif",
                                      "zarel.css"}));
  EXPECT_NE(entries.at("index.html").find("data-path=\"Shop\\Products\\Pear\""), std::string::npos);
  EXPECT_NE(entries.at("pages/products.pear.html").find("Pear\r\n<p id='TTL002'"), std::string::npos);
  EXPECT_EQ(entries.at("pages/circle.gif"), "GIF89a");
  EXPECT_TRUE(NoExportLeft(server_->Sessions().WorkFolder()));
  // The session goes on as it was.
  const json state = browser.State();
  EXPECT_EQ(SelectedPath(state["tree"]), "\\Shop");
  EXPECT_EQ(browser.Post("/api/click", {{"node", NodeId(state["tree"], {"Shop", "Products"})}}).status, 200);

  // The session's role is the export's; the bound on nodes holds.
  server_->Stop();
  ServeOptions options = Options();
  options.display.role = "5";
  options.limits.export_max_nodes = 2;
  Start(options);
  Browser staff = Open();
  const http::RawResponse bounded = staff.Post("/api/export");
  ASSERT_EQ(bounded.status, 200) << bounded.body;
  EXPECT_EQ(bounded.Header("X-Zarel-Export"),
            "Exported 2 pages; the bound of 2 nodes left 3 unopened.");
  EXPECT_EQ(NamesOf(ReadZip(bounded.body)),
            (std::vector<std::string>{"export.css", "export.js", "index.html", "pages/circle.gif", "pages/products.html",
                                      "pages/shop.html", "pages/tree2.gif", "zarel.css"}));
}

TEST_F(ServeTest, AFailedExportSaysWhyAndTheSessionStillClicks) {
  Start();
  Browser browser = Open();
  // The database is away while the export opens it.
  const std::string database = database_->ConnectionString().substr(std::string("sqlite:").size());
  fs::rename(database, database + ".away");
  const http::RawResponse failed = browser.Post("/api/export");
  fs::rename(database + ".away", database);
  EXPECT_EQ(failed.status, 500);
  const std::string error = json::parse(failed.body).value("error", "");
  EXPECT_EQ(error.rfind("The export failed: cannot open the report database: ", 0), 0u) << error;
  EXPECT_EQ(error.find(server_->Sessions().WorkFolder()), std::string::npos);
  EXPECT_TRUE(NoExportLeft(server_->Sessions().WorkFolder()));

  const json state = browser.State();
  const json clicked =
      json::parse(browser.Post("/api/click", {{"node", NodeId(state["tree"], {"Shop", "Products"})}}).body);
  EXPECT_EQ(SelectedPath(clicked["tree"]), "\\Shop\\Products");
  EXPECT_EQ(browser.Post("/api/export").status, 200);

  // A node whose query fails: the zip is made, and its answer counts it.
  database_->Exec("INSERT INTO XNav VALUES (5, 'Broken', 'variable', 1, 'NoSuchProc', NULL, NULL, NULL);");
  Browser other = Open();
  const http::RawResponse counted = other.Post("/api/export");
  EXPECT_EQ(counted.status, 200);
  EXPECT_EQ(counted.Header("X-Zarel-Export"), "Exported 4 pages; pages that failed to compose: 1.");
}

// On SQLite the export reads a copy of the database's last committed state:
// its crawl, whose writes are rolled back, never takes the database's one
// write lock, so another program writing meanwhile holds up neither the
// export nor, the other way round, other users' writing pages.
TEST_F(ServeTest, AnExportOfASQLiteSiteNeitherTakesNorWaitsForTheWriteLock) {
  database_->Exec(
      "CREATE TABLE Visit (Seen INTEGER);"
      "INSERT INTO XProc VALUES ('CountVisit', 'INSERT INTO Visit VALUES (1)');"
      "INSERT INTO XWeb VALUES (3, 2, 2, NULL, 'CountVisit', NULL, 'execute', NULL, NULL);");
  ServeOptions options = Options();
  options.database.lock_timeout = 0.2;
  Start(options);
  Browser browser = Open();

  // Another program holds the write lock for the whole export.
  const std::string path = database_->ConnectionString().substr(std::string("sqlite:").size());
  sqlite3* raw = nullptr;
  ASSERT_EQ(sqlite3_open(path.c_str(), &raw), SQLITE_OK);
  const std::unique_ptr<sqlite3, int (*)(sqlite3*)> writer(raw, sqlite3_close_v2);
  ASSERT_EQ(sqlite3_exec(writer.get(), "BEGIN IMMEDIATE; INSERT INTO Visit VALUES (2);", nullptr, nullptr, nullptr),
            SQLITE_OK);
  const http::RawResponse answer = browser.Post("/api/export");
  ASSERT_EQ(answer.status, 200) << answer.body;
  EXPECT_EQ(answer.Header("X-Zarel-Export"), "Exported 4 pages.");
  EXPECT_NE(ReadZip(answer.body).at("pages/products.html").find("All products"), std::string::npos);
  ASSERT_EQ(sqlite3_exec(writer.get(), "COMMIT;", nullptr, nullptr, nullptr), SQLITE_OK);
  EXPECT_TRUE(NoExportLeft(server_->Sessions().WorkFolder()));

  // The database holds the other program's row and nothing of the export.
  int visits = -1;
  sqlite3_exec(
      writer.get(), "SELECT group_concat(Seen) = '2' FROM Visit",
      [](void* out, int, char** values, char**) {
        *static_cast<int*>(out) = values[0] ? std::stoi(values[0]) : 0;
        return 0;
      },
      &visits, nullptr);
  EXPECT_EQ(visits, 1);
}

// Exports hold a worker thread each: never all of them.
TEST(ExportGateTest, LeavesAThreadForClicks) {
  struct Case {
    int threads;
    int max_exports;
    int places;
  };
  for (const Case& c : std::vector<Case>{{4, 1, 1}, {4, 2, 2}, {4, 8, 3}, {2, 5, 1}, {1, 1, 0}}) {
    SCOPED_TRACE(std::to_string(c.threads) + " threads, max " + std::to_string(c.max_exports));
    ServeOptions options;
    options.threads = c.threads;
    options.limits.max_exports = c.max_exports;
    ExportGate gate(options);
    EXPECT_EQ(gate.Possible(), c.places > 0);
    for (int i = 0; i < c.places; ++i) EXPECT_TRUE(gate.Enter());
    EXPECT_FALSE(gate.Enter());
    if (c.places > 0) {
      gate.Leave();
      EXPECT_TRUE(gate.Enter());
    }
  }
}

TEST_F(ServeTest, ExportNeedsASecondThread) {
  ServeOptions options = Options();
  options.threads = 1;
  Start(options);
  Browser browser = Open();
  const http::RawResponse answer = browser.Post("/api/export");
  EXPECT_EQ(answer.status, 503);
  EXPECT_EQ(json::parse(answer.body),
            json({{"error", "Export needs a server with more than one thread (--threads 2 or more)."}}));
  EXPECT_EQ(browser.Post("/api/refresh").status, 200);
}

}  // namespace
}  // namespace zarel::serve
