// DialogRunner: how the desktop controls show a modal dialog and learn the
// user's answer.
//
// Every modal dialog of the adapter (the save, print and preview dialogs,
// the property page and its message boxes) is shown through one of these.
// The default runs the dialog (QDialog::exec). A host may pass its own, and
// tests pass one that fills the dialog in and answers it without a person.
//
// Threads: the toolkit's user-interface thread only.
#ifndef ZAREL_DESKTOP_DIALOG_RUNNER_H_
#define ZAREL_DESKTOP_DIALOG_RUNNER_H_

#include <QDialog>
#include <functional>

namespace zarel {

// Shows the dialog and answers QDialog::Accepted or QDialog::Rejected.
using DialogRunner = std::function<int(QDialog&)>;

inline int ExecDialog(QDialog& dialog) { return dialog.exec(); }

}  // namespace zarel

#endif  // ZAREL_DESKTOP_DIALOG_RUNNER_H_
