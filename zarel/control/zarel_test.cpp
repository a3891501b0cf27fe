// Tests of the Zarel control: persistence of ActivePort with the form, the
// design-time-only property at run time, forwarding to the one engine, and
// the engine's events reaching the host (with the host's recordset reaching
// the engine).
#include "zarel/control/zarel.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "zarel/base/error.h"
#include "zarel/hostkit/saved_form.h"
#include "zarel/testing/control_rig.h"

namespace zarel {
namespace {

using testing::ControlRig;
using testing::ErrorNumberOf;
using Mode = ControlContainer::Mode;

constexpr const char* kForm80 = "ZarelForm 1\nBegin Zarel Zarel1\n  ActivePort = 80\nEnd\n";
constexpr const char* kFormWithoutPort = "ZarelForm 1\nBegin Zarel Zarel1\nEnd\n";
const std::string kRefused = "message: Please set ActivePort to 80";
const std::string kSalesTree =
    "Sales Site\n  Regions\n  Staff\n  Secret\n  Other\n  About\n";

std::size_t CountOf(const std::vector<std::string>& events, const std::string& event) {
  return static_cast<std::size_t>(std::count(events.begin(), events.end(), event));
}

// Refreshes the site and opens Regions: what a working control shows.
void OpenRegions(ControlRig& rig) {
  rig.control->RefreshBrowser();
  ASSERT_TRUE(rig.Click("Sales Site\\Regions")) << rig.Tree();
}

TEST(ZarelTest, FreshControlPersists80AndReloadsWithIt) {
  ControlRig design(Mode::kDesign);
  EXPECT_FALSE(design.form.Modified());
  design.Place();
  EXPECT_TRUE(design.form.Modified());
  EXPECT_EQ(design.control->ActivePort(), 80);
  EXPECT_EQ(design.control->ClassName(), "Zarel");
  const std::string saved = FormatSavedForm(design.form.Save());
  EXPECT_EQ(saved, kForm80);

  // Reloaded at run time the engine has 80: the site opens.
  ControlRig run(Mode::kRun);
  run.Load(saved);
  run.control->Talking(true);
  OpenRegions(run);
  const std::vector<std::string> events = run.host.Take();
  EXPECT_EQ(CountOf(events, kRefused), 0u);
  EXPECT_EQ(CountOf(events, "log: View: Sales Site\\Regions"), 1u);
  EXPECT_EQ(run.Tree().rfind("Sales Site\n", 0), 0u);

  // Reloaded at design time it reads back 80 and saves the same text.
  ControlRig again(Mode::kDesign);
  again.Load(saved);
  EXPECT_FALSE(again.form.Modified());
  EXPECT_EQ(again.control->ActivePort(), 80);
  EXPECT_EQ(FormatSavedForm(again.form.Save()), kForm80);
}

TEST(ZarelTest, FormWithoutPortLoads0AndEveryQueryIsRefused) {
  ControlRig design(Mode::kDesign);
  design.Load(kFormWithoutPort);
  EXPECT_EQ(design.control->ActivePort(), 0);
  EXPECT_EQ(FormatSavedForm(design.form.Save()), kFormWithoutPort);

  ControlRig run(Mode::kRun);
  run.Load(kFormWithoutPort);
  run.control->Talking(true);
  run.control->RefreshBrowser();
  const std::vector<std::string> events = run.host.Take();
  // XNav, XWeb and the front page: each query refused, nothing shown.
  EXPECT_EQ(CountOf(events, kRefused), 3u);
  for (const std::string& event : events) {
    EXPECT_EQ(event.rfind("message: ", 0), 0u) << event;
  }
  EXPECT_EQ(run.Tree(), "Data Browser\n");
  EXPECT_FALSE(testing::FileExists(run.folder.PathOf("oReport.htm")));
}

TEST(ZarelTest, StoredValuesThatAreNoPortRefuseTheLoad) {
  const struct {
    std::string value;
    std::string error;
  } cases[] = {
      {"\"abc\"", "Control Zarel1: Type mismatch"},
      {"32768", "Control Zarel1: Overflow"},
      {"-32769", "Control Zarel1: Overflow"},
  };
  for (const auto& c : cases) {
    ControlContainer form(Mode::kRun);
    const SavedForm saved = ParseSavedForm(
        "ZarelForm 1\nBegin Zarel Zarel1\n  ActivePort = " + c.value + "\nEnd\n", "f");
    try {
      form.Load(saved, ZarelControlFactory);
      ADD_FAILURE() << c.value;
    } catch (const RuntimeError& error) {
      EXPECT_EQ(error.Description(), c.error);
    }
    EXPECT_TRUE(form.Controls().empty());
  }
  // A text that reads as a number is taken.
  ControlRig design(Mode::kDesign);
  design.Load("ZarelForm 1\nBegin Zarel Zarel1\n  ActivePort = \"80\"\nEnd\n");
  EXPECT_EQ(design.control->ActivePort(), 80);
  EXPECT_EQ(FormatSavedForm(design.form.Save()), kForm80);
}

TEST(ZarelTest, ActivePortAtRunTimeRaisesAndChangesNothing) {
  ControlRig run(Mode::kRun);
  run.Place();
  run.control->Talking(true);
  const bool modified = run.form.Modified();
  const struct {
    std::string what;
    std::function<void()> action;
    int error;
  } cases[] = {
      {"write 0", [&] { run.control->ActivePort(0); }, errc::kSetNotSupportedAtRuntime},
      {"write 80", [&] { run.control->ActivePort(80); }, errc::kSetNotSupportedAtRuntime},
      {"read", [&] { run.control->ActivePort(); }, errc::kGetNotSupportedAtRuntime},
      {"let by name", [&] { run.control->LetProperty("ActivePort", Variant("0")); },
       errc::kSetNotSupportedAtRuntime},
      {"get by name", [&] { run.control->GetProperty("activeport"); },
       errc::kGetNotSupportedAtRuntime},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ErrorNumberOf(c.action), c.error) << c.what;
  }
  EXPECT_EQ(run.form.Modified(), modified);
  // The engine kept 80: the site opens, and the form would save 80.
  OpenRegions(run);
  EXPECT_EQ(CountOf(run.host.Take(), kRefused), 0u);
  EXPECT_EQ(FormatSavedForm(run.form.Save()), kForm80);

  // A control loaded with 0 cannot be opened up at run time either.
  ControlRig closed(Mode::kRun);
  closed.Load(kFormWithoutPort);
  closed.control->Talking(true);
  EXPECT_EQ(ErrorNumberOf([&] { closed.control->ActivePort(80); }),
            errc::kSetNotSupportedAtRuntime);
  closed.control->RefreshBrowser();
  EXPECT_EQ(CountOf(closed.host.Take(), kRefused), 3u);

  // A control on no form answers as at run time.
  Zarel loose;
  EXPECT_EQ(ErrorNumberOf([&] { loose.ActivePort(80); }), errc::kSetNotSupportedAtRuntime);
  EXPECT_EQ(ErrorNumberOf([&] { loose.ActivePort(); }), errc::kGetNotSupportedAtRuntime);
}

TEST(ZarelTest, ActivePortAtDesignTimeReachesTheEngineAndMarksTheForm) {
  ControlRig design(Mode::kDesign);
  design.Load(kFormWithoutPort);
  EXPECT_FALSE(design.form.Modified());
  design.control->ActivePort(80);
  EXPECT_TRUE(design.form.Modified());
  EXPECT_EQ(design.control->ActivePort(), 80);
  // The engine has it now: the site opens even at design time.
  design.control->Talking(true);
  OpenRegions(design);
  EXPECT_EQ(CountOf(design.host.Take(), kRefused), 0u);
  EXPECT_EQ(FormatSavedForm(design.form.Save()), kForm80);

  // By name, converted from text; a text that is no 16-bit number fails
  // and changes nothing.
  design.control->LetProperty("activePORT", Variant("-5"));
  EXPECT_EQ(design.control->GetProperty("ActivePort").ToInteger(), -5);
  EXPECT_EQ(ErrorNumberOf([&] { design.control->LetProperty("ActivePort", Variant("x")); }),
            errc::kTypeMismatch);
  EXPECT_EQ(ErrorNumberOf([&] { design.control->LetProperty("ActivePort", Variant("40000")); }),
            errc::kOverflow);
  EXPECT_EQ(design.control->ActivePort(), -5);
}

TEST(ZarelTest, MembersForwardToTheOneEngine) {
  ControlRig run(Mode::kRun);
  run.Place();
  // DAMode reads the engine's value, not a copy.
  EXPECT_EQ(run.control->DAMode(), 1);
  run.control->DAMode(7);
  EXPECT_EQ(run.control->DAMode(), 7);
  run.control->LetProperty("damode", Variant("1"));
  EXPECT_EQ(run.control->GetProperty("DAMode").ToInteger(), 1);

  // The engine's own failures reach the caller unchanged.
  const struct {
    std::string what;
    std::function<void()> action;
    int error;
  } cases[] = {
      {"Heading Null", [&] { run.control->Heading(Variant::Null()); }, errc::kInvalidUseOfNull},
      {"UserRole text", [&] { run.control->UserRole(Variant("chief")); }, errc::kTypeMismatch},
      {"UserRole range", [&] { run.control->UserRole(Variant(std::int32_t{40000})); },
       errc::kOverflow},
      {"no tree view",
       [&] {
         std::shared_ptr<TreeView> none;
         std::shared_ptr<WebBrowser> browser = run.browser;
         run.control->SetControls(none, browser);
       },
       errc::kObjectNotSet},
      {"unknown read", [&] { run.control->GetProperty("Heading"); }, errc::kMemberNotSupported},
      {"unknown write", [&] { run.control->LetProperty("Colour", Variant(1)); },
       errc::kMemberNotSupported},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ErrorNumberOf(c.action), c.error) << c.what;
  }

  // The display properties, written directly and by name, show on the page.
  run.control->Heading(Variant("<b>Shop</b>"));
  run.control->LetProperty("DisplayPath", Variant(true));
  run.control->LetProperty("UserRole", Variant("2"));
  OpenRegions(run);
  const std::string page = testing::ReadFile(run.folder.PathOf("oReport.htm"));
  EXPECT_NE(page.find("<b>Shop</b>"), std::string::npos) << page;
  EXPECT_NE(page.find("Path: Sales Site\\Regions"), std::string::npos) << page;
  EXPECT_EQ(run.browser->LocationPath(), run.folder.PathOf("oReport.htm"));
}

using testing::HostSiteAnswer;

TEST(ZarelTest, EventsReachTheHostAndItsRecordsetsReachTheEngine) {
  ControlRig run(Mode::kRun);
  run.Place();
  run.control->DAMode(2);
  run.control->Talking(true);
  run.host.provide = [](const std::string& sql, std::shared_ptr<Recordset>& rs) {
    rs = HostSiteAnswer(sql);
  };
  run.control->RefreshBrowser();
  ASSERT_TRUE(run.Click("Host Site\\Page")) << run.Tree();
  run.browser->SaveDestination(run.folder.PathOf("copy.htm"));
  run.browser->SetPrinter([](std::int16_t, const std::string&) {});
  run.control->SavePage();
  run.control->PrintPage();
  run.control->PreviewPage();
  EXPECT_EQ(run.host.Take(), (std::vector<std::string>{
                                 "provide: SELECT * FROM XNav",
                                 "provide: SELECT * FROM XWeb",
                                 "provide: SELECT * FROM XScr WHERE (ID=1)",
                                 "provide: SELECT * FROM XScr WHERE (ID=2)",
                                 "provide: EXEC Work 2",
                                 "log: View: Host Site\\Page",
                                 "log: Save: Host Site\\Page",
                                 "log: Print: Host Site\\Page",
                                 "log: Preview: Host Site\\Page",
                             }));
  // The front page came from the host's XScr recordset.
  EXPECT_EQ(testing::ReadFile(run.folder.PathOf("fp.htm")), "<p>host</p>\r\n");
  EXPECT_EQ(run.Tree(), "Host Site\n  Page\n");

  // Unbound, the events go nowhere and nothing breaks.
  run.control->Advise(nullptr);
  run.control->RefreshBrowser();
  EXPECT_TRUE(run.host.Take().empty());
}

TEST(ZarelTest, AGoneControlNoLongerHearsTheTreeView) {
  ControlRig rig(Mode::kRun);
  auto form = std::make_unique<ControlContainer>(Mode::kRun);
  auto control = std::make_shared<Zarel>();
  form->Place("Zarel1", control);
  control->Advise(&rig.host);
  control->Talking(true);
  control->ConnectionString(rig.site->ConnectionString());
  control->ApplicationFolder(Variant(rig.folder.Path()));
  std::shared_ptr<TreeView> tree_view = rig.tree;
  std::shared_ptr<WebBrowser> web_browser = rig.browser;
  control->SetControls(tree_view, web_browser);
  control->RefreshBrowser();
  EXPECT_EQ(rig.Tree(), kSalesTree);
  rig.host.Take();

  // The form and the host let go: the control and its engine are gone, and
  // a click on the host's tree view reaches nobody.
  const std::weak_ptr<Zarel> watch = control;
  control.reset();
  form.reset();
  EXPECT_TRUE(watch.expired());
  EXPECT_TRUE(rig.Click("Sales Site\\Regions"));
  EXPECT_TRUE(rig.host.Take().empty());
  EXPECT_EQ(rig.Tree(), kSalesTree);
}

}  // namespace
}  // namespace zarel
