// Connection: chooses the driver from the connection string and passes
// commands to it.
#include "platform/connection.h"

#include "platform/database_driver.h"
#include "platform/error.h"

namespace zarel {

std::string DatabaseDriver::QuoteIdentifier(std::string_view name) const {
  std::string quoted = "\"";
  for (char c : name) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  quoted += '"';
  return quoted;
}

std::optional<std::string> DatabaseDriver::FindProcedureBody(std::string_view) { return std::nullopt; }

std::optional<StatementResult> DatabaseDriver::RunNativeProcedure(std::string_view,
                                                                  const std::vector<Variant>&) {
  return std::nullopt;
}

std::shared_ptr<Connection> Connection::Create() {
  return std::shared_ptr<Connection>(new Connection());
}

Connection::Connection() = default;
Connection::~Connection() = default;

void Connection::Open(const std::string& connection_string) {
  Raise(errc::kDatabaseError, "Unknown connection string: " + connection_string);
}

void Connection::Close() {
  if (driver_ == nullptr) Raise(errc::kObjectClosed);
  driver_.reset();
}

bool Connection::IsOpen() const { return driver_ != nullptr; }

std::shared_ptr<Recordset> Connection::Execute(const std::string&, int) { Raise(errc::kObjectClosed); }

void Connection::BeginTrans() { Driver().Begin(); }
void Connection::CommitTrans() { Driver().Commit(); }
void Connection::RollbackTrans() { Driver().Rollback(); }
bool Connection::InTransaction() const { return driver_ != nullptr && driver_->InTransaction(); }
bool Connection::LinkLost() const { return driver_ != nullptr && driver_->LinkLost(); }

RecordsetData Connection::Read(const std::string&, bool) { Raise(errc::kObjectClosed); }

DatabaseDriver& Connection::Driver() {
  if (driver_ == nullptr) Raise(errc::kObjectClosed);
  return *driver_;
}

}  // namespace zarel
