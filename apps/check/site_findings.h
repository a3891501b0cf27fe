// What zarel check reports: one finding per mistake, naming where it is
// (table, row ID, column), what is wrong and how to mend it; and the
// figures of a crawl (slowest components, largest pages).
//
// A finding reads, as one line:
//   XWeb 12 (node 4, 'Orders by month'), column 4 (procedure): procedure
//   'MonthlyOrders' not found in XProc. Mend: add an XProc row named
//   'MonthlyOrders', or correct the name.
// A finding of the crawl names the role and the node instead:
//   crawl, role 0, Shop\Products: Error: 9, Subscript out of range (reason: ...)
#ifndef ZAREL_APPS_CHECK_SITE_FINDINGS_H_
#define ZAREL_APPS_CHECK_SITE_FINDINGS_H_

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace zarel::check {

struct Finding {
  std::string check;    // a stable name of the kind of mistake ("procedure-not-found")
  std::string table;    // "XNav", "XWeb", "XScr", "XProc", "folder"; "" for the crawl
  std::string id;       // the row's ID ("" for the table as a whole)
  std::string context;  // "node 4, 'Orders by month'", the row's caption
  std::optional<int> column;  // the column's position, from 0
  std::string column_name;    // "procedure"
  std::string problem;
  std::string fix;
  // Findings of the crawl: the role and the node's path.
  std::optional<int> role;
  std::string path;
};

// The finding as one line, as above.
std::string FindingText(const Finding& finding);

// The finding as a JSON object: check, table, id, context, column,
// columnName, problem, fix, role, path, text.
nlohmann::json FindingJson(const Finding& finding);

}  // namespace zarel::check

#endif  // ZAREL_APPS_CHECK_SITE_FINDINGS_H_
