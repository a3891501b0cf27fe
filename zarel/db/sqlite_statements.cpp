// The prepared statements a SQLite link keeps (see sqlite_statements.h).
#include "zarel/db/sqlite_statements.h"

#include <utility>

namespace zarel {

StatementHandle KeptStatements::Take(std::string_view sql) {
  const auto found = index_.find(sql);
  if (found == index_.end()) return nullptr;
  const std::list<Entry>::iterator entry = found->second;
  index_.erase(found);
  StatementHandle statement = std::move(entry->statement);
  entries_.erase(entry);
  return statement;
}

void KeptStatements::Keep(std::string sql, StatementHandle statement) {
  if (capacity_ == 0 || statement == nullptr) return;
  sqlite3_reset(statement.get());
  sqlite3_clear_bindings(statement.get());
  if (const auto found = index_.find(sql); found != index_.end()) {
    // The same text prepared twice (a run inside a run): one is enough.
    return;
  }
  while (entries_.size() >= capacity_) {
    index_.erase(entries_.back().sql);
    entries_.pop_back();
  }
  entries_.push_front(Entry{std::move(sql), std::move(statement)});
  index_.emplace(entries_.front().sql, entries_.begin());
}

}  // namespace zarel
