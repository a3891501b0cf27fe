// zarel serve: the web host. It serves a report site to any number of
// browsers at once, each session with its own Zarel control and its own copy
// of the site folder.
//
//   zarel serve CONNECTION --site DIR [--bind ADDR] [--port N] [--form FILE]
//       [--talking] [--display-path] [--heading TEXT] [--date-format PATTERN]
//       [--role VALUE] [--damode N] [--max-sessions N]
//       [--session-timeout SECONDS] [--threads N] [--query-timeout SECONDS]
//       [--lock-timeout SECONDS] [--pool-size N] [--pool-idle SECONDS]
//       [--pool-wait SECONDS]
//
// It prints "zarel serve: open http://ADDR:PORT/ in a browser" and serves
// until it is interrupted (SIGINT or SIGTERM). Exit status 0 after an
// interruption, 1 when the site folder or the form cannot be used or the
// address cannot be bound, 2 for a usage error (also a setting the control
// refuses).
#ifndef ZAREL_APPS_SERVE_SERVE_COMMAND_H_
#define ZAREL_APPS_SERVE_SERVE_COMMAND_H_

#include <CLI/CLI.hpp>

#include <ostream>

#include "apps/serve/serve_options.h"

namespace zarel {

// Adds the "serve" subcommand, filling options when it is parsed.
CLI::App* AddServeCommand(CLI::App& app, serve::ServeOptions& options);

// Runs a parsed serve command until it is interrupted; answers the exit
// status.
int RunServe(const serve::ServeOptions& options, std::ostream& out, std::ostream& err);

}  // namespace zarel

#endif  // ZAREL_APPS_SERVE_SERVE_COMMAND_H_
