// DatabaseDriver: what a Connection needs from one database backend.
//
// A driver is one open session with a database (SQLite through its C
// library, PostgreSQL through libpq). It runs statements with bound
// parameters and reads their rows straight into a RecordTable (the
// recordsets' compact storage), already converted to the system's values
// and field types. Everything above it (procedure
// calls, shape commands, batch updates) is written once, over this
// interface.
//
// Parameters are written in the backend's own placeholder form, which
// Placeholder(n) gives ("?1" on SQLite, "$1" on PostgreSQL). Failures raise
// RuntimeError errc::kDatabaseError with the server's own text.
//
// A driver is also one link of the connection pool (link_pool.h): it says
// whether it may serve another connection (StillValid), cleans its session
// for the next one (Reset), and stops its running statement on request from
// another thread (Interrupt).
//
// Threads: a driver belongs to its Connection and follows its rule: one
// thread at a time; separate drivers run in parallel. Interrupt alone may
// be called from any thread while another runs a statement.
#ifndef ZAREL_DB_DATABASE_DRIVER_H_
#define ZAREL_DB_DATABASE_DRIVER_H_

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "zarel/base/variant.h"
#include "zarel/db/record_table.h"
#include "zarel/db/recordset.h"

namespace zarel {

enum class Backend { kSQLite, kPostgreSQL };

// What a statement gave back.
struct StatementResult {
  bool has_columns = false;  // the statement returns rows (maybe none)
  TableData data;
  std::int64_t rows_affected = 0;  // for statements that change data
};

class DatabaseDriver {
 public:
  virtual ~DatabaseDriver() = default;

  virtual Backend Kind() const = 0;

  // Runs one statement with its parameters bound. With with_sources the
  // fields carry base_table, base_column and is_key.
  virtual StatementResult Run(std::string_view sql, const std::vector<Variant>& params,
                              bool with_sources) = 0;

  // Runs a script of one or more statements, each with the parameters it
  // names (numbered placeholders ?1, ?2 ... in every backend's script; each
  // statement receives exactly the ones it names). Answers the result of the
  // last statement that returns columns, or a result without columns when
  // none does.
  virtual StatementResult RunScript(std::string_view script, const std::vector<Variant>& params,
                                    bool with_sources) = 0;

  virtual void Begin() = 0;
  virtual void Commit() = 0;
  virtual void Rollback() = 0;
  virtual bool InTransaction() const = 0;
  // True when the link to the server broke.
  virtual bool LinkLost() const { return false; }

  // Whether an idle link may serve another connection: its session is
  // alive and (SQLite) its path still names the file it opened.
  virtual bool StillValid() = 0;
  // Cleans the session for its next user: rolls back a pending transaction
  // and resets the session's state. Raises when the link cannot be made
  // clean; it is then closed.
  virtual void Reset() = 0;
  // Stops the statement running on this link, if one is; answers whether
  // one was. May be called from any thread.
  virtual bool Interrupt() = 0;
  // How many statements the server has answered on this link: a command
  // that failed while this did not change ran nothing.
  std::uint64_t StatementsAnswered() const { return answered_; }

  // The placeholder of parameter n (from 1) in a statement given to Run.
  virtual std::string Placeholder(int n) const = 0;
  // A name quoted as an identifier.
  virtual std::string QuoteIdentifier(std::string_view name) const;
  // A table named as FieldInfo::base_table names it, quoted for a
  // statement ("schema.table" on PostgreSQL becomes "schema"."table").
  virtual std::string QuoteTableName(std::string_view base_table) const;

  // The body of the procedure of that name (found ignoring case) in the
  // table XProc(Name, Body); nothing when the table or the row is missing.
  virtual std::optional<std::string> FindProcedureBody(std::string_view name);
  // Runs a procedure that is not in XProc, as the backend knows it (a
  // set-returning function on PostgreSQL); nothing when the backend has no
  // procedure of that name.
  virtual std::optional<StatementResult> RunNativeProcedure(std::string_view name,
                                                            const std::vector<Variant>& args);
  // Whether the backend has a procedure of that name outside XProc (a
  // function on PostgreSQL), found as RunNativeProcedure finds it, without
  // running it.
  virtual bool HasNativeProcedure(std::string_view name);

  // The columns of the primary key of a table, in key order; empty when the
  // table has none.
  virtual std::vector<std::string> PrimaryKey(std::string_view table) = 0;

 protected:
  // Counts one statement the server answered (with success).
  void Answered() { ++answered_; }

 private:
  std::uint64_t answered_ = 0;
};

}  // namespace zarel

#endif  // ZAREL_DB_DATABASE_DRIVER_H_
