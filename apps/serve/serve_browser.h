// SessionBrowser: the web browser of one web-host session, as the Zarel
// control sees it.
//
// The real browser is the user's, far away; this object stands in for it on
// the server. Navigate remembers the page to show (a file in the session's
// folder) and counts navigations, so the front end knows when to reload its
// report pane. ExecWB does not print or save anything itself: it records
// what the page in the user's browser must do, and the front end does it
// there:
//   4 (save as)        download the page shown
//   6 (print)          open the browser's print dialog for the report pane
//   7 (print preview)  open the page shown alone, in a window of its own
// A command fails, as a browser command does, with RuntimeError 5 when no
// page is shown or for any other command id, and 53 when the page shown no
// longer exists; the control then reports "Save Command Error: ..." and its
// siblings.
#ifndef ZAREL_APPS_SERVE_SERVE_BROWSER_H_
#define ZAREL_APPS_SERVE_SERVE_BROWSER_H_

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "zarel/hostkit/host_controls.h"

namespace zarel::serve {

// What the front end must do after a save, print or preview.
struct BrowserAction {
  std::string command;  // "save", "print" or "preview"
  std::string path;     // the page shown, a file path
};

class SessionBrowser : public WebBrowser {
 public:
  static std::shared_ptr<SessionBrowser> Create();

  void Navigate(const std::string& path) override;
  void ExecWB(std::int16_t command, std::int16_t option) override;

  // The file last navigated to (empty before the first Navigate), and how
  // many navigations there were.
  const std::string& LocationPath() const { return location_; }
  std::uint64_t Navigations() const { return navigations_; }
  // The action recorded by the last successful ExecWB, once.
  std::optional<BrowserAction> TakeAction();

 private:
  SessionBrowser() = default;
  std::string location_;
  std::uint64_t navigations_ = 0;
  std::optional<BrowserAction> action_;
};

}  // namespace zarel::serve

#endif  // ZAREL_APPS_SERVE_SERVE_BROWSER_H_
