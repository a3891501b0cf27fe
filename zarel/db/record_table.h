// RecordTable: the rows of a recordset as the drivers read them, held by
// column in blocks of rows instead of as one value object per cell.
//
// A table has a fixed number of columns. Rows are appended one value at a
// time in column order, each row finished by EndRow. The rows are kept in
// blocks of 1,024; within a block every column holds its values in the
// narrowest form that fits them all (block_column.h): values of one kind in
// an array of a width that holds them (ids in two bytes, prices with two
// decimals in four), texts in one character arena, Nulls in a bitmap; values
// of several kinds (a SQLite column holding numbers and texts) as a kind
// byte and eight bytes each. So a table costs a few allocations per block
// and column and about the size of its values, whatever the number of rows;
// appending never copies the rows already held.
//
// Reading a cell gives a CellView (its kind and a view of its contents,
// valid while the table is unchanged) or fills a Variant. A value comes
// back exactly as it was appended, kind included (a Long stays a Long, a
// Single a Single).
//
// Bounds: one block's texts of one column may take up to 4 GiB (error 7 "Out
// of memory" beyond that); a table holds at most 2,147,483,647 rows, the
// largest RecordCount (error 7 as well).
//
// Threads: one thread at a time per table; a table that no one changes may
// be read from several threads.
#ifndef ZAREL_DB_RECORD_TABLE_H_
#define ZAREL_DB_RECORD_TABLE_H_

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string_view>
#include <vector>

#include "zarel/base/object.h"
#include "zarel/base/variant.h"
#include "zarel/db/recordset.h"

namespace zarel {

class BlockColumn;

// A value as a table holds it, seen without copying it.
struct CellView {
  VarType type = VarType::kNull;
  // Boolean (0 or 1), Integer, Long, LongLong, and Currency (scaled).
  std::int64_t whole = 0;
  // Single, Double, and Date (its serial).
  double real = 0;
  // String and Bytes.
  std::string_view bytes;
  // Object.
  const ObjectRef* object = nullptr;

  // A view of the value (of its text or bytes in place).
  static CellView Of(const Variant& value);
  Variant ToVariant() const;
  // Puts the value into target, reusing target's text storage for a text.
  void CopyTo(Variant& target) const;
};

class RecordTable {
 public:
  explicit RecordTable(std::size_t columns = 0);
  RecordTable(RecordTable&&) noexcept;
  RecordTable& operator=(RecordTable&&) noexcept;
  ~RecordTable();

  std::size_t Columns() const { return columns_; }
  std::size_t Rows() const { return rows_; }

  // --- Appending: the next value of the row being appended ---
  void AppendNull();
  void AppendBoolean(bool value);
  void AppendInteger(std::int16_t value);
  void AppendLong(std::int32_t value);
  void AppendLongLong(std::int64_t value);
  void AppendSingle(float value);
  void AppendDouble(double value);
  void AppendCurrency(Currency value);
  void AppendDate(Date value);
  void AppendText(std::string_view value);
  void AppendBytes(std::string_view value);
  void Append(const Variant& value);
  void Append(const CellView& value);
  // Finishes the row; 51 when it does not hold one value per column.
  void EndRow();

  // --- Reading ---
  // The cell at (row, column), both from 0; 9 outside the table.
  CellView Cell(std::size_t row, std::size_t column) const;
  Variant Value(std::size_t row, std::size_t column) const {
    return Cell(row, column).ToVariant();
  }

  // --- Whole-table changes ---
  // A new table of the given rows, in the order given.
  RecordTable SelectRows(const std::vector<std::size_t>& rows) const;
  // Adds a last column holding values[r] in row r; 51 unless there is one
  // value per row.
  void AddColumn(const std::vector<Variant>& values);
  // Replaces every value of a column by what convert makes of it.
  void ConvertColumn(std::size_t column, const std::function<Variant(const CellView&)>& convert);

 private:
  struct Block;
  void Put(const CellView& value);
  BlockColumn& NextColumn();

  std::size_t columns_ = 0;
  std::size_t rows_ = 0;
  std::size_t next_column_ = 0;  // of the row being appended
  std::vector<Block> blocks_;
};

// The fields and rows a statement returned, as a driver hands them to a
// recordset (Recordset::OpenWithTable).
struct TableData {
  std::vector<FieldInfo> fields;
  RecordTable rows;
};

}  // namespace zarel

#endif  // ZAREL_DB_RECORD_TABLE_H_
