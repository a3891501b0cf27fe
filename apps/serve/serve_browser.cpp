// The web host's stand-in browser (see serve_browser.h).
#include "apps/serve/serve_browser.h"

#include <sys/stat.h>

#include "zarel/base/error.h"

namespace zarel::serve {

std::shared_ptr<SessionBrowser> SessionBrowser::Create() {
  return std::shared_ptr<SessionBrowser>(new SessionBrowser());
}

void SessionBrowser::Navigate(const std::string& path) {
  location_ = path;
  ++navigations_;
}

void SessionBrowser::ExecWB(std::int16_t command, std::int16_t /*option*/) {
  std::string name;
  switch (command) {
    case kCommandSaveAs:
      name = "save";
      break;
    case kCommandPrint:
      name = "print";
      break;
    case kCommandPrintPreview:
      name = "preview";
      break;
    default:
      Raise(errc::kInvalidProcedureCall,
            "Command " + std::to_string(command) + " is not available in the web browser");
  }
  if (location_.empty()) {
    Raise(errc::kInvalidProcedureCall, "No page is shown to " + name);
  }
  struct stat status {};
  if (::stat(location_.c_str(), &status) != 0 || !S_ISREG(status.st_mode)) {
    Raise(errc::kFileNotFound, StandardDescription(errc::kFileNotFound));
  }
  action_ = BrowserAction{name, location_};
}

std::optional<BrowserAction> SessionBrowser::TakeAction() {
  std::optional<BrowserAction> action = std::move(action_);
  action_.reset();
  return action;
}

}  // namespace zarel::serve
