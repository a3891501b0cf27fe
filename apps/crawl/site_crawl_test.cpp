// Tests of the site crawl over the engine tests' sales site, on SQLite and
// PostgreSQL: breadth-first order, what each opening reports, the bounds,
// failing components with the database layer's reason, and that nothing
// the site's procedures write during a crawl is kept.
#include "apps/crawl/site_crawl.h"

#include <gtest/gtest.h>

#include "zarel/testing/engine_rig.h"
#include "zarel/testing/files.h"

namespace zarel::crawl {
namespace {

using testing::Insert;

class Recorder : public CrawlObserver {
 public:
  void Visited(const VisitedNode& node) override { visits.push_back(node); }
  void Progress(std::size_t opened, std::size_t) override { last_progress = opened; }
  std::vector<VisitedNode> visits;
  std::size_t last_progress = 0;

  const VisitedNode& At(const std::string& path) const {
    for (const VisitedNode& visit : visits) {
      if (visit.path == path) return visit;
    }
    ADD_FAILURE() << "not visited: " << path;
    return visits.front();
  }
  std::vector<std::string> Paths() const {
    std::vector<std::string> paths;
    for (const VisitedNode& visit : visits) paths.push_back(visit.path);
    return paths;
  }
};

enum class Backend { kSQLite, kPostgreSQL };

class SiteCrawlTest : public ::testing::TestWithParam<Backend> {
 protected:
  void SetUp() override {
    if (GetParam() == Backend::kSQLite) {
      database_ = testing::CreateSQLiteDatabase(data_folder_.Path());
    } else {
      database_ = testing::CreatePostgresDatabase();
      if (!database_) {
        if (testing::PostgresRequired()) FAIL() << "ZAREL_REQUIRE_PG=1 but ZAREL_TEST_PG is unset";
        GTEST_SKIP() << "ZAREL_TEST_PG is unset";
      }
    }
  }

  CrawlSummary Crawl(Recorder& recorder, std::size_t max_nodes = 1000, std::size_t max_depth = 50) {
    CrawlOptions options;
    options.connection = database_->ConnectionString();
    options.folder = pages_.Path();
    options.max_nodes = max_nodes;
    options.max_depth = max_depth;
    return CrawlSite(options, recorder);
  }

  testing::TempFolder data_folder_;
  testing::TempFolder pages_;
  std::unique_ptr<testing::SiteDatabase> database_;
};

TEST_P(SiteCrawlTest, OpensEveryNodeBreadthFirstAndKeepsNothing) {
  database_->Run(testing::SalesSite());
  Recorder recorder;
  const CrawlSummary summary = Crawl(recorder);
  EXPECT_FALSE(summary.connection_failure);
  EXPECT_TRUE(summary.rolled_back);
  EXPECT_EQ(summary.lost, 0u);
  EXPECT_EQ(summary.left_unopened, 0u);
  EXPECT_EQ(recorder.Paths(), (std::vector<std::string>{
                                  "Sales Site",
                                  "Sales Site\\Regions", "Sales Site\\Staff", "Sales Site\\Secret",
                                  "Sales Site\\Other", "Sales Site\\About",
                                  "Sales Site\\Regions\\North", "Sales Site\\Regions\\O'Brien Land",
                                  "Sales Site\\Regions\\", "Sales Site\\Staff\\Ada",
                                  "Sales Site\\Staff\\Bob", "Sales Site\\Staff\\Hire",
                                  "Sales Site\\Staff\\Ada\\Cy", "Sales Site\\Staff\\Ada\\Plan",
                                  "Sales Site\\Staff\\Ada\\Review"}));
  EXPECT_EQ(summary.opened, 15u);
  EXPECT_EQ(recorder.last_progress, 15u);

  const VisitedNode& root = recorder.At("Sales Site");
  EXPECT_EQ(root.depth, 0u);
  EXPECT_EQ(root.tag, "1\xC2\xBB" "fixed");
  EXPECT_EQ(root.page, pages_.PathOf("fp.htm"));
  EXPECT_EQ(root.children, 5u);

  // A page of two "execute" components: their writes succeed during the
  // crawl and are rolled back after it.
  const VisitedNode& about = recorder.At("Sales Site\\About");
  EXPECT_TRUE(about.logged_view);
  EXPECT_EQ(about.page, pages_.PathOf("oReport.htm"));
  EXPECT_GT(about.page_bytes, 0u);
  ASSERT_EQ(about.components.size(), 2u);
  EXPECT_EQ(about.components[0].number, 80);
  EXPECT_EQ(about.components[0].query, "EXEC LogAbout");
  EXPECT_EQ(about.components[1].type, "executes");
  EXPECT_FALSE(about.components[0].failed);
  EXPECT_EQ(about.events.size(), 1u);
  EXPECT_TRUE(database_->Column("SELECT Entry FROM CallLog").empty());

  // A node the role may not open is visited, refused silently: no page.
  const VisitedNode& secret = recorder.At("Sales Site\\Secret");
  EXPECT_FALSE(secret.logged_view);
  EXPECT_TRUE(secret.page.empty());
  EXPECT_TRUE(secret.events.empty());
  EXPECT_EQ(secret.children, 0u);

  const VisitedNode& cy = recorder.At("Sales Site\\Staff\\Ada\\Cy");
  EXPECT_EQ(cy.depth, 3u);
  EXPECT_EQ(cy.route, (std::vector<std::size_t>{1, 0, 0}));
  EXPECT_EQ(cy.key.substr(0, 9), "102\xC2\xBBtree");
}

TEST_P(SiteCrawlTest, BoundsLeaveNodesUnopened) {
  database_->Run(testing::SalesSite());
  Recorder by_count;
  const CrawlSummary counted = Crawl(by_count, 4);
  EXPECT_EQ(counted.opened, 4u);
  EXPECT_EQ(by_count.Paths().back(), "Sales Site\\Secret");
  // Other and About; then the records under Regions and Staff.
  EXPECT_EQ(counted.left_unopened, 2u + 3u + 3u);

  Recorder by_depth;
  const CrawlSummary shallow = Crawl(by_depth, 1000, 1);
  EXPECT_EQ(shallow.opened, 6u);
  EXPECT_EQ(shallow.left_unopened, 6u);
}

// A failing component is marked, with the database layer's reason, and the
// reads after it still work (on PostgreSQL the failed statement would end
// the transaction without the crawl's savepoints).
TEST_P(SiteCrawlTest, FailingComponentsCarryTheReason) {
  std::vector<std::string> site = testing::SalesSite();
  site.push_back(Insert("XWeb", "79, 8, 0, 'Broken', 'NoSuchProcedure', NULL, 'header', NULL, NULL"));
  database_->Run(site);
  Recorder recorder;
  Crawl(recorder);
  const VisitedNode& about = recorder.At("Sales Site\\About");
  ASSERT_EQ(about.components.size(), 3u);
  EXPECT_TRUE(about.components[0].failed);
  EXPECT_FALSE(about.components[1].failed);
  EXPECT_FALSE(about.components[2].failed);
  ASSERT_GE(about.events.size(), 3u);
  EXPECT_EQ(about.events[0].text, "Unable to Access Data for the SQL : EXEC NoSuchProcedure");
  EXPECT_EQ(about.events[1].kind, CrawlEvent::Kind::kReason);
  EXPECT_EQ(about.events[1].text, "Could not find stored procedure 'NoSuchProcedure'.");
  EXPECT_EQ(about.events[1].component, std::optional<std::size_t>(0));
  EXPECT_EQ(about.events.back().text, "Sales Site\\About");
  EXPECT_EQ(recorder.visits.size(), 15u);
  EXPECT_TRUE(database_->Column("SELECT Entry FROM CallLog").empty());
}

TEST_P(SiteCrawlTest, ADatabaseThatCannotBeOpenedIsReported) {
  Recorder recorder;
  CrawlOptions options;
  options.connection = GetParam() == Backend::kSQLite
                           ? "sqlite:" + data_folder_.PathOf("missing.db")
                           : database_->ConnectionString() + "_missing";
  options.folder = pages_.Path();
  const CrawlSummary summary = CrawlSite(options, recorder);
  ASSERT_TRUE(summary.connection_failure);
  EXPECT_FALSE(summary.connection_failure->empty());
  EXPECT_TRUE(recorder.visits.empty());
}

INSTANTIATE_TEST_SUITE_P(Backends, SiteCrawlTest,
                         ::testing::Values(Backend::kSQLite, Backend::kPostgreSQL),
                         [](const auto& param_info) {
                           return param_info.param == Backend::kSQLite ? "SQLite" : "PostgreSQL";
                         });

}  // namespace
}  // namespace zarel::crawl
