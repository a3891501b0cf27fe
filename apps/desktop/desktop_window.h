// DesktopWindow: the window of zarel desktop (see desktop_command.h).
//
// Its form, in run mode, holds the Zarel control beside the desktop tree
// view and browser. The toolbar's Refresh, Save, Print and Preview call
// the control's RefreshBrowser, SavePage, PrintPage and PreviewPage, which
// reach the browser's dialogs; Properties shows the property page: on the
// saved form's control, in design mode, when the window was opened with a
// form file (Apply then saves the file, and the new value counts from the
// next start), otherwise on the running control, which refuses to be read
// or written at run time. The pane lists the control's events as they come:
// "message: TEXT", "log: TYPE: NARRATION", and "provide: SQL" for the
// queries the window answers itself in data access mode 2. Closing the
// window saves nothing.
//
// Threads: the toolkit's user-interface thread only.
#ifndef ZAREL_APPS_DESKTOP_DESKTOP_WINDOW_H_
#define ZAREL_APPS_DESKTOP_DESKTOP_WINDOW_H_

#include <QMainWindow>
#include <memory>
#include <string>

#include "apps/desktop/desktop_command.h"
#include "zarel/desktop/dialog_runner.h"

class QAction;
class QPlainTextEdit;

namespace zarel {

class DesktopBrowser;
class DesktopTreeView;

class DesktopWindow : public QMainWindow {
 public:
  explicit DesktopWindow(DesktopOptions options, DialogRunner run = ExecDialog);
  ~DesktopWindow() override;

  // Puts the control on the form, from the form file when one was given;
  // raises when the file cannot be loaded or holds no Zarel control.
  void CreateControl();
  // Gives the control its settings and the tree view and browser, then
  // refreshes; raises the control's error for a setting it refuses.
  void Open();

  DesktopTreeView& Tree() const;
  DesktopBrowser& Browser() const;
  QPlainTextEdit* Messages() const { return messages_; }
  QAction* RefreshAction() const { return refresh_; }
  QAction* SaveAction() const { return save_; }
  QAction* PrintAction() const { return print_; }
  QAction* PreviewAction() const { return preview_; }
  QAction* PropertiesAction() const { return properties_; }

  // Appends a line to the message pane.
  void AddLine(const std::string& line);

 private:
  void ShowProperties();
  void ShowTitle();

  class Host;
  std::unique_ptr<Host> host_;
  DesktopOptions options_;
  DialogRunner run_;
  QPlainTextEdit* messages_;
  QAction* refresh_;
  QAction* save_;
  QAction* print_;
  QAction* preview_;
  QAction* properties_;
};

}  // namespace zarel

#endif  // ZAREL_APPS_DESKTOP_DESKTOP_WINDOW_H_
