// zarel-desktop, the program behind `zarel desktop`: reads the command
// line, prepares the web engine's environment, and runs the window (see
// desktop_command.h); without a display it only makes --screenshot's
// picture.
#include <QApplication>
#include <QTemporaryDir>
#include <iostream>

#include "apps/desktop/desktop_command.h"
#include "zarel/desktop/web_engine_environment.h"

int main(int argc, char** argv) {
  CLI::App app;
  app.name("zarel desktop");
  zarel::DesktopOptions options;
  zarel::AddDesktopOptions(app, options);
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& error) {
    const int status = app.exit(error, std::cout, std::cerr);
    return status == 0 ? zarel::kDesktopCompleted : zarel::kDesktopUsageError;
  }
  // Without a display the window would run where nobody sees it, until
  // killed; only a picture (--screenshot) is worth making there.
  if (!options.screenshot && !zarel::HasWindowPlatform()) {
    std::cerr << "zarel: no display to open the window on (DISPLAY is not set): run it on a "
                 "desktop, under xvfb-run, or with --screenshot FILE\n";
    return zarel::kDesktopRunFailure;
  }
  // The toolkit wants a private runtime folder; one of its own when the
  // session has none.
  QTemporaryDir runtime;
  zarel::PrepareWebEngineEnvironment(runtime.isValid() ? runtime.path().toStdString() : "");
  int qt_argc = 1;
  QApplication application(qt_argc, argv);
  return zarel::RunDesktop(options, std::cerr);
}
