// The web engine's environment (see web_engine_environment.h).
#include "zarel/desktop/web_engine_environment.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

namespace zarel {

namespace {

bool IsUnset(const char* name) {
  const char* value = std::getenv(name);
  return value == nullptr || *value == '\0';
}

void SetDefault(const char* name, const std::string& value) {
  if (IsUnset(name)) ::setenv(name, value.c_str(), 1);
}

}  // namespace

void PrepareWebEngineEnvironment(const std::string& runtime_folder) {
  if (::geteuid() == 0) SetDefault("QTWEBENGINE_DISABLE_SANDBOX", "1");
  SetDefault("QTWEBENGINE_CHROMIUM_FLAGS", "--disable-gpu");
  if (!HasWindowPlatform()) ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
  if (IsUnset("XDG_RUNTIME_DIR") && !runtime_folder.empty()) {
    // The toolkit warns about, and refuses to use, a runtime folder that
    // others may read.
    ::chmod(runtime_folder.c_str(), S_IRWXU);
    ::setenv("XDG_RUNTIME_DIR", runtime_folder.c_str(), 1);
  }
}

bool HasWindowPlatform() {
  return !IsUnset("DISPLAY") || !IsUnset("WAYLAND_DISPLAY") || !IsUnset("QT_QPA_PLATFORM");
}

}  // namespace zarel
