// pPage1: the Zarel control's property page (see ppage1.h).
#include "zarel/control/ppage1.h"

#include "zarel/base/error.h"
#include "zarel/base/variant.h"

namespace zarel {

namespace {

constexpr const char* kActivePort = "ActivePort";

// Index 0 of the selected controls; with none selected the late-bound call
// has no object to go to.
UserControl& FirstSelected(const std::vector<std::shared_ptr<UserControl>>& selected) {
  if (selected.empty() || !selected.front()) Raise(errc::kObjectNotSet);
  return *selected.front();
}

}  // namespace

pPage1::pPage1() : PropertyPage("Zarel Properties") {
  txtActivePort.OnChange([this] { txtActivePort_Change(); });
}

void pPage1::SelectionChanged() {
  txtActivePort.Text(FirstSelected(SelectedControls()).GetProperty(kActivePort).ToText());
}

void pPage1::ApplyChanges() {
  FirstSelected(SelectedControls()).LetProperty(kActivePort, Variant(txtActivePort.Text()));
}

void pPage1::txtActivePort_Change() { Changed(true); }

}  // namespace zarel
