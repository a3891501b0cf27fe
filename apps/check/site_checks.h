// The static checks of zarel check: everything that can be found wrong in a
// site without opening its pages. They read the site tables as the engine
// reads them (by position), look up every procedure the site calls, read
// the option texts of every component as its renderer reads them, and look
// for the pictures the pages name in the application folder.
//
// The database is never written: the checks run on one connection inside a
// transaction that is read-only (PostgreSQL: SET TRANSACTION READ ONLY;
// SQLite: PRAGMA query_only) and rolled back at the end, each statement in a
// savepoint of its own so that one that fails does not end the transaction.
// A shape component's procedure is run there too, to read the shape command
// it returns.
#ifndef ZAREL_APPS_CHECK_SITE_CHECKS_H_
#define ZAREL_APPS_CHECK_SITE_CHECKS_H_

#include <optional>
#include <string>
#include <vector>

#include "apps/check/site_findings.h"

namespace zarel::check {

struct StaticResult {
  // The database could not be opened: the driver's own reason.
  std::optional<std::string> connection_failure;
  std::vector<Finding> findings;
};

// Checks the site in the database; folder, when given, is the application
// folder whose pictures are looked for.
StaticResult CheckSite(const std::string& connection_string, const std::optional<std::string>& folder);

}  // namespace zarel::check

#endif  // ZAREL_APPS_CHECK_SITE_CHECKS_H_
