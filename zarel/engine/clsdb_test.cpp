// Tests of the engine object: property writes that fail, the host's
// controls, RefreshBrowser, the tree event sink and the browser commands.
#include "zarel/engine/clsdb.h"

#include <gtest/gtest.h>

#include "zarel/base/error.h"
#include "zarel/testing/engine_rig.h"
#include "zarel/testing/files.h"

namespace zarel {
namespace {

using testing::EngineRig;

using testing::ErrorNumberOf;

class EngineObjectTest : public ::testing::Test {
 protected:
  EngineObjectTest() : database_(testing::CreateSQLiteDatabase(site_folder_.Path())) {
    database_->Run(testing::SalesSite());
  }

  testing::TempFolder site_folder_;
  std::unique_ptr<testing::SiteDatabase> database_;
};

TEST_F(EngineObjectTest, RefusedPropertyWritesKeepTheOldValue) {
  EngineRig rig(database_->ConnectionString());
  rig.engine.UserRole(Variant("5"));
  EXPECT_EQ(ErrorNumberOf([&] { rig.engine.UserRole(Variant("abc")); }), errc::kTypeMismatch);
  EXPECT_EQ(ErrorNumberOf([&] { rig.engine.UserRole(Variant(40000.0)); }), errc::kOverflow);
  EXPECT_EQ(ErrorNumberOf([&] { rig.engine.UserRole(Variant::Null()); }), errc::kInvalidUseOfNull);
  EXPECT_EQ(ErrorNumberOf([&] { rig.engine.Heading(Variant::Null()); }), errc::kInvalidUseOfNull);
  rig.engine.RefreshBrowser();
  rig.Click("Sales Site\\Secret");  // roles 2:5
  EXPECT_EQ(rig.Node("Sales Site\\Secret")->Children(), 1);
}

TEST_F(EngineObjectTest, RefreshBeforeSetControlsBuildsNothing) {
  testing::TempFolder folder;
  testing::RecordingHost host;
  clsDB engine(&host);
  engine.ConnectionString(database_->ConnectionString());
  engine.ActivePort(80);
  engine.ApplicationFolder(Variant(folder.Path()));
  engine.Talking(true);
  engine.RefreshBrowser();
  EXPECT_TRUE(host.Take().empty());
  EXPECT_TRUE(testing::FileExists(folder.PathOf("fp.htm")));  // the tables still load
  engine.SavePage();
  EXPECT_EQ(host.Take(), std::vector<std::string>{
                             "message: Save Command Error: " +
                             StandardDescription(errc::kObjectNotSet)});
  std::shared_ptr<TreeView> no_tree;
  std::shared_ptr<WebBrowser> no_browser;
  EXPECT_EQ(ErrorNumberOf([&] { engine.SetControls(no_tree, no_browser); }), errc::kObjectNotSet);
}

TEST_F(EngineObjectTest, EveryRefreshRebuildsTheTreeFromOneRoot) {
  EngineRig rig(database_->ConnectionString());
  rig.engine.RefreshBrowser();
  rig.Click("Sales Site\\Regions");
  database_->Run({"UPDATE XNav SET Caption = '' WHERE ID = 1"});
  rig.engine.RefreshBrowser();
  int top_level = 0;
  rig.tree->Walk([&](const TreeNodeRef&, int depth) {
    if (depth == 0) ++top_level;
  });
  EXPECT_EQ(top_level, 1);
  const TreeNodeRef root = rig.tree->Nodes().Item(1);
  EXPECT_EQ(root->Text(), "Data Browser");
  EXPECT_EQ(root->ForeColor(), 255);
  EXPECT_EQ(root->Image().ToText(), "Net");
  EXPECT_TRUE(root->Expanded());
  EXPECT_TRUE(root->Selected());
  EXPECT_EQ(root->Children(), 5);
  EXPECT_EQ(rig.tree->Nodes().Count(), 6);
}

TEST_F(EngineObjectTest, OnlyNodeClickOpensANode) {
  EngineRig rig(database_->ConnectionString());
  rig.engine.RefreshBrowser();
  TreeNodeRef regions = rig.Node("Sales Site\\Regions");
  regions->Selected(true);
  for (const char* name : {"nodeclick", "NODECLICK", "NodeCheck", "Expand"}) {
    std::vector<Variant> parameters{Variant(regions)};
    rig.tree->RaiseEvent(name, parameters);
  }
  EXPECT_EQ(regions->Children(), 0);
  EXPECT_TRUE(rig.host.Take().empty());
  // A click without its node reports that when talking.
  rig.engine.Talking(true);
  std::vector<Variant> none;
  rig.tree->RaiseEvent("NodeClick", none);
  EXPECT_EQ(rig.host.Take(), std::vector<std::string>{
                                 "message: " + ErrorText("Error: ", RuntimeError(errc::kObjectNotSet))});
}

TEST_F(EngineObjectTest, ControlsBoundAgainAndEnginesThatGo) {
  EngineRig rig(database_->ConnectionString());
  auto old_tree = rig.tree;
  std::shared_ptr<TreeView> other_tree = HeadlessTreeView::Create();
  std::shared_ptr<WebBrowser> browser = rig.browser;
  rig.engine.SetControls(other_tree, browser);
  EXPECT_EQ(other_tree->LabelEdit(), 1);
  // The tree view bound before no longer reaches the engine.
  TreeNodeRef lone = old_tree->Nodes().Add();
  lone->Tag("1\xC2\xBB" "fixed");
  old_tree->Click(lone);
  EXPECT_EQ(lone->Children(), 0);

  // An engine that goes unbinds its tree view.
  auto tree = HeadlessTreeView::Create();
  {
    testing::RecordingHost host;
    clsDB engine(&host);
    std::shared_ptr<TreeView> bound = tree;
    engine.SetControls(bound, browser);
  }
  TreeNodeRef node = tree->Nodes().Add();
  node->Tag("1\xC2\xBB" "fixed");
  tree->Click(node);
  EXPECT_EQ(node->Children(), 0);
}

TEST_F(EngineObjectTest, SavePrintAndPreview) {
  EngineRig rig(database_->ConnectionString());
  rig.engine.RefreshBrowser();
  rig.Click("Sales Site\\About");
  rig.host.Take();

  // Failures are reported whatever Talking says, and nothing is logged.
  rig.engine.SavePage();
  rig.engine.PrintPage();
  rig.engine.PreviewPage();
  EXPECT_EQ(rig.host.Take(),
            (std::vector<std::string>{
                "message: Save Command Error: Save as is not available: no save destination",
                "message: Print Command Error: Print is not available: no printer",
                "message: Preview Command Error: Print preview is not available: no printer"}));

  const std::string copy = rig.folder.PathOf("copy.htm");
  rig.browser->SaveDestination(copy);
  std::vector<std::string> printed;
  rig.browser->SetPrinter([&printed](std::int16_t command, const std::string& page) {
    printed.push_back(std::to_string(command) + " " + page);
  });
  rig.engine.SavePage();
  rig.engine.PrintPage();
  rig.engine.PreviewPage();
  EXPECT_EQ(rig.host.Take(), (std::vector<std::string>{"log: Save: Sales Site\\About",
                                                       "log: Print: Sales Site\\About",
                                                       "log: Preview: Sales Site\\About"}));
  EXPECT_EQ(testing::ReadFile(copy), rig.Page());
  const std::string page = rig.folder.PathOf("oReport.htm");
  EXPECT_EQ(printed, (std::vector<std::string>{"6 " + page, "7 " + page}));
}

}  // namespace
}  // namespace zarel
