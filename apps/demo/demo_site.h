// The content of the demo site that `zarel demo` creates: the business data
// of a small sales company, the site tables that turn it into report pages,
// the stored procedures those pages call and the two screens (front page and
// page head). Everything is text compiled into the program, so the installed
// binary creates the site on its own.
#ifndef ZAREL_APPS_DEMO_DEMO_SITE_H_
#define ZAREL_APPS_DEMO_DEMO_SITE_H_

#include <string>
#include <string_view>
#include <vector>

namespace zarel::demo {

// SQLite statements that create and fill the business tables: Region,
// Employee, Customer, Product, Orders, OrderLine and Visit. Product
// pictures are left Null; the demo command draws them afterwards.
extern const std::string_view kBusinessSql;

// SQLite statements that create the site tables XNav, XWeb, XScr and XProc
// and fill XNav and XWeb. XScr and XProc rows are inserted from the lists
// below, as bound values.
extern const std::string_view kSiteTablesSql;

// One stored procedure: its name and its SQLite body (?1 is the argument).
struct Procedure {
  std::string_view name;
  std::string_view body;
};
const std::vector<Procedure>& Procedures();
// The same procedures in PostgreSQL's dialect, giving the same rows, names
// and types; the site placed in PostgreSQL holds these.
const std::vector<Procedure>& PostgresProcedures();

// XScr row 1: the front page, written to fp.htm as it stands.
const std::string& FrontPage();
// XScr row 2: the opening of every report page, with the style sheet for
// every class the pages use and the script that opens and closes the
// levels of shape reports.
const std::string& PageHead();

// The caption of the root node, which starts every node's path.
inline constexpr std::string_view kSiteTitle = "Brightwater Supplies";

}  // namespace zarel::demo

#endif  // ZAREL_APPS_DEMO_DEMO_SITE_H_
