// DAL: the data access object of the report engine.
//
// A DAL owns at most one database connection, opened on demand from the
// connection string last written, and hands out recordsets that hold their
// rows on the client and have no link to the connection. Every member
// answers success as a boolean (ReadValue with a value) and raises nothing:
// failures of the database are caught inside and turned into that answer.
//
// Connection life: ReadRecordset, GetRecordset, ReadValue and
// ClientUpdatable open a connection when none is open and close it before
// returning; ExecSQL, TransBegin and PutRecordset leave theirs open;
// TransCommit and TransRollback close it; IsConnected opens and closes one
// to find out whether the connection string works. A connection left open
// is used by every following member until one of them closes it. While a
// transaction is pending the read members work on its connection and leave
// it open, so a read never cuts off the transaction.
//
// Threads: one thread at a time per DAL, with the connection it holds open.
// Separate DAL objects run in parallel (the web host has one per session);
// the recordsets they hand out are the receiver's, see recordset.h.
#ifndef ZAREL_DATA_DAL_H_
#define ZAREL_DATA_DAL_H_

#include <memory>
#include <string>

#include "zarel/base/variant.h"
#include "zarel/db/recordset.h"

namespace zarel {

class Connection;
class DALInside;

class DAL {
 public:
  DAL();
  ~DAL();
  DAL(const DAL&) = delete;
  DAL& operator=(const DAL&) = delete;

  // Reads the query into a new, open, disconnected, read-only recordset put
  // into mRS, positioned on its first row (or at its end). True on success;
  // on failure false and mRS holds no recordset. No connection stays open
  // (unless a transaction is pending).
  bool ReadRecordset(const std::string& SQLQuery, std::shared_ptr<Recordset>& mRS);

  // The connection string used for the next connection that is opened; an
  // open connection is not touched.
  void ConnectionString(const std::string& pCS);

  // True when a connection is open, or when a new one can be opened with the
  // connection string (that one is closed again at once).
  bool IsConnected();

  // Opens a connection when none is open and begins a transaction on it; the
  // connection stays open.
  bool TransBegin();
  // Commit / roll back the pending transaction and close the connection.
  // False (and nothing changed) when there is no connection or the database
  // refuses.
  bool TransCommit();
  bool TransRollback();
  // True from a successful TransBegin until a successful TransCommit or
  // TransRollback.
  bool IsInTransaction() const;

  // Runs a command that returns no rows; the connection stays open.
  bool ExecSQL(const std::string& SQLQuery);

  // Reads the query into a new disconnected recordset that can be changed
  // and written back with PutRecordset. On failure false and mRS empty.
  bool GetRecordset(const std::string& SQLQuery, std::shared_ptr<Recordset>& mRS);
  // Writes the changes held in mRS to the database in one transaction and
  // reads its rows again; the connection stays open on success.
  bool PutRecordset(std::shared_ptr<Recordset>& mRS);

  // The first field of the first row as text (Null gives ""); Empty when the
  // query returns no rows or fails.
  Variant ReadValue(const std::string& SQLQuery);

  // A copy of the query's result with no link to any connection: the same
  // fields, every value as it was read. On failure false, mRS unchanged.
  bool ClientUpdatable(const std::string& SQLQuery, std::shared_ptr<Recordset>& mRS);

 private:
  bool OpenConnection();
  bool CloseConnection();
  // A read member closes the connection it used unless a transaction holds
  // it.
  void CloseAfterRead();
  // After a failed commit or rollback: drops a connection whose link to the
  // server is gone.
  void DropLostConnection();
  static std::shared_ptr<Recordset> CopyRecordset(Recordset& source);
  static std::shared_ptr<Recordset> CopyFieldLayout(const Recordset& source);

  std::shared_ptr<Connection> connection_;
  std::string connection_string_;
  bool in_transaction_ = false;
  // Why the last ReadRecordset that failed failed, in the database layer's
  // own words; the members still answer only true or false. Read through
  // DALInside (dal_inside.h) by the engine's diagnostics.
  std::string last_failure_;
  friend class DALInside;
};

}  // namespace zarel

#endif  // ZAREL_DATA_DAL_H_
