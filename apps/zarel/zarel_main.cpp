// The zarel program's command line (see zarel_main.h).
#include "apps/zarel/zarel_main.h"

#include <CLI/CLI.hpp>
#include <unistd.h>

#include <iostream>

#include "apps/browse/browse_command.h"
#include "apps/browse/form_command.h"
#include "apps/check/check_command.h"
#include "apps/demo/demo_command.h"
#include "apps/export/export_command.h"
#include "apps/newsite/new_command.h"
#include "apps/serve/serve_command.h"
#include "apps/zarel/desktop_launch.h"

#ifndef ZAREL_VERSION
#define ZAREL_VERSION "unknown"
#endif

namespace zarel {

namespace {

constexpr int kUsageError = 2;

}  // namespace

int ZarelMain(int argc, const char* const* argv, std::ostream& out, std::ostream& err) {
  CLI::App app{"Zarel: a database reporting component and its hosts."};
  app.set_version_flag("--version", std::string("zarel ") + ZAREL_VERSION);
  app.require_subcommand(0, 1);

  BrowseOptions browse_options;
  CLI::App* browse = AddBrowseCommand(app, browse_options);
  CheckOptions check_options;
  CLI::App* check = AddCheckCommand(app, check_options);
  DemoOptions demo_options;
  CLI::App* demo = AddDemoCommand(app, demo_options);
  ExportOptions export_options;
  CLI::App* export_site = AddExportCommand(app, export_options);
  NewOptions new_options;
  CLI::App* new_site = AddNewCommand(app, new_options);
  FormOptions form_options;
  CLI::App* form = AddFormCommand(app, form_options);
  serve::ServeOptions serve_options;
  CLI::App* serve = AddServeCommand(app, serve_options);
  // Everything after "desktop", --help included, goes to the desktop host.
  CLI::App* desktop = app.add_subcommand(
      "desktop",
      "Open a report site in a window (the desktop host, built where Qt 6 is found); "
      "see zarel desktop --help");
  desktop->prefix_command();
  desktop->set_help_flag();
  desktop->allow_extras();

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& error) {
    const int status = app.exit(error, out, err);
    return status == 0 ? 0 : kUsageError;
  }
  if (browse->parsed()) return RunBrowse(browse_options, out, err);
  if (check->parsed()) {
    // The progress line only where a person watches the crawl.
    check_options.progress = &err == &std::cerr && ::isatty(STDERR_FILENO) != 0;
    return RunCheck(check_options, out, err);
  }
  if (demo->parsed()) return RunDemo(demo_options, out, err);
  if (export_site->parsed()) {
    // The progress line only where a person watches the export.
    export_options.progress = &err == &std::cerr && ::isatty(STDERR_FILENO) != 0;
    return RunExport(export_options, out, err);
  }
  if (form->parsed()) return RunForm(form_options, out, err);
  if (new_site->parsed()) return RunNew(new_options, out, err);
  if (serve->parsed()) return RunServe(serve_options, out, err);
  if (desktop->parsed()) {
    out.flush();
    return LaunchDesktop(desktop->remaining(), err);
  }
  out << app.help();
  return 0;
}

}  // namespace zarel
