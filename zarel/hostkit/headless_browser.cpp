// The headless browser: remembers the page shown, saves a copy of it on
// "save as", and hands print and preview to the host's printer.
#include "zarel/hostkit/headless_browser.h"

#include <sys/stat.h>

#include <fstream>
#include <iterator>

#include "zarel/base/error.h"
#include "zarel/base/stream.h"

namespace zarel {

namespace {

std::string CommandName(std::int16_t command) {
  switch (command) {
    case kCommandSaveAs:
      return "Save as";
    case kCommandPrint:
      return "Print";
    case kCommandPrintPreview:
      return "Print preview";
    default:
      return "Command " + std::to_string(command);
  }
}

[[noreturn]] void RaiseNotAvailable(std::int16_t command, const std::string& reason) {
  Raise(errc::kInvalidProcedureCall, CommandName(command) + " is not available: " + reason);
}

bool IsFolder(const std::string& path) {
  struct stat status {};
  return ::stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

std::string FileNameOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

Bytes ReadWholeFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  if (!file || IsFolder(path)) {
    Raise(errc::kFileNotFound, StandardDescription(errc::kFileNotFound) + ": " + path);
  }
  Bytes bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  if (file.bad()) {
    Raise(errc::kPathFileAccessError,
          StandardDescription(errc::kPathFileAccessError) + ": " + path);
  }
  return bytes;
}

}  // namespace

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
      if (save_destination_.empty()) RaiseNotAvailable(command, "no save destination");
      if (location_.empty()) RaiseNotAvailable(command, "no page shown");
      std::string destination = save_destination_;
      if (IsFolder(destination)) destination += "/" + FileNameOf(location_);
      Stream copy;
      copy.Open();
      copy.Write(Variant(ReadWholeFile(location_)));
      copy.SaveToFile(destination, kSaveCreateOverWrite);
      copy.Close();
      return;
    }
    case kCommandPrint:
    case kCommandPrintPreview:
      if (!printer_) RaiseNotAvailable(command, "no printer");
      if (location_.empty()) RaiseNotAvailable(command, "no page shown");
      printer_(command, location_);
      return;
    default:
      RaiseNotAvailable(command, "unknown command");
  }
}

}  // namespace zarel
