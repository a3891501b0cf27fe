// Tests of the navigation tree over a SQLite site: node kinds, tags, keys,
// images and colours, record children, pruning, roles and failures.
#include <gtest/gtest.h>

#include "zarel/base/clock.h"
#include "zarel/base/date_time.h"
#include "zarel/testing/engine_rig.h"

namespace zarel {
namespace {

using testing::EngineRig;
using testing::Insert;

class NavigationTreeTest : public testing::SiteTest {};

TEST_F(NavigationTreeTest, RefreshBuildsTheRootAndItsRowChildren) {
  EngineRig& rig = Open();
  EXPECT_EQ(rig.Tree(),
            "Sales Site [key= tag=1\xC2\xBB" "fixed image=Net color=255 expanded selected]\n"
            "  Regions [key=2\xC2\xBB" "fixed tag=2\xC2\xBBvariable image=3 color=16711680]\n"
            "  Staff [key=4\xC2\xBB" "fixed tag=4\xC2\xBBTree image=1 color=29952]\n"
            "  Secret [key=6\xC2\xBB" "fixed tag=6\xC2\xBB" "fixed image=1 color=255]\n"
            "  Other [key=7\xC2\xBB" "fixed tag=7\xC2\xBBx image=5 color=0]\n"
            "  About [key=8\xC2\xBB" "fixed tag=8\xC2\xBBl image=1 color=0]\n");
  EXPECT_TRUE(rig.host.Take().empty());
  EXPECT_EQ(rig.tree->LabelEdit(), 1);
  EXPECT_TRUE(rig.tree->Sorted());
  EXPECT_EQ(rig.browser->History(), std::vector<std::string>{rig.folder.PathOf("fp.htm")});
}

TEST_F(NavigationTreeTest, VariableLeafTreeAndLeafRowsGrowTheTree) {
  EngineRig& rig = Open();
  rig.Click("Sales Site\\Regions");
  rig.Click("Sales Site\\Regions\\O'Brien Land");
  EXPECT_EQ(rig.Tree(),
            "Sales Site [key= tag=1\xC2\xBB" "fixed image=Net color=255 expanded]\n"
            "  Regions [key=2\xC2\xBB" "fixed tag=2\xC2\xBBvariable image=3 color=16711680 expanded]\n"
            "    North [key=N\xC2\xBBvariable\xC2\xBB" "6 tag=3\xC2\xBBleaf image=4 color=0]\n"
            "    O'Brien Land [key=O'B\xC2\xBBvariable\xC2\xBB" "7 tag=3\xC2\xBBleaf image=4 color=0 selected]\n"
            "     [key=Z\xC2\xBBvariable\xC2\xBB" "8 tag=3\xC2\xBBleaf image=4 color=0]\n"
            "  Staff [key=4\xC2\xBB" "fixed tag=4\xC2\xBBTree image=1 color=29952]\n"
            "  Secret [key=6\xC2\xBB" "fixed tag=6\xC2\xBB" "fixed image=1 color=255]\n"
            "  Other [key=7\xC2\xBB" "fixed tag=7\xC2\xBBx image=5 color=0]\n"
            "  About [key=8\xC2\xBB" "fixed tag=8\xC2\xBBl image=1 color=0]\n");
  // The text and the key of the selected record reach the procedures, each
  // apostrophe doubled; components without a procedure are skipped.
  EXPECT_EQ(database_->Column("SELECT Entry FROM CallLog"),
            (std::vector<std::string>{"O'Brien Land", "O'B"}));
  EXPECT_EQ(rig.host.Take(), (std::vector<std::string>{
                                 "log: View: Sales Site\\Regions",
                                 "log: View: Sales Site\\Regions\\O'Brien Land"}));

  // A tree node: the records of its procedure, then those of its leaf row.
  rig.Click("Sales Site\\Staff");
  rig.Click("Sales Site\\Staff\\Ada");
  rig.Click("Sales Site\\Staff\\Ada\\Review");
  EXPECT_EQ(rig.Tree(),
            "Sales Site [key= tag=1\xC2\xBB" "fixed image=Net color=255 expanded]\n"
            "  Regions [key=2\xC2\xBB" "fixed tag=2\xC2\xBBvariable image=3 color=16711680 expanded]\n"
            "  Staff [key=4\xC2\xBB" "fixed tag=4\xC2\xBBTree image=1 color=29952 expanded]\n"
            "    Ada [key=100\xC2\xBBtree\xC2\xBB" "6 tag=4\xC2\xBBTree image=1 color=29952 expanded]\n"
            "      Cy [key=102\xC2\xBBtree\xC2\xBB" "9 tag=4\xC2\xBBTree image=1 color=29952]\n"
            "      Plan [key=1\xC2\xBBtreeleaf\xC2\xBB" "10 tag=5\xC2\xBBleaf image=6 color=0]\n"
            "      Review [key=2\xC2\xBBtreeleaf\xC2\xBB" "11 tag=5\xC2\xBBleaf image=6 color=0 selected]\n"
            "    Bob [key=101\xC2\xBBtree\xC2\xBB" "7 tag=4\xC2\xBBTree image=1 color=29952]\n"
            "    Hire [key=3\xC2\xBBtreeleaf\xC2\xBB" "8 tag=5\xC2\xBBleaf image=6 color=0]\n"
            "  Secret [key=6\xC2\xBB" "fixed tag=6\xC2\xBB" "fixed image=1 color=255]\n"
            "  Other [key=7\xC2\xBB" "fixed tag=7\xC2\xBBx image=5 color=0]\n"
            "  About [key=8\xC2\xBB" "fixed tag=8\xC2\xBBl image=1 color=0]\n");
  EXPECT_EQ(database_->Column("SELECT Entry FROM CallLog WHERE Entry = '2'"),
            std::vector<std::string>{"2"});
  EXPECT_EQ(rig.host.Take(), (std::vector<std::string>{
                                 "log: View: Sales Site\\Staff",
                                 "log: View: Sales Site\\Staff\\Ada",
                                 "log: View: Sales Site\\Staff\\Ada\\Review"}));
}

TEST_F(NavigationTreeTest, OpeningPrunesSiblingsAndReopeningQueriesAgain) {
  EngineRig& rig = Open();
  rig.Click("Sales Site\\Regions");
  rig.Click("Sales Site\\Regions");  // a second click adds nothing
  EXPECT_EQ(rig.tree->Nodes().Count(), 9);
  rig.Click("Sales Site\\Staff");
  EXPECT_EQ(rig.Node("Sales Site\\Regions")->Children(), 0);
  EXPECT_EQ(rig.Node("Sales Site\\Staff")->Children(), 3);
  rig.Click("Sales Site\\Regions");
  EXPECT_EQ(rig.Node("Sales Site\\Staff")->Children(), 0);
  EXPECT_EQ(rig.Node("Sales Site\\Regions")->Children(), 3);
  EXPECT_EQ(rig.Node("Sales Site\\Regions")->Child()->Key(),
            "N\xC2\xBBvariable\xC2\xBB" "6");
  // Opening a deeper node strips only its own level.
  rig.Click("Sales Site\\Regions\\North");
  EXPECT_EQ(rig.Node("Sales Site\\Regions")->Children(), 3);
  // Kind "x" only prunes and scrolls into view.
  rig.host.Take();
  rig.Click("Sales Site\\Other");
  EXPECT_EQ(rig.Node("Sales Site\\Regions")->Children(), 0);
  EXPECT_TRUE(rig.host.Take().empty());
}

TEST_F(NavigationTreeTest, RoleListsDecideWhoOpensANode) {
  EngineRig& rig = Open();
  rig.Click("Sales Site\\Regions");
  rig.Node("Sales Site")->Expanded(false);
  rig.host.Take();
  // Role 0 is not in 2:5: the click only strips the siblings.
  rig.Click("Sales Site\\Secret");
  EXPECT_EQ(rig.Node("Sales Site\\Regions")->Children(), 0);
  EXPECT_EQ(rig.Node("Sales Site\\Secret")->Children(), 0);
  EXPECT_FALSE(rig.Node("Sales Site\\Secret")->Expanded());
  EXPECT_FALSE(rig.Node("Sales Site")->Expanded());  // not scrolled into view
  EXPECT_TRUE(rig.host.Take().empty());
  EXPECT_TRUE(database_->Column("SELECT Entry FROM CallLog").empty());

  rig.engine.UserRole(Variant(" 5 "));
  rig.Click("Sales Site\\Secret");
  EXPECT_EQ(rig.Node("Sales Site\\Secret")->Children(), 1);
  EXPECT_TRUE(rig.Node("Sales Site")->Expanded());
  EXPECT_EQ(rig.Node("Sales Site\\Secret\\Vault")->Tag(), "9\xC2\xBBleaf");
  EXPECT_EQ(rig.host.Take(), std::vector<std::string>{"log: View: Sales Site\\Secret"});
  EXPECT_EQ(database_->Column("SELECT Entry FROM CallLog"), std::vector<std::string>{"Secret"});
}

TEST_F(NavigationTreeTest, RowShapesImagesAndKindTexts) {
  std::vector<std::string> site = testing::SiteSchema();
  const std::vector<std::string> rows = {
      Insert("XNav", "1, NULL, 'fixed', 0, NULL, NULL, NULL, NULL"),
      Insert("XNav", "2, 'Plain', 'Fixed', 1, NULL, NULL, 0, NULL"),
      Insert("XNav", "3, 'Loose', 'variable', 1, 'Numbers', NULL, 5, ''"),
      Insert("XNav", "4, 'Deep', 'treeleaf', 1, 'Numbers', NULL, NULL, NULL"),
      Insert("XNav", "5, 'Bare', 'leaf', 4, NULL, NULL, NULL, NULL"),
      Insert("XScr", "1, 'front', 'F'"),
      Insert("XScr", "2, 'page', 'P'"),
      Insert("XProc", "'Numbers', 'SELECT 7, ''seven'' UNION ALL SELECT NULL, NULL'"),
  };
  site.insert(site.end(), rows.begin(), rows.end());
  EngineRig& rig = Open(site);
  rig.Click("Data Browser\\Loose");
  rig.Click("Data Browser\\Deep");
  // A variable row with no row beneath it makes untemplated children: tag
  // "0»", image 1, black. A Null key field adds nothing to the key, a Null
  // text gives an empty text. "treeleaf" is a tree kind (first letter); its
  // leaf row without a procedure adds nothing.
  EXPECT_EQ(rig.Tree(),
            "Data Browser [key= tag=1\xC2\xBB" "fixed image=Net color=255 expanded]\n"
            "  Plain [key=2\xC2\xBB" "fixed tag=2\xC2\xBB" "Fixed image=1 color=255]\n"
            "  Loose [key=3\xC2\xBB" "fixed tag=3\xC2\xBBvariable image=5 color=16711680 expanded]\n"
            "  Deep [key=4\xC2\xBB" "fixed tag=4\xC2\xBBtreeleaf image=1 color=29952 expanded selected]\n"
            "    seven [key=7\xC2\xBBtree\xC2\xBB" "4 tag=4\xC2\xBBtreeleaf image=1 color=29952]\n"
            "     [key=\xC2\xBBtree\xC2\xBB" "5 tag=4\xC2\xBBtreeleaf image=1 color=29952]\n");
  rig.Click("Data Browser\\Loose");
  rig.Click("Data Browser\\Loose\\seven");
  EXPECT_EQ(rig.Node("Data Browser\\Loose\\seven")->Tag(), "0\xC2\xBB");
  EXPECT_EQ(rig.Node("Data Browser\\Loose\\seven")->Image().ToInteger(), 1);
  EXPECT_EQ(rig.Node("Data Browser\\Loose\\seven")->ForeColor(), 0);
}

TEST_F(NavigationTreeTest, FailuresStopTheOpeningAndAreReported) {
  std::vector<std::string> site = testing::SalesSite();
  site.push_back("DROP TABLE Region");
  // Two rows of one ID under the root make a duplicate key.
  site.push_back(Insert("XNav", "8, 'Twin', 'fixed', 1, NULL, NULL, NULL, NULL"));
  EngineRig& rig = Open(site);
  // Talking false: the failed query is reported all the same, the rest not.
  EXPECT_TRUE(rig.host.Take().empty());
  EXPECT_EQ(rig.Node("Sales Site")->Children(), 5);
  rig.engine.Talking(true);
  rig.engine.RefreshBrowser();
  EXPECT_EQ(rig.host.Take(),
            std::vector<std::string>{"message: Error: 35602, Key is not unique in collection"});

  rig.engine.Talking(false);
  rig.Click("Sales Site\\Regions");
  EXPECT_EQ(rig.host.Take(), std::vector<std::string>{"message: Error Reading Data From Database"});
  EXPECT_FALSE(rig.Node("Sales Site\\Regions")->Expanded());

  rig.engine.Talking(true);
  rig.Click("Sales Site\\Regions");
  EXPECT_EQ(rig.host.Take(), (std::vector<std::string>{
                                 "message: Unable to Access Data for the SQL : EXEC ListRegions",
                                 "message: Error Reading Data From Database"}));

  // A tag whose ID has no row refuses the node: nothing opens, nothing is
  // composed.
  TreeNodeRef stray = rig.tree->Nodes().Add(rig.Node("Sales Site\\Other"), kTreeChild, "s",
                                           "Stray", Variant());
  stray->Tag("12\xC2\xBB" "fixed");
  rig.tree->Click(stray);
  EXPECT_EQ(rig.host.Take(),
            std::vector<std::string>{"message: Error: 9, No XNav row has the ID 12"});
  stray->Tag("no separator");
  rig.tree->Click(stray);
  stray->Tag("40000\xC2\xBB" "fixed");
  rig.tree->Click(stray);
  EXPECT_EQ(rig.host.Take(), (std::vector<std::string>{
                                 "message: Error: 9, Subscript out of range",
                                 "message: Error: 6, Overflow"}));
}

// A child row whose kind is Null fails the opening of a fixed node after its
// node was added: it stays in the tree, without a tag; the nodes added
// before it stay too, the rows after it are not listed, nothing is composed.
TEST_F(NavigationTreeTest, NullKindOfAFixedChildFailsAfterItsNodeWasAdded) {
  std::vector<std::string> site = testing::SalesSite();
  site.push_back("UPDATE XNav SET Kind = NULL WHERE ID = 6");
  EngineRig& rig = Open(site);
  EXPECT_EQ(rig.Tree(),
            "Sales Site [key= tag=1\xC2\xBB" "fixed image=Net color=255 expanded selected]\n"
            "  Regions [key=2\xC2\xBB" "fixed tag=2\xC2\xBBvariable image=3 color=16711680]\n"
            "  Staff [key=4\xC2\xBB" "fixed tag=4\xC2\xBBTree image=1 color=29952]\n"
            "  Secret [key=6\xC2\xBB" "fixed tag= image=1 color=0]\n");
  rig.engine.Talking(true);
  rig.engine.RefreshBrowser();
  EXPECT_EQ(rig.host.Take(), std::vector<std::string>{"message: Error: 94, Invalid use of Null"});
  // The stray node has no tag to open.
  rig.Click("Sales Site\\Secret");
  EXPECT_EQ(rig.host.Take(), std::vector<std::string>{"message: Error: 9, Subscript out of range"});
}

}  // namespace
}  // namespace zarel
