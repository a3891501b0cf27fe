// DAL: one connection opened on demand, transactions, commands and
// recordsets handed out without a link to the connection. See dal.h for the
// contract; every member catches what the database raises and answers with
// its result alone.
#include "zarel/data/dal.h"

#include "zarel/base/error.h"
#include "zarel/data/dal_inside.h"
#include "zarel/db/connection.h"

namespace zarel {

const std::string& DALInside::LastFailure(const DAL& dal) { return dal.last_failure_; }

DAL::DAL() = default;

DAL::~DAL() { CloseConnection(); }

// --- Recordsets ---

bool DAL::ReadRecordset(const std::string& SQLQuery, std::shared_ptr<Recordset>& mRS) {
  bool result = false;
  bool opened = true;
  try {
    mRS = Recordset::Create();
    last_failure_.clear();
    opened = OpenConnection() || connection_ != nullptr;
    mRS->ActiveConnection(connection_);
    mRS->CursorLocation(kUseClient);
    mRS->CursorType(kOpenForwardOnly);
    mRS->LockType(kLockReadOnly);
    mRS->Open(SQLQuery);
    mRS->ActiveConnection(nullptr);
    result = true;
  } catch (...) {
    mRS.reset();
    result = false;
    // A connection that could not be opened is the reason, not the closed
    // recordset that followed from it.
    if (opened) last_failure_ = CurrentError().Description();
  }
  CloseAfterRead();
  return result;
}

// --- Connection and transactions ---

void DAL::ConnectionString(const std::string& pCS) { connection_string_ = pCS; }

bool DAL::IsConnected() {
  if (connection_ != nullptr) {
    // A connection that is open (a pending transaction, or one left by
    // ExecSQL or PutRecordset) is the answer itself and is left alone,
    // unless its link to the server is gone.
    if (!connection_->LinkLost()) return true;
    CloseConnection();
  }
  const bool opened = OpenConnection();
  CloseConnection();
  return opened;
}

bool DAL::TransBegin() {
  bool result = false;
  in_transaction_ = false;
  try {
    OpenConnection();
    if (connection_ == nullptr) return false;
    connection_->BeginTrans();
    in_transaction_ = true;
    result = true;
  } catch (...) {
  }
  return result;
}

bool DAL::TransCommit() {
  try {
    if (connection_ == nullptr) return false;
    connection_->CommitTrans();
    in_transaction_ = false;
    CloseConnection();
    return true;
  } catch (...) {
    DropLostConnection();
    return false;
  }
}

bool DAL::TransRollback() {
  try {
    if (connection_ == nullptr) return false;
    if (connection_->LinkLost()) {
      // The server ended the session and with it the transaction: nothing
      // of it was written, which is what a rollback asks for.
      CloseConnection();
      in_transaction_ = false;
      return true;
    }
    connection_->RollbackTrans();
    in_transaction_ = false;
    CloseConnection();
    return true;
  } catch (...) {
    DropLostConnection();
    return false;
  }
}

bool DAL::IsInTransaction() const { return in_transaction_; }

bool DAL::ExecSQL(const std::string& SQLQuery) {
  try {
    OpenConnection();
    if (connection_ == nullptr) return false;
    connection_->Execute(SQLQuery, kExecuteNoRecords);
    return true;
  } catch (...) {
    return false;
  }
}

// --- Recordsets for editing, values and copies ---

bool DAL::GetRecordset(const std::string& SQLQuery, std::shared_ptr<Recordset>& mRS) {
  bool result = false;
  try {
    OpenConnection();
    mRS = Recordset::Create();
    mRS->ActiveConnection(connection_);
    mRS->CursorLocation(kUseClient);
    mRS->CursorType(kOpenStatic);
    mRS->LockType(kLockBatchOptimistic);
    mRS->Open(SQLQuery);
    mRS->ActiveConnection(nullptr);
    result = true;
  } catch (...) {
    mRS.reset();
    result = false;
  }
  CloseAfterRead();
  return result;
}

bool DAL::PutRecordset(std::shared_ptr<Recordset>& mRS) {
  try {
    OpenConnection();
    if (mRS == nullptr || connection_ == nullptr) {
      CloseAfterRead();
      return false;
    }
    mRS->ActiveConnection(connection_);
    mRS->UpdateBatch();
    mRS->Resync();
    mRS->ActiveConnection(nullptr);
    return true;
  } catch (...) {
    CloseAfterRead();
    return false;
  }
}

Variant DAL::ReadValue(const std::string& SQLQuery) {
  Variant result;
  try {
    OpenConnection();
    auto recordset = Recordset::Create();
    recordset->ActiveConnection(connection_);
    recordset->CursorLocation(kUseClient);
    recordset->CursorType(kOpenForwardOnly);
    recordset->LockType(kLockReadOnly);
    recordset->Open(SQLQuery);
    if (recordset->RecordCount() > 0) {
      recordset->MoveFirst();
      result = Variant(recordset->Fields().Item(0).Value().TextOrEmpty());
    }
    recordset->Close();
  } catch (...) {
  }
  CloseAfterRead();
  return result;
}

bool DAL::ClientUpdatable(const std::string& SQLQuery, std::shared_ptr<Recordset>& mRS) {
  try {
    std::shared_ptr<Recordset> read;
    if (!ReadRecordset(SQLQuery, read)) return false;
    auto copy = CopyRecordset(*read);
    mRS = std::move(copy);
    return true;
  } catch (...) {
    return false;
  }
}

// --- Private routines ---

bool DAL::OpenConnection() {
  if (connection_ != nullptr) {
    // A connection whose link the server cut (it was restarted) is
    // replaced, unless a transaction was pending on it: then the caller
    // must learn that it is gone, so the following calls fail until the
    // transaction is rolled back.
    if (in_transaction_ || !connection_->LinkLost()) return false;
    CloseConnection();
  }
  try {
    auto connection = Connection::Create();
    connection->Open(connection_string_);
    connection_ = std::move(connection);
    return true;
  } catch (...) {
    connection_.reset();
    last_failure_ = CurrentError().Description();
    return false;
  }
}

bool DAL::CloseConnection() {
  if (connection_ == nullptr) return true;
  auto connection = std::move(connection_);
  connection_.reset();
  try {
    connection->Close();
    return true;
  } catch (...) {
    // The connection is dropped whatever a second attempt gives.
    try {
      if (connection->IsOpen()) connection->Close();
    } catch (...) {
    }
    return false;
  }
}

void DAL::CloseAfterRead() {
  // A pending transaction keeps its connection: closing it would end the
  // transaction behind the caller's back.
  if (connection_ != nullptr && connection_->InTransaction() && !connection_->LinkLost()) return;
  CloseConnection();
}

void DAL::DropLostConnection() {
  // A connection whose link to the server is gone can do nothing more; a
  // transaction on it has ended with the link.
  if (connection_ != nullptr && connection_->LinkLost()) {
    CloseConnection();
    in_transaction_ = false;
  }
}

std::shared_ptr<Recordset> DAL::CopyFieldLayout(const Recordset& source) {
  auto copy = Recordset::Create();
  for (const Field& field : source.Fields()) {
    copy->Fields().Append(field.Name(), field.Type(), field.DefinedSize(), field.Attributes());
  }
  return copy;
}

std::shared_ptr<Recordset> DAL::CopyRecordset(Recordset& source) {
  auto copy = CopyFieldLayout(source);
  copy->Open();
  if (source.RecordCount() == 0) return copy;
  source.MoveFirst();
  const int count = source.Fields().Count();
  while (!source.Eof()) {
    copy->AddNew();
    // Every value is copied as it is: a Null stays Null, an empty text
    // stays empty, bytes, numbers, money and dates keep their exact value.
    for (int i = 0; i < count; ++i) copy->Fields().Item(i).Value(source.Fields().Item(i).Value());
    copy->Update();
    source.MoveNext();
  }
  return copy;
}

}  // namespace zarel
