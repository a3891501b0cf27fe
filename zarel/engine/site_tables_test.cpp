// Tests of site table loading: the application folder in file paths, empty
// and missing tables, and the front page.
#include <gtest/gtest.h>

#include "zarel/base/error.h"
#include "zarel/testing/engine_rig.h"

namespace zarel {
namespace {

using testing::EngineRig;
using testing::Insert;

std::string ErrorMessage(int number) {
  return "message: " + ErrorText("Error: ", RuntimeError(number));
}

TEST(SiteTablesTest, ApplicationFolderLeftAtItsInitialBlank) {
  testing::TempFolder site;
  auto database = testing::CreateSQLiteDatabase(site.Path());
  database->Run(testing::SalesSite());
  EngineRig rig(database->ConnectionString());
  rig.engine.ApplicationFolder(Variant(" "));
  rig.engine.Talking(true);
  rig.engine.RefreshBrowser();
  EXPECT_EQ(rig.host.Take(),
            std::vector<std::string>{"message: Error: 76, Path not found:  /fp.htm"});
  EXPECT_EQ(rig.browser->LocationPath(), " /fp.htm");
  rig.Click("Sales Site\\About");
  EXPECT_EQ(rig.host.Take(),
            std::vector<std::string>{"message: Error: 76, Path not found:  /oReport.htm"});
}

TEST(SiteTablesTest, EmptyAndMissingRows) {
  testing::TempFolder site;
  auto database = testing::CreateSQLiteDatabase(site.Path());
  database->Run(testing::SiteSchema());
  EngineRig rig(database->ConnectionString());
  const std::string front_page = rig.folder.PathOf("fp.htm");
  rig.engine.Talking(true);
  rig.engine.RefreshBrowser();
  // Each empty table fails where its rows are read; the root then finds no
  // rows; no XScr row 1 leaves the front page unwritten.
  const std::string no_record = ErrorMessage(errc::kNoCurrentRecord);
  EXPECT_EQ(rig.host.Take(), (std::vector<std::string>{no_record, no_record, no_record,
                                                       ErrorMessage(errc::kSubscriptOutOfRange)}));
  EXPECT_EQ(rig.Tree(), "Data Browser [key= tag=1\xC2\xBB" "fixed image=Net color=255 expanded selected]\n");
  EXPECT_FALSE(testing::FileExists(front_page));

  // Loaded rows survive a later load that fails.
  database->Run({Insert("XNav", "1, 'Site', 'fixed', 0, NULL, NULL, NULL, NULL"),
                 Insert("XNav", "2, 'Page', 'leaf', 1, NULL, NULL, NULL, NULL")});
  rig.engine.RefreshBrowser();
  rig.host.Take();
  database->Run({"DELETE FROM XNav"});
  rig.engine.RefreshBrowser();
  EXPECT_EQ(rig.host.Take(), (std::vector<std::string>{no_record, no_record, no_record}));
  EXPECT_EQ(rig.Node("Site")->Children(), 1);
}

}  // namespace
}  // namespace zarel
