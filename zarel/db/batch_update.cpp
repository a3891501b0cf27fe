// Writes a recordset's pending rows by primary key, checking each changed
// row against the database first.
#include "zarel/db/batch_update.h"

#include <set>
#include <string>
#include <vector>

#include "zarel/base/ascii_text.h"
#include "zarel/base/error.h"
#include "zarel/db/database_values.h"

namespace zarel {

namespace {

[[noreturn]] void Conflict() {
  Raise(errc::kDatabaseError,
        "A row could not be written: it was changed or deleted by someone else after it was read. "
        "No change was written.");
}

class BatchWriter {
 public:
  BatchWriter(DatabaseDriver& driver, const Recordset& recordset) : driver_(driver), fields_(recordset.Fields()) {}

  void Prepare() {
    std::set<std::string> tables;
    for (const Field& field : fields_) {
      if (!field.Info().base_table.empty()) tables.insert(field.Info().base_table);
    }
    if (tables.empty()) {
      Raise(errc::kDatabaseError, "The recordset has no base table to write its changes to.");
    }
    if (tables.size() > 1) {
      std::string names;
      for (const std::string& name : tables) names += (names.empty() ? "" : ", ") + name;
      Raise(errc::kDatabaseError, "The recordset reads more than one table (" + names +
                                      "); its changes cannot be written back.");
    }
    table_ = *tables.begin();
    for (int i = 0; i < fields_.Count(); ++i) {
      const FieldInfo& info = fields_.Item(i).Info();
      if (info.base_table == table_ && !info.base_column.empty()) writable_.push_back(i);
    }
    const std::vector<std::string> key = driver_.PrimaryKey(table_);
    if (key.empty()) {
      Raise(errc::kDatabaseError, "The table " + table_ + " has no primary key; its rows cannot be written back.");
    }
    for (const std::string& column : key) {
      int found = -1;
      for (int i : writable_) {
        if (fields_.Item(i).Info().base_column == column) found = i;
      }
      if (found < 0) {
        for (int i : writable_) {
          if (EqualIgnoringAsciiCase(fields_.Item(i).Info().base_column, column)) found = i;
        }
      }
      if (found < 0) {
        Raise(errc::kDatabaseError, "The key column " + column + " of the table " + table_ +
                                        " is not in the recordset; its rows cannot be written back.");
      }
      key_.push_back(found);
    }
    quoted_table_ = driver_.QuoteTableName(table_);
  }

  void WriteChanged(const std::vector<Variant>& values, const std::vector<Variant>& original) {
    std::vector<int> changed;
    for (int i : writable_) {
      const auto at = static_cast<std::size_t>(i);
      if (!SameDatabaseValue(values[at], original[at])) changed.push_back(i);
    }
    if (changed.empty()) return;

    // The row as the database holds it now, found by its original key.
    std::vector<Variant> key_values;
    std::string where;
    for (int i : key_) {
      const Variant& value = original[static_cast<std::size_t>(i)];
      if (value.IsNull() || value.IsEmpty()) Conflict();
      key_values.push_back(value);
      where += (where.empty() ? " WHERE " : " AND ") + Column(i) + " = " +
               driver_.Placeholder(static_cast<int>(key_values.size()));
    }
    std::string select = "SELECT ";
    for (std::size_t c = 0; c < changed.size(); ++c) select += (c > 0 ? ", " : "") + Column(changed[c]);
    select += " FROM " + quoted_table_ + where;
    if (driver_.Kind() == Backend::kPostgreSQL) select += " FOR UPDATE";
    const StatementResult current = driver_.Run(select, key_values, false);
    if (current.data.rows.Rows() != 1) Conflict();
    for (std::size_t c = 0; c < changed.size(); ++c) {
      if (!SameDatabaseValue(current.data.rows.Value(0, c), original[static_cast<std::size_t>(changed[c])])) Conflict();
    }

    std::vector<Variant> params;
    std::string update = "UPDATE " + quoted_table_ + " SET ";
    for (std::size_t c = 0; c < changed.size(); ++c) {
      params.push_back(values[static_cast<std::size_t>(changed[c])]);
      update += (c > 0 ? ", " : "") + Column(changed[c]) + " = " + driver_.Placeholder(static_cast<int>(params.size()));
    }
    std::string key_condition;
    for (std::size_t k = 0; k < key_.size(); ++k) {
      params.push_back(key_values[k]);
      key_condition += (k == 0 ? " WHERE " : " AND ") + Column(key_[k]) + " = " +
                       driver_.Placeholder(static_cast<int>(params.size()));
    }
    if (driver_.Run(update + key_condition, params, false).rows_affected != 1) Conflict();
  }

  void WriteAdded(const std::vector<Variant>& values) {
    std::vector<Variant> params;
    std::string columns, placeholders;
    for (int i : writable_) {
      const Variant& value = values[static_cast<std::size_t>(i)];
      if (value.IsNull() || value.IsEmpty()) continue;
      params.push_back(value);
      columns += (columns.empty() ? "" : ", ") + Column(i);
      placeholders += (placeholders.empty() ? "" : ", ") + driver_.Placeholder(static_cast<int>(params.size()));
    }
    const std::string insert = params.empty()
                                   ? "INSERT INTO " + quoted_table_ + " DEFAULT VALUES"
                                   : "INSERT INTO " + quoted_table_ + " (" + columns + ") VALUES (" + placeholders + ")";
    driver_.Run(insert, params, false);
  }

 private:
  std::string Column(int field) const { return driver_.QuoteIdentifier(fields_.Item(field).Info().base_column); }

  DatabaseDriver& driver_;
  const FieldCollection& fields_;
  std::string table_;
  std::string quoted_table_;
  std::vector<int> writable_;
  std::vector<int> key_;
};

}  // namespace

void WriteBatch(DatabaseDriver& driver, const Recordset& recordset) {
  const std::vector<Recordset::PendingRow> pending = recordset.PendingChanges();
  if (pending.empty()) return;
  BatchWriter writer(driver, recordset);
  writer.Prepare();

  const bool own_transaction = !driver.InTransaction();
  if (own_transaction) {
    driver.Begin();
  } else {
    driver.Run("SAVEPOINT zarel_batch", {}, false);
  }
  try {
    for (const Recordset::PendingRow& row : pending) {
      if (row.state == Recordset::RowState::kAdded) {
        writer.WriteAdded(*row.values);
      } else if (row.state == Recordset::RowState::kModified) {
        writer.WriteChanged(*row.values, *row.original);
      }
    }
    if (own_transaction) {
      driver.Commit();
    } else {
      driver.Run("RELEASE SAVEPOINT zarel_batch", {}, false);
    }
  } catch (...) {
    try {
      if (own_transaction) {
        if (driver.InTransaction()) driver.Rollback();
      } else {
        driver.Run("ROLLBACK TO SAVEPOINT zarel_batch", {}, false);
        driver.Run("RELEASE SAVEPOINT zarel_batch", {}, false);
      }
    } catch (...) {
      // The link may be gone; the failure that stopped the batch is the one
      // to report.
    }
    throw;
  }
}

}  // namespace zarel
