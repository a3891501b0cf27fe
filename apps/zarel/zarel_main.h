// The zarel program's command line: its subcommands, help, version and exit
// statuses, as a function over argv and two streams so that tests can run
// it in process.
#ifndef ZAREL_APPS_ZAREL_ZAREL_MAIN_H_
#define ZAREL_APPS_ZAREL_ZAREL_MAIN_H_

#include <ostream>

namespace zarel {

// Parses argv and runs the chosen subcommand. Help and version go to out
// with status 0; a usage error is explained on err with status 2.
int ZarelMain(int argc, const char* const* argv, std::ostream& out, std::ostream& err);

}  // namespace zarel

#endif  // ZAREL_APPS_ZAREL_ZAREL_MAIN_H_
