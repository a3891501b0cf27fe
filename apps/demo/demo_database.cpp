// Writing the demo site's report database (see demo_database.h), through
// SQLite's C library: the platform driver opens existing databases only.
#include "apps/demo/demo_database.h"

#include <sqlite3.h>

#include <memory>

#include "apps/demo/demo_site.h"
#include "zarel/base/error.h"

namespace zarel::demo {

namespace {

struct CloseDatabase {
  void operator()(sqlite3* db) const { sqlite3_close(db); }
};
struct FinalizeStatement {
  void operator()(sqlite3_stmt* statement) const { sqlite3_finalize(statement); }
};
using Database = std::unique_ptr<sqlite3, CloseDatabase>;
using Statement = std::unique_ptr<sqlite3_stmt, FinalizeStatement>;

[[noreturn]] void Fail(sqlite3* db, const std::string& doing) {
  Raise(errc::kDatabaseError, doing + ": " + sqlite3_errmsg(db));
}

void Execute(sqlite3* db, std::string_view sql, const std::string& doing) {
  char* message = nullptr;
  if (sqlite3_exec(db, std::string(sql).c_str(), nullptr, nullptr, &message) != SQLITE_OK) {
    const std::string text = message != nullptr ? message : "unknown error";
    sqlite3_free(message);
    Raise(errc::kDatabaseError, doing + ": " + text);
  }
}

Statement Prepare(sqlite3* db, std::string_view sql) {
  sqlite3_stmt* statement = nullptr;
  if (sqlite3_prepare_v2(db, sql.data(), static_cast<int>(sql.size()), &statement, nullptr) != SQLITE_OK) {
    Fail(db, "preparing \"" + std::string(sql) + "\"");
  }
  return Statement(statement);
}

void BindText(sqlite3* db, sqlite3_stmt* statement, int index, std::string_view text) {
  if (sqlite3_bind_text(statement, index, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT) !=
      SQLITE_OK) {
    Fail(db, "binding a value");
  }
}

void StepDone(sqlite3* db, sqlite3_stmt* statement, const std::string& doing) {
  if (sqlite3_step(statement) != SQLITE_DONE) Fail(db, doing);
  sqlite3_reset(statement);
  sqlite3_clear_bindings(statement);
}

std::string ColumnText(sqlite3_stmt* statement, int column) {
  const unsigned char* text = sqlite3_column_text(statement, column);
  return text != nullptr ? reinterpret_cast<const char*>(text) : "";
}

void InsertScreensAndProcedures(sqlite3* db) {
  const Statement screen = Prepare(db, "INSERT INTO XScr (ID, Name, Html) VALUES (?1, ?2, ?3)");
  sqlite3_bind_int(screen.get(), 1, 1);
  BindText(db, screen.get(), 2, "front page");
  BindText(db, screen.get(), 3, FrontPage());
  StepDone(db, screen.get(), "writing the front page");
  sqlite3_bind_int(screen.get(), 1, 2);
  BindText(db, screen.get(), 2, "page head");
  BindText(db, screen.get(), 3, PageHead());
  StepDone(db, screen.get(), "writing the page head");

  const Statement procedure = Prepare(db, "INSERT INTO XProc (Name, Body) VALUES (?1, ?2)");
  for (const Procedure& entry : Procedures()) {
    BindText(db, procedure.get(), 1, entry.name);
    BindText(db, procedure.get(), 2, entry.body);
    StepDone(db, procedure.get(), "writing the procedure " + std::string(entry.name));
  }
}

// Draws every product's picture into its Picture column and returns the
// files for the application folder.
std::vector<PictureFile> DrawProductPictures(sqlite3* db) {
  std::vector<PictureFile> files;
  const Statement products = Prepare(db, "SELECT ProductID, Category, Code, ImageFile FROM Product ORDER BY ProductID");
  const Statement update = Prepare(db, "UPDATE Product SET Picture = ?1 WHERE ProductID = ?2");
  for (int step = sqlite3_step(products.get()); step != SQLITE_DONE; step = sqlite3_step(products.get())) {
    if (step != SQLITE_ROW) Fail(db, "reading the products");
    const int id = sqlite3_column_int(products.get(), 0);
    PictureFile file{ColumnText(products.get(), 3),
                     ProductPicture(id, ColumnText(products.get(), 1), ColumnText(products.get(), 2))};
    if (sqlite3_bind_blob(update.get(), 1, file.bytes.data(), static_cast<int>(file.bytes.size()),
                          SQLITE_TRANSIENT) != SQLITE_OK) {
      Fail(db, "binding a picture");
    }
    sqlite3_bind_int(update.get(), 2, id);
    StepDone(db, update.get(), "storing a product picture");
    files.push_back(std::move(file));
  }
  return files;
}

void CountContent(sqlite3* db, DatabaseSummary& summary) {
  const Statement tables = Prepare(db, "SELECT name FROM sqlite_master WHERE type = 'table' ORDER BY name");
  for (int step = sqlite3_step(tables.get()); step == SQLITE_ROW; step = sqlite3_step(tables.get())) {
    const std::string name = ColumnText(tables.get(), 0);
    const Statement count = Prepare(db, "SELECT COUNT(*) FROM \"" + name + "\"");
    if (sqlite3_step(count.get()) != SQLITE_ROW) Fail(db, "counting the rows of " + name);
    ++summary.tables;
    summary.rows += sqlite3_column_int64(count.get(), 0);
  }
}

}  // namespace

DatabaseSummary WriteDemoDatabase(const std::string& path) {
  sqlite3* raw = nullptr;
  const int opened = sqlite3_open_v2(path.c_str(), &raw, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
  const Database db(raw);
  if (opened != SQLITE_OK) {
    Raise(errc::kDatabaseError, "cannot open '" + path + "': " + (raw ? sqlite3_errmsg(raw) : "out of memory"));
  }
  DatabaseSummary summary;
  Execute(db.get(), "BEGIN", "starting the database");
  Execute(db.get(), kBusinessSql, "writing the business data");
  Execute(db.get(), kSiteTablesSql, "writing the site tables");
  InsertScreensAndProcedures(db.get());
  summary.product_pictures = DrawProductPictures(db.get());
  Execute(db.get(), "COMMIT", "writing the database");
  CountContent(db.get(), summary);
  return summary;
}

}  // namespace zarel::demo
