// zarel check: tells a site's author, before any user, what is wrong with
// the site.
//
//   zarel check CONNECTION [--folder DIR] [--role N]... [--crawl]
//       [--max-nodes N] [--max-depth N] [--json]
//
// Without --crawl it checks the site tables without opening a page (see
// site_checks.h); with --crawl it then opens every node as a user of each
// given role (default 0) would and reports what the engine said (see
// crawl_findings.h). Findings go to standard output, one a line (--json: one
// JSON document); the summary and the crawl's figures to standard error,
// with a progress line while a crawl runs on a terminal. The database is
// never written.
//
// Exit status: 0 nothing found, 1 findings (or a database that cannot be
// opened), 2 usage.
#ifndef ZAREL_APPS_CHECK_CHECK_COMMAND_H_
#define ZAREL_APPS_CHECK_CHECK_COMMAND_H_

#include <CLI/CLI.hpp>

#include <cstddef>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace zarel {

struct CheckOptions {
  std::string connection;
  std::optional<std::string> folder;
  std::vector<int> roles;
  bool crawl = false;
  std::size_t max_nodes = 1000;
  std::size_t max_depth = 50;
  bool json = false;
  // Show the crawl's progress line on err (a terminal).
  bool progress = false;
};

CLI::App* AddCheckCommand(CLI::App& app, CheckOptions& options);

// Runs a parsed check command; answers the exit status.
int RunCheck(const CheckOptions& options, std::ostream& out, std::ostream& err);

}  // namespace zarel

#endif  // ZAREL_APPS_CHECK_CHECK_COMMAND_H_
