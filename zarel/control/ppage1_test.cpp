// Tests of pPage1, the Zarel control's property page: what it shows, its
// three notifications, the changed flag, several selected controls and
// values the control refuses.
#include "zarel/control/ppage1.h"

#include <gtest/gtest.h>

#include "zarel/base/error.h"
#include "zarel/control/zarel.h"
#include "zarel/hostkit/saved_form.h"
#include "zarel/testing/files.h"

namespace zarel {
namespace {

using testing::ErrorNumberOf;
using Mode = ControlContainer::Mode;

// A design-time form holding Zarel1 (freshly placed, 80) and Zarel2 (loaded
// from a form that stored no ActivePort, 0), as saved.
class PageTest : public ::testing::Test {
 protected:
  void SetUp() override {
    form.Load(ParseSavedForm("ZarelForm 1\n"
                             "Begin Zarel Zarel1\n  ActivePort = 80\nEnd\n"
                             "Begin Zarel Zarel2\nEnd\n",
                             "test form"),
              ZarelControlFactory);
    first = std::dynamic_pointer_cast<Zarel>(form.Control("Zarel1"));
    second = std::dynamic_pointer_cast<Zarel>(form.Control("Zarel2"));
    ASSERT_TRUE(first && second);
  }

  std::string Saved() { return FormatSavedForm(form.Save()); }

  ControlContainer form{Mode::kDesign};
  std::shared_ptr<Zarel> first;
  std::shared_ptr<Zarel> second;
  pPage1 page;
};

TEST_F(PageTest, ShowsTheFirstControlsPort) {
  EXPECT_EQ(page.Caption(), "Zarel Properties");
  EXPECT_EQ(page.lblActivePort.Caption(), "ActivePort:");
  EXPECT_EQ(page.txtActivePort.Text(), "");

  // A freshly placed control shows 80.
  ControlContainer fresh_form(Mode::kDesign);
  auto fresh = std::make_shared<Zarel>();
  fresh_form.Place("Zarel1", fresh);
  page.SelectControls({fresh});
  EXPECT_EQ(page.txtActivePort.Text(), "80");
  EXPECT_FALSE(page.Changed());

  page.SelectControls({second, first});
  EXPECT_EQ(page.txtActivePort.Text(), "0");
  page.SelectControls({first, second});
  EXPECT_EQ(page.txtActivePort.Text(), "80");
  EXPECT_FALSE(page.Changed());
}

TEST_F(PageTest, TypingMarksChangedAndApplyWritesOnlyTheFirst) {
  page.SelectControls({second, first});
  EXPECT_FALSE(page.Changed());
  page.txtActivePort.Type("80");
  EXPECT_TRUE(page.Changed());
  EXPECT_FALSE(form.Modified());
  EXPECT_TRUE(page.Apply());
  EXPECT_FALSE(page.Changed());
  EXPECT_TRUE(form.Modified());
  EXPECT_EQ(second->ActivePort(), 80);
  EXPECT_EQ(first->ActivePort(), 80);
  EXPECT_EQ(Saved(),
            "ZarelForm 1\n"
            "Begin Zarel Zarel1\n  ActivePort = 80\nEnd\n"
            "Begin Zarel Zarel2\n  ActivePort = 80\nEnd\n");

  page.SelectControls({first, second});
  page.txtActivePort.Type("123");
  EXPECT_TRUE(page.Apply());
  EXPECT_EQ(first->ActivePort(), 123);
  EXPECT_EQ(second->ActivePort(), 80);

  // Nothing typed: the Apply button does nothing.
  EXPECT_FALSE(page.Apply());
}

TEST_F(PageTest, RefusedValuesReachTheDialogAndChangeNothing) {
  const struct {
    std::string text;
    int error;
  } cases[] = {
      {"abc", errc::kTypeMismatch},
      {"", errc::kTypeMismatch},
      {"8 0", errc::kTypeMismatch},
      {"32768", errc::kOverflow},
      {"-40000", errc::kOverflow},
  };
  page.SelectControls({first});
  for (const auto& c : cases) {
    page.txtActivePort.Type(c.text);
    EXPECT_EQ(ErrorNumberOf([&] { page.Apply(); }), c.error) << c.text;
    EXPECT_TRUE(page.Changed()) << c.text;
    EXPECT_EQ(first->ActivePort(), 80) << c.text;
    EXPECT_FALSE(form.Modified()) << c.text;
  }
  // Values that convert are taken as the control converts them.
  page.txtActivePort.Type(" 79.6 ");
  EXPECT_TRUE(page.Apply());
  EXPECT_EQ(first->ActivePort(), 80);
  EXPECT_TRUE(form.Modified());
}

TEST_F(PageTest, ThePageCannotWorkAtRunTimeOrWithoutASelection) {
  EXPECT_EQ(ErrorNumberOf([&] { page.SelectControls({}); }), errc::kObjectNotSet);
  ControlContainer running(Mode::kRun);
  auto control = std::make_shared<Zarel>();
  running.Place("Zarel1", control);
  EXPECT_EQ(ErrorNumberOf([&] { page.SelectControls({control}); }),
            errc::kGetNotSupportedAtRuntime);
  page.txtActivePort.Type("0");
  EXPECT_EQ(ErrorNumberOf([&] { page.Apply(); }), errc::kSetNotSupportedAtRuntime);
  EXPECT_EQ(FormatSavedForm(running.Save()),
            "ZarelForm 1\nBegin Zarel Zarel1\n  ActivePort = 80\nEnd\n");
}

}  // namespace
}  // namespace zarel
