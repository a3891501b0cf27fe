// Connection: chooses the driver from the connection string and passes
// commands to it.
#include "zarel/db/connection.h"

#include "zarel/base/error.h"
#include "zarel/db/command_runner.h"
#include "zarel/db/database_driver.h"
#include "zarel/db/postgres_driver.h"
#include "zarel/db/sqlite_driver.h"

namespace zarel {

namespace {


bool StartsWith(const std::string& text, std::string_view prefix) {
  return text.size() >= prefix.size() && std::string_view(text).substr(0, prefix.size()) == prefix;
}

}  // namespace

std::string DatabaseDriver::QuoteIdentifier(std::string_view name) const {
  std::string quoted = "\"";
  for (char c : name) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  quoted += '"';
  return quoted;
}

std::string DatabaseDriver::QuoteTableName(std::string_view base_table) const { return QuoteIdentifier(base_table); }

std::optional<std::string> DatabaseDriver::FindProcedureBody(std::string_view) { return std::nullopt; }

bool DatabaseDriver::HasNativeProcedure(std::string_view) { return false; }

std::optional<StatementResult> DatabaseDriver::RunNativeProcedure(std::string_view, const std::vector<Variant>&) {
  return std::nullopt;
}

std::shared_ptr<Connection> Connection::Create() { return std::shared_ptr<Connection>(new Connection()); }

Connection::Connection() = default;
Connection::~Connection() = default;

void Connection::Open(const std::string& connection_string) {
  if (driver_ != nullptr) Raise(errc::kObjectOpen);
  if (StartsWith(connection_string, "sqlite:")) {
    driver_ = OpenSQLiteDatabase(connection_string.substr(7));
  } else if (StartsWith(connection_string, "postgresql://") || StartsWith(connection_string, "postgres://") ||
             IsPostgresKeywordForm(connection_string)) {
    driver_ = OpenPostgresDatabase(connection_string);
  } else {
    Raise(errc::kDatabaseError,
          "Unknown connection string: it must begin with \"sqlite:\", \"postgresql://\" or \"postgres://\", "
          "or be libpq's key=value form.");
  }
}

void Connection::Close() {
  if (driver_ == nullptr) Raise(errc::kObjectClosed);
  // Closing ends a pending transaction without writing it; the driver's
  // session ends with it in any case.
  std::unique_ptr<DatabaseDriver> driver = std::move(driver_);
  try {
    if (!driver->LinkLost() && driver->InTransaction()) driver->Rollback();
  } catch (...) {
  }
}

bool Connection::IsOpen() const { return driver_ != nullptr; }

std::shared_ptr<Recordset> Connection::Execute(const std::string& command, int options) {
  RecordsetData data = Read(command, false);
  if ((options & kExecuteNoRecords) != 0) return nullptr;
  auto recordset = Recordset::Create();
  recordset->OpenWith(std::move(data));
  return recordset;
}

void Connection::BeginTrans() { Driver().Begin(); }
void Connection::CommitTrans() { Driver().Commit(); }
void Connection::RollbackTrans() { Driver().Rollback(); }
bool Connection::InTransaction() const { return driver_ != nullptr && driver_->InTransaction(); }
bool Connection::LinkLost() const { return driver_ != nullptr && driver_->LinkLost(); }

RecordsetData Connection::Read(const std::string& command, bool with_sources) {
  StatementResult result = RunCommand(Driver(), command, {}, with_sources);
  return std::move(result.data);
}

DatabaseDriver& Connection::Driver() {
  if (driver_ == nullptr) Raise(errc::kObjectClosed);
  return *driver_;
}

}  // namespace zarel
