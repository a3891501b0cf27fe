// Recordset: a table of rows held on the client, with a current row.
//
// Every recordset in the system holds all of its rows in memory and knows
// its true RecordCount. The rows read from a database are held by column in
// blocks (numbers in arrays of their own width, texts in one arena per
// block and column), so a large recordset costs about the size of its
// values and a few allocations per thousand rows, not one per value. It is
// filled in one of three ways:
//   - by a database connection: set ActiveConnection, then Open(query)
//     (see connection.h; the drivers read straight into that storage);
//   - fabricated: Fields().Append(...) for each column, Open(), then AddNew,
//     field value writes and Update for each row;
//   - by a host answering ProvideRecordset with a recordset of its own.
// Readers walk it with MoveFirst / MoveNext / Eof and read the current row
// through Fields. Misuse raises the platform's recordset errors: 3704 when
// the recordset is closed, 3021 when there is no current row, 3265 for a
// field that does not exist.
//
// A recordset opened with lock type 4 (batch optimistic) remembers where its
// rows came from, their original values, the changes made and the rows
// added; UpdateBatch writes them back in one transaction and Resync reads
// them again.
//
// Recordsets are objects with identity: they are handed around as
// std::shared_ptr<Recordset>, and a "recordset variable" of the engine is a
// std::shared_ptr<Recordset>& that may be empty (no recordset).
//
// Threads: one thread at a time per recordset, its Fields and its Field
// objects. A recordset handed out disconnected (the DAL's) shares nothing
// with other recordsets and may move to another thread when the first is
// done with it; a chapter field's child recordset belongs to its parent.
#ifndef ZAREL_DB_RECORDSET_H_
#define ZAREL_DB_RECORDSET_H_

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "zarel/base/object.h"
#include "zarel/base/variant.h"

namespace zarel {

class Connection;
class Recordset;
class RecordTable;
struct TableData;

// The platform's data type numbers, as Field::Type() answers them.
namespace fieldtype {
inline constexpr int kSmallInt = 2;
inline constexpr int kInteger = 3;
inline constexpr int kSingle = 4;
inline constexpr int kDouble = 5;
inline constexpr int kCurrency = 6;
inline constexpr int kDate = 7;
inline constexpr int kBoolean = 11;
inline constexpr int kDecimal = 14;
inline constexpr int kTinyInt = 16;
inline constexpr int kUnsignedTinyInt = 17;
inline constexpr int kUnsignedSmallInt = 18;
inline constexpr int kUnsignedInt = 19;
inline constexpr int kBigInt = 20;
inline constexpr int kUnsignedBigInt = 21;
inline constexpr int kFileTime = 64;
inline constexpr int kBinary = 128;
inline constexpr int kNumeric = 131;
inline constexpr int kDBDate = 133;
inline constexpr int kDBTime = 134;
inline constexpr int kDBTimeStamp = 135;
inline constexpr int kChapter = 136;
inline constexpr int kVarNumeric = 139;
inline constexpr int kVarWChar = 202;
inline constexpr int kLongVarWChar = 203;
inline constexpr int kLongVarBinary = 205;
}  // namespace fieldtype

// Recordset settings, by the platform's enumeration numbers.
inline constexpr int kUseClient = 3;          // CursorLocation
inline constexpr int kOpenForwardOnly = 0;    // CursorType
inline constexpr int kOpenStatic = 3;         // CursorType
inline constexpr int kLockReadOnly = 1;       // LockType
inline constexpr int kLockBatchOptimistic = 4;  // LockType

// Field attribute bits that the drivers set.
namespace fieldattr {
inline constexpr std::int32_t kMayBeNull = 0x20;
inline constexpr std::int32_t kIsNullable = 0x40;
inline constexpr std::int32_t kKeyColumn = 0x8000;
}  // namespace fieldattr

// What a field is, apart from its values.
struct FieldInfo {
  std::string name;
  int type = fieldtype::kVarWChar;
  std::int32_t defined_size = 0;
  std::int32_t attributes = 0;
  // Where the column came from, for batch updates: its table and column in
  // the database (empty for computed columns) and whether it is part of that
  // table's primary key.
  std::string base_table;
  std::string base_column;
  bool is_key = false;
};

// Rows given to Recordset::OpenWith as values: one value per field in every
// row, in field order.
struct RecordsetData {
  std::vector<FieldInfo> fields;
  std::vector<std::vector<Variant>> rows;
};

// One column of a recordset, bound to the recordset's current row.
class Field {
 public:
  const std::string& Name() const { return info_.name; }
  int Type() const { return info_.type; }
  std::int32_t DefinedSize() const { return info_.defined_size; }
  std::int32_t Attributes() const { return info_.attributes; }
  const FieldInfo& Info() const { return info_; }

  // The value in the current row: 3704 when closed, 3021 without a current
  // row. Reading costs the same whatever the size of the recordset. The
  // reference stays valid as long as the recordset; it shows this field's
  // value in the current row until the field is read again in another row
  // or the recordset changes (copy the Variant to keep a value longer).
  const Variant& Value() const;
  // Writes the value in the current row (or in the row being added): 3704
  // when closed, 3021 without a current row. The value is converted to the
  // field's type first (a text "42" written to an integer field is stored
  // as the number 42; Empty and Null are stored as Null), and a value that
  // cannot be converted raises the conversion's error (13, 6) and leaves the
  // row unchanged. Texts are kept whole whatever DefinedSize says. The first
  // write to a row that was read keeps its original values and marks it
  // modified; a row made by AddNew stays marked added.
  void Value(Variant value);

 private:
  friend class Recordset;
  friend class FieldCollection;
  Field(Recordset* owner, std::size_t ordinal, FieldInfo info)
      : owner_(owner), ordinal_(ordinal), info_(std::move(info)) {}

  Recordset* owner_;
  std::size_t ordinal_;
  FieldInfo info_;
  // The value last read, and the row and the state of the recordset it was
  // read in: reading the same cell again costs nothing.
  mutable Variant read_;
  mutable std::size_t read_row_ = 0;
  mutable std::uint64_t read_version_ = 0;
};

// The columns of a recordset.
class FieldCollection {
 public:
  int Count() const { return static_cast<int>(fields_.size()); }
  // By position from 0; 3265 when out of range.
  Field& Item(int index);
  const Field& Item(int index) const;
  // By name, ignoring letter case (ASCII letters); 3265 when there is none.
  // When a query returned two columns of one name, the first one answers.
  Field& Item(std::string_view name);
  const Field& Item(std::string_view name) const;
  Field& operator[](int index) { return Item(index); }
  Field& operator[](std::string_view name) { return Item(name); }
  const Field& operator[](int index) const { return Item(index); }
  const Field& operator[](std::string_view name) const { return Item(name); }

  // Adds a column to a recordset that is not open yet (a fabricated one);
  // appending to an open recordset raises 3219 "Operation is not allowed in
  // this context.", a name already in the collection (ignoring case) 3367.
  void Append(std::string name, int type, std::int32_t defined_size = 0,
              std::int32_t attributes = 0);

  auto begin() { return fields_.begin(); }
  auto end() { return fields_.end(); }
  auto begin() const { return fields_.begin(); }
  auto end() const { return fields_.end(); }

 private:
  friend class Recordset;
  explicit FieldCollection(Recordset* owner) : owner_(owner) {}
  // The position of the field called name (ignoring letter case), or -1.
  int Find(std::string_view name) const;

  Recordset* owner_;
  std::vector<Field> fields_;
};

// A (column, row) grid of values, as GetRows hands it out.
class Array2D {
 public:
  Array2D() = default;
  Array2D(std::size_t columns, std::size_t rows)
      : columns_(columns), rows_(rows), cells_(columns * rows) {}

  bool IsEmpty() const { return columns_ == 0 && rows_ == 0; }
  std::size_t Columns() const { return columns_; }
  std::size_t Rows() const { return rows_; }
  // Error 9 "Subscript out of range" outside the grid.
  const Variant& At(std::size_t column, std::size_t row) const;
  Variant& At(std::size_t column, std::size_t row);

 private:
  std::size_t columns_ = 0;
  std::size_t rows_ = 0;
  std::vector<Variant> cells_;  // row-major: row * columns_ + column
};

class Recordset : public Object {
 public:
  static std::shared_ptr<Recordset> Create();
  ~Recordset() override;

  // --- Settings, written before Open ---
  void ActiveConnection(std::shared_ptr<Connection> connection);
  const std::shared_ptr<Connection>& ActiveConnection() const;
  void CursorLocation(int value) { cursor_location_ = value; }
  int CursorLocation() const { return cursor_location_; }
  void CursorType(int value) { cursor_type_ = value; }
  int CursorType() const { return cursor_type_; }
  void LockType(int value) { lock_type_ = value; }
  int LockType() const { return lock_type_; }

  // --- Opening and closing ---
  // Runs the query on the active connection and holds its rows; the
  // recordset is then on its first row (or at its end when there is none).
  // Fails (error 3709-style RuntimeError) without an active connection.
  // (Defined with the database code, recordset_database.cpp.)
  void Open(const std::string& source);
  // Opens a fabricated recordset over the appended fields, with no rows.
  // 3705 when the recordset is already open.
  void Open();
  // Takes the rows given as values and replaces the fields with
  // data.fields; the recordset is then open on its first row. Every row
  // must hold one value per field (51 otherwise, and the recordset stays
  // closed); 3705 when already open. Values keep their kind exactly.
  void OpenWith(RecordsetData data);
  // The same for the rows a driver read into its compact storage
  // (zarel/db/record_table.h, inside the database library).
  void OpenWithTable(TableData data);
  // Drops the rows and closes; the fields stay, so a fabricated recordset
  // can be opened again. 3704 when already closed.
  void Close();
  bool IsOpen() const { return open_; }

  // --- Reading ---
  FieldCollection& Fields() { return fields_; }
  const FieldCollection& Fields() const { return fields_; }
  // All of these raise 3704 when the recordset is closed.
  // The number of rows, or -1 for a recordset made to answer that it
  // cannot count (see AnswerUnknownRecordCount).
  std::int32_t RecordCount() const;
  // To the first row; on an empty recordset it stays at its end.
  void MoveFirst();
  // To the next row; 3021 when already at the end.
  void MoveNext();
  // True at the end (past the last row, or no rows at all).
  bool Eof() const;
  // True when there are no rows (there is no backward walk).
  bool Bof() const;
  // The sort order: one or more "name ASC" / "name DESC" joined by ", "
  // (a name alone sorts ascending; a name may be written in [brackets]).
  // Writing it reorders the rows and moves to the first row. The sort is
  // stable: rows with equal keys keep the order in which they were read.
  // Values compare by kind: Null (and Empty) lowest, so first ascending and
  // last descending; then numbers, compared numerically; then dates; then
  // texts, compared byte by byte; then binary values. An unknown field name
  // raises 3265 and leaves the rows as they were. An empty text restores the
  // order in which the rows were read.
  void Sort(const std::string& order);
  const std::string& Sort() const { return sort_; }
  // All rows from the current one on, as a (column, row) grid; the
  // recordset is then at its end. 3021 when there is no current row.
  Array2D GetRows();

  // --- Changing ---
  // Appends a row of Nulls at the end and makes it the current row; field
  // value writes fill it. 3704 when closed. A row being added is finished
  // by Update, and also by the next AddNew, move or Sort.
  void AddNew();
  // Finishes the row being added. Without one, field writes are already in
  // the row, and Update only checks that there is a current row (3021).
  void Update();
  // Write back / re-read through the active connection (defined with the
  // database code, recordset_database.cpp).
  void UpdateBatch();
  void Resync();

  // Makes RecordCount answer -1, as a recordset that cannot count does.
  void AnswerUnknownRecordCount(bool unknown) { count_unknown_ = unknown; }

  // The number of rows held, whatever RecordCount answers.
  std::size_t RowCount() const { return row_count_; }

  // --- Batch-edit bookkeeping, for UpdateBatch ---
  enum class RowState { kUnchanged, kModified, kAdded };
  // A row with changes that are not written back yet. values are the row's
  // values now; original the values it was read with (empty for an added
  // row). The pointers stay valid until the recordset is changed.
  struct PendingRow {
    std::size_t position;  // 0-based, in the recordset's current order
    RowState state;
    const std::vector<Variant>* values;
    const std::vector<Variant>* original;
  };
  // The modified and added rows, in the recordset's current order.
  std::vector<PendingRow> PendingChanges() const;
  // Marks every row unchanged and forgets the original values: called once
  // the changes are in the database.
  void AcceptChanges();
  // The query the recordset was opened with (empty for a fabricated one).
  const std::string& Source() const { return source_; }

 private:
  friend class Field;
  friend class FieldCollection;
  friend class BatchUpdater;
  Recordset();

  // A row changed since it was read, or added: its values now, and the
  // values it was read with.
  struct EditedRow {
    std::vector<Variant> values;
    std::vector<Variant> original;  // kept from the first change on
    RowState state = RowState::kUnchanged;
  };

  void RequireOpen() const;
  void RequireClosed() const;
  void FinishAdding() { adding_ = false; }
  // The row under the cursor (3704 closed, 3021 at the end): rows are
  // numbered in the order they arrived, those read first, then those added.
  std::size_t CurrentRowId() const;
  std::size_t RowIdAt(std::size_t position) const {
    return order_.empty() ? position : order_[position];
  }
  // The changed or added row, or null for a row as it was read.
  EditedRow* EditOf(std::size_t row);
  const EditedRow* EditOf(std::size_t row) const;
  // Puts the value of a cell into target.
  void ReadCell(std::size_t row, std::size_t column, Variant& target) const;
  void ClearRows();

  bool open_ = false;
  bool count_unknown_ = false;
  bool adding_ = false;  // between AddNew and Update
  int cursor_location_ = 2;
  int cursor_type_ = kOpenForwardOnly;
  int lock_type_ = kLockReadOnly;
  std::shared_ptr<Connection> connection_;
  FieldCollection fields_{this};
  // The rows as they were read, compact; rows that were changed or added
  // are held as values in edits_ (edit_of_ numbers them by row, 0 for a
  // row without one; it is empty while no row was changed or added).
  std::unique_ptr<RecordTable> table_;
  std::vector<EditedRow> edits_;
  std::vector<std::uint32_t> edit_of_;
  std::vector<std::uint32_t> order_;  // row numbers by position; empty: as they arrived
  std::size_t row_count_ = 0;
  std::size_t position_ = 0;  // == row_count_ at the end
  // Grows with every change of a value or of the rows held, so that a field
  // knows when the value it read last is stale.
  std::uint64_t version_ = 1;
  std::string sort_;
  std::string source_;  // the query it was opened with, for Resync
};

}  // namespace zarel

#endif  // ZAREL_DB_RECORDSET_H_
