// PropertyPageDialog: the Zarel control's property page (pPage1) in a real
// dialog, the host's side of the property page framework.
//
// The dialog shows the page's caption as its title ("Zarel Properties"),
// the label "ActivePort:" above the text box at the same left margin, and
// the buttons Apply and Close. ShowFor gives the page its controls (the
// page reads the first one's ActivePort into the box) and shows the dialog
// until the user closes it. Typing marks the page changed, which enables
// Apply; Apply hands the text to the first control's ActivePort, then
// calls OnApplied (where a host saves its form).
//
// The page catches nothing: what the control refuses is shown here in a
// message box, through the DialogRunner, as "ActivePort: " and the error
// ("ActivePort: 13, Type mismatch"). A control on a running form refuses
// to be read (393: the box stays empty) and written (382); a text that is
// no 16-bit integer is refused with 13 or 6. After a refusal Apply stays
// enabled and the control keeps its value.
//
// Threads: the toolkit's user-interface thread only.
#ifndef ZAREL_DESKTOP_PROPERTY_PAGE_DIALOG_H_
#define ZAREL_DESKTOP_PROPERTY_PAGE_DIALOG_H_

#include <QDialog>
#include <functional>
#include <memory>
#include <vector>

#include "zarel/base/error.h"
#include "zarel/control/ppage1.h"
#include "zarel/desktop/dialog_runner.h"

class QLabel;
class QLineEdit;
class QPushButton;

namespace zarel {

class PropertyPageDialog : public QDialog {
 public:
  explicit PropertyPageDialog(DialogRunner run = ExecDialog, QWidget* parent = nullptr);

  // Opens the page on controls and runs the dialog; answers when it closed.
  void ShowFor(std::vector<std::shared_ptr<UserControl>> controls);
  // Called after every Apply the control took; a RuntimeError it raises is
  // shown like a refusal.
  void OnApplied(std::function<void()> applied) { on_applied_ = std::move(applied); }

  const pPage1& Page() const { return page_; }
  QLabel* Label() const { return label_; }
  QLineEdit* TextBox() const { return text_box_; }
  QPushButton* ApplyButton() const { return apply_button_; }

 private:
  void Typed(const QString& text);
  void ApplyText();
  // Shows what the control refused in a message box.
  void ShowRefusal(const RuntimeError& error);

  pPage1 page_;
  DialogRunner run_;
  std::function<void()> on_applied_;
  QLabel* label_;
  QLineEdit* text_box_;
  QPushButton* apply_button_;
};

}  // namespace zarel

#endif  // ZAREL_DESKTOP_PROPERTY_PAGE_DIALOG_H_
