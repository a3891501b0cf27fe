// The values of one column of one block of rows; see block_column.h.
#include "zarel/db/block_column.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <utility>

#include "zarel/base/error.h"

namespace zarel {

namespace {

constexpr std::size_t kMaxArena = std::numeric_limits<std::uint32_t>::max();
constexpr std::size_t kNarrowArena = std::numeric_limits<std::uint16_t>::max();
constexpr unsigned kMaxScale = 9;
constexpr double kPowersOfTen[kMaxScale + 1] = {1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9};

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

std::int64_t LoadSigned(const unsigned char* at, unsigned width) {
  switch (width) {
    case 1:
      return Load<std::int8_t>(at);
    case 2:
      return Load<std::int16_t>(at);
    case 4:
      return Load<std::int32_t>(at);
    default:
      return Load<std::int64_t>(at);
  }
}

void StoreSigned(unsigned char* at, unsigned width, std::int64_t value) {
  switch (width) {
    case 1:
      Store(at, static_cast<std::int8_t>(value));
      break;
    case 2:
      Store(at, static_cast<std::int16_t>(value));
      break;
    case 4:
      Store(at, static_cast<std::int32_t>(value));
      break;
    default:
      Store(at, value);
  }
}

// The fewest bytes that hold a signed distance.
unsigned WidthOf(std::int64_t distance) {
  if (distance >= std::numeric_limits<std::int8_t>::min() && distance <= std::numeric_limits<std::int8_t>::max()) {
    return 1;
  }
  if (distance >= std::numeric_limits<std::int16_t>::min() && distance <= std::numeric_limits<std::int16_t>::max()) {
    return 2;
  }
  if (distance >= std::numeric_limits<std::int32_t>::min() && distance <= std::numeric_limits<std::int32_t>::max()) {
    return 4;
  }
  return 8;
}

// The whole number m with value == m / 10^scale exactly, if there is one in
// 32 bits. Minus zero has none (it would read back as plus zero).
bool DecimalOf(double value, unsigned scale, std::int32_t& m) {
  const double scaled = value * kPowersOfTen[scale];
  if (!(std::fabs(scaled) < 2147483647.0)) return false;  // NaN too
  const auto whole = static_cast<std::int32_t>(scaled < 0 ? scaled - 0.5 : scaled + 0.5);
  if (static_cast<double>(whole) / kPowersOfTen[scale] != value || (whole == 0 && std::signbit(value))) {
    return false;
  }
  m = whole;
  return true;
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

[[noreturn]] void RaiseArenaFull() {
  Raise(errc::kOutOfMemory, "Out of memory: the texts of 1,024 rows of one column take more than 4 GiB.");
}

}  // namespace

// ---------------------------------------------------------------------------
// ByteBuffer

void ByteBuffer::Reserve(std::size_t capacity) {
  if (capacity <= capacity_) return;
  std::unique_ptr<unsigned char[]> grown(new unsigned char[capacity]);
  if (size_ > 0) std::memcpy(grown.get(), data_.get(), size_);
  data_ = std::move(grown);
  capacity_ = capacity;
}

void ByteBuffer::Grow(std::size_t more) { Reserve(std::max({size_ + more, capacity_ * 2, std::size_t{64}})); }

void ByteBuffer::Append(const void* bytes, std::size_t count) {
  if (count > 0) std::memcpy(Extend(count), bytes, count);
}

void ByteBuffer::AppendZeros(std::size_t count) {
  if (count > 0) std::memset(Extend(count), 0, count);
}

void ByteBuffer::Trim() {
  if (capacity_ - size_ <= size_ / 16) return;
  std::unique_ptr<unsigned char[]> exact(size_ > 0 ? new unsigned char[size_] : nullptr);
  if (size_ > 0) std::memcpy(exact.get(), data_.get(), size_);
  data_ = std::move(exact);
  capacity_ = size_;
}

// ---------------------------------------------------------------------------
// BlockColumn

void BlockColumn::MarkNull(std::size_t index) {
  if (nulls_.empty()) nulls_.assign(kTableBlockRows / 64, 0);
  nulls_[index >> 6] |= std::uint64_t{1} << (index & 63);
}

std::uint32_t BlockColumn::PutInArena(std::string_view bytes) {
  if (arena_.Size() + bytes.size() > kMaxArena) RaiseArenaFull();
  arena_.Append(bytes.data(), bytes.size());
  return static_cast<std::uint32_t>(arena_.Size());
}

std::uint32_t BlockColumn::EndAt(std::size_t index) const {
  const unsigned char* at = data_.Data() + index * width_;
  return width_ == 2 ? Load<std::uint16_t>(at) : Load<std::uint32_t>(at);
}

void BlockColumn::AddNull() {
  switch (layout_) {
    case Layout::kNulls:
      MarkNull(count_);
      break;
    case Layout::kUniform:
      MarkNull(count_);
      if (encoding_ == Encoding::kEnds) {
        const std::uint32_t end = count_ == 0 ? 0 : EndAt(count_ - 1);
        unsigned char* at = data_.Extend(width_);
        if (width_ == 2) {
          Store(at, static_cast<std::uint16_t>(end));
        } else {
          Store(at, end);
        }
      } else {
        data_.AppendZeros(width_);
      }
      break;
    case Layout::kMixed:
      kinds_.push_back(VarType::kNull);
      Store<std::uint64_t>(data_.Extend(8), 0);
      break;
  }
  ++count_;
}

void BlockColumn::Add(const CellView& value) {
  if (value.type == VarType::kNull) {
    AddNull();
    return;
  }
  if (layout_ == Layout::kNulls) {
    Begin(value);
  } else if (layout_ == Layout::kUniform && kind_ != value.type) {
    BecomeMixed();
  }
  if (layout_ == Layout::kUniform) {
    AddUniform(value);
  } else {
    AddMixed(value);
  }
  ++count_;
}

// The first value decides the kind and its encoding; the Nulls before it
// get empty places.
void BlockColumn::Begin(const CellView& value) {
  layout_ = Layout::kUniform;
  kind_ = value.type;
  switch (kind_) {
    case VarType::kEmpty:
    case VarType::kNull:
      encoding_ = Encoding::kNothing;
      width_ = 0;
      break;
    case VarType::kBoolean:
      encoding_ = Encoding::kBoolean;
      width_ = 1;
      break;
    case VarType::kInteger:
    case VarType::kLong:
    case VarType::kLongLong:
    case VarType::kCurrency:
      encoding_ = Encoding::kOffset;
      width_ = 1;
      base_ = value.whole;
      break;
    case VarType::kSingle:
      encoding_ = Encoding::kSingle;
      width_ = 4;
      break;
    case VarType::kDouble:
    case VarType::kDate: {
      encoding_ = Encoding::kDouble;
      width_ = 8;
      std::int32_t m = 0;
      for (unsigned scale = 0; scale <= kMaxScale; ++scale) {
        if (DecimalOf(value.real, scale, m)) {
          encoding_ = Encoding::kDecimal;
          width_ = 4;
          scale_ = static_cast<std::uint8_t>(scale);
          break;
        }
      }
      break;
    }
    case VarType::kString:
    case VarType::kBytes:
      encoding_ = Encoding::kEnds;
      width_ = 2;
      break;
    case VarType::kObject:
      encoding_ = Encoding::kObject;
      width_ = 4;
      break;
  }
  data_.AppendZeros(std::size_t{count_} * width_);
}

void BlockColumn::AddUniform(const CellView& value) {
  switch (encoding_) {
    case Encoding::kNothing:
      break;
    case Encoding::kBoolean:
      Store<std::uint8_t>(data_.Extend(1), value.whole != 0 ? 1 : 0);
      break;
    case Encoding::kOffset: {
      std::int64_t distance = value.whole;
      if (width_ < 8) {
        if (__builtin_sub_overflow(value.whole, base_, &distance)) {
          WidenOffsets(8);
          distance = value.whole;
        } else if (WidthOf(distance) > width_) {
          WidenOffsets(WidthOf(distance));
          if (width_ == 8) distance = value.whole;
        }
      }
      StoreSigned(data_.Extend(width_), width_, distance);
      break;
    }
    case Encoding::kSingle:
      Store(data_.Extend(4), static_cast<float>(value.real));
      break;
    case Encoding::kDecimal: {
      std::int32_t m = 0;
      if (DecimalOf(value.real, scale_, m)) {
        Store(data_.Extend(4), m);
        break;
      }
      // More decimals, if the values held have room for them; else doubles.
      bool rescaled = false;
      for (unsigned scale = scale_ + 1u; scale <= kMaxScale && !rescaled; ++scale) {
        rescaled = DecimalOf(value.real, scale, m) && Rescale(scale);
      }
      if (rescaled) {
        Store(data_.Extend(4), m);
      } else {
        BecomeDoubles();
        Store(data_.Extend(8), value.real);
      }
      break;
    }
    case Encoding::kDouble:
      Store(data_.Extend(8), value.real);
      break;
    case Encoding::kEnds: {
      const std::uint32_t end = PutInArena(value.bytes);
      if (width_ == 2 && end > kNarrowArena) WidenEnds();
      unsigned char* at = data_.Extend(width_);
      if (width_ == 2) {
        Store(at, static_cast<std::uint16_t>(end));
      } else {
        Store(at, end);
      }
      break;
    }
    case Encoding::kObject:
      Store(data_.Extend(4), static_cast<std::uint32_t>(objects_.size()));
      objects_.push_back(*value.object);
      break;
  }
}

void BlockColumn::AddMixed(const CellView& value) {
  std::uint64_t payload = 0;
  if (IsArenaKind(value.type)) {
    const std::uint32_t end = PutInArena(value.bytes);
    payload = (static_cast<std::uint64_t>(value.bytes.size()) << 32) | (end - value.bytes.size());
  } else if (value.type == VarType::kObject) {
    payload = objects_.size();
    objects_.push_back(*value.object);
  } else {
    payload = NumberBits(value);
  }
  kinds_.push_back(value.type);
  Store(data_.Extend(8), payload);
}

CellView BlockColumn::Get(std::size_t index) const {
  CellView cell;
  if (layout_ == Layout::kUniform) {
    if (IsNull(index)) return cell;
    cell.type = kind_;
    const unsigned char* at = data_.Data() + index * width_;
    switch (encoding_) {
      case Encoding::kNothing:
        break;
      case Encoding::kBoolean:
        cell.whole = *at;
        break;
      case Encoding::kOffset:
        cell.whole = width_ == 8 ? Load<std::int64_t>(at) : base_ + LoadSigned(at, width_);
        break;
      case Encoding::kSingle:
        cell.real = Load<float>(at);
        break;
      case Encoding::kDecimal:
        cell.real = static_cast<double>(Load<std::int32_t>(at)) / kPowersOfTen[scale_];
        break;
      case Encoding::kDouble:
        cell.real = Load<double>(at);
        break;
      case Encoding::kEnds: {
        const std::uint32_t begin = index == 0 ? 0 : EndAt(index - 1);
        cell.bytes = std::string_view(reinterpret_cast<const char*>(arena_.Data()) + begin, EndAt(index) - begin);
        break;
      }
      case Encoding::kObject:
        cell.object = &objects_[Load<std::uint32_t>(at)];
        break;
    }
    return cell;
  }
  if (layout_ == Layout::kMixed) {
    cell.type = kinds_[index];
    const auto payload = Load<std::uint64_t>(data_.Data() + index * 8);
    if (IsArenaKind(cell.type)) {
      const auto begin = static_cast<std::uint32_t>(payload);
      const auto length = static_cast<std::uint32_t>(payload >> 32);
      cell.bytes = std::string_view(reinterpret_cast<const char*>(arena_.Data()) + begin, length);
    } else if (cell.type == VarType::kObject) {
      cell.object = &objects_[payload];
    } else if (cell.type != VarType::kNull && cell.type != VarType::kEmpty) {
      NumberFromBits(cell, payload);
    }
  }
  return cell;
}

void BlockColumn::WidenOffsets(unsigned width) {
  ByteBuffer wider;
  wider.Reserve(kTableBlockRows * width);
  for (std::size_t index = 0; index < count_; ++index) {
    const std::int64_t value = base_ + LoadSigned(data_.Data() + index * width_, width_);
    StoreSigned(wider.Extend(width), width, width == 8 ? value : value - base_);
  }
  data_ = std::move(wider);
  width_ = static_cast<std::uint8_t>(width);
  if (width == 8) base_ = 0;
}

void BlockColumn::WidenEnds() {
  ByteBuffer wider;
  wider.Reserve(kTableBlockRows * 4);
  for (std::size_t index = 0; index < count_; ++index) Store(wider.Extend(4), EndAt(index));
  data_ = std::move(wider);
  width_ = 4;
}

bool BlockColumn::Rescale(unsigned scale) {
  const auto factor = static_cast<std::int64_t>(kPowersOfTen[scale - scale_]);
  for (std::size_t index = 0; index < count_; ++index) {
    const std::int64_t m = std::int64_t{Load<std::int32_t>(data_.Data() + index * 4)} * factor;
    if (m < std::numeric_limits<std::int32_t>::min() || m > std::numeric_limits<std::int32_t>::max()) return false;
  }
  for (std::size_t index = 0; index < count_; ++index) {
    unsigned char* at = data_.Data() + index * 4;
    Store(at, static_cast<std::int32_t>(Load<std::int32_t>(at) * factor));
  }
  scale_ = static_cast<std::uint8_t>(scale);
  return true;
}

void BlockColumn::BecomeDoubles() {
  ByteBuffer doubles;
  doubles.Reserve(kTableBlockRows * 8);
  for (std::size_t index = 0; index < count_; ++index) {
    Store(doubles.Extend(8), static_cast<double>(Load<std::int32_t>(data_.Data() + index * 4)) / kPowersOfTen[scale_]);
  }
  data_ = std::move(doubles);
  encoding_ = Encoding::kDouble;
  width_ = 8;
}

// Rewrites the values held as kind bytes and payloads; the arena and the
// objects stay where they are.
void BlockColumn::BecomeMixed() {
  ByteBuffer payloads;
  payloads.Reserve(kTableBlockRows * 8);
  std::vector<VarType> kinds;
  kinds.reserve(kTableBlockRows);
  for (std::size_t index = 0; index < count_; ++index) {
    const CellView cell = Get(index);
    std::uint64_t payload = 0;
    if (IsArenaKind(cell.type)) {
      const auto begin =
          static_cast<std::uint64_t>(cell.bytes.data() - reinterpret_cast<const char*>(arena_.Data()));
      payload = (static_cast<std::uint64_t>(cell.bytes.size()) << 32) | begin;
    } else if (cell.type == VarType::kObject) {
      payload = static_cast<std::uint64_t>(cell.object - objects_.data());
    } else if (cell.type != VarType::kNull) {
      payload = NumberBits(cell);
    }
    kinds.push_back(cell.type);
    Store(payloads.Extend(8), payload);
  }
  data_ = std::move(payloads);
  kinds_ = std::move(kinds);
  nulls_.clear();
  nulls_.shrink_to_fit();
  layout_ = Layout::kMixed;
}

void BlockColumn::Trim() {
  data_.Trim();
  arena_.Trim();
}

void BlockColumn::ReserveLike(const BlockColumn& before) {
  data_.Reserve(before.data_.Size());
  arena_.Reserve(before.arena_.Size() + before.arena_.Size() / 32);
  if (before.layout_ == Layout::kMixed) kinds_.reserve(kTableBlockRows);
}

}  // namespace zarel
