// What the static checks' files share: the site tables as read, a read-only
// guarded connection, and the rules that both the navigation and the
// component checks apply (procedure calls). Private to apps/check.
#ifndef ZAREL_APPS_CHECK_CHECK_INTERNALS_H_
#define ZAREL_APPS_CHECK_CHECK_INTERNALS_H_

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "apps/check/site_findings.h"
#include "zarel/base/variant.h"
#include "zarel/db/connection.h"
#include "zarel/db/recordset.h"

namespace zarel::check {

// One site table as "SELECT * FROM" gives it.
struct SiteTable {
  std::string name;
  std::optional<std::string> failure;  // the table could not be read: why
  std::vector<std::string> columns;
  Array2D rows;                        // (column, row), in the table's order
  std::size_t RowCount() const { return rows.IsEmpty() ? 0 : rows.Rows(); }
  // A cell, or Empty when the column is missing.
  Variant At(std::size_t column, std::size_t row) const;
};

// The connection the checks read through: read-only, inside a transaction
// that is rolled back when the object goes; every statement in a savepoint.
class CheckConnection {
 public:
  // Raises the driver's error when the database cannot be opened.
  explicit CheckConnection(const std::string& connection_string);
  ~CheckConnection();
  CheckConnection(const CheckConnection&) = delete;
  CheckConnection& operator=(const CheckConnection&) = delete;

  SiteTable ReadTable(const std::string& name, const std::string& query);
  // Whether the site can call the procedure: an XProc row, or on PostgreSQL
  // a function of that name.
  bool ProcedureExists(const std::string& name);
  // Runs a statement and answers its first field of its first row as text;
  // none when it fails or returns no row. row_count, when given, receives
  // the number of rows.
  std::optional<std::string> FirstValue(const std::string& statement, long* row_count = nullptr);
  bool IsPostgreSQL() const;

 private:
  // Runs work in a savepoint; false (the savepoint rolled back) when it
  // raised, with the reason.
  bool Guarded(const std::function<void()>& work, std::string* reason = nullptr);
  std::shared_ptr<Connection> connection_;
  std::map<std::string, bool> procedures_;  // by name in lower case
};

// The node rows by ID, as the navigation tree finds them.
struct NavIndex {
  const SiteTable* nav = nullptr;
  // The first row (in ID order) of each ID.
  std::map<long, std::size_t> row_of_id;
  // Row positions in ID order.
  std::vector<std::size_t> order;
  std::optional<std::size_t> Row(long id) const;
  // "XNav 4 ('Orders')": the context of a node row.
  std::string Caption(std::size_t row) const;
};

// The argument text a parameter keyword gives, as the engine makes it from
// a selected node ("text", "today", "lkey", "skey"; anything else none).
std::string SampleArguments(const std::string& keyword);

// Checks that "EXEC procedure arguments" parses and that the procedure
// exists; adds findings for the row.
void CheckProcedureCall(CheckConnection& database, const Finding& where, const std::string& procedure,
                        const std::string& keyword, std::vector<Finding>& findings);

// The XWeb rows' checks (component_checks.cpp).
void CheckComponents(CheckConnection& database, const SiteTable& web, const NavIndex& nav,
                     std::vector<Finding>& findings, std::vector<std::string>& pictures_needed);

// A finding about a row, to be completed by the caller.
Finding RowFinding(const std::string& check, const std::string& table, const std::string& id,
                   const std::string& context);

// The text of a whole number in a cell, or the cell's text.
std::string IdText(const Variant& value);

}  // namespace zarel::check

#endif  // ZAREL_APPS_CHECK_CHECK_INTERNALS_H_
