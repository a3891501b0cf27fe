// Test context, fabricated and SQLite recordsets, and rendering into a
// temporary report file.
#include "zarel/testing/component_rig.h"

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "zarel/base/error.h"
#include "zarel/base/format.h"
#include "zarel/db/connection.h"

namespace zarel::testing {

std::string TestContext::SelectedNodeText() const {
  if (!selected_node) Raise(errc::kObjectNotSet);
  return *selected_node;
}

std::string TestContext::FormatValue(const Variant& value, std::string_view type_code) const {
  if (value.IsNull()) return kNbspText;
  std::string text = value.ToText();
  const std::size_t first = text.find_first_not_of(' ');
  text = first == std::string::npos ? std::string()
                                    : text.substr(first, text.find_last_not_of(' ') - first + 1);
  if (type_code == "Dbl") return Format(Variant(text), "#,##,##0.00");
  if (type_code == "Dte") return date_format.empty() ? text : Format(Variant(text), date_format);
  return text;
}

Variant TestContext::NullToZero(const Variant& value) const {
  return value.IsNull() ? Variant(std::int16_t{0}) : value;
}

bool TestContext::FetchRecordset(const std::string& query, std::shared_ptr<Recordset>& recordset) {
  queries.push_back(query);
  if (!fetch) return false;
  return fetch(query, recordset);
}

std::shared_ptr<Recordset> MakeRecordset(const std::vector<Column>& columns,
                                         const std::vector<std::vector<Variant>>& rows) {
  std::shared_ptr<Recordset> recordset = Recordset::Create();
  for (const Column& column : columns) recordset->Fields().Append(column.name, column.type);
  recordset->Open();
  for (const std::vector<Variant>& row : rows) {
    recordset->AddNew();
    for (std::size_t i = 0; i < row.size(); ++i) {
      recordset->Fields().Item(static_cast<int>(i)).Value(row[i]);
    }
    recordset->Update();
  }
  if (!rows.empty()) recordset->MoveFirst();
  return recordset;
}

SqliteSite::SqliteSite(const std::string& setup_script) : file_(folder_.Path() + "/site.db") {
  sqlite3* database = nullptr;
  if (sqlite3_open(file_.c_str(), &database) != SQLITE_OK) {
    sqlite3_close(database);
    throw std::runtime_error("cannot create " + file_);
  }
  char* error = nullptr;
  const int result = sqlite3_exec(database, setup_script.c_str(), nullptr, nullptr, &error);
  std::string message = error != nullptr ? error : "";
  sqlite3_free(error);
  sqlite3_close(database);
  if (result != SQLITE_OK) throw std::runtime_error("setup failed: " + message);
}

std::shared_ptr<Recordset> SqliteSite::Query(const std::string& sql) const {
  std::shared_ptr<Connection> connection = Connection::Create();
  connection->Open("sqlite:" + file_);
  std::shared_ptr<Recordset> recordset = connection->Execute(sql);
  connection->Close();
  return recordset;
}

std::vector<std::string> RenderLines(const std::function<void(TextFile&)>& render) {
  TempFolder folder;
  const std::string path = folder.Path() + "/oReport.htm";
  {
    TextFile report(path);
    render(report);
    report.Close();
  }
  const std::string content = ReadFile(path);
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < content.size()) {
    const std::size_t end = content.find("\r\n", start);
    if (end == std::string::npos) {
      ADD_FAILURE() << "line not ended by CR LF: " << content.substr(start);
      lines.push_back(content.substr(start));
      break;
    }
    lines.push_back(content.substr(start, end - start));
    start = end + 2;
  }
  return lines;
}

}  // namespace zarel::testing
