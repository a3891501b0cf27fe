// BlockColumn: the values of one column within one block of rows of a
// RecordTable (record_table.h), in the narrowest form that holds them.
//
// While every value of the block's column has one kind, it is stored by an
// encoding of that kind:
//   - whole numbers and money: the distance from the column's first value,
//     in 1, 2 or 4 bytes (8: the value itself), so that a column of ids or
//     quantities takes one or two bytes a value;
//   - doubles and dates with few decimals (1234.5, 0.125, a date at noon):
//     a 32-bit whole number m with the value exactly m / 10^k, for one k
//     from 0 to 9 that holds them all; other doubles their eight bytes;
//   - texts and bytes: where each ends in the column's character arena, in
//     2 bytes while the arena is under 64 KiB, in 4 beyond;
//   - Booleans in one byte, Singles in four, objects as an index in a list.
// Nulls are a bitmap beside them. A value that does not fit the encoding
// widens it (every value held is rewritten, at most a block's worth), and a
// value of another kind turns the column into a kind byte and an eight-byte
// payload per value. Every value reads back exactly as it was added: an
// encoding takes a value only when reading it back gives the same bits.
//
// Threads: one thread at a time, as its table.
#ifndef ZAREL_DB_BLOCK_COLUMN_H_
#define ZAREL_DB_BLOCK_COLUMN_H_

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "zarel/base/object.h"
#include "zarel/base/variant.h"
#include "zarel/db/record_table.h"

namespace zarel {

// The rows of one block.
inline constexpr std::size_t kTableBlockRows = 1024;

// A growable array of bytes that does not clear what it is about to
// overwrite.
class ByteBuffer {
 public:
  std::size_t Size() const { return size_; }
  const unsigned char* Data() const { return data_.get(); }
  unsigned char* Data() { return data_.get(); }
  void Reserve(std::size_t capacity);
  // Room for `more` bytes at the end; answers where they go.
  unsigned char* Extend(std::size_t more) {
    if (size_ + more > capacity_) Grow(more);
    unsigned char* at = data_.get() + size_;
    size_ += more;
    return at;
  }
  void Append(const void* bytes, std::size_t count);
  void AppendZeros(std::size_t count);
  // Gives back the room beyond the size when it is more than a sixteenth.
  void Trim();

 private:
  void Grow(std::size_t more);
  std::unique_ptr<unsigned char[]> data_;
  std::size_t size_ = 0;
  std::size_t capacity_ = 0;
};

class BlockColumn {
 public:
  std::uint32_t Count() const { return count_; }

  void AddNull();
  void Add(const CellView& value);
  // The value at index (below Count()).
  CellView Get(std::size_t index) const;

  // A full block gives back the room its arrays grew beyond their contents.
  void Trim();
  // Room for a block's worth of values, as much as the block before took.
  void ReserveLike(const BlockColumn& before);

 private:
  enum class Layout : std::uint8_t {
    kNulls,    // nothing but Nulls so far
    kUniform,  // values of one kind, by an encoding, Nulls in the bitmap
    kMixed,    // a kind byte and eight bytes per value
  };
  enum class Encoding : std::uint8_t {
    kNothing,  // Empty
    kBoolean,  // one byte
    kOffset,   // whole numbers, money: the distance from base_ (width_ 8: the value)
    kSingle,   // four bytes
    kDecimal,  // a 32-bit m, the value m / 10^scale_
    kDouble,   // eight bytes
    kEnds,     // texts, bytes: their ends in the arena
    kObject,   // an index in objects_
  };

  bool IsNull(std::size_t index) const {
    return !nulls_.empty() && ((nulls_[index >> 6] >> (index & 63)) & 1) != 0;
  }
  void MarkNull(std::size_t index);
  void Begin(const CellView& value);
  void AddUniform(const CellView& value);
  void AddMixed(const CellView& value);
  void BecomeMixed();
  std::uint32_t PutInArena(std::string_view bytes);
  std::uint32_t EndAt(std::size_t index) const;
  // Rewrites every value held with a wider encoding.
  void WidenOffsets(unsigned width);
  void WidenEnds();
  bool Rescale(unsigned scale);
  void BecomeDoubles();

  Layout layout_ = Layout::kNulls;
  VarType kind_ = VarType::kNull;
  Encoding encoding_ = Encoding::kNothing;
  std::uint8_t width_ = 0;  // bytes per value in data_
  std::uint8_t scale_ = 0;  // kDecimal
  std::uint32_t count_ = 0;
  std::int64_t base_ = 0;  // kOffset
  std::vector<std::uint64_t> nulls_;  // kNulls and kUniform: a bit per row
  ByteBuffer data_;                   // kUniform: the values; kMixed: payloads
  std::vector<VarType> kinds_;        // kMixed: the kind of every value
  ByteBuffer arena_;                  // texts and bytes
  std::vector<ObjectRef> objects_;
};

}  // namespace zarel

#endif  // ZAREL_DB_BLOCK_COLUMN_H_
