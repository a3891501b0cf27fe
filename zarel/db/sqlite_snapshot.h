// A consistent copy of a SQLite database file, taken while other programs
// may be reading and writing it: work that must change nothing in the
// database (the web host's export of the whole site) runs on the copy and
// so never holds the database's one write lock while other users wait.
//
// Safe from any thread: each call opens its own links.
#ifndef ZAREL_DB_SQLITE_SNAPSHOT_H_
#define ZAREL_DB_SQLITE_SNAPSHOT_H_

#include <string>

#include "zarel/db/link_limits.h"

namespace zarel {

// Copies the database at from_path, as one committed state of it, to a new
// file at to_path. The copy is read in one go under a read lock, so a
// writer in between waits for it as for any reader (up to limits.lock_wait)
// rather than making the copy a mix of two states. Raises kDatabaseError
// when from_path is no database or cannot be read, or when to_path exists
// or cannot be written; a partly written copy is removed.
void CopySQLiteDatabase(const std::string& from_path, const std::string& to_path, const LinkLimits& limits);

}  // namespace zarel

#endif  // ZAREL_DB_SQLITE_SNAPSHOT_H_
