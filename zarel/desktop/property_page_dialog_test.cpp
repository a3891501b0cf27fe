// Tests of the property page's dialog: what it shows, what typing and
// Apply do to the control and its form, what the control refuses at design
// time (13, 6) and on a running form (393, 382), and the real dialog with
// its message box answered by the test.
#include "zarel/desktop/property_page_dialog.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>

#include "zarel/control/zarel.h"
#include "zarel/hostkit/saved_form.h"
#include "zarel/testing/desktop_rig.h"

namespace zarel {
namespace {

// One visit of the dialog: the text typed, then Apply.
struct Visit {
  const char* typed;
  const char* refusal;  // the message box's text, "" for none
  std::int16_t port;    // the control's ActivePort afterwards
};

class PropertyPageDialogTest : public ::testing::Test {
 protected:
  // Opens the dialog on the controls, types and applies; answers the text
  // shown when it opened, and fills refusals with the message boxes' texts.
  std::string Open(std::vector<std::shared_ptr<UserControl>> controls, const char* typed) {
    std::string shown;
    dialogs.Then([&](QDialog& dialog) {
      auto& page = dynamic_cast<PropertyPageDialog&>(dialog);
      EXPECT_EQ(page.windowTitle(), "Zarel Properties");
      EXPECT_EQ(page.Label()->text(), "ActivePort:");
      EXPECT_EQ(page.Label()->buddy(), page.TextBox());
      EXPECT_FALSE(page.ApplyButton()->isEnabled()) << "nothing typed yet";
      shown = page.TextBox()->text().toStdString();
      page.TextBox()->selectAll();
      QTest::keyClicks(page.TextBox(), typed);
      EXPECT_TRUE(page.ApplyButton()->isEnabled());
      page.ApplyButton()->click();
      apply_enabled_after = page.ApplyButton()->isEnabled();
      return static_cast<int>(QDialog::Rejected);
    });
    PropertyPageDialog dialog(Runner());
    dialog.OnApplied([this] { ++applied; });
    dialog.ShowFor(std::move(controls));
    return shown;
  }

  // The scripted dialogs, with every message box answered and its text kept.
  DialogRunner Runner() {
    const DialogRunner scripted = dialogs.Runner();
    return [this, scripted](QDialog& dialog) {
      if (auto* box = dynamic_cast<QMessageBox*>(&dialog)) {
        refusals.push_back(box->text().toStdString());
        return static_cast<int>(QDialog::Accepted);
      }
      return scripted(dialog);
    };
  }

  testing::ScriptedDialogs dialogs;
  std::vector<std::string> refusals;
  bool apply_enabled_after = false;
  int applied = 0;
};

// At design time the page shows the control's value; Apply writes what was
// typed and marks the form modified; what the control cannot convert is
// refused in a message box, and the control keeps its value.
TEST_F(PropertyPageDialogTest, AppliesAtDesignTimeAndShowsRefusals) {
  ControlContainer form(ControlContainer::Mode::kDesign);
  form.Load(ParseSavedForm("ZarelForm 1\nBegin Zarel Zarel1\n  ActivePort = 80\nEnd\n", "test"),
            ZarelControlFactory);
  const std::shared_ptr<Zarel> control = FirstZarel(form);
  ASSERT_FALSE(form.Modified());
  const Visit visits[] = {
      {"8080", "", 8080},
      {"abc", "ActivePort: 13, Type mismatch", 8080},
      {"40000", "ActivePort: 6, Overflow", 8080},
      {" 81 ", "", 81},
  };
  std::string expected_shown = "80";
  for (const Visit& visit : visits) {
    SCOPED_TRACE(visit.typed);
    refusals.clear();
    const int applied_before = applied;
    EXPECT_EQ(Open({control}, visit.typed), expected_shown);
    const bool refused = *visit.refusal != '\0';
    EXPECT_EQ(refusals, refused ? std::vector<std::string>{visit.refusal}
                                : std::vector<std::string>{});
    EXPECT_EQ(apply_enabled_after, refused) << "a refusal leaves Apply enabled";
    EXPECT_EQ(applied - applied_before, refused ? 0 : 1);
    EXPECT_EQ(control->ActivePort(), visit.port);
    expected_shown = std::to_string(visit.port);
  }
  EXPECT_TRUE(form.Modified());
}

// On a running form the control can be neither read (393: the box stays
// empty) nor written (382).
TEST_F(PropertyPageDialogTest, ARunningFormRefusesBothWays) {
  ControlContainer form(ControlContainer::Mode::kRun);
  auto control = std::make_shared<Zarel>();
  form.Place("Zarel1", control);
  EXPECT_EQ(Open({control}, "80"), "");
  EXPECT_EQ(refusals, std::vector<std::string>({"ActivePort: 393, Get not supported at runtime",
                                                "ActivePort: 382, Set not supported at runtime"}));
  EXPECT_EQ(applied, 0);
}

// With two controls selected, only the first is shown and written.
TEST_F(PropertyPageDialogTest, OnlyTheFirstSelectedControl) {
  ControlContainer form(ControlContainer::Mode::kDesign);
  auto first = std::make_shared<Zarel>();
  auto second = std::make_shared<Zarel>();
  form.Place("Zarel1", first);
  form.Place("Zarel2", second);
  second->ActivePort(7);
  EXPECT_EQ(Open({first, second}, "90"), "80");
  EXPECT_EQ(first->ActivePort(), 90);
  EXPECT_EQ(second->ActivePort(), 7);
}

// The real dialog run with exec(), with the message box it opens inside
// Apply, answered by a timer; a picture of it after Apply.
TEST(PropertyPageDialogExecTest, TheRealDialogAndItsMessageBox) {
  ControlContainer form(ControlContainer::Mode::kDesign);
  auto control = std::make_shared<Zarel>();
  form.Place("Zarel1", control);
  std::string refusal;
  testing::ModalAnswerer answerer;
  answerer.Then([](QDialog& dialog) {
    auto& page = dynamic_cast<PropertyPageDialog&>(dialog);
    page.TextBox()->selectAll();
    QTest::keyClicks(page.TextBox(), "8080");
    page.ApplyButton()->click();
    testing::SaveScreenshot(page, "properties-applied");
    QTest::keyClicks(page.TextBox(), "x");
    page.ApplyButton()->click();  // runs the message box's exec() in here
    page.reject();
  });
  answerer.Then([&](QDialog& box) {
    refusal = dynamic_cast<QMessageBox&>(box).text().toStdString();
    box.accept();
  });
  PropertyPageDialog dialog;
  dialog.ShowFor({control});
  EXPECT_FALSE(answerer.TimedOut());
  EXPECT_EQ(answerer.Titles(), QStringList({"Zarel Properties", "Zarel Properties"}));
  EXPECT_EQ(refusal, "ActivePort: 13, Type mismatch");
  EXPECT_EQ(control->ActivePort(), 8080);
}

}  // namespace
}  // namespace zarel
