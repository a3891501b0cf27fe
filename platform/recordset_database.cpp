// The members of Recordset that need a database connection: Open with a
// command text, UpdateBatch and Resync.
#include "platform/connection.h"
#include "platform/error.h"
#include "platform/recordset.h"

namespace zarel {

void Recordset::Open(const std::string& source) {
  if (connection_ == nullptr) Raise(errc::kConnectionNotUsable);
  OpenWith(connection_->Read(source, lock_type_ == kLockBatchOptimistic));
  source_ = source;
}

void Recordset::UpdateBatch() { Raise(errc::kNotAllowedInContext); }

void Recordset::Resync() { Raise(errc::kNotAllowedInContext); }

}  // namespace zarel
