// zarel-desktop, the program behind `zarel desktop`: reads the command
// line, prepares the web engine's environment, and runs the window (see
// desktop_command.h).
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
  // The toolkit wants a private runtime folder; one of its own when the
  // session has none.
  QTemporaryDir runtime;
  zarel::PrepareWebEngineEnvironment(runtime.isValid() ? runtime.path().toStdString() : "");
  int qt_argc = 1;
  QApplication application(qt_argc, argv);
  return zarel::RunDesktop(options, std::cerr);
}
