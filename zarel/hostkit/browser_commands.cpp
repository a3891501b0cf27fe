// The browser commands' shared parts (see browser_commands.h).
#include "zarel/hostkit/browser_commands.h"

#include <sys/stat.h>

#include <fstream>
#include <iterator>

#include "zarel/base/error.h"
#include "zarel/base/stream.h"
#include "zarel/hostkit/host_controls.h"

namespace zarel {

namespace {

bool IsFolder(const std::string& path) {
  struct stat status {};
  return ::stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

[[noreturn]] void RaiseFileNotFound(const std::string& path) {
  Raise(errc::kFileNotFound, StandardDescription(errc::kFileNotFound) + ": " + path);
}

std::string FileNameOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

Bytes ReadWholeFile(const std::string& path) {
  RequirePageFile(path);
  std::ifstream file(path, std::ios::binary);
  if (!file) RaiseFileNotFound(path);
  Bytes bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  if (file.bad()) {
    Raise(errc::kPathFileAccessError,
          StandardDescription(errc::kPathFileAccessError) + ": " + path);
  }
  return bytes;
}

}  // namespace

std::string BrowserCommandName(std::int16_t command) {
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

void RaiseCommandNotAvailable(std::int16_t command, const std::string& reason) {
  Raise(errc::kInvalidProcedureCall, BrowserCommandName(command) + " is not available: " + reason);
}

void RequirePageFile(const std::string& page) {
  struct stat status {};
  if (::stat(page.c_str(), &status) != 0 || !S_ISREG(status.st_mode)) RaiseFileNotFound(page);
}

void SavePageFile(const std::string& page, const std::string& destination) {
  std::string target = destination;
  if (IsFolder(target)) target += "/" + FileNameOf(page);
  Stream copy;
  copy.Open();
  copy.Write(Variant(ReadWholeFile(page)));
  copy.SaveToFile(target, kSaveCreateOverWrite);
  copy.Close();
}

}  // namespace zarel
