// The property page framework: a page in the host's property dialog that
// edits the controls selected on a form at design time.
//
// The dialog (the framework's side) hands the page its selected controls,
// shows the page's caption and its fields, enables Apply while the page's
// changed flag is set, and on Apply asks the page to write its fields back.
// The page (a subclass) answers three notifications:
//   - SelectionChanged: fill the fields from SelectedControls();
//   - the Change of one of its text boxes (its own handler): set Changed;
//   - ApplyChanges: write the fields to SelectedControls().
// A page reaches the controls' properties by name (UserControl::GetProperty
// and LetProperty). Failures of those calls are the dialog's to report: they
// leave Apply and SelectControls as raised.
//
// The fields are headless: a Label with a caption and a single-line TextBox
// whose text a user types or the page sets, each change raising the box's
// Change handler.
//
// Threads: one thread at a time per page, the thread of the controls it
// edits.
#ifndef ZAREL_HOSTKIT_PROPERTY_PAGE_H_
#define ZAREL_HOSTKIT_PROPERTY_PAGE_H_

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "zarel/hostkit/control_container.h"

namespace zarel {

// A caption on a page.
class Label {
 public:
  explicit Label(std::string caption) : caption_(std::move(caption)) {}
  const std::string& Caption() const { return caption_; }

 private:
  std::string caption_;
};

// A single-line text box. Setting its text (by the page or by typing) runs
// its Change handler whenever the text differs from what it held.
class TextBox {
 public:
  const std::string& Text() const { return text_; }
  void Text(const std::string& text);
  // What a user typing does: replaces the whole text, keeping one line (a
  // line break ends the typed text).
  void Type(const std::string& text);
  // The page's handler of the box's Change event.
  void OnChange(std::function<void()> handler) { on_change_ = std::move(handler); }

 private:
  std::string text_;
  std::function<void()> on_change_;
};

class PropertyPage {
 public:
  explicit PropertyPage(std::string caption) : caption_(std::move(caption)) {}
  virtual ~PropertyPage() = default;
  PropertyPage(const PropertyPage&) = delete;
  PropertyPage& operator=(const PropertyPage&) = delete;

  // The title of the page's tab in the dialog.
  const std::string& Caption() const { return caption_; }

  // The dialog's side. SelectControls gives the page the controls selected
  // on the form (in selection order) and raises SelectionChanged; a page
  // that has just been filled from its controls is not changed.
  void SelectControls(std::vector<std::shared_ptr<UserControl>> controls);
  // The Apply button: while the page is changed, raises ApplyChanges and
  // clears the changed flag once it succeeded (a failure leaves the page
  // changed and reaches the caller). Answers whether anything was applied.
  bool Apply();
  // Whether the dialog enables Apply.
  bool Changed() const { return changed_; }

 protected:
  const std::vector<std::shared_ptr<UserControl>>& SelectedControls() const { return selected_; }
  void Changed(bool changed) { changed_ = changed; }

  virtual void SelectionChanged() = 0;
  virtual void ApplyChanges() = 0;

 private:
  std::string caption_;
  std::vector<std::shared_ptr<UserControl>> selected_;
  bool changed_ = false;
};

}  // namespace zarel

#endif  // ZAREL_HOSTKIT_PROPERTY_PAGE_H_
