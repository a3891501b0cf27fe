// Backend click benchmark: the same clicks through the demo site on SQLite
// and on PostgreSQL, in one run.
//
//   backend_click_benchmark --connection CONNECTION [--rounds N]
//
// CONNECTION names an empty PostgreSQL database; the program places the demo
// site into it (zarel demo --connection) and into a SQLite file of its own,
// then clicks every node of the site, depth first (168 clicks, each opening
// the node and composing its page), on each backend in turn, N rounds each
// (5 by default), alternating the backends. It prints the median time per
// click on each backend and their ratio (goal: PostgreSQL at most 3 times
// SQLite), and how many database links each backend opened per 100 clicks
// (goal: at most the pool size). A last, shorter round on each backend with
// pooling off (every connection opening its own link, as before the pool)
// shows what the pool saves.
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "apps/demo/demo_command.h"
#include "zarel/base/clock.h"
#include "zarel/base/date_time.h"
#include "zarel/db/database_settings.h"
#include "zarel/engine/clsdb.h"
#include "zarel/hostkit/headless_browser.h"
#include "zarel/hostkit/headless_tree_view.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// Counts the engine's messages; a benchmark run must have none.
class QuietHost : public zarel::clsDBEvents {
 public:
  void ProvideRecordset(const std::string&, std::shared_ptr<zarel::Recordset>&) override {}
  void ZarelMessage(const std::string& message) override {
    if (messages++ == 0) std::fprintf(stderr, "message: %s\n", message.c_str());
  }
  void LogIt(const std::string&, const std::string&) override {}
  int messages = 0;
};

struct Round {
  double ms_per_click = 0;
  double links_per_100 = 0;
  int clicks = 0;
  int messages = 0;
};

// One round: a fresh engine on the site, refreshed, then every node clicked
// depth first, at most limit clicks.
Round Crawl(const zarel::DemoSite& site, int limit) {
  QuietHost host;
  zarel::clsDB engine(&host);
  auto tree = zarel::HeadlessTreeView::Create();
  auto browser = zarel::HeadlessBrowser::Create();
  std::shared_ptr<zarel::TreeView> tree_view = tree;
  std::shared_ptr<zarel::WebBrowser> web_browser = browser;
  engine.ActivePort(80);
  engine.ConnectionString(site.connection);
  engine.ApplicationFolder(zarel::Variant(site.application_folder));
  engine.Talking(true);
  engine.UserRole(zarel::Variant(std::string("1")));
  engine.SetControls(tree_view, web_browser);
  engine.RefreshBrowser();

  Round round;
  const std::int64_t opened = zarel::CountDatabaseLinks().opened;
  const auto started = Clock::now();
  std::function<void(const zarel::TreeNodeRef&)> visit = [&](const zarel::TreeNodeRef& node) {
    if (round.clicks >= limit) return;
    tree->Click(node);
    ++round.clicks;
    std::vector<zarel::TreeNodeRef> children;
    for (zarel::TreeNodeRef child = node->Children() > 0 ? node->Child() : zarel::TreeNodeRef(); child;
         child = child->Next()) {
      children.push_back(child);
    }
    for (const zarel::TreeNodeRef& child : children) visit(child);
  };
  visit(tree->Nodes().Item(1));
  const double ms = std::chrono::duration<double, std::milli>(Clock::now() - started).count();
  round.ms_per_click = ms / round.clicks;
  round.links_per_100 =
      100.0 * static_cast<double>(zarel::CountDatabaseLinks().opened - opened) / round.clicks;
  round.messages = host.messages;
  return round;
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values.empty() ? 0 : values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  std::string connection;
  int rounds = 5;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--connection") == 0 && i + 1 < argc) {
      connection = argv[++i];
    } else if (std::strcmp(argv[i], "--rounds") == 0 && i + 1 < argc) {
      rounds = std::max(1, std::atoi(argv[++i]));
    } else {
      std::fprintf(stderr, "usage: backend_click_benchmark --connection POSTGRESQL [--rounds N]\n");
      return 2;
    }
  }
  if (connection.empty()) {
    std::fprintf(stderr, "backend_click_benchmark: --connection names an empty PostgreSQL database\n");
    return 2;
  }

  std::string pattern = (fs::temp_directory_path() / "zarel-backends-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) return 1;
  const std::string folder = pattern;
  zarel::FixedClock clock(zarel::MakeDate(zarel::DateParts{2026, 12, 5, 14, 5, 9}));
  zarel::DemoSite sqlite, postgres;
  try {
    sqlite = zarel::CreateDemoSite(folder + "/sqlite");
    postgres = zarel::CreateDemoSite(folder + "/postgres", connection);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "backend_click_benchmark: %s\n", error.what());
    fs::remove_all(folder);
    return 1;
  }

  const zarel::DatabaseSettings pooled = zarel::CurrentDatabaseSettings();
  std::vector<double> sqlite_ms, postgres_ms, sqlite_links, postgres_links;
  int clicks = 0, messages = 0;
  for (int round = 0; round < rounds; ++round) {
    for (const bool on_postgres : {false, true}) {
      const Round measured = Crawl(on_postgres ? postgres : sqlite, 1 << 30);
      (on_postgres ? postgres_ms : sqlite_ms).push_back(measured.ms_per_click);
      (on_postgres ? postgres_links : sqlite_links).push_back(measured.links_per_100);
      clicks = measured.clicks;
      messages += measured.messages;
    }
  }
  // Pooling off: every connection opens and closes its own link.
  zarel::DatabaseSettings unpooled = pooled;
  unpooled.pool_size = 0;
  zarel::ApplyDatabaseSettings(unpooled);
  const Round sqlite_off = Crawl(sqlite, 40);
  const Round postgres_off = Crawl(postgres, 40);
  messages += sqlite_off.messages + postgres_off.messages;
  zarel::ApplyDatabaseSettings(pooled);
  fs::remove_all(folder);

  const double ratio = Median(postgres_ms) / Median(sqlite_ms);
  const double links = std::max(Median(sqlite_links), Median(postgres_links));
  std::printf("backend click benchmark: %d clicks through the demo site, median of %d alternating rounds\n",
              clicks, rounds);
  std::printf("  %-28s %12s %12s\n", "", "SQLite", "PostgreSQL");
  std::printf("  %-28s %12.2f %12.2f\n", "ms per click, pooled", Median(sqlite_ms), Median(postgres_ms));
  std::printf("  %-28s %12.1f %12.1f\n", "links opened per 100 clicks", Median(sqlite_links),
              Median(postgres_links));
  std::printf("  %-28s %12.2f %12.2f\n", "ms per click, pool off", sqlite_off.ms_per_click,
              postgres_off.ms_per_click);
  std::printf("  %-28s %12.1f %12.1f\n", "links per 100, pool off", sqlite_off.links_per_100,
              postgres_off.links_per_100);
  std::printf("  PostgreSQL / SQLite per click: %.2f (goal: at most 3) %s\n", ratio, ratio <= 3 ? "met" : "NOT MET");
  std::printf("  links opened per 100 clicks: %.1f (goal: at most the pool size, %d) %s\n", links,
              pooled.pool_size, links <= pooled.pool_size ? "met" : "NOT MET");
  std::printf("  pool off, PostgreSQL / SQLite per click: %.2f\n",
              postgres_off.ms_per_click / sqlite_off.ms_per_click);
  if (messages > 0) {
    std::printf("  the engine reported %d messages: the figures are not valid\n", messages);
    return 1;
  }
  return ratio <= 3 && links <= pooled.pool_size ? 0 : 1;
}
