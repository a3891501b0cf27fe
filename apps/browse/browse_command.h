// zarel browse: the command-line host. It places the Zarel control beside a
// headless tree view and web browser, refreshes it over a report database,
// clicks the nodes it is told to, and prints every event on standard
// output, so site authors and scripts can open report pages from a shell.
//
//   zarel browse CONNECTION [--folder DIR] [--talking] [--display-path]
//       [--heading TEXT] [--date-format PATTERN] [--role VALUE]
//       [--damode N] [--active-port N | --form FILE]
//       [--now "YYYY-MM-DD HH:MM:SS"] [--query-timeout SECONDS]
//       [--lock-timeout SECONDS]
//       [--click PATH]... [--save FILE] [--print] [--preview] [--tree]
//       [--diagnose]
//
// The control runs in run mode: freshly placed (ActivePort 80), as saved
// with ActivePort N (--active-port), or loaded from a saved form file
// (--form; its first Zarel control).
//
// Output, one line per event as it happens: "message: TEXT", "log: TYPE:
// NARRATION", "navigate: PATH", "provide: SQL" (DAMode 2), and for the
// headless printer "print: PATH" / "preview: PATH"; with --tree then
// "tree:" and one line per node. With --diagnose, "reason: TEXT" after each
// database read that failed: the database layer's own reason, which the
// engine's messages do not carry. Exit status 0 when the run completed, 1
// for a folder that does not exist, a report database that cannot be
// opened (the driver's reason on standard error), a form file that cannot
// be loaded or a PATH that matches no node, 2 for a usage error.
#ifndef ZAREL_APPS_BROWSE_BROWSE_COMMAND_H_
#define ZAREL_APPS_BROWSE_BROWSE_COMMAND_H_

#include <CLI/CLI.hpp>

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "apps/options/database_options.h"
#include "apps/options/display_options.h"
#include "zarel/base/variant.h"

namespace zarel {

struct BrowseOptions {
  std::string connection;
  std::string folder = ".";
  DisplayOptions display;
  DatabaseOptions database;
  // The ActivePort the control was saved with; a freshly placed control
  // (80) when neither this nor form is given.
  std::optional<std::int16_t> active_port;
  // A saved form file holding the control.
  std::optional<std::string> form;
  std::optional<Date> now;
  std::vector<std::string> clicks;
  std::optional<std::string> save;
  bool print = false;
  bool preview = false;
  bool tree = false;
  bool diagnose = false;
};

// Adds the "browse" subcommand, filling options when it is parsed.
CLI::App* AddBrowseCommand(CLI::App& app, BrowseOptions& options);

// Runs a parsed browse command; answers the exit status.
int RunBrowse(const BrowseOptions& options, std::ostream& out, std::ostream& err);

}  // namespace zarel

#endif  // ZAREL_APPS_BROWSE_BROWSE_COMMAND_H_
