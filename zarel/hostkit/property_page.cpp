// The property page framework's dialog side and its text box (see
// property_page.h).
#include "zarel/hostkit/property_page.h"

#include <utility>

namespace zarel {

void TextBox::Text(const std::string& text) {
  if (text == text_) return;
  text_ = text;
  if (on_change_) on_change_();
}

void TextBox::Type(const std::string& text) {
  const std::size_t line_end = text.find_first_of("\r\n");
  // Typing into a single-line box first selects what it holds, so even the
  // same text typed again counts as a change.
  const std::string typed = text.substr(0, line_end);
  if (typed == text_) {
    if (on_change_) on_change_();
    return;
  }
  Text(typed);
}

void PropertyPage::SelectControls(std::vector<std::shared_ptr<UserControl>> controls) {
  selected_ = std::move(controls);
  SelectionChanged();
  changed_ = false;
}

bool PropertyPage::Apply() {
  if (!changed_) return false;
  ApplyChanges();
  changed_ = false;
  return true;
}

}  // namespace zarel
