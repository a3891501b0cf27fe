// The CONNECTION argument of the commands that open a report database
// (zarel browse, serve, desktop, check and export): required, first, and
// described alike everywhere.
#ifndef ZAREL_APPS_OPTIONS_CONNECTION_OPTION_H_
#define ZAREL_APPS_OPTIONS_CONNECTION_OPTION_H_

#include <CLI/CLI.hpp>

#include <string>

namespace zarel {

// Adds the positional CONNECTION to a command, filling connection when it
// is parsed.
void AddConnectionArgument(CLI::App& command, std::string& connection);

}  // namespace zarel

#endif  // ZAREL_APPS_OPTIONS_CONNECTION_OPTION_H_
