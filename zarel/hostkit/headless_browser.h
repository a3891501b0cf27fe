// HeadlessBrowser: a web browser without a screen.
//
// Navigate remembers the file shown. ExecWB 4 (save as) copies the page
// shown to the destination its host set with SaveDestination (a file path,
// or a folder that receives the page under its own name), and fails without
// one; 6 (print) and 7 (print preview) fail with "not available" unless the
// host supplied a printer, which then receives the command and the page
// shown. The option (prompt the user or not) changes nothing here.
//
// Failures are RuntimeErrors: 5 for a command that is not available (no
// save destination, no printer, no page shown, an unknown command), 53 when
// the page shown no longer exists, and the file errors of a save (76 for a
// destination folder that does not exist, 75 for one that cannot be
// written). A save writes beside the destination and renames, so a failed
// save leaves an existing file as it was.
//
// Threads: one thread at a time per browser (see host_controls.h).
#ifndef ZAREL_HOSTKIT_HEADLESS_BROWSER_H_
#define ZAREL_HOSTKIT_HEADLESS_BROWSER_H_

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "zarel/hostkit/host_controls.h"

namespace zarel {

class HeadlessBrowser : public WebBrowser {
 public:
  // Receives print (6) and preview (7) commands with the path of the page
  // shown.
  using Printer = std::function<void(std::int16_t command, const std::string& page)>;

  static std::shared_ptr<HeadlessBrowser> Create();

  void Navigate(const std::string& path) override;
  void ExecWB(std::int16_t command, std::int16_t option) override;

  // The path last navigated to; empty before the first Navigate.
  const std::string& LocationPath() const { return location_; }
  // Every path navigated to, in order.
  const std::vector<std::string>& History() const { return history_; }
  void SaveDestination(std::string path) { save_destination_ = std::move(path); }
  void SetPrinter(Printer printer) { printer_ = std::move(printer); }
  // Called after every Navigate with the path (hosts use it to follow the
  // page shown).
  void OnNavigate(std::function<void(const std::string&)> listener) {
    on_navigate_ = std::move(listener);
  }

 private:
  HeadlessBrowser() = default;
  std::string location_;
  std::vector<std::string> history_;
  std::string save_destination_;
  Printer printer_;
  std::function<void(const std::string&)> on_navigate_;
};

}  // namespace zarel

#endif  // ZAREL_HOSTKIT_HEADLESS_BROWSER_H_
