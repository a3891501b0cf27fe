// Connection: an open link to a report database, over SQLite or PostgreSQL.
//
// Open takes a connection string:
//   "sqlite:PATH"                      an existing SQLite database file
//   "postgresql://..." "postgres://..." a PostgreSQL connection URL
//   "host=... dbname=... user=..."     libpq's key=value form
// Anything else fails with "Unknown connection string: ...". A SQLite file
// that does not exist is an error; no empty database is ever created.
//
// Commands run through Execute, or through Recordset::Open with the
// connection as the recordset's ActiveConnection. A command text is one of:
//   - plain SQL in the backend's own dialect;
//   - a procedure call "EXEC name arg, arg, ..." (see procedure_call.h),
//     resolved in the table XProc(Name, Body) of the same database, or on
//     PostgreSQL as a set-returning function of that name;
//   - a shape command "SHAPE {parent} APPEND ({child} RELATE a TO b)" that
//     returns a recordset with chapter fields (see shape_command.h).
//
// Every failure raises RuntimeError: errc::kDatabaseError with the server's
// own text for what the database refuses, 3704 when the connection is
// closed. A failed command leaves the connection usable. Every statement
// runs under the process's time limits (database_settings.h).
//
// Links: an open connection holds one physical link taken from the
// process's pool (link_pool.h); Close gives it back, rolled back and clean,
// for the next connection to the same database. A link taken from the pool
// that turns out broken at its first command (the server restarted or ended
// the session while it lay idle) is replaced once by a fresh link and the
// command run again, provided the server answered no statement of it (so
// nothing of it can have run twice).
//
// Threads: one thread at a time per Connection (and the recordsets it is
// opening). Separate Connection objects run in parallel: each holds a
// database session of its own, and both client libraries allow that.
// Interrupt alone may be called from any thread.
#ifndef ZAREL_DB_CONNECTION_H_
#define ZAREL_DB_CONNECTION_H_

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "zarel/base/object.h"
#include "zarel/base/variant.h"
#include "zarel/db/link_pool.h"
#include "zarel/db/record_table.h"
#include "zarel/db/recordset.h"

namespace zarel {

// Execute options, by the platform's enumeration numbers.
inline constexpr int kExecuteNoRecords = 128;

class Connection : public Object {
 public:
  static std::shared_ptr<Connection> Create();
  ~Connection() override;

  // Opens the database named by the connection string. Raises when the
  // string is unknown, the database cannot be reached or refuses the login;
  // the connection is then still closed. Raises 3705-style kNotAllowedInContext
  // when it is already open.
  void Open(const std::string& connection_string);
  // Closes the link; a pending transaction is rolled back. 3704 when closed.
  void Close();
  bool IsOpen() const;

  // Runs a command. With options containing kExecuteNoRecords the result is
  // null and rows the command may return are dropped; otherwise the result
  // is an open, read-only recordset of the rows of the command (with no
  // fields when the command returns none).
  std::shared_ptr<Recordset> Execute(const std::string& command, int options = 0);

  // Transactions. BeginTrans inside a pending transaction, or Commit /
  // Rollback without one, raise kDatabaseError.
  void BeginTrans();
  void CommitTrans();
  void RollbackTrans();
  bool InTransaction() const;
  // True when the link to the server broke (the server stopped or the
  // network failed); nothing more can be done on the connection but Close.
  bool LinkLost() const;

  // Runs a command and reads all its rows, as Recordset::Open does. With
  // with_sources the fields carry their base table, base column and key
  // flag, for batch updates.
  TableData Read(const std::string& command, bool with_sources = false);

  // The driver behind an open connection (3704 when closed), for the parts
  // of the platform that speak to it directly.
  DatabaseDriver& Driver();

  // Stops the statement this connection is running, from any thread; it
  // fails with "The statement was interrupted." Answers whether one ran.
  bool Interrupt() const;

 private:
  Connection();
  // Runs work on the link; when the link came from the pool and broke
  // before the server answered any statement on it for this connection,
  // replaces it once and runs work again.
  template <class Work>
  auto OnLink(Work work);

  Lease lease_;
  // Statements the link had answered when it was taken: while the count
  // stands, nothing has run on it for this connection.
  std::uint64_t answered_when_taken_ = 0;
  std::atomic<DatabaseDriver*> running_on_{nullptr};
};

}  // namespace zarel

#endif  // ZAREL_DB_CONNECTION_H_
