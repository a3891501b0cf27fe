// The same site on SQLite and on PostgreSQL gives the same trees, events,
// pages and procedure calls.
#include <gtest/gtest.h>

#include "zarel/base/clock.h"
#include "zarel/base/date_time.h"
#include "zarel/testing/engine_rig.h"

namespace zarel {
namespace {

// Opens every kind of node of the sales site and writes down what the
// engine did: events, the tree, each page, and the procedures' log.
std::string Walkthrough(testing::SiteDatabase& database) {
  FixedClock clock(MakeDate({2026, 12, 5, 14, 5, 9}));
  database.Run(testing::SalesSite());
  testing::EngineRig rig(database.ConnectionString());
  rig.engine.Talking(true);
  rig.engine.DisplayPath(true);
  rig.engine.UserRole(Variant("2"));
  rig.engine.Heading(Variant("Sales"));
  rig.engine.RefreshBrowser();
  std::string transcript;
  for (const char* path :
       {"Sales Site\\Regions", "Sales Site\\Regions\\O'Brien Land", "Sales Site\\Regions\\North",
        "Sales Site\\Staff", "Sales Site\\Staff\\Ada", "Sales Site\\Staff\\Ada\\Plan",
        "Sales Site\\Secret", "Sales Site\\Secret\\Vault", "Sales Site\\About"}) {
    rig.Click(path);
    transcript += std::string("== ") + path + "\n";
    for (const std::string& event : rig.host.Take()) transcript += event + "\n";
    transcript += rig.Page();
  }
  transcript += rig.Tree();
  for (const std::string& entry : database.Column("SELECT Entry FROM CallLog")) {
    transcript += entry + "\n";
  }
  // Folder names differ between the runs.
  std::string without_folder;
  const std::string folder = rig.folder.Path();
  for (std::size_t at = 0; at < transcript.size();) {
    if (transcript.compare(at, folder.size(), folder) == 0) {
      without_folder += "FOLDER";
      at += folder.size();
    } else {
      without_folder += transcript[at++];
    }
  }
  return without_folder;
}

TEST(PostgresSiteTest, SameSiteSamePages) {
  auto postgres = testing::CreatePostgresDatabase();
  if (!postgres) {
    if (testing::PostgresRequired()) FAIL() << "ZAREL_REQUIRE_PG=1 but ZAREL_TEST_PG is unset";
    GTEST_SKIP() << "ZAREL_TEST_PG is unset";
  }
  testing::TempFolder folder;
  auto sqlite = testing::CreateSQLiteDatabase(folder.Path());
  const std::string expected = Walkthrough(*sqlite);
  EXPECT_NE(expected.find("log: View: Sales Site\\Secret\\Vault"), std::string::npos);
  EXPECT_EQ(expected.find("message:"), std::string::npos) << expected;
  EXPECT_EQ(Walkthrough(*postgres), expected);
}

}  // namespace
}  // namespace zarel
