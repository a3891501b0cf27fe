// KeptStatements: the prepared SQLite statements a link keeps between
// runs, by their SQL text, so that a text the link runs again (a procedure
// lookup, a procedure's body) is not parsed and planned again each time.
//
// Keeping a statement never keeps its data: a statement holds no rows and
// no lock between runs (it is reset after each), reads the database as it
// is when it runs, and SQLite prepares it again by itself when the schema
// has changed since (a table altered or dropped by any connection).
//
// Bounded: at most `capacity` statements, the least recently used going
// first; capacity 0 keeps none.
//
// Threads: belongs to its link; one thread at a time.
#ifndef ZAREL_DB_SQLITE_STATEMENTS_H_
#define ZAREL_DB_SQLITE_STATEMENTS_H_

#include <sqlite3.h>

#include <cstddef>
#include <list>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>

namespace zarel {

struct StatementCloser {
  void operator()(sqlite3_stmt* statement) const { sqlite3_finalize(statement); }
};
using StatementHandle = std::unique_ptr<sqlite3_stmt, StatementCloser>;

class KeptStatements {
 public:
  explicit KeptStatements(std::size_t capacity) : capacity_(capacity) {}
  KeptStatements(const KeptStatements&) = delete;
  KeptStatements& operator=(const KeptStatements&) = delete;

  bool Enabled() const { return capacity_ > 0; }
  std::size_t Size() const { return entries_.size(); }

  // The statement kept for exactly that text, taken out of the keeping
  // (so a run inside a run never shares it); null when there is none.
  StatementHandle Take(std::string_view sql);
  // Keeps a statement that has run to its end for its text, reset and with
  // its parameters cleared. When full, the least recently kept goes.
  void Keep(std::string sql, StatementHandle statement);

 private:
  struct Entry {
    std::string sql;
    StatementHandle statement;
  };
  std::size_t capacity_;
  std::list<Entry> entries_;  // the most recently kept first
  std::unordered_map<std::string_view, std::list<Entry>::iterator> index_;  // views of entries_' texts
};

}  // namespace zarel

#endif  // ZAREL_DB_SQLITE_STATEMENTS_H_
