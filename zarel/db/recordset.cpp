// The client-side recordset: rows held in memory, the current row, fields
// bound to it, sorting, GetRows, fabricated recordsets and the bookkeeping of
// changes that a batch update writes back. Opening from a query, UpdateBatch
// and Resync live with the database code (recordset_database.cpp).
#include "zarel/db/recordset.h"

#include <algorithm>
#include <numeric>
#include <utility>

#include "zarel/base/ascii_text.h"
#include "zarel/base/error.h"

namespace zarel {

namespace {

[[noreturn]] void RaiseObjectIsOpen() {
  Raise(errc::kObjectOpen);
}

// Whether text ends in the word (preceded by a blank), ignoring case.
bool EndsWithWord(std::string_view text, std::string_view word) {
  if (text.size() <= word.size()) return false;
  const char before = text[text.size() - word.size() - 1];
  return IsSpaceOrTab(before) &&
         EqualIgnoringAsciiCase(text.substr(text.size() - word.size()), word);
}

// ---------------------------------------------------------------------------
// Converting a written value to the field's type.

Variant CheckedSmallRange(const Variant& value, std::int64_t low, std::int64_t high) {
  const std::int64_t number = value.ToLongLong();
  if (number < low || number > high) Raise(errc::kOverflow);
  return Variant(static_cast<std::int16_t>(number));
}

Bytes BytesOfText(const std::string& text) { return Bytes(text.begin(), text.end()); }

Variant ConvertForField(Variant value, int type) {
  if (value.IsEmpty() || value.IsNull()) return Variant::Null();
  switch (type) {
    case fieldtype::kSmallInt:
      return Variant(value.ToInteger());
    case fieldtype::kTinyInt:
      return CheckedSmallRange(value, -128, 127);
    case fieldtype::kUnsignedTinyInt:
      return CheckedSmallRange(value, 0, 255);
    case fieldtype::kInteger:
      return Variant(value.ToLong());
    case fieldtype::kUnsignedSmallInt: {
      const std::int64_t number = value.ToLongLong();
      if (number < 0 || number > 65535) Raise(errc::kOverflow);
      return Variant(static_cast<std::int32_t>(number));
    }
    case fieldtype::kUnsignedInt: {
      const std::int64_t number = value.ToLongLong();
      if (number < 0 || number > 4294967295LL) Raise(errc::kOverflow);
      return Variant(number);
    }
    case fieldtype::kBigInt:
    case fieldtype::kUnsignedBigInt:
      return Variant(value.ToLongLong());
    case fieldtype::kSingle:
      return Variant(value.ToSingle());
    case fieldtype::kDouble:
      return Variant(value.ToDouble());
    case fieldtype::kCurrency:
      return Variant(value.ToCurrency());
    case fieldtype::kDecimal:
    case fieldtype::kNumeric:
    case fieldtype::kVarNumeric:
      if (value.HoldsNumber()) return value;
      return Variant(value.ToDouble());
    case fieldtype::kBoolean:
      return Variant(value.ToBoolean());
    case fieldtype::kDate:
    case fieldtype::kDBDate:
    case fieldtype::kDBTime:
    case fieldtype::kDBTimeStamp:
      return Variant(value.ToDate());
    case 8:    // BSTR
    case 129:  // Char
    case 130:  // WChar
    case 200:  // VarChar
    case 201:  // LongVarChar
    case fieldtype::kVarWChar:
    case fieldtype::kLongVarWChar:
      if (value.Type() == VarType::kString) return value;
      return Variant(value.ToText());
    case fieldtype::kBinary:
    case 204:  // VarBinary
    case fieldtype::kLongVarBinary:
      if (value.Type() == VarType::kBytes) return value;
      if (value.Type() == VarType::kString) return Variant(BytesOfText(value.AsString()));
      Raise(errc::kTypeMismatch);
    default:
      // Chapters and types without a conversion of their own keep the value.
      return value;
  }
}

// ---------------------------------------------------------------------------
// Sorting.

struct SortKey {
  std::size_t column;
  bool descending;
};

// A value reduced to what the sort compares: its kind first, then the
// number, serial, text or bytes of that kind.
enum class SortRank { kNull, kNumber, kDate, kText, kBinary, kOther };

struct SortValue {
  SortRank rank = SortRank::kNull;
  bool integral = false;
  std::int64_t whole = 0;
  double number = 0;
  const Variant* source = nullptr;  // texts and bytes are compared in place
};

SortValue MakeSortValue(const Variant& value) {
  SortValue key;
  key.source = &value;
  switch (value.Type()) {
    case VarType::kEmpty:
    case VarType::kNull:
      key.rank = SortRank::kNull;
      break;
    case VarType::kBoolean:
      key.rank = SortRank::kNumber;
      key.integral = true;
      key.whole = value.AsBoolean() ? -1 : 0;
      break;
    case VarType::kInteger:
    case VarType::kLong:
    case VarType::kLongLong:
      key.rank = SortRank::kNumber;
      key.integral = true;
      key.whole = value.ToLongLong();
      break;
    case VarType::kSingle:
    case VarType::kDouble:
    case VarType::kCurrency:
      key.rank = SortRank::kNumber;
      key.number = value.ToDouble();
      break;
    case VarType::kDate:
      key.rank = SortRank::kDate;
      key.number = value.ToDate().Serial();
      break;
    case VarType::kString:
      key.rank = SortRank::kText;
      break;
    case VarType::kBytes:
      key.rank = SortRank::kBinary;
      break;
    case VarType::kObject:
      key.rank = SortRank::kOther;
      break;
  }
  return key;
}

template <class T>
int ThreeWay(const T& a, const T& b) {
  return a < b ? -1 : (b < a ? 1 : 0);
}

int CompareSortValues(const SortValue& a, const SortValue& b) {
  if (a.rank != b.rank) return ThreeWay(static_cast<int>(a.rank), static_cast<int>(b.rank));
  switch (a.rank) {
    case SortRank::kNumber:
      if (a.integral && b.integral) return ThreeWay(a.whole, b.whole);
      return ThreeWay(a.integral ? static_cast<double>(a.whole) : a.number,
                      b.integral ? static_cast<double>(b.whole) : b.number);
    case SortRank::kDate:
      return ThreeWay(a.number, b.number);
    case SortRank::kText: {
      const int order = a.source->AsString().compare(b.source->AsString());
      return ThreeWay(order, 0);
    }
    case SortRank::kBinary: {
      const Bytes& left = a.source->AsBytes();
      const Bytes& right = b.source->AsBytes();
      return std::lexicographical_compare(left.begin(), left.end(), right.begin(), right.end())
                 ? -1
                 : (std::lexicographical_compare(right.begin(), right.end(), left.begin(),
                                                 left.end())
                        ? 1
                        : 0);
    }
    case SortRank::kNull:
    case SortRank::kOther:
      return 0;
  }
  return 0;
}

}  // namespace

// ---------------------------------------------------------------------------
// Field

const Variant& Field::Value() const { return owner_->CurrentRow().values[ordinal_]; }

void Field::Value(Variant value) {
  Recordset::Row& row = owner_->CurrentRow();
  Variant converted = ConvertForField(std::move(value), info_.type);
  if (row.state == Recordset::RowState::kUnchanged) {
    row.original = row.values;
    row.state = Recordset::RowState::kModified;
  }
  row.values[ordinal_] = std::move(converted);
}

// ---------------------------------------------------------------------------
// FieldCollection

int FieldCollection::Find(std::string_view name) const {
  for (std::size_t i = 0; i < fields_.size(); ++i) {
    if (EqualIgnoringAsciiCase(fields_[i].Name(), name)) return static_cast<int>(i);
  }
  return -1;
}

Field& FieldCollection::Item(int index) {
  if (index < 0 || index >= Count()) Raise(errc::kItemNotFound);
  return fields_[static_cast<std::size_t>(index)];
}

const Field& FieldCollection::Item(int index) const {
  if (index < 0 || index >= Count()) Raise(errc::kItemNotFound);
  return fields_[static_cast<std::size_t>(index)];
}

Field& FieldCollection::Item(std::string_view name) { return Item(Find(name)); }

const Field& FieldCollection::Item(std::string_view name) const { return Item(Find(name)); }

void FieldCollection::Append(std::string name, int type, std::int32_t defined_size,
                             std::int32_t attributes) {
  if (owner_->IsOpen()) Raise(errc::kNotAllowedInContext);
  if (Find(name) >= 0) {
    Raise(errc::kAlreadyInCollection);
  }
  FieldInfo info;
  info.name = std::move(name);
  info.type = type;
  info.defined_size = defined_size;
  info.attributes = attributes;
  fields_.push_back(Field(owner_, fields_.size(), std::move(info)));
}

// ---------------------------------------------------------------------------
// Array2D

const Variant& Array2D::At(std::size_t column, std::size_t row) const {
  if (column >= columns_ || row >= rows_) Raise(errc::kSubscriptOutOfRange);
  return cells_[row * columns_ + column];
}

Variant& Array2D::At(std::size_t column, std::size_t row) {
  if (column >= columns_ || row >= rows_) Raise(errc::kSubscriptOutOfRange);
  return cells_[row * columns_ + column];
}

// ---------------------------------------------------------------------------
// Recordset

Recordset::Recordset() = default;
Recordset::~Recordset() = default;

std::shared_ptr<Recordset> Recordset::Create() {
  return std::shared_ptr<Recordset>(new Recordset());
}

void Recordset::ActiveConnection(std::shared_ptr<Connection> connection) {
  connection_ = std::move(connection);
}

const std::shared_ptr<Connection>& Recordset::ActiveConnection() const { return connection_; }

void Recordset::RequireOpen() const {
  if (!open_) Raise(errc::kObjectClosed);
}

void Recordset::RequireClosed() const {
  if (open_) RaiseObjectIsOpen();
}

Recordset::Row& Recordset::CurrentRow() {
  RequireOpen();
  if (position_ >= rows_.size()) Raise(errc::kNoCurrentRecord);
  return rows_[position_];
}

const Recordset::Row& Recordset::CurrentRow() const {
  RequireOpen();
  if (position_ >= rows_.size()) Raise(errc::kNoCurrentRecord);
  return rows_[position_];
}

void Recordset::Open() {
  RequireClosed();
  rows_.clear();
  position_ = 0;
  next_sequence_ = 0;
  sort_.clear();
  source_.clear();
  adding_ = false;
  open_ = true;
}

void Recordset::OpenWith(RecordsetData data) {
  RequireClosed();
  const std::size_t columns = data.fields.size();
  for (std::size_t i = 0; i < data.rows.size(); ++i) {
    if (data.rows[i].size() != columns) {
      Raise(errc::kInternalError, "Row " + std::to_string(i) + " holds " +
                                      std::to_string(data.rows[i].size()) + " values for " +
                                      std::to_string(columns) + " fields");
    }
  }
  fields_.fields_.clear();
  fields_.fields_.reserve(columns);
  for (FieldInfo& info : data.fields) {
    fields_.fields_.push_back(Field(this, fields_.fields_.size(), std::move(info)));
  }
  rows_.clear();
  rows_.reserve(data.rows.size());
  std::size_t sequence = 0;
  for (std::vector<Variant>& values : data.rows) {
    Row row;
    row.values = std::move(values);
    row.sequence = sequence++;
    rows_.push_back(std::move(row));
  }
  next_sequence_ = sequence;
  position_ = 0;
  sort_.clear();
  adding_ = false;
  open_ = true;
}

void Recordset::Close() {
  RequireOpen();
  open_ = false;
  adding_ = false;
  rows_.clear();
  rows_.shrink_to_fit();
  position_ = 0;
  sort_.clear();
}

std::int32_t Recordset::RecordCount() const {
  RequireOpen();
  if (count_unknown_) return -1;
  return static_cast<std::int32_t>(rows_.size());
}

void Recordset::MoveFirst() {
  RequireOpen();
  FinishAdding();
  position_ = 0;
}

void Recordset::MoveNext() {
  RequireOpen();
  FinishAdding();
  if (position_ >= rows_.size()) Raise(errc::kNoCurrentRecord);
  ++position_;
}

bool Recordset::Eof() const {
  RequireOpen();
  return position_ >= rows_.size();
}

bool Recordset::Bof() const {
  RequireOpen();
  return rows_.empty();
}

void Recordset::Sort(const std::string& order) {
  RequireOpen();
  // Read the whole order before touching a row, so a bad name changes
  // nothing.
  std::vector<SortKey> keys;
  std::string_view rest = order;
  while (!TrimSpaceOrTab(rest).empty()) {
    const std::size_t comma = rest.find(',');
    std::string_view part = TrimSpaceOrTab(rest.substr(0, comma));
    rest = comma == std::string_view::npos ? std::string_view() : rest.substr(comma + 1);
    bool descending = false;
    if (EndsWithWord(part, "DESC")) {
      descending = true;
      part = TrimSpaceOrTab(part.substr(0, part.size() - 4));
    } else if (EndsWithWord(part, "ASC")) {
      part = TrimSpaceOrTab(part.substr(0, part.size() - 3));
    }
    if (part.size() >= 2 && part.front() == '[' && part.back() == ']') {
      part = part.substr(1, part.size() - 2);
    }
    const int column = fields_.Find(part);
    if (column < 0) Raise(errc::kItemNotFound);
    keys.push_back(SortKey{static_cast<std::size_t>(column), descending});
  }
  FinishAdding();

  // Sort positions, starting from the order of arrival so that equal keys
  // keep it, then move the rows into place once.
  std::vector<std::size_t> order_of_rows(rows_.size());
  std::iota(order_of_rows.begin(), order_of_rows.end(), std::size_t{0});
  std::sort(order_of_rows.begin(), order_of_rows.end(), [this](std::size_t a, std::size_t b) {
    return rows_[a].sequence < rows_[b].sequence;
  });
  if (!keys.empty()) {
    const std::size_t width = keys.size();
    std::vector<SortValue> values(rows_.size() * width);
    for (std::size_t row = 0; row < rows_.size(); ++row) {
      for (std::size_t k = 0; k < width; ++k) {
        values[row * width + k] = MakeSortValue(rows_[row].values[keys[k].column]);
      }
    }
    std::stable_sort(order_of_rows.begin(), order_of_rows.end(),
                     [&](std::size_t a, std::size_t b) {
                       for (std::size_t k = 0; k < width; ++k) {
                         const int compared =
                             CompareSortValues(values[a * width + k], values[b * width + k]);
                         if (compared != 0) return keys[k].descending ? compared > 0 : compared < 0;
                       }
                       return false;
                     });
  }
  std::vector<Row> sorted;
  sorted.reserve(rows_.size());
  for (std::size_t index : order_of_rows) sorted.push_back(std::move(rows_[index]));
  rows_ = std::move(sorted);
  sort_ = order;
  position_ = 0;
}

Array2D Recordset::GetRows() {
  RequireOpen();
  FinishAdding();
  if (position_ >= rows_.size()) Raise(errc::kNoCurrentRecord);
  const std::size_t columns = fields_.fields_.size();
  Array2D grid(columns, rows_.size() - position_);
  for (std::size_t row = 0; position_ < rows_.size(); ++row, ++position_) {
    const std::vector<Variant>& values = rows_[position_].values;
    for (std::size_t column = 0; column < columns; ++column) {
      grid.At(column, row) = values[column];
    }
  }
  return grid;
}

void Recordset::AddNew() {
  RequireOpen();
  Row row;
  row.values.assign(fields_.fields_.size(), Variant::Null());
  row.state = RowState::kAdded;
  row.sequence = next_sequence_++;
  rows_.push_back(std::move(row));
  position_ = rows_.size() - 1;
  adding_ = true;
}

void Recordset::Update() {
  RequireOpen();
  if (adding_) {
    FinishAdding();
    return;
  }
  if (position_ >= rows_.size()) Raise(errc::kNoCurrentRecord);
}

std::vector<Recordset::PendingRow> Recordset::PendingChanges() const {
  std::vector<PendingRow> pending;
  for (std::size_t i = 0; i < rows_.size(); ++i) {
    const Row& row = rows_[i];
    if (row.state != RowState::kUnchanged) {
      pending.push_back(PendingRow{i, row.state, &row.values, &row.original});
    }
  }
  return pending;
}

void Recordset::AcceptChanges() {
  for (Row& row : rows_) {
    row.state = RowState::kUnchanged;
    row.original.clear();
    row.original.shrink_to_fit();
  }
}

}  // namespace zarel
