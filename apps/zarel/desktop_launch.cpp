// Running zarel-desktop for `zarel desktop` (see desktop_launch.h).
#include "apps/zarel/desktop_launch.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

namespace zarel {

namespace {

constexpr int kRunFailure = 1;

}  // namespace

int LaunchDesktop(const std::vector<std::string>& arguments, std::ostream& err) {
  std::error_code error;
  const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
  const std::string program = (self.parent_path() / kDesktopProgram).string();
  if (error || ::access(program.c_str(), X_OK) != 0) {
    err << "zarel: the desktop host (" << kDesktopProgram << ") is not installed beside this "
        << "program: it is built only where Qt 6 with its web engine is found (on Debian: "
           "qt6-base-dev qt6-webengine-dev; then build Zarel again)\n";
    return kRunFailure;
  }
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(program.c_str()));
  for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);
  ::execv(program.c_str(), argv.data());
  err << "zarel: cannot run " << program << ": " << std::strerror(errno) << "\n";
  return kRunFailure;
}

}  // namespace zarel
