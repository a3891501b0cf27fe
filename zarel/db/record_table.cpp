// The rows of a recordset in blocks of typed columns; see record_table.h.
#include "zarel/db/record_table.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <utility>

#include "zarel/base/error.h"
#include "zarel/db/block_column.h"

namespace zarel {

namespace {

constexpr std::size_t kBlockShift = 10;
static_assert((std::size_t{1} << kBlockShift) == kTableBlockRows);
constexpr std::size_t kRowMask = kTableBlockRows - 1;
constexpr std::size_t kMaxRows = static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max());

// A cell of `type` whose value is held in one of CellView's members: the
// whole number (Boolean, the integers, Currency's scaled value), the real
// number (Single, Double, Date's serial) or the bytes (String, Bytes).
CellView WholeCell(VarType type, std::int64_t value) {
  CellView cell;
  cell.type = type;
  cell.whole = value;
  return cell;
}

CellView RealCell(VarType type, double value) {
  CellView cell;
  cell.type = type;
  cell.real = value;
  return cell;
}

CellView BytesCell(VarType type, std::string_view value) {
  CellView cell;
  cell.type = type;
  cell.bytes = value;
  return cell;
}

[[noreturn]] void RaiseTooLarge() {
  Raise(errc::kOutOfMemory, "Out of memory: the recordset would hold more than it can address.");
}

}  // namespace

// ---------------------------------------------------------------------------
// CellView

CellView CellView::Of(const Variant& value) {
  CellView cell;
  cell.type = value.Type();
  switch (cell.type) {
    case VarType::kEmpty:
    case VarType::kNull:
      break;
    case VarType::kBoolean:
      cell.whole = value.AsBoolean() ? 1 : 0;
      break;
    case VarType::kInteger:
    case VarType::kLong:
    case VarType::kLongLong:
      cell.whole = value.ToLongLong();
      break;
    case VarType::kCurrency:
      cell.whole = value.ToCurrency().scaled;
      break;
    case VarType::kSingle:
      cell.real = value.ToSingle();
      break;
    case VarType::kDouble:
      cell.real = value.ToDouble();
      break;
    case VarType::kDate:
      cell.real = value.ToDate().Serial();
      break;
    case VarType::kString:
      cell.bytes = value.AsString();
      break;
    case VarType::kBytes: {
      const Bytes& bytes = value.AsBytes();
      cell.bytes = std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size());
      break;
    }
    case VarType::kObject:
      cell.object = &value.AsObject();
      break;
  }
  return cell;
}

Variant CellView::ToVariant() const {
  switch (type) {
    case VarType::kEmpty:
      return Variant();
    case VarType::kNull:
      return Variant::Null();
    case VarType::kBoolean:
      return Variant(whole != 0);
    case VarType::kInteger:
      return Variant(static_cast<std::int16_t>(whole));
    case VarType::kLong:
      return Variant(static_cast<std::int32_t>(whole));
    case VarType::kLongLong:
      return Variant(static_cast<std::int64_t>(whole));
    case VarType::kSingle:
      return Variant(static_cast<float>(real));
    case VarType::kDouble:
      return Variant(real);
    case VarType::kCurrency:
      return Variant(Currency{whole});
    case VarType::kDate:
      return Variant(Date{real});
    case VarType::kString:
      return Variant(bytes);
    case VarType::kBytes:
      return Variant(Bytes(bytes.begin(), bytes.end()));
    case VarType::kObject:
      return Variant(*object);
  }
  return Variant();
}

void CellView::CopyTo(Variant& target) const {
  if (type == VarType::kString) {
    target.AssignText(bytes);
  } else {
    target = ToVariant();
  }
}

struct RecordTable::Block {
  std::vector<BlockColumn> columns;
  std::size_t rows = 0;
};

// ---------------------------------------------------------------------------
// RecordTable

RecordTable::RecordTable(std::size_t columns) : columns_(columns) {}
RecordTable::RecordTable(RecordTable&&) noexcept = default;
RecordTable& RecordTable::operator=(RecordTable&&) noexcept = default;
RecordTable::~RecordTable() = default;

BlockColumn& RecordTable::NextColumn() {
  if (next_column_ >= columns_) {
    Raise(errc::kInternalError, "A row holds more values than the " + std::to_string(columns_) + " fields.");
  }
  if (next_column_ == 0 && rows_ >= kMaxRows) RaiseTooLarge();
  if (next_column_ == 0 && (blocks_.empty() || blocks_.back().rows == kTableBlockRows)) {
    Block block;
    block.columns.resize(columns_);
    if (!blocks_.empty()) {
      for (std::size_t c = 0; c < columns_; ++c) {
        blocks_.back().columns[c].Trim();
        block.columns[c].ReserveLike(blocks_.back().columns[c]);
      }
    }
    blocks_.push_back(std::move(block));
  }
  return blocks_.back().columns[next_column_++];
}

void RecordTable::Put(const CellView& value) { NextColumn().Add(value); }

void RecordTable::AppendNull() { NextColumn().AddNull(); }

void RecordTable::AppendBoolean(bool value) { Put(WholeCell(VarType::kBoolean, value ? 1 : 0)); }

void RecordTable::AppendInteger(std::int16_t value) { Put(WholeCell(VarType::kInteger, value)); }

void RecordTable::AppendLong(std::int32_t value) { Put(WholeCell(VarType::kLong, value)); }

void RecordTable::AppendLongLong(std::int64_t value) { Put(WholeCell(VarType::kLongLong, value)); }

void RecordTable::AppendSingle(float value) { Put(RealCell(VarType::kSingle, value)); }

void RecordTable::AppendDouble(double value) { Put(RealCell(VarType::kDouble, value)); }

void RecordTable::AppendCurrency(Currency value) { Put(WholeCell(VarType::kCurrency, value.scaled)); }

void RecordTable::AppendDate(Date value) { Put(RealCell(VarType::kDate, value.Serial())); }

void RecordTable::AppendText(std::string_view value) { Put(BytesCell(VarType::kString, value)); }

void RecordTable::AppendBytes(std::string_view value) { Put(BytesCell(VarType::kBytes, value)); }

void RecordTable::Append(const Variant& value) { Put(CellView::Of(value)); }

void RecordTable::Append(const CellView& value) { Put(value); }

void RecordTable::EndRow() {
  if (next_column_ != columns_) {
    Raise(errc::kInternalError, "Row " + std::to_string(rows_) + " holds " + std::to_string(next_column_) +
                                    " values for " + std::to_string(columns_) + " fields");
  }
  if (columns_ == 0) {
    if (rows_ >= kMaxRows) RaiseTooLarge();
  } else {
    ++blocks_.back().rows;
  }
  ++rows_;
  next_column_ = 0;
}

CellView RecordTable::Cell(std::size_t row, std::size_t column) const {
  if (row >= rows_ || column >= columns_) Raise(errc::kSubscriptOutOfRange);
  return blocks_[row >> kBlockShift].columns[column].Get(row & kRowMask);
}

RecordTable RecordTable::SelectRows(const std::vector<std::size_t>& rows) const {
  RecordTable selected(columns_);
  for (std::size_t row : rows) {
    for (std::size_t column = 0; column < columns_; ++column) selected.Put(Cell(row, column));
    selected.EndRow();
  }
  return selected;
}

void RecordTable::AddColumn(const std::vector<Variant>& values) {
  if (values.size() != rows_) {
    Raise(errc::kInternalError, "A column of " + std::to_string(values.size()) + " values for " +
                                    std::to_string(rows_) + " rows");
  }
  if (columns_ == 0 && rows_ > 0) {
    // Rows without columns have no blocks yet.
    for (std::size_t first = 0; first < rows_; first += kTableBlockRows) {
      Block block;
      block.rows = std::min(kTableBlockRows, rows_ - first);
      blocks_.push_back(std::move(block));
    }
  }
  std::size_t row = 0;
  for (Block& block : blocks_) {
    BlockColumn column;
    for (std::size_t index = 0; index < block.rows; ++index) column.Add(CellView::Of(values[row++]));
    block.columns.push_back(std::move(column));
  }
  ++columns_;
}

void RecordTable::ConvertColumn(std::size_t column, const std::function<Variant(const CellView&)>& convert) {
  if (column >= columns_) Raise(errc::kSubscriptOutOfRange);
  for (Block& block : blocks_) {
    BlockColumn converted;
    for (std::size_t index = 0; index < block.rows; ++index) {
      const Variant value = convert(block.columns[column].Get(index));
      converted.Add(CellView::Of(value));
    }
    block.columns[column] = std::move(converted);
  }
}

}  // namespace zarel
