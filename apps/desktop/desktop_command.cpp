// zarel desktop: its command line and its run (see desktop_command.h).
#include "apps/desktop/desktop_command.h"

#include <QApplication>
#include <QTimer>
#include <QWebEngineView>
#include <filesystem>

#include "apps/desktop/desktop_window.h"
#include "apps/options/connection_check.h"
#include "apps/options/connection_option.h"
#include "zarel/base/error.h"
#include "zarel/desktop/desktop_browser.h"

namespace zarel {

namespace {

// How long the program lets the engine draw the front page before taking
// the picture of --screenshot.
constexpr int kScreenshotDelayMs = 500;

constexpr const char* kDesktopFooter = R"(The window shows the site's tree on the left and the report page on the
right; the toolbar's Refresh, Save, Print and Preview run the control's
commands with the toolkit's save, print and preview dialogs, and Properties
shows the control's property page (with --form it edits the form file: Apply
saves it, and the new ActivePort counts from the next start; without a form
the running control refuses it, 393 and 382). The pane below lists the
control's events: "message: TEXT", "log: TYPE: NARRATION", and in data
access mode 2 "provide: SQL". Closing the window saves nothing.

Run as root, the web engine's sandbox is turned off (it cannot run inside
it as root); run the program as an ordinary user where you can.

Without a display (DISPLAY, WAYLAND_DISPLAY or QT_QPA_PLATFORM) only
--screenshot runs; run it on a desktop or under xvfb-run -a.

Exit status: 0 when the window was closed; 1 when the folder does not exist,
the report database cannot be opened (the driver's reason is printed), the
form file cannot be loaded, or there is no display; 2 for a usage error
or a setting the control refuses.

Example:
  zarel desktop sqlite:demo/demo.db --folder demo/site --talking \
      --heading 'Brightwater Supplies' --date-format 'dd Mmm yyyy')";

}  // namespace

void AddDesktopOptions(CLI::App& app, DesktopOptions& options) {
  app.description(
      "Open a report site in a window: the site's tree, the report page, a toolbar with "
      "Refresh, Save, Print, Preview and Properties, and the control's messages.");
  app.footer(kDesktopFooter);
  AddConnectionArgument(app, options.connection);
  app.add_option("--folder", options.folder,
                 "Application folder: fp.htm and oReport.htm are written there, the tree's "
                 "pictures (treeN.png, .gif, .svg, .jpg) come from there (default: the "
                 "current folder)");
  AddDisplayOptions(app, options.display);
  app.add_option("--form", options.form,
                 "Load the control from this saved form file (see zarel form) instead of "
                 "placing a fresh one; Properties edits it")
      ->type_name("FILE");
  app.add_option("--message-lines", options.message_lines,
                 "Lines the message pane keeps (default 1000)")
      ->check(CLI::Range(1, 1000000));
  app.add_option("--screenshot", options.screenshot,
                 "Save a picture of the window (PNG) once the front page is shown, and quit")
      ->type_name("FILE");
}

int RunDesktop(const DesktopOptions& options, std::ostream& err) {
  std::error_code ignored;
  if (!std::filesystem::is_directory(options.folder, ignored)) {
    err << "zarel: folder '" << options.folder << "' does not exist\n";
    return kDesktopRunFailure;
  }
  // The window opens only on a report database that opens.
  if (!CheckConnectionBeforeStart(options.connection, err)) return kDesktopRunFailure;
  DesktopWindow window(options);
  try {
    window.CreateControl();
  } catch (const RuntimeError& error) {
    err << "zarel: " << error.Description() << "\n";
    return kDesktopRunFailure;
  }
  window.show();
  try {
    window.Open();
  } catch (const RuntimeError& error) {
    err << "zarel: " << ErrorText("the control refused a setting: ", error) << "\n";
    return kDesktopUsageError;
  }
  if (options.screenshot) {
    const std::string path = *options.screenshot;
    window.Browser().WaitForLoad();
    QTimer::singleShot(kScreenshotDelayMs, &window, [&window, &err, path] {
      const bool saved = window.grab().save(QString::fromStdString(path), "PNG");
      if (!saved) err << "zarel: cannot write the picture " << path << "\n";
      QApplication::exit(saved ? kDesktopCompleted : kDesktopRunFailure);
    });
  }
  return QApplication::exec();
}

}  // namespace zarel
