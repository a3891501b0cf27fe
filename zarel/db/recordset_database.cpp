// The members of Recordset that need a database connection: Open with a
// command text, UpdateBatch and Resync.
#include <algorithm>

#include "zarel/base/error.h"
#include "zarel/db/batch_update.h"
#include "zarel/db/connection.h"
#include "zarel/db/record_table.h"
#include "zarel/db/recordset.h"

namespace zarel {

namespace {

[[noreturn]] void RaiseNoConnection() {
  Raise(errc::kConnectionNotUsable,
        "The connection cannot be used to perform this operation. It is either closed or invalid in this context.");
}

}  // namespace

void Recordset::Open(const std::string& source) {
  RequireClosed();
  if (connection_ == nullptr || !connection_->IsOpen()) RaiseNoConnection();
  OpenWithTable(connection_->Read(source, lock_type_ == kLockBatchOptimistic));
  source_ = source;
}

void Recordset::UpdateBatch() {
  RequireOpen();
  if (lock_type_ != kLockBatchOptimistic) {
    Raise(errc::kNotAllowedInContext, "The recordset was not opened for batch updates (lock type 4).");
  }
  if (connection_ == nullptr || !connection_->IsOpen()) RaiseNoConnection();
  FinishAdding();
  WriteBatch(connection_->Driver(), *this);
  AcceptChanges();
}

void Recordset::Resync() {
  RequireOpen();
  if (connection_ == nullptr || !connection_->IsOpen()) RaiseNoConnection();
  if (source_.empty()) Raise(errc::kNotAllowedInContext, "The recordset was not read from a database.");
  TableData data = connection_->Read(source_, lock_type_ == kLockBatchOptimistic);
  const std::string source = source_;
  const std::string sort = sort_;
  const std::size_t position = position_;
  Close();
  OpenWithTable(std::move(data));
  source_ = source;
  if (!sort.empty()) Sort(sort);
  position_ = std::min(position, row_count_);
}

}  // namespace zarel
