// The static checks of the site tables XNav and XScr, the procedures the
// site calls and the pictures in the application folder (see
// site_checks.h); the XWeb rows are checked in component_checks.cpp.
#include "apps/check/site_checks.h"

#include <filesystem>
#include <set>

#include "apps/check/check_internals.h"
#include "zarel/base/ascii_text.h"
#include "zarel/base/error.h"
#include "zarel/db/database_driver.h"
#include "zarel/db/procedure_call.h"
#include "zarel/engine/navigation_tree.h"
#include "zarel/engine/query_parameters.h"
#include "zarel/hostkit/headless_tree_view.h"
#include "zarel/engine/site_columns.h"

namespace zarel::check {

namespace {

constexpr long kLargestId = 32767;  // IDs travel in tags as 16-bit integers

std::optional<long> WholeNumber(const Variant& value) {
  if (value.IsNull() || value.IsEmpty()) return std::nullopt;
  try {
    const double number = value.ToDouble();
    if (number != static_cast<double>(static_cast<long>(number))) return std::nullopt;
    return static_cast<long>(number);
  } catch (const RuntimeError&) {
    return std::nullopt;
  }
}

char KindLetter(const Variant& kind) {
  const std::string text = kind.TextOrEmpty();
  return text.empty() ? '\0' : LowerAsciiChar(text.front());
}

std::string KindName(char letter) {
  switch (letter) {
    case 'f':
      return "fixed";
    case 'v':
      return "variable";
    case 't':
      return "tree";
    case 'l':
      return "leaf";
    default:
      return "no";
  }
}

std::string Quoted(const std::string& text) { return "'" + text + "'"; }

}  // namespace

// --- Shared pieces ---

Variant SiteTable::At(std::size_t column, std::size_t row) const {
  if (column >= rows.Columns() || row >= rows.Rows()) return Variant();
  return rows.At(column, row);
}

std::optional<std::size_t> NavIndex::Row(long id) const {
  const auto found = row_of_id.find(id);
  if (found == row_of_id.end()) return std::nullopt;
  return found->second;
}

std::string NavIndex::Caption(std::size_t row) const {
  return Quoted(nav->At(nav_column::kCaption, row).TextOrEmpty());
}

std::string IdText(const Variant& value) {
  if (const std::optional<long> id = WholeNumber(value)) return std::to_string(*id);
  return value.IsNull() ? std::string("(no ID)") : value.TextOrEmpty();
}

Finding RowFinding(const std::string& check, const std::string& table, const std::string& id,
                   const std::string& context) {
  Finding finding;
  finding.check = check;
  finding.table = table;
  finding.id = id;
  finding.context = context;
  return finding;
}

std::string SampleArguments(const std::string& keyword) {
  // The engine's own rule, from a selected node with a key and a text.
  std::shared_ptr<HeadlessTreeView> tree = HeadlessTreeView::Create();
  TreeNodeRef node = tree->Nodes().Add();
  node->Text("Sample");
  TreeNodeRef child = tree->Nodes().Add(node, kTreeChild, "1\xC2\xBB" "fixed", "Sample", Variant());
  child->Selected(true);
  return ApplyQueryParameters(keyword, tree.get());
}

void CheckProcedureCall(CheckConnection& database, const Finding& where, const std::string& procedure,
                        const std::string& keyword, std::vector<Finding>& findings) {
  const std::string call = "EXEC " + procedure + SampleArguments(keyword);
  ProcedureCall parsed;
  try {
    parsed = ParseProcedureCall(call);
  } catch (const RuntimeError& error) {
    Finding finding = where;
    finding.check = "procedure-call";
    finding.column = 4;
    finding.column_name = "procedure";
    finding.problem = "the call " + Quoted(call) + " does not parse: " + error.Description();
    finding.fix = "write the procedure's name alone in column 4 (its argument comes from column 5)";
    findings.push_back(std::move(finding));
    return;
  }
  if (database.ProcedureExists(parsed.name)) return;
  Finding finding = where;
  finding.check = "procedure-not-found";
  finding.column = 4;
  finding.column_name = "procedure";
  finding.problem = "procedure " + Quoted(parsed.name) + " not found in XProc" +
                    (database.IsPostgreSQL() ? " nor as a function" : "");
  finding.fix = "add an XProc row named " + Quoted(parsed.name) + ", or correct the name";
  findings.push_back(std::move(finding));
}

// --- The connection ---

CheckConnection::CheckConnection(const std::string& connection_string)
    : connection_(Connection::Create()) {
  connection_->Open(connection_string);
  connection_->BeginTrans();
  // Reading only: the database itself refuses any write of the checks (a
  // shape component's procedure that writes fails instead of writing).
  if (IsPostgreSQL()) {
    connection_->Execute("SET TRANSACTION READ ONLY", kExecuteNoRecords);
  } else {
    connection_->Execute("PRAGMA query_only = ON", kExecuteNoRecords);
  }
}

CheckConnection::~CheckConnection() {
  try {
    connection_->RollbackTrans();
    connection_->Close();
  } catch (const RuntimeError&) {
    // Closing ends the transaction without writing it in any case.
  }
}

bool CheckConnection::IsPostgreSQL() const { return connection_->Driver().Kind() == Backend::kPostgreSQL; }

bool CheckConnection::Guarded(const std::function<void()>& work, std::string* reason) {
  connection_->Execute("SAVEPOINT zarel_check", kExecuteNoRecords);
  try {
    work();
    connection_->Execute("RELEASE SAVEPOINT zarel_check", kExecuteNoRecords);
    return true;
  } catch (const RuntimeError& error) {
    if (reason != nullptr) *reason = error.Description();
    connection_->Execute("ROLLBACK TO SAVEPOINT zarel_check", kExecuteNoRecords);
    connection_->Execute("RELEASE SAVEPOINT zarel_check", kExecuteNoRecords);
    return false;
  }
}

SiteTable CheckConnection::ReadTable(const std::string& name, const std::string& query) {
  SiteTable table;
  table.name = name;
  std::string reason;
  const bool read = Guarded(
      [&] {
        std::shared_ptr<Recordset> rows = connection_->Execute(query);
        for (const Field& field : rows->Fields()) table.columns.push_back(field.Name());
        if (rows->RecordCount() > 0) table.rows = rows->GetRows();
      },
      &reason);
  if (!read) table.failure = reason;
  return table;
}

bool CheckConnection::ProcedureExists(const std::string& name) {
  const std::string key = LowerAscii(name);
  if (const auto known = procedures_.find(key); known != procedures_.end()) return known->second;
  bool exists = false;
  Guarded([&] {
    DatabaseDriver& driver = connection_->Driver();
    exists = driver.FindProcedureBody(name).has_value() || driver.HasNativeProcedure(name);
  });
  procedures_[key] = exists;
  return exists;
}

std::optional<std::string> CheckConnection::FirstValue(const std::string& statement, long* row_count) {
  std::optional<std::string> value;
  Guarded([&] {
    std::shared_ptr<Recordset> rows = connection_->Execute(statement);
    if (row_count != nullptr) *row_count = rows->RecordCount();
    if (rows->Fields().Count() > 0 && !rows->Eof()) value = rows->Fields()[0].Value().TextOrEmpty();
  });
  return value;
}

namespace {

// --- XNav ---

void CheckNavColumns(const SiteTable& nav, std::vector<Finding>& findings) {
  if (nav.columns.size() >= nav_column::kCount) return;
  Finding finding = RowFinding("columns-missing", "XNav", "", "");
  finding.problem = "the table has " + std::to_string(nav.columns.size()) +
                    " columns; the engine reads 8 by position (ID, caption, kind, parent, procedure, "
                    "parameter, image, roles), so every node fails to open";
  finding.fix = "add the missing columns after the existing ones, in that order";
  findings.push_back(std::move(finding));
}

NavIndex IndexNav(const SiteTable& nav, std::vector<Finding>& findings) {
  NavIndex index;
  index.nav = &nav;
  std::multimap<long, std::size_t> by_id;
  for (std::size_t row = 0; row < nav.RowCount(); ++row) {
    const Variant id_value = nav.At(nav_column::kId, row);
    const std::optional<long> id = WholeNumber(id_value);
    if (!id || *id < 1 || *id > kLargestId) {
      Finding finding = RowFinding("id-invalid", "XNav", IdText(id_value), Quoted(nav.At(nav_column::kCaption, row).TextOrEmpty()));
      finding.column = 0;
      finding.column_name = "ID";
      finding.problem = "the ID must be a whole number from 1 to 32767 (it travels in node tags as a "
                        "16-bit integer; below 2 a node has no page)";
      finding.fix = "give the row a unique whole number in that range";
      findings.push_back(std::move(finding));
      if (!id) continue;
    }
    by_id.emplace(*id, row);
  }
  for (const auto& [id, row] : by_id) {
    index.order.push_back(row);
    if (index.row_of_id.count(id) == 0) {
      index.row_of_id[id] = row;
      continue;
    }
    Finding finding = RowFinding("id-duplicate", "XNav", std::to_string(id), index.Caption(row));
    finding.column = 0;
    finding.column_name = "ID";
    finding.problem = "another row has the same ID, " + index.Caption(index.row_of_id[id]) +
                      ", which is the one the tree uses";
    finding.fix = "give each row its own ID";
    findings.push_back(std::move(finding));
  }
  return index;
}

// Why a row under a parent of this kind never becomes a node or template,
// or empty when it does. first_under_variable: the row is the first (by ID)
// beneath a variable parent.
std::string UnusedBeneath(char parent_kind, char kind, bool first_under_variable) {
  switch (parent_kind) {
    case 'f':
      return std::string();
    case 'v':
      return first_under_variable
                 ? std::string()
                 : "only the first row beneath a variable node shapes its records; this one is never used";
    case 't':
      return kind == 'l' ? std::string()
                         : "beneath a tree node only leaf rows add nodes (the tree's records are again "
                           "nodes of the tree row)";
    case 'l':
      return "a leaf node never gets children";
    default:
      return "its parent is a node of no known kind, which never gets children";
  }
}

void CheckNavRows(CheckConnection& database, const NavIndex& index, std::vector<Finding>& findings) {
  const SiteTable& nav = *index.nav;
  if (!index.Row(1)) {
    Finding finding = RowFinding("root-missing", "XNav", "1", "");
    finding.problem = "there is no row with ID 1: the root node opens nothing";
    finding.fix = "add the root row: ID 1, the site's title, kind 'fixed'";
    findings.push_back(std::move(finding));
  }
  // The first row beneath each variable row (by ID) is its record template.
  std::map<long, long> template_of;
  for (std::size_t row : index.order) {
    const std::optional<long> parent = WholeNumber(nav.At(nav_column::kParent, row));
    const std::optional<long> id = WholeNumber(nav.At(nav_column::kId, row));
    if (parent && id && template_of.count(*parent) == 0) template_of[*parent] = *id;
  }

  for (std::size_t row : index.order) {
    const long id = *WholeNumber(nav.At(nav_column::kId, row));
    if (index.row_of_id.at(id) != row) continue;  // a duplicate, reported
    const std::string where_id = std::to_string(id);
    const std::string caption = index.Caption(row);
    const Variant kind_value = nav.At(nav_column::kKind, row);
    const char kind = KindLetter(kind_value);
    const auto finding_at = [&](const std::string& check, int column, const std::string& column_name) {
      Finding finding = RowFinding(check, "XNav", where_id, caption);
      finding.column = column;
      finding.column_name = column_name;
      return finding;
    };

    // The kind (the root's is not read: it opens as a fixed node).
    if (id == 1) {
    } else if (kind_value.IsNull() || TrimBlanks(kind_value.TextOrEmpty()).empty()) {
      Finding finding = finding_at("kind-missing", 2, "kind");
      finding.problem = kind_value.IsNull()
                            ? "the kind is Null: opening the node's parent fails (Error: 94) once this "
                              "node is added, and the rows after it are not listed"
                            : "the kind is empty: the node only scrolls into view";
      finding.fix = "write fixed, variable, tree or leaf";
      findings.push_back(std::move(finding));
    } else if (kind != 'f' && kind != 'v' && kind != 't' && kind != 'l') {
      Finding finding = finding_at("kind-unknown", 2, "kind");
      finding.problem = "kind " + Quoted(kind_value.TextOrEmpty()) +
                        " is none of fixed, variable, tree, leaf (only the first letter counts): the "
                        "node only scrolls into view";
      finding.fix = "write fixed, variable, tree or leaf";
      findings.push_back(std::move(finding));
    }

    // The parent, its chain up to the root, and whether anything reaches
    // the row.
    if (id != 1) {
      const Variant parent_value = nav.At(nav_column::kParent, row);
      const std::optional<long> parent = WholeNumber(parent_value);
      const std::optional<std::size_t> parent_row = parent ? index.Row(*parent) : std::nullopt;
      if (!parent_row) {
        Finding finding = finding_at("parent-missing", 3, "parent");
        finding.problem = "the parent " + (parent_value.IsNull() ? std::string("(Null)") : IdText(parent_value)) +
                          " is no row of XNav: no path from the root reaches this node";
        finding.fix = "write the ID of the node this one belongs under";
        findings.push_back(std::move(finding));
      } else {
        // Up the parents: the root, a cycle, or a break reported elsewhere.
        std::set<long> seen = {id};
        long at = *parent;
        bool cycle = false;
        while (at != 1) {
          if (!seen.insert(at).second) {
            cycle = at == id;
            break;
          }
          const std::optional<std::size_t> up = index.Row(at);
          if (!up) break;
          const std::optional<long> next = WholeNumber(nav.At(nav_column::kParent, *up));
          if (!next) break;
          at = *next;
        }
        if (cycle) {
          Finding finding = finding_at("cycle", 3, "parent");
          finding.problem = "its parents lead back to itself, never to the root: no path reaches it";
          finding.fix = "make the chain of parents end at the root, ID 1";
          findings.push_back(std::move(finding));
        } else {
          // The root is opened as a fixed node whatever its row says.
          const char parent_kind = *parent == 1 ? 'f' : KindLetter(nav.At(nav_column::kKind, *parent_row));
          const auto first = template_of.find(*parent);
          const std::string unused =
              UnusedBeneath(parent_kind, kind, first != template_of.end() && first->second == id);
          if (!unused.empty()) {
            Finding finding = finding_at("unreachable", 3, "parent");
            finding.problem = "no path reaches this row: its parent " + std::to_string(*parent) + " (" +
                              index.Caption(*parent_row) + ") is a " + KindName(parent_kind) +
                              " node, and " + unused;
            finding.fix = "move the row under a node that lists it, or remove it";
            findings.push_back(std::move(finding));
          }
        }
      }
    }

    // The procedure of the kinds that run one.
    const std::string procedure = nav.At(nav_column::kProcedure, row).TextOrEmpty();
    const std::string keyword = nav.At(nav_column::kParameter, row).TextOrEmpty();
    const std::optional<long> parent = WholeNumber(nav.At(nav_column::kParent, row));
    const std::optional<std::size_t> parent_row = parent ? index.Row(*parent) : std::nullopt;
    const bool leaf_of_tree = kind == 'l' && parent_row && KindLetter(nav.At(nav_column::kKind, *parent_row)) == 't';
    if (kind == 'v' || kind == 't') {
      if (procedure.empty()) {
        Finding finding = finding_at("procedure-missing", 4, "procedure");
        finding.problem = "a " + KindName(kind) + " node lists the records of its procedure, and it names none: "
                          "opening it fails";
        finding.fix = "name the procedure whose records (key, then caption) become the node's children";
        findings.push_back(std::move(finding));
      } else {
        CheckProcedureCall(database, RowFinding("", "XNav", where_id, caption), procedure, keyword, findings);
      }
    } else if (leaf_of_tree && !procedure.empty()) {
      CheckProcedureCall(database, RowFinding("", "XNav", where_id, caption), procedure, keyword, findings);
    }
    if ((kind == 'v' || kind == 't' || leaf_of_tree) && !keyword.empty() &&
        SampleArguments(keyword).empty()) {
      Finding finding = finding_at("parameter-unknown", 5, "parameter");
      finding.problem = "parameter " + Quoted(keyword) +
                        " is none of text, today, lkey, skey: the procedure is called without an argument";
      finding.fix = "write one of those keywords, or leave the column empty";
      findings.push_back(std::move(finding));
    }

    // A variable row's records need a row beneath it to shape them.
    if (kind == 'v' && template_of.count(id) == 0) {
      Finding finding = finding_at("template-missing", 0, "ID");
      finding.problem = "no row lies beneath this variable node, so its records become nodes that open nothing";
      finding.fix = "add a row whose parent is " + where_id + " (a leaf, say) to shape the records' nodes and pages";
      findings.push_back(std::move(finding));
    }

    // The image number and the role list.
    try {
      NullToInteger(nav.At(nav_column::kImage, row));
    } catch (const RuntimeError& error) {
      Finding finding = finding_at("image-invalid", 6, "image");
      finding.problem = "the image number " + Quoted(nav.At(nav_column::kImage, row).TextOrEmpty()) +
                        " is no 16-bit whole number (" + error.Description() + "): opening the parent fails";
      finding.fix = "write the number of an image of the tree's image list, or leave it empty";
      findings.push_back(std::move(finding));
    }
    const std::string roles = nav.At(nav_column::kRoles, row).TextOrEmpty();
    std::size_t start = 0;
    while (!roles.empty()) {
      const std::size_t colon = roles.find(':', start);
      const std::string item = roles.substr(start, colon == std::string::npos ? std::string::npos : colon - start);
      try {
        RoleAllowed(item, 0);
      } catch (const RuntimeError&) {
        Finding finding = finding_at("roles-invalid", 7, "roles");
        finding.problem = "role " + Quoted(item) + " in " + Quoted(roles) +
                          " is no number: opening the node fails (Error: 13) for every role that no "
                          "entry before it names";
        finding.fix = "write role numbers separated by ':' (2:5), or leave it empty for everyone";
        findings.push_back(std::move(finding));
        break;
      }
      if (colon == std::string::npos) break;
      start = colon + 1;
    }
  }
}

// --- XScr ---

void CheckScreens(CheckConnection& database, std::vector<Finding>& findings) {
  for (const int id : {1, 2}) {
    const SiteTable screen =
        database.ReadTable("XScr", "SELECT * FROM XScr WHERE (ID=" + std::to_string(id) + ")");
    if (screen.failure) {
      if (id == 2) break;  // reported for row 1
      Finding finding = RowFinding("table-missing", "XScr", "", "");
      finding.problem = "the table cannot be read (" + *screen.failure + ")";
      finding.fix = "create XScr with a column named ID and the HTML in its third column";
      findings.push_back(std::move(finding));
      break;
    }
    const std::string purpose = id == 1 ? "the front page fp.htm" : "the opening of every report page";
    if (screen.RowCount() == 0) {
      Finding finding = RowFinding("screen-missing", "XScr", std::to_string(id), "");
      finding.problem = "there is no row with ID " + std::to_string(id) + ", " + purpose;
      finding.fix = "add it, with the HTML in column 2";
      findings.push_back(std::move(finding));
      continue;
    }
    if (screen.columns.size() < 3) {
      Finding finding = RowFinding("columns-missing", "XScr", "", "");
      finding.problem = "the table has " + std::to_string(screen.columns.size()) +
                        " columns; the HTML is read from the third (column 2)";
      finding.fix = "add the columns so that the HTML stands third";
      findings.push_back(std::move(finding));
      return;
    }
    const std::string html = screen.At(2, 0).TextOrEmpty();
    const std::string lower = LowerAscii(html);
    Finding where = RowFinding("", "XScr", std::to_string(id), "");
    where.column = 2;
    where.column_name = "HTML";
    if (id == 1) {
      for (const char* placeholder : {"%storename%", "%date%", "%mainheading%"}) {
        if (lower.find(placeholder) == std::string::npos) continue;
        Finding finding = where;
        finding.check = "placeholder-unfilled";
        finding.problem = std::string("the front page is written as it stands: ") + placeholder +
                          " is not replaced there";
        finding.fix = "write the text itself, or move the placeholder to row 2";
        findings.push_back(std::move(finding));
      }
      continue;
    }
    if (lower.find("<body") == std::string::npos || lower.find("<div") == std::string::npos) {
      Finding finding = where;
      finding.check = "page-opening";
      finding.problem = "the page opening must open the document, its body and a DIV, which every page "
                        "closes with </DIV></BODY></HTML>";
      finding.fix = "end row 2 with <body><div> (with any attributes)";
      findings.push_back(std::move(finding));
    }
    // %StoreName% is replaced only as written; %Date% and %MainHeading% in
    // any letter case.
    for (std::size_t at = lower.find("%storename%"); at != std::string::npos;
         at = lower.find("%storename%", at + 1)) {
      if (html.compare(at, 11, "%StoreName%") == 0) continue;
      Finding finding = where;
      finding.check = "placeholder-case";
      finding.problem = Quoted(html.substr(at, 11)) + " stays as written: only %StoreName% is replaced by the heading";
      finding.fix = "write %StoreName%";
      findings.push_back(std::move(finding));
      break;
    }
  }
}

// --- The application folder ---

void CheckPictures(const std::string& folder, const std::vector<std::string>& needed,
                   std::vector<Finding>& findings) {
  for (const std::string& picture : needed) {
    std::error_code ignored;
    if (std::filesystem::is_regular_file(std::filesystem::path(folder) / picture, ignored)) continue;
    Finding finding = RowFinding("picture-missing", "folder", picture, "");
    finding.problem = "the pages name " + picture + ", which is not in " + folder;
    finding.fix = "put the picture there (zarel new draws a set)";
    findings.push_back(std::move(finding));
  }
}

// A site table that cannot be read, or has no rows, is one finding; false
// then, and its rows are not checked.
bool TableUsable(const SiteTable& table, const std::string& effect, const std::string& create,
                 const std::string& fill, std::vector<Finding>& findings) {
  if (table.failure) {
    Finding finding = RowFinding("table-missing", table.name, "", "");
    finding.problem = "the table cannot be read (" + *table.failure + "): " + effect;
    finding.fix = create;
    findings.push_back(std::move(finding));
    return false;
  }
  if (table.RowCount() > 0) return true;
  Finding finding = RowFinding("table-empty", table.name, "", "");
  finding.problem = "the table has no rows: " + effect;
  finding.fix = fill;
  findings.push_back(std::move(finding));
  return false;
}

}  // namespace

StaticResult CheckSite(const std::string& connection_string, const std::optional<std::string>& folder) {
  StaticResult result;
  std::unique_ptr<CheckConnection> database;
  try {
    database = std::make_unique<CheckConnection>(connection_string);
  } catch (const RuntimeError& error) {
    result.connection_failure = error.Description();
    return result;
  }
  std::vector<Finding>& findings = result.findings;

  const SiteTable nav = database->ReadTable("XNav", "SELECT * FROM XNav");
  NavIndex index;
  index.nav = &nav;
  if (TableUsable(nav, "the tree holds the root alone",
                  "create XNav (ID, Caption, Kind, ParentID, ProcName, Param, Image, Roles)",
                  "add the root row (ID 1, kind 'fixed') and the nodes beneath it", findings)) {
    CheckNavColumns(nav, findings);
    index = IndexNav(nav, findings);
    if (nav.columns.size() >= nav_column::kCount) CheckNavRows(*database, index, findings);
  }

  const SiteTable web = database->ReadTable("XWeb", "SELECT * FROM XWeb");
  std::vector<std::string> pictures;
  if (TableUsable(web, "every page fails after its header (the component rows are never loaded)",
                  "create XWeb (CompID, NodeID, Pos, Caption, ProcName, Param, CompType, Opt1, Opt2)",
                  "add a component row for at least one page", findings)) {
    CheckComponents(*database, web, index, findings, pictures);
  }

  CheckScreens(*database, findings);
  if (folder) CheckPictures(*folder, pictures, findings);
  return result;
}

}  // namespace zarel::check
