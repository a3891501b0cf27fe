// pPage1: the design-time property page of the Zarel control, where the
// developer who placed the control edits ActivePort.
//
// The page shows the caption "Zarel Properties", the label "ActivePort:"
// (lblActivePort) and below it, at the same left margin, the text box
// txtActivePort. Only the first selected control is read and written, even
// when several are selected; the text is handed to the control's
// ActivePort as it stands, and the control's write converts it (a text that
// is no 16-bit integer fails with 13 or 6, which reaches the dialog).
//
// Threads: one thread at a time, the thread of the controls it edits.
#ifndef ZAREL_CONTROL_PPAGE1_H_
#define ZAREL_CONTROL_PPAGE1_H_

#include "zarel/hostkit/property_page.h"

namespace zarel {

class pPage1 : public PropertyPage {
 public:
  pPage1();

  Label lblActivePort{"ActivePort:"};
  TextBox txtActivePort;

 protected:
  // Reads the first selected control's ActivePort into txtActivePort.
  void SelectionChanged() override;
  // Writes txtActivePort's text to the first selected control's ActivePort.
  void ApplyChanges() override;

 private:
  // The Change event of txtActivePort: the page becomes changed.
  void txtActivePort_Change();
};

}  // namespace zarel

#endif  // ZAREL_CONTROL_PPAGE1_H_
