// Tests of the control container's services (ambient mode, property bags,
// the modified flag, loading and saving forms) and of the property page
// framework, over a small control made for the test.
#include "zarel/hostkit/control_container.h"

#include <gtest/gtest.h>

#include "zarel/base/error.h"
#include "zarel/hostkit/property_page.h"
#include "zarel/hostkit/saved_form.h"
#include "zarel/testing/files.h"

namespace zarel {
namespace {

using testing::ErrorNumberOf;
using testing::ReadFile;
using testing::TempFolder;

// A control with one stored property, Size (default 10, 25 when freshly
// placed), writable only at design time; Fail makes ReadProperties raise.
class SizeControl : public UserControl {
 public:
  std::string ClassName() const override { return "Sizer"; }
  void InitProperties() override { size = 25; }
  void ReadProperties(const PropertyBag& bag) override {
    size = bag.ReadProperty("Size", Variant(std::int16_t{10})).ToInteger();
  }
  void WriteProperties(PropertyBag& bag) override {
    bag.WriteProperty("Size", Variant(size), Variant(std::int16_t{10}));
  }
  Variant GetProperty(const std::string& name) override {
    if (name == "Size") return Variant(size);
    if (name == "UserMode") return Variant(AmbientUserMode());
    Raise(errc::kMemberNotSupported);
  }
  void LetProperty(const std::string& name, const Variant& value) override {
    if (name != "Size") Raise(errc::kMemberNotSupported);
    if (AmbientUserMode()) Raise(errc::kSetNotSupportedAtRuntime);
    size = value.ToInteger();
    PropertyChanged("Size");
  }
  std::int16_t size = 0;
};

std::shared_ptr<UserControl> SizerFactory(const std::string& class_name) {
  return class_name == "Sizer" ? std::make_shared<SizeControl>() : nullptr;
}

SavedForm FormOf(const std::vector<std::pair<std::string, std::string>>& controls) {
  SavedForm form;
  for (const auto& [class_name, name] : controls) form.controls.push_back({class_name, name, {}});
  return form;
}

TEST(PropertyBagTest, DefaultsAreNotStored) {
  PropertyBag bag;
  EXPECT_EQ(bag.ReadProperty("Size", Variant(std::int16_t{10})).ToInteger(), 10);
  bag.WriteProperty("Size", Variant(std::int16_t{10}), Variant(std::int16_t{10}));
  EXPECT_TRUE(bag.Entries().empty());
  bag.WriteProperty("Size", Variant(std::int16_t{7}), Variant(std::int16_t{10}));
  bag.WriteProperty("Name", Variant("x"), Variant(""));
  bag.WriteProperty("size", Variant(std::int16_t{8}), Variant(std::int16_t{10}));
  ASSERT_EQ(bag.Entries().size(), 2u);
  EXPECT_EQ(bag.Entries()[0].first, "Size");
  EXPECT_EQ(bag.ReadProperty("SIZE", Variant()).ToInteger(), 8);
  // Writing the default again removes the entry; a text "10" is not the
  // number 10.
  bag.WriteProperty("Size", Variant(std::int16_t{10}), Variant(std::int16_t{10}));
  EXPECT_FALSE(bag.Contains("Size"));
  bag.WriteProperty("Size", Variant("10"), Variant(std::int16_t{10}));
  EXPECT_TRUE(bag.Contains("Size"));
}

TEST(ControlContainerTest, PlaceLoadSaveAndTheModifiedFlag) {
  ControlContainer design(ControlContainer::Mode::kDesign);
  EXPECT_FALSE(design.UserMode());
  EXPECT_FALSE(design.Modified());
  auto first = std::make_shared<SizeControl>();
  design.Place("Sizer1", first);
  EXPECT_EQ(first->size, 25);
  EXPECT_EQ(first->Name(), "Sizer1");
  EXPECT_FALSE(first->GetProperty("UserMode").AsBoolean());
  EXPECT_TRUE(design.Modified());
  EXPECT_EQ(design.Control("SIZER1"), first);

  TempFolder folder;
  const std::string path = folder.PathOf("f.form");
  design.SaveTo(path);
  EXPECT_FALSE(design.Modified());
  EXPECT_EQ(ReadFile(path), "ZarelForm 1\nBegin Sizer Sizer1\n  Size = 25\nEnd\n");
  first->LetProperty("Size", Variant("10"));
  EXPECT_TRUE(design.Modified());
  design.SaveTo(path);
  EXPECT_EQ(ReadFile(path), "ZarelForm 1\nBegin Sizer Sizer1\nEnd\n");

  // A failed save leaves the form modified.
  first->LetProperty("Size", Variant(std::int16_t{3}));
  EXPECT_EQ(ErrorNumberOf([&] { design.SaveTo(folder.PathOf("no/f.form")); }),
            errc::kPathFileAccessError);
  EXPECT_TRUE(design.Modified());

  ControlContainer run(ControlContainer::Mode::kRun);
  run.LoadFrom(path, SizerFactory);
  EXPECT_FALSE(run.Modified());
  auto loaded = std::dynamic_pointer_cast<SizeControl>(run.Control("Sizer1"));
  ASSERT_TRUE(loaded);
  EXPECT_EQ(loaded->size, 10);
  EXPECT_TRUE(loaded->GetProperty("UserMode").AsBoolean());
  EXPECT_EQ(ErrorNumberOf([&] { loaded->LetProperty("Size", Variant(std::int16_t{1})); }),
            errc::kSetNotSupportedAtRuntime);
  EXPECT_EQ(ErrorNumberOf([&] { loaded->GetProperty("Colour"); }), errc::kMemberNotSupported);
}

TEST(ControlContainerTest, RefusalsLeaveTheFormAsItWas) {
  ControlContainer form(ControlContainer::Mode::kDesign);
  form.Place("Sizer1", std::make_shared<SizeControl>());
  const std::string saved = FormatSavedForm(form.Save());

  auto elsewhere = std::make_shared<SizeControl>();
  form.Place("Other", elsewhere);
  const struct {
    std::string name;
    std::shared_ptr<UserControl> control;
    int error;
  } places[] = {
      {"", std::make_shared<SizeControl>(), errc::kInvalidProcedureCall},
      {"1st", std::make_shared<SizeControl>(), errc::kInvalidProcedureCall},
      {"a b", std::make_shared<SizeControl>(), errc::kInvalidProcedureCall},
      {"sizer1", std::make_shared<SizeControl>(), errc::kInvalidProcedureCall},
      {"Again", elsewhere, errc::kInvalidProcedureCall},
      {"Nothing", nullptr, errc::kObjectNotSet},
  };
  for (const auto& p : places) {
    EXPECT_EQ(ErrorNumberOf([&] { form.Place(p.name, p.control); }), p.error) << p.name;
  }
  EXPECT_EQ(form.Controls().size(), 2u);

  // Loading stops at the first bad control and takes none of them.
  SavedForm bad_value = FormOf({{"Sizer", "A"}, {"Sizer", "B"}});
  bad_value.controls[1].properties.WriteProperty("Size", Variant("big"), Variant());
  const struct {
    SavedForm saved;
    std::string error;
  } loads[] = {
      {FormOf({{"Sizer", "A"}, {"Gauge", "B"}}), "Control B: Unknown control class \"Gauge\""},
      {FormOf({{"Sizer", "A"}, {"Sizer", "SIZER1"}}),
       "Control SIZER1: A control named \"SIZER1\" is already on the form"},
      {bad_value, "Control B: Type mismatch"},
  };
  for (const auto& l : loads) {
    try {
      form.Load(l.saved, SizerFactory);
      ADD_FAILURE() << l.error;
    } catch (const RuntimeError& error) {
      EXPECT_EQ(error.Description(), l.error);
    }
    EXPECT_EQ(form.Controls().size(), 2u);
    EXPECT_FALSE(form.Control("A"));
  }
  EXPECT_EQ(ErrorNumberOf([&] { form.Load(FormOf({{"Sizer", "A"}}), nullptr); }),
            errc::kInvalidProcedureCall);
  EXPECT_EQ(form.Controls().size(), 2u);
}

TEST(ControlContainerTest, ControlsOutlivingTheirFormAreDetached) {
  auto control = std::make_shared<SizeControl>();
  {
    ControlContainer form(ControlContainer::Mode::kDesign);
    form.Place("Sizer1", control);
    EXPECT_FALSE(control->GetProperty("UserMode").AsBoolean());
  }
  EXPECT_EQ(control->Name(), "");
  EXPECT_TRUE(control->GetProperty("UserMode").AsBoolean());
  ControlContainer again(ControlContainer::Mode::kDesign);
  again.Place("Sizer2", control);
  control->LetProperty("Size", Variant(std::int16_t{4}));
  EXPECT_EQ(control->size, 4);
}

// A page over SizeControl's Size, as a control's own page would be.
class SizePage : public PropertyPage {
 public:
  SizePage() : PropertyPage("Sizer Properties") {
    box.OnChange([this] {
      ++changes;
      Changed(true);
    });
  }
  TextBox box;
  int changes = 0;
  int applies = 0;

 protected:
  void SelectionChanged() override { box.Text(SelectedControls().at(0)->GetProperty("Size").ToText()); }
  void ApplyChanges() override {
    ++applies;
    SelectedControls().at(0)->LetProperty("Size", Variant(box.Text()));
  }
};

TEST(PropertyPageTest, ChangedFlagAndApply) {
  ControlContainer form(ControlContainer::Mode::kDesign);
  form.Load(FormOf({{"Sizer", "Sizer1"}}), SizerFactory);
  auto control = std::dynamic_pointer_cast<SizeControl>(form.Control("Sizer1"));
  ASSERT_TRUE(control);

  SizePage page;
  EXPECT_EQ(page.Caption(), "Sizer Properties");
  page.SelectControls({control});
  EXPECT_EQ(page.box.Text(), "10");
  EXPECT_FALSE(page.Changed());
  EXPECT_FALSE(page.Apply());
  EXPECT_EQ(page.applies, 0);
  EXPECT_FALSE(form.Modified());

  // Typing counts even when the same text is typed again; a typed line
  // break ends the text.
  const int before = page.changes;
  page.box.Type("10");
  EXPECT_EQ(page.changes, before + 1);
  EXPECT_TRUE(page.Changed());
  page.box.Type("12\nrest");
  EXPECT_EQ(page.box.Text(), "12");
  EXPECT_TRUE(page.Apply());
  EXPECT_FALSE(page.Changed());
  EXPECT_EQ(control->size, 12);
  EXPECT_TRUE(form.Modified());

  // A refused value reaches the caller and keeps the page changed.
  page.box.Type("twelve");
  EXPECT_EQ(ErrorNumberOf([&] { page.Apply(); }), errc::kTypeMismatch);
  EXPECT_TRUE(page.Changed());
  EXPECT_EQ(control->size, 12);
}

}  // namespace
}  // namespace zarel
