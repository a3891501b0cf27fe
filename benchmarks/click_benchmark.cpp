// Click benchmark: the time of one click on a child of a variable node, for
// a node with 1,000 and with 10,000 record children.
//
// Each size gets its own SQLite site: a root, a variable node "Items" whose
// procedure lists N records, and the leaf row that shapes the records. The
// program refreshes the engine, opens "Items" (adding its N children), then
// clicks 100 of its children one after another. Every click prunes the
// clicked node's siblings (a walk over all N of them) and composes the
// child's page, so its cost must grow linearly with N: the ratio of the two
// times per click should stay at most 15 (quadratic growth would give
// about 100).
#include <sqlite3.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "zarel/engine/clsdb.h"
#include "zarel/hostkit/headless_browser.h"
#include "zarel/hostkit/headless_tree_view.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr int kClicks = 100;
constexpr int kRounds = 5;

// Counts the engine's messages; a benchmark run must have none.
class QuietHost : public zarel::clsDBEvents {
 public:
  void ProvideRecordset(const std::string&, std::shared_ptr<zarel::Recordset>&) override {}
  void ZarelMessage(const std::string& message) override {
    ++messages;
    std::fprintf(stderr, "message: %s\n", message.c_str());
  }
  void LogIt(const std::string&, const std::string&) override {}
  int messages = 0;
};

bool BuildSite(const std::string& path, int records) {
  sqlite3* db = nullptr;
  if (sqlite3_open(path.c_str(), &db) != SQLITE_OK) return false;
  std::string script =
      "CREATE TABLE XNav (ID INTEGER, Caption TEXT, Kind TEXT, ParentID INTEGER, ProcName TEXT, "
      "  Param TEXT, Image INTEGER, Roles TEXT);"
      "INSERT INTO XNav VALUES (1, 'Site', 'fixed', 0, NULL, NULL, NULL, NULL);"
      "INSERT INTO XNav VALUES (2, 'Items', 'variable', 1, 'ListItems', NULL, NULL, NULL);"
      "INSERT INTO XNav VALUES (3, 'Item', 'leaf', 2, NULL, NULL, NULL, NULL);"
      "INSERT INTO XNav VALUES (4, 'Other', 'x', 1, NULL, NULL, NULL, NULL);"
      "CREATE TABLE XWeb (CompID INTEGER, NodeID INTEGER, Pos INTEGER, Caption TEXT, "
      "  ProcName TEXT, Param TEXT, CompType TEXT, Opt1 TEXT, Opt2 TEXT);"
      "INSERT INTO XWeb VALUES (1, 9, 1, NULL, NULL, NULL, NULL, NULL, NULL);"
      "CREATE TABLE XScr (ID INTEGER, Name TEXT, Html TEXT);"
      "INSERT INTO XScr VALUES (1, 'front', '<html>front</html>');"
      "INSERT INTO XScr VALUES (2, 'page', '<html><body><div>');"
      "CREATE TABLE XProc (Name TEXT, Body TEXT);"
      "INSERT INTO XProc VALUES ('ListItems', 'SELECT ID, Name FROM Item ORDER BY ID');"
      "CREATE TABLE Item (ID INTEGER PRIMARY KEY, Name TEXT);"
      "BEGIN;";
  for (int id = 1; id <= records; ++id) {
    script += "INSERT INTO Item VALUES (" + std::to_string(id) + ", 'Item " + std::to_string(id) +
              "');";
  }
  script += "COMMIT;";
  const bool built = sqlite3_exec(db, script.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK;
  sqlite3_close(db);
  return built;
}

struct Figures {
  double open_ms = 1e300;     // opening the variable node (adding its children), best round
  double click_us = 1e300;    // per click, best round
  int messages = 0;
};

Figures Measure(const std::string& folder, int records) {
  Figures figures;
  const std::string database = folder + "/site" + std::to_string(records) + ".db";
  if (!BuildSite(database, records)) {
    std::fprintf(stderr, "cannot build %s\n", database.c_str());
    figures.messages = 1;
    return figures;
  }
  QuietHost host;
  zarel::clsDB engine(&host);
  auto tree = zarel::HeadlessTreeView::Create();
  auto browser = zarel::HeadlessBrowser::Create();
  std::shared_ptr<zarel::TreeView> tree_view = tree;
  std::shared_ptr<zarel::WebBrowser> web_browser = browser;
  engine.ActivePort(80);
  engine.ConnectionString("sqlite:" + database);
  engine.ApplicationFolder(zarel::Variant(folder));
  engine.SetControls(tree_view, web_browser);
  engine.RefreshBrowser();

  const zarel::TreeNodeRef items = tree->Nodes().Item(1)->Child();
  for (int round = 0; round < kRounds; ++round) {
    const auto opened = Clock::now();
    tree->Click(items);
    const auto clicking = Clock::now();
    const double open_ms = std::chrono::duration<double, std::milli>(clicking - opened).count();
    if (open_ms < figures.open_ms) figures.open_ms = open_ms;

    // 100 children spread over the whole level, each click pruning the
    // siblings of the one before.
    std::vector<zarel::TreeNodeRef> targets;
    int index = 0;
    const int step = records / kClicks;
    for (zarel::TreeNodeRef child = items->Child(); child; child = child->Next(), ++index) {
      if (index % step == 0) targets.push_back(child);
    }
    const auto started = Clock::now();
    for (const zarel::TreeNodeRef& target : targets) tree->Click(target);
    const auto finished = Clock::now();
    const double per_click =
        std::chrono::duration<double, std::micro>(finished - started).count() /
        static_cast<double>(targets.size());
    if (per_click < figures.click_us) figures.click_us = per_click;
    // Opening the sibling strips Items, so the next round opens it afresh.
    tree->Click(items->Next());
  }
  figures.messages = host.messages;
  return figures;
}

}  // namespace

int main() {
  std::string pattern = (fs::temp_directory_path() / "zarel-click-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) return 1;
  const std::string folder = pattern;

  const Figures small = Measure(folder, 1000);
  const Figures large = Measure(folder, 10000);
  fs::remove_all(folder);

  std::printf("click benchmark: %d clicks on children of a variable node, best of %d rounds\n",
              kClicks, kRounds);
  std::printf("  1,000 children:  open %.2f ms, %.1f us per click\n", small.open_ms,
              small.click_us);
  std::printf("  10,000 children: open %.2f ms, %.1f us per click\n", large.open_ms,
              large.click_us);
  const double ratio = large.click_us / small.click_us;
  std::printf("  ratio per click (10,000 / 1,000): %.2f (goal: at most 15)\n", ratio);
  if (small.messages + large.messages > 0) {
    std::printf("  the engine reported messages: the figures are not valid\n");
    return 1;
  }
  return ratio <= 15 ? 0 : 1;
}
