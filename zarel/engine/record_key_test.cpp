// A record's key reaches its page's procedure through "lkey" as exactly one
// argument holding exactly the key, on SQLite and on PostgreSQL alike: keys
// with commas once split into several arguments, "1e400" arrived as 0, a
// 23-digit key lost its last digits and "O'Brien" made the call fail.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "zarel/db/database_driver.h"
#include "zarel/testing/databases.h"
#include "zarel/testing/engine_rig.h"

namespace zarel {
namespace {

using testing::Insert;

const char* const kKeys[] = {
    "17",    "-5",      "2.5",  "Smith", "1, 2", "1e400", "12345678901234567890123",
    "007",   "O'Brien", "NULL", "x'; DROP TABLE Items; --", " padded ",
};

// Keys: a variable node listing Items, each record a leaf whose one
// component echoes its first argument between brackets.
std::vector<std::string> KeySite() {
  std::vector<std::string> site = testing::SiteSchema();
  site.push_back("CREATE TABLE Items (Pos INTEGER, K VARCHAR(60), Caption VARCHAR(20))");
  const std::vector<std::string> rows = {
      Insert("XNav", "1, 'Keys', 'fixed', 0, NULL, NULL, NULL, NULL"),
      Insert("XNav", "2, 'Items', 'variable', 1, 'ListItems', NULL, NULL, NULL"),
      Insert("XNav", "3, 'Item', 'leaf', 2, NULL, NULL, NULL, NULL"),
      Insert("XWeb", "1, 3, 1, '', 'Echo', 'lkey', 'htmlinject', NULL, NULL"),
      Insert("XScr", "1, 'front', '<p>front</p>'"),
      Insert("XScr", "2, 'page', '<div>'"),
      Insert("XProc", "'ListItems', 'SELECT K, Caption FROM Items ORDER BY Pos'"),
      Insert("XProc", "'Echo', 'SELECT ''['' || ?1 || '']'' AS v'"),
  };
  site.insert(site.end(), rows.begin(), rows.end());
  int pos = 0;
  for (const char* key : kKeys) {
    std::string quoted;
    for (const char* at = key; *at != '\0'; ++at) quoted += *at == '\'' ? "''" : std::string(1, *at);
    ++pos;
    site.push_back(Insert("Items", std::to_string(pos) + ", '" + quoted + "', 'item" +
                                       std::to_string(pos) + "'"));
  }
  return site;
}

class RecordKeyTest : public ::testing::TestWithParam<Backend> {};

TEST_P(RecordKeyTest, LkeyPassesTheWholeKeyAsOneArgument) {
  testing::TempFolder folder;
  std::unique_ptr<testing::SiteDatabase> database =
      GetParam() == Backend::kSQLite ? testing::CreateSQLiteDatabase(folder.Path())
                                     : testing::CreatePostgresDatabase();
  if (!database) {
    if (testing::PostgresRequired()) FAIL() << "ZAREL_REQUIRE_PG=1 but ZAREL_TEST_PG is unset";
    GTEST_SKIP() << "ZAREL_TEST_PG is unset";
  }
  database->Run(KeySite());
  testing::EngineRig rig(database->ConnectionString());
  rig.engine.Talking(true);
  rig.engine.RefreshBrowser();
  rig.Click("Keys\\Items");
  rig.host.Take();
  int pos = 0;
  for (const char* key : kKeys) {
    ++pos;
    rig.Click("Keys\\Items\\item" + std::to_string(pos));
    EXPECT_EQ(rig.host.Take(),
              std::vector<std::string>{"log: View: Keys\\Items\\item" + std::to_string(pos)})
        << key;
    EXPECT_NE(rig.Page().find(std::string("[") + key + "]"), std::string::npos)
        << key << "\n" << rig.Page();
  }
  // The table is still there.
  EXPECT_EQ(database->Column("SELECT count(*) FROM Items"),
            std::vector<std::string>{std::to_string(pos)});
}

INSTANTIATE_TEST_SUITE_P(Backends, RecordKeyTest,
                         ::testing::Values(Backend::kSQLite, Backend::kPostgreSQL),
                         testing::BackendParamName());

}  // namespace
}  // namespace zarel
