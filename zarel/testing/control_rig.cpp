// The control tests' host and rig (see control_rig.h).
#include "zarel/testing/control_rig.h"

#include <gtest/gtest.h>

#include <sstream>

#include "zarel/hostkit/saved_form.h"

namespace zarel::testing {

ControlRig::ControlRig(ControlContainer::Mode mode)
    : site(CreateSQLiteDatabase(folder.Path())), form(mode) {
  site->Run(SalesSite());
}

void ControlRig::Place() {
  control = std::make_shared<Zarel>();
  form.Place("Zarel1", control);
  Bind();
}

void ControlRig::Load(const std::string& form_text) {
  form.Load(ParseSavedForm(form_text, "test form"), ZarelControlFactory);
  control = FirstZarel(form);
  ASSERT_TRUE(control);
  Bind();
}

void ControlRig::Bind() {
  control->Advise(&host);
  control->ConnectionString(site->ConnectionString());
  control->ApplicationFolder(Variant(folder.Path()));
  std::shared_ptr<TreeView> tree_view = tree;
  std::shared_ptr<WebBrowser> web_browser = browser;
  control->SetControls(tree_view, web_browser);
}

std::string ControlRig::Tree() const {
  std::ostringstream out;
  tree->Walk([&out](const TreeNodeRef& node, int depth) {
    out << std::string(static_cast<std::size_t>(depth) * 2, ' ') << node->Text() << "\n";
  });
  return out.str();
}

bool ControlRig::Click(const std::string& path) {
  TreeNodeRef found;
  tree->Walk([&](const TreeNodeRef& node, int) {
    if (!found && node->FullPath() == path) found = node;
  });
  if (!found) return false;
  tree->Click(found);
  return true;
}

}  // namespace zarel::testing
