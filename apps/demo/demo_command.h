// zarel demo: creates the demo site, a complete example report site of a
// small sales company, in a folder of the user's choice.
//
//   zarel demo DIR [--connection CONNECTION]
//
// DIR is created when missing. It receives the report database DIR/demo.db
// (SQLite) and the application folder DIR/site with the images the pages
// refer to and the product pictures. An existing, non-empty DIR/demo.db is
// never overwritten: the command refuses with exit status 1 and changes
// nothing. The database is written to a temporary file in DIR and moved
// into place only when complete, so a failed run leaves no partial
// database. The command prints what it created and the zarel browse
// command that opens the site.
//
// With --connection (a PostgreSQL connection string) the same report
// database is placed into that PostgreSQL database instead, in one
// transaction, and DIR receives only the application folder. A database
// that already holds a table of the demo's names is refused, with nothing
// changed there or in DIR.
#ifndef ZAREL_APPS_DEMO_DEMO_COMMAND_H_
#define ZAREL_APPS_DEMO_DEMO_COMMAND_H_

#include <CLI/CLI.hpp>

#include <optional>
#include <ostream>
#include <string>

namespace zarel {

struct DemoOptions {
  std::string folder;
  std::optional<std::string> connection;
};

// What CreateDemoSite made.
struct DemoSite {
  std::string database;            // DIR/demo.db, or the PostgreSQL connection string
  std::string connection;          // the connection string that opens it
  std::string application_folder;  // DIR/site
  int tables = 0;
  long rows = 0;
  int page_images = 0;
  int product_pictures = 0;
};

// Creates the demo site in folder as described above, its database in
// PostgreSQL when postgres names one. Raises RuntimeError (75 "Path/File
// access error" with the reason) when the folder cannot be created or
// written, or when it already holds a demo database; kDatabaseError when
// the PostgreSQL database cannot take the demo.
DemoSite CreateDemoSite(const std::string& folder, const std::optional<std::string>& postgres = std::nullopt);

// The zarel browse command line that opens the site and shows its
// dashboard, with paths quoted for a POSIX shell.
std::string DemoBrowseCommand(const DemoSite& site);

// Adds the "demo" subcommand, filling options when it is parsed.
CLI::App* AddDemoCommand(CLI::App& app, DemoOptions& options);

// Runs a parsed demo command; answers the exit status (0 created, 1 failed).
int RunDemo(const DemoOptions& options, std::ostream& out, std::ostream& err);

}  // namespace zarel

#endif  // ZAREL_APPS_DEMO_DEMO_COMMAND_H_
