// The headless browser: remembers the page shown, saves a copy of it on
// "save as", and hands print and preview to the host's printer.
#include "zarel/hostkit/headless_browser.h"

#include "zarel/hostkit/browser_commands.h"

namespace zarel {

std::shared_ptr<HeadlessBrowser> HeadlessBrowser::Create() {
  return std::shared_ptr<HeadlessBrowser>(new HeadlessBrowser());
}

void HeadlessBrowser::Navigate(const std::string& path) {
  location_ = path;
  history_.push_back(path);
  if (on_navigate_) on_navigate_(path);
}

void HeadlessBrowser::ExecWB(std::int16_t command, std::int16_t /*option*/) {
  switch (command) {
    case kCommandSaveAs: {
      if (save_destination_.empty()) RaiseCommandNotAvailable(command, "no save destination");
      if (location_.empty()) RaiseCommandNotAvailable(command, "no page shown");
      SavePageFile(location_, save_destination_);
      return;
    }
    case kCommandPrint:
    case kCommandPrintPreview:
      if (!printer_) RaiseCommandNotAvailable(command, "no printer");
      if (location_.empty()) RaiseCommandNotAvailable(command, "no page shown");
      printer_(command, location_);
      return;
    default:
      RaiseCommandNotAvailable(command, "unknown command");
  }
}

}  // namespace zarel
