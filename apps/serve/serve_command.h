// zarel serve: the web host. It serves a report site to any number of
// browsers at once, each session with its own Zarel control and its own copy
// of the site folder.
//
//   zarel serve CONNECTION --site DIR [--bind ADDR] [--port N] [--form FILE]
//       [--talking] [--display-path] [--heading TEXT] [--date-format PATTERN]
//       [--role VALUE] [--damode N] [--max-sessions N]
//       [--session-timeout SECONDS] [--threads N] [--query-timeout SECONDS]
//       [--lock-timeout SECONDS] [--pool-size N] [--pool-idle SECONDS]
//       [--pool-wait SECONDS] [bounds: see --help]
//
// It prints "zarel serve: open http://ADDR:PORT/ in a browser" and serves
// until it is interrupted (SIGINT or SIGTERM): then it stops taking
// requests, asks running statements to stop, answers waiting requests 503,
// lets answers under way finish for a moment and removes its work folder.
// A request that still runs after that does not keep the program: it
// leaves, its work folder removed. A second interruption leaves at once.
// Exit status 0 after an interruption, 1 when the site folder or the form
// cannot be used or the address cannot be bound, 2 for a usage error (also
// a setting the control refuses).
//
// The options come in groups, each added by its own function below, so a
// new group (a connection pool's, say) is one more call in AddServeCommand.
#ifndef ZAREL_APPS_SERVE_SERVE_COMMAND_H_
#define ZAREL_APPS_SERVE_SERVE_COMMAND_H_

#include <CLI/CLI.hpp>

#include <ostream>

#include "apps/serve/serve_options.h"

namespace zarel {

// Adds the "serve" subcommand, filling options when it is parsed.
CLI::App* AddServeCommand(CLI::App& app, serve::ServeOptions& options);
// The groups of options AddServeCommand adds.
void AddSessionOptions(CLI::App& serve, serve::ServeOptions& options);
void AddLimitOptions(CLI::App& serve, serve::ServeLimits& limits);

// Runs a parsed serve command until it is interrupted; answers the exit
// status.
int RunServe(const serve::ServeOptions& options, std::ostream& out, std::ostream& err);

}  // namespace zarel

#endif  // ZAREL_APPS_SERVE_SERVE_COMMAND_H_
