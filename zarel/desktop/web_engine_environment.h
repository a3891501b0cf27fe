// PrepareWebEngineEnvironment: what the toolkit's web engine needs in the
// environment, set before the QApplication is created. Values already set
// are kept, so a user or a test can choose otherwise.
//
// - Run as root, the web engine's browser refuses to start inside its
//   sandbox, so the sandbox is turned off (QTWEBENGINE_DISABLE_SANDBOX=1).
//   Security: the sandbox keeps a renderer that a page broke into away from
//   the rest of the system, and the pages show database content, including
//   HTML and scripts the site's procedures deliver. Run desktop hosts as an
//   ordinary user, which keeps the sandbox on.
// - GPU rendering is turned off (QTWEBENGINE_CHROMIUM_FLAGS=--disable-gpu):
//   virtual displays and remote sessions have none, and report pages look
//   the same drawn in software.
// - Without a display (neither DISPLAY nor WAYLAND_DISPLAY), Qt's offscreen
//   platform is used, so a host also runs where no screen is.
// - XDG_RUNTIME_DIR, which the toolkit wants, is runtime_folder (made
//   private to the user) when it is unset and runtime_folder is not empty.
//
// Threads: call it once, before any thread and the QApplication exist.
#ifndef ZAREL_DESKTOP_WEB_ENGINE_ENVIRONMENT_H_
#define ZAREL_DESKTOP_WEB_ENGINE_ENVIRONMENT_H_

#include <string>

namespace zarel {

void PrepareWebEngineEnvironment(const std::string& runtime_folder);

// Whether windows have somewhere to be shown: a display (DISPLAY or
// WAYLAND_DISPLAY), or a Qt platform the user chose (QT_QPA_PLATFORM).
// Without one, PrepareWebEngineEnvironment chooses the offscreen platform,
// where a window runs but nobody sees it.
bool HasWindowPlatform();

}  // namespace zarel

#endif  // ZAREL_DESKTOP_WEB_ENGINE_ENVIRONMENT_H_
