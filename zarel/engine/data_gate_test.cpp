// Tests of the data gate: the port test, the data access modes, and the
// owner's answers to ProvideRecordset, as the site loading sees them.
#include <gtest/gtest.h>

#include "zarel/base/error.h"
#include "zarel/testing/engine_rig.h"

namespace zarel {
namespace {

using testing::EngineRig;

std::string ErrorMessage(int number) {
  return "message: " + ErrorText("Error: ", RuntimeError(number));
}

const std::string kNotSet = ErrorMessage(errc::kObjectNotSet);
const std::string kReadFailure = "message: Error Reading Data From Database";

using testing::HostSiteAnswer;

TEST(DataGateTest, NewEngineReportsItsPortAndMode) {
  testing::RecordingHost host;
  clsDB engine(&host);
  EXPECT_EQ(engine.ActivePort(), 0);
  EXPECT_EQ(engine.DAMode(), 1);
  engine.ActivePort(80);
  engine.DAMode(7);
  EXPECT_EQ(engine.ActivePort(), 80);
  EXPECT_EQ(engine.DAMode(), 7);
}

TEST(DataGateTest, PortOtherThan80RefusesEveryQueryWithOneMessage) {
  testing::TempFolder site;
  auto database = testing::CreateSQLiteDatabase(site.Path());
  database->Run(testing::SalesSite());
  EngineRig rig(database->ConnectionString());
  rig.engine.ActivePort(0);
  rig.engine.Talking(true);
  rig.engine.RefreshBrowser();
  const std::string refused = "message: Please set ActivePort to 80";
  EXPECT_EQ(rig.host.Take(), (std::vector<std::string>{
                                 refused, kReadFailure, kNotSet,   // XNav
                                 refused, kReadFailure, kNotSet,   // XWeb
                                 refused, kReadFailure, kNotSet,   // XScr row 1 ends its loader
                                 ErrorMessage(errc::kSubscriptOutOfRange),  // no rows for the root
                             }));
  rig.engine.Talking(false);
  rig.engine.RefreshBrowser();
  EXPECT_EQ(rig.host.Take(),
            (std::vector<std::string>{kReadFailure, kReadFailure, kReadFailure}));
}

TEST(DataGateTest, UnknownModeGetsNoData) {
  EngineRig rig("sqlite:/nonexistent/site.db");
  rig.engine.DAMode(3);
  rig.engine.Talking(true);
  rig.engine.RefreshBrowser();
  const std::vector<std::string> events = rig.host.Take();
  ASSERT_GE(events.size(), 2u);
  EXPECT_EQ(events[0], "message: Unable to Access Data for the SQL : SELECT * FROM XNav");
  EXPECT_EQ(events[1], kReadFailure);
}

TEST(DataGateTest, HostThatAssignsNothingGetsAFailedQuery) {
  EngineRig rig("unused");
  rig.engine.DAMode(2);
  rig.engine.Talking(true);
  // XNav is answered, XWeb is not: the web rows must not be read from the
  // XNav recordset left in the engine's variable.
  rig.host.provide = [](const std::string& sql, std::shared_ptr<Recordset>& rs) {
    if (sql != "SELECT * FROM XWeb") rs = HostSiteAnswer(sql);
  };
  rig.engine.RefreshBrowser();
  EXPECT_EQ(rig.host.Take(), (std::vector<std::string>{
                                 "provide: SELECT * FROM XNav",
                                 "provide: SELECT * FROM XWeb",
                                 "message: Unable to Access Data for the SQL : SELECT * FROM XWeb",
                                 kReadFailure,
                                 kNotSet,
                                 "provide: SELECT * FROM XScr WHERE (ID=1)",
                                 "provide: SELECT * FROM XScr WHERE (ID=2)",
                             }));
  // The component rows were never loaded: the page ends after its header.
  rig.Click("Host Site\\Page");
  EXPECT_EQ(rig.host.Take(), std::vector<std::string>{"message: Error: 9, Subscript out of range"});
}

TEST(DataGateTest, HostAnswersEveryQuery) {
  EngineRig rig("unused");
  rig.engine.DAMode(2);
  rig.engine.Talking(true);
  rig.host.provide = [](const std::string& sql, std::shared_ptr<Recordset>& rs) {
    rs = HostSiteAnswer(sql);
  };
  rig.engine.RefreshBrowser();
  rig.Click("Host Site\\Page");
  EXPECT_EQ(rig.host.Take(), (std::vector<std::string>{
                                 "provide: SELECT * FROM XNav",
                                 "provide: SELECT * FROM XWeb",
                                 "provide: SELECT * FROM XScr WHERE (ID=1)",
                                 "provide: SELECT * FROM XScr WHERE (ID=2)",
                                 "provide: EXEC Work 2",
                                 "log: View: Host Site\\Page",
                             }));
  EXPECT_EQ(testing::ReadFile(rig.folder.PathOf("fp.htm")), "<p>host</p>\r\n");

  // A handler that fails hands its failure to the operation that asked.
  rig.host.provide = [](const std::string&, std::shared_ptr<Recordset>&) {
    Raise(errc::kInvalidProcedureCall, "The host refused");
  };
  rig.Click("Host Site\\Page");
  EXPECT_EQ(rig.host.Take(), (std::vector<std::string>{"provide: EXEC Work 2",
                                                       "message: Error: 5, The host refused"}));
}

}  // namespace
}  // namespace zarel
