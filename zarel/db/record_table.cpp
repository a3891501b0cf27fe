// The rows of a recordset in blocks of typed columns; see record_table.h.
#include "zarel/db/record_table.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <utility>

#include "zarel/base/error.h"

namespace zarel {

namespace {

constexpr std::size_t kBlockShift = 10;
constexpr std::size_t kBlockRows = std::size_t{1} << kBlockShift;
constexpr std::size_t kRowMask = kBlockRows - 1;
constexpr std::size_t kMaxRows = static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max());
constexpr std::size_t kMaxArena = std::numeric_limits<std::uint32_t>::max();

[[noreturn]] void RaiseTooLarge() {
  Raise(errc::kOutOfMemory, "Out of memory: the recordset would hold more than it can address.");
}

// A growable array of bytes that does not clear what it is about to
// overwrite.
class ByteBuffer {
 public:
  std::size_t Size() const { return size_; }
  const unsigned char* Data() const { return data_.get(); }
  unsigned char* Data() { return data_.get(); }

  void Reserve(std::size_t capacity) {
    if (capacity <= capacity_) return;
    std::unique_ptr<unsigned char[]> grown(new unsigned char[capacity]);
    if (size_ > 0) std::memcpy(grown.get(), data_.get(), size_);
    data_ = std::move(grown);
    capacity_ = capacity;
  }
  // Room for `more` bytes at the end; answers where they go.
  unsigned char* Extend(std::size_t more) {
    if (size_ + more > capacity_) Reserve(std::max({size_ + more, capacity_ * 2, std::size_t{64}}));
    unsigned char* at = data_.get() + size_;
    size_ += more;
    return at;
  }
  void Append(const void* bytes, std::size_t count) {
    if (count > 0) std::memcpy(Extend(count), bytes, count);
  }
  void AppendZeros(std::size_t count) {
    if (count > 0) std::memset(Extend(count), 0, count);
  }
  // Gives back the room beyond the size when it is more than a sixteenth.
  void Trim() {
    if (capacity_ - size_ <= size_ / 16) return;
    std::unique_ptr<unsigned char[]> exact(size_ > 0 ? new unsigned char[size_] : nullptr);
    if (size_ > 0) std::memcpy(exact.get(), data_.get(), size_);
    data_ = std::move(exact);
    capacity_ = size_;
  }

 private:
  std::unique_ptr<unsigned char[]> data_;
  std::size_t size_ = 0;
  std::size_t capacity_ = 0;
};

template <class T>
void Store(unsigned char* at, T value) {
  std::memcpy(at, &value, sizeof value);
}

template <class T>
T Load(const unsigned char* at) {
  T value;
  std::memcpy(&value, at, sizeof value);
  return value;
}

// The bytes one value of a kind takes in a column of that kind alone: the
// number itself, or for texts and bytes the end of the value in the arena,
// for objects the index in the column's list of objects.
std::size_t WidthOf(VarType type) {
  switch (type) {
    case VarType::kEmpty:
    case VarType::kNull:
      return 0;
    case VarType::kBoolean:
      return 1;
    case VarType::kInteger:
      return 2;
    case VarType::kLong:
    case VarType::kSingle:
    case VarType::kString:
    case VarType::kBytes:
    case VarType::kObject:
      return 4;
    case VarType::kLongLong:
    case VarType::kDouble:
    case VarType::kCurrency:
    case VarType::kDate:
      return 8;
  }
  return 8;
}

bool IsArenaKind(VarType type) { return type == VarType::kString || type == VarType::kBytes; }

// The eight bytes of a number in a column of several kinds.
std::uint64_t NumberBits(const CellView& value) {
  switch (value.type) {
    case VarType::kSingle: {
      std::uint32_t bits = 0;
      const float single = static_cast<float>(value.real);
      std::memcpy(&bits, &single, sizeof bits);
      return bits;
    }
    case VarType::kDouble:
    case VarType::kDate: {
      std::uint64_t bits = 0;
      std::memcpy(&bits, &value.real, sizeof bits);
      return bits;
    }
    default:
      return static_cast<std::uint64_t>(value.whole);
  }
}

void NumberFromBits(CellView& cell, std::uint64_t bits) {
  switch (cell.type) {
    case VarType::kSingle: {
      const auto low = static_cast<std::uint32_t>(bits);
      float single = 0;
      std::memcpy(&single, &low, sizeof single);
      cell.real = single;
      break;
    }
    case VarType::kDouble:
    case VarType::kDate:
      std::memcpy(&cell.real, &bits, sizeof cell.real);
      break;
    default:
      cell.whole = static_cast<std::int64_t>(bits);
  }
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
      cell.real = value.ToDate().serial;
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

// ---------------------------------------------------------------------------
// The column of one block

// How a block's column holds its values.
enum class Layout : std::uint8_t {
  kNulls,    // nothing but Nulls so far
  kUniform,  // values of one kind, Nulls in the bitmap
  kMixed,    // a kind byte and eight bytes per value
};

struct RecordTable::Part {
  Layout layout = Layout::kNulls;
  VarType kind = VarType::kNull;  // of a uniform column
  std::uint32_t count = 0;        // values held
  std::vector<std::uint64_t> nulls;  // kNulls and kUniform: a bit per row
  ByteBuffer data;                   // kUniform: the values; kMixed: payloads
  std::vector<VarType> kinds;        // kMixed: the kind of every value
  ByteBuffer arena;                  // texts and bytes
  std::vector<ObjectRef> objects;

  bool IsNull(std::size_t index) const {
    return !nulls.empty() && ((nulls[index >> 6] >> (index & 63)) & 1) != 0;
  }
  void MarkNull(std::size_t index) {
    if (nulls.empty()) nulls.assign(kBlockRows / 64, 0);
    nulls[index >> 6] |= std::uint64_t{1} << (index & 63);
  }
  std::uint32_t ArenaEnd() const {
    return count == 0 ? 0 : Load<std::uint32_t>(data.Data() + (count - 1) * 4);
  }
  std::uint32_t PutInArena(std::string_view bytes) {
    if (arena.Size() + bytes.size() > kMaxArena) RaiseTooLarge();
    arena.Append(bytes.data(), bytes.size());
    return static_cast<std::uint32_t>(arena.Size());
  }

  void AddNull() {
    switch (layout) {
      case Layout::kNulls:
        MarkNull(count);
        break;
      case Layout::kUniform:
        MarkNull(count);
        if (IsArenaKind(kind)) {
          Store(data.Extend(4), ArenaEnd());
        } else {
          data.AppendZeros(WidthOf(kind));
        }
        break;
      case Layout::kMixed:
        kinds.push_back(VarType::kNull);
        Store<std::uint64_t>(data.Extend(8), 0);
        break;
    }
    ++count;
  }

  void AddUniform(const CellView& value) {
    switch (kind) {
      case VarType::kEmpty:
      case VarType::kNull:
        break;
      case VarType::kBoolean:
        Store<std::uint8_t>(data.Extend(1), value.whole != 0 ? 1 : 0);
        break;
      case VarType::kInteger:
        Store(data.Extend(2), static_cast<std::int16_t>(value.whole));
        break;
      case VarType::kLong:
        Store(data.Extend(4), static_cast<std::int32_t>(value.whole));
        break;
      case VarType::kSingle:
        Store(data.Extend(4), static_cast<float>(value.real));
        break;
      case VarType::kLongLong:
      case VarType::kCurrency:
        Store(data.Extend(8), value.whole);
        break;
      case VarType::kDouble:
      case VarType::kDate:
        Store(data.Extend(8), value.real);
        break;
      case VarType::kString:
      case VarType::kBytes:
        Store(data.Extend(4), PutInArena(value.bytes));
        break;
      case VarType::kObject:
        Store(data.Extend(4), static_cast<std::uint32_t>(objects.size()));
        objects.push_back(*value.object);
        break;
    }
  }

  void AddMixed(const CellView& value) {
    std::uint64_t payload = 0;
    if (IsArenaKind(value.type)) {
      const std::uint32_t end = PutInArena(value.bytes);
      payload = (static_cast<std::uint64_t>(value.bytes.size()) << 32) | (end - value.bytes.size());
    } else if (value.type == VarType::kObject) {
      payload = objects.size();
      objects.push_back(*value.object);
    } else {
      payload = NumberBits(value);
    }
    kinds.push_back(value.type);
    Store(data.Extend(8), payload);
  }

  void Add(const CellView& value) {
    if (value.type == VarType::kNull) {
      AddNull();
      return;
    }
    if (layout == Layout::kNulls) {
      // The first value decides the kind; the Nulls before it get empty
      // places.
      layout = Layout::kUniform;
      kind = value.type;
      data.AppendZeros(count * WidthOf(kind));
    } else if (layout == Layout::kUniform && kind != value.type) {
      BecomeMixed();
    }
    if (layout == Layout::kUniform) {
      AddUniform(value);
    } else {
      AddMixed(value);
    }
    ++count;
  }

  CellView Get(std::size_t index) const {
    CellView cell;
    switch (layout) {
      case Layout::kNulls:
        return cell;
      case Layout::kUniform: {
        if (IsNull(index)) return cell;
        cell.type = kind;
        const unsigned char* at = data.Data() + index * WidthOf(kind);
        switch (kind) {
          case VarType::kEmpty:
          case VarType::kNull:
            break;
          case VarType::kBoolean:
            cell.whole = *at;
            break;
          case VarType::kInteger:
            cell.whole = Load<std::int16_t>(at);
            break;
          case VarType::kLong:
            cell.whole = Load<std::int32_t>(at);
            break;
          case VarType::kSingle:
            cell.real = Load<float>(at);
            break;
          case VarType::kLongLong:
          case VarType::kCurrency:
            cell.whole = Load<std::int64_t>(at);
            break;
          case VarType::kDouble:
          case VarType::kDate:
            cell.real = Load<double>(at);
            break;
          case VarType::kString:
          case VarType::kBytes: {
            const std::uint32_t end = Load<std::uint32_t>(at);
            const std::uint32_t begin = index == 0 ? 0 : Load<std::uint32_t>(at - 4);
            cell.bytes = std::string_view(reinterpret_cast<const char*>(arena.Data()) + begin, end - begin);
            break;
          }
          case VarType::kObject:
            cell.object = &objects[Load<std::uint32_t>(at)];
            break;
        }
        return cell;
      }
      case Layout::kMixed: {
        cell.type = kinds[index];
        const auto payload = Load<std::uint64_t>(data.Data() + index * 8);
        if (IsArenaKind(cell.type)) {
          const auto begin = static_cast<std::uint32_t>(payload);
          const auto length = static_cast<std::uint32_t>(payload >> 32);
          cell.bytes = std::string_view(reinterpret_cast<const char*>(arena.Data()) + begin, length);
        } else if (cell.type == VarType::kObject) {
          cell.object = &objects[payload];
        } else if (cell.type != VarType::kNull && cell.type != VarType::kEmpty) {
          NumberFromBits(cell, payload);
        }
        return cell;
      }
    }
    return cell;
  }

  // Rewrites the values held as kind bytes and payloads; the arena and the
  // objects stay where they are.
  void BecomeMixed() {
    ByteBuffer payloads;
    payloads.Reserve(std::size_t{kBlockRows} * 8);
    std::vector<VarType> mixed_kinds;
    mixed_kinds.reserve(kBlockRows);
    for (std::size_t index = 0; index < count; ++index) {
      const CellView cell = Get(index);
      std::uint64_t payload = 0;
      if (IsArenaKind(cell.type)) {
        const auto begin = static_cast<std::uint64_t>(
            cell.bytes.data() - reinterpret_cast<const char*>(arena.Data()));
        payload = (static_cast<std::uint64_t>(cell.bytes.size()) << 32) | begin;
      } else if (cell.type == VarType::kObject) {
        payload = static_cast<std::uint64_t>(cell.object - objects.data());
      } else if (cell.type != VarType::kNull) {
        payload = NumberBits(cell);
      }
      mixed_kinds.push_back(cell.type);
      Store(payloads.Extend(8), payload);
    }
    data = std::move(payloads);
    kinds = std::move(mixed_kinds);
    nulls.clear();
    nulls.shrink_to_fit();
    layout = Layout::kMixed;
  }

  // A full block gives back the room its arrays grew beyond their contents.
  void Trim() {
    data.Trim();
    arena.Trim();
  }
  // Room for a block's worth of values, as the block before needed.
  void ReserveLike(const Part& before) {
    data.Reserve(before.data.Size());
    arena.Reserve(before.arena.Size() + before.arena.Size() / 32);
    if (before.layout == Layout::kMixed) kinds.reserve(kBlockRows);
  }
};

struct RecordTable::Block {
  std::vector<Part> parts;
  std::size_t rows = 0;
};

// ---------------------------------------------------------------------------
// RecordTable

RecordTable::RecordTable(std::size_t columns) : columns_(columns) {}
RecordTable::RecordTable(RecordTable&&) noexcept = default;
RecordTable& RecordTable::operator=(RecordTable&&) noexcept = default;
RecordTable::~RecordTable() = default;

RecordTable::Part& RecordTable::NextPart() {
  if (next_column_ >= columns_) {
    Raise(errc::kInternalError, "A row holds more values than the " + std::to_string(columns_) + " fields.");
  }
  if (next_column_ == 0 && rows_ >= kMaxRows) RaiseTooLarge();
  if (next_column_ == 0 && (blocks_.empty() || blocks_.back().rows == kBlockRows)) {
    Block block;
    block.parts.resize(columns_);
    if (!blocks_.empty()) {
      for (std::size_t c = 0; c < columns_; ++c) {
        blocks_.back().parts[c].Trim();
        block.parts[c].ReserveLike(blocks_.back().parts[c]);
      }
    }
    blocks_.push_back(std::move(block));
  }
  return blocks_.back().parts[next_column_++];
}

void RecordTable::Put(const CellView& value) { NextPart().Add(value); }

void RecordTable::AppendNull() { NextPart().AddNull(); }

void RecordTable::AppendBoolean(bool value) {
  CellView cell;
  cell.type = VarType::kBoolean;
  cell.whole = value ? 1 : 0;
  Put(cell);
}

void RecordTable::AppendInteger(std::int16_t value) {
  CellView cell;
  cell.type = VarType::kInteger;
  cell.whole = value;
  Put(cell);
}

void RecordTable::AppendLong(std::int32_t value) {
  CellView cell;
  cell.type = VarType::kLong;
  cell.whole = value;
  Put(cell);
}

void RecordTable::AppendLongLong(std::int64_t value) {
  CellView cell;
  cell.type = VarType::kLongLong;
  cell.whole = value;
  Put(cell);
}

void RecordTable::AppendSingle(float value) {
  CellView cell;
  cell.type = VarType::kSingle;
  cell.real = value;
  Put(cell);
}

void RecordTable::AppendDouble(double value) {
  CellView cell;
  cell.type = VarType::kDouble;
  cell.real = value;
  Put(cell);
}

void RecordTable::AppendCurrency(Currency value) {
  CellView cell;
  cell.type = VarType::kCurrency;
  cell.whole = value.scaled;
  Put(cell);
}

void RecordTable::AppendDate(Date value) {
  CellView cell;
  cell.type = VarType::kDate;
  cell.real = value.serial;
  Put(cell);
}

void RecordTable::AppendText(std::string_view value) {
  CellView cell;
  cell.type = VarType::kString;
  cell.bytes = value;
  Put(cell);
}

void RecordTable::AppendBytes(std::string_view value) {
  CellView cell;
  cell.type = VarType::kBytes;
  cell.bytes = value;
  Put(cell);
}

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
  return blocks_[row >> kBlockShift].parts[column].Get(row & kRowMask);
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
    for (std::size_t first = 0; first < rows_; first += kBlockRows) {
      Block block;
      block.rows = std::min(kBlockRows, rows_ - first);
      blocks_.push_back(std::move(block));
    }
  }
  std::size_t row = 0;
  for (Block& block : blocks_) {
    Part part;
    for (std::size_t index = 0; index < block.rows; ++index) part.Add(CellView::Of(values[row++]));
    block.parts.push_back(std::move(part));
  }
  ++columns_;
}

void RecordTable::ConvertColumn(std::size_t column, const std::function<Variant(const CellView&)>& convert) {
  if (column >= columns_) Raise(errc::kSubscriptOutOfRange);
  for (Block& block : blocks_) {
    Part converted;
    for (std::size_t index = 0; index < block.rows; ++index) {
      const Variant value = convert(block.parts[column].Get(index));
      converted.Add(CellView::Of(value));
    }
    block.parts[column] = std::move(converted);
  }
}

}  // namespace zarel
