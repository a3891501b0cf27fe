// Connection: takes a link from the pool and passes commands to its
// driver.
#include "zarel/db/connection.h"

#include "zarel/base/error.h"
#include "zarel/db/command_runner.h"
#include "zarel/db/database_driver.h"

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
  if (lease_) Raise(errc::kObjectOpen);
  lease_ = LinkPool::Instance()->Acquire(connection_string);
  answered_when_taken_ = lease_.Driver().StatementsAnswered();
  running_on_.store(&lease_.Driver());
}

void Connection::Close() {
  if (!lease_) Raise(errc::kObjectClosed);
  // The pool rolls back a pending transaction and cleans the session before
  // the link serves anyone else.
  running_on_.store(nullptr);
  lease_.Release();
}

bool Connection::IsOpen() const { return static_cast<bool>(lease_); }

template <class Work>
auto Connection::OnLink(Work work) {
  try {
    return work(Driver());
  } catch (...) {
    if (!lease_ || !lease_.Reused() || lease_.Driver().StatementsAnswered() != answered_when_taken_ ||
        !lease_.Driver().LinkLost()) {
      throw;
    }
  }
  running_on_.store(nullptr);
  lease_.Replace();
  answered_when_taken_ = lease_.Driver().StatementsAnswered();
  running_on_.store(&lease_.Driver());
  return work(Driver());
}

std::shared_ptr<Recordset> Connection::Execute(const std::string& command, int options) {
  TableData data = Read(command, false);
  if ((options & kExecuteNoRecords) != 0) return nullptr;
  auto recordset = Recordset::Create();
  recordset->OpenWithTable(std::move(data));
  return recordset;
}

void Connection::BeginTrans() {
  OnLink([](DatabaseDriver& driver) {
    driver.Begin();
    return true;
  });
}
void Connection::CommitTrans() { Driver().Commit(); }
void Connection::RollbackTrans() { Driver().Rollback(); }
bool Connection::InTransaction() const { return lease_ && lease_.Driver().InTransaction(); }
bool Connection::LinkLost() const { return lease_ && lease_.Driver().LinkLost(); }

TableData Connection::Read(const std::string& command, bool with_sources) {
  StatementResult result = OnLink([&](DatabaseDriver& driver) { return RunCommand(driver, command, {}, with_sources); });
  return std::move(result.data);
}

DatabaseDriver& Connection::Driver() {
  if (!lease_) Raise(errc::kObjectClosed);
  return lease_.Driver();
}

bool Connection::Interrupt() const {
  DatabaseDriver* driver = running_on_.load();
  return driver != nullptr && LinkPool::Instance()->Interrupt(driver);
}

}  // namespace zarel
