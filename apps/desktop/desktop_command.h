// zarel desktop: the desktop host. A window with the site's tree on the
// left, the report page on the right, a toolbar (Refresh, Save, Print,
// Preview, Properties) and a pane with the control's messages and log
// lines, over the toolkit adapter (zarel/desktop).
//
//   zarel desktop CONNECTION [--folder DIR] [--talking] [--display-path]
//       [--heading TEXT] [--date-format PATTERN] [--role VALUE]
//       [--damode N] [--form FILE] [--message-lines N] [--screenshot FILE]
//
// The program is zarel-desktop, which `zarel desktop` runs; it is built
// only where Qt 6 with its web engine is found. Exit status 0 when the
// window was closed, 1 for a folder that does not exist, a form file that
// cannot be loaded or no display (unless --screenshot), 2 for a usage error
// or a setting the control refuses.
#ifndef ZAREL_APPS_DESKTOP_DESKTOP_COMMAND_H_
#define ZAREL_APPS_DESKTOP_DESKTOP_COMMAND_H_

#include <CLI/CLI.hpp>

#include <optional>
#include <ostream>
#include <string>

#include "apps/options/display_options.h"

namespace zarel {

struct DesktopOptions {
  std::string connection;
  std::string folder = ".";
  DisplayOptions display;
  // A saved form file holding the control; Properties edits it.
  std::optional<std::string> form;
  // The message pane keeps this many lines, dropping the oldest.
  int message_lines = 1000;
  // Saves a picture of the window once the front page is shown, and quits.
  std::optional<std::string> screenshot;
};

inline constexpr int kDesktopCompleted = 0;
inline constexpr int kDesktopRunFailure = 1;
inline constexpr int kDesktopUsageError = 2;

// Declares the command line on app, filling options when it is parsed.
void AddDesktopOptions(CLI::App& app, DesktopOptions& options);

// Opens the window and runs until it is closed; answers the exit status.
// The QApplication must exist (in the web engine's environment).
int RunDesktop(const DesktopOptions& options, std::ostream& err);

}  // namespace zarel

#endif  // ZAREL_APPS_DESKTOP_DESKTOP_COMMAND_H_
