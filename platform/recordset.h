// Recordset: a table of rows held on the client, with a current row.
//
// Every recordset in the system holds all of its rows in memory and knows
// its true RecordCount. It is filled in one of three ways:
//   - by a database connection: set ActiveConnection, then Open(query)
//     (see connection.h; the drivers fill it through RecordsetData);
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
#ifndef ZAREL_PLATFORM_RECORDSET_H_
#define ZAREL_PLATFORM_RECORDSET_H_

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/object.h"
#include "platform/variant.h"

namespace zarel {

class Connection;
class Recordset;

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

// The rows a driver hands to Recordset::Open.
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
  // row.
  const Variant& Value() const;
  // Writes the value in the current row (or in the row being added).
  void Value(Variant value);

 private:
  friend class Recordset;
  friend class FieldCollection;
  Field(Recordset* owner, std::size_t ordinal, FieldInfo info)
      : owner_(owner), ordinal_(ordinal), info_(std::move(info)) {}

  Recordset* owner_;
  std::size_t ordinal_;
  FieldInfo info_;
};

// The columns of a recordset.
class FieldCollection {
 public:
  int Count() const { return static_cast<int>(fields_.size()); }
  // By position from 0; 3265 when out of range.
  Field& Item(int index);
  const Field& Item(int index) const;
  // By name, ignoring letter case; 3265 when there is none.
  Field& Item(std::string_view name);
  const Field& Item(std::string_view name) const;
  Field& operator[](int index) { return Item(index); }
  Field& operator[](std::string_view name) { return Item(name); }

  // Adds a column to a recordset that is not open yet (a fabricated one);
  // appending to an open recordset raises 3219 "Operation is not allowed in
  // this context.".
  void Append(std::string name, int type, std::int32_t defined_size = 0,
              std::int32_t attributes = 0);

  auto begin() { return fields_.begin(); }
  auto end() { return fields_.end(); }
  auto begin() const { return fields_.begin(); }
  auto end() const { return fields_.end(); }

 private:
  friend class Recordset;
  explicit FieldCollection(Recordset* owner) : owner_(owner) {}
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
  void Open(const std::string& source);
  // Opens a fabricated recordset over the appended fields, with no rows.
  void Open();
  // Takes the rows a driver read. Used by Connection implementations.
  void OpenWith(RecordsetData data);
  void Close();
  bool IsOpen() const { return open_; }

  // --- Reading ---
  FieldCollection& Fields() { return fields_; }
  const FieldCollection& Fields() const { return fields_; }
  // The number of rows, or -1 for a recordset made to answer that it
  // cannot count (see AnswerUnknownRecordCount).
  std::int32_t RecordCount() const;
  void MoveFirst();
  void MoveNext();
  bool Eof() const;
  bool Bof() const;
  // The sort order: one or more "name ASC" / "name DESC" joined by ", ".
  // Writing it reorders the rows (stable; numbers, dates and texts compared
  // as such; Null first) and moves to the first row. An empty text restores
  // the order in which the rows were read.
  void Sort(const std::string& order);
  const std::string& Sort() const { return sort_; }
  // All rows from the current one on, as a (column, row) grid; the
  // recordset is then at its end. 3021 when there is no current row.
  Array2D GetRows();

  // --- Changing ---
  void AddNew();
  void Update();
  void UpdateBatch();
  void Resync();

  // Makes RecordCount answer -1, as a recordset that cannot count does.
  void AnswerUnknownRecordCount(bool unknown) { count_unknown_ = unknown; }

  // The number of rows held, whatever RecordCount answers.
  std::size_t RowCount() const { return rows_.size(); }

 private:
  friend class Field;
  friend class FieldCollection;
  friend class BatchUpdater;
  Recordset();

  enum class RowState { kUnchanged, kModified, kAdded };
  struct Row {
    std::vector<Variant> values;
    std::vector<Variant> original;  // kept from the first change on
    RowState state = RowState::kUnchanged;
  };

  void RequireOpen() const;
  Row& CurrentRow();
  const Row& CurrentRow() const;

  bool open_ = false;
  bool count_unknown_ = false;
  bool adding_ = false;  // between AddNew and Update
  int cursor_location_ = 2;
  int cursor_type_ = kOpenForwardOnly;
  int lock_type_ = kLockReadOnly;
  std::shared_ptr<Connection> connection_;
  FieldCollection fields_{this};
  std::vector<Row> rows_;
  std::size_t position_ = 0;  // == rows_.size() at the end
  std::string sort_;
  std::string source_;  // the query it was opened with, for Resync
};

}  // namespace zarel

#endif  // ZAREL_PLATFORM_RECORDSET_H_
