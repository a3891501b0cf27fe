// DesktopBrowser: the host's web browser over a real web view
// (QWebEngineView, the toolkit's Chromium-based engine), for the report
// engine (SetControls).
//
// Navigate shows a file and returns at once; the engine loads it in the
// background, running the page's own script (the shape report's
// expanders). The commands of ExecWB wait for the load first, so a command
// right after a click acts on the new page:
//   4 save as   copies the page file (as loaded) to the SaveDestination, a
//               file or a folder that receives the page under its own name,
//               or, without one, to the file the user picks in the
//               toolkit's save dialog;
//   6 print     shows the toolkit's print dialog and prints on the printer
//               chosen there: a real printer receives every page as a
//               picture at 300 dots per inch; "Print to File (PDF)" makes
//               the engine write a PDF with real text, in the page layout
//               and page ranges chosen;
//   7 preview   shows the toolkit's print preview dialog, from which the
//               user may also print.
// The option (prompt the user or not) changes nothing: the dialogs are
// always shown, and only a SaveDestination saves without one. Every dialog
// goes through the DialogRunner (Dialogs), and every wait for the engine
// ends after TimeLimit (default 30 seconds); while the browser waits, the
// user's clicks and keys wait too.
//
// Failures are RuntimeErrors, as for the headless browser
// (zarel/hostkit/headless_browser.h): 5 for a command that is not available
// (no page shown, the page could not be shown, the window is closed, an
// unknown command, a command while another runs), for one that failed or
// did not finish in time; 53 when the page shown no longer exists; 76 when
// the destination's folder does not exist; 75 when the destination cannot be
// written; 32755 when the user cancelled the save or print dialog (nothing
// was saved or printed).
//
// The widget belongs to the host's window once placed in its layout (or to
// the parent given to Create); without a window the commands fail with 5.
//
// Threads: the toolkit's user-interface thread only.
#ifndef ZAREL_DESKTOP_DESKTOP_BROWSER_H_
#define ZAREL_DESKTOP_DESKTOP_BROWSER_H_

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

#include "zarel/desktop/dialog_runner.h"
#include "zarel/hostkit/host_controls.h"

class QWebEngineView;
class QWidget;

namespace zarel {

class DesktopBrowser : public WebBrowser {
 public:
  static std::shared_ptr<DesktopBrowser> Create(QWidget* parent = nullptr);
  ~DesktopBrowser() override;
  DesktopBrowser(const DesktopBrowser&) = delete;
  DesktopBrowser& operator=(const DesktopBrowser&) = delete;

  // The web view to place in a window; nullptr once it has been destroyed.
  QWebEngineView* Widget() const;

  void Navigate(const std::string& path) override;
  void ExecWB(std::int16_t command, std::int16_t option) override;

  // The path last navigated to; empty before the first Navigate.
  const std::string& LocationPath() const;
  // Waits until the last Navigate has finished; true when its page loaded.
  bool WaitForLoad();
  // Prints the page shown into a PDF file with real text, without a dialog
  // (fails as print does).
  void PrintToPdf(const std::string& path);

  // Where save as writes without asking; empty (the default) asks.
  void SaveDestination(std::string path);
  void Dialogs(DialogRunner run);
  void TimeLimit(std::chrono::milliseconds limit);

 private:
  explicit DesktopBrowser(QWidget* parent);
  class Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace zarel

#endif  // ZAREL_DESKTOP_DESKTOP_BROWSER_H_
