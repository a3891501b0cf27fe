// Batch updates: writing the changes held in a recordset opened with lock
// type 4 back to its base table.
//
// The rows changed and added since the recordset was read are written in one
// transaction (a savepoint inside a transaction that is already pending), by
// the table's primary key. Before a changed row is written, the columns that
// changed are read again: when one of them no longer holds the value the
// recordset read (someone else changed the row) or the row is gone, the
// whole batch fails and nothing is written. Added rows are inserted with the
// values given to them (columns left Null take the table's defaults). A
// table without a primary key, or a recordset whose key columns are not
// among its fields, fails with a clear error before anything is written.
#ifndef ZAREL_DB_BATCH_UPDATE_H_
#define ZAREL_DB_BATCH_UPDATE_H_

#include "zarel/db/database_driver.h"
#include "zarel/db/recordset.h"

namespace zarel {

// Writes the pending changes of the recordset; raises kDatabaseError (and
// writes nothing) on any failure. The recordset itself is not changed.
void WriteBatch(DatabaseDriver& driver, const Recordset& recordset);

}  // namespace zarel

#endif  // ZAREL_DB_BATCH_UPDATE_H_
