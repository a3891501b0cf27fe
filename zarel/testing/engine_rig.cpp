// The engine tests' shared support (see engine_rig.h).
#include "zarel/testing/engine_rig.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

#include "zarel/base/error.h"
#include "zarel/db/connection.h"

namespace zarel::testing {

namespace fs = std::filesystem;

namespace {

// The server URL with another database name in place of its own.
std::string WithDatabase(const std::string& url, const std::string& database) {
  const std::size_t query = url.find('?');
  const std::string base = url.substr(0, query);
  const std::string rest = query == std::string::npos ? "" : url.substr(query);
  const std::size_t slash = base.rfind('/');
  const bool has_path = slash != std::string::npos && slash > base.find("://") + 2;
  return (has_path ? base.substr(0, slash) : base) + "/" + database + rest;
}

// Runs statements on a fresh connection; a statement the database refuses
// fails the test.
void RunOn(const std::string& connection_string, const std::vector<std::string>& statements) {
  try {
    auto connection = Connection::Create();
    connection->Open(connection_string);
    for (const std::string& statement : statements) {
      try {
        connection->Execute(statement, kExecuteNoRecords);
      } catch (const RuntimeError& error) {
        ADD_FAILURE() << statement << ": " << error.Description();
      }
    }
  } catch (const RuntimeError& error) {
    ADD_FAILURE() << "cannot open " << connection_string << ": " << error.Description();
  }
}

}  // namespace

SiteDatabase::~SiteDatabase() {
  if (!server_url_.empty()) RunOn(server_url_, {"DROP DATABASE " + name_ + " WITH (FORCE)"});
}

void SiteDatabase::Run(const std::vector<std::string>& statements) {
  RunOn(connection_string_, statements);
}

std::vector<std::string> SiteDatabase::Column(const std::string& query) {
  std::vector<std::string> values;
  try {
    auto connection = Connection::Create();
    connection->Open(connection_string_);
    auto rows = connection->Execute(query);
    for (; !rows->Eof(); rows->MoveNext()) {
      const Variant& value = rows->Fields()[0].Value();
      values.push_back(value.IsNull() ? "NULL" : value.ToText());
    }
  } catch (const RuntimeError& error) {
    ADD_FAILURE() << query << ": " << error.Description();
  }
  return values;
}

std::unique_ptr<SiteDatabase> CreateSQLiteDatabase(const std::string& folder) {
  auto database = std::unique_ptr<SiteDatabase>(new SiteDatabase());
  const std::string path = folder + "/site.db";
  { std::ofstream create(path); }  // an empty file is an empty SQLite database
  database->connection_string_ = "sqlite:" + path;
  return database;
}

std::string PostgresUrl() {
  const char* url = std::getenv("ZAREL_TEST_PG");
  return url == nullptr ? std::string() : std::string(url);
}

bool PostgresRequired() {
  const char* required = std::getenv("ZAREL_REQUIRE_PG");
  return required != nullptr && std::string(required) == "1";
}

std::unique_ptr<SiteDatabase> CreatePostgresDatabase() {
  const std::string url = PostgresUrl();
  if (url.empty()) return nullptr;
  static std::atomic<int> counter{0};
  auto database = std::unique_ptr<SiteDatabase>(new SiteDatabase());
  database->name_ = "zarel_engine_" + std::to_string(::getpid()) + "_" + std::to_string(counter++);
  RunOn(url, {"CREATE DATABASE " + database->name_});
  database->server_url_ = url;
  database->connection_string_ = WithDatabase(url, database->name_);
  return database;
}

std::vector<std::string> SiteSchema() {
  return {
      "CREATE TABLE XNav (ID INTEGER, Caption VARCHAR(100), Kind VARCHAR(20), ParentID INTEGER, "
      "ProcName VARCHAR(50), Param VARCHAR(10), Image INTEGER, Roles VARCHAR(50))",
      "CREATE TABLE XWeb (CompID INTEGER, NodeID INTEGER, Pos INTEGER, Caption VARCHAR(100), "
      "ProcName VARCHAR(50), Param VARCHAR(10), CompType VARCHAR(20), Opt1 VARCHAR(100), "
      "Opt2 VARCHAR(100))",
      "CREATE TABLE XScr (ID INTEGER, Name VARCHAR(20), Html TEXT)",
      "CREATE TABLE XProc (Name VARCHAR(50), Body TEXT)",
  };
}

std::string Insert(const std::string& table, const std::string& values) {
  return "INSERT INTO " + table + " VALUES (" + values + ")";
}

std::vector<std::string> SalesSite() {
  std::vector<std::string> site = SiteSchema();
  const std::vector<std::string> rows = {
      // XNav, stored out of ID order, the root last.
      Insert("XNav", "8, 'About', 'l', 1, NULL, NULL, NULL, NULL"),
      Insert("XNav", "4, 'Staff', 'Tree', 1, 'ListReports', 'lkey', 0, NULL"),
      Insert("XNav", "2, 'Regions', 'variable', 1, 'ListRegions', NULL, 3, NULL"),
      Insert("XNav", "3, 'Region', 'leaf', 2, NULL, NULL, 4, NULL"),
      Insert("XNav", "5, 'Tasks', 'leaf', 4, 'ListTasks', 'lkey', 6, NULL"),
      Insert("XNav", "6, 'Secret', 'fixed', 1, NULL, NULL, NULL, '2:5'"),
      Insert("XNav", "7, 'Other', 'x', 1, NULL, NULL, 5, ''"),
      Insert("XNav", "9, 'Vault', 'leaf', 6, NULL, NULL, NULL, NULL"),
      Insert("XNav", "1, 'Sales Site', 'fixed', 0, NULL, NULL, NULL, NULL"),
      // XWeb, the components of each page, stored out of position order.
      Insert("XWeb", "20, 2, 1, 'All regions', 'ListRegions', NULL, 'table', NULL, NULL"),
      Insert("XWeb", "31, 3, 2, 'Customers of+', 'RegionCustomers', 'skey', 'table', '2', NULL"),
      Insert("XWeb", "30, 3, 1, 'Region', 'LogCall', 'text', 'execute', NULL, NULL"),
      Insert("XWeb", "32, 3, 3, NULL, 'LogCall', 'skey', ' EXECUTE ', NULL, NULL"),
      Insert("XWeb", "33, 3, 4, 'No procedure', NULL, 'text', 'header', NULL, NULL"),
      Insert("XWeb", "34, 3, 5, 'Empty procedure', '', NULL, 'htmlinject', NULL, NULL"),
      Insert("XWeb", "40, 4, 1, 'Reports of+', 'ListReports', 'lkey', 'table', NULL, NULL"),
      Insert("XWeb", "50, 5, 1, 'Task', 'LogCall', 'lkey', 'execute', NULL, NULL"),
      Insert("XWeb", "60, 6, 1, 'Secret', 'LogCall', 'text', 'execute', NULL, NULL"),
      Insert("XWeb", "81, 8, 2, 'Later', 'LogCall', 'today', 'Executes', NULL, NULL"),
      Insert("XWeb", "80, 8, 1, 'First', 'LogAbout', NULL, 'execute', NULL, NULL"),
      // XScr: the front page, the page opening, and a row nobody reads.
      Insert("XScr", "3, 'other', 'ignored'"),
      Insert("XScr", std::string("1, 'front', '") + kFrontPage + "'"),
      Insert("XScr", std::string("2, 'page', '") + kPageOpening + "'"),
      // The procedures.
      Insert("XProc", "'ListRegions', 'SELECT Code AS \"Code\", Name AS \"Name\" FROM Region ORDER BY Code'"),
      Insert("XProc",
             "'RegionCustomers', 'SELECT ID AS \"ID\", Name AS \"Name\", Balance AS \"Balance\" FROM Customer "
             "WHERE RegionCode = ?1 ORDER BY ID'"),
      Insert("XProc",
             "'ListReports', 'SELECT ID AS \"ID\", Name AS \"Name\" FROM Employee "
             "WHERE ManagerID = CAST(?1 AS INTEGER) ORDER BY ID'"),
      Insert("XProc",
             "'ListTasks', 'SELECT ID AS \"ID\", Title AS \"Title\" FROM Task "
             "WHERE EmployeeID = CAST(?1 AS INTEGER) ORDER BY ID'"),
      Insert("XProc", "'LogCall', 'INSERT INTO CallLog (Entry) VALUES (?1)'"),
      Insert("XProc", "'LogAbout', 'INSERT INTO CallLog (Entry) VALUES (''about'')'"),
      // The data.
      "CREATE TABLE Region (Code VARCHAR(10), Name VARCHAR(50))",
      Insert("Region", "'Z', NULL"),
      Insert("Region", "'N', 'North'"),
      Insert("Region", "'O''B', 'O''Brien Land'"),
      "CREATE TABLE Customer (ID INTEGER, Name VARCHAR(50), RegionCode VARCHAR(10), "
      "Balance INTEGER)",
      Insert("Customer", "1, 'Acme', 'N', 1200"),
      Insert("Customer", "2, 'Bolt', 'O''B', 300"),
      Insert("Customer", "3, 'Core', 'O''B', NULL"),
      "CREATE TABLE Employee (ID INTEGER, Name VARCHAR(50), ManagerID INTEGER)",
      Insert("Employee", "100, 'Ada', 4"),
      Insert("Employee", "101, 'Bob', 4"),
      Insert("Employee", "102, 'Cy', 100"),
      "CREATE TABLE Task (ID INTEGER, EmployeeID INTEGER, Title VARCHAR(50))",
      Insert("Task", "1, 100, 'Plan'"),
      Insert("Task", "2, 100, 'Review'"),
      Insert("Task", "3, 4, 'Hire'"),
      "CREATE TABLE CallLog (Entry VARCHAR(100))",
  };
  site.insert(site.end(), rows.begin(), rows.end());
  return site;
}

std::shared_ptr<Recordset> MakeRecordset(const std::vector<std::string>& columns,
                                         const std::vector<std::vector<Variant>>& rows) {
  auto recordset = Recordset::Create();
  for (const std::string& column : columns) recordset->Fields().Append(column, 202, 255);
  recordset->Open();
  for (const auto& row : rows) {
    recordset->AddNew();
    for (std::size_t i = 0; i < row.size(); ++i) {
      recordset->Fields()[static_cast<int>(i)].Value(row[i]);
    }
    recordset->Update();
  }
  recordset->MoveFirst();
  return recordset;
}

std::shared_ptr<Recordset> HostSiteAnswer(const std::string& sql) {
  if (sql == "SELECT * FROM XNav") {
    return MakeRecordset(
        {"ID", "Caption", "Kind", "ParentID", "ProcName", "Param", "Image", "Roles"},
        {{Variant("2"), Variant("Page"), Variant("leaf"), Variant("1"), Variant::Null(),
          Variant::Null(), Variant::Null(), Variant::Null()},
         {Variant("1"), Variant("Host Site"), Variant("fixed"), Variant("0"), Variant::Null(),
          Variant::Null(), Variant::Null(), Variant::Null()}});
  }
  if (sql == "SELECT * FROM XWeb") {
    return MakeRecordset(
        {"CompID", "NodeID", "Pos", "Caption", "ProcName", "Param", "CompType", "Opt1", "Opt2"},
        {{Variant("1"), Variant("2"), Variant("1"), Variant("C"), Variant("Work"),
          Variant("lkey"), Variant("execute"), Variant::Null(), Variant::Null()}});
  }
  if (sql.rfind("SELECT * FROM XScr", 0) == 0) {
    return MakeRecordset({"ID", "Name", "Html"}, {{Variant("1"), Variant("x"), Variant("<p>host</p>")}});
  }
  return MakeRecordset({"Key", "Text"}, {});
}

EngineRig::EngineRig(const std::string& connection_string) {
  engine.ConnectionString(connection_string);
  engine.ActivePort(80);
  engine.ApplicationFolder(Variant(folder.Path()));
  std::shared_ptr<TreeView> tree_view = tree;
  std::shared_ptr<WebBrowser> web_browser = browser;
  engine.SetControls(tree_view, web_browser);
}

std::string EngineRig::Tree() const {
  std::ostringstream out;
  tree->Walk([&out](const TreeNodeRef& node, int depth) {
    out << std::string(static_cast<std::size_t>(depth) * 2, ' ') << node->Text() << " [key="
        << node->Key() << " tag=" << node->Tag() << " image=" << node->Image().TextOrEmpty()
        << " color=" << node->ForeColor() << (node->Expanded() ? " expanded" : "")
        << (node->Selected() ? " selected" : "") << "]\n";
  });
  return out.str();
}

TreeNodeRef EngineRig::Node(const std::string& path) const {
  TreeNodeRef found;
  tree->Walk([&](const TreeNodeRef& node, int) {
    if (!found && node->FullPath() == path) found = node;
  });
  if (!found) ADD_FAILURE() << "no node " << path;
  return found;
}

void EngineRig::Click(const std::string& path) {
  TreeNodeRef node = Node(path);
  if (node) tree->Click(node);
}

}  // namespace zarel::testing
